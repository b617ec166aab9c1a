#pragma once
// The waits of the event loop with real message boxes, and the application's error report.

#include "handheld/Waiting.h"

namespace kavelo::ui {

class TWidgetWaiter : public TEventLoopWaiter {
public:
  int ShowMessageBox(const QString& Text, const QString& Caption, uint32_t Flags) override;
};

// Socket and file errors that reach the application: one box, never a crash.
void ReportError(const QString& text);

} // namespace kavelo::ui
