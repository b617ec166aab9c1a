// The seven guidance documents: 8-bit RTF in code page 1252 that the reader takes as it is,
// naming the program's own captions in their language.

#include "net/Helpers.h"
#include "richtext/RtfInserter.h"
#include "richtext/RtfReader.h"
#include "ui/guidance/Guidance.h"

#include <QFile>
#include <QTextCursor>
#include <QTextDocument>
#include <gmock/gmock.h>

namespace kavelo::ui {
namespace {

struct Language {
  int base;
  const char* name;
};

void PrintTo(const Language& l, std::ostream* os) {
  *os << l.name;
}

QByteArray Document(int base) {
  QFile file(GuidanceDocumentPath(base));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

QString Caption(int base, int number) {
  return ResourceText(base + number).remove(u'&');
}

class GuidanceDocument : public ::testing::TestWithParam<Language> {
protected:
  QString ShownText() {
    richtext::RtfContent content;
    QString why;
    EXPECT_TRUE(richtext::ReadRtf(Document(GetParam().base), content, &why)) << why.toStdString();
    QTextDocument document;
    QTextCursor cursor(&document);
    richtext::InsertRtfContent(cursor, content);
    return document.toPlainText();
  }
};

TEST_P(GuidanceDocument, IsSevenBitRtfWithCodePage1252) {
  const QByteArray bytes = Document(GetParam().base);
  ASSERT_FALSE(bytes.isEmpty());
  EXPECT_TRUE(bytes.startsWith("{\\rtf1\\ansi\\ansicpg1252"));
  EXPECT_TRUE(bytes.contains("\\uc1"));
  for (const char c : bytes)
    ASSERT_LT(static_cast<uint8_t>(c), 0x80);
  EXPECT_FALSE(bytes.contains("\\pict")); // the dialog adds the one picture
}

TEST_P(GuidanceDocument, StartsWithTheEmptyParagraphThatHoldsThePicture) {
  const QString text = ShownText();
  EXPECT_TRUE(text.startsWith(u'\n'));
  EXPECT_GT(text.size(), 2000);
}

TEST_P(GuidanceDocument, NamesTheCaptionsOfThisLanguage) {
  const QString text = ShownText();
  const int base = GetParam().base;
  for (const int number : {151, 152, 154, 156, 158, 161, 163, 177, 215}) {
    const QString caption = Caption(base, number);
    ASSERT_FALSE(caption.isEmpty()) << number;
    EXPECT_TRUE(text.contains(caption)) << number << " " << caption.toStdString();
  }
  EXPECT_TRUE(text.contains(QStringLiteral("21105")));
  EXPECT_TRUE(text.contains(QStringLiteral("Wi-Fi")) || text.contains(QStringLiteral("WLAN")) ||
              text.contains(QStringLiteral("wifi")));
}

INSTANTIATE_TEST_SUITE_P(Languages, GuidanceDocument,
                         ::testing::Values(Language{1000, "Deutsch"}, Language{2000, "English"},
                                           Language{3000, "Francais"}, Language{4000, "Espanol"},
                                           Language{5000, "Italiano"}, Language{6000, "Cestina"},
                                           Language{7000, "Nederlands"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GuidanceDocuments, CzechLettersOutsideCodePage1252AreUnicodeEscapes) {
  const QByteArray bytes = Document(6000);
  for (const char* escape : {"\\u283?", "\\u269?", "\\u345?", "\\u367?"}) // ě č ř ů
    EXPECT_TRUE(bytes.contains(escape)) << escape;
  richtext::RtfContent content;
  ASSERT_TRUE(richtext::ReadRtf(bytes, content));
  QTextDocument document;
  QTextCursor cursor(&document);
  richtext::InsertRtfContent(cursor, content);
  const QString text = document.toPlainText();
  for (const char* word : {"Připojit", "průběhu", "Zavřít", "rádiový modul", "síťový"})
    EXPECT_TRUE(text.contains(QString::fromUtf8(word))) << word;
}

TEST(GuidanceDocuments, DocumentByLanguageBase) {
  EXPECT_EQ(GuidanceDocumentName(1000), QStringLiteral("Kavelo_Info_Deutsch"));
  EXPECT_EQ(GuidanceDocumentName(2000), QStringLiteral("Kavelo_Info_English"));
  EXPECT_EQ(GuidanceDocumentName(3000), QStringLiteral("Kavelo_Info_Francais"));
  EXPECT_EQ(GuidanceDocumentName(4000), QStringLiteral("Kavelo_Info_Espanol"));
  EXPECT_EQ(GuidanceDocumentName(5000), QStringLiteral("Kavelo_Info_Italiano"));
  EXPECT_EQ(GuidanceDocumentName(6000), QStringLiteral("Kavelo_Info_Cestina"));
  EXPECT_EQ(GuidanceDocumentName(7000), QStringLiteral("Kavelo_Info_Nederlands"));
  EXPECT_EQ(GuidanceDocumentName(1234), QStringLiteral("Kavelo_Info_English"));
  EXPECT_EQ(GuidanceDocumentName(0), QStringLiteral("Kavelo_Info_English"));
  EXPECT_EQ(GuidanceDocumentPath(6000), QStringLiteral(":/guidance/Kavelo_Info_Cestina.rtf"));
}

} // namespace
} // namespace kavelo::ui
