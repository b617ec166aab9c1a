#pragma once
// The tests' application catches what an event handler throws, as the program's own does, and
// counts it, so that a test can show that a throwing delivery is survived.

#include <QCoreApplication>

#include <atomic>

namespace kavelo::test {

std::atomic<int>& CaughtExceptionCount();

class TTestApplication : public QCoreApplication {
public:
  using QCoreApplication::QCoreApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QCoreApplication::notify(receiver, event);
    } catch (...) {
      ++CaughtExceptionCount();
    }
    return false;
  }
};

// The exceptions caught since this object was made.
class TCaughtExceptions {
public:
  int Count() const { return CaughtExceptionCount() - fStart; }

private:
  int fStart = CaughtExceptionCount();
};

} // namespace kavelo::test
