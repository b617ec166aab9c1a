#pragma once
// The real window, connected over real UDP on loopback to the in-process simulated handheld.
// Waits are real, except that settle delays are skipped; message boxes are recorded and answered
// from a script.

#include "KaveloSimulator.h"
#include "common/LoopbackSimulator.h"
#include "common/FakePlatform.h"
#include "common/FastSettleWaiter.h"
#include "common/LoopbackPair.h"
#include "common/VirtualClock.h"
#include "ui/FormFixture.h"
#include "update/Images.h"

#include <deque>

namespace kavelo::test {

class TBoxWaiter : public TFastSettleWaiter {
public:
  bool WaitUntil(uint32_t TimeoutMs, const std::function<bool()>& Condition) override {
    if (OnWait) OnWait();
    return TFastSettleWaiter::WaitUntil(TimeoutMs, Condition);
  }
  std::function<void()> OnWait;
  int ShowMessageBox(const QString& Text, const QString& Caption, uint32_t Flags) override {
    Boxes.push_back({Text, Caption, Flags});
    if (OnBox) OnBox(Text);
    if (Answers.empty()) return (Flags & 0x0F) == 0x04 ? IDYES : IDOK;
    const int answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  std::vector<TVirtualClock::TBox> Boxes;
  std::deque<int> Answers;
  std::function<void(const QString&)> OnBox;
};

// The window with a hook on its status line, which shows each step before it runs.
class THookedForm : public ui::TMainForm {
public:
  using TMainForm::TMainForm;
  void SetStatusText(const QString& text) override {
    if (OnStatus) OnStatus(text);
    TMainForm::SetStatusText(text);
  }
  std::function<void(const QString&)> OnStatus;
};

inline TBytes ImageBytes(const char* name) {
  auto stream = OpenImage(name);
  const QByteArray bytes = stream ? stream->readAll() : QByteArray();
  return TBytes(bytes.begin(), bytes.end());
}

class SimFormTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string error;
    fSim = StartLoopbackSimulator(fPrefix + ".2", &error);
    ASSERT_TRUE(fSim) << error;
    ui::TMainFormEnvironment env;
    env.LanguageStore = std::make_shared<TMemoryLanguageStore>();
    env.SystemLanguage = QLocale::English;
    env.OpenFile = [this](QWidget*) { return fFileToOpen; };
    fForm = std::make_unique<THookedForm>(env);
    fForm->LabeledEditIPAddress->setText(QString::fromStdString(fPrefix + ".2"));
    fForm->BitBtnConnectClick();
    ASSERT_TRUE(fForm->Kavelo().Connected());
    fForm->MemoLog->clear();
  }
  void TearDown() override {
    fForm.reset();
    SetLanguageBase(2000);
  }
  QStringList Log() const {
    const QString text = fForm->MemoLog->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(u'\n');
  }
  // The frames the simulator received, in order.
  std::vector<TBytes> Received() const {
    std::vector<TBytes> frames;
    for (const auto& e : fSim->Log())
      if (e.kind == kavelosim::LogEntry::Kind::Received) frames.push_back(e.bytes);
    return frames;
  }
  // The last frames of a sequence (restart, power-off) are not awaited by the tool; give the
  // simulator the moment it needs to take them.
  bool AwaitReceived(const TBytes& frame, int count = 1) const {
    return fSim->WaitFor(
        [&](const kavelosim::KaveloDevice& d) {
          int seen = 0;
          for (const auto& e : d.Log()) seen += e.kind == kavelosim::LogEntry::Kind::Received && e.bytes == frame;
          return seen >= count;
        },
        std::chrono::milliseconds(2000));
  }
  // The frames received without the tool's answers to announcements.
  std::vector<TBytes> ReceivedCommands() const {
    std::vector<TBytes> frames;
    for (const auto& f : Received())
      if (f != TBytes{0x05, 0x00, 0x10, 0x00, 0x12}) frames.push_back(f);
    return frames;
  }
  std::vector<uint32_t> EraseAddresses() const {
    std::vector<uint32_t> out;
    for (const auto& f : Received())
      if (f.size() >= 9 && f[2] == 0xB0 && f[4] == 0xE1) out.push_back(ReadLE32(f.data() + 5));
    return out;
  }
  bool ButtonsEnabled() const {
    return fForm->BitBtnUpdateHM->isEnabled() && fForm->BitBtnUpdateRM->isEnabled() &&
           fForm->BitBtnDisconnect->isEnabled() && fForm->BitBtnClose->isEnabled();
  }

  const std::string fPrefix = LoopbackPrefixForCurrentTest();
  TScopedPlatform fPlatformScope{LoopbackPairPlatform(fPrefix)};
  std::shared_ptr<TBoxWaiter> fWaiter = std::make_shared<TBoxWaiter>();
  TScopedWaiter fWaiterScope{fWaiter};
  std::unique_ptr<kavelosim::KaveloSimulator> fSim;
  std::unique_ptr<THookedForm> fForm;
  QString fFileToOpen;
};

} // namespace kavelo::test
