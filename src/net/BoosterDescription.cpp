#include "net/CommandStationRecords.h"

#include <algorithm>

namespace kavelo {
namespace {
constexpr uint8_t kTextEnd = 0x00;
constexpr uint8_t kErasedByte = 0xFF; // what unwritten device memory reads as: also an end
constexpr char16_t kLowByteMask = 0xFF;
} // namespace

void TBoosterDescription::Clear() {
  Description.fill(0);
}

void TBoosterDescription::SetString(const QString& desc) {
  const size_t stored = std::min(static_cast<size_t>(desc.size()), kMaxStoredLength);
  Description.fill(0);
  for (size_t i = 0; i < stored; ++i)
    Description[i] = static_cast<uint8_t>(desc[static_cast<qsizetype>(i)].unicode() & kLowByteMask);
}

QString TBoosterDescription::ToString() const {
  QString text;
  for (uint8_t code : Description) {
    if (code == kTextEnd || code == kErasedByte) break;
    text.append(QChar(static_cast<char16_t>(code)));
  }
  return text;
}

} // namespace kavelo
