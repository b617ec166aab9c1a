// The viewer as the guidance dialog drives it: load a stream (RTF, else plain text), put the
// selection at the start, insert a picture fragment there; and the input inserted as an RTF
// fragment into a document that already has text, at a selection the input chooses. Runs on
// a QApplication with the offscreen platform.
//
// Input: byte 0 chooses the selection for the fragment insertion, the rest is the stream.

#include "richtext/RichEdit.h"
#include "richtext/RtfReader.h"
#include "support/FuzzCheck.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QTextDocument>

namespace {

// A 1 x 1 24-bit picture in the form the guidance dialog inserts its bitmap.
constexpr char kPictureFragment[] =
    "{\\rtf1 {\\pict\\dibitmap "
    "28000000010000000100000001001800000000000400000000000000000000000000000000000000"
    "0000FF00 }}";

void Layout(kavelo::richtext::TRichEdit& edit) {
  // Lays the document out, as showing it would.
  (void)edit.document()->documentLayout()->documentSize();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "fuzz_rich_edit";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  (void)app;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kavelo::richtext;
  if (size == 0) return 0;
  const uint8_t selection = data[0];
  QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));

  RtfContent content;
  const bool isRtf = ReadRtf(bytes, content);
  const bool isText = !bytes.contains('\0');
  {
    TRichEdit edit;
    edit.resize(650, 530);
    QBuffer stream(&bytes);
    stream.open(QIODevice::ReadOnly);
    const bool loaded = edit.LoadStream(stream);
    FUZZ_CHECK(loaded == (isRtf || isText), "LoadStream gave %d for rtf %d text %d", loaded, isRtf,
               isText);
    if (!loaded) {
      FUZZ_CHECK(edit.LastError() == QString::fromLatin1(kStreamLoadError), "wrong load error");
      FUZZ_CHECK(edit.document()->isEmpty(), "a failed load changed the document");
    }
    edit.SetSelection(0, 0);
    FUZZ_CHECK(edit.textCursor().position() == 0, "selection not at the start");
    FUZZ_CHECK(edit.InsertRtf(kPictureFragment), "the picture fragment was refused");
    Layout(edit);
  }
  {
    TRichEdit edit;
    edit.resize(650, 530);
    FUZZ_CHECK(edit.InsertRtf("{\\rtf1 Before\\par {\\b bold} text\\par after}"),
               "the base document was refused");
    const int end = edit.document()->characterCount();
    const int a = selection % (end + 2) - 1; // also below and beyond the document
    const int b = (selection * 7) % (end + 2) - 1;
    edit.SetSelection(a, b);
    const QString before = edit.toPlainText();
    const bool inserted = edit.InsertRtf(bytes);
    FUZZ_CHECK(inserted == isRtf, "fragment insertion gave %d, the reader %d", inserted, isRtf);
    if (!inserted) FUZZ_CHECK(edit.toPlainText() == before, "a refused fragment changed the text");
    Layout(edit);
  }
  return 0;
}
