// Broadcast reception, inside a network namespace that the test makes for
// itself (so nothing is ever broadcast on the machine's own interfaces).
// Needs the rights to create a namespace and a veth pair; skipped without.
#include "KaveloSimulator.h"
#include "RawUdpClient.h"

#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sched.h>
#include <thread>

using namespace simtest;
using namespace std::chrono_literals;
using kavelosim::KaveloSimulator;

namespace {

// Runs `body` on a thread of its own that first moves into a new network
// namespace and sets it up; the namespace dies with the thread and its
// sockets. Returns a reason to skip, or an empty text when body ran.
std::string InPrivateNetwork(const std::string& setup, const std::function<void()>& body) {
  std::string skip;
  std::thread t([&] {
    if (::unshare(CLONE_NEWNET) != 0) {
      skip = "cannot create a network namespace";
      return;
    }
    // system() forks from this thread, so the commands act on its namespace.
    if (std::system(("exec >/dev/null 2>&1; " + setup).c_str()) != 0) {
      skip = "cannot set up the namespace (ip tool or veth missing)";
      return;
    }
    body();
  });
  t.join();
  return skip;
}

constexpr const char* kSetup = "ip link set lo up && "
                               "ip link add ksim0 type veth peer name ksim1 && "
                               "ip addr add 10.201.0.1/24 brd + dev ksim0 && "
                               "ip addr add 10.201.0.2/24 brd + dev ksim0 && "
                               "ip addr add 10.201.0.3/24 brd + dev ksim0 && "
                               "ip link set ksim0 up && ip link set ksim1 up";

struct Heard {
  int updateReplies = 0;
  int announcements = 0;
};

std::map<std::string, Heard> Collect(RawUdpClient& client) {
  std::map<std::string, Heard> heard;
  for (const auto& d : client.ReceiveAll(200ms)) {
    if (HeaderOf(d.bytes) == 0x0041) ++heard[d.fromIp].updateReplies;
    if (HeaderOf(d.bytes) == 0x0010) ++heard[d.fromIp].announcements;
  }
  return heard;
}

TEST(NetnsBroadcast, TwoSimulatorsBothAnswerABroadcastSearch) {
  const std::string skip = InPrivateNetwork(kSetup, [] {
    KaveloSimulator a("10.201.0.2"), b("10.201.0.3");
    std::string error;
    ASSERT_TRUE(a.Start(&error)) << error;
    ASSERT_TRUE(b.Start(&error)) << error;
    EXPECT_EQ(a.ListeningAddresses(),
              (std::vector<std::string>{"10.201.0.2", "255.255.255.255", "10.201.0.255"}));

    RawUdpClient client("10.201.0.1");
    ASSERT_TRUE(client.ok()) << client.error();
    client.EnableBroadcast();
    for (const char* to : {"255.255.255.255", "10.201.0.255"}) {
      SCOPED_TRACE(to);
      ASSERT_TRUE(client.SendTo(to, UpdateModeReq(10, 201, 0, 1)));
      auto heard = Collect(client);
      for (const char* sim : {"10.201.0.2", "10.201.0.3"}) {
        EXPECT_EQ(heard[sim].updateReplies, 1) << sim;
        EXPECT_EQ(heard[sim].announcements, 1) << sim;
      }
      EXPECT_EQ(heard.size(), 2u);
    }
    EXPECT_TRUE(a.InUpdateMode());
    EXPECT_TRUE(b.InUpdateMode());

    // The tool's answer to announcements goes out by broadcast too and is
    // taken silently.
    ASSERT_TRUE(client.SendTo("255.255.255.255", kToolAnnounce));
    EXPECT_FALSE(client.Receive(150ms).has_value());
  });
  if (!skip.empty()) GTEST_SKIP() << skip;
}

TEST(NetnsBroadcast, WithoutBroadcastListenersOnlyUnicastReachesTheDevice) {
  const std::string skip = InPrivateNetwork(kSetup, [] {
    kavelosim::SimulatorOptions o;
    o.address = "10.201.0.2";
    o.interfaceBroadcasts = false;
    KaveloSimulator sim(o);
    ASSERT_TRUE(sim.Start());
    RawUdpClient client("10.201.0.1");
    ASSERT_TRUE(client.ok());
    client.EnableBroadcast();
    ASSERT_TRUE(client.SendTo("255.255.255.255", UpdateModeReq(10, 201, 0, 1)));
    EXPECT_FALSE(client.Receive(150ms).has_value());
    ASSERT_TRUE(client.SendTo("10.201.0.2", UpdateModeReq(10, 201, 0, 1)));
    EXPECT_EQ(client.ReceiveAll(150ms).size(), 2u);
  });
  if (!skip.empty()) GTEST_SKIP() << skip;
}

} // namespace
