#pragma once
// What the update sequences share.

#include "handheld/ControlBlock.h"
#include "update/StepRunner.h"

#include <QIODevice>

#include <cstdint>

namespace kavelo {

class TKavelo;

// True when the handheld already holds this version or a newer one: an installed version is
// recorded (not 0xFFFFFFFF) and the version to install is not above it. A negative version to
// install is below any installed one.
bool AlreadyInstalled(int32_t toInstall, uint32_t installed);

// Asks whether to go on although the same or a newer version is installed; true for Yes.
bool AskVersionQuestion(int question);

void ShowAllControlBlockFields(IUpdateView& view, const TControlBlock& block);

// The marker and resource fields that both firmware sequences write.
void SetResourceGroup(TControlBlock& block);

// The end address of an image placed at begin: from the stream's length as it is now.
uint32_t EndOf(uint32_t begin, QIODevice& stream);

} // namespace kavelo
