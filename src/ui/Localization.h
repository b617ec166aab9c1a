#pragma once
// The start-up choice of the language and the stored choice.

#include "update/Languages.h"

#include <QLocale>
#include <QString>

#include <memory>
#include <optional>

namespace kavelo::ui {

// The table lives with the update layer, which the command line shares.
using kavelo::IsLanguageBase;
using kavelo::kEnglishBase;
using kavelo::kLanguages;
using kavelo::SystemLanguageBase;
using kavelo::TLanguageInfo;

// Qt's own texts (the Yes, No and OK of every message box, the file dialog) follow the
// language: Qt's translations of that language are installed, those of the previous one
// removed; English needs none. False when the language's translations cannot be loaded (the
// boxes then speak English).
bool UseQtTranslations(int base);

// The per-user store of the language choice.
class ILanguageStore {
public:
  virtual ~ILanguageStore() = default;
  // The stored value; nothing when there is none or it cannot be read as an integer.
  virtual std::optional<int> Read() = 0;
  // Writes the value; a store that cannot be written passes over it silently.
  virtual void Write(int base) = 0;
};

// QSettings with organisation "Orvo_Kavelo" and key "Language" (on Windows the registry value
// HKEY_CURRENT_USER\SOFTWARE\Orvo_Kavelo\Language).
std::unique_ptr<ILanguageStore> CreateSettingsLanguageStore();

// The stored choice if there is one (a stored 0 counts as none), else the system's default;
// a value that is no language base gives English.
int StartupLanguage(ILanguageStore& store, QLocale::Language systemLanguage);

} // namespace kavelo::ui
