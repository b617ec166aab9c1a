// Whole updates through the real window over real UDP against the simulated handheld on a
// network that is slow now and then: duplicated, late and jittered replies must never end them.

#include "ui/SimFormFixture.h"

namespace kavelo::test {
namespace {

struct SlowCase {
  const char* Name;
  bool RadioModule;
  std::function<kavelosim::FaultRules()> Rules;
};

class SlowWifi : public SimFormTest, public ::testing::WithParamInterface<SlowCase> {};

TEST_P(SlowWifi, TheUpdateCompletesAndTheFlashHoldsTheImages) {
  const auto& c = GetParam();
  fSim->PresetInstalledVersions(0x100, 0x100, 0x100);
  fSim->SetFaults(c.Rules());
  const TBytes finalFrame = c.RadioModule ? TBytes{0x04, 0x00, 0x32, 0x00} : TBytes{0x04, 0x00, 0x31, 0x00};
  if (c.RadioModule)
    fForm->BitBtnUpdateRMClick();
  else
    fForm->BitBtnUpdateHMClick();
  ASSERT_TRUE(AwaitReceived(finalFrame)) << Log().join('\n').toStdString();
  ASSERT_EQ(fWaiter->Boxes.size(), 1u) << Log().join('\n').toStdString();
  EXPECT_TRUE(fWaiter->Boxes[0].Text.startsWith(c.RadioModule ? "Turn on the Kavelo" : "Calibrate control knob!"))
      << fWaiter->Boxes[0].Text.toStdString();
  EXPECT_EQ(fSim->ReadFlash(0x400, ImageBytes(c.RadioModule ? kImageRadioModule : kImageFirmware).size()),
            ImageBytes(c.RadioModule ? kImageRadioModule : kImageFirmware));
  EXPECT_EQ(fSim->ReadFlash(0x3A000, 21620), ImageBytes(kImageLanguages));
  const auto stats = fSim->Stats();
  EXPECT_GT(stats.duplicated + stats.delayed, 0u); // the network did misbehave
  EXPECT_TRUE(ButtonsEnabled());
}

kavelosim::FaultRules Rules(uint64_t seed, const std::function<void(kavelosim::FaultRules&)>& set) {
  kavelosim::FaultRules rules;
  rules.seed = seed;
  set(rules);
  return rules;
}

using kavelosim::Command;
using kavelosim::ReplySelector;

INSTANTIATE_TEST_SUITE_P(
    Table, SlowWifi,
    ::testing::Values(
        SlowCase{"Duplicates5Percent", false,
                 [] { return Rules(3, [](auto& r) { r.duplicate.push_back(ReplySelector::Rate(0.05)); }); }},
        SlowCase{"Delayed250ms5Percent", false,
                 [] { return Rules(4, [](auto& r) { r.delay.push_back({ReplySelector::Rate(0.05), 250}); }); }},
        SlowCase{"BusyWifi", false,
                 [] {
                   return Rules(5, [](auto& r) {
                     r.jitter = kavelosim::kBusyWifiJitter;
                     r.duplicate.push_back(ReplySelector::Rate(kavelosim::kBusyWifiDuplicateRate));
                   });
                 }},
        // Every verify reply 600 ms late: after the 500 ms timeout, while the retry or the next
        // pass waits.
        SlowCase{"RadioModuleWithLateVerifyReplies", true,
                 [] { return Rules(6, [](auto& r) { r.delay.push_back({ReplySelector::All(Command::Verify), 600}); }); }},
        SlowCase{"RadioModuleDuplicates5Percent", true,
                 [] { return Rules(7, [](auto& r) { r.duplicate.push_back(ReplySelector::Rate(0.05)); }); }}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace kavelo::test
