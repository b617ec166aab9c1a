// An update over real UDP while another host floods the tool's port with garbage, oversized
// datagrams and announcements: the update completes, memory stays bounded and the event loop
// keeps running.

#include "KaveloSimulator.h"
#include "common/FastSettleWaiter.h"
#include "common/LoopbackPair.h"
#include "platform/UdpSocket.h"
#include "reliability/ReliabilityFixture.h"

#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <random>
#include <thread>

namespace kavelo::test {
namespace {

// AddressSanitizer keeps freed memory in quarantine (256 MB by default), which reads as growth.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kGrowthLimitKiB = 300 * 1024;
#else
constexpr long kGrowthLimitKiB = 32 * 1024;
#endif

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = 0;
  while (status >> key) {
    if (key == "VmRSS:") {
      status >> value;
      return value;
    }
    status.ignore(1 << 12, '\n');
  }
  return 0;
}

class QuietWaiter : public TFastSettleWaiter {
public:
  bool RealDelays = false;
  void Delay(uint32_t Milliseconds) override {
    if (RealDelays)
      TEventLoopWaiter::Delay(Milliseconds);
    else
      TFastSettleWaiter::Delay(Milliseconds);
  }
  // Goes on at the version question (the handheld already holds this version from the
  // previous run) and notes every other box.
  int ShowMessageBox(const QString& Text, const QString&, uint32_t Flags) override {
    if ((Flags & 0x0F) == 0x04) return IDYES;
    Boxes.push_back(Text);
    return IDOK;
  }
  std::vector<QString> Boxes;
};

// Sends hostile datagrams to target until stopped, from its own loopback address.
class TFlood {
public:
  TFlood(const std::string& from, const std::string& target) {
    fOk = fSocket.Bind(StrToIP(QString::fromStdString(from), 0), 0);
    fTarget = StrToIP(QString::fromStdString(target), 0);
    if (fOk) fThread = std::thread([this] { Run(); });
  }
  ~TFlood() { Stop(); }
  void Stop() {
    fStop = true;
    if (fThread.joinable()) fThread.join();
  }
  bool Ok() const { return fOk; }
  uint64_t Sent() const { return fSent; }

private:
  void Run() {
    std::mt19937 random(7);
    std::vector<uint8_t> buffer(65000);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fStop && std::chrono::steady_clock::now() < end) {
      size_t size = 0;
      switch (random() % 4) {
      case 0: // garbage of any length, oversized ones included
        size = random() % 12000;
        for (size_t i = 0; i < size; ++i) buffer[i] = static_cast<uint8_t>(random());
        break;
      case 1: // far beyond the receive buffer
        size = 60000;
        break;
      case 2: // announcements, several per datagram
        for (int k = 0; k < 8; ++k) {
          const uint8_t frame[] = {0x05, 0x00, 0x10, 0x00, 0x01};
          std::copy(frame, frame + 5, buffer.begin() + size);
          size += 5;
        }
        break;
      default: { // frames of other headers, with lengths that lie
        size = 4 + random() % 200;
        for (size_t i = 0; i < size; ++i) buffer[i] = static_cast<uint8_t>(random());
        uint16_t header = static_cast<uint16_t>(random());
        if (header == 0x00B0 || header == 0x0041) header = 0x00B1; // a forged reply is another story
        buffer[2] = static_cast<uint8_t>(header);
        buffer[3] = static_cast<uint8_t>(header >> 8);
      }
      }
      if (fSocket.SendTo(fTarget, 21105, buffer.data(), size)) ++fSent;
      // About 5000 datagrams a second: far more than any hobbyist's network carries.
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }
  TUdpSocket fSocket;
  uint32_t fTarget = 0;
  bool fOk = false;
  std::atomic<bool> fStop{false};
  std::atomic<uint64_t> fSent{0};
  std::thread fThread;
};

TEST(HostileLan, AnUpdateCompletesUnderAFloodWithBoundedMemoryAndARunningEventLoop) {
  const std::string prefix = LoopbackPrefixForCurrentTest();
  TScopedPlatform platform(LoopbackPairPlatform(prefix));
  auto waiter = std::make_shared<QuietWaiter>();
  TScopedWaiter waiterScope(waiter);
  kavelosim::SimulatorOptions options;
  options.address = prefix + ".2";
  options.interfaceBroadcasts = false;
  kavelosim::KaveloSimulator sim(options);
  ASSERT_TRUE(sim.Start());
  sim.PresetInstalledVersions(0x100, 0x100, 0x100);
  sim.WithDevice([](kavelosim::KaveloDevice& d) { d.SetLogLimit(1000); return 0; });
  TRecordingView view;
  ASSERT_TRUE(view.Kavelo().Connect(QString::fromStdString(prefix + ".2"), 21105));

  // The event loop's pulse: the longest gap between ticks of a 10 ms timer.
  QElapsedTimer pulse;
  pulse.start();
  qint64 last = 0, longestGap = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    longestGap = std::max(longestGap, pulse.elapsed() - last);
    last = pulse.elapsed();
  });
  ticker.start(10);

  // Warm up once, so that the first run's allocations do not count as growth.
  RunHandheldUpdate(view);
  ASSERT_FALSE(waiter->Boxes.empty());
  ASSERT_TRUE(waiter->Boxes.back().startsWith("Calibrate"));
  const long before = ResidentKiB();

  TFlood flood(prefix + ".3", prefix + ".1");
  ASSERT_TRUE(flood.Ok());
  waiter->Boxes.clear();
  last = pulse.elapsed();
  longestGap = 0;
  // With its real settle delays the update takes some seconds under fire.
  waiter->RealDelays = true;
  RunHandheldUpdate(view);
  flood.Stop();
  const long after = ResidentKiB();
  std::printf("[hostile] %llu hostile datagrams, resident memory %ld KiB before, %ld KiB after, "
              "longest event-loop gap %lld ms, peers noted %lld\n",
              static_cast<unsigned long long>(flood.Sent()), before, after,
              static_cast<long long>(longestGap), static_cast<long long>(view.Kavelo().PeerIPs().size()));
  RecordProperty("hostile_datagrams", static_cast<int>(flood.Sent()));
  RecordProperty("rss_growth_kib", static_cast<int>(after - before));
  ASSERT_EQ(waiter->Boxes.size(), 1u);
  for (const auto& box : waiter->Boxes)
    EXPECT_TRUE(box.startsWith("Calibrate")) << box.toStdString() << " after " << view.Log.join("\n").toStdString();
  EXPECT_GT(flood.Sent(), 1000u);
  EXPECT_LT(after - before, kGrowthLimitKiB);
  EXPECT_LT(longestGap, 500);
  EXPECT_LE(view.Kavelo().PeerIPs().size(), 1024);
}

} // namespace
} // namespace kavelo::test
