#pragma once
// Runs one kavelo-cli command line from start to end, in-process: the program's main and the
// tests call it alike.

#include "handheld/KaveloLink.h"
#include "handheld/Waiting.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace kavelo::cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitStepFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoHandheld = 3; // none found, or the UDP port cannot be opened

// What the run takes from its surroundings; the program passes the process's own, tests pose
// theirs.
struct TCliEnvironment {
  std::function<void(const QByteArray&)> Out;
  std::function<void(const QByteArray&)> Err;
  bool OutIsTerminal = false;
  bool InIsTerminal = false;
  // A line typed on the terminal; nothing at the end of the input.
  std::function<std::optional<QString>()> ReadAnswer;
  // The clock of the waits: the event loop's when null.
  std::shared_ptr<IWaiter> Clock;
  // The handheld's link: the UDP endpoint when empty.
  TKaveloLinkFactory LinkFactory;
  // QLocale::system()'s language when AnyLanguage.
  QLocale::Language SystemLanguage = QLocale::AnyLanguage;
};

// arguments without the program's name; returns the exit status.
int RunCli(const QStringList& arguments, const TCliEnvironment& environment);

} // namespace kavelo::cli
