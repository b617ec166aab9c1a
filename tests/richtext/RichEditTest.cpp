// The viewer as the guidance dialog uses it: loads at the selection, the plain-text fallback,
// the selection with scrolling, fragments inserted into an existing document.

#include "richtext/RichEdit.h"

#include "DocumentDescription.h"
#include "RtfTestData.h"

#include <QBuffer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <gmock/gmock.h>

namespace kavelo::richtext::test {
namespace {

bool Load(TRichEdit& edit, QByteArray bytes) {
  QBuffer stream(&bytes);
  stream.open(QIODevice::ReadOnly);
  return edit.LoadStream(stream);
}

QByteArray LongDocument(int lines) {
  QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252 ";
  for (int i = 0; i < lines; ++i)
    rtf += "Line " + QByteArray::number(i) + "\\par ";
  return rtf + "End}";
}

TEST(RichEdit, DefaultsOfTheControl) {
  TRichEdit edit;
  EXPECT_TRUE(edit.isReadOnly());
  EXPECT_EQ(edit.font().family(), QStringLiteral("Tahoma"));
  EXPECT_EQ(edit.font().pixelSize(), 11);
  EXPECT_EQ(edit.document()->defaultFont().pixelSize(), 11);
  EXPECT_FALSE(edit.font().bold());
  EXPECT_EQ(edit.verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
  EXPECT_EQ(edit.palette().color(QPalette::Text), edit.palette().color(QPalette::WindowText));
}

TEST(RichEdit, LoadsRtf) {
  TRichEdit edit;
  ASSERT_TRUE(Load(edit, "{\\rtf1 \\b Hi\\b0  there}"));
  EXPECT_EQ(DescribeDocument(*edit.document()), "[b:Hi] there");
}

TEST(RichEdit, FallsBackToPlainTextFromTheSameStart) {
  TRichEdit edit;
  QByteArray bytes = "skip me|Not RTF at all: Gr\xfc\xdf"
                     "e\r\nline two";
  QBuffer stream(&bytes);
  stream.open(QIODevice::ReadOnly);
  stream.seek(8);
  ASSERT_TRUE(edit.LoadStream(stream));
  EXPECT_EQ(edit.toPlainText(), QString::fromUtf8("Not RTF at all: Grüße\nline two"));
}

TEST(RichEdit, StreamInRtfAloneDoesNotFallBack) {
  TRichEdit edit;
  QByteArray bytes = "plain words";
  QBuffer stream(&bytes);
  stream.open(QIODevice::ReadOnly);
  EXPECT_FALSE(edit.StreamInRtf(stream));
  EXPECT_TRUE(edit.document()->isEmpty());
  EXPECT_FALSE(edit.LastError().isEmpty());
}

TEST(RichEdit, InsertsAtTheSelection) {
  TRichEdit edit;
  ASSERT_TRUE(Load(edit, "{\\rtf1 Hello world}"));
  edit.SetSelection(6, 11);
  ASSERT_TRUE(edit.InsertRtf("{\\rtf1 \\i there}"));
  EXPECT_EQ(DescribeDocument(*edit.document()), "Hello [i:there]");
  EXPECT_EQ(edit.textCursor().position(), 11);
}

TEST(RichEdit, PictureAtTheStartKeepsTheParagraphs) {
  TRichEdit edit;
  ASSERT_TRUE(Load(edit, "{\\rtf1\\pard\\qc\\par\\pard\\b Title\\b0\\par Body}"));
  edit.SetSelection(0, 0);
  ASSERT_TRUE(edit.InsertRtf("{\\rtf1 {\\pict\\dibitmap " + Hex(RedPixelDib()) + " }}"));
  EXPECT_EQ(DescribeDocument(*edit.document()), "{c} [img 1x1] | [b:Title] | Body");
}

TEST(RichEdit, FragmentWithParagraphsSplitsTheLandingParagraph) {
  TRichEdit edit;
  ASSERT_TRUE(Load(edit, "{\\rtf1\\qr AB}"));
  edit.SetSelection(1, 1);
  ASSERT_TRUE(edit.InsertRtf("{\\rtf1\\pard\\qc x\\par\\pard y}"));
  EXPECT_EQ(DescribeDocument(*edit.document()), "{c} Ax | {r} yB");
}

TEST(RichEdit, SetSelectionScrollsIntoView) {
  TRichEdit edit;
  edit.resize(300, 120);
  edit.show();
  ASSERT_TRUE(Load(edit, LongDocument(200)));
  const int end = edit.document()->characterCount() - 1;
  edit.SetSelection(end, end);
  EXPECT_GT(edit.verticalScrollBar()->value(), 0);
  edit.SetSelection(0, 0);
  EXPECT_EQ(edit.verticalScrollBar()->value(), 0);
  EXPECT_EQ(edit.textCursor().position(), 0);
  EXPECT_FALSE(edit.textCursor().hasSelection());
}

TEST(RichEdit, SetSelectionClampsAndSelects) {
  TRichEdit edit;
  ASSERT_TRUE(Load(edit, "{\\rtf1 abcdef}"));
  edit.SetSelection(2, 4);
  EXPECT_EQ(edit.textCursor().selectedText(), QStringLiteral("cd"));
  edit.SetSelection(-5, 1000);
  EXPECT_EQ(edit.textCursor().selectedText(), QStringLiteral("abcdef"));
}

TEST(RichEdit, HangingIndentTabsToTheIndent) {
  TRichEdit edit;
  edit.document()->setDocumentMargin(0);
  ASSERT_TRUE(Load(edit, "{\\rtf1\\pard\\li600\\fi-300 1.\\tab Item\\par\\pard\\li600 Next}"));
  edit.document()->setTextWidth(400);
  const QTextBlock item = edit.document()->firstBlock();
  const QTextLine line = item.layout()->lineAt(0);
  EXPECT_DOUBLE_EQ(line.x(), 20.0);                                  // 300 twips
  EXPECT_NEAR(line.cursorToX(item.text().indexOf(u'I')), 40.0, 0.5); // 600 twips: the indent
  const QTextLine next = item.next().layout()->lineAt(0);
  EXPECT_DOUBLE_EQ(next.x(), 40.0);
}

TEST(RichEdit, ReadsLargeStreamsInPieces) {
  TRichEdit edit;
  ASSERT_TRUE(Load(edit, LongDocument(20000)));
  EXPECT_EQ(edit.document()->blockCount(), 20001);
}

TEST(RichEdit, TextWithoutFontUsesTheDefaultFont) {
  TRichEdit edit;
  ASSERT_TRUE(Load(edit, "{\\rtf1 plain{\\fs28 big}}"));
  const QTextBlock block = edit.document()->firstBlock();
  const QFont plain = block.begin().fragment().charFormat().font();
  EXPECT_EQ(plain.pixelSize(), 11);
}

} // namespace
} // namespace kavelo::richtext::test
