// Named failure modes of the simulated handheld. Every fault is chosen by an
// explicit rule (the n-th reply to a command, every reply to it) or by a rate
// drawn from a seeded generator, so a run can be repeated exactly: the same
// seed and the same requests give the same faults.
#pragma once

#include "SimFrame.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kavelosim {

// What a reply answers: a flash command byte or the header of another frame.
enum class Command : uint16_t {
  Any = 0,
  Announce = kHeaderAnnounce,
  UpdateMode = kHeaderUpdateMode,
  Erase = kCmdErase,
  Verify = kCmdVerify,
  BlankCheck = kCmdBlankCheck,
  Write = kCmdWrite,
  Read = kCmdRead,
};

// Accepts "erase"/"E1", "verify"/"E2", "blank"/"E3", "write"/"E4", "read"/"E5",
// "update-mode"/"41", "announce"/"10" and "any", in any case.
std::optional<Command> ParseCommand(const std::string& text);
std::string CommandName(Command c);

// Picks replies: those to `command` (or to anything), only the nth of them
// (1-based, counted over all replies the device produced for that command
// since the rules were set; 0 = each), hit with probability `rate`.
struct ReplySelector {
  Command command = Command::Any;
  uint32_t nth = 0;
  double rate = 1.0;

  static ReplySelector Nth(Command c, uint32_t n) { return {c, n, 1.0}; }
  static ReplySelector All(Command c) { return {c, 0, 1.0}; }
  static ReplySelector Rate(double r, Command c = Command::Any) { return {c, 0, r}; }
};

struct DelayRule {
  ReplySelector which;
  uint32_t ms = 0;
};

// A random delay for every reply, as a shared or busy Wi-Fi gives: log-normal, so most replies
// come quickly and a few very late. medianMs = 0 switches it off.
struct JitterRule {
  uint32_t medianMs = 0;
  uint32_t p99Ms = 0; // 99 of 100 replies come sooner; at least medianMs
};

// "Busy home Wi-Fi": most replies within a few milliseconds, about one in a hundred later than
// a tenth of a second, now and then one after several hundred; some frames arrive twice.
inline constexpr JitterRule kBusyWifiJitter{2, 120};
inline constexpr double kBusyWifiDuplicateRate = 0.01;

struct FaultRules {
  uint64_t seed = 1;
  std::vector<ReplySelector> lose;      // the reply is never sent
  std::vector<ReplySelector> duplicate; // the reply is sent twice
  // The reply is held back and sent right after the next reply that goes
  // out, so it arrives while the tool waits for the answer to a later request.
  std::vector<ReplySelector> late;
  std::vector<DelayRule> delay; // the socket runner waits this long before sending
  JitterRule jitter;            // on top of the delay rules
  // For these two the selector's command is ignored: they only ever apply
  // to write replies and to erase replies respectively.
  std::vector<ReplySelector> corruptReadback; // one byte of the read-back differs
  std::vector<ReplySelector> wrongEcho;       // the echoed address differs
  // Bytes that an erase cannot set: they hold stuckValue afterwards.
  std::vector<uint32_t> stuckBytes;
  uint8_t stuckValue = 0x00;
  // After this many received frames the device stops answering and acting
  // on anything (0 = never), as a handheld whose battery died would.
  uint32_t vanishAfterFrames = 0;
};

struct FaultStats {
  uint64_t lost = 0;
  uint64_t duplicated = 0;
  uint64_t late = 0;
  uint64_t delayed = 0;
  uint64_t delayedMsTotal = 0; // the delays of all replies sent, summed
  uint64_t corruptedReadbacks = 0;
  uint64_t wrongEchoes = 0;
  uint64_t stuckBytesKept = 0; // per byte per erase
  uint64_t framesIgnoredAfterVanish = 0;
  bool operator==(const FaultStats&) const = default;
};

struct Reply {
  Command command = Command::Any;
  Endpoint to;
  Bytes bytes;
  uint32_t delayMs = 0;
  std::string note; // what a fault did to it, empty for a plain reply
  bool duplicate = false; // the second copy of a duplicated reply
};

// Applies the reply faults; keeps its own generator, counters and the held
// reply. The device calls it once per received frame.
class FaultInjector {
public:
  void SetRules(const FaultRules& rules);
  const FaultRules& Rules() const { return fRules; }
  const FaultStats& Stats() const { return fStats; }
  FaultStats& MutableStats() { return fStats; }

  struct Result {
    std::vector<Reply> send;       // in sending order
    std::vector<Reply> suppressed; // lost or held back, note says which
  };
  Result Apply(std::vector<Reply> replies);

  // A device that goes dark forgets what it held back.
  void DropHeld() { fHeld.reset(); }
  bool HasHeld() const { return fHeld.has_value(); }

private:
  bool Hits(const ReplySelector& sel, Command cmd, uint32_t cmdIndex);
  double NextUnit();
  uint32_t NextJitterMs();

  FaultRules fRules;
  FaultStats fStats;
  uint64_t fState = 0;
  uint32_t fAnyCount = 0;
  std::map<Command, uint32_t> fPerCommand;
  std::optional<Reply> fHeld;
};

} // namespace kavelosim
