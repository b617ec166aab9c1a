#pragma once
// Reads an RTF document (or a fragment such as a lone picture group) into RtfContent.

#include "richtext/RtfContent.h"

#include <QByteArrayView>
#include <QString>

namespace kavelo::richtext {

// False when the bytes are not RTF or are malformed: no "{\rtf" at the start, unbalanced
// braces, nesting beyond the limit, a broken control word, or picture data that contradicts
// itself. why, when given, names the first problem found.
bool ReadRtf(QByteArrayView data, RtfContent& content, QString* why = nullptr);

} // namespace kavelo::richtext
