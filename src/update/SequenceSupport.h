#pragma once
// What the update sequences share.

#include "handheld/ControlBlock.h"
#include "update/Images.h"
#include "update/Sequences.h"
#include "update/StepRunner.h"

#include <QIODevice>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace kavelo {

class TKavelo;

// How a sequence ends that the runner stopped before its last step.
inline TSequenceEnd EndedEarly(const TStepRunner& runner) {
  return runner.Failed() ? TSequenceEnd::StepFailed : TSequenceEnd::Stopped;
}

// True when the handheld already holds this version or a newer one: an installed version is
// recorded (not 0xFFFFFFFF) and the version to install is not above it. A negative version to
// install is below any installed one.
bool AlreadyInstalled(int32_t toInstall, uint32_t installed);

// Asks whether to go on although the same or a newer version is installed; true for Yes.
bool AskVersionQuestion(int question);

void ShowAllControlBlockFields(IUpdateView& view, const TControlBlock& block);
// NewHMResources, OldHMResources and ResourceAddress.
void ShowResourceFields(IUpdateView& view, const TControlBlock& block);

// The marker and resource fields that both firmware sequences write.
void SetResourceGroup(TControlBlock& block);

// The end address of an image placed at begin: from the stream's length as it is now.
uint32_t EndOf(uint32_t begin, QIODevice& stream);

// The operations of the steps, bound to their arguments.
using TStepOperation = std::function<bool(QString& err)>;
TStepOperation UpdateModeEntry(TKavelo& k);
TStepOperation ReadBlock(TKavelo& k, TControlBlock& block);
TStepOperation WriteBlock(TKavelo& k, const TControlBlock& block);
TStepOperation EraseRange(TKavelo& k, uint32_t begin, uint32_t end);
// The staging area and the control block in its unit: 2048 bytes beyond the image's length.
TStepOperation EraseStagingArea(TKavelo& k, QIODevice& firmware);
TStepOperation WriteImage(TKavelo& k, uint32_t begin, QIODevice& image);
TStepOperation VerifyImage(TKavelo& k, uint32_t begin, QIODevice& image);

// What a firmware sequence opens before it sends anything.
struct TFirmwareStart {
  int32_t Version = 0;
  QString Label;
  TOpenedImage Firmware;
  std::unique_ptr<QIODevice> Languages;
};
// Parses the version and opens the images; on failure reports it as the sequence must and
// returns nothing (the four buttons are then enabled).
std::optional<TFirmwareStart> StartFirmwareSequence(IUpdateView& view, TStepRunner& runner,
                                                    TFirmwareRow row);

} // namespace kavelo
