#include "update/SequenceSupport.h"

#include "handheld/Waiting.h"
#include "net/Helpers.h"
#include "update/Images.h"
#include "update/Versions.h"

namespace kavelo {

bool AlreadyInstalled(int32_t toInstall, uint32_t installed) {
  return installed != kNoVersion && static_cast<int64_t>(toInstall) <= static_cast<int64_t>(installed);
}

bool AskVersionQuestion(int question) {
  return ShowMessageBox(LocalizedText(question) + "\r\n" + LocalizedText(175), UpdateBoxCaption(),
                        MB_ICONINFORMATION_YESNO) == IDYES;
}

void ShowAllControlBlockFields(IUpdateView& view, const TControlBlock& block) {
  const uint32_t values[] = {block.NewFirmwareHM,  block.OldFirmwareHM,  block.NewFirmwareRM,
                             block.OldFirmwareRM,  block.NewHMResources, block.OldHMResources,
                             block.ResourceAddress};
  for (int i = 0; i < 7; ++i) view.ShowControlBlockField(i, values[i]);
}

void SetResourceGroup(TControlBlock& block) {
  block.Valid4 = kMarkerVUNA;
  block.NewHMResources = HMResourcesVersion;
  block.OldHMResources = HMResourcesVersion;
  block.ResourceAddress = LanguageAddress;
  block.Valid5 = kMarkerANUV;
}

uint32_t EndOf(uint32_t begin, QIODevice& stream) {
  stream.seek(0);
  return begin + static_cast<uint32_t>(stream.size());
}

} // namespace kavelo
