#include "cli/CliRun.h"

#include "cli/CliOptions.h"
#include "cli/CliReport.h"
#include "cli/CliSession.h"
#include "net/Helpers.h"
#include "update/Languages.h"

#include <QFile>

namespace kavelo::cli {

namespace {

// The message table's language and the application's waiter are process-wide; a run leaves them
// as it found them.
class TRunScope {
public:
  TRunScope(int languageBase, std::shared_ptr<IWaiter> waiter)
      : fLanguage(LanguageBase()), fWaiter(SetWaiter(std::move(waiter))) {
    SetLanguageBase(languageBase);
  }
  ~TRunScope() {
    SetWaiter(fWaiter);
    SetLanguageBase(fLanguage);
  }
  TRunScope(const TRunScope&) = delete;
  TRunScope& operator=(const TRunScope&) = delete;

private:
  int fLanguage;
  std::shared_ptr<IWaiter> fWaiter;
};

} // namespace

int RunCli(const QStringList& arguments, const TCliEnvironment& environment) {
  const TCliOutput output{environment.Out, environment.Err};
  TCliOptions options;
  QString error;
  if (!ParseCommandLine(arguments, options, error)) {
    output.Err((QStringLiteral("kavelo-cli: ") + error +
                QStringLiteral("\nTry 'kavelo-cli --help' for more information.\n"))
                   .toLocal8Bit());
    return kExitUsage;
  }
  if (options.Help) {
    output.Out(UsageText().toLocal8Bit());
    return kExitDone;
  }

  QFile logFile;
  if (!options.LogFile.isEmpty()) {
    logFile.setFileName(options.LogFile);
    if (!logFile.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
      output.Err(QStringLiteral("kavelo-cli: cannot write the log file %1: %2\n")
                     .arg(options.LogFile, logFile.errorString())
                     .toLocal8Bit());
      return kExitUsage;
    }
  }
  const auto writeLog = [&logFile](const QString& line) {
    if (!logFile.isOpen()) return;
    logFile.write((line + u'\n').toUtf8());
    logFile.flush(); // a run that is cut short keeps its lines
  };

  const QLocale::Language system = environment.SystemLanguage == QLocale::AnyLanguage
                                       ? QLocale::system().language()
                                       : environment.SystemLanguage;
  const int language = options.Language.isEmpty() ? SystemLanguageBase(system)
                                                  : LanguageBaseOfCode(options.Language);

  const std::unique_ptr<ICliReport> report =
      options.Json
          ? MakeJsonReport(output)
          : MakeTextReport(output, environment.OutIsTerminal, options.Command != TCommand::Update);
  std::shared_ptr<IWaiter> clock = environment.Clock;
  if (!clock) clock = std::make_shared<TEventLoopWaiter>();
  TCliSession* session = nullptr;
  TRunScope scope(
      language, std::make_shared<TCliWaiter>(
                    clock, [&session](const QString& text, const QString& caption, uint32_t flags) {
                      return session ? session->Box(text, caption, flags) : IDNO;
                    }));
  TCliSession run(options, environment, *report, writeLog);
  session = &run;
  int status = kExitDone;
  switch (options.Command) {
  case TCommand::Search:
    status = run.Search();
    break;
  case TCommand::Info:
    status = run.Info();
    break;
  case TCommand::Update:
    status = run.Update();
    break;
  case TCommand::None:
    break;
  }
  session = nullptr;
  return status;
}

} // namespace kavelo::cli
