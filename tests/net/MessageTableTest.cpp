#include "net/Helpers.h"

#include <gmock/gmock.h>

#include <QRegularExpression>

#include <set>

namespace kavelo {
namespace {

constexpr int kBases[] = {1000, 2000, 3000, 4000, 5000, 6000, 7000};
constexpr int kCaptions[] = {151, 152, 154, 156, 158, 161, 163, 177, 500, 550, 590, 591};

std::vector<int> MessageNumbers() {
  std::vector<int> numbers;
  for (int n = 151; n <= 215; ++n) numbers.push_back(n);
  for (int n : {500, 550, 590, 591, 592}) numbers.push_back(n);
  return numbers;
}

QStringList Placeholders(const QString& text) {
  QStringList found;
  static const QRegularExpression re(QStringLiteral("%."));
  for (auto it = re.globalMatch(text); it.hasNext();) found << it.next().captured();
  return found;
}

class LanguageGuard : public ::testing::Test {
protected:
  ~LanguageGuard() override { SetLanguageBase(2000); }
};

TEST(MessageTable, HoldsSeventyMessagesInEveryLanguage) {
  const auto numbers = MessageNumbers();
  ASSERT_EQ(numbers.size(), 70u);
  for (int base : kBases)
    for (int n : numbers) EXPECT_FALSE(ResourceText(base + n).isEmpty()) << base + n;
}

TEST(MessageTable, EnglishAndGermanReadAsListed) {
  EXPECT_EQ(ResourceText(2151), "Cl&ose");
  EXPECT_EQ(ResourceText(1151), QString::fromUtf8("S&chließen"));
  EXPECT_EQ(ResourceText(2168), "Kavelo with IP address ");
  EXPECT_EQ(ResourceText(2169), " found.");
  EXPECT_EQ(ResourceText(1168), "Kavelo mit IP-Adresse ");
  EXPECT_EQ(ResourceText(1169), " gefunden.");
  EXPECT_EQ(ResourceText(2201), "Nothing received");
  EXPECT_EQ(ResourceText(1202), QString::fromUtf8("Ungültige Paketlänge"));
  EXPECT_EQ(ResourceText(2211), "Verification failed (page number: %u, last page: %u)");
  EXPECT_EQ(ResourceText(1215), "MENU > EINSTELLUNGEN > ZURUECKSETZEN > KALIBRIEREN");
  EXPECT_EQ(ResourceText(2592), "Info about");
  EXPECT_EQ(ResourceText(1592), QString::fromUtf8("Info über"));
}

TEST(MessageTable, TranslationsKeepTheEnglishPlaceholdersOrNone) {
  for (int base : kBases) {
    for (int n : MessageNumbers()) {
      const QStringList english = Placeholders(ResourceText(2000 + n));
      const QStringList translated = Placeholders(ResourceText(base + n));
      if (translated.isEmpty() && base == 1000 && n == 202) continue;
      EXPECT_EQ(translated, english) << base + n << ": " << ResourceText(base + n).toStdString();
    }
  }
}

TEST(MessageTable, CaptionsCarryExactlyOneAcceleratorAndOtherTextsNone) {
  const std::set<int> captions(std::begin(kCaptions), std::end(kCaptions));
  for (int base : kBases) {
    for (int n : MessageNumbers()) {
      const QString text = ResourceText(base + n);
      const auto amps = text.count(u'&');
      EXPECT_EQ(amps, captions.count(n) ? 1 : 0) << base + n << ": " << text.toStdString();
      if (amps == 1) {
        const auto at = text.indexOf(u'&');
        ASSERT_LT(at + 1, text.size()) << base + n;
        EXPECT_TRUE(text.at(at + 1).isLetter()) << base + n;
      }
    }
  }
}

TEST(MessageTable, FrenchDoublePunctuationStandsAfterANoBreakSpace) {
  for (int n : MessageNumbers()) {
    const QString text = ResourceText(3000 + n);
    for (qsizetype i = 0; i < text.size(); ++i) {
      if (QStringView(u":;!?").contains(text.at(i))) {
        EXPECT_TRUE(i > 0 && text.at(i - 1) == QChar(0x00A0)) << 3000 + n << ": " << text.toStdString();
      }
    }
  }
}

// The failure box and the failure line put the stop or the colon after these themselves.
TEST(MessageTable, FailureWordsEndWithoutPunctuationInEveryLanguage) {
  for (int base : kBases)
    for (int n : {171, 172}) {
      const QString text = ResourceText(base + n);
      ASSERT_FALSE(text.isEmpty()) << base + n;
      EXPECT_TRUE(text.back().isLetter()) << base + n << ": " << text.toStdString();
    }
}

TEST(MessageTable, JoinedSearchTextKeepsItsBlanksInEveryLanguage) {
  for (int base : kBases) {
    EXPECT_TRUE(ResourceText(base + 168).endsWith(u' ')) << base;
    EXPECT_TRUE(ResourceText(base + 169).startsWith(u' ')) << base;
  }
}

TEST(MessageTable, UnknownNumbersAreEmptyAndNothingIsTooLong) {
  for (int base : kBases) {
    EXPECT_TRUE(ResourceText(base + 1).isEmpty());
    EXPECT_TRUE(ResourceText(base + 216).isEmpty());
    for (int n : MessageNumbers()) EXPECT_LE(ResourceText(base + n).size(), 254);
  }
  EXPECT_TRUE(ResourceText(0).isEmpty());
  EXPECT_TRUE(ResourceText(-1).isEmpty());
  EXPECT_TRUE(ResourceText(99999).isEmpty());
}

TEST(MessageTable, ParsingCutsTextsAt254CharactersAndSkipsBrokenLines) {
  const QString longText(300, u'x');
  const auto table = ParseMessageTable(
      QStringLiteral("151\t") + longText + "\n152\t ab \nnot a line\n\t153\n154\n", 2000);
  EXPECT_EQ(table.value(2151), QString(254, u'x'));
  EXPECT_EQ(table.value(2152), " ab ");
  EXPECT_EQ(table.size(), 2);
}

TEST_F(LanguageGuard, LocalizedTextFollowsTheLanguageBaseAtEveryCall) {
  SetLanguageBase(2000);
  EXPECT_EQ(LocalizedText(201), "Nothing received");
  SetLanguageBase(1000);
  EXPECT_EQ(LocalizedText(201), "Nichts empfangen");
  EXPECT_EQ(FormatText(LocalizedText(202), {260, 4}), QString::fromUtf8("Ungültige Paketlänge"));
  EXPECT_EQ(LocalizedText(168) + "192.168.0.23" + LocalizedText(169),
            "Kavelo mit IP-Adresse 192.168.0.23 gefunden.");
  SetLanguageBase(2000);
  EXPECT_EQ(LocalizedText(168) + "192.168.0.23" + LocalizedText(169),
            "Kavelo with IP address 192.168.0.23 found.");
  EXPECT_EQ(LocalizedText(1), "");
}

} // namespace
} // namespace kavelo
