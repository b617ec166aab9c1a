#pragma once
// The main window as an update sequence sees it. The window implements it with its widgets;
// tests implement it with a recorder.

#include "handheld/ControlBlock.h"

#include <QString>

#include <cstdint>

namespace kavelo {

class TKavelo;

enum class TFirmwareRow { Handheld, RadioModule };

class IUpdateView {
public:
  virtual ~IUpdateView() = default;
  virtual TKavelo& Kavelo() = 0;
  virtual TControlBlock& ControlBlock() = 0;
  virtual void SetStatusText(const QString& text) = 0;
  virtual void AppendLog(const QString& line) = 0;
  // BitBtnUpdateHM, BitBtnUpdateRM, BitBtnDisconnect and BitBtnClose, in this order.
  virtual void SetSequenceButtonsEnabled(bool enabled) = 0;
  // Whether the step-mode check box of that row is ticked, read anew at every call.
  virtual bool StepMode(TFirmwareRow row) = 0;
  // The caption of the row's firmware label and the text of its version combo box.
  virtual QString FirmwareLabel(TFirmwareRow row) = 0;
  virtual QString VersionText(TFirmwareRow row) = 0;
  // One of the seven control block fields, in the panel's order (0 NewFirmwareHM ... 6
  // ResourceAddress).
  virtual void ShowControlBlockField(int index, uint32_t value) = 0;
  virtual void UpdateControlStates(bool Connected) = 0;
  // The application's error report.
  virtual void ReportError(const QString& text) = 0;

  // The steps one by one, for a view that reports them as events; the window shows them through
  // its status line and log alone. A step is announced just before it runs; err is empty when it
  // succeeded, and the last step of a sequence, which has no result, finishes as succeeded.
  virtual void StepAnnounced(const QString& /*step*/) {}
  virtual void StepFinished(const QString& /*step*/, bool /*succeeded*/, const QString& /*err*/) {}
};

} // namespace kavelo
