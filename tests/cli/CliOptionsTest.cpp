// The command line: what it accepts, and the usage errors that end a run before anything is
// sent.

#include "cli/CliOptions.h"

#include "cli/CliFixture.h"

#include <QTemporaryDir>

namespace kavelo::test {
namespace {

using ::testing::HasSubstr;

struct TUsageCase {
  const char* Name;
  std::vector<const char*> Arguments;
  const char* Message; // a part of the error line
};
void PrintTo(const TUsageCase& c, std::ostream* os) { *os << c.Name; }

class CliUsage : public CliTest, public ::testing::WithParamInterface<TUsageCase> {};

TEST_P(CliUsage, EndsWithExitTwoAndSaysWhySendingNothing) {
  int linksOpened = 0;
  LinkFactory = [&](uint32_t, TKaveloDataEvent, uint16_t, uint16_t) {
    ++linksOpened;
    return std::unique_ptr<IKaveloLink>();
  };
  QStringList arguments;
  for (const char* a : GetParam().Arguments)
    arguments << QString::fromUtf8(a);
  const TCliRun run = Run(arguments);
  EXPECT_EQ(run.Exit, 2);
  EXPECT_THAT(run.Err.toStdString(), HasSubstr(GetParam().Message));
  EXPECT_THAT(run.Err.toStdString(), HasSubstr("Try 'kavelo-cli --help'"));
  EXPECT_TRUE(run.Out.isEmpty());
  EXPECT_EQ(linksOpened, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliUsage,
    ::testing::Values(
        TUsageCase{"NoCommand", {}, "no command given"},
        TUsageCase{"UnknownCommand", {"flash", "192.168.0.9"}, "unknown command flash"},
        TUsageCase{"UnknownOption", {"update", "192.168.0.9", "--force"}, "unknown option --force"},
        TUsageCase{
            "NotAnAddress", {"update", "kavelo.local"}, "kavelo.local is not an IPv4 address"},
        TUsageCase{"UpdateWithoutAddress", {"update", "--yes"}, "update needs the address"},
        TUsageCase{"InfoWithoutAddress", {"info"}, "info needs the address"},
        TUsageCase{
            "SearchWithTwoAddresses", {"search", "192.168.0.1", "10.0.0.1"}, "at most one address"},
        TUsageCase{"YesWithInfo", {"info", "192.168.0.9", "--yes"}, "belong to the update command"},
        TUsageCase{
            "RadioModuleWithSearch", {"search", "--radio-module"}, "belong to the update command"},
        TUsageCase{"RadioAndPersistent",
                   {"update", "192.168.0.9", "--radio-module", "--persistent-data"},
                   "--radio-module and --persistent-data exclude each other"},
        TUsageCase{"YesAndSkip",
                   {"update", "192.168.0.9", "--yes", "--skip-current"},
                   "--yes and --skip-current exclude each other"},
        TUsageCase{"FirmwareWithoutVersion",
                   {"update", "192.168.0.9", "--firmware", "CMakeCache.txt"},
                   "--firmware and --version go together"},
        TUsageCase{"VersionWithoutFirmware",
                   {"update", "192.168.0.9", "--version", "0x109"},
                   "--firmware and --version go together"},
        TUsageCase{
            "MissingFirmwareFile",
            {"update", "192.168.0.9", "--firmware", "/nonexistent/fw.bin", "--version", "0x109"},
            "cannot read the firmware file /nonexistent/fw.bin"},
        TUsageCase{"FirmwareWithPersistentData",
                   {"update", "192.168.0.9", "--persistent-data", "--firmware",
                    "/nonexistent/fw.bin", "--version", "1"},
                   "--firmware does not apply"},
        TUsageCase{"UnknownLanguage",
                   {"update", "192.168.0.9", "--language", "pt"},
                   "unknown language pt"},
        TUsageCase{"LanguageWithoutValue",
                   {"update", "192.168.0.9", "--language"},
                   "option --language needs a value"},
        TUsageCase{"FlagWithAValue",
                   {"update", "192.168.0.9", "--json=1"},
                   "option --json takes no value"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(CliTest, AVersionThatIsNoNumberIsAUsageError) {
  QTemporaryDir dir;
  QFile file(dir.filePath("fw.bin"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QByteArray(1000, '\x5A'));
  file.close();
  const TCliRun run =
      Run({"update", "192.168.0.9", "--firmware", file.fileName(), "--version", "1.10"});
  EXPECT_EQ(run.Exit, 2);
  EXPECT_THAT(run.Err.toStdString(), HasSubstr("--version 1.10 is not a number"));
  EXPECT_TRUE(fHandhelds.empty());
}

TEST_F(CliTest, ALogFileThatCannotBeWrittenEndsTheRunBeforeAnythingIsSent) {
  const TCliRun run = Run({"update", "192.168.0.9", "--log", "/nonexistent/dir/kavelo.log"});
  EXPECT_EQ(run.Exit, 2);
  EXPECT_THAT(run.Err.toStdString(),
              HasSubstr("cannot write the log file /nonexistent/dir/kavelo.log"));
  EXPECT_TRUE(fHandhelds.empty());
}

TEST_F(CliTest, HelpPrintsTheUsageAndSucceedsWhateverFollows) {
  for (const QStringList& arguments : {QStringList{"--help"}, QStringList{"update", "-h"},
                                       QStringList{"--help", "--no-such-option"}}) {
    const TCliRun run = Run(arguments);
    EXPECT_EQ(run.Exit, 0);
    EXPECT_TRUE(run.Out.startsWith("Usage: kavelo-cli search [ADDRESS] [OPTION]..."));
    EXPECT_THAT(run.Out.toStdString(), HasSubstr("--skip-current"));
    EXPECT_TRUE(run.Err.isEmpty());
  }
}

TEST(CliOptions, ReadTheUpdateWithItsOptionsInAnyOrder) {
  cli::TCliOptions o;
  QString error;
  ASSERT_TRUE(
      cli::ParseCommandLine({"--json", "update", "192.168.0.9", "--radio-module", "192.168.0.10",
                             "--skip-current", "--language=DE", "--log", "run.log"},
                            o, error))
      << error.toStdString();
  EXPECT_EQ(o.Command, cli::TCommand::Update);
  EXPECT_EQ(o.Addresses, (QStringList{"192.168.0.9", "192.168.0.10"}));
  EXPECT_EQ(o.Kind, cli::TUpdateKind::RadioModule);
  EXPECT_EQ(o.Answer, cli::TVersionAnswer::SkipCurrent);
  EXPECT_TRUE(o.Json);
  EXPECT_EQ(o.Language, "DE");
  EXPECT_EQ(o.LogFile, "run.log");
  EXPECT_TRUE(o.FirmwareFile.isEmpty());
}

TEST(CliOptions, SearchTakesNoAddressOrOne) {
  cli::TCliOptions o;
  QString error;
  ASSERT_TRUE(cli::ParseCommandLine({"search"}, o, error));
  EXPECT_EQ(o.Command, cli::TCommand::Search);
  EXPECT_TRUE(o.Addresses.isEmpty());
  ASSERT_TRUE(cli::ParseCommandLine({"search", "10.0.0.7", "--json"}, o, error));
  EXPECT_EQ(o.Addresses, QStringList{"10.0.0.7"});
  EXPECT_EQ(o.Answer, cli::TVersionAnswer::Ask);
  EXPECT_EQ(o.Kind, cli::TUpdateKind::Handheld);
}

} // namespace
} // namespace kavelo::test
