#include "update/NumberSyntax.h"

#include <cstdint>

namespace kavelo {

bool ParsePanelNumber(const QString& text, int32_t& value) {
  const QString t = text.trimmed();
  if (t.isEmpty()) return false;
  QStringView digits(t);
  int base = 10;
  bool negative = false;
  if (digits.startsWith(u'$')) {
    base = 16;
    digits = digits.mid(1);
  } else if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
    base = 16;
    digits = digits.mid(2);
  } else if (digits.startsWith(u'-') || digits.startsWith(u'+')) {
    negative = digits.startsWith(u'-');
    digits = digits.mid(1);
  }
  if (digits.isEmpty()) return false;
  if (base == 16) {
    if (digits.size() > 8) return false;
    uint32_t v = 0;
    for (const QChar c : digits) {
      const char16_t u = c.unicode();
      const int d = (u >= u'0' && u <= u'9')   ? u - u'0'
                    : (u >= u'a' && u <= u'f') ? u - u'a' + 10
                    : (u >= u'A' && u <= u'F') ? u - u'A' + 10
                                               : -1;
      if (d < 0) return false;
      v = (v << 4) | static_cast<uint32_t>(d);
    }
    value = static_cast<int32_t>(v);
    return true;
  }
  int64_t v = 0;
  for (const QChar c : digits) {
    if (c.unicode() < u'0' || c.unicode() > u'9') return false;
    v = v * 10 + (c.unicode() - u'0');
    if (v > 2147483648LL) return false;
  }
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int32_t>(v);
  return true;
}

QString ControlBlockValueText(uint32_t value) {
  return QStringLiteral("0x") + QStringLiteral("%1").arg(value, 8, 16, QChar(u'0')).toUpper();
}

} // namespace kavelo
