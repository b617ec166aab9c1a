#pragma once
// A waiter on virtual time: waits and delays advance the clock at once, scheduled deliveries run
// when their time comes, and message boxes are answered from a script.

#include "handheld/Waiting.h"

#include <deque>
#include <functional>
#include <map>
#include <vector>

namespace kavelo::test {

class TVirtualClock : public IWaiter {
public:
  struct TBox {
    QString Text;
    QString Caption;
    uint32_t Flags;
  };

  bool WaitUntil(uint32_t TimeoutMs, const std::function<bool()>& Condition) override {
    const uint64_t start = fNow;
    for (;;) {
      Advance(kWaitStepMs);
      if (Condition()) return true;
      if (fNow - start >= TimeoutMs) return false;
    }
  }
  void Delay(uint32_t Milliseconds) override {
    const uint64_t end = fNow + std::max<uint32_t>(Milliseconds, kWaitStepMs);
    while (fNow < end) Advance(std::min<uint64_t>(kWaitStepMs, end - fNow));
  }
  int ShowMessageBox(const QString& Text, const QString& Caption, uint32_t Flags) override {
    fBoxes.push_back({Text, Caption, Flags});
    if (fAnswers.empty()) return (Flags & 0x0F) == 0x04 ? IDYES : IDOK;
    const int answer = fAnswers.front();
    fAnswers.pop_front();
    return answer;
  }
  uint64_t NowMs() override { return fNow; }

  // Runs fn when the clock reaches now + delayMs (during a later wait or delay).
  void Schedule(uint64_t delayMs, std::function<void()> fn) {
    fScheduled.emplace(fNow + delayMs, std::move(fn));
  }
  void Advance(uint64_t ms) {
    const uint64_t target = fNow + ms;
    while (!fScheduled.empty() && fScheduled.begin()->first <= target) {
      auto node = fScheduled.extract(fScheduled.begin());
      fNow = std::max(fNow, node.key());
      node.mapped()();
    }
    fNow = target;
  }
  void AnswerNextBoxes(std::initializer_list<int> answers) {
    fAnswers.insert(fAnswers.end(), answers.begin(), answers.end());
  }
  const std::vector<TBox>& Boxes() const { return fBoxes; }

private:
  uint64_t fNow = 0;
  std::multimap<uint64_t, std::function<void()>> fScheduled;
  std::deque<int> fAnswers;
  std::vector<TBox> fBoxes;
};

// Installs a virtual clock for the lifetime of a test.
class TScopedVirtualClock {
public:
  TScopedVirtualClock() : fClock(std::make_shared<TVirtualClock>()), fPrevious(SetWaiter(fClock)) {}
  ~TScopedVirtualClock() { SetWaiter(fPrevious); }
  TScopedVirtualClock(const TScopedVirtualClock&) = delete;
  TScopedVirtualClock& operator=(const TScopedVirtualClock&) = delete;
  TVirtualClock& operator*() { return *fClock; }
  TVirtualClock* operator->() { return fClock.get(); }

private:
  std::shared_ptr<TVirtualClock> fClock;
  std::shared_ptr<IWaiter> fPrevious;
};

} // namespace kavelo::test
