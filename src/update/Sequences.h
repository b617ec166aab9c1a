#pragma once
// The three update sequences. Each runs to its end on the calling (user interface) thread and
// leaves the four sequence buttons enabled and its streams closed, by whatever route it ends.

#include "update/UpdateView.h"

namespace kavelo {

// Main-controller firmware and language resources; ends with a restart.
void RunHandheldUpdate(IUpdateView& view);
// Radio-module firmware staged in the handheld; ends with a power-off.
void RunRadioModuleUpdate(IUpdateView& view);
// Persistent flash data; ends with a restart.
void RunPersistentDataUpdate(IUpdateView& view);

} // namespace kavelo
