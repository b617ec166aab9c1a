// The developer panel's number syntax: decimal with an optional sign, or up to eight
// hexadecimal digits after "0x" or "$", read as a signed 32-bit value. The input is the text,
// taken once as UTF-8 and once as Latin-1. A text that is clearly a number must read as that
// number, one that clearly is not must be refused, and every value read must come back from
// its hexadecimal and decimal forms. Texts whose reading the syntax leaves open (blanks around
// them, "0X", more than eight digits) only have to be read consistently.

#include "support/FuzzCheck.h"
#include "update/NumberSyntax.h"

#include <QRegularExpression>
#include <QString>

#include <cstring>
#include <optional>

namespace kavelo::fuzz {
namespace {

enum class TVerdict { Number, NotANumber, Open };

struct TModel {
  TVerdict Verdict;
  int32_t Value = 0;
};

TModel Model(const QString& text) {
  if (text.isEmpty()) return {TVerdict::NotANumber};
  bool graphic = true; // only printable ASCII, no blanks
  for (const QChar c : text)
    if (c.unicode() <= 0x20 || c.unicode() >= 0x7F) graphic = false;
  if (!graphic) {
    for (const QChar c : text)
      if (c.unicode() <= 0x20 || c.isSpace()) return {TVerdict::Open};
    return {TVerdict::NotANumber}; // a letter outside ASCII is never a digit here
  }
  static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]+$"));
  static const QRegularExpression hex(QStringLiteral("^(0x|\\$)([0-9A-Fa-f]{1,8})$"));
  static const QRegularExpression digitsOrPrefix(QStringLiteral("^[0-9A-Fa-fXx$+-]*$"));
  if (decimal.match(text).hasMatch()) {
    QStringView digits(text);
    const bool negative = digits.startsWith(u'-');
    if (digits.startsWith(u'-') || digits.startsWith(u'+')) digits = digits.mid(1);
    int64_t v = 0;
    for (const QChar c : digits) {
      v = v * 10 + (c.unicode() - u'0');
      if (v > 0x80000000LL) return {TVerdict::NotANumber};
    }
    if (negative) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return {TVerdict::NotANumber};
    return {TVerdict::Number, static_cast<int32_t>(v)};
  }
  if (const auto m = hex.match(text); m.hasMatch()) {
    uint32_t v = 0;
    for (const QChar c : m.capturedView(2)) {
      const char16_t u = c.unicode();
      v = (v << 4) | static_cast<uint32_t>(u <= u'9' ? u - u'0' : (u | 0x20) - u'a' + 10);
    }
    return {TVerdict::Number, static_cast<int32_t>(v)};
  }
  if (!digitsOrPrefix.match(text).hasMatch()) return {TVerdict::NotANumber};
  // A prefix or a sign without digits.
  if (text == QStringLiteral("0x") || text == QStringLiteral("$") || text == QStringLiteral("+") ||
      text == QStringLiteral("-"))
    return {TVerdict::NotANumber};
  return {TVerdict::Open};
}

std::optional<int32_t> Parse(const QString& text) {
  int32_t value = 0;
  if (!ParsePanelNumber(text, value)) return std::nullopt;
  return value;
}

void RoundTrip(int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  const QString forms[] = {
      QStringLiteral("0x") + QStringLiteral("%1").arg(u, 8, 16, QChar(u'0')).toUpper(),
      QStringLiteral("0x%1").arg(u, 0, 16),
      QStringLiteral("$%1").arg(u, 0, 16).toUpper(),
      QString::number(v),
      ControlBlockValueText(u),
  };
  for (const QString& form : forms)
    FUZZ_CHECK(Parse(form) == v, "%d does not come back from '%s'", v, qPrintable(form));
  if (v >= 0)
    FUZZ_CHECK(Parse(QStringLiteral("+") + QString::number(v)) == v, "+%d does not come back", v);
}

void Check(const QString& text) {
  const auto got = Parse(text);
  FUZZ_CHECK(Parse(text) == got, "'%s' reads differently the second time", qPrintable(text));
  const TModel model = Model(text);
  if (model.Verdict == TVerdict::Number)
    FUZZ_CHECK(got == model.Value, "'%s' reads as %s%d, expected %d", qPrintable(text),
               got ? "" : "no number ", got.value_or(0), model.Value);
  if (model.Verdict == TVerdict::NotANumber)
    FUZZ_CHECK(!got, "'%s' is not a number but reads as %d", qPrintable(text), *got);
  if (got) RoundTrip(*got);
}

} // namespace
} // namespace kavelo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0; // a typed number is short; longer inputs add nothing
  const auto* chars = reinterpret_cast<const char*>(data);
  const auto length = static_cast<qsizetype>(size);
  kavelo::fuzz::Check(QString::fromUtf8(chars, length));
  kavelo::fuzz::Check(QString::fromLatin1(chars, length));
  if (size >= 4) {
    int32_t v = 0;
    std::memcpy(&v, data, 4);
    kavelo::fuzz::RoundTrip(v);
  }
  return 0;
}
