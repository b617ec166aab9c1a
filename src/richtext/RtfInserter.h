#pragma once
// Puts read content into a QTextDocument at a cursor, the way a rich edit control inserts a
// stream at its selection.

#include "richtext/RtfContent.h"

#include <QTextCursor>

namespace kavelo::richtext {

// Replaces the cursor's selection with content; the cursor ends after the inserted text.
// Every paragraph ended by \par gets its own format. The last paragraph, which has no \par,
// joins the paragraph it lands in and keeps that paragraph's format unless it sets one of its
// own, so a lone picture inserted at position 0 does not reformat the first line.
void InsertRtfContent(QTextCursor& cursor, const RtfContent& content);

} // namespace kavelo::richtext
