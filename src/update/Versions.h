#pragma once
// The versions of the built-in images and how the tool shows them.

#include <QString>

#include <cstdint>

namespace kavelo {

inline constexpr uint16_t HMFirmwareVersion = 0x109;
inline constexpr uint16_t RMFirmwareVersion = 0x105;
inline constexpr uint16_t HMResourcesVersion = 0x112;
inline constexpr uint16_t PFDVersion = 0x105;

// "1.09" for 0x109: the major byte in decimal, the minor byte as two hexadecimal digits.
QString VersionNumberText(uint16_t version);
// "V1.09".
QString VersionText(uint16_t version);
// "0x109": the form of the version combo boxes.
QString VersionComboText(uint16_t version);

QString HMFirmwareLabel();
QString RMFirmwareLabel();
QString PFDFirmwareLabel();

} // namespace kavelo
