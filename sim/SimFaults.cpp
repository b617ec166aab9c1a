#include "SimFaults.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace kavelosim {

namespace {

struct CommandNameEntry {
  Command command;
  const char* name;
  const char* code;
};

constexpr CommandNameEntry kCommandNames[] = {
    {Command::Any, "any", "*"},
    {Command::Announce, "announce", "10"},
    {Command::UpdateMode, "update-mode", "41"},
    {Command::Erase, "erase", "E1"},
    {Command::Verify, "verify", "E2"},
    {Command::BlankCheck, "blank", "E3"},
    {Command::Write, "write", "E4"},
    {Command::Read, "read", "E5"},
};

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// The faults keyed to one command regardless of what the selector says.
bool HitsFixed(Command want, Command cmd) {
  return want == cmd;
}

} // namespace

std::optional<Command> ParseCommand(const std::string& text) {
  std::string t = Lower(text);
  if (t.rfind("0x", 0) == 0) t = t.substr(2);
  if (t == "blank-check") t = "blank";
  for (const auto& e : kCommandNames) {
    if (t == e.name || t == Lower(e.code)) return e.command;
  }
  return std::nullopt;
}

std::string CommandName(Command c) {
  for (const auto& e : kCommandNames) {
    if (e.command == c) return e.name;
  }
  return "?";
}

void FaultInjector::SetRules(const FaultRules& rules) {
  fRules = rules;
  fStats = FaultStats{};
  // A zero state would stay zero in the generator below; any other seed
  // (including 0 given by a user) maps to a usable one.
  fState = rules.seed ^ 0x9E3779B97F4A7C15ull;
  fAnyCount = 0;
  fPerCommand.clear();
  fHeld.reset();
}

double FaultInjector::NextUnit() {
  // splitmix64: small, fast and identical on every platform, which is the
  // point: a seed must mean the same faults everywhere.
  uint64_t z = (fState += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return static_cast<double>(z >> 11) * (1.0 / 9007199254740992.0);
}

uint32_t FaultInjector::NextJitterMs() {
  const JitterRule& j = fRules.jitter;
  if (j.medianMs == 0) return 0;
  // ln(delay) is normal with mean ln(median); z = 2.326 is its 99th percentile.
  constexpr double kZ99 = 2.3263478740408408;
  const double mu = std::log(static_cast<double>(j.medianMs));
  const double sigma = std::log(static_cast<double>(std::max(j.p99Ms, j.medianMs)) / j.medianMs) / kZ99;
  // Box-Muller from two draws; 1 - u keeps the logarithm finite.
  const double u1 = 1.0 - NextUnit();
  const double u2 = NextUnit();
  const double z = std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * 3.14159265358979323846 * u2);
  const double ms = std::exp(mu + sigma * z);
  // Far beyond the 99th percentile the model stops meaning anything; cap it.
  const double cap = 10.0 * std::max(j.p99Ms, j.medianMs);
  return static_cast<uint32_t>(std::lround(std::min(ms, cap)));
}

bool FaultInjector::Hits(const ReplySelector& sel, Command cmd, uint32_t cmdIndex) {
  uint32_t index = cmdIndex;
  if (sel.command == Command::Any) {
    index = fAnyCount;
  } else if (sel.command != cmd) {
    return false;
  }
  if (sel.nth != 0 && sel.nth != index) return false;
  if (sel.rate >= 1.0) return true;
  if (sel.rate <= 0.0) return false;
  return NextUnit() < sel.rate;
}

FaultInjector::Result FaultInjector::Apply(std::vector<Reply> replies) {
  Result result;
  std::optional<Reply> released = std::move(fHeld);
  fHeld.reset();

  for (Reply& r : replies) {
    ++fAnyCount;
    const uint32_t cmdIndex = ++fPerCommand[r.command];
    auto anyHits = [&](const std::vector<ReplySelector>& list, Command fixed) {
      bool hit = false;
      for (const ReplySelector& sel : list) {
        ReplySelector s = sel;
        if (fixed != Command::Any) {
          if (!HitsFixed(fixed, r.command)) return false;
          s.command = fixed;
        }
        // Evaluate every rule so the generator advances the same way
        // whichever rule matched first.
        if (Hits(s, r.command, cmdIndex)) hit = true;
      }
      return hit;
    };

    if (anyHits(fRules.corruptReadback, Command::Write)) {
      const size_t n = r.bytes.size() >= 12 ? r.bytes.size() - 12 : 0;
      if (n > 0) {
        r.bytes[12 + (n - 1) / 2] ^= 0x10;
        r.note += r.note.empty() ? "corrupt read-back" : ", corrupt read-back";
        ++fStats.corruptedReadbacks;
      }
    }
    if (anyHits(fRules.wrongEcho, Command::Erase) && r.bytes.size() >= 9) {
      PutLE32(&r.bytes[5], GetLE32(&r.bytes[5]) ^ 0x10000u);
      r.note += r.note.empty() ? "wrong echo" : ", wrong echo";
      ++fStats.wrongEchoes;
    }
    if (anyHits(fRules.lose, Command::Any)) {
      r.note += r.note.empty() ? "lost" : ", lost";
      ++fStats.lost;
      result.suppressed.push_back(std::move(r));
      continue;
    }
    uint32_t delay = 0;
    for (const DelayRule& d : fRules.delay) {
      if (Hits(d.which, r.command, cmdIndex)) delay = std::max(delay, d.ms);
    }
    const uint32_t ruleDelay = delay;
    delay += NextJitterMs();
    if (delay > 0) {
      r.delayMs = delay;
      ++fStats.delayed;
    }
    if (anyHits(fRules.late, Command::Any) && !fHeld) {
      Reply held = r;
      held.note += held.note.empty() ? "late" : ", late";
      ++fStats.late;
      Reply marker = held;
      marker.note = "held back";
      result.suppressed.push_back(std::move(marker));
      fHeld = std::move(held);
      continue;
    }
    const bool dup = anyHits(fRules.duplicate, Command::Any);
    result.send.push_back(r);
    if (dup) {
      r.note += r.note.empty() ? "duplicate" : ", duplicate";
      r.duplicate = true;
      // A copy that the network made travels on its own, with its own delay.
      if (fRules.jitter.medianMs != 0) r.delayMs = ruleDelay + NextJitterMs();
      ++fStats.duplicated;
      result.send.push_back(std::move(r));
    }
  }

  if (released) {
    if (result.send.empty() && !fHeld) {
      fHeld = std::move(released); // nothing went out yet for it to follow
    } else {
      // Only one reply is ever held; when this frame's reply took the slot,
      // the older one goes now, still after the request that followed it.
      if (!result.send.empty()) {
        released->delayMs = std::max(released->delayMs, result.send.back().delayMs);
      }
      result.send.push_back(std::move(*released));
    }
  }
  for (const Reply& r : result.send) fStats.delayedMsTotal += r.delayMs;
  return result;
}

} // namespace kavelosim
