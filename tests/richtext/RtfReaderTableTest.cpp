// Fragments in, documents out: each row is an RTF text and the description of the document
// the reader must make of it (see DocumentDescription.h for the notation).

#include "DocumentDescription.h"
#include "RtfTestData.h"
#include "richtext/RtfReader.h"

#include <gmock/gmock.h>
#include <vector>

namespace kavelo::richtext::test {
namespace {

struct Row {
  const char* name;
  QByteArray rtf;
  std::string expected; // UTF-8
};

void PrintTo(const Row& row, std::ostream* os) {
  *os << row.name;
}

QByteArray Picture(const QByteArray& words, const QByteArray& dib) {
  return "{\\pict" + words + " " + Hex(dib) + "}";
}

std::vector<Row> Rows() {
  const QByteArray red = RedPixelDib();
  return {
      {"plain", "{\\rtf1 Hello}", "Hello"},
      {"bold_and_italic_runs", "{\\rtf1 a \\b bold\\b0  and \\i italic\\i0  end}",
       "a [b:bold] and [i:italic] end"},
      {"toggle_with_parameter", "{\\rtf1 \\b1 on\\b0 off}", "[b:on]off"},
      {"nested_groups_restore_style", "{\\rtf1 x{\\b y{\\i z}w}v}", "x[b:y][b,i:z][b:w]v"},
      {"underline_and_strike", "{\\rtf1 \\ul u\\ulnone  n \\strike s\\strike0}", "[u:u] n [s:s]"},
      {"font_size_in_half_points", "{\\rtf1 {\\fs32 Big} small}", "[fs16:Big] small"},
      {"plain_resets_characters", "{\\rtf1 \\b\\i\\fs20 x\\plain y}", "[b,i,fs10:x]y"},
      {"superscript", "{\\rtf1 x\\super 2\\nosupersub}", "x[sup:2]"},
      {"cp1252_hex_letters", "{\\rtf1 Gr\\'fc\\'dfe \\'80 \\'93q\\'94 \\'9a\\'9e}",
       "Grüße € “q” šž"},
      {"raw_8bit_bytes_are_cp1252", "{\\rtf1 caf\xe9 \x80}", "café €"},
      {"unicode_letters_with_uc1",
       "{\\rtf1\\uc1 P\\u345?\\'edli\\'9a \\u382?lu\\u357?ou\\u269?k\\u253?}", "Příliš žluťoučký"},
      {"uc2_skips_two_fallbacks", "{\\rtf1\\uc2 a\\u283\\'e9\\'e9b}", "aěb"},
      {"uc0_skips_nothing", "{\\rtf1\\uc0\\u283 x}", "ěx"},
      {"fallback_ends_at_group", "{\\rtf1\\uc3 {\\u283}xy}", "ěxy"},
      {"negative_unicode_surrogate_pair", "{\\rtf1\\uc1\\u-10179?\\u-8704?}", "😀"},
      {"lone_surrogate_replaced", "{\\rtf1\\uc1\\u-10179? x}", "\xEF\xBF\xBD x"},
      {"skipped_destinations",
       "{\\rtf1{\\fonttbl{\\f0\\fswiss Tahoma;}}{\\colortbl;\\red255\\green0\\blue0;}"
       "{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}{\\author A}}{\\*\\generator Gen;}"
       "{\\*\\unknownthing hidden {\\b deeper}}visible}",
       "visible"},
      {"header_words_ignored",
       "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1031\\viewkind4 \\foo12 x\\barbaz y}", "xy"},
      {"paragraph_formats",
       "{\\rtf1\\pard\\qc Title\\par\\pard\\li720\\fi-360 1.\\tab Item\\par\\pard\\sb120\\sa60 "
       "Body}",
       "{c} Title | {li=48 fi=-24} 1.<tab>Item | {sb=8 sa=4} Body"},
      {"paragraph_format_lasts_until_pard", "{\\rtf1\\qr a\\par b\\par\\pard c}",
       "{r} a | {r} b | c"},
      {"paragraph_ends_with_par", "{\\rtf1 a\\par}", "a | "},
      {"escaped_line_end_is_par", "{\\rtf1 a\\\nb}", "a | b"},
      {"file_line_breaks_ignored", "{\\rtf1 a\r\nb}", "ab"},
      {"line_tab_and_symbols", "{\\rtf1 a\\line b\\~c\\{d\\}\\\\e\\emdash f\\bullet\\tab g}",
       "a<br>b\xC2\xA0"
       "c{d}\\e—f•<tab>g"},
      {"dib_picture", "{\\rtf1 " + Picture("\\dibitmap0", red) + "}", "[img 1x1]"},
      {"picture_goal_size_in_twips",
       "{\\rtf1 " + Picture("\\dibitmap\\picwgoal300\\pichgoal150", red) + "}", "[img 20x10]"},
      {"picture_scaling", "{\\rtf1 " + Picture("\\dibitmap\\picscalex500\\picscaley200", red) + "}",
       "[img 5x2]"},
      {"huge_picw_is_not_trusted",
       "{\\rtf1 " + Picture("\\dibitmap\\picw2147483647\\pich99999999", red) + "}", "[img 1x1]"},
      {"picture_between_text", "{\\rtf1 a" + Picture("\\dibitmap", red) + "b}", "a[img 1x1]b"},
      {"picture_property_groups_skipped",
       "{\\rtf1 {\\pict{\\*\\picprop{\\sp{\\sn x}{\\sv 1}}}\\dibitmap " + Hex(red) + "}}",
       "[img 1x1]"},
      {"shppict_understood_nonshppict_skipped",
       "{\\rtf1 a{\\*\\shppict" + Picture("\\dibitmap", red) +
           "}{\\nonshppict{\\pict\\wmetafile8 0100}}b}",
       "a[img 1x1]b"},
      {"metafile_picture_skipped", "{\\rtf1 a{\\pict\\wmetafile8\\picw10 0100FF}b}", "ab"},
      {"compressed_dib_skipped",
       "{\\rtf1 a" + Picture("\\dibitmap", DibHeader(4, 4, 8, 1) + QByteArray(1024, '\0')) + "b}",
       "ab"},
      {"png_picture",
       "{\\rtf1 " + Picture("\\pngblip", PngBytes(QImage(3, 2, QImage::Format_RGB32))) + "}",
       "[img 3x2]"},
      {"binary_picture_data", "{\\rtf1 {\\pict\\dibitmap\\bin44 " + red + "}x}", "[img 1x1]x"},
      {"padding_after_document", QByteArray("{\\rtf1 a}\r\n\0", 12), "a"},
  };
}

class RtfReaderTable : public ::testing::TestWithParam<Row> {};

TEST_P(RtfReaderTable, GivesExpectedDocument) {
  EXPECT_EQ(DescribeRtf(GetParam().rtf), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Fragments, RtfReaderTable, ::testing::ValuesIn(Rows()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RtfReader, PictureKeepsItsPixels) {
  // 2 x 2, bottom row first: blue, green / red, white on top.
  const QByteArray rows("\xFF\x00\x00"
                        "\x00\xFF\x00"
                        "\x00\x00\xFF"
                        "\xFF\xFF\xFF",
                        12);
  RtfContent content;
  ASSERT_TRUE(ReadRtf("{\\rtf1 {\\pict\\dibitmap " + Hex(Dib24(2, 2, rows)) + "}}", content));
  ASSERT_EQ(content.paragraphs.size(), 1u);
  ASSERT_EQ(content.paragraphs[0].inlines.size(), 1u);
  const QImage image = content.paragraphs[0].inlines[0].picture;
  EXPECT_EQ(image.pixel(0, 1), qRgb(0, 0, 255));
  EXPECT_EQ(image.pixel(1, 1), qRgb(0, 255, 0));
  EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(1, 0), qRgb(255, 255, 255));
}

TEST(RtfReader, LowerCaseHexAndLineBreaksInPictureData) {
  QByteArray hex = Hex(RedPixelDib()).toLower();
  hex.insert(40, "\r\n  ");
  EXPECT_EQ(DescribeRtf("{\\rtf1 {\\pict\\dibitmap " + hex + "}}"), "[img 1x1]");
}

TEST(RtfReader, NestingUpToTheLimitIsFine) {
  const int depth = 200;
  const QByteArray rtf = "{\\rtf1 " + QByteArray(depth, '{') + "x" + QByteArray(depth, '}') + "}";
  EXPECT_EQ(DescribeRtf(rtf), "x");
}

} // namespace
} // namespace kavelo::richtext::test
