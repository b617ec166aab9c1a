#pragma once
// What kavelo-cli tells its user or its script: the lines of the update log, the steps with their
// progress, the questions and boxes of the sequences, and the results. Three styles: a progress
// bar on a terminal, plain lines otherwise, and one JSON object a line for scripts.

#include "handheld/ControlBlock.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kavelo::cli {

// Standard output and error output.
struct TCliOutput {
  std::function<void(const QByteArray&)> Out;
  std::function<void(const QByteArray&)> Err;
};

enum class THandheldOutcome { Updated, UpToDate, Failed };

struct THandheldResult {
  QString Address;
  THandheldOutcome Outcome = THandheldOutcome::Failed;
  QString FailedStep; // the step that failed; empty when the update could not start
  QString Error;      // the step's error text, or why the update could not start
};

class ICliReport {
public:
  virtual ~ICliReport() = default;
  // The handheld that the events up to the next call belong to.
  virtual void BeginHandheld(const QString& address) = 0;
  // A line of the window's log; stepLine when it is a step's announcement or result, which the
  // step events report as well.
  virtual void LogLine(const QString& line, bool stepLine) = 0;
  virtual void StepAnnounced(const QString& step) = 0;
  // line is the step's log line ("Writing firmware OK").
  virtual void StepFinished(const QString& step, bool succeeded, const QString& err,
                            const QString& line) = 0;
  virtual void Progress(const QString& step, int percent, int32_t position, int32_t max) = 0;
  // Shows the question before the answer is read from the terminal.
  virtual void Prompt(const QString& text) = 0;
  // answeredBy: "terminal", "--yes", "--skip-current" or "no terminal".
  virtual void Question(const QString& caption, const QString& text, bool yes,
                        const QString& answeredBy) = 0;
  // A box with an OK button: a failure, the closing instructions, the search result.
  virtual void Message(const QString& caption, const QString& text) = 0;
  virtual void Error(const QString& text) = 0;
  // The addresses a search found, each once, in text order.
  virtual void Found(const QStringList& addresses) = 0;
  virtual void Versions(const QString& address, const TControlBlock& block) = 0;
  virtual void Result(const THandheldResult& result) = 0;
  virtual void Summary(const std::vector<THandheldResult>& results, int exitCode) = 0;
};

enum class TReportStyle { Terminal, Plain, Json };

// dataOnOut: only the command's data (found addresses, versions) go to standard output, the log
// lines and boxes to error output, so that a script can read the data alone. The report keeps a
// reference to output.
std::unique_ptr<ICliReport> MakeTextReport(const TCliOutput& output, bool terminal, bool dataOnOut);
std::unique_ptr<ICliReport> MakeJsonReport(const TCliOutput& output);

// How an installed version reads: "V1.09", "none" for an empty field, else its hexadecimal value.
QString InstalledVersionText(uint32_t value);
QString OutcomeName(THandheldOutcome outcome);

} // namespace kavelo::cli
