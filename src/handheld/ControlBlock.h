#pragma once
// The handheld's control block, stored in its flash exactly as it lies in memory.

#include <bit>
#include <cstddef>
#include <cstdint>

namespace kavelo {

static_assert(std::endian::native == std::endian::little,
              "the control block is stored as it lies in memory on a little-endian machine");

inline constexpr uint32_t kMarkerVUNA = 0x414E5556; // bytes 56 55 4E 41
inline constexpr uint32_t kMarkerANUV = 0x56554E41; // bytes 41 4E 55 56
inline constexpr uint32_t kNoVersion = 0xFFFFFFFF;

#pragma pack(push, 1)
struct TControlBlock {
  uint32_t Valid0;
  uint32_t NewFirmwareHM;
  uint32_t OldFirmwareHM;
  uint32_t Valid1;
  uint32_t Valid2;
  uint32_t NewFirmwareRM;
  uint32_t OldFirmwareRM;
  uint32_t Valid3;
  uint32_t Valid4;
  uint32_t NewHMResources;
  uint32_t OldHMResources;
  uint32_t ResourceAddress;
  uint32_t Valid5;
  uint8_t Dummy[204];
};
#pragma pack(pop)

static_assert(sizeof(TControlBlock) == 256);
static_assert(offsetof(TControlBlock, NewFirmwareHM) == 4);
static_assert(offsetof(TControlBlock, OldFirmwareHM) == 8);
static_assert(offsetof(TControlBlock, Valid1) == 12);
static_assert(offsetof(TControlBlock, Valid2) == 16);
static_assert(offsetof(TControlBlock, NewFirmwareRM) == 20);
static_assert(offsetof(TControlBlock, OldFirmwareRM) == 24);
static_assert(offsetof(TControlBlock, Valid3) == 28);
static_assert(offsetof(TControlBlock, Valid4) == 32);
static_assert(offsetof(TControlBlock, NewHMResources) == 36);
static_assert(offsetof(TControlBlock, OldHMResources) == 40);
static_assert(offsetof(TControlBlock, ResourceAddress) == 44);
static_assert(offsetof(TControlBlock, Valid5) == 48);
static_assert(offsetof(TControlBlock, Dummy) == 52);

} // namespace kavelo
