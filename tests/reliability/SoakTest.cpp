// Whole Kavelo updates over a lossy network: lost, duplicated and late replies, seeded so that
// every run can be repeated. A run that reports success must have left the handheld right; a run
// that aborts must leave a handheld that a second run brings to the right state.

#include "reliability/ReliabilityFixture.h"

#include <algorithm>
#include <cstdio>

namespace kavelo::test {
namespace {

struct SoakSetting {
  const char* Name;
  std::function<kavelosim::FaultRules(uint64_t seed)> Rules;
  int Runs;
  bool NoAbortAllowed;
};

class Soak : public ReliabilityTest, public ::testing::WithParamInterface<SoakSetting> {};

TEST_P(Soak, SuccessMeansTheHandheldIsRightAndEveryAbortIsRecoverable) {
  const auto& setting = GetParam();
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
  std::printf("[soak] %-20s runs %3d  completed %3d  aborted %3d (%d at update-mode entry)  recovered %3d  "
              "silent corruption %d\n",
              setting.Name, setting.Runs, completed, aborted, abortedAtEntry, recovered, silentCorruption);
  RecordProperty("completed", completed);
  RecordProperty("aborted", aborted);
  EXPECT_EQ(silentCorruption, 0);
  EXPECT_EQ(recovered, aborted);
  if (setting.NoAbortAllowed) {
    EXPECT_EQ(aborted, abortedAtEntry);
  }
}

kavelosim::FaultRules Loss(double rate, uint64_t seed) {
  kavelosim::FaultRules rules;
  rules.seed = seed;
  rules.lose.push_back(kavelosim::ReplySelector::Rate(rate));
  return rules;
}

INSTANTIATE_TEST_SUITE_P(
    Settings, Soak,
    ::testing::Values(
        SoakSetting{"Loss1Percent", [](uint64_t s) { return Loss(0.01, s); }, 200, true},
        SoakSetting{"Loss5Percent", [](uint64_t s) { return Loss(0.05, s); }, 200, false},
        SoakSetting{"Loss10Percent", [](uint64_t s) { return Loss(0.10, s); }, 200, false},
        SoakSetting{"Duplicates5Percent",
                    [](uint64_t s) {
                      kavelosim::FaultRules rules;
                      rules.seed = s;
                      rules.duplicate.push_back(kavelosim::ReplySelector::Rate(0.05));
                      return rules;
                    },
                    200, false},
        SoakSetting{"LateReplies",
                    [](uint64_t s) {
                      kavelosim::FaultRules rules;
                      rules.seed = s;
                      rules.late.push_back(kavelosim::ReplySelector::Rate(0.02));
                      return rules;
                    },
                    200, false},
        SoakSetting{"DelayedReplies",
                    [](uint64_t s) {
                      kavelosim::FaultRules rules;
                      rules.seed = s;
                      rules.delay.push_back({kavelosim::ReplySelector::Rate(0.05), 250});
                      return rules;
                    },
                    200, false}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace kavelo::test
