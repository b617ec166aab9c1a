#pragma once
// The application-wide waits and the message box. Everything that waits goes through one
// installed waiter: the real one keeps the event loop running, tests install a virtual clock
// that advances time instantly and answers message boxes from a script.

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace kavelo {

inline constexpr uint32_t kWaitStepMs = 10;
inline constexpr uint32_t MB_ICONERROR_OK = 0x10;
inline constexpr uint32_t MB_ICONINFORMATION_OK = 0x40;
inline constexpr uint32_t MB_ICONINFORMATION_YESNO = 0x44;
inline constexpr int IDOK = 1;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

class IWaiter {
public:
  virtual ~IWaiter() = default;
  // Returns the last value of Condition; true as soon as it holds, false after TimeoutMs.
  virtual bool WaitUntil(uint32_t TimeoutMs, const std::function<bool()>& Condition) = 0;
  // Waits the full time while the user interface stays responsive.
  virtual void Delay(uint32_t Milliseconds) = 0;
  // A modal box; returns the code of the button pressed (IDOK, IDYES, IDNO).
  virtual int ShowMessageBox(const QString& Text, const QString& Caption, uint32_t Flags) = 0;
  // Milliseconds on this waiter's clock.
  virtual uint64_t NowMs() = 0;
};

// Waits on the Qt event loop of the calling thread. A hand-over of a received datagram is an
// event, so a wait wakes as soon as a frame was delivered, and at least every 10 ms otherwise.
// Without widgets its message box only writes the text to the error output and answers No.
class TEventLoopWaiter : public IWaiter {
public:
  bool WaitUntil(uint32_t TimeoutMs, const std::function<bool()>& Condition) override;
  void Delay(uint32_t Milliseconds) override;
  int ShowMessageBox(const QString& Text, const QString& Caption, uint32_t Flags) override;
  uint64_t NowMs() override;
};

IWaiter& Waiter();
// Installs a waiter (nullptr restores the event-loop waiter); returns the previous one.
std::shared_ptr<IWaiter> SetWaiter(std::shared_ptr<IWaiter> waiter);

bool WaitUntil(uint32_t TimeoutMs, const std::function<bool()>& Condition);
void Delay(uint32_t Milliseconds);
int ShowMessageBox(const QString& Text, const QString& Caption, uint32_t Flags);

} // namespace kavelo
