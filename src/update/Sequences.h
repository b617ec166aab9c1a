#pragma once
// The three update sequences. Each runs to its end on the calling (user interface) thread and
// leaves the four sequence buttons enabled and its streams closed, by whatever route it ends.
// The window runs them from its buttons, the command line from its update command.

#include "update/UpdateView.h"

namespace kavelo {

enum class TSequenceEnd {
  Completed,  // the last step (restart or switch-off) was sent
  NotStarted, // the version text or an image could not be taken; nothing was sent
  StepFailed, // a step failed and the failure box was shown
  Declined,   // No to the version question: the handheld was restarted, its flash untouched
  Stopped,    // No to a question of single-step mode
};

// Main-controller firmware and language resources; ends with a restart.
TSequenceEnd UpdateHandheld(IUpdateView& view);
// Radio-module firmware staged in the handheld; ends with a power-off.
TSequenceEnd UpdateRadioModule(IUpdateView& view);
// Persistent flash data; ends with a restart.
TSequenceEnd UpdatePersistentData(IUpdateView& view);

// As the window's buttons run them: how the sequence ended is on the screen already.
inline void RunHandheldUpdate(IUpdateView& view) { UpdateHandheld(view); }
inline void RunRadioModuleUpdate(IUpdateView& view) { UpdateRadioModule(view); }
inline void RunPersistentDataUpdate(IUpdateView& view) { UpdatePersistentData(view); }

} // namespace kavelo
