// The question "same or newer version already installed": asked on a terminal, answered by
// --yes or --skip-current, and answered No where nobody can be asked.

#include "cli/CliFixture.h"

namespace kavelo::test {
namespace {

using ::testing::HasSubstr;

struct TQuestionCase {
  const char* Name;
  std::vector<const char*> Options;
  bool Terminal;
  std::optional<const char*> Typed; // nothing: the input ends
  bool Updates;
  const char* AnsweredBy;
};
void PrintTo(const TQuestionCase& c, std::ostream* os) { *os << c.Name; }

class CliQuestion : public CliTest, public ::testing::WithParamInterface<TQuestionCase> {
protected:
  void InTerminal(const TQuestionCase& c) {
    InIsTerminal = c.Terminal;
    if (c.Typed) Typed.push_back(QString::fromUtf8(*c.Typed));
  }
};

TEST_P(CliQuestion, IsAnsweredAsTheOptionsAndTheTerminalSay) {
  const auto& c = GetParam();
  const bool radio = std::find_if(c.Options.begin(), c.Options.end(), [](const char* o) {
                       return std::string(o) == "--radio-module";
                     }) != c.Options.end();
  auto& handheld = Handheld("192.168.0.9", 0x109, 0x105); // both already current
  const uint64_t flashChanges = handheld.FlashChangeCount();
  InTerminal(c);
  QStringList arguments{"update", "192.168.0.9", "--json"};
  for (const char* o : c.Options)
    arguments << QString::fromLatin1(o);
  const TCliRun run = Run(arguments);
  EXPECT_EQ(run.Exit, 0) << run.Err.toStdString();

  const QString text =
      radio ? "There exists already a same or higher firmware version in the radio module."
            : "There exists already a same or higher firmware version in the Kavelo.";
  std::vector<QJsonObject> questions;
  for (const auto& e : run.Events())
    if (e["event"] == "question") questions.push_back(e);
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0]["caption"], "Info about Firmware Update");
  EXPECT_EQ(questions[0]["text"],
            text + "\r\nDo you still want to continue with the firmware update?");
  EXPECT_EQ(questions[0]["answer"], c.Updates ? "yes" : "no");
  EXPECT_EQ(questions[0]["answered_by"], c.AnsweredBy);
  // Asked on the terminal, the question goes to error output: standard output is the script's.
  EXPECT_EQ(run.Err.contains("continue with the firmware update? [y/N] "),
            std::string(c.AnsweredBy) == "terminal");

  const QJsonObject result = run.Events()[run.Events().size() - 2];
  EXPECT_EQ(result["outcome"], c.Updates ? "updated" : "up-to-date");
  if (c.Updates) {
    EXPECT_GT(handheld.FlashChangeCount(), flashChanges);
  } else {
    // Restarted (not switched off) with its flash untouched.
    EXPECT_EQ(handheld.FlashChangeCount(), flashChanges);
    EXPECT_FALSE(handheld.InUpdateMode());
    EXPECT_TRUE(handheld.IsPoweredOn());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliQuestion,
    ::testing::Values(
        TQuestionCase{"Yes", {"--yes"}, false, std::nullopt, true, "--yes"},
        TQuestionCase{"YesOnATerminalAsksNothing", {"-y"}, true, "n", true, "--yes"},
        TQuestionCase{
            "SkipCurrent", {"--skip-current"}, false, std::nullopt, false, "--skip-current"},
        TQuestionCase{"NoTerminal", {}, false, std::nullopt, false, "no terminal"},
        TQuestionCase{"TypedY", {}, true, "y\n", true, "terminal"},
        TQuestionCase{"TypedJa", {}, true, " Ja\n", true, "terminal"},
        TQuestionCase{"TypedN", {}, true, "n\n", false, "terminal"},
        TQuestionCase{"TypedNothing", {}, true, "\n", false, "terminal"},
        TQuestionCase{"InputEnded", {}, true, std::nullopt, false, "terminal"},
        TQuestionCase{"RadioModuleTypedY", {"--radio-module"}, true, "y", true, "terminal"},
        TQuestionCase{"RadioModuleSkipCurrent",
                      {"--radio-module", "--skip-current"},
                      false,
                      std::nullopt,
                      false,
                      "--skip-current"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(CliTest, WithoutATerminalThePlainLinesSayHowToUpdateAnyway) {
  Handheld("192.168.0.9", 0x109);
  const TCliRun run = Run({"update", "192.168.0.9"});
  EXPECT_EQ(run.Exit, 0);
  const QStringList out = run.OutLines();
  EXPECT_EQ(out.mid(out.size() - 5),
            (QStringList{"There exists already a same or higher firmware version in the Kavelo.",
                         "Do you still want to continue with the firmware update?",
                         "Answered No (no terminal); --yes updates anyway, --skip-current skips "
                         "without asking",
                         "Summary: 0 updated, 1 already up to date, 0 failed",
                         "  192.168.0.9     already up to date"}));
}

TEST_F(CliTest, LinesToAFileAskOnErrorOutputAndKeepTheQuestionAndAnswer) {
  Handheld("192.168.0.9", 0x109);
  InIsTerminal = true;
  Typed.push_back(QStringLiteral("yes\n"));
  const TCliRun run = Run({"update", "192.168.0.9"});
  EXPECT_EQ(run.Exit, 0);
  EXPECT_EQ(run.Err, "There exists already a same or higher firmware version in the Kavelo.\n"
                     "Do you still want to continue with the firmware update? [y/N] ");
  const QStringList out = run.OutLines();
  const qsizetype at = out.indexOf("Reading control block OK");
  ASSERT_GE(at, 0);
  EXPECT_EQ(out.mid(at + 1, 4),
            (QStringList{"There exists already a same or higher firmware version in the Kavelo.",
                         "Do you still want to continue with the firmware update?",
                         "Answered Yes (terminal)", "Erasing flash memory..."}));
}

TEST_F(CliTest, AnOlderInstalledVersionIsNotAskedAbout) {
  Handheld("192.168.0.9", 0x108);
  InIsTerminal = true;
  const TCliRun run = Run({"update", "192.168.0.9"});
  EXPECT_EQ(run.Exit, 0);
  EXPECT_THAT(run.Out.toStdString(), ::testing::Not(HasSubstr("same or higher")));
  EXPECT_TRUE(run.Err.isEmpty());
}

} // namespace
} // namespace kavelo::test
