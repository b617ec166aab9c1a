// A handheld behind a router: the tool in one network namespace, a router namespace between two
// subnets, the simulated handheld in a third. No adapter of the tool shares the handheld's
// subnet, so the endpoint binds all adapters; the update-mode request must still name the
// address the handheld can answer to.

#include "KaveloSimulator.h"
#include "common/NetNamespace.h"
#include "handheld/Kavelo.h"
#include "handheld/Waiting.h"
#include "net/Helpers.h"

#include <gmock/gmock.h>

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

namespace kavelo::test {
namespace {

class RoutedNetnsTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!CanUseNetNamespaces()) GTEST_SKIP() << "needs root and iproute2";
    ASSERT_TRUE(fTool.Ok() && fRouter.Ok() && fHandheld.Ok());
    ASSERT_EQ(Shell("ip link add kvra0 netns " + fTool.Name() + " type veth peer name kvra1 netns " + fRouter.Name()), 0);
    ASSERT_EQ(Shell("ip link add kvrb0 netns " + fRouter.Name() + " type veth peer name kvrb1 netns " + fHandheld.Name()), 0);
    ASSERT_EQ(fTool.Exec("ip addr add 10.61.0.5/24 dev kvra0"), 0);
    ASSERT_EQ(fTool.Exec("ip link set kvra0 up"), 0);
    ASSERT_EQ(fTool.Exec("ip route add default via 10.61.0.1"), 0);
    ASSERT_EQ(fRouter.Exec("ip addr add 10.61.0.1/24 dev kvra1"), 0);
    ASSERT_EQ(fRouter.Exec("ip addr add 10.62.0.1/24 dev kvrb0"), 0);
    ASSERT_EQ(fRouter.Exec("ip link set kvra1 up"), 0);
    ASSERT_EQ(fRouter.Exec("ip link set kvrb0 up"), 0);
    ASSERT_EQ(fRouter.Exec("sysctl -w net.ipv4.ip_forward=1"), 0);
    ASSERT_EQ(fHandheld.Exec("ip addr add 10.62.0.9/24 dev kvrb1"), 0);
    ASSERT_EQ(fHandheld.Exec("ip link set kvrb1 up"), 0);
    ASSERT_EQ(fHandheld.Exec("ip route add default via 10.62.0.1"), 0);
    // The simulator's sockets are opened inside the handheld's namespace.
    std::string error;
    ASSERT_TRUE(fHandheld.RunInside([&] {
      kavelosim::SimulatorOptions options;
      options.address = "10.62.0.9";
      options.interfaceBroadcasts = false;
      fSim = std::make_unique<kavelosim::KaveloSimulator>(options);
      if (!fSim->Start(&error)) fSim.reset();
    }));
    ASSERT_TRUE(fSim) << error;
    // The connection's sockets and its event loop belong to this thread, which enters the tool's
    // namespace for the test and leaves it again in TearDown.
    fOwnNamespace = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fOwnNamespace, 0);
    const int fd = open(("/run/netns/" + fTool.Name()).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(setns(fd, CLONE_NEWNET), 0);
    close(fd);
    SetWaiter(nullptr);
    SetLanguageBase(2000);
  }
  void TearDown() override {
    fKavelo.Disconnect();
    if (fOwnNamespace >= 0) {
      setns(fOwnNamespace, CLONE_NEWNET);
      close(fOwnNamespace);
    }
    if (fSim) fSim->Stop();
  }

  TNetNamespace fTool{"kvrtool"};
  TNetNamespace fRouter{"kvrrouter"};
  TNetNamespace fHandheld{"kvrhh"};
  std::unique_ptr<kavelosim::KaveloSimulator> fSim;
  int fOwnNamespace = -1;
  TKavelo fKavelo;
};

TEST_F(RoutedNetnsTest, TheUpdateModeRequestCarriesTheRoutedLocalAddress) {
  ASSERT_EQ(LocalIPInSubnet(MakeIP(10, 62, 0, 9)), InvalidIP); // no adapter of the handheld's subnet
  ASSERT_TRUE(fKavelo.Connect("10.62.0.9", 21105));
  ASSERT_EQ(fKavelo.Device()->LocalIP(), "0.0.0.0"); // bound on all adapters
  QString err;
  ASSERT_TRUE(fKavelo.HMUpdateInit(err)) << err.toStdString();
  EXPECT_EQ(err, "TX  08 00 41 00 0A 3D 00 05 ... 10.61.0.5");
  EXPECT_EQ(fSim->WithDevice([](const kavelosim::KaveloDevice& d) { return d.ToolAddress(); }),
            MakeIP(10, 61, 0, 5));
  // The handheld, told where the tool is, answers there: the flash can be read through the router.
  TControlBlock block{};
  EXPECT_TRUE(fKavelo.ReadControlBlock(0, block, err)) << err.toStdString();
}

} // namespace
} // namespace kavelo::test
