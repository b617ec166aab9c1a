// The 256-byte record at flash address 0 in which an update announces what
// it staged. The handheld reads it when it boots and, once it has taken a
// staged firmware over, records the installed version in the Old* field.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kavelosim {

inline constexpr uint32_t kMarkerOpen = 0x414E5556;  // "VUNA"
inline constexpr uint32_t kMarkerClose = 0x56554E41; // "ANUV"
inline constexpr uint32_t kNotSet = 0xFFFFFFFF;      // what erased flash reads as
inline constexpr uint32_t kControlBlockAddress = 0;
inline constexpr size_t kControlBlockBytes = 256;
inline constexpr uint32_t kDefaultResourceAddress = 0x3A000;

// Field offsets inside the record.
inline constexpr size_t kOffValid0 = 0;
inline constexpr size_t kOffNewFirmwareHM = 4;
inline constexpr size_t kOffOldFirmwareHM = 8;
inline constexpr size_t kOffValid1 = 12;
inline constexpr size_t kOffValid2 = 16;
inline constexpr size_t kOffNewFirmwareRM = 20;
inline constexpr size_t kOffOldFirmwareRM = 24;
inline constexpr size_t kOffValid3 = 28;
inline constexpr size_t kOffValid4 = 32;
inline constexpr size_t kOffNewHMResources = 36;
inline constexpr size_t kOffOldHMResources = 40;
inline constexpr size_t kOffResourceAddress = 44;
inline constexpr size_t kOffValid5 = 48;
inline constexpr size_t kOffDummy = 52;
inline constexpr size_t kDummyBytes = kControlBlockBytes - kOffDummy;

struct ControlBlock {
  uint32_t valid0 = kNotSet;
  uint32_t newFirmwareHM = kNotSet;
  uint32_t oldFirmwareHM = kNotSet;
  uint32_t valid1 = kNotSet;
  uint32_t valid2 = kNotSet;
  uint32_t newFirmwareRM = kNotSet;
  uint32_t oldFirmwareRM = kNotSet;
  uint32_t valid3 = kNotSet;
  uint32_t valid4 = kNotSet;
  uint32_t newHMResources = kNotSet;
  uint32_t oldHMResources = kNotSet;
  uint32_t resourceAddress = kNotSet;
  uint32_t valid5 = kNotSet;
  std::array<uint8_t, kDummyBytes> dummy{};

  ControlBlock() { dummy.fill(0xFF); }

  static ControlBlock FromBytes(const uint8_t* bytes);
  std::array<uint8_t, kControlBlockBytes> ToBytes() const;

  // A block as a handheld carries it after an update it has taken over:
  // all markers set, New == Old for each group.
  static ControlBlock Installed(uint32_t hmVersion, uint32_t rmVersion, uint32_t resourcesVersion,
                                uint32_t resourceAddress = kDefaultResourceAddress);

  bool HMGroupValid() const { return valid0 == kMarkerOpen && valid1 == kMarkerClose; }
  bool RMGroupValid() const { return valid2 == kMarkerOpen && valid3 == kMarkerClose; }
  bool ResourceGroupValid() const { return valid4 == kMarkerOpen && valid5 == kMarkerClose; }

  // A firmware is staged when its group's markers are in place, no version
  // is recorded as installed yet and a new version was written.
  bool HMStaged() const {
    return HMGroupValid() && oldFirmwareHM == kNotSet && newFirmwareHM != kNotSet;
  }
  bool RMStaged() const {
    return RMGroupValid() && oldFirmwareRM == kNotSet && newFirmwareRM != kNotSet;
  }

  bool operator==(const ControlBlock&) const = default;
};

} // namespace kavelosim
