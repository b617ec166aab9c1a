// Runs the Kavelo update and the radio-module update against the in-process simulated handheld
// on loopback, with the real waits, and prints each wall time against its protocol floor: the
// settle delays of the erase requests alone (8 s and 16 s).

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

double RunSeconds(void (*sequence)(kavelo::IUpdateView&), bool& completed, QString& last) {
  kavelosim::SimulatorOptions options;
  options.address = "127.77.4.2";
  options.interfaceBroadcasts = false;
  kavelosim::KaveloSimulator sim(options);
  if (!sim.Start()) return -1;
  sim.PresetInstalledVersions(0x100, 0x100, 0x100);
  auto waiter = std::make_shared<TQuietWaiter>();
  auto previous = kavelo::SetWaiter(waiter);
  TBenchView view;
  double seconds = -1;
  if (view.Kavelo().Connect("127.77.4.2", 21105)) {
    const auto start = std::chrono::steady_clock::now();
    sequence(view);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  completed = waiter->LastBox.startsWith("Calibrate") || waiter->LastBox.startsWith("Turn on");
  last = view.Last;
  kavelo::SetWaiter(previous);
  return seconds;
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
  for (const auto& run : runs) {
    bool completed = false;
    QString last;
    const double seconds = RunSeconds(run.Sequence, completed, last);
    std::printf("%-20s %7.3f s, floor %5.1f s, ratio %.3f (target at most 1.05)%s\n", run.Name, seconds,
                run.Floor, seconds / run.Floor, completed ? "" : "  [did not complete]");
    if (!completed) std::printf("  last line: %s\n", last.toLocal8Bit().constData());
    ok = ok && completed && seconds > 0;
  }
  return ok ? 0 : 1;
}
