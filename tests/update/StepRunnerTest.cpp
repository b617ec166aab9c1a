// The step runner against a recording view, on the virtual clock.

#include "common/VirtualClock.h"
#include "handheld/Kavelo.h"
#include "net/Helpers.h"
#include "update/NumberSyntax.h"
#include "update/StepRunner.h"
#include "update/Versions.h"

#include <gmock/gmock.h>

namespace kavelo::test {
namespace {

using ::testing::ElementsAre;

class TRecordingView : public IUpdateView {
public:
  TKavelo& Kavelo() override { return fKavelo; }
  TControlBlock& ControlBlock() override { return fBlock; }
  void SetStatusText(const QString& text) override { Status = text; }
  void AppendLog(const QString& line) override { Log.push_back(line); }
  void SetSequenceButtonsEnabled(bool enabled) override { Buttons.push_back(enabled); }
  bool StepMode(TFirmwareRow row) override { return row == TFirmwareRow::Handheld ? StepHM : StepRM; }
  QString FirmwareLabel(TFirmwareRow) override { return {}; }
  QString VersionText(TFirmwareRow) override { return {}; }
  void ShowControlBlockField(int, uint32_t) override {}
  void UpdateControlStates(bool) override {}
  void ReportError(const QString&) override {}

  QString Status;
  std::vector<QString> Log;
  std::vector<bool> Buttons;
  bool StepHM = false;
  bool StepRM = false;

private:
  TKavelo fKavelo;
  TControlBlock fBlock{};
};

class StepRunnerTest : public ::testing::Test {
protected:
  TScopedVirtualClock fClock;
  TRecordingView fView;
  TStepRunner fRunner{fView, TFirmwareRow::Handheld};
};

TEST_F(StepRunnerTest, WithoutStepModeItAnnouncesTheNextStepAndKeepsTheButtonsDisabled) {
  EXPECT_TRUE(fRunner.ContinueWith("Writing firmware", true, "Writing resources"));
  EXPECT_THAT(fView.Log, ElementsAre("Writing resources..."));
  EXPECT_EQ(fView.Status, "Writing resources...");
  EXPECT_THAT(fView.Buttons, ElementsAre(false));
  EXPECT_TRUE(fClock->Boxes().empty());
}

TEST_F(StepRunnerTest, AFailedStepShowsTheBoxInEitherModeAndEnablesTheButtons) {
  for (bool stepMode : {false, true}) {
    fView.StepHM = stepMode;
    EXPECT_FALSE(fRunner.ContinueWith("Erasing flash memory", false, "Erasing resources"));
    EXPECT_EQ(fClock->Boxes().back().Text, "Erasing flash memory failed.\r\nAbort.");
    EXPECT_EQ(fClock->Boxes().back().Caption, "Info about Firmware Update");
    EXPECT_EQ(fClock->Boxes().back().Flags, 0x40u);
    EXPECT_TRUE(fView.Buttons.back());
  }
  EXPECT_TRUE(fView.Log.empty());
}

TEST_F(StepRunnerTest, StepModeAsksAndNoEndsWithTheButtonsEnabled) {
  fView.StepHM = true;
  fClock->AnswerNextBoxes({IDYES, IDNO});
  EXPECT_TRUE(fRunner.ContinueWith("Writing firmware", true, "Writing resources"));
  EXPECT_EQ(fClock->Boxes()[0].Text, "Writing firmware returned OK.\r\nContinue with Writing resources?");
  EXPECT_EQ(fClock->Boxes()[0].Flags, 0x44u);
  EXPECT_FALSE(fRunner.ContinueWith("Writing resources", true, "Verifying firmware"));
  EXPECT_THAT(fView.Buttons, ElementsAre(false, true));
  EXPECT_TRUE(fView.Log.empty()); // the question replaces the announcement
}

TEST_F(StepRunnerTest, TheCheckBoxIsReadAtEveryStepAndOnlyTheBoundOne) {
  TStepRunner radio(fView, TFirmwareRow::RadioModule);
  fView.StepHM = true;
  EXPECT_TRUE(radio.ContinueWith("a", true, "b"));
  EXPECT_TRUE(fClock->Boxes().empty());
  fView.StepRM = true;
  fClock->AnswerNextBoxes({IDNO});
  EXPECT_FALSE(radio.ContinueWith("b", true, "c"));
  EXPECT_EQ(fClock->Boxes().size(), 1u);
}

TEST_F(StepRunnerTest, AnEmptyStepTextStillGivesTheBoxesWithTheirBlank) {
  fView.StepHM = true;
  fClock->AnswerNextBoxes({IDYES});
  fRunner.ContinueWith("", true, "Initializing update");
  fRunner.ContinueWith("", false, "");
  EXPECT_EQ(fClock->Boxes()[0].Text, " returned OK.\r\nContinue with Initializing update?");
  EXPECT_EQ(fClock->Boxes()[1].Text, " failed.\r\nAbort.");
}

TEST_F(StepRunnerTest, AStepLogsItsResultLineThenAsks) {
  EXPECT_TRUE(fRunner.Step("Reading control block", [](QString&) { return true; },
                           [] { return QString("Erasing flash memory"); }));
  EXPECT_FALSE(fRunner.Step("Erasing flash memory", [](QString& err) {
    err = "Nothing received";
    return false;
  }, [] { return QString("Erasing resources"); }));
  EXPECT_THAT(fView.Log, ElementsAre("Reading control block OK", "Erasing flash memory...",
                                     "Erasing flash memory failed: Nothing received"));
  SetLanguageBase(1000);
  EXPECT_EQ(StepText(187, 184), QString::fromUtf8("Lösche Flash-Speicher"));
  EXPECT_EQ(UpdateBoxCaption(), QString::fromUtf8("Info über Firmware-Aktualisierung"));
  SetLanguageBase(2000);
}

struct NumberCase {
  const char* Text;
  bool Ok;
  int32_t Value;
};

class NumberSyntax : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberSyntax, ReadsSigned32BitDecimalAndHexadecimal) {
  int32_t value = 12345;
  EXPECT_EQ(ParsePanelNumber(GetParam().Text, value), GetParam().Ok) << GetParam().Text;
  if (GetParam().Ok) {
    EXPECT_EQ(value, GetParam().Value) << GetParam().Text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, NumberSyntax,
    ::testing::Values(NumberCase{"0x109", true, 265}, NumberCase{"0X109", true, 265},
                      NumberCase{"$40000", true, 0x40000}, NumberCase{"0xFFFFFFFF", true, -1},
                      NumberCase{"0x80000000", true, INT32_MIN}, NumberCase{"6144", true, 6144},
                      NumberCase{"-12", true, -12}, NumberCase{"+7", true, 7},
                      NumberCase{"2147483647", true, INT32_MAX}, NumberCase{"-2147483648", true, INT32_MIN},
                      NumberCase{"2147483648", false, 0}, NumberCase{"4294967296", false, 0},
                      NumberCase{"0x100000000", false, 0}, NumberCase{"0x", false, 0},
                      NumberCase{"$", false, 0}, NumberCase{"", false, 0}, NumberCase{"abc", false, 0},
                      NumberCase{"12a", false, 0}, NumberCase{"0xG1", false, 0}, NumberCase{"-0x10", false, 0},
                      NumberCase{" 256 ", true, 256}, NumberCase{"\u0661", false, 0}));

TEST(Versions, ShowMajorInDecimalAndMinorAsTwoHexDigits) {
  EXPECT_EQ(VersionText(0x109), "V1.09");
  EXPECT_EQ(VersionText(0x112), "V1.12");
  EXPECT_EQ(VersionText(0x10A), "V1.0A");
  EXPECT_EQ(VersionText(0x1FF), "V1.FF");
  EXPECT_EQ(VersionComboText(0x109), "0x109");
  EXPECT_EQ(VersionComboText(0x105), "0x105");
  EXPECT_EQ(PFDFirmwareLabel(), "R1.05");
  EXPECT_EQ(HMFirmwareLabel(), "Kavelo Firmware V1.09");
  EXPECT_EQ(RMFirmwareLabel(), "Radio Module Firmware V1.05");
  EXPECT_EQ(ControlBlockValueText(0x3A000), "0x0003A000");
  EXPECT_EQ(ControlBlockValueText(0xFFFFFFFF), "0xFFFFFFFF");
  int32_t v = 0;
  ASSERT_TRUE(ParsePanelNumber(VersionComboText(HMFirmwareVersion), v));
  EXPECT_EQ(v, 265);
}

} // namespace
} // namespace kavelo::test
