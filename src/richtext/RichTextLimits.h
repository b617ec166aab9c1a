#pragma once
// Bounds that keep the reader's memory and work proportional to its input, whatever a
// malformed document claims about itself.

#include <cstdint>

namespace kavelo::richtext {

// Largest stream the viewer reads; the guidance documents with their picture need about 1 MB.
inline constexpr int64_t kMaxStreamBytes = 64 * 1024 * 1024;
// The viewer pulls a stream in pieces of this size.
inline constexpr int64_t kStreamPieceBytes = 64 * 1024;
// Deepest group nesting accepted; real documents stay far below it.
inline constexpr int kMaxGroupDepth = 256;
// Longest control word (letters only), as the RTF grammar defines it.
inline constexpr int kMaxKeywordLength = 32;
// Longest numeric parameter of a control word, sign not counted.
inline constexpr int kMaxParameterDigits = 10;
// Largest \ucN: the fallback characters skipped after a \u letter.
inline constexpr int kMaxUnicodeSkip = 16;
// Tab stops kept per paragraph.
inline constexpr int kMaxTabStops = 64;
// Paragraph indents and spacing in twips (22 inches).
inline constexpr int kMaxIndentTwips = 31680;
// Largest \fs, in half points.
inline constexpr int kMaxFontSizeHalfPoints = 400;
// Side length and pixel count of a decoded picture.
inline constexpr int kMaxPictureSide = 32767;
inline constexpr int64_t kMaxPicturePixels = 16 * 1024 * 1024;
// All pictures of one document together; one-bit pictures decode to 32 times their data.
inline constexpr int64_t kMaxDocumentPicturePixels = 32 * 1024 * 1024;
// Shown size of a picture in pixels, whatever its goal size or scaling says.
inline constexpr int kMaxPictureDisplaySide = 8192;
// Twips per pixel at 96 dots per inch.
inline constexpr double kTwipsPerPixel = 15.0;

} // namespace kavelo::richtext
