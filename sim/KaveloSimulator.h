// The simulated handheld on a real UDP socket, run on its own thread, for
// tests that go through the operating system's network stack and for the
// kavelo-sim program. All access to the device goes through one mutex, so
// every method may be called from any thread while the simulator runs.
#pragma once

#include "KaveloDevice.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kavelosim {

struct SimulatorOptions {
  std::string address = "127.0.0.2";
  uint16_t port = kDefaultPort;
  // Extra addresses to receive datagrams on, typically broadcast addresses:
  // on Linux a socket bound to a unicast address never sees a broadcast.
  std::vector<std::string> broadcastAddresses;
  // Also listen on 255.255.255.255 and on the subnet broadcast address of
  // the interface that holds `address`, when that interface broadcasts.
  // Loopback does not, so a simulator on 127.x never hears a broadcast.
  bool interfaceBroadcasts = true;
  // After a power-off, switch on again by itself after this long (0 = stay
  // off until PowerOn is called).
  uint32_t powerOnAfterMs = 0;
};

class KaveloSimulator {
public:
  explicit KaveloSimulator(const std::string& address = "127.0.0.2", uint16_t port = kDefaultPort);
  explicit KaveloSimulator(SimulatorOptions options);
  ~KaveloSimulator();
  KaveloSimulator(const KaveloSimulator&) = delete;
  KaveloSimulator& operator=(const KaveloSimulator&) = delete;

  // Binds the sockets and starts the thread. On failure returns false and
  // puts the reason into *error; nothing stays open.
  bool Start(std::string* error = nullptr);
  // Returns within a few milliseconds; replies still waiting for their
  // delay are dropped. Safe to call twice.
  void Stop();
  bool IsRunning() const { return fThread.joinable(); }

  const SimulatorOptions& Options() const { return fOptions; }
  // The unicast address first, then every further address bound.
  std::vector<std::string> ListeningAddresses() const;

  void PowerOn();
  void PowerOff();
  bool IsPoweredOn() const;
  bool InUpdateMode() const;
  void SetPowerOnAfterMs(uint32_t ms);

  Bytes ReadFlash(uint32_t addr, size_t n) const;
  Bytes FlashImage() const;
  bool PresetFlash(uint32_t addr, const Bytes& bytes);
  bool LoadFlash(const Bytes& image);
  void EraseAllFlash();
  uint64_t FlashChangeCount() const;
  ControlBlock GetControlBlock() const;
  void PresetControlBlock(const ControlBlock& cb);
  void PresetInstalledVersions(uint32_t hm, uint32_t rm, uint32_t resources);
  InstallCounts Installs() const;

  void SetFaults(const FaultRules& rules);
  FaultRules Faults() const;
  FaultStats Stats() const;

  std::vector<LogEntry> Log() const;
  void ClearLog();
  // Datagrams actually handed to the socket (after delays, lost ones not).
  uint64_t DatagramsSent() const { return fSent.load(); }

  // Anything else: runs f on the device under the lock.
  template <class F> auto WithDevice(F&& f) {
    std::lock_guard<std::mutex> lock(fMutex);
    return f(fDevice);
  }

  // Waits until pred holds for the device, at most `timeout`; the check runs
  // after every handled datagram and at least every 10 ms.
  bool WaitFor(const std::function<bool(const KaveloDevice&)>& pred,
               std::chrono::milliseconds timeout) const;

  // One line per frame received, sent, lost or held, and per power event,
  // called on the simulator's thread: "RX 127.0.0.1:21105 E4 addr=... n=256".
  void SetTrace(std::function<void(const std::string&)> sink);

private:
  void Run();
  void CloseSockets();
  void Wake();

  SimulatorOptions fOptions;
  uint32_t fOwnIp = 0;
  mutable std::mutex fMutex;
  mutable std::condition_variable fChanged;
  KaveloDevice fDevice;
  std::function<void(const std::string&)> fTrace;
  uint64_t fTracedSeq = 0;

  int fUnicastFd = -1;
  std::vector<int> fExtraFds;
  std::vector<std::string> fExtraAddresses;
  int fWakePipe[2] = {-1, -1};
  std::thread fThread;
  std::atomic<bool> fStop{false};
  std::atomic<uint64_t> fSent{0};
};

} // namespace kavelosim
