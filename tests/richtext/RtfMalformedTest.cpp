// Malformed RTF must be refused without crashing or allocating beyond its own size: the
// reader reports an error, and the viewer then shows the bytes as plain text.

#include "RtfTestData.h"
#include "richtext/Cp1252.h"
#include "richtext/RichEdit.h"
#include "richtext/RtfReader.h"

#include <QBuffer>
#include <gmock/gmock.h>
#include <random>
#include <vector>

namespace kavelo::richtext::test {
namespace {

struct Row {
  const char* name;
  QByteArray rtf;
};

void PrintTo(const Row& row, std::ostream* os) {
  *os << row.name;
}

QByteArray Pict(const QByteArray& words, const QByteArray& hex) {
  return "{\\rtf1 {\\pict" + words + " " + hex + "}}";
}

QByteArray WithField(QByteArray dib, int offset, uint32_t value) {
  QByteArray le;
  PutLe32(le, value);
  dib.replace(offset, 4, le);
  return dib;
}

std::vector<Row> Rows() {
  const QByteArray red = RedPixelDib();
  const QByteArray redHex = Hex(red);
  return {
      {"empty", ""},
      {"not_rtf", "hello world"},
      {"rtf_word_missing", "{\\ansi x}"},
      {"missing_closing_brace", "{\\rtf1 abc"},
      {"missing_inner_closing_brace", "{\\rtf1 {abc}"},
      {"extra_closing_brace", "{\\rtf1 abc}}"},
      {"closing_brace_first", "}{\\rtf1 a}"},
      {"text_after_document", "{\\rtf1 a}garbage"},
      {"truncated_hex_letter", "{\\rtf1 \\'4"},
      {"bad_hex_letter", "{\\rtf1 \\'zz}"},
      {"lone_backslash_at_end", "{\\rtf1 a\\"},
      {"overlong_control_word", "{\\rtf1 \\abcdefghijklmnopqrstuvwxyzabcdefgh x}"},
      {"overlong_parameter", "{\\rtf1 \\fs12345678901 x}"},
      {"nesting_too_deep", "{\\rtf1 " + QByteArray(300, '{') + "x" + QByteArray(300, '}') + "}"},
      {"nesting_very_deep_unbalanced", "{\\rtf1 " + QByteArray(100000, '{')},
      {"odd_length_hex_block", Pict("\\dibitmap", redHex.left(87))},
      {"truncated_hex_block", Pict("\\dibitmap", redHex.left(80))},
      {"hex_block_cut_by_end_of_input", "{\\rtf1 {\\pict\\dibitmap " + redHex.left(60)},
      {"non_hex_in_picture", Pict("\\dibitmap", "28zz")},
      {"header_lies_about_size",
       Pict("\\dibitmap", Hex(Dib24(1000, 1000, {}).left(40)) + "00FF00FF")},
      {"header_huge_width", Pict("\\dibitmap", Hex(WithField(red, 4, 0x7FFFFFFF)))},
      {"header_min_int_height", Pict("\\dibitmap", Hex(WithField(red, 8, 0x80000000)))},
      {"header_size_field_lies", Pict("\\dibitmap", Hex(WithField(red, 0, 0xFFFFFFFF)))},
      {"header_colour_table_too_long",
       Pict("\\dibitmap", Hex(DibHeader(1, 1, 8, 0, 100000) + QByteArray(8, '\0')))},
      {"header_zero_planes",
       Pict("\\dibitmap", Hex(red.left(12) + QByteArray(2, '\0') + red.mid(14)))},
      {"header_bad_bit_count",
       Pict("\\dibitmap", Hex(red.left(14) + QByteArray("\x07\x00", 2) + red.mid(16)))},
      {"huge_picw_with_lying_header", Pict("\\dibitmap\\picw2147483647\\pich2147483647",
                                           Hex(WithField(WithField(red, 4, 60000), 8, 60000)))},
      {"binary_block_past_end", "{\\rtf1 {\\pict\\dibitmap\\bin100 abc}}"},
      {"binary_block_negative", "{\\rtf1 {\\pict\\dibitmap\\bin-5 abc}}"},
      {"png_garbage", Pict("\\pngblip", "0102030405")},
      {"png_header_claims_huge_size", Pict("\\pngblip", Hex(PngHeaderOnly(100000, 100000)))},
      {"png_header_without_data", Pict("\\pngblip", Hex(PngHeaderOnly(4, 4)))},
  };
}

class RtfMalformed : public ::testing::TestWithParam<Row> {};

TEST_P(RtfMalformed, ReaderRefusesIt) {
  RtfContent content;
  QString why;
  EXPECT_FALSE(ReadRtf(GetParam().rtf, content, &why));
  EXPECT_FALSE(why.isEmpty());
}

TEST_P(RtfMalformed, ViewerFallsBackToPlainText) {
  const QByteArray& bytes = GetParam().rtf;
  TRichEdit edit;
  QByteArray copy = bytes;
  QBuffer stream(&copy);
  ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
  ASSERT_TRUE(edit.LoadStream(stream));
  QString expected;
  for (const char c : bytes)
    expected.append(Cp1252ToUnicode(static_cast<uint8_t>(c)));
  EXPECT_EQ(edit.toPlainText(), expected);
}

INSTANTIATE_TEST_SUITE_P(Inputs, RtfMalformed, ::testing::ValuesIn(Rows()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RtfMalformedStream, PicturesAreLimitedTogetherToo) {
  // Three one-bit pictures of 4096 x 4096 pixels: each within the limit, together not.
  QByteArray dib = DibHeader(4096, 4096, 1) + QByteArray(8, '\0');
  dib.append(QByteArray(4096 / 8 * 4096, '\0'));
  const QByteArray picture =
      "{\\pict\\dibitmap\\bin" + QByteArray::number(dib.size()) + " " + dib + "}";
  RtfContent content;
  QString why;
  EXPECT_TRUE(ReadRtf("{\\rtf1 " + picture + "}", content, &why)) << why.toStdString();
  EXPECT_FALSE(ReadRtf("{\\rtf1 " + picture + picture + picture + "}", content, &why));
  EXPECT_EQ(why, QStringLiteral("pictures too large together"));
}

TEST(RtfMalformedStream, BinaryThatIsNeitherRtfNorTextGivesTheError) {
  TRichEdit edit;
  QByteArray bytes("{\\rtf1 \0 x", 10);
  QBuffer stream(&bytes);
  ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
  EXPECT_FALSE(edit.LoadStream(stream));
  EXPECT_EQ(edit.LastError(), QStringLiteral("Stream konnte nicht geladen werden"));
  EXPECT_TRUE(edit.document()->isEmpty());
}

TEST(RtfMalformedStream, UnreadableStreamGivesTheError) {
  TRichEdit edit;
  QBuffer closed;
  EXPECT_FALSE(edit.LoadStream(closed));
  EXPECT_EQ(edit.LastError(), QString::fromLatin1(kStreamLoadError));
}

// Random damage to a valid document: every outcome is fine except a crash, a sanitizer report
// or a hang.
TEST(RtfMalformedStream, RandomDamageNeverBreaksTheReader) {
  const QByteArray valid = "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Tahoma;}}\\uc1\\pard\\qc\\b "
                           "Title\\b0\\par\\pard\\li360\\fi-240 1.\\tab Gr\\'fc\\'dfe "
                           "\\u345?\\par{\\pict\\dibitmap " +
                           Hex(RedPixelDib()) + "}\\par}";
  const char alphabet[] = "{}\\'0123456789abcdefABCDEF-* ?\r\n";
  std::mt19937 random(20240607);
  for (int round = 0; round < 3000; ++round) {
    QByteArray damaged = valid;
    const int edits = 1 + static_cast<int>(random() % 6);
    for (int e = 0; e < edits; ++e) {
      const auto at = static_cast<qsizetype>(random() % static_cast<uint32_t>(damaged.size()));
      switch (random() % 3) {
      case 0:
        damaged[at] = alphabet[random() % (sizeof(alphabet) - 1)];
        break;
      case 1:
        damaged.remove(at, 1 + static_cast<qsizetype>(random() % 8));
        break;
      default:
        damaged.insert(at, alphabet[random() % (sizeof(alphabet) - 1)]);
        break;
      }
      if (damaged.isEmpty()) damaged = "{";
    }
    RtfContent content;
    ReadRtf(damaged, content);
  }
  SUCCEED();
}

} // namespace
} // namespace kavelo::richtext::test
