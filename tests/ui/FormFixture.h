#pragma once
// A main window on a virtual clock with a scripted handheld behind the link seam, a posed
// adapter list and a language store in memory.

#include "common/FakePlatform.h"
#include "common/ScriptedKaveloLink.h"
#include "common/VirtualClock.h"
#include "handheld/FlashResponder.h"
#include "net/Helpers.h"
#include "ui/MainForm.h"

#include <gmock/gmock.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

namespace kavelo::test {

class TMemoryLanguageStore : public ui::ILanguageStore {
public:
  std::optional<int> Stored;
  std::vector<int> Written;
  std::optional<int> Read() override { return Stored; }
  void Write(int base) override { Written.push_back(base); }
};

class FormTest : public ::testing::Test {
protected:
  FormTest() {
    fPlatform->Adapters = {{"eth0", "192.168.0.5", "255.255.255.0"}};
    fPlatform->Arp = std::vector<TArpRow>{};
    fStore->Stored = 2000;
  }
  ~FormTest() override {
    fForm.reset();
    SetLanguageBase(2000);
  }
  ui::TMainForm& Make(QLocale::Language system = QLocale::English) {
    ui::TMainFormEnvironment env;
    env.LanguageStore = fStore;
    env.SystemLanguage = system;
    env.LinkFactory = fDevice->Factory();
    fForm = std::make_unique<ui::TMainForm>(env);
    return *fForm;
  }
  QStringList Log() const {
    const QString text = fForm->MemoLog->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(u'\n');
  }
  void AnswerWithFlash() {
    fDevice->Responder = [this](const TBytes& f) { return fFlash(f); };
  }
  void ConnectTo(const QString& address = QStringLiteral("192.168.0.9")) {
    fForm->LabeledEditIPAddress->setText(address);
    fForm->BitBtnConnectClick();
    ASSERT_TRUE(fForm->Kavelo().Connected());
  }

  std::shared_ptr<TFakePlatform> fPlatform = std::make_shared<TFakePlatform>();
  TScopedPlatform fPlatformScope{fPlatform};
  TScopedVirtualClock fClock;
  std::shared_ptr<TScriptedDevice> fDevice = MakeScriptedDevice(&*fClock);
  TFlashResponder fFlash;
  std::shared_ptr<TMemoryLanguageStore> fStore = std::make_shared<TMemoryLanguageStore>();
  std::unique_ptr<ui::TMainForm> fForm;
};

} // namespace kavelo::test
