#include "cli/CliView.h"

#include "update/Progress.h"
#include "update/Versions.h"

#include <algorithm>

namespace kavelo::cli {

TCliView::TCliView(TKavelo& kavelo, ICliReport& report, const TCliOptions& options,
                   TLogSink logFile)
    : fKavelo(kavelo), fReport(report), fOptions(options), fLogFile(std::move(logFile)) {}

void TCliView::BeginHandheld(const QString& address) {
  fBlock = TControlBlock{};
  fStatus.clear();
  fLastLine.clear();
  fStep.clear();
  fLastPercent = -1;
  fFailedStep.clear();
  fError.clear();
  fReport.BeginHandheld(address);
}

void TCliView::AppendLog(const QString& line) {
  if (fLogFile) fLogFile(line);
  // The step runner sets the status line to a step's line right before it logs it.
  const bool stepLine = !fStatus.isNull() && line == fStatus;
  fStatus = QString();
  fLastLine = line;
  fReport.LogLine(line, stepLine);
}

QString TCliView::FirmwareLabel(TFirmwareRow row) {
  // A file's name in the label makes the sequence open that file instead of the built-in image.
  if (!fOptions.FirmwareFile.isEmpty()) return fOptions.FirmwareFile;
  return row == TFirmwareRow::Handheld ? HMFirmwareLabel() : RMFirmwareLabel();
}

QString TCliView::VersionText(TFirmwareRow row) {
  if (!fOptions.VersionText.isEmpty()) return fOptions.VersionText;
  return VersionComboText(row == TFirmwareRow::Handheld ? HMFirmwareVersion : RMFirmwareVersion);
}

void TCliView::ReportError(const QString& text) {
  fFailedStep.clear();
  fError = text;
  fReport.Error(text);
}

void TCliView::StepAnnounced(const QString& step) {
  fStep = step;
  fLastPercent = -1;
  fReport.StepAnnounced(step);
}

void TCliView::StepFinished(const QString& step, bool succeeded, const QString& err) {
  if (!succeeded) {
    fFailedStep = step;
    fError = err;
  }
  fReport.StepFinished(step, succeeded, err, fLastLine);
}

void TCliView::Progress(int32_t Max, int32_t Position) {
  const int percent = std::clamp(ProgressPercent(Max, Position), 0, 100);
  if (percent == fLastPercent) return;
  fLastPercent = percent;
  fReport.Progress(fStep, percent, Position, Max);
}

} // namespace kavelo::cli
