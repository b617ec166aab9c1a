// Brings the handheld's main-controller firmware and language resources up to the built-in
// images: stage, verify, announce in the control block, restart.

#include "handheld/Kavelo.h"
#include "handheld/Waiting.h"
#include "net/Helpers.h"
#include "update/SequenceSupport.h"
#include "update/Sequences.h"
#include "update/Versions.h"

namespace kavelo {

TSequenceEnd UpdateHandheld(IUpdateView& view) {
  TStepRunner runner(view, TFirmwareRow::Handheld);
  runner.EnableButtons(false);
  auto start = StartFirmwareSequence(view, runner, TFirmwareRow::Handheld);
  if (!start) return TSequenceEnd::NotStarted;
  QIODevice& fw = *start->Firmware.Stream;
  QIODevice& lang = *start->Languages;
  TKavelo& k = view.Kavelo();
  TControlBlock& block = view.ControlBlock();
  const auto next = [](int verb, int object) {
    return [verb, object] { return StepText(verb, object); };
  };

  if (!runner.ContinueWith(LocalizedText(185) + " " + start->Label, true, StepText(186, 180)))
    return EndedEarly(runner);
  if (!runner.Step(StepText(186, 180), UpdateModeEntry(k), next(188, 181)))
    return EndedEarly(runner);
  bool declined = false;
  const bool goOn =
      runner.Step(StepText(188, 181), ReadBlock(k, block), next(187, 184), [&](bool ok) {
        if (!ok) return true;
        if (start->Firmware.BuiltIn && AlreadyInstalled(start->Version, block.OldFirmwareHM) &&
            !AskVersionQuestion(173)) {
          k.Restart();
          runner.EnableButtons(true);
          declined = true;
          return false;
        }
        view.UpdateControlStates(k.Connected());
        ShowAllControlBlockFields(view, block);
        return true;
      });
  if (!goOn) return declined ? TSequenceEnd::Declined : EndedEarly(runner);
  if (!runner.Step(StepText(187, 184), EraseStagingArea(k, fw), next(187, 183)))
    return EndedEarly(runner);
  if (!runner.Step(StepText(187, 183), EraseRange(k, ResourceBlockBegin, ResourceBlockEnd),
                   next(189, 182)))
    return EndedEarly(runner);
  if (!runner.Step(StepText(189, 182), WriteImage(k, FirmwareOffset, fw), next(189, 183)))
    return EndedEarly(runner);
  if (!runner.Step(StepText(189, 183), WriteImage(k, LanguageAddress, lang), next(190, 182)))
    return EndedEarly(runner);
  if (!runner.Step(StepText(190, 182), VerifyImage(k, FirmwareOffset, fw), next(190, 183)))
    return EndedEarly(runner);
  if (!runner.Step(StepText(190, 183), VerifyImage(k, LanguageAddress, lang), next(189, 181)))
    return EndedEarly(runner);
  const auto restartText = [] { return LocalizedText(192) + " Kavelo"; };
  const auto writeBlock = [&](QString& err) {
    block.Valid0 = kMarkerVUNA;
    block.NewFirmwareHM = static_cast<uint32_t>(start->Version);
    block.OldFirmwareHM = kNoVersion;
    block.Valid1 = kMarkerANUV;
    SetResourceGroup(block);
    for (int field : {0, 1})
      view.ShowControlBlockField(field, field == 0 ? block.NewFirmwareHM : block.OldFirmwareHM);
    ShowResourceFields(view, block);
    return WriteBlock(k, block)(err);
  };
  if (!runner.Step(StepText(189, 181), writeBlock, restartText)) return EndedEarly(runner);
  k.Restart();
  runner.FinishLastStep(restartText());
  ShowMessageBox(LocalizedText(214) + "\r\n\r\n" + LocalizedText(215), UpdateBoxCaption(),
                 MB_ICONINFORMATION_OK);
  start.reset(); // both streams closed
  runner.EnableButtons(true);
  return TSequenceEnd::Completed;
}

} // namespace kavelo
