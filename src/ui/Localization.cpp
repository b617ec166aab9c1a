#include "ui/Localization.h"

#include <QSettings>

namespace kavelo::ui {

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

namespace {

// On Windows the value lives directly under HKEY_CURRENT_USER\SOFTWARE\Orvo_Kavelo (an
// organisation-only QSettings would add a subkey); elsewhere in the platform's native store.
std::unique_ptr<QSettings> OpenSettings() {
#ifdef Q_OS_WIN
  return std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\Orvo_Kavelo"),
                                     QSettings::NativeFormat);
#else
  return std::make_unique<QSettings>(QStringLiteral("Orvo_Kavelo"));
#endif
}

class TSettingsLanguageStore final : public ILanguageStore {
public:
  std::optional<int> Read() override {
    const auto settings = OpenSettings();
    const QVariant value = settings->value(QStringLiteral("Language"));
    if (!value.isValid()) return std::nullopt;
    bool ok = false;
    const int base = value.toInt(&ok);
    if (!ok) return std::nullopt;
    return base;
  }
  void Write(int base) override {
    const auto settings = OpenSettings();
    settings->setValue(QStringLiteral("Language"), base);
    settings->sync();
  }
};
} // namespace

std::unique_ptr<ILanguageStore> CreateSettingsLanguageStore() {
  return std::make_unique<TSettingsLanguageStore>();
}

int StartupLanguage(ILanguageStore& store, QLocale::Language systemLanguage) {
  int base = store.Read().value_or(0);
  if (base == 0) base = SystemLanguageBase(systemLanguage);
  return IsLanguageBase(base) ? base : kEnglishBase;
}

} // namespace kavelo::ui
