#include "richtext/RtfLexer.h"

#include "richtext/RichTextLimits.h"

#include <limits>

namespace kavelo::richtext {

namespace {

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

RtfToken ErrorToken() {
  return RtfToken{RtfTokenKind::Error, {}, false, 0};
}

} // namespace

RtfToken RtfLexer::Next() {
  if (AtEnd()) return RtfToken{};
  const char c = fInput[fPos];
  if (c == '{') {
    ++fPos;
    return RtfToken{RtfTokenKind::GroupOpen, {}, false, 0};
  }
  if (c == '}') {
    ++fPos;
    return RtfToken{RtfTokenKind::GroupClose, {}, false, 0};
  }
  if (c == '\\') return ReadControl();
  const qsizetype start = fPos;
  while (fPos < fInput.size() && fInput[fPos] != '\\' && fInput[fPos] != '{' && fInput[fPos] != '}')
    ++fPos;
  return RtfToken{RtfTokenKind::Text, fInput.sliced(start, fPos - start), false, 0};
}

RtfToken RtfLexer::ReadControl() {
  ++fPos; // the backslash
  if (AtEnd()) return ErrorToken();
  const char first = fInput[fPos];
  if (!IsLetter(first)) {
    ++fPos;
    if (first != '\'') return RtfToken{RtfTokenKind::ControlSymbol, {}, true, first};
    if (fInput.size() - fPos < 2) return ErrorToken();
    const int high = HexValue(fInput[fPos]);
    const int low = HexValue(fInput[fPos + 1]);
    if (high < 0 || low < 0) return ErrorToken();
    fPos += 2;
    return RtfToken{RtfTokenKind::HexLetter, {}, true, high * 16 + low};
  }
  const qsizetype start = fPos;
  while (fPos < fInput.size() && IsLetter(fInput[fPos]))
    ++fPos;
  if (fPos - start > kMaxKeywordLength) return ErrorToken();
  RtfToken token{RtfTokenKind::ControlWord, fInput.sliced(start, fPos - start), false, 0};

  bool negative = false;
  if (fPos + 1 < fInput.size() && fInput[fPos] == '-' && IsDigit(fInput[fPos + 1])) {
    negative = true;
    ++fPos;
  }
  if (fPos < fInput.size() && IsDigit(fInput[fPos])) {
    const qsizetype digitsStart = fPos;
    int64_t value = 0;
    while (fPos < fInput.size() && IsDigit(fInput[fPos])) {
      if (fPos - digitsStart >= kMaxParameterDigits) return ErrorToken();
      value = value * 10 + (fInput[fPos] - '0');
      ++fPos;
    }
    if (negative) value = -value;
    // Out-of-range numbers are clamped so that no caller sees an overflowed value.
    constexpr int64_t kLow = std::numeric_limits<int32_t>::min();
    constexpr int64_t kHigh = std::numeric_limits<int32_t>::max();
    token.hasParameter = true;
    token.parameter = static_cast<int32_t>(value < kLow ? kLow : (value > kHigh ? kHigh : value));
  }
  if (fPos < fInput.size() && fInput[fPos] == ' ') ++fPos; // the delimiter belongs to the word
  return token;
}

bool RtfLexer::ReadBinary(int64_t count, QByteArrayView& data) {
  if (count < 0 || count > fInput.size() - fPos) return false;
  data = fInput.sliced(fPos, static_cast<qsizetype>(count));
  fPos += static_cast<qsizetype>(count);
  return true;
}

} // namespace kavelo::richtext
