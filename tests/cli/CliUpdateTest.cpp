// The update command in-process: the window's sequences through the command line's view, its
// plain lines, its terminal bar, its JSON events and its summary.

#include "cli/CliFixture.h"

#include <QTemporaryDir>

namespace kavelo::test {
namespace {

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

TEST_F(CliTest, UpdatePrintsTheWindowsLogTheClosingInstructionsAndTheSummary) {
  auto& handheld = Handheld("192.168.0.9");
  const TCliRun run = Run({"update", "192.168.0.9", "--language", "en"});
  EXPECT_EQ(run.Exit, 0) << run.Err.toStdString();
  QStringList expected{"Connecting with 192.168.0.9 Port 21105"};
  expected << HandheldUpdateLog() << "Calibrate control knob!"
           << ""
           << "MENU > SETTINGS > RESET > CALIBRATION"
           << "Summary: 1 updated, 0 already up to date, 0 failed"
           << "  192.168.0.9     updated";
  EXPECT_THAT(run.OutLines(), ElementsAreArray(expected));
  EXPECT_TRUE(run.Err.isEmpty());
  EXPECT_TRUE(HoldsTheHandheldImages(handheld));
  EXPECT_EQ(handheld.Installs().hm, 1u);
}

TEST_F(CliTest, TheLogFileGetsTheWindowsLogLinesAndIsAppendedTo) {
  Handheld("192.168.0.9");
  QTemporaryDir dir;
  const QString path = dir.filePath("update.log");
  ASSERT_EQ(Run({"update", "192.168.0.9", "--log", path, "--json"}).Exit, 0);
  ASSERT_EQ(Run({"update", "192.168.0.9", "--log", path, "--skip-current"}).Exit, 0);
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QStringList expected{"Connecting with 192.168.0.9 Port 21105"};
  expected << HandheldUpdateLog() << "Connecting with 192.168.0.9 Port 21105"
           << "Initializing update..."
           << "Initializing update OK"
           << "Reading control block..."
           << "Reading control block OK";
  EXPECT_THAT(TCliRun::Lines(QString::fromUtf8(file.readAll())), ElementsAreArray(expected));
}

TEST_F(CliTest, JsonGivesEveryStepItsProgressAndResultThenTheMessageResultAndSummary) {
  auto& handheld = Handheld("192.168.0.9");
  const TCliRun run = Run({"update", "192.168.0.9", "--json"});
  EXPECT_EQ(run.Exit, 0);
  const auto events = run.Events();
  ASSERT_FALSE(events.empty());
  for (const auto& e : events) {
    if (e["event"] != "summary") {
      EXPECT_EQ(e["address"], "192.168.0.9") << e["event"].toString().toStdString();
    }
  }
  EXPECT_EQ(events.front()["event"], "log");
  EXPECT_EQ(events.front()["line"], "Connecting with 192.168.0.9 Port 21105");

  // The steps in the window's order, each announced, then its progress, then its result.
  QStringList steps;
  QString open;
  int lastPercent = -1;
  std::map<QString, int> finalPercent;
  size_t i = 1;
  for (; i < events.size() && events[i]["event"] != "message"; ++i) {
    const auto& e = events[i];
    const QString kind = e["event"].toString();
    if (kind == "step") {
      EXPECT_TRUE(open.isEmpty()) << "two steps open at once";
      open = e["step"].toString();
      steps << open;
      lastPercent = -1;
    } else if (kind == "progress") {
      EXPECT_EQ(e["step"], open);
      EXPECT_GT(e["percent"].toInt(), lastPercent);
      EXPECT_LE(e["position"].toInt(), e["max"].toInt());
      lastPercent = e["percent"].toInt();
      finalPercent[open] = lastPercent;
    } else {
      ASSERT_EQ(kind, "step-result") << "event " << i;
      EXPECT_EQ(e["step"], open);
      EXPECT_TRUE(e["ok"].toBool());
      EXPECT_EQ(e["error"], "");
      EXPECT_EQ(e["line"], open == "Restarting Kavelo" ? open : open + " OK");
      open.clear();
    }
  }
  EXPECT_EQ(steps, (QStringList{"Initializing update", "Reading control block",
                                "Erasing flash memory", "Erasing resources", "Writing firmware",
                                "Writing resources", "Verifying firmware", "Verifying resources",
                                "Writing control block", "Restarting Kavelo"}));
  for (const char* step : {"Erasing flash memory", "Writing firmware", "Writing resources",
                           "Verifying firmware", "Verifying resources", "Writing control block"})
    EXPECT_EQ(finalPercent[step], 100) << step;
  ASSERT_EQ(events.size(), i + 3);
  EXPECT_EQ(events[i]["caption"], "Info about Firmware Update");
  EXPECT_EQ(events[i]["text"],
            "Calibrate control knob!\r\n\r\nMENU > SETTINGS > RESET > CALIBRATION");
  EXPECT_EQ(events[i + 1]["event"], "result");
  EXPECT_EQ(events[i + 1]["outcome"], "updated");
  EXPECT_EQ(events[i + 2]["event"], "summary");
  EXPECT_EQ(events[i + 2]["exit"], 0);
  EXPECT_TRUE(HoldsTheHandheldImages(handheld));
}

TEST_F(CliTest, OnATerminalABarShowsTheRunningStepAndOnlyResultLinesStay) {
  Handheld("192.168.0.9");
  OutIsTerminal = true;
  const TCliRun run = Run({"update", "192.168.0.9"});
  EXPECT_EQ(run.Exit, 0);
  EXPECT_THAT(
      run.Out.toStdString(),
      HasSubstr("\rWriting firmware                     [###############---------------]  50%"));
  EXPECT_THAT(
      run.Out.toStdString(),
      HasSubstr("\rWriting firmware                     [##############################] 100%"));
  // What stays on the screen once the bar lines are wiped: the results, no announcements.
  QStringList kept;
  for (QString line : run.OutLines()) {
    line = line.mid(line.lastIndexOf(u'\r') + 1);
    if (line.startsWith("\x1b[K")) line = line.mid(3);
    kept << line;
  }
  EXPECT_EQ(kept.mid(0, 4),
            (QStringList{"Connecting with 192.168.0.9 Port 21105", "Initializing update OK",
                         "Reading control block OK", "Erasing flash memory OK"}));
  EXPECT_TRUE(kept.filter("...").isEmpty());
  EXPECT_TRUE(kept.contains("Restarting Kavelo"));
}

TEST_F(CliTest, TwoHandheldsAreUpdatedOneAfterTheOtherWithOneSummary) {
  auto& first = Handheld("192.168.0.9");
  auto& second = Handheld("192.168.0.10", 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF);
  const TCliRun run = Run({"update", "192.168.0.9", "192.168.0.10", "--json"});
  EXPECT_EQ(run.Exit, 0);
  EXPECT_TRUE(HoldsTheHandheldImages(first));
  EXPECT_TRUE(HoldsTheHandheldImages(second));
  QStringList order;
  for (const auto& e : run.Events())
    if (e["event"] == "log") order << e["line"].toString();
  EXPECT_EQ(order, (QStringList{"Connecting with 192.168.0.9 Port 21105",
                                "Connecting with 192.168.0.10 Port 21105"}));
  const QJsonObject summary = run.Events().back();
  EXPECT_EQ(
      QJsonDocument(summary).toJson(QJsonDocument::Compact),
      R"({"event":"summary","exit":0,"handhelds":[{"address":"192.168.0.9","outcome":"updated"},)"
      R"({"address":"192.168.0.10","outcome":"updated"}]})");
}

struct TVanishCase {
  const char* Name;
  uint32_t FramesAnswered;
  const char* FailedStep;
};
void PrintTo(const TVanishCase& c, std::ostream* os) { *os << c.Name; }

class CliVanish : public CliTest, public ::testing::WithParamInterface<TVanishCase> {};

TEST_P(CliVanish, AHandheldThatVanishesFailsAtItsStepAndTheNextOneIsStillUpdated) {
  auto& vanishing = Handheld("192.168.0.9");
  kavelosim::FaultRules faults;
  faults.vanishAfterFrames = GetParam().FramesAnswered;
  vanishing.SetFaults(faults);
  auto& next = Handheld("192.168.0.10");
  const TCliRun run = Run({"update", "192.168.0.9", "192.168.0.10"});
  EXPECT_EQ(run.Exit, 1);
  const QString step = QString::fromLatin1(GetParam().FailedStep);
  const QStringList out = run.OutLines();
  EXPECT_TRUE(out.contains(step + " failed: Nothing received"));
  EXPECT_TRUE(out.contains(step + " failed."));
  EXPECT_TRUE(out.contains("Abort."));
  EXPECT_EQ(out.mid(out.size() - 3),
            (QStringList{"Summary: 1 updated, 0 already up to date, 1 failed",
                         "  192.168.0.9     failed: " + step + ": Nothing received",
                         "  192.168.0.10    updated"}));
  EXPECT_TRUE(vanishing.InUpdateMode()); // never restarted
  EXPECT_TRUE(HoldsTheHandheldImages(next));
}

INSTANTIATE_TEST_SUITE_P(Cases, CliVanish,
                         ::testing::Values(TVanishCase{"AfterUpdateMode", 1,
                                                       "Reading control block"},
                                           TVanishCase{"InTheErase", 4, "Erasing flash memory"},
                                           TVanishCase{"InTheFirmware", 12, "Writing firmware"}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(CliTest, AHandheldThatNeverAnswersFailsItsFirstStep) {
  const TCliRun run = Run({"update", "192.168.0.77", "--json"});
  EXPECT_EQ(run.Exit, 1);
  const QJsonObject result = run.Events()[run.Events().size() - 2];
  EXPECT_EQ(
      QJsonDocument(result).toJson(QJsonDocument::Compact),
      R"({"address":"192.168.0.77","error":"Nothing received","event":"result","outcome":"failed",)"
      R"("step":"Initializing update"})");
}

TEST_F(CliTest, TheRadioModuleIsStagedAndTheHandheldSwitchedOff) {
  auto& handheld = Handheld("192.168.0.9");
  const TCliRun run = Run({"update", "192.168.0.9", "--radio-module"});
  EXPECT_EQ(run.Exit, 0);
  const QStringList out = run.OutLines();
  EXPECT_TRUE(out.contains("Turning off Kavelo"));
  EXPECT_TRUE(
      out.contains("Turn on the Kavelo to start the internal radio module update procedure."));
  EXPECT_FALSE(handheld.IsPoweredOn());
  static const auto radio = ImageBytes(kImageRadioModule);
  EXPECT_EQ(handheld.ReadFlash(0x400, radio.size()), radio);
  EXPECT_EQ(handheld.GetControlBlock().newFirmwareRM, 0x105u);
}

TEST_F(CliTest, ThePersistentDataAreRewrittenWithoutAControlBlockOrABox) {
  auto& handheld = Handheld("192.168.0.9");
  const auto before = handheld.GetControlBlock().ToBytes();
  const TCliRun run = Run({"update", "192.168.0.9", "--persistent-data", "--json"});
  EXPECT_EQ(run.Exit, 0);
  static const auto data = ImageBytes(kImagePersistentData);
  EXPECT_EQ(handheld.ReadFlash(0x40000, data.size()), data);
  EXPECT_EQ(handheld.GetControlBlock().ToBytes(), before);
  for (const auto& e : run.Events())
    EXPECT_NE(e["event"], "message");
}

TEST_F(CliTest, AChosenFirmwareFileIsWrittenWithItsVersionAndNeverAsked) {
  QTemporaryDir dir;
  QFile file(dir.filePath("custom.bin"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  QByteArray bytes;
  for (int i = 0; i < 3000; ++i)
    bytes.append(static_cast<char>(i * 7));
  file.write(bytes);
  file.close();
  auto& handheld = Handheld("192.168.0.9", 0x200); // newer than the file: no question all the same
  const TCliRun run =
      Run({"update", "192.168.0.9", "--firmware", file.fileName(), "--version", "0x10A", "--json"});
  EXPECT_EQ(run.Exit, 0);
  EXPECT_EQ(handheld.ReadFlash(0x400, 3000), kavelosim::Bytes(bytes.begin(), bytes.end()));
  EXPECT_EQ(handheld.GetControlBlock().oldFirmwareHM, 0x10Au);
  for (const auto& e : run.Events())
    EXPECT_NE(e["event"], "question");
}

} // namespace
} // namespace kavelo::test
