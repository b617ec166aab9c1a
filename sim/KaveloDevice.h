// A model of a Kavelo handheld as the update tool sees it over the network:
// its flash, its update mode, its boot-time install of staged firmware, and
// the faults a real handheld on Wi-Fi shows. No socket and no thread: hand it
// a received datagram and it returns what the handheld sends back, so a test
// can drive it directly or on a virtual clock.
#pragma once

#include "SimControlBlock.h"
#include "SimFaults.h"
#include "SimFrame.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kavelosim {

struct LogEntry {
  enum class Kind {
    Received,   // a frame that reached the device while it was on
    Sent,       // a frame the device sends (the runner may still delay it)
    Suppressed, // a reply a fault kept back: lost, or held for later
    Event,      // the power switch; no frame
  };
  uint64_t seq = 0;    // increases by one per entry, never reused
  uint64_t timeMs = 0; // from the device's clock
  Kind kind = Kind::Received;
  Endpoint peer; // sender of a received frame, destination of a reply
  Bytes bytes;   // the whole frame
  std::string note;
};

struct InstallCounts {
  uint32_t hm = 0; // main controller firmware taken over
  uint32_t rm = 0; // radio module firmware taken over
};

class KaveloDevice {
public:
  static constexpr uint32_t kFlashBytes = 0x80000;
  static constexpr uint32_t kEraseUnitBytes = 0x10000;
  static constexpr uint32_t kPageBytes = 256;
  static constexpr uint32_t kPagesPerUnit = kEraseUnitBytes / kPageBytes;
  // Largest read or write a single request may move; the tool uses 256.
  static constexpr uint32_t kMaxTransferBytes = 512;
  static constexpr uint16_t kNoPage = 256; // "empty unit" / "all pages match"
  // Enough for several complete updates; the oldest entries go first.
  static constexpr size_t kDefaultLogLimit = 50000;

  KaveloDevice();

  // The device's own address goes into its update-mode reply and its
  // announcement; the port is where it sends an announcement to a tool
  // address it learnt from the request.
  void SetOwnAddress(uint32_t ip) { fOwnIp = ip; }
  uint32_t OwnAddress() const { return fOwnIp; }
  void SetOwnPort(uint16_t port) { fOwnPort = port; }
  // Time source for log stamps, in milliseconds.
  void SetClock(std::function<uint64_t()> clock) { fClock = std::move(clock); }

  // One received datagram, possibly holding several frames back to back.
  std::vector<Reply> HandleDatagram(const uint8_t* data, size_t len, Endpoint from);
  // Exactly one frame (its length field is not trusted beyond `len`).
  std::vector<Reply> HandleFrame(const uint8_t* frame, size_t len, Endpoint from);

  // Power switch. Switching on boots the device, which takes over any
  // staged firmware (radio module and main controller). Returns false when
  // the switch was already in that position.
  bool PowerOn();
  bool PowerOff();
  bool IsPoweredOn() const { return fPowered; }
  bool InUpdateMode() const { return fUpdateMode; }
  // Address the last update-mode request named as the tool's (0 = none).
  uint32_t ToolAddress() const { return fToolIp; }
  InstallCounts Installs() const { return fInstalls; }

  // Flash as the hardware holds it. Preset and Load write bytes as given,
  // like a programmer on the bench, not through NOR rules.
  const Bytes& Flash() const { return fFlash; }
  Bytes ReadFlash(uint32_t addr, size_t n) const;
  bool PresetFlash(uint32_t addr, const Bytes& bytes);
  bool LoadFlash(const Bytes& image); // exactly kFlashBytes
  void EraseAllFlash();
  // Increases on every change of the flash contents; a runner that keeps
  // the flash in a file saves when it moved.
  uint64_t FlashChangeCount() const { return fFlashChanges; }

  ControlBlock GetControlBlock() const;
  void PresetControlBlock(const ControlBlock& cb);
  void PresetInstalledVersions(uint32_t hm, uint32_t rm, uint32_t resources);

  // Setting rules restarts their counters (n-th reply, frames until vanish).
  void SetFaults(const FaultRules& rules) {
    fFaults.SetRules(rules);
    fFramesSeen = 0;
  }
  const FaultRules& Faults() const { return fFaults.Rules(); }
  const FaultStats& Stats() const { return fFaults.Stats(); }
  // Frames that arrived while the device was switched off.
  uint64_t FramesIgnoredWhileOff() const { return fIgnoredWhileOff; }

  const std::deque<LogEntry>& Log() const { return fLog; }
  void ClearLog() { fLog.clear(); }
  void SetLogLimit(size_t entries) { fLogLimit = entries; }

private:
  std::vector<Reply> HandleFlash(const FrameView& f, Endpoint from, std::string& why);
  void Boot(bool radioModuleToo, std::string& why);
  void EraseUnit(uint32_t unitStart);
  uint16_t FirstPageWithData(uint32_t unitStart) const;
  uint16_t FirstDifferingPage(uint32_t unitStart, uint8_t pass, const uint8_t* sigs) const;
  void AddLog(LogEntry::Kind kind, Endpoint peer, const Bytes& bytes, std::string note);
  uint64_t Now() const;

  Bytes fFlash;
  bool fPowered = true;
  bool fUpdateMode = false;
  uint32_t fOwnIp = 0;
  uint16_t fOwnPort = kDefaultPort;
  uint32_t fToolIp = 0;
  uint64_t fFlashChanges = 0;
  uint64_t fFramesSeen = 0;
  uint64_t fIgnoredWhileOff = 0;
  InstallCounts fInstalls;
  FaultInjector fFaults;
  std::deque<LogEntry> fLog;
  size_t fLogLimit = kDefaultLogLimit;
  uint64_t fNextSeq = 1;
  std::function<uint64_t()> fClock;
};

} // namespace kavelosim
