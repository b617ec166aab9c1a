// Rewrites the handheld's persistent flash data with the built-in image and restarts it.

#include "handheld/Kavelo.h"
#include "net/Helpers.h"
#include "update/Images.h"
#include "update/SequenceSupport.h"
#include "update/Sequences.h"

namespace kavelo {

TSequenceEnd UpdatePersistentData(IUpdateView& view) {
  TStepRunner runner(view, TFirmwareRow::Handheld);
  runner.EnableButtons(false);
  std::unique_ptr<QIODevice> data = OpenImage(kImagePersistentData);
  if (!data) {
    view.ReportError(QStringLiteral("The built-in image Kavelo_PersistentFlashData is missing"));
    runner.EnableButtons(true);
    return TSequenceEnd::NotStarted;
  }
  QIODevice& pfd = *data;
  TKavelo& k = view.Kavelo();
  if (!runner.ContinueWith(QString(), true, StepText(186, 180))) return EndedEarly(runner);
  const auto next = [](int verb, int object) {
    return [verb, object] { return StepText(verb, object); };
  };
  if (!runner.Step(StepText(186, 180), UpdateModeEntry(k), next(187, 184)))
    return EndedEarly(runner);
  // Unlike the firmware sequences the erase ends exactly at the image's end.
  if (!runner.Step(StepText(187, 184),
                   EraseRange(k, PersistentDataAddress, EndOf(PersistentDataAddress, pfd)),
                   next(189, 184)))
    return EndedEarly(runner);
  if (!runner.Step(StepText(189, 184), WriteImage(k, PersistentDataAddress, pfd), next(190, 184)))
    return EndedEarly(runner);
  if (!runner.Step(StepText(190, 184), VerifyImage(k, PersistentDataAddress, pfd),
                   [] { return LocalizedText(192) + " Kavelo"; }))
    return EndedEarly(runner);
  k.Restart();
  runner.FinishLastStep(LocalizedText(192) + " Kavelo");
  data.reset();
  runner.EnableButtons(true);
  return TSequenceEnd::Completed;
}

} // namespace kavelo
