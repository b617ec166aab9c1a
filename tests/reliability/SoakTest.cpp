// Whole Kavelo updates over a lossy network: lost, duplicated, late and jittered replies, seeded
// so that every run can be repeated. A run that reports success must have left the handheld
// right; a run that aborts must leave a handheld that a second run brings to the right state.

#include "reliability/ReliabilityFixture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kavelo::test {
namespace {

struct SoakSetting {
  const char* Name;
  std::function<kavelosim::FaultRules(uint64_t seed)> Rules;
  int Runs;
  // Probability that one reply is lost; 0 where nothing is lost and every run must complete.
  double LossRate;
};

// Requests of one update on a network that behaves: every one is an exchange of its own.
size_t RequestsOfACleanUpdate(const kavelosim::KaveloDevice& device) {
  return static_cast<size_t>(std::count_if(device.Log().begin(), device.Log().end(), [](const auto& e) {
    if (e.kind != kavelosim::LogEntry::Kind::Received || e.bytes.size() < 4) return false;
    const uint16_t header = ReadLE16(e.bytes.data() + 2);
    return header == 0x00B0 || header == 0x0041;
  }));
}

class Soak : public ReliabilityTest, public ::testing::WithParamInterface<SoakSetting> {
protected:
  size_t ExchangesPerUpdate() {
    auto bench = NewHandheld();
    EXPECT_EQ(Run(*bench, &RunHandheldUpdate), TOutcome::Completed);
    fClock->Advance(10000);
    return RequestsOfACleanUpdate(bench->Device);
  }
};

TEST_P(Soak, SuccessMeansTheHandheldIsRightAndEveryAbortIsRecoverable) {
  const auto& setting = GetParam();
  const size_t exchanges = ExchangesPerUpdate();
  int completed = 0, aborted = 0, recovered = 0, silentCorruption = 0, abortedAtEntry = 0;
  for (int run = 0; run < setting.Runs; ++run) {
    auto bench = NewHandheld();
    bench->Device.SetFaults(setting.Rules(1000 + static_cast<uint64_t>(run)));
    if (Run(*bench, &RunHandheldUpdate) == TOutcome::Completed) {
      ++completed;
      if (!HoldsTheHandheldUpdate(*bench)) ++silentCorruption;
      continue;
    }
    ++aborted;
    // The update-mode request has a single try by design; losing its reply ends the run before
    // anything was changed.
    if (std::find(fLastLog.begin(), fLastLog.end(), "Initializing update failed: Nothing received") != fLastLog.end())
      ++abortedAtEntry;
    // The same update again, on a network that behaves, once the user has read the failure box
    // (replies still on their way by then have long arrived).
    fClock->Advance(10000);
    bench->Device.SetFaults({});
    if (Run(*bench, &RunHandheldUpdate) == TOutcome::Completed && HoldsTheHandheldUpdate(*bench)) ++recovered;
  }
  const int abortedLater = aborted - abortedAtEntry;
  // After update mode every exchange has 5 tries, each lost on its own with the loss rate: one
  // fails with p^5, so the runs together expect runs x exchanges x p^5 such aborts (1 %: 6e-6,
  // 5 %: 0.02, 10 %: about 0.6 for some 290 exchanges). Allowed: that expectation and three
  // standard deviations of its Poisson count, rounded down.
  const double expectedLater = setting.Runs * static_cast<double>(exchanges) * std::pow(setting.LossRate, 5);
  const int allowedLater = static_cast<int>(std::floor(expectedLater + 3 * std::sqrt(expectedLater)));
  std::printf("[soak] %-22s runs %3d  completed %3d  aborted %3d (%d at update-mode entry, %d later; "
              "%.3f later expected over %zu exchanges a run)  recovered %3d  silent corruption %d\n",
              setting.Name, setting.Runs, completed, aborted, abortedAtEntry, abortedLater, expectedLater,
              exchanges, recovered, silentCorruption);
  RecordProperty("completed", completed);
  RecordProperty("aborted", aborted);
  EXPECT_EQ(silentCorruption, 0);
  EXPECT_EQ(recovered, aborted);
  EXPECT_LE(abortedLater, allowedLater);
  if (setting.LossRate == 0) {
    EXPECT_EQ(completed, setting.Runs);
  }
}

kavelosim::FaultRules Seeded(uint64_t seed) {
  kavelosim::FaultRules rules;
  rules.seed = seed;
  return rules;
}

kavelosim::FaultRules Loss(double rate, uint64_t seed) {
  auto rules = Seeded(seed);
  rules.lose.push_back(kavelosim::ReplySelector::Rate(rate));
  return rules;
}

kavelosim::FaultRules Delayed(double rate, uint32_t ms, uint64_t seed) {
  auto rules = Seeded(seed);
  rules.delay.push_back({kavelosim::ReplySelector::Rate(rate), ms});
  return rules;
}

// A reply held back until the reply to the tool's next request goes out. Only flash replies:
// the update-mode request has one try and nothing follows it for 5 s, so holding its reply is a
// loss, which the loss rows cover.
kavelosim::FaultRules HeldBack(double rate, uint64_t seed) {
  using kavelosim::Command;
  auto rules = Seeded(seed);
  for (Command c : {Command::Erase, Command::BlankCheck, Command::Read, Command::Write, Command::Verify})
    rules.late.push_back(kavelosim::ReplySelector::Rate(rate, c));
  return rules;
}

INSTANTIATE_TEST_SUITE_P(
    Settings, Soak,
    ::testing::Values(SoakSetting{"Loss1Percent", [](uint64_t s) { return Loss(0.01, s); }, 200, 0.01},
                      SoakSetting{"Loss5Percent", [](uint64_t s) { return Loss(0.05, s); }, 200, 0.05},
                      SoakSetting{"Loss10Percent", [](uint64_t s) { return Loss(0.10, s); }, 200, 0.10},
                      SoakSetting{"Duplicates5Percent",
                                  [](uint64_t s) {
                                    auto rules = Seeded(s);
                                    rules.duplicate.push_back(kavelosim::ReplySelector::Rate(0.05));
                                    return rules;
                                  },
                                  200, 0},
                      SoakSetting{"LateReplies2Percent", [](uint64_t s) { return HeldBack(0.02, s); }, 200, 0},
                      SoakSetting{"Delayed250ms5Percent", [](uint64_t s) { return Delayed(0.05, 250, s); }, 200, 0},
                      SoakSetting{"Delayed600ms5Percent", [](uint64_t s) { return Delayed(0.05, 600, s); }, 200, 0},
                      SoakSetting{"BusyWifi",
                                  [](uint64_t s) {
                                    auto rules = Seeded(s);
                                    rules.jitter = kavelosim::kBusyWifiJitter;
                                    rules.duplicate.push_back(
                                        kavelosim::ReplySelector::Rate(kavelosim::kBusyWifiDuplicateRate));
                                    return rules;
                                  },
                                  200, 0}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace kavelo::test
