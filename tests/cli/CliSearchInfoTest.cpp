// search and info in-process, and the language of the texts.

#include "cli/CliFixture.h"
#include "common/ScriptedKaveloLink.h"

namespace kavelo::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class CliSearch : public CliTest {
protected:
  CliSearch() { LinkFactory = fDevice->Factory(); }
  void AnnounceFrom(std::vector<QString> peers) { fDevice->AnnounceFrom(std::move(peers)); }
  std::vector<QString> Restarted() const {
    std::vector<QString> out;
    for (const auto& s : fDevice->Sent)
      if (s.Kind == TSentFrame::SendFrameTo && s.Frame == TBytes{0x04, 0x00, 0x31, 0x00})
        out.push_back(s.IPAddress);
    return out;
  }
  std::shared_ptr<TScriptedDevice> fDevice = MakeScriptedDevice(fClock.get());
};

TEST_F(CliSearch, PrintsEachFoundAddressOnceAndLogsTheWindowsLinesAside) {
  AnnounceFrom({"192.168.0.9", "192.168.0.10", "192.168.0.10"});
  const TCliRun run = Run({"search"});
  EXPECT_EQ(run.Exit, 0);
  EXPECT_THAT(run.OutLines(), ElementsAre("192.168.0.10", "192.168.0.9"));
  EXPECT_THAT(run.ErrLines(),
              ElementsAre("Found Peer IP 192.168.0.10", "Found Peer IP 192.168.0.10",
                          "Found Peer IP 192.168.0.9", "Restarting Peer IP 192.168.0.10",
                          "Restarting Peer IP 192.168.0.10", "Restarting Peer IP 192.168.0.9",
                          "Kavelo with IP address 192.168.0.10 found."));
  EXPECT_THAT(Restarted(), ElementsAre("192.168.0.10", "192.168.0.10", "192.168.0.9"));
  // From the adapter of the window's address 192.168.0.100, with the window's waits.
  EXPECT_EQ(fDevice->LastAddress, MakeIP(192, 168, 0, 100));
  EXPECT_EQ(fClock->NowMs(), 10u + 500 + 500 + 3 * 100 + 6000);
  EXPECT_EQ(fDevice->Link, nullptr); // closed again
}

TEST_F(CliSearch, WithNoHandheldItSaysSoAndEndsWithExitThree) {
  const TCliRun run = Run({"search", "--language", "de"});
  EXPECT_EQ(run.Exit, 3);
  EXPECT_TRUE(run.Out.isEmpty());
  EXPECT_THAT(run.ErrLines(), ElementsAre("Keine Kavelo gefunden!"));
  EXPECT_EQ(fClock->NowMs(), 5000u + 500 + 500);
}

TEST_F(CliSearch, AnAddressOutsideEveryAdapterSearchesFromTheFirstAdapter) {
  AnnounceFrom({"192.168.0.23"});
  const TCliRun run = Run({"search", "10.1.1.1", "--json"});
  EXPECT_EQ(run.Exit, 0);
  EXPECT_EQ(fDevice->LastAddress, MakeIP(192, 168, 0, 5));
  const auto events = run.Events();
  ASSERT_EQ(events.size(), 5u);
  EXPECT_EQ(events[0]["line"], "LocalIP leer, versuche Adapter 192.168.0.5");
  EXPECT_EQ(events[3]["event"], "message");
  EXPECT_EQ(events[3]["caption"], "Search");
  EXPECT_EQ(events[4]["event"], "found");
  EXPECT_EQ(events[4]["address"], "192.168.0.23");
}

TEST_F(CliSearch, AnEndpointThatCannotBindIsThePortInUse) {
  fDevice->HasServer = false;
  const TCliRun run = Run({"search"});
  EXPECT_EQ(run.Exit, 3);
  EXPECT_EQ(run.Err, "kavelo-cli: cannot open UDP port 21105 on 192.168.0.5: port 21105 is in use "
                     "by another program\n");
  EXPECT_TRUE(fDevice->Sent.empty());
}

TEST_F(CliTest, InfoPrintsTheInstalledAndBuiltInVersionsAndRestartsTheHandheld) {
  auto& handheld = Handheld("192.168.0.9", 0x108, 0xFFFFFFFF, 0x112);
  const TCliRun run = Run({"info", "192.168.0.9"});
  EXPECT_EQ(run.Exit, 0);
  EXPECT_THAT(run.OutLines(), ElementsAre("Kavelo 192.168.0.9     installed   built-in",
                                          "  main controller      V1.08       V1.09",
                                          "  radio module         none        V1.05",
                                          "  resources            V1.12       V1.12"));
  EXPECT_THAT(run.ErrLines(),
              ElementsAre("Connecting with 192.168.0.9 Port 21105", "Initializing update...",
                          "Initializing update OK", "Reading control block...",
                          "Reading control block OK", "Restarting Kavelo...", "Restarting Kavelo"));
  EXPECT_FALSE(handheld.InUpdateMode());
}

TEST_F(CliTest, InfoInJsonGivesTheVersionsAsTextAndValue) {
  Handheld("192.168.0.9", 0x109, 0x12345678, 0xFFFFFFFF);
  const TCliRun run = Run({"info", "192.168.0.9", "--json"});
  EXPECT_EQ(run.Exit, 0);
  const QJsonObject info = run.Events().back();
  EXPECT_EQ(QJsonDocument(info).toJson(QJsonDocument::Compact),
            R"({"address":"192.168.0.9","event":"info",)"
            R"("main_controller":{"built_in":"V1.09","built_in_value":265,)"
            R"("installed":"V1.09","installed_value":265},)"
            R"("radio_module":{"built_in":"V1.05","built_in_value":261,)"
            R"("installed":"0x12345678","installed_value":305419896},)"
            R"("resources":{"built_in":"V1.12","built_in_value":274,)"
            R"("installed":"none","installed_value":4294967295}})");
}

TEST_F(CliTest, InfoOfAHandheldThatDoesNotAnswerFails) {
  const TCliRun run = Run({"info", "192.168.0.77"});
  EXPECT_EQ(run.Exit, 1);
  EXPECT_TRUE(run.Out.isEmpty());
  EXPECT_THAT(run.ErrLines(),
              ElementsAre("Connecting with 192.168.0.77 Port 21105", "Initializing update...",
                          "Initializing update failed: Nothing received",
                          "Initializing update failed.", "Abort."));
}

struct TLanguageCase {
  const char* Name;
  std::vector<const char*> Options;
  QLocale::Language System;
  int Base;
};
void PrintTo(const TLanguageCase& c, std::ostream* os) { *os << c.Name; }

class CliLanguage : public CliTest, public ::testing::WithParamInterface<TLanguageCase> {};

// The step, result and box texts of a handheld that does not answer, in the chosen language.
TEST_P(CliLanguage, TextsComeFromTheMessageTableOfTheChosenLanguage) {
  SystemLanguage = GetParam().System;
  QStringList arguments{"info", "192.168.0.77"};
  for (const char* o : GetParam().Options)
    arguments << QString::fromLatin1(o);
  const TCliRun run = Run(arguments);
  EXPECT_EQ(run.Exit, 1);
  const auto text = [](int number) { return ResourceText(GetParam().Base + number); };
  const QString step = text(186) + " " + text(180);
  EXPECT_THAT(run.ErrLines(), ElementsAre(text(197) + " 192.168.0.77 Port 21105", step + "...",
                                          step + " " + text(171) + ": " + text(201),
                                          step + " " + text(171) + ".", text(172) + "."));
  EXPECT_EQ(LanguageBase(), 2000); // the run leaves the process's language as it was
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliLanguage,
    ::testing::Values(TLanguageCase{"German", {"--language", "de"}, QLocale::English, 1000},
                      TLanguageCase{"English", {"--language=en"}, QLocale::German, 2000},
                      TLanguageCase{"French", {"--language", "FR"}, QLocale::English, 3000},
                      TLanguageCase{"Spanish", {"--language", "es"}, QLocale::English, 4000},
                      TLanguageCase{"Italian", {"--language", "it"}, QLocale::English, 5000},
                      TLanguageCase{"Czech", {"--language", "cs"}, QLocale::English, 6000},
                      TLanguageCase{"Dutch", {"--language", "nl"}, QLocale::English, 7000},
                      TLanguageCase{"SystemGerman", {}, QLocale::German, 1000},
                      TLanguageCase{"SystemDutch", {}, QLocale::Dutch, 7000},
                      TLanguageCase{"SystemJapanese", {}, QLocale::Japanese, 2000}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(CliTest, GermanTextsReadAsTheTableHasThem) {
  const TCliRun run = Run({"info", "192.168.0.77", "--language", "de"});
  EXPECT_THAT(run.ErrLines(),
              ElementsAre("Verbinde mit 192.168.0.77 Port 21105", "Initialisiere Aktualisierung...",
                          "Initialisiere Aktualisierung fehlgeschlagen: Nichts empfangen",
                          "Initialisiere Aktualisierung fehlgeschlagen.", "Abbruch."));
}

} // namespace
} // namespace kavelo::test
