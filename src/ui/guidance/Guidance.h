#pragma once
// Opening the guidance: what the main window's Guidance button and Help menu item do.

#include "ui/guidance/Bitmap.h"
#include "ui/guidance/InfoDialog.h"

#include <QIODevice>
#include <QString>
#include <QWidget>
#include <functional>

namespace kavelo::ui {

// The guidance document of a language base (1000 German ... 7000 Dutch), English for any
// other value: its resource name ("Kavelo_Info_Cestina") and its path in the resources.
QString GuidanceDocumentName(int languageBase);
QString GuidanceDocumentPath(int languageBase);
inline constexpr char kGuidancePictureName[] = "Kavelo_Info_Image";
QString GuidancePicturePath();

// Opens a new guidance dialog: caption message 179 in the current language, the document
// chosen by languageBase, the picture above it; then shows it modeless and top-most, centred
// on mainWindow (on the screen without one), and returns at once. The dialog belongs to
// mainWindow and deletes itself when closed. Returns nullptr, after reporting the error,
// when the document or the picture cannot be loaded; no dialog appears then.
TInfoDialog* OpenGuidanceDialog(QWidget* mainWindow, int languageBase);

// The main window's MenuGuidanceClick and BitBtnGuidanceClick: the guidance in the current
// language, LanguageBase().
TInfoDialog* ShowGuidance(QWidget* mainWindow);

// The same opening with a document and a picture of the caller's.
TInfoDialog* OpenInfoDialog(QWidget* mainWindow, QIODevice& document, const TBitmap& picture);

// How an opening failure reaches the user: a message box unless replaced (tests replace it).
// Returns the previous report; an empty function restores the message box.
using TGuidanceErrorReport = std::function<void(QWidget* mainWindow, const QString& text)>;
TGuidanceErrorReport SetGuidanceErrorReport(TGuidanceErrorReport report);

} // namespace kavelo::ui
