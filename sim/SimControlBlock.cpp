#include "SimControlBlock.h"

#include "SimFrame.h"

#include <algorithm>

namespace kavelosim {

ControlBlock ControlBlock::FromBytes(const uint8_t* b) {
  ControlBlock cb;
  cb.valid0 = GetLE32(b + kOffValid0);
  cb.newFirmwareHM = GetLE32(b + kOffNewFirmwareHM);
  cb.oldFirmwareHM = GetLE32(b + kOffOldFirmwareHM);
  cb.valid1 = GetLE32(b + kOffValid1);
  cb.valid2 = GetLE32(b + kOffValid2);
  cb.newFirmwareRM = GetLE32(b + kOffNewFirmwareRM);
  cb.oldFirmwareRM = GetLE32(b + kOffOldFirmwareRM);
  cb.valid3 = GetLE32(b + kOffValid3);
  cb.valid4 = GetLE32(b + kOffValid4);
  cb.newHMResources = GetLE32(b + kOffNewHMResources);
  cb.oldHMResources = GetLE32(b + kOffOldHMResources);
  cb.resourceAddress = GetLE32(b + kOffResourceAddress);
  cb.valid5 = GetLE32(b + kOffValid5);
  std::copy(b + kOffDummy, b + kControlBlockBytes, cb.dummy.begin());
  return cb;
}

std::array<uint8_t, kControlBlockBytes> ControlBlock::ToBytes() const {
  std::array<uint8_t, kControlBlockBytes> b{};
  PutLE32(&b[kOffValid0], valid0);
  PutLE32(&b[kOffNewFirmwareHM], newFirmwareHM);
  PutLE32(&b[kOffOldFirmwareHM], oldFirmwareHM);
  PutLE32(&b[kOffValid1], valid1);
  PutLE32(&b[kOffValid2], valid2);
  PutLE32(&b[kOffNewFirmwareRM], newFirmwareRM);
  PutLE32(&b[kOffOldFirmwareRM], oldFirmwareRM);
  PutLE32(&b[kOffValid3], valid3);
  PutLE32(&b[kOffValid4], valid4);
  PutLE32(&b[kOffNewHMResources], newHMResources);
  PutLE32(&b[kOffOldHMResources], oldHMResources);
  PutLE32(&b[kOffResourceAddress], resourceAddress);
  PutLE32(&b[kOffValid5], valid5);
  std::copy(dummy.begin(), dummy.end(), b.begin() + kOffDummy);
  return b;
}

ControlBlock ControlBlock::Installed(uint32_t hmVersion, uint32_t rmVersion,
                                     uint32_t resourcesVersion, uint32_t resourceAddress) {
  ControlBlock cb;
  cb.valid0 = cb.valid2 = cb.valid4 = kMarkerOpen;
  cb.valid1 = cb.valid3 = cb.valid5 = kMarkerClose;
  cb.newFirmwareHM = cb.oldFirmwareHM = hmVersion;
  cb.newFirmwareRM = cb.oldFirmwareRM = rmVersion;
  cb.newHMResources = cb.oldHMResources = resourcesVersion;
  cb.resourceAddress = resourceAddress;
  cb.dummy.fill(0);
  return cb;
}

} // namespace kavelosim
