// The handheld stops answering after k frames, for every k of a whole update: the tool must never
// report success for a handheld it did not finish, never restart after a failed step, and a
// second run must then complete with the flash equal to the images.

#include "reliability/ReliabilityFixture.h"

#include <cstdio>

namespace kavelo::test {
namespace {

struct CutCase {
  const char* Name;
  void (*Sequence)(IUpdateView&);
  ::testing::AssertionResult (*Holds)(const TSimDeviceBench&);
  uint32_t Step;
};

class CutEveryStep : public ReliabilityTest, public ::testing::WithParamInterface<CutCase> {
public:
  static ::testing::AssertionResult HM(const TSimDeviceBench& b) { return HoldsTheHandheldUpdate(b); }
  static ::testing::AssertionResult RM(const TSimDeviceBench& b) { return HoldsTheRadioModuleUpdate(b); }
};

bool SentAfterTheCut(const TSimDeviceBench& bench, uint8_t header) {
  for (const auto& e : bench.Device.Log())
    if (e.kind == kavelosim::LogEntry::Kind::Received && e.note.find("vanished") != std::string::npos &&
        e.bytes.size() == 4 && e.bytes[2] == header)
      return true;
  return false;
}

TEST_P(CutEveryStep, NeverReportsSuccessForAnUnfinishedHandheldAndASecondRunCompletes) {
  const auto& c = GetParam();
  // A clean run tells how many frames an update sends.
  auto clean = NewHandheld();
  ASSERT_EQ(Run(*clean, c.Sequence), TOutcome::Completed);
  const uint64_t frames = clean->FramesSent;
  int cuts = 0, reportedFailure = 0;
  for (uint64_t k = 1; k < frames; k += c.Step) {
    auto bench = NewHandheld();
    kavelosim::FaultRules rules;
    rules.vanishAfterFrames = static_cast<uint32_t>(k);
    bench->Device.SetFaults(rules);
    const TOutcome outcome = Run(*bench, c.Sequence);
    ++cuts;
    if (outcome == TOutcome::Completed) {
      // Only the unanswered last frames (the restart or switch-off) can be missing then.
      EXPECT_TRUE(c.Holds(*bench)) << "k = " << k;
      EXPECT_GE(k, frames - 2) << "reported success although cut at frame " << k;
    } else {
      ++reportedFailure;
      EXPECT_FALSE(SentAfterTheCut(*bench, 0x31)) << "restart after a failed step, k = " << k;
      EXPECT_FALSE(SentAfterTheCut(*bench, 0x32)) << "switch-off after a failed step, k = " << k;
    }
    bench->Device.SetFaults({});
    bench->Device.PowerOff();
    bench->Device.PowerOn();
    ASSERT_EQ(Run(*bench, c.Sequence), TOutcome::Completed) << "second run after a cut at " << k;
    EXPECT_TRUE(c.Holds(*bench)) << "after the second run, cut at " << k;
  }
  std::printf("[cut] %-16s %llu frames, %d cuts, %d reported as failed\n", c.Name,
              static_cast<unsigned long long>(frames), cuts, reportedFailure);
  RecordProperty("cuts", cuts);
}

INSTANTIATE_TEST_SUITE_P(Sequences, CutEveryStep,
                         ::testing::Values(CutCase{"UpdateKavelo", &RunHandheldUpdate, &CutEveryStep::HM, 1},
                                           CutCase{"UpdateRadioModule", &RunRadioModuleUpdate, &CutEveryStep::RM, 1}),
                         [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace kavelo::test
