#pragma once
// The seven languages, the start-up choice and the stored choice.

#include <QLocale>
#include <QString>

#include <array>
#include <memory>
#include <optional>

namespace kavelo::ui {

struct TLanguageInfo {
  int Base;
  const char* MenuName;  // the menu item's name
  const char* MenuText;  // the language's own name, never translated
  QLocale::Language SystemLanguage;
  const char* QtName;    // the suffix of Qt's own translation files (qtbase_de.qm ...)
};

inline constexpr int kEnglishBase = 2000;

inline constexpr std::array<TLanguageInfo, 7> kLanguages{{
    {1000, "MenuDeutsch", "&Deutsch", QLocale::German, "de"},
    {2000, "MenuEnglish", "&English", QLocale::English, "en"},
    {3000, "MenuFrancais", "&Francais", QLocale::French, "fr"},
    {4000, "MenuEspanol", "E&spanol", QLocale::Spanish, "es"},
    {5000, "MenuItaliano", "&Italiano", QLocale::Italian, "it"},
    {6000, "MenuCestina", "&Cestina", QLocale::Czech, "cs"},
    {7000, "MenuNederlands", "&Nederlands", QLocale::Dutch, "nl"},
}};

bool IsLanguageBase(int base);
// The default for a system language; English for every language not offered.
int SystemLanguageBase(QLocale::Language language);

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
