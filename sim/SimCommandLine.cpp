#include "SimCommandLine.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <vector>

namespace kavelosim {

namespace {

std::optional<uint64_t> ParseUnsigned(const std::string& text, uint64_t max) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text.c_str(), &end, 0); // 0x.. or decimal
  if (errno != 0 || end == text.c_str() || *end != '\0' || v > max) return std::nullopt;
  return v;
}

std::optional<double> ParseRate(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0' || !(v >= 0.0 && v <= 1.0)) return std::nullopt;
  return v;
}

// "CMD:N", e.g. "write:3" or "E4:3".
std::optional<ReplySelector> ParseNth(const std::string& text) {
  const auto colon = text.rfind(':');
  if (colon == std::string::npos) return std::nullopt;
  const auto cmd = ParseCommand(text.substr(0, colon));
  const auto n = ParseUnsigned(text.substr(colon + 1), 0xFFFFFFFFu);
  if (!cmd || !n || *n == 0) return std::nullopt;
  return ReplySelector::Nth(*cmd, static_cast<uint32_t>(*n));
}

struct Option {
  const char* name;
  const char* alias; // short form or nullptr
  const char* value; // value placeholder, nullptr for a flag
  const char* help;
  std::function<bool(CommandLine&, const std::string&)> apply;
};

std::vector<Option> Options() {
  using CL = CommandLine;
  using S = const std::string&;
  auto u32 = [](S v) { return ParseUnsigned(v, 0xFFFFFFFFu); };
  return {
      {"--address", nullptr, "IPV4", "address to answer on (default 127.0.0.2)",
       [](CL& c, S v) {
         c.sim.address = v;
         return ParseIPv4(v).has_value();
       }},
      {"--port", nullptr, "PORT", "UDP port (default 21105)",
       [](CL& c, S v) {
         const auto p = ParseUnsigned(v, 0xFFFF);
         if (p && *p > 0) c.sim.port = static_cast<uint16_t>(*p);
         return p && *p > 0;
       }},
      {"--broadcast", nullptr, "IPV4",
       "also receive datagrams sent to this (broadcast) address; repeatable",
       [](CL& c, S v) {
         c.sim.broadcastAddresses.push_back(v);
         return ParseIPv4(v).has_value();
       }},
      {"--no-interface-broadcast", nullptr, nullptr,
       "do not listen on 255.255.255.255 and the subnet broadcast of --address's interface",
       [](CL& c, S) { return c.sim.interfaceBroadcasts = false, true; }},
      {"--flash-file", nullptr, "PATH",
       "load the flash from PATH if it exists, save it there on every change and at exit",
       [](CL& c, S v) { return c.flashFile = v, !v.empty(); }},
      {"--hm-version", nullptr, "V", "preset an installed main controller firmware version (0x109)",
       [u32](CL& c, S v) { return (c.hmVersion = u32(v)).has_value(); }},
      {"--rm-version", nullptr, "V", "preset an installed radio module firmware version (0x105)",
       [u32](CL& c, S v) { return (c.rmVersion = u32(v)).has_value(); }},
      {"--resources-version", nullptr, "V",
       "preset installed language resources (0x112) at 0x3A000",
       [u32](CL& c, S v) { return (c.resourcesVersion = u32(v)).has_value(); }},
      {"--powered-off", nullptr, nullptr,
       "start switched off; SIGUSR1 or --power-on-after-ms switch it on",
       [](CL& c, S) { return c.startPoweredOff = true, true; }},
      {"--power-on-after-ms", nullptr, "MS",
       "after a power-off (or a start with --powered-off), switch on again by itself after MS ms; "
       "SIGUSR1 switches on at once",
       [u32](CL& c, S v) {
         const auto ms = u32(v);
         if (ms) c.sim.powerOnAfterMs = static_cast<uint32_t>(*ms);
         return ms.has_value();
       }},
      {"--seed", nullptr, "S", "seed for the random faults (default 1); same seed, same faults",
       [](CL& c, S v) {
         const auto s = ParseUnsigned(v, ~0ull);
         if (s) c.faults.seed = *s;
         return s.has_value();
       }},
      {"--loss-rate", nullptr, "R", "lose each reply with probability R (0..1)",
       [](CL& c, S v) {
         const auto r = ParseRate(v);
         if (r) c.faults.lose.push_back(ReplySelector::Rate(*r));
         return r.has_value();
       }},
      {"--lose-nth", nullptr, "CMD:N", "lose the N-th reply to CMD (1 = first); repeatable",
       [](CL& c, S v) {
         const auto s = ParseNth(v);
         if (s) c.faults.lose.push_back(*s);
         return s.has_value();
       }},
      {"--lose-all", nullptr, "CMD", "never answer CMD; repeatable",
       [](CL& c, S v) {
         const auto cmd = ParseCommand(v);
         if (cmd) c.faults.lose.push_back(ReplySelector::All(*cmd));
         return cmd.has_value();
       }},
      {"--delay-ms", nullptr, "MS", "send every reply MS ms late",
       [u32](CL& c, S v) {
         const auto ms = u32(v);
         if (ms) c.faults.delay.push_back({ReplySelector::All(Command::Any), uint32_t(*ms)});
         return ms.has_value();
       }},
      {"--delay", nullptr, "CMD:MS", "send the replies to CMD MS ms late; repeatable",
       [](CL& c, S v) {
         const auto s = ParseNth(v); // same shape; N is the delay here
         if (s) c.faults.delay.push_back({ReplySelector::All(s->command), s->nth});
         return s.has_value();
       }},
      {"--jitter-ms", nullptr, "MEDIAN:P99",
       "delay every reply at random: half of them by less than MEDIAN ms, 99 of 100 by less "
       "than P99 ms (log-normal, from --seed)",
       [](CL& c, S v) {
         const auto colon = v.find(':');
         if (colon == std::string::npos) return false;
         const auto median = ParseUnsigned(v.substr(0, colon), 60000);
         const auto p99 = ParseUnsigned(v.substr(colon + 1), 60000);
         if (!median || !p99 || *median == 0 || *p99 < *median) return false;
         c.faults.jitter = {static_cast<uint32_t>(*median), static_cast<uint32_t>(*p99)};
         return true;
       }},
      {"--busy-wifi", nullptr, nullptr,
       "a busy home Wi-Fi: --jitter-ms 2:120 and --duplicate-rate 0.01",
       [](CL& c, S) {
         c.faults.jitter = kBusyWifiJitter;
         c.faults.duplicate.push_back(ReplySelector::Rate(kBusyWifiDuplicateRate));
         return true;
       }},
      {"--duplicate-rate", nullptr, "R", "send each reply twice with probability R",
       [](CL& c, S v) {
         const auto r = ParseRate(v);
         if (r) c.faults.duplicate.push_back(ReplySelector::Rate(*r));
         return r.has_value();
       }},
      {"--duplicate-nth", nullptr, "CMD:N", "send the N-th reply to CMD twice; repeatable",
       [](CL& c, S v) {
         const auto s = ParseNth(v);
         if (s) c.faults.duplicate.push_back(*s);
         return s.has_value();
       }},
      {"--late-replies", nullptr, nullptr,
       "send every reply one step late: right after the reply to the next request",
       [](CL& c, S) { return c.faults.late.push_back(ReplySelector::All(Command::Any)), true; }},
      {"--late-nth", nullptr, "CMD:N",
       "hold back the N-th reply to CMD until after the next reply; repeatable",
       [](CL& c, S v) {
         const auto s = ParseNth(v);
         if (s) c.faults.late.push_back(*s);
         return s.has_value();
       }},
      {"--late-rate", nullptr, "R", "hold back each reply with probability R",
       [](CL& c, S v) {
         const auto r = ParseRate(v);
         if (r) c.faults.late.push_back(ReplySelector::Rate(*r));
         return r.has_value();
       }},
      {"--corrupt-readback", nullptr, "N",
       "change one read-back byte in the N-th write reply (0 = every write); repeatable",
       [u32](CL& c, S v) {
         const auto n = u32(v);
         if (n)
           c.faults.corruptReadback.push_back(ReplySelector::Nth(Command::Write, uint32_t(*n)));
         return n.has_value();
       }},
      {"--corrupt-readback-rate", nullptr, "R", "corrupt each write's read-back with probability R",
       [](CL& c, S v) {
         const auto r = ParseRate(v);
         if (r) c.faults.corruptReadback.push_back(ReplySelector::Rate(*r, Command::Write));
         return r.has_value();
       }},
      {"--wrong-echo", nullptr, "N",
       "echo a different address in the N-th erase reply (0 = every erase); repeatable",
       [u32](CL& c, S v) {
         const auto n = u32(v);
         if (n) c.faults.wrongEcho.push_back(ReplySelector::Nth(Command::Erase, uint32_t(*n)));
         return n.has_value();
       }},
      {"--stuck-byte", nullptr, "ADDR",
       "this flash byte keeps --stuck-value after erase; repeatable",
       [](CL& c, S v) {
         const auto a = ParseUnsigned(v, KaveloDevice::kFlashBytes - 1);
         if (a) c.faults.stuckBytes.push_back(static_cast<uint32_t>(*a));
         return a.has_value();
       }},
      {"--stuck-value", nullptr, "V", "value of stuck bytes after erase (default 0x00)",
       [](CL& c, S v) {
         const auto b = ParseUnsigned(v, 0xFE);
         if (b) c.faults.stuckValue = static_cast<uint8_t>(*b);
         return b.has_value();
       }},
      {"--vanish-after", nullptr, "N", "stop answering for good after N received frames",
       [u32](CL& c, S v) {
         const auto n = u32(v);
         if (n) c.faults.vanishAfterFrames = static_cast<uint32_t>(*n);
         return n && *n > 0;
       }},
      {"--verbose", "-v", nullptr, "print one line per frame received, sent, lost or held back",
       [](CL& c, S) { return c.verbose = true, true; }},
      {"--help", "-h", nullptr, "show this text", [](CL& c, S) { return c.help = true, true; }},
  };
}

} // namespace

bool ParseCommandLine(int argc, const char* const* argv, CommandLine& out, std::string* error) {
  const std::vector<Option> options = Options();
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool inlineValue = false;
    if (arg.rfind("--", 0) == 0) {
      const auto eq = arg.find('=');
      if (eq != std::string::npos) {
        value = arg.substr(eq + 1);
        arg = arg.substr(0, eq);
        inlineValue = true;
      }
    }
    const Option* opt = nullptr;
    for (const Option& o : options) {
      if (arg == o.name || (o.alias && arg == o.alias)) opt = &o;
    }
    if (!opt) {
      if (error) *error = "unknown option " + arg;
      return false;
    }
    if (opt->value && !inlineValue) {
      if (i + 1 >= argc) {
        if (error) *error = arg + " needs a value " + opt->value;
        return false;
      }
      value = argv[++i];
    } else if (!opt->value && inlineValue) {
      if (error) *error = arg + " takes no value";
      return false;
    }
    if (!opt->apply(out, value)) {
      if (error) *error = "bad value for " + arg + ": " + value;
      return false;
    }
  }
  return true;
}

std::string UsageText() {
  std::string s =
      "Usage: kavelo-sim [OPTION]...\n"
      "A simulated Kavelo handheld on UDP: 512 KB NOR flash, update mode, flash\n"
      "commands, restart and power-off, with optional faults.\n"
      "CMD is one of erase (E1), verify (E2), blank (E3), write (E4), read (E5),\n"
      "update-mode (41), announce (10) or any. Numbers may be decimal or 0x-hex.\n"
      "Ctrl+C or SIGTERM ends the program; SIGUSR1 switches a powered-off device on.\n\n";
  for (const Option& o : Options()) {
    std::string left = "  ";
    if (o.alias) left += std::string(o.alias) + ", ";
    left += o.name;
    if (o.value) left += std::string(" ") + o.value;
    constexpr size_t kHelpColumn = 30;
    constexpr size_t kLineWidth = 79;
    if (left.size() < kHelpColumn) {
      left.resize(kHelpColumn, ' ');
    } else {
      left += "\n" + std::string(kHelpColumn, ' ');
    }
    // Wrap the description at word boundaries under its column.
    std::string line = left;
    size_t lineStart = line.size() - kHelpColumn; // where the current line begins
    std::string word;
    const std::string help = std::string(o.help) + " ";
    bool first = true;
    for (char ch : help) {
      if (ch != ' ') {
        word += ch;
        continue;
      }
      if (!first && line.size() - lineStart + 1 + word.size() > kLineWidth) {
        line += "\n" + std::string(kHelpColumn, ' ');
        lineStart = line.size() - kHelpColumn;
      } else if (!first) {
        line += ' ';
      }
      line += word;
      word.clear();
      first = false;
    }
    s += line + "\n";
  }
  return s;
}

void ApplyVersionPresets(const CommandLine& cl, ControlBlock& cb) {
  if (cl.hmVersion) {
    cb.valid0 = kMarkerOpen;
    cb.valid1 = kMarkerClose;
    cb.newFirmwareHM = cb.oldFirmwareHM = *cl.hmVersion;
  }
  if (cl.rmVersion) {
    cb.valid2 = kMarkerOpen;
    cb.valid3 = kMarkerClose;
    cb.newFirmwareRM = cb.oldFirmwareRM = *cl.rmVersion;
  }
  if (cl.resourcesVersion) {
    cb.valid4 = kMarkerOpen;
    cb.valid5 = kMarkerClose;
    cb.newHMResources = cb.oldHMResources = *cl.resourcesVersion;
    cb.resourceAddress = kDefaultResourceAddress;
  }
}

} // namespace kavelosim
