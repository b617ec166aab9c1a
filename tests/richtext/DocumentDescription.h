#pragma once
// A compact text form of a QTextDocument for table tests: blocks joined by " | ", a block's
// non-default format in braces ({c li=24 fi=-16 sa=4}), styled runs as [b,i,u,s,fs10:text],
// pictures as [img WxH], a tab as <tab> and a line break as <br>.

#include <QString>
#include <QTextDocument>
#include <string>

namespace kavelo::richtext::test {

std::string DescribeDocument(const QTextDocument& document);

// Reads rtf into a fresh document and describes it; "ERROR: <reason>" when the read fails.
std::string DescribeRtf(const QByteArray& rtf);

} // namespace kavelo::richtext::test
