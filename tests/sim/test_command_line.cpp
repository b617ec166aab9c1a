// The option parser of kavelo-sim, without starting the program.
#include "SimCommandLine.h"

#include <gtest/gtest.h>

using namespace kavelosim;

namespace {

bool Parse(std::vector<const char*> args, CommandLine& cl, std::string* error = nullptr) {
  args.insert(args.begin(), "kavelo-sim");
  return ParseCommandLine(static_cast<int>(args.size()), args.data(), cl, error);
}

TEST(CommandLine, DefaultsMatchTheRunCommandsPartner) {
  CommandLine cl;
  ASSERT_TRUE(Parse({}, cl));
  EXPECT_EQ(cl.sim.address, "127.0.0.2");
  EXPECT_EQ(cl.sim.port, 21105);
  EXPECT_TRUE(cl.flashFile.empty());
  EXPECT_FALSE(cl.verbose);
  EXPECT_TRUE(cl.faults.lose.empty());
}

TEST(CommandLine, FaultOptionsBecomeRules) {
  CommandLine cl;
  ASSERT_TRUE(Parse({"--seed",
                     "99",
                     "--loss-rate",
                     "0.25",
                     "--lose-nth",
                     "E4:3",
                     "--lose-all",
                     "verify",
                     "--delay-ms",
                     "40",
                     "--delay",
                     "erase:500",
                     "--duplicate-rate",
                     "0.1",
                     "--late-nth",
                     "read:2",
                     "--corrupt-readback",
                     "5",
                     "--wrong-echo",
                     "0",
                     "--stuck-byte",
                     "0x3A010",
                     "--vanish-after",
                     "100",
                     "-v"},
                    cl));
  const FaultRules& f = cl.faults;
  EXPECT_EQ(f.seed, 99u);
  ASSERT_EQ(f.lose.size(), 3u);
  EXPECT_DOUBLE_EQ(f.lose[0].rate, 0.25);
  EXPECT_EQ(f.lose[1].command, Command::Write);
  EXPECT_EQ(f.lose[1].nth, 3u);
  EXPECT_EQ(f.lose[2].command, Command::Verify);
  EXPECT_EQ(f.lose[2].nth, 0u);
  ASSERT_EQ(f.delay.size(), 2u);
  EXPECT_EQ(f.delay[0].ms, 40u);
  EXPECT_EQ(f.delay[1].which.command, Command::Erase);
  EXPECT_EQ(f.delay[1].ms, 500u);
  ASSERT_EQ(f.duplicate.size(), 1u);
  ASSERT_EQ(f.late.size(), 1u);
  EXPECT_EQ(f.late[0].nth, 2u);
  ASSERT_EQ(f.corruptReadback.size(), 1u);
  EXPECT_EQ(f.corruptReadback[0].nth, 5u);
  ASSERT_EQ(f.wrongEcho.size(), 1u);
  EXPECT_EQ(f.wrongEcho[0].nth, 0u);
  EXPECT_EQ(f.stuckBytes, std::vector<uint32_t>{0x3A010});
  EXPECT_EQ(f.vanishAfterFrames, 100u);
  EXPECT_TRUE(cl.verbose);
}

TEST(CommandLine, JitterAndTheBusyWifiProfile) {
  CommandLine cl;
  ASSERT_TRUE(Parse({"--jitter-ms", "3:250"}, cl));
  EXPECT_EQ(cl.faults.jitter.medianMs, 3u);
  EXPECT_EQ(cl.faults.jitter.p99Ms, 250u);
  EXPECT_TRUE(cl.faults.duplicate.empty());

  CommandLine busy;
  ASSERT_TRUE(Parse({"--busy-wifi", "--seed", "4"}, busy));
  EXPECT_EQ(busy.faults.jitter.medianMs, kBusyWifiJitter.medianMs);
  EXPECT_EQ(busy.faults.jitter.p99Ms, kBusyWifiJitter.p99Ms);
  ASSERT_EQ(busy.faults.duplicate.size(), 1u);
  EXPECT_DOUBLE_EQ(busy.faults.duplicate[0].rate, kBusyWifiDuplicateRate);
  // The help text names the profile's figures.
  const std::string usage = UsageText();
  EXPECT_NE(usage.find("--jitter-ms " + std::to_string(kBusyWifiJitter.medianMs) + ":" +
                       std::to_string(kBusyWifiJitter.p99Ms)),
            std::string::npos);
}

TEST(CommandLine, VersionsPresetOnlyTheirGroups) {
  CommandLine cl;
  ASSERT_TRUE(Parse({"--hm-version=0x109", "--resources-version", "274"}, cl));
  ControlBlock cb;
  ApplyVersionPresets(cl, cb);
  EXPECT_TRUE(cb.HMGroupValid());
  EXPECT_EQ(cb.newFirmwareHM, 0x109u);
  EXPECT_EQ(cb.oldFirmwareHM, 0x109u);
  EXPECT_FALSE(cb.RMGroupValid());
  EXPECT_EQ(cb.oldFirmwareRM, 0xFFFFFFFFu);
  EXPECT_EQ(cb.newHMResources, 0x112u);
  EXPECT_EQ(cb.resourceAddress, 0x3A000u);
}

TEST(CommandLine, RejectsBadValues) {
  for (std::vector<const char*> args : {std::vector<const char*>{"--port", "0"},
                                        {"--port", "70000"},
                                        {"--seed", "-1"},
                                        {"--duplicate-rate", "x"},
                                        {"--late-nth", "read"},
                                        {"--late-nth", "read:0"},
                                        {"--stuck-byte", "0x80000"},
                                        {"--vanish-after", "0"},
                                        {"--verbose=1"},
                                        {"--broadcast", "1.2.3"},
                                        {"--jitter-ms", "5"},
                                        {"--jitter-ms", "0:10"},
                                        {"--jitter-ms", "10:5"},
                                        {"--jitter-ms", "a:b"},
                                        {"--busy-wifi=1"}}) {
    CommandLine cl;
    std::string error;
    EXPECT_FALSE(Parse(args, cl, &error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(CommandLine, UsageListsTheOptions) {
  const std::string u = UsageText();
  for (const char* opt : {"--address", "--flash-file", "--vanish-after", "--late-replies"}) {
    const auto first = u.find(std::string("  ") + opt + " ");
    EXPECT_NE(first, std::string::npos) << opt;
  }
}

} // namespace
