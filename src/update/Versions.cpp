#include "update/Versions.h"

#include "net/Helpers.h"

namespace kavelo {

QString VersionNumberText(uint16_t version) {
  return QStringLiteral("%1.%2").arg(version >> 8).arg(version & 0xFF, 2, 16, QChar(u'0')).toUpper();
}

QString VersionText(uint16_t version) { return QStringLiteral("V") + VersionNumberText(version); }

QString VersionComboText(uint16_t version) {
  return QStringLiteral("0x") + QStringLiteral("%1").arg(version, 3, 16, QChar(u'0')).toUpper();
}

QString HMFirmwareLabel() { return LocalizedText(165) + " " + VersionText(HMFirmwareVersion); }

QString RMFirmwareLabel() { return LocalizedText(166) + " " + VersionText(RMFirmwareVersion); }

QString PFDFirmwareLabel() { return QStringLiteral("R") + VersionNumberText(PFDVersion); }

} // namespace kavelo
