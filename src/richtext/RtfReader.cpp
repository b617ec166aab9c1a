#include "richtext/RtfReader.h"

#include "richtext/Cp1252.h"
#include "richtext/RichTextLimits.h"
#include "richtext/RtfContentBuilder.h"
#include "richtext/RtfLexer.h"
#include "richtext/RtfPicture.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace kavelo::richtext {

namespace {

enum class Destination { Text, Skip, Picture };

struct GroupState {
  RtfCharStyle chars;
  RtfParagraphStyle paragraph;
  int unicodeSkip = 1;
  Destination destination = Destination::Text;
  bool ignorable = false; // \* seen: skip the group unless its destination is one we know
};

// Destinations whose text is not part of the visible document.
// clang-format off
constexpr std::array kSkippedDestinations = {
    "fonttbl", "colortbl", "stylesheet", "info", "header", "headerl", "headerr", "headerf",
    "footer", "footerl", "footerr", "footerf", "footnote", "annotation", "fldinst", "xe", "tc",
    "txe", "rxe", "filetbl", "revtbl", "listtable", "listoverridetable", "pgdsctbl", "rsidtbl",
    "generator", "nonshppict", "objdata", "objclass", "objname", "template", "themedata",
    "datastore", "latentstyles", "colorschememapping", "pn", "pnseclvl", "private", "bkmkstart",
    "bkmkend", "ftnsep", "ftnsepc", "ftncn", "aftnsep", "aftnsepc", "aftncn", "userprops",
    "docvar", "xmlnstbl", "mmathPr", "atnid", "atnauthor", "fchars", "lchars", "wgrffmtfilter"};
// clang-format on

// \* destinations the reader does understand: their content is shown.
constexpr std::array kUnderstoodIgnorables = {"shppict"};

template <size_t N> bool Contains(const std::array<const char*, N>& list, QByteArrayView word) {
  return std::any_of(list.begin(), list.end(), [&](const char* w) { return word == w; });
}

int ClampTwips(int32_t value, int low) {
  return std::clamp<int32_t>(value, low, kMaxIndentTwips);
}

class Reader {
public:
  explicit Reader(QByteArrayView data) : fLexer(data) {}
  bool Run(RtfContent& content, QString& why);

private:
  bool Fail(const char* text) {
    if (fWhy.isEmpty()) fWhy = QString::fromLatin1(text);
    return false;
  }
  GroupState& Top() { return fGroups.back(); }
  bool OpenGroup();
  bool CloseGroup();
  bool ControlWord(const RtfToken& token);
  bool ControlSymbol(char symbol);
  bool PictureWord(QByteArrayView word, const RtfToken& token);
  void ParagraphWord(QByteArrayView word, const RtfToken& token, bool& handled);
  void CharacterWord(QByteArrayView word, const RtfToken& token, bool& handled);
  bool Text(QByteArrayView run);
  void Letter(QChar c);
  bool SkippingFallback();

  RtfLexer fLexer;
  std::vector<GroupState> fGroups;
  RtfContentBuilder fBuilder;
  std::unique_ptr<RtfPicture> fPicture;
  size_t fPictureDepth = 0;
  int fFallbackLeft = 0; // characters still to skip after a \u letter
  RtfParagraphStyle fLastParagraph;
  int64_t fPicturePixels = 0;
  QString fWhy;
};

bool Reader::Run(RtfContent& content, QString& why) {
  const auto done = [&](bool ok) {
    why = fWhy;
    return ok;
  };
  const RtfToken first = fLexer.Next();
  const RtfToken second = fLexer.Next();
  if (first.kind != RtfTokenKind::GroupOpen || second.kind != RtfTokenKind::ControlWord ||
      !second.word.startsWith("rtf"))
    return done(Fail("not an RTF stream"));
  fGroups.emplace_back();

  while (!fGroups.empty()) {
    const RtfToken token = fLexer.Next();
    bool ok = true;
    switch (token.kind) {
    case RtfTokenKind::End:
      return done(Fail("missing closing brace"));
    case RtfTokenKind::Error:
      return done(Fail("malformed control word or hex letter"));
    case RtfTokenKind::GroupOpen:
      ok = OpenGroup();
      break;
    case RtfTokenKind::GroupClose:
      ok = CloseGroup();
      break;
    case RtfTokenKind::ControlWord:
      ok = ControlWord(token);
      break;
    case RtfTokenKind::ControlSymbol:
      ok = ControlSymbol(static_cast<char>(token.parameter));
      break;
    case RtfTokenKind::HexLetter:
      Top().ignorable = false;
      if (Top().destination == Destination::Text && !SkippingFallback())
        Letter(Cp1252ToUnicode(static_cast<uint8_t>(token.parameter)));
      break;
    case RtfTokenKind::Text:
      ok = Text(token.word);
      break;
    }
    if (!ok) return done(false);
  }
  // Whatever follows the document's closing brace may only be padding.
  for (const char c : fLexer.Rest())
    if (c != ' ' && c != '\r' && c != '\n' && c != '\t' && c != '\0')
      return done(Fail("text after the closing brace"));
  content = fBuilder.Finish(fLastParagraph);
  return done(true);
}

bool Reader::OpenGroup() {
  if (fGroups.size() >= static_cast<size_t>(kMaxGroupDepth)) return Fail("groups nested too deep");
  GroupState child = Top();
  Top().ignorable = false;
  child.ignorable = false;
  // Groups inside a picture hold its properties, never its data.
  if (child.destination == Destination::Picture) child.destination = Destination::Skip;
  fGroups.push_back(std::move(child));
  fFallbackLeft = 0;
  return true;
}

bool Reader::CloseGroup() {
  bool ok = true;
  if (fPicture && fGroups.size() == fPictureDepth) {
    QImage image;
    QSize size;
    QString reason;
    switch (fPicture->Finish(image, size, &reason)) {
    case RtfPicture::Result::Picture:
      fPicturePixels += static_cast<int64_t>(image.width()) * image.height();
      if (fPicturePixels > kMaxDocumentPicturePixels) {
        ok = Fail("pictures too large together");
        break;
      }
      fBuilder.AddPicture(image, size);
      break;
    case RtfPicture::Result::Skipped:
      break;
    case RtfPicture::Result::Malformed:
      if (fWhy.isEmpty()) fWhy = QStringLiteral("malformed picture: ") + reason;
      ok = false;
      break;
    }
    fPicture.reset();
  }
  if (fGroups.size() == 1) fLastParagraph = Top().paragraph;
  fGroups.pop_back();
  fFallbackLeft = 0;
  return ok;
}

bool Reader::ControlWord(const RtfToken& token) {
  GroupState& g = Top();
  const bool wasIgnorable = g.ignorable;
  g.ignorable = false;
  const QByteArrayView word = token.word;

  if (word == "bin") {
    QByteArrayView data;
    if (!fLexer.ReadBinary(token.hasParameter ? token.parameter : 0, data))
      return Fail("binary block runs past the end");
    if (g.destination == Destination::Picture)
      fPicture->AddBinary(data);
    else if (g.destination == Destination::Text)
      SkippingFallback();
    return true;
  }
  if (g.destination == Destination::Skip) return true;
  if (wasIgnorable && !Contains(kUnderstoodIgnorables, word)) {
    g.destination = Destination::Skip;
    return true;
  }
  if (g.destination == Destination::Picture) return PictureWord(word, token);
  if (SkippingFallback()) return true;
  if (Contains(kSkippedDestinations, word)) {
    g.destination = Destination::Skip;
    return true;
  }
  if (word == "pict") {
    if (fPicture) { // a picture inside a picture has nothing to show
      g.destination = Destination::Skip;
      return true;
    }
    fPicture = std::make_unique<RtfPicture>();
    fPictureDepth = fGroups.size();
    g.destination = Destination::Picture;
    return true;
  }
  bool handled = false;
  ParagraphWord(word, token, handled);
  if (!handled) CharacterWord(word, token, handled);
  if (handled) return true;

  const int32_t p = token.parameter;
  if (word == "uc") {
    g.unicodeSkip = std::clamp<int32_t>(p, 0, kMaxUnicodeSkip);
  } else if (word == "u") {
    const int32_t unit = p < 0 ? p + 65536 : p;
    if (unit >= 0 && unit <= 0xFFFF)
      fBuilder.AddUnicodeUnit(static_cast<char16_t>(unit), g.chars);
    else
      Letter(QChar(0xFFFD));
    fFallbackLeft = g.unicodeSkip;
  } else if (word == "par" || word == "sect" || word == "page" || word == "row") {
    fBuilder.EndParagraph(g.paragraph);
  } else if (word == "line") {
    Letter(QChar(0x2028));
  } else if (word == "tab" || word == "cell") {
    Letter(QChar(u'\t'));
  } else {
    static constexpr std::pair<const char*, char16_t> kSpecials[] = {
        {"emdash", 0x2014},  {"endash", 0x2013},    {"bullet", 0x2022},    {"lquote", 0x2018},
        {"rquote", 0x2019},  {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"emspace", 0x2003},
        {"enspace", 0x2002}, {"qmspace", 0x2005},   {"zwj", 0x200D},       {"zwnj", 0x200C}};
    for (const auto& [name, letter] : kSpecials)
      if (word == name) Letter(QChar(letter));
  }
  return true; // every other word changes nothing we show
}

void Reader::ParagraphWord(QByteArrayView word, const RtfToken& token, bool& handled) {
  RtfParagraphStyle& s = Top().paragraph;
  const int32_t p = token.parameter;
  handled = true;
  if (word == "pard")
    s = RtfParagraphStyle{};
  else if (word == "ql")
    s.alignment = RtfAlignment::Left;
  else if (word == "qc")
    s.alignment = RtfAlignment::Center;
  else if (word == "qr")
    s.alignment = RtfAlignment::Right;
  else if (word == "qj")
    s.alignment = RtfAlignment::Justify;
  else if (word == "li")
    s.leftIndentTwips = ClampTwips(p, -kMaxIndentTwips);
  else if (word == "ri")
    s.rightIndentTwips = ClampTwips(p, -kMaxIndentTwips);
  else if (word == "fi")
    s.firstLineIndentTwips = ClampTwips(p, -kMaxIndentTwips);
  else if (word == "sb")
    s.spaceBeforeTwips = ClampTwips(p, 0);
  else if (word == "sa")
    s.spaceAfterTwips = ClampTwips(p, 0);
  else if (word == "tx") {
    if (static_cast<int>(s.tabStopsTwips.size()) < kMaxTabStops)
      s.tabStopsTwips.push_back(ClampTwips(p, 0));
  } else
    handled = false;
}

void Reader::CharacterWord(QByteArrayView word, const RtfToken& token, bool& handled) {
  RtfCharStyle& s = Top().chars;
  const bool on = !token.hasParameter || token.parameter != 0;
  handled = true;
  if (word == "plain")
    s = RtfCharStyle{};
  else if (word == "b")
    s.bold = on;
  else if (word == "i")
    s.italic = on;
  else if (word == "ul")
    s.underline = on;
  else if (word == "ulnone")
    s.underline = false;
  else if (word == "strike")
    s.strike = on;
  else if (word == "super")
    s.position = RtfVerticalPosition::Superscript;
  else if (word == "sub")
    s.position = RtfVerticalPosition::Subscript;
  else if (word == "nosupersub")
    s.position = RtfVerticalPosition::Normal;
  else if (word == "fs")
    s.fontSizeHalfPoints =
        token.parameter > 0 ? std::min<int32_t>(token.parameter, kMaxFontSizeHalfPoints) : 0;
  else
    handled = false;
}

bool Reader::ControlSymbol(char symbol) {
  GroupState& g = Top();
  if (symbol == '*') {
    g.ignorable = true;
    return true;
  }
  g.ignorable = false;
  if (g.destination != Destination::Text || SkippingFallback()) return true;
  switch (symbol) {
  case '\\':
  case '{':
  case '}':
    Letter(QChar::fromLatin1(symbol));
    break;
  case '~':
    Letter(QChar(0x00A0));
    break;
  case '-':
    Letter(QChar(0x00AD));
    break;
  case '_':
    Letter(QChar(0x2011));
    break;
  case '\r':
  case '\n':
    fBuilder.EndParagraph(g.paragraph);
    break;
  case '\t':
    Letter(QChar(u'\t'));
    break;
  default:
    break; // index marks and the like show nothing
  }
  return true;
}

bool Reader::PictureWord(QByteArrayView word, const RtfToken& token) {
  if (word == "dibitmap")
    fPicture->SetFormat(RtfPictureFormat::Dib);
  else if (word == "pngblip")
    fPicture->SetFormat(RtfPictureFormat::Png);
  else if (word == "jpegblip")
    fPicture->SetFormat(RtfPictureFormat::Jpeg);
  else if (word == "wbitmap" || word == "wmetafile" || word == "emfblip" || word == "macpict" ||
           word == "pmmetafile")
    fPicture->SetFormat(RtfPictureFormat::Other);
  else
    fPicture->SetProperty(word, token.parameter);
  return true;
}

bool Reader::Text(QByteArrayView run) {
  GroupState& g = Top();
  if (g.ignorable) { // "{\*" followed by text is no destination we know
    g.ignorable = false;
    g.destination = Destination::Skip;
  }
  switch (g.destination) {
  case Destination::Skip:
    return true;
  case Destination::Picture:
    if (!fPicture->AddHexText(run)) return Fail("picture data that is not hexadecimal");
    return true;
  case Destination::Text:
    break;
  }
  for (const char c : run) {
    const auto byte = static_cast<uint8_t>(c);
    if (byte == '\r' || byte == '\n') continue; // line breaks of the file are not text
    if (SkippingFallback()) continue;
    if (byte == '\t')
      Letter(QChar(u'\t'));
    else if (byte >= 0x20)
      Letter(Cp1252ToUnicode(byte));
  }
  return true;
}

void Reader::Letter(QChar c) {
  fBuilder.AddText(c, Top().chars);
}

bool Reader::SkippingFallback() {
  if (fFallbackLeft <= 0) return false;
  --fFallbackLeft;
  return true;
}

} // namespace

bool ReadRtf(QByteArrayView data, RtfContent& content, QString* why) {
  Reader reader(data);
  QString reason;
  const bool ok = reader.Run(content, reason);
  if (why) *why = reason;
  return ok;
}

} // namespace kavelo::richtext
