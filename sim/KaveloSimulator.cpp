#include "KaveloSimulator.h"

#include "SimSocket.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <unistd.h>

namespace kavelosim {

namespace {

using Clock = std::chrono::steady_clock;

// Longest the thread sleeps in poll() with nothing scheduled; Stop() does
// not depend on it (the wake-up pipe ends the wait at once).
constexpr int kIdlePollMs = 200;
// Datagrams taken from one socket before the others get their turn.
constexpr int kMaxDatagramsPerTurn = 64;
constexpr uint32_t kLimitedBroadcast = 0xFFFFFFFF;

std::string WithNote(std::string line, const std::string& note) {
  if (!note.empty()) line += "  (" + note + ")";
  return line;
}

std::string TraceLine(const LogEntry& e) {
  const std::string what = DescribeFrame(e.bytes.data(), e.bytes.size());
  switch (e.kind) {
  case LogEntry::Kind::Received:
    return WithNote("RX " + EndpointToText(e.peer) + " " + what, e.note);
  case LogEntry::Kind::Suppressed:
    return WithNote("-- " + EndpointToText(e.peer) + " " + what, e.note);
  case LogEntry::Kind::Event:
    return "== " + e.note;
  case LogEntry::Kind::Sent:
    break;
  }
  return WithNote("TX " + EndpointToText(e.peer) + " " + what, e.note);
}

} // namespace

KaveloSimulator::KaveloSimulator(const std::string& address, uint16_t port)
    : KaveloSimulator(SimulatorOptions{address, port, {}, true, 0}) {}

KaveloSimulator::KaveloSimulator(SimulatorOptions options) : fOptions(std::move(options)) {
  fOwnIp = ParseIPv4(fOptions.address).value_or(0);
  fDevice.SetOwnAddress(fOwnIp);
  fDevice.SetOwnPort(fOptions.port);
}

KaveloSimulator::~KaveloSimulator() {
  Stop();
  CloseSockets();
}

bool KaveloSimulator::Start(std::string* error) {
  if (IsRunning()) return true;
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    CloseSockets();
    return false;
  };
  const auto ip = ParseIPv4(fOptions.address);
  if (!ip) return fail("not an IPv4 address: " + fOptions.address);
  fOwnIp = *ip;

  if (::pipe2(fWakePipe, O_NONBLOCK | O_CLOEXEC) != 0) {
    return fail(std::string("pipe: ") + std::strerror(errno));
  }
  std::string why;
  fUnicastFd = OpenUdpSocket(fOwnIp, fOptions.port, false, &why);
  if (fUnicastFd < 0) return fail(why);

  struct Listen {
    uint32_t ip;
    bool required;
  };
  std::vector<Listen> extra;
  for (const std::string& text : fOptions.broadcastAddresses) {
    const auto a = ParseIPv4(text);
    if (!a) return fail("not an IPv4 address: " + text);
    extra.push_back({*a, true});
  }
  if (fOptions.interfaceBroadcasts) {
    if (const auto subnet = InterfaceBroadcastOf(fOwnIp)) {
      extra.push_back({kLimitedBroadcast, false});
      extra.push_back({*subnet, false});
    }
  }
  std::vector<uint32_t> bound;
  for (const Listen& l : extra) {
    if (l.ip == fOwnIp || std::find(bound.begin(), bound.end(), l.ip) != bound.end()) continue;
    const int fd = OpenUdpSocket(l.ip, fOptions.port, true, &why);
    if (fd < 0) {
      if (l.required) return fail(why);
      continue; // an address found on our own is a bonus, not a promise
    }
    fExtraFds.push_back(fd);
    fExtraAddresses.push_back(IPv4ToText(l.ip));
    bound.push_back(l.ip);
  }

  {
    std::lock_guard<std::mutex> lock(fMutex);
    fDevice.SetOwnAddress(fOwnIp);
    fDevice.SetOwnPort(fOptions.port);
  }
  fStop = false;
  fThread = std::thread(&KaveloSimulator::Run, this);
  return true;
}

void KaveloSimulator::Stop() {
  if (!fThread.joinable()) return;
  fStop = true;
  Wake();
  fThread.join();
  CloseSockets();
}

void KaveloSimulator::CloseSockets() {
  CloseFd(fUnicastFd);
  for (int& fd : fExtraFds)
    CloseFd(fd);
  fExtraFds.clear();
  fExtraAddresses.clear();
  CloseFd(fWakePipe[0]);
  CloseFd(fWakePipe[1]);
}

void KaveloSimulator::Wake() {
  if (fWakePipe[1] >= 0) {
    const uint8_t b = 1;
    [[maybe_unused]] const ssize_t n = ::write(fWakePipe[1], &b, 1);
  }
}

std::vector<std::string> KaveloSimulator::ListeningAddresses() const {
  std::vector<std::string> out{fOptions.address};
  out.insert(out.end(), fExtraAddresses.begin(), fExtraAddresses.end());
  return out;
}

void KaveloSimulator::Run() {
  struct Pending {
    Endpoint to;
    Bytes bytes;
    std::string note;
  };
  std::multimap<Clock::time_point, Pending> pending;
  // When a switched-off device switches itself on again; max() = not armed.
  constexpr Clock::time_point kNever = Clock::time_point::max();
  Clock::time_point powerOnAt = kNever;
  // Taken as on, so that a device started switched off arms the
  // power-on timer just as a power-off during the run does.
  bool wasOn = true;

  // Received frames, faults and power events, in the device's own order;
  // sent frames are traced when they really leave, after their delay.
  auto traceNew = [this] {
    const auto& log = fDevice.Log();
    if (log.empty()) return;
    // Sequence numbers are consecutive, so the first untraced entry is found
    // by arithmetic rather than by a walk over a long log.
    const uint64_t first = log.front().seq;
    for (size_t i = fTracedSeq + 1 > first ? fTracedSeq + 1 - first : 0; i < log.size(); ++i) {
      fTracedSeq = log[i].seq;
      if (fTrace && log[i].kind != LogEntry::Kind::Sent) fTrace(TraceLine(log[i]));
    }
  };

  std::vector<pollfd> fds;
  fds.push_back({fWakePipe[0], POLLIN, 0});
  fds.push_back({fUnicastFd, POLLIN, 0});
  for (int fd : fExtraFds)
    fds.push_back({fd, POLLIN, 0});

  while (!fStop) {
    auto now = Clock::now();
    auto until = now + std::chrono::milliseconds(kIdlePollMs);
    if (!pending.empty()) until = std::min(until, pending.begin()->first);
    until = std::min(until, powerOnAt);
    const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
    for (pollfd& p : fds)
      p.revents = 0;
    const int ready =
        ::poll(fds.data(), fds.size(), static_cast<int>(std::max<int64_t>(0, waitMs)));
    if (fStop) break;

    if (ready > 0) {
      if (fds[0].revents & POLLIN) {
        uint8_t drain[64];
        while (::read(fWakePipe[0], drain, sizeof drain) > 0) {
        }
      }
      for (size_t i = 1; i < fds.size(); ++i) {
        if (!(fds[i].revents & POLLIN)) continue;
        Datagram d;
        for (int k = 0; k < kMaxDatagramsPerTurn && ReceiveDatagram(fds[i].fd, d); ++k) {
          std::lock_guard<std::mutex> lock(fMutex);
          if (d.truncated) {
            if (fTrace) fTrace("RX " + EndpointToText(d.from) + " dropped: datagram too long");
            continue;
          }
          const auto at = Clock::now();
          for (Reply& r : fDevice.HandleDatagram(d.bytes.data(), d.bytes.size(), d.from)) {
            pending.emplace(at + std::chrono::milliseconds(r.delayMs),
                            Pending{r.to, std::move(r.bytes), std::move(r.note)});
          }
        }
      }
    }

    std::unique_lock<std::mutex> lock(fMutex);
    traceNew();
    now = Clock::now();
    while (!pending.empty() && pending.begin()->first <= now) {
      Pending p = std::move(pending.begin()->second);
      pending.erase(pending.begin());
      if (SendDatagram(fUnicastFd, p.to, p.bytes)) {
        ++fSent;
        if (fTrace) {
          fTrace(WithNote("TX " + EndpointToText(p.to) + " " +
                              DescribeFrame(p.bytes.data(), p.bytes.size()),
                          p.note));
        }
      } else if (fTrace) {
        fTrace("TX " + EndpointToText(p.to) + " failed: " + std::strerror(errno));
      }
    }

    bool on = fDevice.IsPoweredOn();
    if (wasOn && !on && fOptions.powerOnAfterMs > 0) {
      powerOnAt = now + std::chrono::milliseconds(fOptions.powerOnAfterMs);
    }
    if (on) powerOnAt = kNever;
    if (!on && powerOnAt != kNever && now >= powerOnAt) {
      fDevice.PowerOn();
      powerOnAt = kNever;
      on = true;
    }
    wasOn = on;

    traceNew();
    lock.unlock();
    fChanged.notify_all();
  }
}

void KaveloSimulator::PowerOn() {
  {
    std::lock_guard<std::mutex> lock(fMutex);
    fDevice.PowerOn();
  }
  Wake();
  fChanged.notify_all();
}

void KaveloSimulator::PowerOff() {
  {
    std::lock_guard<std::mutex> lock(fMutex);
    fDevice.PowerOff();
  }
  Wake();
  fChanged.notify_all();
}

bool KaveloSimulator::IsPoweredOn() const {
  std::lock_guard<std::mutex> lock(fMutex);
  return fDevice.IsPoweredOn();
}

bool KaveloSimulator::InUpdateMode() const {
  std::lock_guard<std::mutex> lock(fMutex);
  return fDevice.InUpdateMode();
}

void KaveloSimulator::SetPowerOnAfterMs(uint32_t ms) {
  std::lock_guard<std::mutex> lock(fMutex);
  fOptions.powerOnAfterMs = ms;
}

Bytes KaveloSimulator::ReadFlash(uint32_t addr, size_t n) const {
  std::lock_guard<std::mutex> lock(fMutex);
  return fDevice.ReadFlash(addr, n);
}

Bytes KaveloSimulator::FlashImage() const {
  std::lock_guard<std::mutex> lock(fMutex);
  return fDevice.Flash();
}

bool KaveloSimulator::PresetFlash(uint32_t addr, const Bytes& bytes) {
  std::lock_guard<std::mutex> lock(fMutex);
  return fDevice.PresetFlash(addr, bytes);
}

bool KaveloSimulator::LoadFlash(const Bytes& image) {
  std::lock_guard<std::mutex> lock(fMutex);
  return fDevice.LoadFlash(image);
}

void KaveloSimulator::EraseAllFlash() {
  std::lock_guard<std::mutex> lock(fMutex);
  fDevice.EraseAllFlash();
}

uint64_t KaveloSimulator::FlashChangeCount() const {
  std::lock_guard<std::mutex> lock(fMutex);
  return fDevice.FlashChangeCount();
}

ControlBlock KaveloSimulator::GetControlBlock() const {
  std::lock_guard<std::mutex> lock(fMutex);
  return fDevice.GetControlBlock();
}

void KaveloSimulator::PresetControlBlock(const ControlBlock& cb) {
  std::lock_guard<std::mutex> lock(fMutex);
  fDevice.PresetControlBlock(cb);
}

void KaveloSimulator::PresetInstalledVersions(uint32_t hm, uint32_t rm, uint32_t resources) {
  std::lock_guard<std::mutex> lock(fMutex);
  fDevice.PresetInstalledVersions(hm, rm, resources);
}

InstallCounts KaveloSimulator::Installs() const {
  std::lock_guard<std::mutex> lock(fMutex);
  return fDevice.Installs();
}

void KaveloSimulator::SetFaults(const FaultRules& rules) {
  std::lock_guard<std::mutex> lock(fMutex);
  fDevice.SetFaults(rules);
}

FaultRules KaveloSimulator::Faults() const {
  std::lock_guard<std::mutex> lock(fMutex);
  return fDevice.Faults();
}

FaultStats KaveloSimulator::Stats() const {
  std::lock_guard<std::mutex> lock(fMutex);
  return fDevice.Stats();
}

std::vector<LogEntry> KaveloSimulator::Log() const {
  std::lock_guard<std::mutex> lock(fMutex);
  return {fDevice.Log().begin(), fDevice.Log().end()};
}

void KaveloSimulator::ClearLog() {
  std::lock_guard<std::mutex> lock(fMutex);
  fDevice.ClearLog();
}

bool KaveloSimulator::WaitFor(const std::function<bool(const KaveloDevice&)>& pred,
                              std::chrono::milliseconds timeout) const {
  const auto deadline = Clock::now() + timeout;
  std::unique_lock<std::mutex> lock(fMutex);
  while (!pred(fDevice)) {
    const auto now = Clock::now();
    if (now >= deadline) return false;
    const auto slice = std::min<Clock::duration>(deadline - now, std::chrono::milliseconds(10));
    fChanged.wait_for(lock, slice);
  }
  return true;
}

void KaveloSimulator::SetTrace(std::function<void(const std::string&)> sink) {
  std::lock_guard<std::mutex> lock(fMutex);
  fTrace = std::move(sink);
}

} // namespace kavelosim
