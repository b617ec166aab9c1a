#pragma once
// Whole updates on the virtual clock against the simulator's device model, with a recording view.

#include "common/FakePlatform.h"
#include "common/SimDeviceLink.h"
#include "common/VirtualClock.h"
#include "handheld/Kavelo.h"
#include "update/Images.h"
#include "update/Sequences.h"
#include "update/Versions.h"

#include <gmock/gmock.h>

namespace kavelo::test {

class TRecordingView : public IUpdateView {
public:
  TKavelo& Kavelo() override { return fKavelo; }
  TControlBlock& ControlBlock() override { return fBlock; }
  void SetStatusText(const QString&) override {}
  void AppendLog(const QString& line) override { Log.push_back(line); }
  void SetSequenceButtonsEnabled(bool enabled) override { ButtonsEnabled = enabled; }
  bool StepMode(TFirmwareRow) override { return false; }
  QString FirmwareLabel(TFirmwareRow row) override {
    return row == TFirmwareRow::Handheld ? HMFirmwareLabel() : RMFirmwareLabel();
  }
  QString VersionText(TFirmwareRow row) override {
    return VersionComboText(row == TFirmwareRow::Handheld ? HMFirmwareVersion : RMFirmwareVersion);
  }
  void ShowControlBlockField(int, uint32_t) override {}
  void UpdateControlStates(bool) override {}
  void ReportError(const QString& text) override { Log.push_back(text); }

  QStringList Log;
  bool ButtonsEnabled = true;

private:
  TKavelo fKavelo;
  TControlBlock fBlock{};
};

inline kavelosim::Bytes ImageOf(const char* name) {
  auto stream = OpenImage(name);
  const QByteArray bytes = stream->readAll();
  return kavelosim::Bytes(bytes.begin(), bytes.end());
}

enum class TOutcome { Completed, Failed };

class ReliabilityTest : public ::testing::Test {
protected:
  ReliabilityTest() {
    fPlatform->Arp = std::vector<TArpRow>{};
    SetLanguageBase(2000);
  }
  // A fresh handheld with a main controller and a radio module of older versions installed.
  std::shared_ptr<TSimDeviceBench> NewHandheld() {
    auto bench = MakeSimDeviceBench(&*fClock);
    bench->Device.PresetInstalledVersions(0x100, 0x100, 0x100);
    return bench;
  }
  // One run of the sequence through a new connection to the handheld.
  TOutcome Run(TSimDeviceBench& bench, void (*sequence)(IUpdateView&)) {
    TRecordingView view;
    view.Kavelo().SetLinkFactory(bench.Factory());
    EXPECT_TRUE(view.Kavelo().Connect("192.168.0.9", 21105));
    const size_t boxes = fClock->Boxes().size();
    sequence(view);
    EXPECT_TRUE(view.ButtonsEnabled);
    fLastLog = view.Log;
    const auto& all = fClock->Boxes();
    for (size_t i = boxes; i < all.size(); ++i)
      if (all[i].Text.startsWith("Calibrate") || all[i].Text.startsWith("Turn on")) return TOutcome::Completed;
    return TOutcome::Failed;
  }
  // The flash and the control block as a completed update must leave them.
  static ::testing::AssertionResult HoldsTheHandheldUpdate(const TSimDeviceBench& bench) {
    static const auto firmware = ImageOf(kImageFirmware);
    static const auto languages = ImageOf(kImageLanguages);
    if (bench.Device.ReadFlash(0x400, firmware.size()) != firmware)
      return ::testing::AssertionFailure() << "firmware differs";
    if (bench.Device.ReadFlash(0x3A000, languages.size()) != languages)
      return ::testing::AssertionFailure() << "language resources differ";
    const auto cb = bench.Device.GetControlBlock();
    if (cb.newFirmwareHM != 0x109 || !cb.HMGroupValid() || !cb.ResourceGroupValid() ||
        cb.newHMResources != 0x112 || cb.resourceAddress != 0x3A000)
      return ::testing::AssertionFailure() << "control block wrong";
    return ::testing::AssertionSuccess();
  }
  static ::testing::AssertionResult HoldsTheRadioModuleUpdate(const TSimDeviceBench& bench) {
    static const auto firmware = ImageOf(kImageRadioModule);
    static const auto languages = ImageOf(kImageLanguages);
    if (bench.Device.ReadFlash(0x400, firmware.size()) != firmware)
      return ::testing::AssertionFailure() << "radio module firmware differs";
    if (bench.Device.ReadFlash(0x3A000, languages.size()) != languages)
      return ::testing::AssertionFailure() << "language resources differ";
    const auto cb = bench.Device.GetControlBlock();
    if (cb.newFirmwareRM != 0x105 || !cb.RMGroupValid() || !cb.ResourceGroupValid())
      return ::testing::AssertionFailure() << "control block wrong";
    return ::testing::AssertionSuccess();
  }

  std::shared_ptr<TFakePlatform> fPlatform = std::make_shared<TFakePlatform>();
  TScopedPlatform fPlatformScope{fPlatform};
  TScopedVirtualClock fClock;
  QStringList fLastLog;
};

} // namespace kavelo::test
