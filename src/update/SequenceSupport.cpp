#include "update/SequenceSupport.h"

#include "handheld/Kavelo.h"
#include "handheld/Waiting.h"
#include "update/NumberSyntax.h"
#include "net/Helpers.h"
#include "update/Images.h"
#include "update/Versions.h"

namespace kavelo {

bool AlreadyInstalled(int32_t toInstall, uint32_t installed) {
  return installed != kNoVersion && static_cast<int64_t>(toInstall) <= static_cast<int64_t>(installed);
}

bool AskVersionQuestion(int question) {
  return ShowMessageBox(LocalizedText(question) + "\r\n" + LocalizedText(175), UpdateBoxCaption(),
                        MB_ICONINFORMATION_YESNO) == IDYES;
}

void ShowAllControlBlockFields(IUpdateView& view, const TControlBlock& block) {
  const uint32_t values[] = {block.NewFirmwareHM,  block.OldFirmwareHM,  block.NewFirmwareRM,
                             block.OldFirmwareRM,  block.NewHMResources, block.OldHMResources,
                             block.ResourceAddress};
  for (int i = 0; i < 7; ++i) view.ShowControlBlockField(i, values[i]);
}

void ShowResourceFields(IUpdateView& view, const TControlBlock& block) {
  view.ShowControlBlockField(4, block.NewHMResources);
  view.ShowControlBlockField(5, block.OldHMResources);
  view.ShowControlBlockField(6, block.ResourceAddress);
}

void SetResourceGroup(TControlBlock& block) {
  block.Valid4 = kMarkerVUNA;
  block.NewHMResources = HMResourcesVersion;
  block.OldHMResources = HMResourcesVersion;
  block.ResourceAddress = LanguageAddress;
  block.Valid5 = kMarkerANUV;
}

uint32_t EndOf(uint32_t begin, QIODevice& stream) {
  stream.seek(0);
  return begin + static_cast<uint32_t>(stream.size());
}

TStepOperation UpdateModeEntry(TKavelo& k) {
  return [&k](QString& err) { return k.HMUpdateInit(err); };
}

TStepOperation ReadBlock(TKavelo& k, TControlBlock& block) {
  return [&k, &block](QString& err) { return k.ReadControlBlock(ControlBlockAddress, block, err); };
}

TStepOperation WriteBlock(TKavelo& k, const TControlBlock& block) {
  return [&k, &block](QString& err) { return k.WriteControlBlock(ControlBlockAddress, block, err); };
}

TStepOperation EraseRange(TKavelo& k, uint32_t begin, uint32_t end) {
  return [&k, begin, end](QString& err) { return k.EraseFlash(begin, end, err); };
}

TStepOperation EraseStagingArea(TKavelo& k, QIODevice& firmware) {
  return [&k, &firmware](QString& err) { return k.EraseFlash(0, EndOf(2 * FirmwareOffset, firmware), err); };
}

TStepOperation WriteImage(TKavelo& k, uint32_t begin, QIODevice& image) {
  return [&k, begin, &image](QString& err) {
    return k.WriteFlash(begin, EndOf(begin, image), kTransferSize, image, err);
  };
}

TStepOperation VerifyImage(TKavelo& k, uint32_t begin, QIODevice& image) {
  return [&k, begin, &image](QString& err) {
    return k.VerifyFlash(begin, EndOf(begin, image), kTransferSize, image, err);
  };
}

std::optional<TFirmwareStart> StartFirmwareSequence(IUpdateView& view, TStepRunner& runner, TFirmwareRow row) {
  const bool handheld = row == TFirmwareRow::Handheld;
  TFirmwareStart start;
  if (!ParsePanelNumber(view.VersionText(row), start.Version)) {
    runner.LogStep(handheld ? QStringLiteral("Cannot convert ComboBoxHMVersion.Text to Integer")
                            : QStringLiteral("Cannot convert ComboBoxRMVersion.Text to Integer"));
    runner.ContinueWith(QStringLiteral("TryStrToInt"), false, QString());
    return std::nullopt;
  }
  start.Label = view.FirmwareLabel(row);
  start.Firmware = handheld ? OpenFirmwareImage(start.Label, HMFirmwareLabel(), kImageFirmware)
                            : OpenFirmwareImage(start.Label, RMFirmwareLabel(), kImageRadioModule);
  start.Languages = OpenImage(kImageLanguages);
  if (!start.Firmware.Stream || !start.Languages) {
    // Nothing has been sent; the error reaches the application's report.
    view.ReportError(start.Firmware.Stream ? QStringLiteral("The built-in image Kavelo_Languages is missing")
                                           : start.Firmware.Error);
    runner.EnableButtons(true);
    return std::nullopt;
  }
  return start;
}

} // namespace kavelo
