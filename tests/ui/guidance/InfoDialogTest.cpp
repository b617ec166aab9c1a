// The guidance dialog: its controls, the opening sequence, one dialog per opening, and a
// dialog that keeps its language.

#include "ui/Scale.h"
#include "ui/guidance/InfoDialog.h"

#include "net/Helpers.h"
#include "ui/guidance/Guidance.h"

#include <QApplication>
#include <QBuffer>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextImageFormat>
#include <QWidget>
#include <gmock/gmock.h>
#include <memory>

namespace kavelo::ui {
namespace {

class InfoDialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    fSavedLanguage = LanguageBase();
    fMain = std::make_unique<QWidget>();
    // Where a 584-pixel dialog centred on it fits on the offscreen screen (800 x 600).
    fMain->setGeometry(100, 172, 565, 255);
    fMain->show();
    SetGuidanceErrorReport([this](QWidget*, const QString& text) { fReported << text; });
  }
  void TearDown() override {
    SetGuidanceErrorReport({});
    fMain.reset(); // takes its dialogs with it
    SetLanguageBase(fSavedLanguage);
  }

  static QString FirstTextLine(const TInfoDialog& dialog) {
    return dialog.RichEditInfo()->document()->firstBlock().next().text();
  }

  std::unique_ptr<QWidget> fMain;
  QStringList fReported;
  int fSavedLanguage = 2000;
};

QList<TInfoDialog*> OpenDialogs() {
  QList<TInfoDialog*> dialogs;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<TInfoDialog*>(w); d && d->isVisible()) dialogs << d;
  return dialogs;
}

TEST_F(InfoDialogTest, ControlsAsBuilt) {
  TInfoDialog dialog;
  EXPECT_EQ(dialog.size(), QSize(650, 584));
  const Qt::WindowFlags flags = dialog.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMinMaxButtonsHint);
  EXPECT_FALSE(dialog.isModal());
  EXPECT_EQ(dialog.font().pixelSize(), 11);

  EXPECT_EQ(dialog.BitBtnOk()->geometry(), QRect(287, 551, 76, 25));
  EXPECT_EQ(dialog.BitBtnOk()->text(), QStringLiteral("OK"));
  EXPECT_TRUE(dialog.BitBtnOk()->isDefault());
  EXPECT_EQ(dialog.RichEditInfo()->geometry(), QRect(8, 8, 634, 529));
  EXPECT_TRUE(dialog.RichEditInfo()->isReadOnly());
  EXPECT_EQ(dialog.RichEditInfo()->font().family(), QStringLiteral("Tahoma"));
  EXPECT_EQ(dialog.RichEditInfo()->font().pixelSize(), 11);
  EXPECT_EQ(dialog.BitBtnOk()->nextInFocusChain(), dialog.RichEditInfo());
}

// Run by CTest once more on a screen of 144 dpi, where design pixels count one and a half.
TEST_F(InfoDialogTest, ScalesWithTheScreenAsTheMainWindowDoes) {
  TInfoDialog dialog;
  EXPECT_EQ(dialog.size(), Scaled(QSize(650, 584)));
  EXPECT_EQ(dialog.font().pixelSize(), Scaled(11));
  EXPECT_EQ(dialog.BitBtnOk()->geometry(), Scaled(QRect(287, 551, 76, 25)));
  EXPECT_EQ(dialog.RichEditInfo()->geometry(), Scaled(QRect(8, 8, 634, 529)));
  EXPECT_EQ(dialog.RichEditInfo()->font().pixelSize(), Scaled(11));
  EXPECT_EQ(dialog.RichEditInfo()->document()->defaultFont().pixelSize(), Scaled(11));
  dialog.setFixedSize(Scaled(QSize(700, 600)));
  dialog.show();
  EXPECT_EQ(dialog.RichEditInfo()->geometry(), QRect(Scaled(8), Scaled(8), Scaled(700) - 2 * Scaled(8),
                                                      Scaled(600) - Scaled(8) - Scaled(584 - 8 - 529)));
}

TEST_F(InfoDialogTest, ViewerKeepsItsDistancesWhenTheDialogGrows) {
  TInfoDialog dialog;
  dialog.setFixedSize(700, 600);
  dialog.show(); // a hidden widget gets its resize event when it is shown
  EXPECT_EQ(dialog.RichEditInfo()->geometry(), QRect(8, 8, 684, 545));
}

TEST_F(InfoDialogTest, CzechDocumentWithThePictureAboveItsFirstLine) {
  SetLanguageBase(6000);
  TInfoDialog* dialog = ShowGuidance(fMain.get());
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(fReported.isEmpty());
  EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8("Návod k aktualizaci"));

  const QTextDocument* document = dialog->RichEditInfo()->document();
  const QTextBlock first = document->firstBlock();
  ASSERT_EQ(first.length(), 2); // the picture and the block's end
  const QTextCharFormat format = first.begin().fragment().charFormat();
  ASSERT_TRUE(format.isImageFormat());
  EXPECT_EQ(format.toImageFormat().width(), 536);
  EXPECT_EQ(format.toImageFormat().height(), 295);
  EXPECT_EQ(FirstTextLine(*dialog), QString::fromUtf8("Aktualizace ovladače Kavelo"));
  EXPECT_TRUE(document->toPlainText().contains(QString::fromUtf8("Aktualizovat rádiový modul")));

  const QScrollBar* bar = dialog->RichEditInfo()->verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0); // the text is longer than the view...
  EXPECT_EQ(bar->value(), 0);   // ...and the view starts at the top
}

TEST_F(InfoDialogTest, OpensModelessTopMostAndCentredOnTheMainWindow) {
  TInfoDialog* dialog = ShowGuidance(fMain.get());
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_TRUE(dialog->isWindow());
  EXPECT_FALSE(dialog->isModal());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_TRUE(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
  const QPoint offset = dialog->frameGeometry().center() - fMain->frameGeometry().center();
  EXPECT_LE(offset.manhattanLength(), 1);
}

TEST_F(InfoDialogTest, StaysOnTheScreenWhenTheMainWindowIsAtItsTop) {
  fMain->move(0, 0);
  TInfoDialog* dialog = ShowGuidance(fMain.get());
  ASSERT_NE(dialog, nullptr);
  const QRect desk = fMain->screen()->availableGeometry();
  EXPECT_GE(dialog->frameGeometry().top(), desk.top());
  EXPECT_GE(dialog->frameGeometry().left(), desk.left());
}

TEST_F(InfoDialogTest, TwoOpeningsGiveTwoIndependentDialogs) {
  SetLanguageBase(2000);
  TInfoDialog* one = ShowGuidance(fMain.get());
  TInfoDialog* two = ShowGuidance(fMain.get());
  ASSERT_NE(one, nullptr);
  ASSERT_NE(two, nullptr);
  EXPECT_NE(one, two);
  EXPECT_NE(one->RichEditInfo()->document(), two->RichEditInfo()->document());
  EXPECT_EQ(OpenDialogs().size(), 2);

  QPointer<TInfoDialog> closed = one;
  one->BitBtnOk()->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(closed.isNull()); // a closed dialog is released
  EXPECT_TRUE(two->isVisible());
  EXPECT_EQ(FirstTextLine(*two), QStringLiteral("Updating your Kavelo"));
}

TEST_F(InfoDialogTest, LaterLanguageChangeLeavesAnOpenDialogAsItWas) {
  SetLanguageBase(6000);
  TInfoDialog* czech = ShowGuidance(fMain.get());
  ASSERT_NE(czech, nullptr);
  const QString czechText = czech->RichEditInfo()->toPlainText();
  const QString czechTitle = czech->windowTitle();

  SetLanguageBase(3000);
  TInfoDialog* french = ShowGuidance(fMain.get());
  ASSERT_NE(french, nullptr);
  EXPECT_EQ(french->windowTitle(), QString::fromUtf8("Guide de mise à jour"));
  EXPECT_EQ(FirstTextLine(*french), QString::fromUtf8("Mettre à jour votre Kavelo"));

  EXPECT_TRUE(czech->isVisible());
  EXPECT_EQ(czech->windowTitle(), czechTitle);
  EXPECT_EQ(czech->RichEditInfo()->toPlainText(), czechText);
}

TEST_F(InfoDialogTest, EachLanguageGetsItsDocument) {
  const std::pair<int, const char*> titles[] = {
      {1000, "Kavelo aktualisieren"},       {2000, "Updating your Kavelo"},
      {3000, "Mettre à jour votre Kavelo"}, {4000, "Actualizar su Kavelo"},
      {5000, "Aggiornare il Kavelo"},       {6000, "Aktualizace ovladače Kavelo"},
      {7000, "Uw Kavelo bijwerken"},        {1234, "Updating your Kavelo"}};
  for (const auto& [base, title] : titles) {
    TInfoDialog* dialog = OpenGuidanceDialog(fMain.get(), base);
    ASSERT_NE(dialog, nullptr) << base;
    EXPECT_EQ(FirstTextLine(*dialog), QString::fromUtf8(title)) << base;
    dialog->close();
  }
}

TEST_F(InfoDialogTest, UnloadableDocumentReportsTheErrorAndShowsNoDialog) {
  QBuffer unreadable; // never opened
  const TBitmap picture = TBitmap::FromImage(QImage(2, 2, QImage::Format_RGB32));
  EXPECT_EQ(OpenInfoDialog(fMain.get(), unreadable, picture), nullptr);
  EXPECT_EQ(fReported, QStringList{QStringLiteral("Stream konnte nicht geladen werden")});
  EXPECT_TRUE(OpenDialogs().isEmpty());
  EXPECT_TRUE(fMain->findChildren<TInfoDialog*>().isEmpty());
}

TEST_F(InfoDialogTest, PutStreamFallsBackToPlainText) {
  TInfoDialog dialog;
  QByteArray bytes = "Just words, no RTF.";
  QBuffer stream(&bytes);
  stream.open(QIODevice::ReadOnly);
  ASSERT_TRUE(dialog.PutStream(stream));
  EXPECT_EQ(dialog.RichEditInfo()->toPlainText(), QStringLiteral("Just words, no RTF."));
  EXPECT_EQ(dialog.RichEditInfo()->textCursor().position(), 0);
}

TEST_F(InfoDialogTest, PutBitmapInsertsAtTheSelection) {
  TInfoDialog dialog;
  QByteArray bytes = "{\\rtf1 \\pard\\par First line}";
  QBuffer stream(&bytes);
  stream.open(QIODevice::ReadOnly);
  ASSERT_TRUE(dialog.PutStream(stream));
  QImage image(3, 2, QImage::Format_RGB32);
  image.fill(Qt::red);
  ASSERT_TRUE(dialog.PutBitmap(TBitmap::FromImage(image)));
  const QTextBlock first = dialog.RichEditInfo()->document()->firstBlock();
  EXPECT_TRUE(first.begin().fragment().charFormat().isImageFormat());
  EXPECT_EQ(first.next().text(), QStringLiteral("First line"));
}

TEST_F(InfoDialogTest, OkClosesTheDialog) {
  TInfoDialog* dialog = ShowGuidance(fMain.get());
  ASSERT_NE(dialog, nullptr);
  dialog->BitBtnOk()->click();
  EXPECT_TRUE(OpenDialogs().isEmpty());
}

} // namespace
} // namespace kavelo::ui
