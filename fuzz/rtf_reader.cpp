// The RTF reader on its own: any bytes either read into content within the reader's bounds or
// are refused with a reason, the same way every time.

#include "richtext/RichTextLimits.h"
#include "richtext/RtfReader.h"
#include "support/FuzzCheck.h"

#include <QByteArrayView>

namespace kavelo::fuzz {
namespace {

using namespace kavelo::richtext;

struct TSummary {
  size_t Paragraphs = 0;
  qsizetype TextUnits = 0;
  int64_t PicturePixels = 0;
  bool operator==(const TSummary&) const = default;
};

TSummary CheckContent(const RtfContent& content) {
  TSummary s;
  s.Paragraphs = content.paragraphs.size();
  for (const RtfParagraph& p : content.paragraphs) {
    const RtfParagraphStyle& ps = p.style;
    FUZZ_CHECK(std::abs(ps.leftIndentTwips) <= kMaxIndentTwips &&
                   std::abs(ps.rightIndentTwips) <= kMaxIndentTwips &&
                   std::abs(ps.firstLineIndentTwips) <= kMaxIndentTwips &&
                   std::abs(ps.spaceBeforeTwips) <= kMaxIndentTwips &&
                   std::abs(ps.spaceAfterTwips) <= kMaxIndentTwips,
               "paragraph indent or spacing beyond %d twips", kMaxIndentTwips);
    FUZZ_CHECK(ps.tabStopsTwips.size() <= static_cast<size_t>(kMaxTabStops), "%zu tab stops",
               ps.tabStopsTwips.size());
    for (const RtfInline& in : p.inlines) {
      FUZZ_CHECK(in.style.fontSizeHalfPoints >= 0 &&
                     in.style.fontSizeHalfPoints <= kMaxFontSizeHalfPoints,
                 "font size %d half points", in.style.fontSizeHalfPoints);
      if (in.kind == RtfInline::Kind::Text) {
        s.TextUnits += in.text.size();
        continue;
      }
      FUZZ_CHECK(!in.picture.isNull(), "a picture without an image");
      const int w = in.picture.width();
      const int h = in.picture.height();
      FUZZ_CHECK(w <= kMaxPictureSide && h <= kMaxPictureSide &&
                     static_cast<int64_t>(w) * h <= kMaxPicturePixels,
                 "picture of %d x %d pixels", w, h);
      FUZZ_CHECK(in.displaySize.width() >= 1 && in.displaySize.height() >= 1 &&
                     in.displaySize.width() <= kMaxPictureDisplaySide &&
                     in.displaySize.height() <= kMaxPictureDisplaySide,
                 "picture shown at %d x %d", in.displaySize.width(), in.displaySize.height());
      s.PicturePixels += static_cast<int64_t>(w) * h;
    }
  }
  FUZZ_CHECK(s.PicturePixels <= kMaxDocumentPicturePixels, "%lld picture pixels in all",
             static_cast<long long>(s.PicturePixels));
  return s;
}

} // namespace
} // namespace kavelo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kavelo::richtext;
  const QByteArrayView bytes(data, static_cast<qsizetype>(size));
  RtfContent content;
  QString why;
  const bool ok = ReadRtf(bytes, content, &why);
  FUZZ_CHECK(ok || !why.isEmpty(), "refused without a reason");
  kavelo::fuzz::TSummary summary;
  if (ok) {
    summary = kavelo::fuzz::CheckContent(content);
    // Every character of the text comes from at least one byte of the input.
    FUZZ_CHECK(summary.TextUnits <= static_cast<qsizetype>(size), "%lld characters from %zu bytes",
               static_cast<long long>(summary.TextUnits), size);
  }
  RtfContent again;
  QString whyAgain;
  const bool okAgain = ReadRtf(bytes, again, &whyAgain);
  FUZZ_CHECK(okAgain == ok && whyAgain == why, "a second read judges differently");
  if (ok) FUZZ_CHECK(kavelo::fuzz::CheckContent(again) == summary, "a second read differs");
  return 0;
}
