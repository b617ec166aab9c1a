// Brings the handheld's main-controller firmware and language resources up to the built-in
// images: stage, verify, announce in the control block, restart.

#include "handheld/Kavelo.h"
#include "net/Helpers.h"
#include "update/Images.h"
#include "update/NumberSyntax.h"
#include "update/SequenceSupport.h"
#include "update/Sequences.h"
#include "update/Versions.h"

#include "handheld/Waiting.h"

namespace kavelo {

void RunHandheldUpdate(IUpdateView& view) {
  TStepRunner runner(view, TFirmwareRow::Handheld);
  runner.EnableButtons(false);
  int32_t version = 0;
  if (!ParsePanelNumber(view.VersionText(TFirmwareRow::Handheld), version)) {
    runner.LogStep(QStringLiteral("Cannot convert ComboBoxHMVersion.Text to Integer"));
    runner.ContinueWith(QStringLiteral("TryStrToInt"), false, QString());
    return;
  }
  const QString label = view.FirmwareLabel(TFirmwareRow::Handheld);
  TOpenedImage firmware = OpenFirmwareImage(label, HMFirmwareLabel(), kImageFirmware);
  std::unique_ptr<QIODevice> languages = OpenImage(kImageLanguages);
  if (!firmware.Stream || !languages) {
    view.ReportError(firmware.Stream ? QStringLiteral("The built-in image Kavelo_Languages is missing")
                                     : firmware.Error);
    runner.EnableButtons(true);
    return;
  }
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
        if (firmware.BuiltIn && AlreadyInstalled(version, block.OldFirmwareHM) &&
            !AskVersionQuestion(173)) {
          k.Restart();
          runner.EnableButtons(true);
          return false;
        }
        view.UpdateControlStates(k.Connected());
        ShowAllControlBlockFields(view, block);
        return true;
      });
  if (!continued) return;
  if (!runner.Step(StepText(187, 184),
                   [&](QString& err) { return k.EraseFlash(0, EndOf(2 * FirmwareOffset, fw), err); },
                   [] { return StepText(187, 183); }))
    return;
  if (!runner.Step(StepText(187, 183),
                   [&](QString& err) { return k.EraseFlash(ResourceBlockBegin, ResourceBlockEnd, err); },
                   [] { return StepText(189, 182); }))
    return;
  if (!runner.Step(StepText(189, 182),
                   [&](QString& err) {
                     return k.WriteFlash(FirmwareOffset, EndOf(FirmwareOffset, fw), kTransferSize, fw, err);
                   },
                   [] { return StepText(189, 183); }))
    return;
  if (!runner.Step(StepText(189, 183),
                   [&](QString& err) {
                     return k.WriteFlash(LanguageAddress, EndOf(LanguageAddress, lang), kTransferSize, lang, err);
                   },
                   [] { return StepText(190, 182); }))
    return;
  if (!runner.Step(StepText(190, 182),
                   [&](QString& err) {
                     return k.VerifyFlash(FirmwareOffset, EndOf(FirmwareOffset, fw), kTransferSize, fw, err);
                   },
                   [] { return StepText(190, 183); }))
    return;
  if (!runner.Step(StepText(190, 183),
                   [&](QString& err) {
                     return k.VerifyFlash(LanguageAddress, EndOf(LanguageAddress, lang), kTransferSize, lang, err);
                   },
                   [] { return StepText(189, 181); }))
    return;
  if (!runner.Step(StepText(189, 181),
                   [&](QString& err) {
                     block.Valid0 = kMarkerVUNA;
                     block.NewFirmwareHM = static_cast<uint32_t>(version);
                     block.OldFirmwareHM = kNoVersion;
                     block.Valid1 = kMarkerANUV;
                     SetResourceGroup(block);
                     view.ShowControlBlockField(0, block.NewFirmwareHM);
                     view.ShowControlBlockField(1, block.OldFirmwareHM);
                     view.ShowControlBlockField(4, block.NewHMResources);
                     view.ShowControlBlockField(5, block.OldHMResources);
                     view.ShowControlBlockField(6, block.ResourceAddress);
                     return k.WriteControlBlock(ControlBlockAddress, block, err);
                   },
                   [] { return LocalizedText(192) + " Kavelo"; }))
    return;
  k.Restart();
  runner.LogStep(LocalizedText(192) + " Kavelo");
  ShowMessageBox(LocalizedText(214) + "\r\n\r\n" + LocalizedText(215), UpdateBoxCaption(),
                 MB_ICONINFORMATION_OK);
  firmware.Stream.reset();
  languages.reset();
  runner.EnableButtons(true);
}

} // namespace kavelo
