#include "update/StepRunner.h"

#include "handheld/Waiting.h"
#include "net/Helpers.h"

namespace kavelo {

QString StepText(int verb, int object) { return LocalizedText(verb) + " " + LocalizedText(object); }

QString UpdateBoxCaption() { return LocalizedText(592) + " " + LocalizedText(160); }

void TStepRunner::EnableButtons(bool enabled) { fView.SetSequenceButtonsEnabled(enabled); }

void TStepRunner::LogStep(const QString& text) {
  fView.SetStatusText(text);
  fView.AppendLog(text);
}

bool TStepRunner::ContinueWith(const QString& previous, bool succeeded, const QString& next) {
  bool result = false;
  if (succeeded && fView.StepMode(fRow)) {
    const QString text = previous + " " + LocalizedText(194) + " " + LocalizedText(193) + ".\r\n" +
                         LocalizedText(195) + " " + next + "?";
    result = ShowMessageBox(text, UpdateBoxCaption(), MB_ICONINFORMATION_YESNO) == IDYES;
  } else if (succeeded) {
    LogStep(next + "...");
    result = true;
  } else {
    fFailed = true;
    const QString text = previous + " " + LocalizedText(171) + ".\r\n" + LocalizedText(172) + ".";
    ShowMessageBox(text, UpdateBoxCaption(), MB_ICONINFORMATION_OK);
    result = false;
  }
  EnableButtons(!result);
  if (result) fView.StepAnnounced(next);
  return result;
}

void TStepRunner::FinishLastStep(const QString& text) {
  LogStep(text);
  fView.StepFinished(text, true, QString());
}

bool TStepRunner::Step(const QString& text, const std::function<bool(QString& err)>& operation,
                       const std::function<QString()>& nextText,
                       const std::function<bool(bool succeeded)>& besides) {
  QString err;
  const bool ok = operation(err);
  LogStep(ok ? text + " " + LocalizedText(193) : text + " " + LocalizedText(171) + ": " + err);
  fView.StepFinished(text, ok, ok ? QString() : err);
  if (besides && !besides(ok)) return false;
  return ContinueWith(text, ok, nextText());
}

} // namespace kavelo
