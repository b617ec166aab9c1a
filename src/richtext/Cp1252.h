#pragma once
// Windows-1252, the 8-bit code page of the documents the viewer reads.

#include <QChar>
#include <cstdint>

namespace kavelo::richtext {

// The letter of one byte; the five bytes the code page leaves unassigned give U+FFFD.
QChar Cp1252ToUnicode(uint8_t byte);

} // namespace kavelo::richtext
