#include "update/Languages.h"

namespace kavelo {

bool IsLanguageBase(int base) {
  for (const auto& l : kLanguages)
    if (l.Base == base) return true;
  return false;
}

int SystemLanguageBase(QLocale::Language language) {
  for (const auto& l : kLanguages)
    if (l.SystemLanguage == language) return l.Base;
  return kEnglishBase;
}

int LanguageBaseOfCode(const QString& code) {
  for (const auto& l : kLanguages)
    if (code.compare(QLatin1String(l.Code), Qt::CaseInsensitive) == 0) return l.Base;
  return 0;
}

} // namespace kavelo
