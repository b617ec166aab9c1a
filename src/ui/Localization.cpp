#include "ui/Localization.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QSettings>
#include <QTranslator>

namespace kavelo::ui {

namespace {

std::unique_ptr<QTranslator>& InstalledQtTranslator() {
  static std::unique_ptr<QTranslator> translator;
  return translator;
}

} // namespace

bool UseQtTranslations(int base) {
  auto& installed = InstalledQtTranslator();
  if (installed) {
    QCoreApplication::removeTranslator(installed.get());
    installed.reset();
  }
  const char* name = "en";
  for (const auto& l : kLanguages)
    if (l.Base == base) name = l.Code;
  if (QLatin1StringView(name) == QLatin1StringView("en")) return true;
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(QStringLiteral("qtbase_") + QLatin1StringView(name),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return false;
  QCoreApplication::installTranslator(translator.get());
  installed = std::move(translator);
  return true;
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
