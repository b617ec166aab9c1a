// The three update sequences end to end: through the real window, over real UDP, against the
// simulated handheld.

#include "ui/SimFormFixture.h"

#include "handheld/HandheldFixture.h"

#include <QCheckBox>
#include <QTemporaryFile>

namespace kavelo::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const TBytes kRestart{0x04, 0x00, 0x31, 0x00};
const TBytes kPowerOff{0x04, 0x00, 0x32, 0x00};

QStringList Announced(std::initializer_list<const char*> steps, const char* last) {
  QStringList lines;
  for (const char* s : steps) lines << QString(s) + "..." << QString(s) + " OK";
  lines << QString(last) + "..." << QString(last);
  return lines;
}

class UpdateSequences : public SimFormTest {};

TEST_F(UpdateSequences, UpdateKaveloStagesBothImagesWritesTheBlockAndRestarts) {
  fSim->PresetInstalledVersions(0x100, 0x104, 0x110);
  const auto before = fSim->GetControlBlock();
  fForm->BitBtnUpdateHMClick();
  ASSERT_TRUE(AwaitReceived(kRestart));
  EXPECT_EQ(Log(), Announced({"Initializing update", "Reading control block", "Erasing flash memory",
                              "Erasing resources", "Writing firmware", "Writing resources",
                              "Verifying firmware", "Verifying resources", "Writing control block"},
                             "Restarting Kavelo"));
  const TBytes firmware = ImageBytes(kImageFirmware);
  const TBytes languages = ImageBytes(kImageLanguages);
  ASSERT_EQ(firmware.size(), 49056u);
  ASSERT_EQ(languages.size(), 21620u);
  EXPECT_EQ(fSim->ReadFlash(0x400, firmware.size()), firmware);
  EXPECT_EQ(fSim->ReadFlash(0x3A000, languages.size()), languages);
  const auto block = fSim->GetControlBlock();
  EXPECT_EQ(block.valid0, kMarkerVUNA);
  EXPECT_EQ(block.newFirmwareHM, 0x109u);
  EXPECT_EQ(block.oldFirmwareHM, 0x109u); // the simulator installed it on the restart
  EXPECT_EQ(block.valid1, kMarkerANUV);
  EXPECT_EQ(block.valid2, before.valid2);
  EXPECT_EQ(block.newFirmwareRM, before.newFirmwareRM);
  EXPECT_EQ(block.oldFirmwareRM, before.oldFirmwareRM);
  EXPECT_EQ(block.valid3, before.valid3);
  EXPECT_EQ(block.newHMResources, 0x112u);
  EXPECT_EQ(block.oldHMResources, 0x112u);
  EXPECT_EQ(block.resourceAddress, 0x3A000u);
  EXPECT_EQ(ReceivedCommands().back(), kRestart);
  EXPECT_EQ(fSim->Installs().hm, 1u);
  ASSERT_EQ(fWaiter->Boxes.size(), 1u);
  EXPECT_EQ(fWaiter->Boxes[0].Text, "Calibrate control knob!\r\n\r\nMENU > SETTINGS > RESET > CALIBRATION");
  EXPECT_EQ(fWaiter->Boxes[0].Caption, "Info about Firmware Update");
  EXPECT_EQ(fWaiter->Boxes[0].Flags, 0x40u);
  EXPECT_TRUE(ButtonsEnabled());
  EXPECT_EQ(fForm->fLabelStatus->text(), "Restarting Kavelo");
  EXPECT_EQ(fForm->ComboBoxNewFirmwareHM->currentText(), "0x00000109");
  EXPECT_EQ(fForm->ComboBoxOldFirmwareHM->currentText(), "0xFFFFFFFF");
  EXPECT_EQ(fForm->ComboBoxResourceAddress->currentText(), "0x0003A000");
  EXPECT_EQ(EraseAddresses(), (std::vector<uint32_t>{0x00000, 0x30000}));
}

TEST_F(UpdateSequences, ASecondRunMeetsTheInstalledVersionAndNoRestartsWithoutWriting) {
  fForm->BitBtnUpdateHMClick();
  ASSERT_TRUE(AwaitReceived(kRestart));
  ASSERT_EQ(fSim->Installs().hm, 1u);
  fWaiter->Boxes.clear();
  fForm->MemoLog->clear();
  const uint64_t changes = fSim->FlashChangeCount();
  const size_t framesBefore = ReceivedCommands().size();
  fWaiter->Answers = {IDNO};
  fForm->BitBtnUpdateHMClick();
  ASSERT_TRUE(AwaitReceived(kRestart, 2));
  ASSERT_EQ(fWaiter->Boxes.size(), 1u);
  EXPECT_EQ(fWaiter->Boxes[0].Text,
            "There exists already a same or higher firmware version in the Kavelo.\r\n"
            "Do you still want to continue with the firmware update?");
  EXPECT_EQ(fWaiter->Boxes[0].Flags, 0x44u);
  EXPECT_THAT(Log(), ElementsAre("Initializing update...", "Initializing update OK",
                                 "Reading control block...", "Reading control block OK"));
  EXPECT_EQ(fSim->FlashChangeCount(), changes);
  const auto frames = ReceivedCommands();
  EXPECT_EQ(frames.size(), framesBefore + 3); // update mode, one read, the restart
  EXPECT_EQ(frames.back(), kRestart);
  EXPECT_TRUE(ButtonsEnabled());
}

TEST_F(UpdateSequences, UpdateRadioModuleWritesResourcesFirstAndSwitchesOff) {
  fSim->PresetInstalledVersions(0x108, 0x104, 0x110);
  const auto before = fSim->GetControlBlock();
  fForm->BitBtnUpdateRMClick();
  ASSERT_TRUE(AwaitReceived(kPowerOff));
  EXPECT_EQ(Log(), Announced({"Initializing update", "Reading control block", "Erasing flash memory",
                              "Writing resources", "Verifying resources", "Writing firmware",
                              "Verifying firmware", "Writing control block"},
                             "Turning off Kavelo"));
  const TBytes firmware = ImageBytes(kImageRadioModule);
  ASSERT_EQ(firmware.size(), 232820u);
  EXPECT_EQ(fSim->ReadFlash(0x400, firmware.size()), firmware);
  EXPECT_EQ(fSim->ReadFlash(0x3A000, 21620), ImageBytes(kImageLanguages));
  EXPECT_EQ(EraseAddresses(), (std::vector<uint32_t>{0x00000, 0x10000, 0x20000, 0x30000}));
  const auto block = fSim->GetControlBlock();
  EXPECT_EQ(block.valid2, kMarkerVUNA);
  EXPECT_EQ(block.newFirmwareRM, 0x105u);
  EXPECT_EQ(block.oldFirmwareRM, 0xFFFFFFFFu); // staged: installed when switched on again
  EXPECT_EQ(block.valid3, kMarkerANUV);
  EXPECT_EQ(block.valid0, before.valid0);
  EXPECT_EQ(block.newFirmwareHM, before.newFirmwareHM);
  EXPECT_EQ(block.oldFirmwareHM, before.oldFirmwareHM);
  EXPECT_EQ(block.valid1, before.valid1);
  EXPECT_EQ(block.resourceAddress, 0x3A000u);
  EXPECT_EQ(ReceivedCommands().back(), kPowerOff);
  EXPECT_FALSE(fSim->IsPoweredOn());
  ASSERT_EQ(fWaiter->Boxes.size(), 1u);
  EXPECT_EQ(fWaiter->Boxes[0].Text,
            "Turn on the Kavelo to start the internal radio module update procedure.");
  EXPECT_TRUE(ButtonsEnabled());
  fSim->PowerOn();
  EXPECT_EQ(fSim->GetControlBlock().oldFirmwareRM, 0x105u);
}

TEST_F(UpdateSequences, TheRadioModuleVersionQuestionLooksAtTheRadioModulesVersion) {
  fSim->PresetInstalledVersions(0x100, 0x105, 0x112);
  fWaiter->Answers = {IDNO};
  fForm->BitBtnUpdateRMClick();
  ASSERT_TRUE(AwaitReceived(kRestart));
  ASSERT_EQ(fWaiter->Boxes.size(), 1u);
  EXPECT_EQ(fWaiter->Boxes[0].Text,
            "There exists already a same or higher firmware version in the radio module.\r\n"
            "Do you still want to continue with the firmware update?");
  EXPECT_EQ(ReceivedCommands().back(), kRestart); // restarted, not switched off
  EXPECT_TRUE(fSim->IsPoweredOn());
  EXPECT_TRUE(ButtonsEnabled());
}

TEST_F(UpdateSequences, UpdatePfdErasesItsFourUnitsVerifiesAndRestarts) {
  fForm->BitBtnUpdatePFDClick();
  ASSERT_TRUE(AwaitReceived(kRestart));
  EXPECT_EQ(Log(), Announced({"Initializing update", "Erasing flash memory", "Writing flash memory",
                              "Verifying flash memory"},
                             "Restarting Kavelo"));
  EXPECT_EQ(EraseAddresses(), (std::vector<uint32_t>{0x40000, 0x50000, 0x60000, 0x70000}));
  const TBytes data = ImageBytes(kImagePersistentData);
  ASSERT_EQ(data.size(), 261636u);
  EXPECT_EQ(fSim->ReadFlash(0x40000, data.size()), data);
  size_t verifies = 0;
  for (const auto& f : Received()) verifies += f.size() == 267 && f[4] == 0xE2;
  EXPECT_EQ(verifies, 8u);
  EXPECT_EQ(ReceivedCommands().back(), kRestart);
  EXPECT_TRUE(fWaiter->Boxes.empty());
  EXPECT_TRUE(ButtonsEnabled());
  EXPECT_TRUE(fForm->ComboBoxNewFirmwareHM->currentText() == "0x00000101"); // untouched
}

struct FailureCase {
  const char* Name;
  std::function<void(kavelosim::KaveloSimulator&, THookedForm&)> Arrange;
  const char* Line;
  const char* Box;
};

class FailingSteps : public SimFormTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailingSteps, LogTheErrorShowTheBoxAndNeverRestart) {
  GetParam().Arrange(*fSim, *fForm);
  fForm->BitBtnUpdateHMClick();
  EXPECT_EQ(Log().back(), GetParam().Line);
  ASSERT_EQ(fWaiter->Boxes.size(), 1u);
  EXPECT_EQ(fWaiter->Boxes[0].Text, GetParam().Box);
  EXPECT_EQ(fWaiter->Boxes[0].Flags, 0x40u);
  for (const auto& f : Received()) {
    EXPECT_NE(f, kRestart);
    EXPECT_NE(f, kPowerOff);
  }
  EXPECT_TRUE(ButtonsEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FailingSteps,
    ::testing::Values(
        FailureCase{"NoReply",
                    [](kavelosim::KaveloSimulator& sim, THookedForm&) {
                      kavelosim::FaultRules rules;
                      rules.lose.push_back(kavelosim::ReplySelector::Nth(kavelosim::Command::Write, 10));
                      rules.lose.push_back(kavelosim::ReplySelector::Nth(kavelosim::Command::Write, 11));
                      rules.lose.push_back(kavelosim::ReplySelector::Nth(kavelosim::Command::Write, 12));
                      rules.lose.push_back(kavelosim::ReplySelector::Nth(kavelosim::Command::Write, 13));
                      rules.lose.push_back(kavelosim::ReplySelector::Nth(kavelosim::Command::Write, 14));
                      sim.SetFaults(rules);
                    },
                    "Writing firmware failed: Nothing received", "Writing firmware failed.\r\nAbort."},
        FailureCase{"MemoryDiffers",
                    [](kavelosim::KaveloSimulator& sim, THookedForm&) {
                      kavelosim::FaultRules rules;
                      rules.corruptReadback.push_back(kavelosim::ReplySelector::Nth(kavelosim::Command::Write, 200));
                      sim.SetFaults(rules);
                    },
                    "Writing resources failed: Memory differs", "Writing resources failed.\r\nAbort."},
        FailureCase{"DataFound",
                    [](kavelosim::KaveloSimulator& sim, THookedForm&) {
                      kavelosim::FaultRules rules;
                      rules.stuckBytes.push_back(0x30000 + 7 * 256 + 3);
                      sim.SetFaults(rules);
                    },
                    "Erasing resources failed: Data found (page number: 7)",
                    "Erasing resources failed.\r\nAbort."},
        FailureCase{"VerificationFailed",
                    [](kavelosim::KaveloSimulator& sim, THookedForm& form) {
                      // The flash changes behind the tool's back after it was written.
                      form.OnStatus = [&sim](const QString& text) {
                        if (text == "Verifying firmware...") sim.PresetFlash(0x400 + 3 * 256 + 1, {0x00});
                      };
                    },
                    "Verifying firmware failed: Verification failed (page number: 7, last page: 199)",
                    "Verifying firmware failed.\r\nAbort."}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(UpdateSequences, SingleStepModeAsksBeforeEachStepAndNoEndsSilently) {
  fForm->CheckBoxStepHM->setChecked(true);
  fWaiter->Answers = {IDYES, IDNO};
  fForm->BitBtnUpdateHMClick();
  ASSERT_EQ(fWaiter->Boxes.size(), 2u);
  EXPECT_EQ(fWaiter->Boxes[0].Text,
            "Opening file Kavelo Firmware V1.09 returned OK.\r\nContinue with Initializing update?");
  EXPECT_EQ(fWaiter->Boxes[0].Flags, 0x44u);
  EXPECT_EQ(fWaiter->Boxes[1].Text,
            "Initializing update returned OK.\r\nContinue with Reading control block?");
  EXPECT_THAT(Log(), ElementsAre("Initializing update OK"));
  EXPECT_EQ(Received().size(), 1u); // the update-mode request only
  EXPECT_TRUE(ButtonsEnabled());
}

TEST_F(UpdateSequences, OnlyTheRadioModulesCheckBoxMakesItsSequenceAsk) {
  fForm->CheckBoxStepHM->setChecked(true);
  fForm->BitBtnUpdateRMClick();
  ASSERT_EQ(fWaiter->Boxes.size(), 1u); // only the closing instruction
  ASSERT_TRUE(AwaitReceived(kPowerOff));
  fWaiter->Boxes.clear();
  fSim->PowerOn();
  fForm->CheckBoxStepHM->setChecked(false);
  fForm->CheckBoxStepRM->setChecked(true);
  fWaiter->Answers = {IDNO};
  fForm->BitBtnUpdateRMClick();
  ASSERT_EQ(fWaiter->Boxes.size(), 1u);
  EXPECT_EQ(fWaiter->Boxes[0].Text,
            "Opening file Radio Module Firmware V1.05 returned OK.\r\nContinue with Initializing update?");
}

TEST_F(UpdateSequences, AnImageFileThatCannotBeOpenedIsReportedAndNothingIsSent) {
  fFileToOpen = "/nonexistent/kavelo-firmware.bin";
  fForm->BitBtnOpenHMClick();
  EXPECT_EQ(fForm->LabelHMFirmware->text(), fFileToOpen);
  fForm->BitBtnUpdateHMClick();
  ASSERT_EQ(fWaiter->Boxes.size(), 1u);
  EXPECT_THAT(fWaiter->Boxes[0].Text.toStdString(),
              ::testing::StartsWith("Cannot open file \"/nonexistent/kavelo-firmware.bin\""));
  EXPECT_TRUE(Received().empty());
  EXPECT_TRUE(ButtonsEnabled());
  // A change of language brings the built-in image back.
  fForm->LanguageItems[1]->trigger();
  EXPECT_EQ(fForm->LabelHMFirmware->text(), "Kavelo Firmware V1.09");
}

TEST_F(UpdateSequences, AChosenFileIsWrittenAndNeverAsksTheVersionQuestion) {
  fSim->PresetInstalledVersions(0x200, 0x200, 0x200);
  QTemporaryFile file;
  ASSERT_TRUE(file.open());
  const TBytes bytes = Pattern(30000, 5);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  file.flush();
  fFileToOpen = file.fileName();
  fForm->BitBtnOpenHMClick();
  fForm->BitBtnUpdateHMClick();
  ASSERT_EQ(fWaiter->Boxes.size(), 1u);
  EXPECT_THAT(fWaiter->Boxes[0].Text.toStdString(), ::testing::StartsWith("Calibrate control knob!"));
  EXPECT_EQ(fSim->ReadFlash(0x400, bytes.size()), bytes);
  EXPECT_EQ(Log().at(4).toStdString(), "Erasing flash memory...");
}

// Cut off at a step, the handheld is left as the failure left it; a second run completes.
class CutOffUpdate : public SimFormTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(CutOffUpdate, ASecondRunCompletesAndTheFlashEqualsTheImages) {
  fSim->PresetInstalledVersions(0x100, 0x104, 0x110);
  kavelosim::FaultRules rules;
  rules.vanishAfterFrames = GetParam();
  fSim->SetFaults(rules);
  fForm->BitBtnUpdateHMClick();
  ASSERT_FALSE(fWaiter->Boxes.empty());
  EXPECT_THAT(fWaiter->Boxes.back().Text.toStdString(), ::testing::HasSubstr("failed.\r\nAbort."));
  for (const auto& f : Received()) EXPECT_NE(f, kRestart);
  fSim->SetFaults({});
  fSim->PowerOff();
  fSim->PowerOn();
  fWaiter->Boxes.clear();
  fForm->BitBtnUpdateHMClick();
  ASSERT_TRUE(AwaitReceived(kRestart));
  ASSERT_EQ(fWaiter->Boxes.size(), 1u);
  EXPECT_THAT(fWaiter->Boxes[0].Text.toStdString(), ::testing::StartsWith("Calibrate control knob!"));
  EXPECT_EQ(fSim->ReadFlash(0x400, 49056), ImageBytes(kImageFirmware));
  EXPECT_EQ(fSim->ReadFlash(0x3A000, 21620), ImageBytes(kImageLanguages));
  EXPECT_TRUE(fSim->WaitFor([](const kavelosim::KaveloDevice& d) { return d.Installs().hm > 0; },
                            std::chrono::milliseconds(2000)));
  EXPECT_EQ(fSim->GetControlBlock().oldFirmwareHM, 0x109u);
}

// Frames of a run: 1 update mode, 2 the answer to the announcement, 3 control block read, 4-5
// erase, 6-7 resources erase, 8-199 firmware, 200-284 resources, 285-288 verifies, 289 control
// block, 290 restart.
INSTANTIATE_TEST_SUITE_P(AtSteps, CutOffUpdate, ::testing::Values(1u, 4u, 100u, 250u, 286u, 288u));

} // namespace
} // namespace kavelo::test

namespace kavelo::test {
namespace {

struct NotANumberCase {
  const char* Name;
  bool RadioModule;
  const char* Line;
};

class VersionNotANumber : public SimFormTest, public ::testing::WithParamInterface<NotANumberCase> {};

TEST_P(VersionNotANumber, LogsItShowsTheFailureBoxAndSendsNothing) {
  const auto& c = GetParam();
  (c.RadioModule ? fForm->ComboBoxRMVersion : fForm->ComboBoxHMVersion)->setEditText("0x1G9");
  if (c.RadioModule)
    fForm->BitBtnUpdateRMClick();
  else
    fForm->BitBtnUpdateHMClick();
  EXPECT_THAT(Log(), ElementsAre(c.Line));
  EXPECT_EQ(fForm->fLabelStatus->text(), c.Line);
  ASSERT_EQ(fWaiter->Boxes.size(), 1u);
  EXPECT_EQ(fWaiter->Boxes[0].Text, "TryStrToInt failed.\r\nAbort.");
  EXPECT_EQ(fWaiter->Boxes[0].Caption, "Info about Firmware Update");
  EXPECT_EQ(fWaiter->Boxes[0].Flags, 0x40u);
  EXPECT_TRUE(ButtonsEnabled());
  PumpFor(50);
  EXPECT_TRUE(Received().empty()); // not even the update-mode request
}

INSTANTIATE_TEST_SUITE_P(
    Rows, VersionNotANumber,
    ::testing::Values(NotANumberCase{"Kavelo", false, "Cannot convert ComboBoxHMVersion.Text to Integer"},
                      NotANumberCase{"RadioModule", true, "Cannot convert ComboBoxRMVersion.Text to Integer"}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace kavelo::test
