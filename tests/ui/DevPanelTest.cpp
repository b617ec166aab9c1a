// The developer test panel against the simulated handheld.

#include "handheld/HandheldFixture.h"
#include "ui/SimFormFixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace kavelo::test {
namespace {

using ::testing::ElementsAre;

class DevPanel : public SimFormTest {
protected:
  void SetUp() override {
    SimFormTest::SetUp();
    ASSERT_TRUE(fDir.isValid());
    fPreviousDir = QDir::currentPath();
    QDir::setCurrent(fDir.path());
  }
  void TearDown() override {
    QDir::setCurrent(fPreviousDir);
    SimFormTest::TearDown();
  }
  void EnterUpdateMode() {
    fForm->BitBtnHMUpdateClick();
    fForm->MemoLog->clear();
  }
  QString WriteFile(const TBytes& bytes) {
    const QString path = fDir.filePath("image.bin");
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    return path;
  }
  QTemporaryDir fDir;
  QString fPreviousDir;
};

TEST_F(DevPanel, SendUpdateLogsTheTraceText) {
  fForm->BitBtnHMUpdateClick();
  const QString local = QString::fromStdString(fPrefix + ".1");
  ASSERT_EQ(Log().size(), 1);
  EXPECT_TRUE(Log()[0].startsWith("Initializing update OK: TX  08 00 41 00 7F "));
  EXPECT_TRUE(Log()[0].endsWith(" ... " + local));
}

TEST_F(DevPanel, ReadWritesTheRangeIntoReadfileBin) {
  EnterUpdateMode();
  const TBytes data = Pattern(6144, 3);
  fSim->PresetFlash(0x40000, data);
  fForm->ComboBoxAddress->setEditText("0x40000");
  fForm->ComboBoxReadLen->setEditText("6144");
  fForm->BitBtnReadClick();
  EXPECT_THAT(Log(), ElementsAre("Reading flash memory OK"));
  QFile file(fDir.filePath("readfile.bin"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  EXPECT_EQ(TBytes(bytes.begin(), bytes.end()), data);
  size_t reads = 0;
  for (const auto& f : Received()) reads += f.size() == 12 && f[4] == 0xE5;
  EXPECT_EQ(reads, 24u);
}

TEST_F(DevPanel, AnAddressThatIsNoNumberOrHasTheTopBitSetDoesNothing) {
  EnterUpdateMode();
  const size_t frames = Received().size();
  fForm->LabeledEditFileName->setText(WriteFile(Pattern(300)));
  for (const char* address : {"0x80000000", "abc", "", "4294967296"}) {
    fForm->ComboBoxAddress->setEditText(address);
    fForm->BitBtnReadClick();
    fForm->BitBtnEraseClick();
    fForm->BitBtnWriteClick();
    fForm->BitBtnVerifyClick();
  }
  EXPECT_TRUE(Log().isEmpty());
  EXPECT_EQ(Received().size(), frames);
  EXPECT_FALSE(QFile::exists(fDir.filePath("readfile.bin")));
  EXPECT_TRUE(fWaiter->Boxes.empty());
}

TEST_F(DevPanel, EraseWriteAndVerifyUseTheFileAtTheAddress) {
  EnterUpdateMode();
  const TBytes data = Pattern(1000, 9);
  fForm->LabeledEditFileName->setText(WriteFile(data));
  fForm->ComboBoxAddress->setEditText("$10000");
  fForm->BitBtnEraseClick();
  fForm->BitBtnWriteClick();
  fForm->BitBtnVerifyClick();
  EXPECT_THAT(Log(), ElementsAre("Erasing flash memory OK", "Writing flash memory OK", "Verifying flash memory OK"));
  EXPECT_EQ(fSim->ReadFlash(0x10000, data.size()), data);
}

TEST_F(DevPanel, AFailedOperationLogsItsError) {
  fForm->ComboBoxAddress->setEditText("0x0");
  fForm->BitBtnReadClick(); // not in update mode: the handheld stays silent
  EXPECT_THAT(Log(), ElementsAre("Reading flash memory failed: Nothing received"));
  fForm->ComboBoxReadLen->setEditText("0");
  fForm->BitBtnReadClick();
  EXPECT_EQ(Log().back(), "Reading flash memory failed: Invalid offset (data end <= data begin)");
}

TEST_F(DevPanel, AFileThatCannotBeOpenedIsReportedAndNothingIsSent) {
  EnterUpdateMode();
  const size_t frames = Received().size();
  fForm->LabeledEditFileName->setText(fDir.filePath("missing.bin"));
  fForm->BitBtnWriteClick();
  ASSERT_EQ(fWaiter->Boxes.size(), 1u);
  EXPECT_TRUE(fWaiter->Boxes[0].Text.startsWith("Cannot open file \"" + fDir.filePath("missing.bin") + "\""));
  EXPECT_TRUE(Log().isEmpty());
  EXPECT_EQ(Received().size(), frames);
}

TEST_F(DevPanel, ReadCtrlBlockShowsAndEnablesTheFieldsAndWriteCtrlBlockNormalises) {
  EnterUpdateMode();
  EXPECT_TRUE(fForm->BitBtnWriteControlBlock->testAttribute(Qt::WA_ForceDisabled)); // no block read yet
  fForm->BitBtnReadControlBlockClick();
  EXPECT_THAT(Log(), ElementsAre("Reading control block OK"));
  for (QComboBox* field : fForm->ControlBlockFields()) {
    EXPECT_EQ(field->currentText(), "0xFFFFFFFF");
    EXPECT_FALSE(field->testAttribute(Qt::WA_ForceDisabled));
  }
  EXPECT_FALSE(fForm->BitBtnWriteControlBlock->testAttribute(Qt::WA_ForceDisabled));
  const auto fields = fForm->ControlBlockFields();
  const char* texts[] = {"0x101", "-1", "256", "$FFFFFFFF", "0x112", "274", "0x3A000"};
  for (size_t i = 0; i < fields.size(); ++i) fields[i]->setEditText(texts[i]);
  fForm->BitBtnWriteControlBlockClick();
  EXPECT_EQ(Log().back(), "Writing control block OK");
  EXPECT_EQ(fields[0]->currentText(), "0x00000101");
  EXPECT_EQ(fields[1]->currentText(), "0xFFFFFFFF");
  EXPECT_EQ(fields[2]->currentText(), "0x00000100");
  EXPECT_EQ(fields[6]->currentText(), "0x0003A000");
  const auto block = fSim->GetControlBlock();
  EXPECT_EQ(block.valid0, kMarkerVUNA);
  EXPECT_EQ(block.newFirmwareHM, 0x101u);
  EXPECT_EQ(block.oldFirmwareHM, 0xFFFFFFFFu);
  EXPECT_EQ(block.newFirmwareRM, 0x100u);
  EXPECT_EQ(block.newHMResources, 0x112u);
  EXPECT_EQ(block.oldHMResources, 274u);
  EXPECT_EQ(block.resourceAddress, 0x3A000u);
  EXPECT_EQ(block.valid5, kMarkerANUV);
  EXPECT_EQ(fForm->ControlBlock().NewFirmwareHM, 0x101u);
}

TEST_F(DevPanel, WriteCtrlBlockWithATextThatIsNoNumberSendsNothing) {
  EnterUpdateMode();
  const size_t frames = Received().size();
  const TControlBlock before = fForm->ControlBlock();
  fForm->ComboBoxNewFirmwareHM->setEditText("0x101");
  fForm->ComboBoxOldHMResources->setEditText("twelve");
  fForm->BitBtnWriteControlBlockClick();
  EXPECT_THAT(Log(), ElementsAre("Text conversion failed"));
  EXPECT_EQ(Received().size(), frames);
  EXPECT_EQ(std::memcmp(&before, &fForm->ControlBlock(), sizeof before), 0);
}

TEST_F(DevPanel, WhileAPanelOperationRunsTheLinkCannotBeTakenAway) {
  EnterUpdateMode();
  std::vector<bool> seen;
  fWaiter->OnWait = [&] {
    for (QPushButton* b : {fForm->BitBtnDisconnect, fForm->BitBtnSearch, fForm->BitBtnConnect,
                           fForm->BitBtnRead, fForm->BitBtnReadControlBlock, fForm->BitBtnHMUpdate})
      seen.push_back(b->testAttribute(Qt::WA_ForceDisabled));
  };
  fForm->BitBtnReadClick();
  fWaiter->OnWait = nullptr;
  ASSERT_FALSE(seen.empty());
  EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](bool disabled) { return disabled; }));
  // Afterwards the connected states are back.
  EXPECT_FALSE(fForm->BitBtnDisconnect->testAttribute(Qt::WA_ForceDisabled));
  EXPECT_FALSE(fForm->BitBtnRead->testAttribute(Qt::WA_ForceDisabled));
  EXPECT_TRUE(fForm->BitBtnConnect->testAttribute(Qt::WA_ForceDisabled));
}

TEST_F(DevPanel, LeavingAComboBoxAddsItsTextOnce) {
  const int before = fForm->ComboBoxReadLen->count();
  fForm->ComboBoxReadLen->setEditText("4096");
  fForm->ComboBoxExit(fForm->ComboBoxReadLen);
  fForm->ComboBoxExit(fForm->ComboBoxReadLen);
  EXPECT_EQ(fForm->ComboBoxReadLen->count(), before + 1);
  fForm->ComboBoxAddress->setEditText("0X00400"); // equal to a preset but for the case
  fForm->ComboBoxExit(fForm->ComboBoxAddress);
  EXPECT_EQ(fForm->ComboBoxAddress->count(), 7);
  fForm->ComboBoxExit(fForm->BitBtnRead); // not a combo box
  // A real change of focus runs the same handler.
  fForm->GroupBoxDevTest->setEnabled(true);
  fForm->GroupBoxDevTest->show();
  fForm->show();
  QApplication::setActiveWindow(fForm.get());
  fForm->ComboBoxReadLen->setFocus();
  fForm->ComboBoxReadLen->setEditText("8192");
  fForm->LabeledEditFileName->setFocus();
  QApplication::processEvents();
  EXPECT_GE(fForm->ComboBoxReadLen->findText("8192"), 0);
}

} // namespace
} // namespace kavelo::test
