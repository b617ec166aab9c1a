// Stages a new radio-module firmware in the handheld, puts the language resources back, announces
// it in the control block and switches the handheld off; switched on, the handheld updates its
// radio module itself.

#include "handheld/Kavelo.h"
#include "handheld/Waiting.h"
#include "net/Helpers.h"
#include "update/SequenceSupport.h"
#include "update/Sequences.h"
#include "update/Versions.h"

namespace kavelo {

TSequenceEnd UpdateRadioModule(IUpdateView& view) {
  TStepRunner runner(view, TFirmwareRow::RadioModule);
  auto start = StartFirmwareSequence(view, runner, TFirmwareRow::RadioModule);
  if (!start) return TSequenceEnd::NotStarted;
  runner.EnableButtons(false);
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
        view.UpdateControlStates(k.Connected());
        if (start->Firmware.BuiltIn && AlreadyInstalled(start->Version, block.OldFirmwareRM) &&
            !AskVersionQuestion(174)) {
          k.Restart(); // not switched off: the handheld just goes on as it was
          runner.EnableButtons(true);
          declined = true;
          return false;
        }
        ShowAllControlBlockFields(view, block);
        return true;
      });
  if (!goOn) return declined ? TSequenceEnd::Declined : EndedEarly(runner);
  // The erase of the staging area reaches into the resource block for a firmware this long;
  // the resources are written back and verified before the firmware goes in.
  if (!runner.Step(StepText(187, 184), EraseStagingArea(k, fw), next(189, 183)))
    return EndedEarly(runner);
  if (!runner.Step(StepText(189, 183), WriteImage(k, LanguageAddress, lang), next(190, 183)))
    return EndedEarly(runner);
  if (!runner.Step(StepText(190, 183), VerifyImage(k, LanguageAddress, lang), next(189, 182)))
    return EndedEarly(runner);
  if (!runner.Step(StepText(189, 182), WriteImage(k, FirmwareOffset, fw), next(190, 182)))
    return EndedEarly(runner);
  if (!runner.Step(StepText(190, 182), VerifyImage(k, FirmwareOffset, fw), next(189, 181)))
    return EndedEarly(runner);
  const auto offText = [] { return LocalizedText(191) + " Kavelo"; };
  const auto writeBlock = [&](QString& err) {
    block.Valid2 = kMarkerVUNA;
    block.NewFirmwareRM = static_cast<uint32_t>(start->Version);
    block.OldFirmwareRM = kNoVersion;
    block.Valid3 = kMarkerANUV;
    SetResourceGroup(block);
    for (int field : {2, 3})
      view.ShowControlBlockField(field, field == 2 ? block.NewFirmwareRM : block.OldFirmwareRM);
    ShowResourceFields(view, block);
    return WriteBlock(k, block)(err);
  };
  if (!runner.Step(StepText(189, 181), writeBlock, offText)) return EndedEarly(runner);
  k.PowerOff();
  runner.FinishLastStep(offText());
  ShowMessageBox(LocalizedText(176), UpdateBoxCaption(), MB_ICONINFORMATION_OK);
  start.reset(); // both streams closed
  runner.EnableButtons(true);
  return TSequenceEnd::Completed;
}

} // namespace kavelo
