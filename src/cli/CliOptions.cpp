#include "cli/CliOptions.h"

#include "net/Helpers.h"
#include "update/Languages.h"
#include "update/NumberSyntax.h"

#include <QFileInfo>

namespace kavelo::cli {

namespace {

struct TArgs {
  QStringList List;
  qsizetype Next = 0;
  bool AtEnd() const { return Next >= List.size(); }
};

// The value of an option, given as "--name=value" or as the following argument.
bool TakeValue(TArgs& args, const QString& name, const QString& inlineValue, bool hasInline,
               QString& value, QString& error) {
  if (hasInline) {
    value = inlineValue;
  } else if (!args.AtEnd()) {
    value = args.List[args.Next++];
  } else {
    error = QStringLiteral("option %1 needs a value").arg(name);
    return false;
  }
  if (value.isEmpty()) {
    error = QStringLiteral("option %1 needs a value").arg(name);
    return false;
  }
  return true;
}

bool CheckUpdateOptions(const TCliOptions& o, bool radio, bool persistent, bool yes, bool skip,
                        QString& error) {
  if (radio && persistent) {
    error = QStringLiteral("--radio-module and --persistent-data exclude each other");
    return false;
  }
  if (yes && skip) {
    error = QStringLiteral("--yes and --skip-current exclude each other");
    return false;
  }
  if (persistent && !o.FirmwareFile.isEmpty()) {
    error = QStringLiteral(
        "--persistent-data always writes the built-in data; --firmware does not apply");
    return false;
  }
  if (o.FirmwareFile.isEmpty() != o.VersionText.isEmpty()) {
    error =
        QStringLiteral("--firmware and --version go together: the file and the version it holds");
    return false;
  }
  if (!o.FirmwareFile.isEmpty()) {
    const QFileInfo file(o.FirmwareFile);
    if (!file.isFile() || !file.isReadable()) {
      error = QStringLiteral("cannot read the firmware file %1").arg(o.FirmwareFile);
      return false;
    }
    int32_t version = 0;
    if (!ParsePanelNumber(o.VersionText, version)) {
      error = QStringLiteral("--version %1 is not a number (decimal, or hexadecimal after 0x)")
                  .arg(o.VersionText);
      return false;
    }
  }
  return true;
}

} // namespace

bool ParseCommandLine(const QStringList& arguments, TCliOptions& o, QString& error) {
  o = TCliOptions{};
  TArgs args{arguments};
  QStringList positional;
  bool radio = false, persistent = false, yes = false, skip = false;
  bool updateOnly = false; // an option that only the update command takes was given
  while (!args.AtEnd()) {
    const QString arg = args.List[args.Next++];
    if (!arg.startsWith(QLatin1String("-")) || arg == QLatin1String("-")) {
      positional.append(arg);
      continue;
    }
    const qsizetype eq = arg.indexOf(u'=');
    const QString name = eq < 0 ? arg : arg.left(eq);
    const QString inlineValue = eq < 0 ? QString() : arg.mid(eq + 1);
    const bool hasInline = eq >= 0;
    const bool takesValue = name == QLatin1String("--firmware") ||
                            name == QLatin1String("--version") ||
                            name == QLatin1String("--language") || name == QLatin1String("--log");
    if (hasInline && !takesValue) {
      error = QStringLiteral("option %1 takes no value").arg(name);
      return false;
    }
    if (name == QLatin1String("-h") || name == QLatin1String("--help")) {
      o.Help = true;
      return true;
    } else if (name == QLatin1String("--json")) {
      o.Json = true;
    } else if (name == QLatin1String("--radio-module")) {
      radio = updateOnly = true;
    } else if (name == QLatin1String("--persistent-data")) {
      persistent = updateOnly = true;
    } else if (name == QLatin1String("--yes") || name == QLatin1String("-y")) {
      yes = updateOnly = true;
    } else if (name == QLatin1String("--skip-current")) {
      skip = updateOnly = true;
    } else if (name == QLatin1String("--firmware")) {
      if (!TakeValue(args, name, inlineValue, hasInline, o.FirmwareFile, error)) return false;
      updateOnly = true;
    } else if (name == QLatin1String("--version")) {
      if (!TakeValue(args, name, inlineValue, hasInline, o.VersionText, error)) return false;
      updateOnly = true;
    } else if (name == QLatin1String("--language")) {
      if (!TakeValue(args, name, inlineValue, hasInline, o.Language, error)) return false;
      if (LanguageBaseOfCode(o.Language) == 0) {
        error =
            QStringLiteral("unknown language %1 (de, en, fr, es, it, cs or nl)").arg(o.Language);
        return false;
      }
    } else if (name == QLatin1String("--log")) {
      if (!TakeValue(args, name, inlineValue, hasInline, o.LogFile, error)) return false;
    } else {
      error = QStringLiteral("unknown option %1").arg(arg);
      return false;
    }
  }
  if (positional.isEmpty()) {
    error = QStringLiteral("no command given (search, info or update)");
    return false;
  }
  const QString command = positional.takeFirst();
  if (command == QLatin1String("search")) {
    o.Command = TCommand::Search;
  } else if (command == QLatin1String("info")) {
    o.Command = TCommand::Info;
  } else if (command == QLatin1String("update")) {
    o.Command = TCommand::Update;
  } else {
    error = QStringLiteral("unknown command %1 (search, info or update)").arg(command);
    return false;
  }
  for (const QString& address : positional) {
    if (!IsValidIP(address)) {
      error = QStringLiteral("%1 is not an IPv4 address").arg(address);
      return false;
    }
  }
  o.Addresses = positional;
  if (o.Command == TCommand::Search && o.Addresses.size() > 1) {
    error = QStringLiteral("search takes at most one address: one in the network to search");
    return false;
  }
  if (o.Command != TCommand::Search && o.Addresses.isEmpty()) {
    error = QStringLiteral("%1 needs the address of at least one handheld").arg(command);
    return false;
  }
  if (o.Command != TCommand::Update && updateOnly) {
    error = QStringLiteral("--radio-module, --persistent-data, --firmware, --version, --yes and "
                           "--skip-current belong to the update command");
    return false;
  }
  if (o.Command == TCommand::Update && !CheckUpdateOptions(o, radio, persistent, yes, skip, error))
    return false;
  o.Kind = radio        ? TUpdateKind::RadioModule
           : persistent ? TUpdateKind::PersistentData
                        : TUpdateKind::Handheld;
  o.Answer = yes ? TVersionAnswer::Yes : skip ? TVersionAnswer::SkipCurrent : TVersionAnswer::Ask;
  return true;
}

QString UsageText() {
  return QStringLiteral(
      "Usage: kavelo-cli search [ADDRESS] [OPTION]...\n"
      "       kavelo-cli info ADDRESS... [OPTION]...\n"
      "       kavelo-cli update ADDRESS... [--radio-module | --persistent-data]\n"
      "                  [--firmware FILE --version V] [--yes | --skip-current] [OPTION]...\n"
      "\n"
      "Updates Orvo Kavelo Wi-Fi handhelds over the local network (UDP port 21105), with the\n"
      "same steps, checks and texts as the Kavelo Update Tool's window.\n"
      "\n"
      "Commands:\n"
      "  search             find the handhelds on the network (the one of ADDRESS, else of\n"
      "                     the first adapter) and print their addresses; each one found\n"
      "                     restarts\n"
      "  info               print the installed and the built-in versions of main controller,\n"
      "                     radio module and resources; the handheld restarts afterwards\n"
      "  update             update the handhelds one after the other: the main-controller\n"
      "                     firmware and the language resources, ending with a restart\n"
      "\n"
      "Update options:\n"
      "  --radio-module     stage the radio module firmware instead; the handheld switches off\n"
      "                     and updates its radio module when switched on again\n"
      "  --persistent-data  rewrite the persistent flash data instead\n"
      "  --firmware FILE    write FILE instead of the built-in firmware (needs --version)\n"
      "  --version V        the version FILE holds, for example 0x109\n"
      "  -y, --yes          update even when the same or a newer version is installed\n"
      "  --skip-current     leave such a handheld as it is (\"already up to date\")\n"
      "                     Without either, the question is asked on a terminal; without\n"
      "                     a terminal it is answered No.\n"
      "\n"
      "Options:\n"
      "  --json             one JSON object a line for every event, for scripts\n"
      "  --language CODE    de, en, fr, es, it, cs or nl (default: the system's language)\n"
      "  --log FILE         append the lines of the update log to FILE\n"
      "  -h, --help         show this text\n"
      "\n"
      "Exit status: 0 done (or already up to date), 1 a step failed, 2 usage error,\n"
      "3 no handheld found or the UDP port cannot be opened.\n");
}

} // namespace kavelo::cli
