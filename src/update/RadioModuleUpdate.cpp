// Stages a new radio-module firmware in the handheld, puts the language resources back, announces
// it in the control block and switches the handheld off; switched on, the handheld updates its
// radio module itself.

#include "handheld/Kavelo.h"
#include "handheld/Waiting.h"
#include "net/Helpers.h"
#include "update/Images.h"
#include "update/NumberSyntax.h"
#include "update/SequenceSupport.h"
#include "update/Sequences.h"
#include "update/Versions.h"

namespace kavelo {

void RunRadioModuleUpdate(IUpdateView& view) {
  TStepRunner runner(view, TFirmwareRow::RadioModule);
  int32_t version = 0;
  if (!ParsePanelNumber(view.VersionText(TFirmwareRow::RadioModule), version)) {
    runner.LogStep(QStringLiteral("Cannot convert ComboBoxRMVersion.Text to Integer"));
    runner.ContinueWith(QStringLiteral("TryStrToInt"), false, QString());
    return;
  }
  const QString label = view.FirmwareLabel(TFirmwareRow::RadioModule);
  TOpenedImage firmware = OpenFirmwareImage(label, RMFirmwareLabel(), kImageRadioModule);
  std::unique_ptr<QIODevice> languages = OpenImage(kImageLanguages);
  if (!firmware.Stream || !languages) {
    view.ReportError(firmware.Stream ? QStringLiteral("The built-in image Kavelo_Languages is missing")
                                     : firmware.Error);
    runner.EnableButtons(true);
    return;
  }
  runner.EnableButtons(false);
  QIODevice& fw = *firmware.Stream;
  QIODevice& lang = *languages;
  TKavelo& k = view.Kavelo();
  TControlBlock& block = view.ControlBlock();

  if (!runner.ContinueWith(LocalizedText(185) + " " + label, true, StepText(186, 180))) return;
  if (!runner.Step(StepText(186, 180), [&](QString& err) { return k.HMUpdateInit(err); },
                   [] { return StepText(188, 181); }))
    return;
  const bool continued = runner.Step(
      StepText(188, 181), [&](QString& err) { return k.ReadControlBlock(ControlBlockAddress, block, err); },
      [] { return StepText(187, 184); },
      [&](bool ok) {
        if (!ok) return true;
        view.UpdateControlStates(k.Connected());
        if (firmware.BuiltIn && AlreadyInstalled(version, block.OldFirmwareRM) &&
            !AskVersionQuestion(174)) {
          k.Restart(); // not switched off: the handheld just goes on as it was
          runner.EnableButtons(true);
          return false;
        }
        ShowAllControlBlockFields(view, block);
        return true;
      });
  if (!continued) return;
  // The erase of the staging area reaches into the resource block for a firmware this long;
  // the resources are written back and verified before the firmware goes in.
  if (!runner.Step(StepText(187, 184),
                   [&](QString& err) { return k.EraseFlash(0, EndOf(2 * FirmwareOffset, fw), err); },
                   [] { return StepText(189, 183); }))
    return;
  if (!runner.Step(StepText(189, 183),
                   [&](QString& err) {
                     return k.WriteFlash(LanguageAddress, EndOf(LanguageAddress, lang), kTransferSize, lang, err);
                   },
                   [] { return StepText(190, 183); }))
    return;
  if (!runner.Step(StepText(190, 183),
                   [&](QString& err) {
                     return k.VerifyFlash(LanguageAddress, EndOf(LanguageAddress, lang), kTransferSize, lang, err);
                   },
                   [] { return StepText(189, 182); }))
    return;
  if (!runner.Step(StepText(189, 182),
                   [&](QString& err) {
                     return k.WriteFlash(FirmwareOffset, EndOf(FirmwareOffset, fw), kTransferSize, fw, err);
                   },
                   [] { return StepText(190, 182); }))
    return;
  if (!runner.Step(StepText(190, 182),
                   [&](QString& err) {
                     return k.VerifyFlash(FirmwareOffset, EndOf(FirmwareOffset, fw), kTransferSize, fw, err);
                   },
                   [] { return StepText(189, 181); }))
    return;
  if (!runner.Step(StepText(189, 181),
                   [&](QString& err) {
                     block.Valid2 = kMarkerVUNA;
                     block.NewFirmwareRM = static_cast<uint32_t>(version);
                     block.OldFirmwareRM = kNoVersion;
                     block.Valid3 = kMarkerANUV;
                     SetResourceGroup(block);
                     view.ShowControlBlockField(2, block.NewFirmwareRM);
                     view.ShowControlBlockField(3, block.OldFirmwareRM);
                     view.ShowControlBlockField(4, block.NewHMResources);
                     view.ShowControlBlockField(5, block.OldHMResources);
                     view.ShowControlBlockField(6, block.ResourceAddress);
                     return k.WriteControlBlock(ControlBlockAddress, block, err);
                   },
                   [] { return LocalizedText(191) + " Kavelo"; }))
    return;
  k.PowerOff();
  runner.LogStep(LocalizedText(191) + " Kavelo");
  ShowMessageBox(LocalizedText(176), UpdateBoxCaption(), MB_ICONINFORMATION_OK);
  runner.EnableButtons(true);
}

} // namespace kavelo
