#include "handheld/Waiting.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <mutex>

namespace kavelo {

namespace {

std::mutex gWaiterMutex;
std::shared_ptr<IWaiter> gWaiter;

IWaiter& DefaultWaiter() {
  static TEventLoopWaiter waiter;
  return waiter;
}

// Blocks in the event loop until an event arrives or the step timer fires, then runs what is
// pending. The timer guarantees a wake-up at least every step.
void RunEventsOnce(QTimer& tick) {
  if (!tick.isActive()) tick.start();
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

} // namespace

bool TEventLoopWaiter::WaitUntil(uint32_t TimeoutMs, const std::function<bool()>& Condition) {
  QElapsedTimer clock;
  clock.start();
  QTimer tick;
  tick.setInterval(static_cast<int>(kWaitStepMs));
  tick.setTimerType(Qt::PreciseTimer);
  for (;;) {
    RunEventsOnce(tick);
    if (Condition()) return true;
    if (static_cast<uint64_t>(clock.elapsed()) >= TimeoutMs) return false;
  }
}

void TEventLoopWaiter::Delay(uint32_t Milliseconds) {
  QElapsedTimer clock;
  clock.start();
  QTimer tick;
  tick.setInterval(static_cast<int>(kWaitStepMs));
  tick.setTimerType(Qt::PreciseTimer);
  const uint64_t total = std::max<uint32_t>(Milliseconds, kWaitStepMs);
  do {
    const uint64_t left = total - std::min<uint64_t>(total, clock.elapsed());
    tick.setInterval(static_cast<int>(std::min<uint64_t>(left, kWaitStepMs)));
    RunEventsOnce(tick);
  } while (static_cast<uint64_t>(clock.elapsed()) < total);
}

int TEventLoopWaiter::ShowMessageBox(const QString& Text, const QString& Caption, uint32_t Flags) {
  std::fprintf(stderr, "%s: %s\n", Caption.toLocal8Bit().constData(),
               Text.toLocal8Bit().constData());
  return (Flags & 0x0F) == 0x04 ? IDNO : IDOK;
}

uint64_t TEventLoopWaiter::NowMs() {
  static QElapsedTimer clock = [] {
    QElapsedTimer c;
    c.start();
    return c;
  }();
  return static_cast<uint64_t>(clock.elapsed());
}

IWaiter& Waiter() {
  std::lock_guard lock(gWaiterMutex);
  return gWaiter ? *gWaiter : DefaultWaiter();
}

std::shared_ptr<IWaiter> SetWaiter(std::shared_ptr<IWaiter> waiter) {
  std::lock_guard lock(gWaiterMutex);
  std::swap(gWaiter, waiter);
  return waiter;
}

bool WaitUntil(uint32_t TimeoutMs, const std::function<bool()>& Condition) {
  return Waiter().WaitUntil(TimeoutMs, Condition);
}

void Delay(uint32_t Milliseconds) { Waiter().Delay(Milliseconds); }

int ShowMessageBox(const QString& Text, const QString& Caption, uint32_t Flags) {
  return Waiter().ShowMessageBox(Text, Caption, Flags);
}

} // namespace kavelo
