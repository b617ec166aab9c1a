// Runs the Kavelo update and the radio-module update against the in-process simulated handheld
// on loopback, with the real waits, and prints each wall time against its protocol floor: the
// settle delays of the erase requests alone (8 s and 16 s). Each runs on a clean network and on
// a busy home Wi-Fi (random reply delays and some duplicates, seeded); for the latter the sum of
// the delays the network added is printed too, since one request in flight at a time waits for
// every one of them.

#include "KaveloSimulator.h"
#include "common/FakePlatform.h"
#include "handheld/Kavelo.h"
#include "handheld/Waiting.h"
#include "update/Sequences.h"
#include "update/Versions.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>

namespace {

class TBenchView : public kavelo::IUpdateView {
public:
  kavelo::TKavelo& Kavelo() override { return fKavelo; }
  kavelo::TControlBlock& ControlBlock() override { return fBlock; }
  void SetStatusText(const QString&) override {}
  void AppendLog(const QString& line) override { Last = line; }
  void SetSequenceButtonsEnabled(bool) override {}
  bool StepMode(kavelo::TFirmwareRow) override { return false; }
  QString FirmwareLabel(kavelo::TFirmwareRow row) override {
    return row == kavelo::TFirmwareRow::Handheld ? kavelo::HMFirmwareLabel() : kavelo::RMFirmwareLabel();
  }
  QString VersionText(kavelo::TFirmwareRow row) override {
    return row == kavelo::TFirmwareRow::Handheld ? "0x109" : "0x105";
  }
  void ShowControlBlockField(int, uint32_t) override {}
  void UpdateControlStates(bool) override {}
  void ReportError(const QString& text) override { Last = text; }
  QString Last;

private:
  kavelo::TKavelo fKavelo;
  kavelo::TControlBlock fBlock{};
};

// Answers every box with OK and notes the last one.
class TQuietWaiter : public kavelo::TEventLoopWaiter {
public:
  int ShowMessageBox(const QString& Text, const QString&, uint32_t) override {
    LastBox = Text;
    return kavelo::IDOK;
  }
  QString LastBox;
};

struct TRunResult {
  double Seconds = -1;
  bool Completed = false;
  QString Last;
  double NetworkDelaySeconds = 0;
};

TRunResult Run(void (*sequence)(kavelo::IUpdateView&), const kavelosim::FaultRules& faults) {
  TRunResult result;
  kavelosim::SimulatorOptions options;
  options.address = "127.77.4.2";
  options.interfaceBroadcasts = false;
  kavelosim::KaveloSimulator sim(options);
  if (!sim.Start()) return result;
  sim.PresetInstalledVersions(0x100, 0x100, 0x100);
  sim.SetFaults(faults);
  auto waiter = std::make_shared<TQuietWaiter>();
  auto previous = kavelo::SetWaiter(waiter);
  TBenchView view;
  if (view.Kavelo().Connect("127.77.4.2", 21105)) {
    const auto start = std::chrono::steady_clock::now();
    sequence(view);
    result.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  result.Completed = waiter->LastBox.startsWith("Calibrate") || waiter->LastBox.startsWith("Turn on");
  result.Last = view.Last;
  result.NetworkDelaySeconds = static_cast<double>(sim.Stats().delayedMsTotal) / 1000.0;
  kavelo::SetWaiter(previous);
  return result;
}

kavelosim::FaultRules BusyWifi() {
  kavelosim::FaultRules rules;
  rules.seed = 2026;
  rules.jitter = kavelosim::kBusyWifiJitter;
  rules.duplicate.push_back(kavelosim::ReplySelector::Rate(kavelosim::kBusyWifiDuplicateRate));
  return rules;
}

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  auto platform = std::make_shared<kavelo::test::TFakePlatform>();
  platform->Adapters = {{"lo", "127.77.4.1", "255.255.255.0"}};
  platform->Arp = std::vector<kavelo::TArpRow>{};
  kavelo::test::TScopedPlatform scope(platform);
  bool ok = true;
  const struct {
    const char* Name;
    void (*Sequence)(kavelo::IUpdateView&);
    double Floor;
  } runs[] = {{"Update Kavelo", &kavelo::RunHandheldUpdate, 8.0},
              {"Update Radio Module", &kavelo::RunRadioModuleUpdate, 16.0}};
  const struct {
    const char* Name;
    kavelosim::FaultRules Faults;
    double Target;
  } networks[] = {{"clean", {}, 1.05},
                  {"busy Wi-Fi", BusyWifi(), 1.10}};
  for (const auto& run : runs) {
    for (const auto& network : networks) {
      const TRunResult r = Run(run.Sequence, network.Faults);
      std::printf("%-20s %-10s %7.3f s, floor %5.1f s, ratio %.3f (target at most %.2f)", run.Name,
                  network.Name, r.Seconds, run.Floor, r.Seconds / run.Floor, network.Target);
      if (r.NetworkDelaySeconds > 0)
        std::printf("; the network's delays %.3f s, the tool's own time beyond floor and delays %.3f s",
                    r.NetworkDelaySeconds, r.Seconds - run.Floor - r.NetworkDelaySeconds);
      std::printf("%s\n", r.Completed ? "" : "  [did not complete]");
      if (!r.Completed) std::printf("  last line: %s\n", r.Last.toLocal8Bit().constData());
      ok = ok && r.Completed && r.Seconds > 0;
    }
  }
  return ok ? 0 : 1;
}
