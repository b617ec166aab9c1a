// Writes the radio-module image (232820 bytes) to the in-process simulated handheld on loopback
// and prints the median milliseconds per write exchange: with the tool's event-driven wait, and
// with a wait that only looks every 10 ms.

#include "KaveloSimulator.h"
#include "common/FakePlatform.h"
#include "handheld/Kavelo.h"
#include "handheld/Waiting.h"

#include <QBuffer>
#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The plain polling wait: sleep 10 ms, run the events, look.
class TPollingWaiter : public kavelo::TEventLoopWaiter {
public:
  bool WaitUntil(uint32_t TimeoutMs, const std::function<bool()>& Condition) override {
    const auto start = Clock::now();
    for (;;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      QCoreApplication::processEvents();
      if (Condition()) return true;
      if (Clock::now() - start >= std::chrono::milliseconds(TimeoutMs)) return false;
    }
  }
};

double MedianMsPerWrite(const std::string& prefix, std::shared_ptr<kavelo::IWaiter> waiter,
                        size_t& exchanges) {
  kavelosim::SimulatorOptions options;
  options.address = prefix + ".2";
  options.interfaceBroadcasts = false;
  kavelosim::KaveloSimulator sim(options);
  std::string error;
  if (!sim.Start(&error)) {
    std::fprintf(stderr, "simulator: %s\n", error.c_str());
    return -1;
  }
  auto previous = kavelo::SetWaiter(waiter);
  kavelo::TKavelo kavelo;
  std::vector<Clock::time_point> marks;
  kavelo.SetProgress([&](const void*, int32_t, int32_t) { marks.push_back(Clock::now()); });
  QString err;
  double median = -1;
  if (kavelo.Connect(QString::fromStdString(prefix + ".2"), 21105) && kavelo.HMUpdateInit(err)) {
    std::vector<uint8_t> image(232820);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 131 + 7);
    sim.EraseAllFlash();
    QBuffer stream;
    stream.setData(reinterpret_cast<const char*>(image.data()), static_cast<qsizetype>(image.size()));
    stream.open(QIODevice::ReadOnly);
    marks.clear();
    if (kavelo.WriteFlash(0x400, 0x400 + 232820, 256, stream, err)) {
      std::vector<double> per;
      // Progress comes before the first and after every exchange; the last report repeats.
      for (size_t i = 1; i + 1 < marks.size(); ++i)
        per.push_back(std::chrono::duration<double, std::milli>(marks[i] - marks[i - 1]).count());
      exchanges = per.size();
      std::sort(per.begin(), per.end());
      if (!per.empty()) median = per[per.size() / 2];
    } else {
      std::fprintf(stderr, "write failed: %s\n", err.toLocal8Bit().constData());
    }
  }
  kavelo.Disconnect();
  kavelo::SetWaiter(previous);
  return median;
}

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  auto platform = std::make_shared<kavelo::test::TFakePlatform>();
  platform->Adapters = {{"lo", "127.77.3.1", "255.255.255.0"}};
  platform->Arp = std::vector<kavelo::TArpRow>{};
  kavelo::test::TScopedPlatform scope(platform);
  size_t n1 = 0, n2 = 0;
  const double real = MedianMsPerWrite("127.77.3", std::make_shared<kavelo::TEventLoopWaiter>(), n1);
  const double polling = MedianMsPerWrite("127.77.3", std::make_shared<TPollingWaiter>(), n2);
  std::printf("write exchanges: %zu (event-driven), %zu (polling)\n", n1, n2);
  std::printf("median ms per write exchange: event-driven %.3f, polling every 10 ms %.3f\n", real, polling);
  if (real > 0 && polling > 0) std::printf("speed-up: %.1fx (target: at least 10x)\n", polling / real);
  return real > 0 && polling > 0 ? 0 : 1;
}
