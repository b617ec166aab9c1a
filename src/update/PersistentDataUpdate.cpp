// Rewrites the handheld's persistent flash data with the built-in image and restarts it.

#include "handheld/Kavelo.h"
#include "net/Helpers.h"
#include "update/Images.h"
#include "update/SequenceSupport.h"
#include "update/Sequences.h"

namespace kavelo {

void RunPersistentDataUpdate(IUpdateView& view) {
  TStepRunner runner(view, TFirmwareRow::Handheld);
  runner.EnableButtons(false);
  std::unique_ptr<QIODevice> data = OpenImage(kImagePersistentData);
  if (!data) {
    view.ReportError(QStringLiteral("The built-in image Kavelo_PersistentFlashData is missing"));
    runner.EnableButtons(true);
    return;
  }
  QIODevice& pfd = *data;
  TKavelo& k = view.Kavelo();
  if (!runner.ContinueWith(QString(), true, StepText(186, 180))) return;
  if (!runner.Step(StepText(186, 180), [&](QString& err) { return k.HMUpdateInit(err); },
                   [] { return StepText(187, 184); }))
    return;
  // Unlike the firmware sequences the erase ends exactly at the image's end.
  if (!runner.Step(StepText(187, 184),
                   [&](QString& err) {
                     return k.EraseFlash(PersistentDataAddress, EndOf(PersistentDataAddress, pfd), err);
                   },
                   [] { return StepText(189, 184); }))
    return;
  if (!runner.Step(StepText(189, 184),
                   [&](QString& err) {
                     return k.WriteFlash(PersistentDataAddress, EndOf(PersistentDataAddress, pfd),
                                         kTransferSize, pfd, err);
                   },
                   [] { return StepText(190, 184); }))
    return;
  if (!runner.Step(StepText(190, 184),
                   [&](QString& err) {
                     return k.VerifyFlash(PersistentDataAddress, EndOf(PersistentDataAddress, pfd),
                                          kTransferSize, pfd, err);
                   },
                   [] { return LocalizedText(192) + " Kavelo"; }))
    return;
  k.Restart();
  runner.LogStep(LocalizedText(192) + " Kavelo");
  data.reset();
  runner.EnableButtons(true);
}

} // namespace kavelo
