// The file-open dialog's three filters keep their fixed texts; "all files" takes every file.

#include "ui/MainForm.h"

#include <gmock/gmock.h>

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>

namespace kavelo::test {
namespace {

TEST(OpenDialog1, ShowsItsFixedTextsAndAllFilesTakesNamesWithoutADot) {
  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  ui::ConfigureOpenDialog1(dialog);
  const auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
  ASSERT_NE(types, nullptr);
  QStringList shown;
  for (int i = 0; i < types->count(); ++i) shown << types->itemText(i);
  EXPECT_THAT(shown, ::testing::ElementsAre("Resourcen (*.res)", QString::fromUtf8("Binäre Dateien (*.bin)"),
                                            "Alle Dateien (*.*)"));
  EXPECT_EQ(types->currentIndex(), 1); // binary files preselected
  EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
  EXPECT_TRUE(dialog.testOption(QFileDialog::ReadOnly));

  const auto* model = dialog.findChild<QFileSystemModel*>();
  ASSERT_NE(model, nullptr);
  struct Case {
    int Filter;
    const char* Name;
    bool Shown;
  };
  for (const Case& c : {Case{1, "Kavelo_Firmware.bin", true}, Case{1, "Kavelo_Firmware", false},
                        Case{0, "lang.res", true}, Case{2, "Kavelo_Firmware", true}, Case{2, "image.hex", true}}) {
    dialog.selectNameFilter(dialog.nameFilters().at(c.Filter));
    EXPECT_EQ(QDir::match(model->nameFilters(), QString::fromLatin1(c.Name)), c.Shown) << c.Filter << " " << c.Name;
  }
}

} // namespace
} // namespace kavelo::test
