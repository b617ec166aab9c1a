#pragma once
// Numbers typed by the user: decimal with an optional sign, or hexadecimal after "0x" or "$".
// Up to eight hexadecimal digits give their 32-bit pattern, so "0xFFFFFFFF" reads as -1; a
// decimal text outside the signed 32-bit range is not a number.

#include <QString>

#include <cstdint>

namespace kavelo {

bool ParsePanelNumber(const QString& text, int32_t& value);

// "0x" and eight upper-case hexadecimal digits: the form of the control block fields.
QString ControlBlockValueText(uint32_t value);

} // namespace kavelo
