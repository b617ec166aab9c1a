#pragma once
// Splits an RTF byte stream into group braces, control words and symbols, hexadecimal
// letters and runs of plain text. The lexer never looks past the end of its input.

#include <QByteArrayView>
#include <cstdint>

namespace kavelo::richtext {

enum class RtfTokenKind {
  End,           // input exhausted
  Error,         // malformed: a truncated \'hh, a lone backslash, an over-long word or number
  GroupOpen,     // {
  GroupClose,    // }
  ControlWord,   // \word or \wordN
  ControlSymbol, // \ followed by one character that is not a letter
  HexLetter,     // \'hh
  Text,          // a run of bytes without \ { }
};

struct RtfToken {
  RtfTokenKind kind = RtfTokenKind::End;
  QByteArrayView word; // ControlWord: the letters; Text: the run
  bool hasParameter = false;
  int32_t parameter = 0; // ControlWord parameter; ControlSymbol character; HexLetter byte
};

class RtfLexer {
public:
  explicit RtfLexer(QByteArrayView input) : fInput(input) {}

  RtfToken Next();
  // The raw bytes of a \binN block; false when fewer than count bytes are left.
  bool ReadBinary(int64_t count, QByteArrayView& data);
  qsizetype Position() const { return fPos; }
  bool AtEnd() const { return fPos >= fInput.size(); }
  QByteArrayView Rest() const { return fInput.sliced(fPos); }

private:
  RtfToken ReadControl();

  QByteArrayView fInput;
  qsizetype fPos = 0;
};

} // namespace kavelo::richtext
