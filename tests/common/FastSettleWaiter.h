#pragma once
// The real event-loop waits, but delays only run the pending events instead of sleeping: for
// tests over real UDP whose subject is not the fixed settle time of an erase.

#include "handheld/Waiting.h"

#include <QCoreApplication>

namespace kavelo::test {

class TFastSettleWaiter : public TEventLoopWaiter {
public:
  void Delay(uint32_t Milliseconds) override {
    SkippedMs += Milliseconds;
    QCoreApplication::processEvents();
  }
  uint64_t SkippedMs = 0;
};

class TScopedWaiter {
public:
  explicit TScopedWaiter(std::shared_ptr<IWaiter> waiter) : fPrevious(SetWaiter(std::move(waiter))) {}
  ~TScopedWaiter() { SetWaiter(fPrevious); }
  TScopedWaiter(const TScopedWaiter&) = delete;
  TScopedWaiter& operator=(const TScopedWaiter&) = delete;

private:
  std::shared_ptr<IWaiter> fPrevious;
};

} // namespace kavelo::test
