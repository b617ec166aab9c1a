#pragma once
// The handheld's frames: headers, flash commands, sizes and the timing of each exchange.

#include <cstddef>
#include <cstdint>

namespace kavelo::handheld {

inline constexpr uint16_t kKaveloPort = 21105;

inline constexpr uint16_t kAnnounceHeader = 0x0010;
inline constexpr uint8_t kAnnounceAnswer = 0x12;
inline constexpr uint16_t kRestartHeader = 0x0031;
inline constexpr uint16_t kPowerOffHeader = 0x0032;
inline constexpr uint16_t kUpdateModeHeader = 0x0041;
inline constexpr uint16_t kFlashHeader = 0x00B0;

inline constexpr uint8_t kCmdVerify = 0xE2;
inline constexpr uint8_t kCmdErase = 0xE1;
inline constexpr uint8_t kCmdBlankCheck = 0xE3;
inline constexpr uint8_t kCmdWrite = 0xE4;
inline constexpr uint8_t kCmdRead = 0xE5;
inline constexpr uint8_t kWriteMarker = 0x02;

inline constexpr size_t kMaxPeerIPs = 1024; // far more handhelds than answer any one search
inline constexpr size_t kLatchPayloadSize = 512;
inline constexpr size_t kLatchSize = 4 + kLatchPayloadSize;
inline constexpr size_t kRequestBufferSize = 512;
inline constexpr size_t kReceiveBufferSize = 512;

inline constexpr uint16_t kUpdateModeRequestLength = 8;
inline constexpr uint16_t kFlashRequestHeadLength = 9;   // length, header, command, address
inline constexpr uint16_t kReadRequestLength = 12;
inline constexpr uint16_t kWriteRequestHeadLength = 12;
inline constexpr uint16_t kVerifyRequestLength = 267;
inline constexpr size_t kReadReplyDataOffset = 11;
inline constexpr size_t kWriteReplyDataOffset = 12;
inline constexpr size_t kPageFieldOffset = 9;

inline constexpr uint32_t kEraseUnitSize = 0x10000;
inline constexpr uint32_t kPageSize = 256;
inline constexpr uint32_t kPagesPerUnit = 256;
inline constexpr uint16_t kAllPagesMatch = 256; // also: the whole unit is empty
inline constexpr uint8_t kVerifyXorSeed = 0x55;
inline constexpr uint8_t kVerifySumSeed = 0xAA;

inline constexpr uint32_t kMaxReadTransferSize = 501;  // 11 + n must fit the 512-byte reply buffer
inline constexpr uint32_t kMaxWriteTransferSize = 500; // 12 + n must fit the 512-byte request
// Larger than any handheld flash by far; a verify image beyond it is a caller's mistake.
inline constexpr uint64_t kMaxVerifyImageSize = 64ull * 1024 * 1024;

struct TExchangeTiming {
  int Tries;
  uint32_t SettleDelayMs;
  uint32_t ReplyTimeoutMs;
};

inline constexpr TExchangeTiming kUpdateModeTiming{1, 0, 5000};
inline constexpr TExchangeTiming kEraseTiming{5, 2000, 3000};
inline constexpr TExchangeTiming kReadTiming{5, 0, 200};
inline constexpr TExchangeTiming kWriteTiming{5, 0, 200};
inline constexpr TExchangeTiming kVerifyTiming{5, 0, 500};

} // namespace kavelo::handheld
