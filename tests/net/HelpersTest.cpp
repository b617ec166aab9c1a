#include "common/FakePlatform.h"
#include "net/Helpers.h"

#include <gmock/gmock.h>

namespace kavelo {
namespace {

using test::TFakePlatform;
using test::TScopedPlatform;

constexpr uint32_t kDefault = 0xDEADBEEF;

TEST(IPToStr, WritesTheLowestByteFirst) {
  EXPECT_EQ(IPToStr(0), "0.0.0.0");
  EXPECT_EQ(IPToStr(192u | (168u << 8) | (0u << 16) | (111u << 24)), "192.168.0.111");
  EXPECT_EQ(IPToStr(0xFFFFFFFFu), "255.255.255.255");
}

TEST(MakeIP, PutsTheFirstNumberInTheLowestByte) {
  const uint32_t v = MakeIP(192, 168, 0, 111);
  EXPECT_EQ(v & 0xFF, 192u);
  EXPECT_EQ(v >> 24, 111u);
  EXPECT_EQ(IPByte(1, v), 192);
  EXPECT_EQ(IPByte(2, v), 168);
  EXPECT_EQ(IPByte(3, v), 0);
  EXPECT_EQ(IPByte(4, v), 111);
  EXPECT_EQ(IPByte(0, v), 0);
  EXPECT_EQ(IPByte(5, v), 0);
}

struct StrToIPCase {
  const char* Text;
  uint32_t Expected;
};

class StrToIPTable : public ::testing::TestWithParam<StrToIPCase> {};

TEST_P(StrToIPTable, ReadsDottedTextOrGivesTheDefault) {
  EXPECT_EQ(StrToIP(QString::fromUtf8(GetParam().Text), kDefault), GetParam().Expected)
      << GetParam().Text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, StrToIPTable,
    ::testing::Values(StrToIPCase{"192.168.0.111", MakeIP(192, 168, 0, 111)},
                      StrToIPCase{"192.168.0.111|anything", MakeIP(192, 168, 0, 111)},
                      StrToIPCase{"192.168.0.111|", MakeIP(192, 168, 0, 111)},
                      StrToIPCase{"  10.0.0.1  ", MakeIP(10, 0, 0, 1)},
                      StrToIPCase{"\t\r\n10.0.0.1\x01", MakeIP(10, 0, 0, 1)},
                      StrToIPCase{"0.0.0.0", 0},
                      StrToIPCase{"255.255.255.255", 0xFFFFFFFFu},
                      StrToIPCase{"001.002.003.004", MakeIP(1, 2, 3, 4)},
                      StrToIPCase{"0000192.168.0.0001", MakeIP(192, 168, 0, 1)},
                      StrToIPCase{"1.2.3.0000000000000000000004", MakeIP(1, 2, 3, 4)},
                      StrToIPCase{"1.2.3.0256", kDefault},
                      StrToIPCase{"10.0.0", kDefault},
                      StrToIPCase{"10.0.0.1.5", kDefault},
                      StrToIPCase{"10.0.0.1.", kDefault},
                      StrToIPCase{"10..0.1", kDefault},
                      StrToIPCase{"256.1.1.1", kDefault},
                      StrToIPCase{"1.2.3.-1", kDefault},
                      StrToIPCase{"a.b.c.d", kDefault},
                      StrToIPCase{"", kDefault},
                      StrToIPCase{"10.0.0.", kDefault},
                      StrToIPCase{"|10.0.0.1", kDefault},
                      StrToIPCase{"1.2.3.4444", kDefault},
                      StrToIPCase{"99999999999.1.1.1", kDefault},
                      StrToIPCase{"1.2.3.0x4", kDefault},
                      StrToIPCase{"1 .2.3.4", kDefault}));

TEST(IsValidIP, RejectsBadTextAndTheNullAddress) {
  EXPECT_TRUE(IsValidIP("192.168.0.23"));
  EXPECT_FALSE(IsValidIP("0.0.0.0"));
  EXPECT_FALSE(IsValidIP("192.168.0"));
  EXPECT_FALSE(IsValidIP(""));
}

class AdapterLookup : public ::testing::Test {
protected:
  std::shared_ptr<TFakePlatform> fPlatform = std::make_shared<TFakePlatform>();
  TScopedPlatform fScope{fPlatform};
};

TEST_F(AdapterLookup, FindsTheFirstAdapterWhoseSubnetHoldsTheTarget) {
  fPlatform->Adapters = {{"a", "0.0.0.0", "0.0.0.0"},
                         {"b", "10.0.0.5", "255.0.0.0"},
                         {"c", "192.168.0.5", "255.255.255.0"},
                         {"d", "192.168.0.6", "255.255.0.0"}};
  EXPECT_EQ(LocalIPInSubnet(MakeIP(192, 168, 0, 9)), MakeIP(192, 168, 0, 5));
  EXPECT_EQ(LocalIPInSubnet(MakeIP(192, 168, 7, 9)), MakeIP(192, 168, 0, 6));
  EXPECT_EQ(LocalIPInSubnet(MakeIP(10, 200, 1, 1)), MakeIP(10, 0, 0, 5));
  EXPECT_EQ(LocalIPInSubnet(MakeIP(172, 16, 0, 1)), InvalidIP);
  EXPECT_EQ(FirstLocalIP(), MakeIP(10, 0, 0, 5));
}

TEST_F(AdapterLookup, LooksAtNoMoreThanTenAdapters) {
  for (int i = 0; i < 10; ++i)
    fPlatform->Adapters.push_back({"x", "10.0.0." + std::to_string(i + 1), "255.255.255.255"});
  fPlatform->Adapters.push_back({"late", "192.168.0.5", "255.255.255.0"});
  EXPECT_EQ(LocalIPInSubnet(MakeIP(192, 168, 0, 9)), InvalidIP);
  EXPECT_EQ(LocalIPInSubnet(MakeIP(10, 0, 0, 10)), MakeIP(10, 0, 0, 10));
}

TEST_F(AdapterLookup, GivesNothingWithoutAdapters) {
  EXPECT_EQ(LocalIPInSubnet(MakeIP(192, 168, 0, 9)), InvalidIP);
  EXPECT_EQ(FirstLocalIP(), InvalidIP);
  fPlatform->Adapters = {{"a", "0.0.0.0", "0.0.0.0"}, {"b", "garbage", "255.0.0.0"}};
  EXPECT_EQ(FirstLocalIP(), InvalidIP);
}

TEST_F(AdapterLookup, DeletesEveryArpRowOfTheAddressAndPassesOverRefusedOnes) {
  const uint32_t handheld = MakeIP(192, 168, 0, 9);
  const uint32_t other = MakeIP(192, 168, 0, 10);
  fPlatform->Arp = std::vector<TArpRow>{{other, 1}, {handheld, 2}, {handheld, 3}, {other, 3}};
  DeleteArpEntries(handheld);
  ASSERT_EQ(fPlatform->Deleted.size(), 2u);
  EXPECT_EQ(fPlatform->Deleted[0].InterfaceIndex, 2);
  EXPECT_EQ(fPlatform->Deleted[1].InterfaceIndex, 3);

  // A refused row is passed over and the next one is still tried.
  fPlatform->Deleted.clear();
  fPlatform->DeleteAttempts.clear();
  fPlatform->Undeletable = {other};
  DeleteArpEntries(other);
  EXPECT_TRUE(fPlatform->Deleted.empty());
  ASSERT_EQ(fPlatform->DeleteAttempts.size(), 2u);
  EXPECT_EQ(fPlatform->DeleteAttempts[0].InterfaceIndex, 1);
  EXPECT_EQ(fPlatform->DeleteAttempts[1].InterfaceIndex, 3);

  fPlatform->DeleteAttempts.clear();
  fPlatform->Arp.reset(); // the table cannot be read: nothing is tried
  DeleteArpEntries(handheld);
  EXPECT_TRUE(fPlatform->DeleteAttempts.empty());
}

TEST(FormatText, SubstitutesInOrderAndIgnoresExtras) {
  EXPECT_EQ(FormatText("Invalid packet length (calculated: %d, received: %d)", {260, 4}),
            "Invalid packet length (calculated: 260, received: 4)");
  EXPECT_EQ(FormatText("Ungültige Paketlänge", {260, 4}), "Ungültige Paketlänge");
  EXPECT_EQ(FormatText("page %u of %u", {-1, 3}), "page 4294967295 of 3");
  EXPECT_EQ(FormatText("%d and %d", {-5}), "-5 and %d");
  EXPECT_EQ(FormatText("100% %s %n %x", {1, 2}), "100% %s %n %x");
}

} // namespace
} // namespace kavelo
