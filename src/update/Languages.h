#pragma once
// The seven languages of the message table: their bases, codes and system languages. The window's
// Language menu and the command line's --language both choose among them.

#include <QLocale>
#include <QString>
#include <array>

namespace kavelo {

struct TLanguageInfo {
  int Base;
  const char* MenuName; // the menu item's name
  const char* MenuText; // the language's own name, never translated
  QLocale::Language SystemLanguage;
  const char* Code; // ISO 639-1, as the command line takes it; also names Qt's qtbase_<code>.qm
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
// The base of a language code ("de" ... "nl", any case); 0 for a code not offered.
int LanguageBaseOfCode(const QString& code);

} // namespace kavelo
