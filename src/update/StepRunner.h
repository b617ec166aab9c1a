#pragma once
// Between two steps of an update: log the result, stop after a failure with a box, ask in
// single-step mode, or announce the next step.

#include "update/UpdateView.h"

#include <QString>

#include <functional>

namespace kavelo {

// "Erasing flash memory": a verb message, a blank and an object message.
QString StepText(int verb, int object);
// The caption of every box of the update workflows: "Info about Firmware Update".
QString UpdateBoxCaption();

class TStepRunner {
public:
  TStepRunner(IUpdateView& view, TFirmwareRow stepModeRow) : fView(view), fRow(stepModeRow) {}

  void EnableButtons(bool enabled);
  void LogStep(const QString& text);
  bool ContinueWith(const QString& previous, bool succeeded, const QString& next);
  // The line of the last step (restart or switch-off), which has no result.
  void FinishLastStep(const QString& text);
  // Whether ContinueWith was told of a failed step: a sequence that ends early either failed or
  // was stopped in single-step mode.
  bool Failed() const { return fFailed; }

  // One step: runs operation with an emptied error text, logs its result, does what the step
  // does besides (which may end the sequence by returning false), composes the next text and
  // asks ContinueWith. False: the sequence ends now.
  bool Step(const QString& text, const std::function<bool(QString& err)>& operation,
            const std::function<QString()>& nextText,
            const std::function<bool(bool succeeded)>& besides = {});

private:
  IUpdateView& fView;
  TFirmwareRow fRow;
  bool fFailed = false;
};

} // namespace kavelo
