// The real adapter list and ARP cache, inside a network namespace the test creates.

#include "common/NetNamespace.h"
#include "net/Helpers.h"
#include "platform/Platform.h"

#include <gmock/gmock.h>

namespace kavelo {
namespace {

using test::TNetNamespace;

class ArpNamespaceTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!test::CanUseNetNamespaces()) GTEST_SKIP() << "needs root and iproute2";
    ASSERT_TRUE(fNs.Ok());
    ASSERT_EQ(fNs.Exec("ip link add kva0 type veth peer name kvb0"), 0);
    ASSERT_EQ(fNs.Exec("ip addr add 10.77.0.1/24 dev kva0"), 0);
    ASSERT_EQ(fNs.Exec("ip link set kva0 up"), 0);
    ASSERT_EQ(fNs.Exec("ip link set kvb0 up"), 0);
  }
  TNetNamespace fNs{"kvarp"};
};

bool HasRow(const std::vector<TArpRow>& rows, uint32_t address) {
  for (const auto& row : rows)
    if (row.Address == address) return true;
  return false;
}

TEST_F(ArpNamespaceTest, DeleteArpEntriesRemovesAPlantedEntryAndLeavesOthers) {
  ASSERT_EQ(fNs.Exec("ip neigh add 10.77.0.9 lladdr 02:00:00:00:00:09 dev kva0 nud permanent"), 0);
  ASSERT_EQ(fNs.Exec("ip neigh add 10.77.0.10 lladdr 02:00:00:00:00:0a dev kva0 nud permanent"), 0);
  const uint32_t handheld = MakeIP(10, 77, 0, 9);
  bool before = false, after = false, otherKept = false;
  ASSERT_TRUE(fNs.RunInside([&] {
    const auto table = Platform().ArpTable();
    before = table && HasRow(*table, handheld);
    DeleteArpEntries(handheld);
    const auto later = Platform().ArpTable();
    after = later && HasRow(*later, handheld);
    otherKept = later && HasRow(*later, MakeIP(10, 77, 0, 10));
  }));
  EXPECT_TRUE(before);
  EXPECT_FALSE(after);
  EXPECT_TRUE(otherKept);
  EXPECT_THAT(fNs.Output("ip neigh show 10.77.0.9"), ::testing::Not(::testing::HasSubstr("lladdr")));
  EXPECT_THAT(fNs.Output("ip neigh show 10.77.0.10"), ::testing::HasSubstr("lladdr"));
}

TEST_F(ArpNamespaceTest, AdapterListPutsLoopbackLastAndServesTheSubnet) {
  std::vector<TAdapterInfo> adapters;
  uint32_t inSubnet = 1, first = 1, loop = 1;
  ASSERT_TRUE(fNs.RunInside([&] {
    adapters = Platform().AdapterList();
    inSubnet = LocalIPInSubnet(MakeIP(10, 77, 0, 9));
    first = FirstLocalIP();
    loop = LocalIPInSubnet(MakeIP(127, 0, 0, 2));
  }));
  ASSERT_GE(adapters.size(), 2u);
  EXPECT_EQ(adapters.front().Name, "kva0");
  EXPECT_EQ(adapters.front().IpAddress, "10.77.0.1");
  EXPECT_EQ(adapters.front().IpMask, "255.255.255.0");
  EXPECT_EQ(adapters.back().Name, "lo");
  EXPECT_EQ(inSubnet, MakeIP(10, 77, 0, 1));
  EXPECT_EQ(first, MakeIP(10, 77, 0, 1));
  EXPECT_EQ(loop, MakeIP(127, 0, 0, 1));
}

} // namespace
} // namespace kavelo
