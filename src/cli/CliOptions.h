#pragma once
// The command line of kavelo-cli: its commands, options and usage text.

#include <QString>
#include <QStringList>

namespace kavelo::cli {

enum class TCommand { None, Search, Info, Update };
enum class TUpdateKind { Handheld, RadioModule, PersistentData };
// How the question "same or newer version already installed" is answered.
enum class TVersionAnswer { Ask, Yes, SkipCurrent };

struct TCliOptions {
  TCommand Command = TCommand::None;
  // info and update: the handhelds, in order; search: at most one address, whose subnet is
  // searched.
  QStringList Addresses;
  TUpdateKind Kind = TUpdateKind::Handheld;
  QString FirmwareFile; // empty: the built-in image
  QString VersionText;  // the version written for FirmwareFile, as the version field takes it
  TVersionAnswer Answer = TVersionAnswer::Ask;
  bool Json = false;
  QString Language; // a language code; empty: the system's language
  QString LogFile;
  bool Help = false;
};

// Reads the arguments (without the program's name). False with the reason in error when they
// make no valid command; with --help the rest is not checked.
bool ParseCommandLine(const QStringList& arguments, TCliOptions& options, QString& error);

QString UsageText();

} // namespace kavelo::cli
