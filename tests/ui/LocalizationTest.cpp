// The stored language choice in the platform's settings store.

#include "ui/Localization.h"

#include <gmock/gmock.h>

#include <QSettings>
#include <QTemporaryDir>

namespace kavelo::ui {
namespace {

class SettingsStore : public ::testing::Test {
protected:
  SettingsStore() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, fDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, fDir.path());
  }
  QTemporaryDir fDir;
};

TEST_F(SettingsStore, WritesTheBaseReadsItBackAndTreatsUnreadableAsNone) {
  auto store = CreateSettingsLanguageStore();
  EXPECT_FALSE(store->Read().has_value());
  store->Write(5000);
  EXPECT_EQ(store->Read(), 5000);
  EXPECT_EQ(StartupLanguage(*store, QLocale::German), 5000);
  {
    QSettings settings(QStringLiteral("Orvo_Kavelo"));
    settings.setValue(QStringLiteral("Language"), QStringLiteral("not a number"));
  }
  EXPECT_FALSE(store->Read().has_value());
  EXPECT_EQ(StartupLanguage(*store, QLocale::Czech), 6000);
}

TEST(SystemLanguage, MapsTheSevenLanguagesAndEverythingElseToEnglish) {
  EXPECT_EQ(SystemLanguageBase(QLocale::Czech), 6000);
  EXPECT_EQ(SystemLanguageBase(QLocale::German), 1000);
  EXPECT_EQ(SystemLanguageBase(QLocale::Spanish), 4000);
  EXPECT_EQ(SystemLanguageBase(QLocale::French), 3000);
  EXPECT_EQ(SystemLanguageBase(QLocale::Italian), 5000);
  EXPECT_EQ(SystemLanguageBase(QLocale::Dutch), 7000);
  EXPECT_EQ(SystemLanguageBase(QLocale::English), 2000);
  EXPECT_EQ(SystemLanguageBase(QLocale::Portuguese), 2000);
  EXPECT_EQ(SystemLanguageBase(QLocale::Japanese), 2000);
}

} // namespace
} // namespace kavelo::ui
