#pragma once
// kavelo-cli as the update sequences see it: their status and log lines, steps, progress and
// boxes go to the report and the log file. The window's buttons and developer panel have no
// counterpart here.

#include "cli/CliOptions.h"
#include "cli/CliReport.h"
#include "handheld/Waiting.h"
#include "update/UpdateView.h"

#include <functional>
#include <memory>

namespace kavelo::cli {

class TCliView : public IUpdateView {
public:
  using TLogSink = std::function<void(const QString& line)>;
  TCliView(TKavelo& kavelo, ICliReport& report, const TCliOptions& options, TLogSink logFile);

  // Starts the lines of another handheld: a fresh control block and no failure yet.
  void BeginHandheld(const QString& address);
  // From the connection's progress event.
  void Progress(int32_t Max, int32_t Position);
  // The step that failed and its error text; for an update that could not start, the step is
  // empty and the error says why.
  const QString& FailedStep() const { return fFailedStep; }
  const QString& Error() const { return fError; }

  TKavelo& Kavelo() override { return fKavelo; }
  TControlBlock& ControlBlock() override { return fBlock; }
  void SetStatusText(const QString& text) override { fStatus = text; }
  void AppendLog(const QString& line) override;
  void SetSequenceButtonsEnabled(bool) override {}
  bool StepMode(TFirmwareRow) override { return false; }
  QString FirmwareLabel(TFirmwareRow row) override;
  QString VersionText(TFirmwareRow row) override;
  void ShowControlBlockField(int, uint32_t) override {}
  void UpdateControlStates(bool) override {}
  void ReportError(const QString& text) override;
  void StepAnnounced(const QString& step) override;
  void StepFinished(const QString& step, bool succeeded, const QString& err) override;

private:
  TKavelo& fKavelo;
  ICliReport& fReport;
  const TCliOptions& fOptions;
  TLogSink fLogFile;
  TControlBlock fBlock{};
  QString fStatus;   // the status line; a log line equal to it is a step's line
  QString fLastLine; // the log's last line
  QString fStep;     // the step announced last
  int fLastPercent = -1;
  QString fFailedStep;
  QString fError;
};

// The waits of the sequences on a clock (the event loop's in the program), with the message boxes
// answered by the command line.
class TCliWaiter : public IWaiter {
public:
  using TBoxHandler =
      std::function<int(const QString& Text, const QString& Caption, uint32_t Flags)>;
  TCliWaiter(std::shared_ptr<IWaiter> clock, TBoxHandler boxes)
      : fClock(std::move(clock)), fBoxes(std::move(boxes)) {}

  bool WaitUntil(uint32_t TimeoutMs, const std::function<bool()>& Condition) override {
    return fClock->WaitUntil(TimeoutMs, Condition);
  }
  void Delay(uint32_t Milliseconds) override { fClock->Delay(Milliseconds); }
  int ShowMessageBox(const QString& Text, const QString& Caption, uint32_t Flags) override {
    return fBoxes(Text, Caption, Flags);
  }
  uint64_t NowMs() override { return fClock->NowMs(); }

private:
  std::shared_ptr<IWaiter> fClock;
  TBoxHandler fBoxes;
};

} // namespace kavelo::cli
