// kavelo-cli: the Kavelo Update Tool's updates on the command line.

#include "cli/CliRun.h"

#include <QCoreApplication>
#include <cstdio>
#include <exception>
#include <unistd.h>

namespace {

void Write(FILE* stream, const QByteArray& bytes) {
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
  std::fflush(stream);
}

// Errors of the socket layer and of file access end in one line on error output, never in a crash.
class TApplication : public QCoreApplication {
public:
  using QCoreApplication::QCoreApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QCoreApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      Write(stderr, QByteArray("kavelo-cli: ") + e.what() + '\n');
    } catch (...) {
      Write(stderr, "kavelo-cli: unexpected error\n");
    }
    return false;
  }
};

std::optional<QString> ReadTerminalLine() {
  char buffer[256];
  if (!std::fgets(buffer, sizeof buffer, stdin)) return std::nullopt;
  return QString::fromLocal8Bit(buffer);
}

} // namespace

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  TApplication::setApplicationName(QStringLiteral("kavelo-cli"));
  TApplication::setOrganizationName(QStringLiteral("Orvo_Kavelo"));
  kavelo::cli::TCliEnvironment environment;
  environment.Out = [](const QByteArray& bytes) { Write(stdout, bytes); };
  environment.Err = [](const QByteArray& bytes) { Write(stderr, bytes); };
  environment.OutIsTerminal = isatty(STDOUT_FILENO) == 1;
  environment.InIsTerminal = isatty(STDIN_FILENO) == 1;
  environment.ReadAnswer = ReadTerminalLine;
  try {
    return kavelo::cli::RunCli(TApplication::arguments().mid(1), environment);
  } catch (const std::exception& e) {
    Write(stderr, QByteArray("kavelo-cli: ") + e.what() + '\n');
  }
  return kavelo::cli::kExitStepFailed;
}
