// Dotted address text to address value. The input is the text, taken once as UTF-8 and once as
// Latin-1. Each reading is compared with a model of the conversion whose integer reader takes
// plain decimal pieces only (no sign, blank or prefix), as ours does; a valid address must also
// survive the way back through IPToStr.

#include "net/Helpers.h"
#include "support/FuzzCheck.h"

#include <QString>

#include <optional>

namespace kavelo::fuzz {
namespace {

// Two different defaults tell a returned default from a valid address that happens to equal it.
constexpr uint32_t kDefaultA = 0x12345678;
constexpr uint32_t kDefaultB = 0x87654321;

std::optional<uint32_t> ReadPiece(QStringView piece) {
  if (piece.isEmpty()) return std::nullopt;
  uint32_t value = 0;
  for (const QChar c : piece) {
    if (c.unicode() < u'0' || c.unicode() > u'9') return std::nullopt;
    value = value * 10 + (c.unicode() - u'0');
    if (value > 255) return std::nullopt; // leading zeros are fine, a larger number is not
  }
  return value;
}

std::optional<uint32_t> Model(const QString& text) {
  QString rest = text;
  const qsizetype bar = rest.indexOf(u'|');
  if (bar >= 0) rest.truncate(bar);
  qsizetype first = 0;
  qsizetype last = rest.size();
  while (first < last && rest[first].unicode() <= 32) ++first;
  while (last > first && rest[last - 1].unicode() <= 32) --last;
  rest = rest.mid(first, last - first);
  uint32_t pieces[4];
  for (int i = 0; i < 3; ++i) {
    const qsizetype dot = rest.indexOf(u'.');
    if (dot < 0) return std::nullopt;
    const auto piece = ReadPiece(QStringView(rest).left(dot));
    if (!piece) return std::nullopt;
    pieces[i] = *piece;
    rest.remove(0, dot + 1);
  }
  if (rest.isEmpty()) return std::nullopt;
  const auto piece = ReadPiece(rest);
  if (!piece) return std::nullopt;
  pieces[3] = *piece;
  return pieces[0] | (pieces[1] << 8) | (pieces[2] << 16) | (pieces[3] << 24);
}

void Check(const QString& text) {
  const uint32_t a = StrToIP(text, kDefaultA);
  const uint32_t b = StrToIP(text, kDefaultB);
  const bool valid = a == b;
  if (!valid)
    FUZZ_CHECK(a == kDefaultA && b == kDefaultB, "'%s': neither an address nor the default",
               qPrintable(text));
  const auto expected = Model(text);
  FUZZ_CHECK(valid == expected.has_value() && (!valid || a == *expected),
             "'%s': StrToIP gives %s%08X, expected %s%08X", qPrintable(text),
             valid ? "" : "default ", valid ? a : 0u, expected ? "" : "default ",
             expected.value_or(0));
  FUZZ_CHECK(IsValidIP(text) == (expected && *expected != 0), "'%s': IsValidIP",
             qPrintable(text));
  if (!valid) return;
  const uint32_t v = a;
  const QString dotted = IPToStr(v);
  FUZZ_CHECK(StrToIP(dotted, kDefaultA) == v, "'%s' does not read back", qPrintable(dotted));
  FUZZ_CHECK(MakeIP(IPByte(1, v), IPByte(2, v), IPByte(3, v), IPByte(4, v)) == v,
             "IPByte and MakeIP disagree on %08X", v);
  FUZZ_CHECK(StrToIP(QStringLiteral(" \t") + dotted + QStringLiteral("\r\n|") + text, 0) == v,
             "'%s' with blanks and a comment", qPrintable(dotted));
}

} // namespace
} // namespace kavelo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0; // an address text is short; longer inputs add nothing
  const auto* chars = reinterpret_cast<const char*>(data);
  const auto length = static_cast<qsizetype>(size);
  kavelo::fuzz::Check(QString::fromUtf8(chars, length));
  kavelo::fuzz::Check(QString::fromLatin1(chars, length));
  if (size >= 4) {
    // Any 32-bit value survives the way to text and back.
    const uint32_t v = static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
                       (static_cast<uint32_t>(data[2]) << 16) |
                       (static_cast<uint32_t>(data[3]) << 24);
    FUZZ_CHECK(kavelo::StrToIP(kavelo::IPToStr(v), ~v) == v, "%08X does not read back", v);
  }
  return 0;
}
