// Search, Connect and Disconnect against a scripted handheld on the virtual clock.

#include "ui/FormFixture.h"

namespace kavelo::test {
namespace {

using ::testing::ElementsAre;

class DiscoveryTest : public FormTest {
protected:
  void AnnounceFrom(std::vector<QString> peers) { fDevice->AnnounceFrom(std::move(peers)); }
  std::vector<std::pair<QString, TBytes>> RestartsSent() const {
    std::vector<std::pair<QString, TBytes>> out;
    for (const auto& s : fDevice->Sent)
      if (s.Kind == TSentFrame::SendFrameTo) out.emplace_back(s.IPAddress, s.Frame);
    return out;
  }
};

TEST_F(DiscoveryTest, FindsTwoHandheldsRestartsThemInTextOrderAndTakesTheFirst) {
  auto& form = Make();
  AnnounceFrom({"192.168.0.9", "192.168.0.10"});
  form.BitBtnSearchClick();
  EXPECT_THAT(Log(), ElementsAre("Found Peer IP 192.168.0.10", "Found Peer IP 192.168.0.9",
                                 "Restarting Peer IP 192.168.0.10", "Restarting Peer IP 192.168.0.9"));
  const auto restarts = RestartsSent();
  ASSERT_EQ(restarts.size(), 2u);
  EXPECT_EQ(restarts[0].first, "192.168.0.10");
  EXPECT_EQ(restarts[1].first, "192.168.0.9");
  EXPECT_THAT(restarts[0].second, ElementsAre(0x04, 0x00, 0x31, 0x00));
  EXPECT_EQ(form.LabeledEditIPAddress->text(), "192.168.0.10");
  ASSERT_EQ(fClock->Boxes().size(), 1u);
  EXPECT_EQ(fClock->Boxes()[0].Text, "Kavelo with IP address 192.168.0.10 found.");
  EXPECT_EQ(fClock->Boxes()[0].Caption, "Search");
  EXPECT_EQ(fClock->Boxes()[0].Flags, 0x40u);
  // The update-mode request and the answer to the announcements went out by broadcast.
  const auto broadcasts = fDevice->Frames(TSentFrame::Broadcast);
  ASSERT_EQ(broadcasts.size(), 2u);
  EXPECT_THAT(broadcasts[0], ElementsAre(0x08, 0x00, 0x41, 0x00, 192, 168, 0, 5));
  EXPECT_THAT(broadcasts[1], ElementsAre(0x05, 0x00, 0x10, 0x00, 0x12));
  EXPECT_EQ(fDevice->LastAddress, MakeIP(192, 168, 0, 100));
  // The search leaves the tool not connected, with Search and Connect enabled again.
  EXPECT_FALSE(form.Kavelo().Connected());
  EXPECT_EQ(form.Kavelo().Device(), nullptr);
  EXPECT_TRUE(form.BitBtnSearch->isEnabled());
  EXPECT_TRUE(form.BitBtnConnect->isEnabled());
  // The first reply ends the update-mode wait; then 500 + 500 ms, two restarts 100 ms apart, 6 s.
  EXPECT_EQ(fClock->NowMs(), 10u + 500 + 500 + 2 * 100 + 6000);
}

TEST_F(DiscoveryTest, AHandheldThatAnnouncesTwiceIsListedAndRestartedTwice) {
  auto& form = Make();
  AnnounceFrom({"192.168.0.23", "192.168.0.23"});
  form.BitBtnSearchClick();
  EXPECT_THAT(Log(), ElementsAre("Found Peer IP 192.168.0.23", "Found Peer IP 192.168.0.23",
                                 "Restarting Peer IP 192.168.0.23", "Restarting Peer IP 192.168.0.23"));
  EXPECT_EQ(RestartsSent().size(), 2u);
}

TEST_F(DiscoveryTest, NoHandheldWaitsTheFullTimesAndSaysSo) {
  auto& form = Make();
  form.BitBtnSearchClick();
  EXPECT_TRUE(Log().isEmpty());
  EXPECT_TRUE(RestartsSent().empty());
  const auto broadcasts = fDevice->Frames(TSentFrame::Broadcast);
  ASSERT_EQ(broadcasts.size(), 2u);
  EXPECT_THAT(broadcasts[1], ElementsAre(0x05, 0x00, 0x10, 0x00, 0x12));
  EXPECT_EQ(fClock->NowMs(), 5000u + 500 + 500);
  ASSERT_EQ(fClock->Boxes().size(), 1u);
  EXPECT_EQ(fClock->Boxes()[0].Text, "No Kavelo found!");
  EXPECT_EQ(fClock->Boxes()[0].Caption, "Search");
  EXPECT_EQ(form.LabeledEditIPAddress->text(), "192.168.0.100");
}

TEST_F(DiscoveryTest, AnAddressInNoLocalSubnetSearchesFromTheFirstAdapter) {
  fPlatform->Adapters = {{"eth0", "10.0.0.5", "255.0.0.0"}};
  auto& form = Make();
  form.BitBtnSearchClick();
  EXPECT_THAT(Log(), ElementsAre("LocalIP leer, versuche Adapter 10.0.0.5"));
  EXPECT_EQ(fDevice->LastAddress, MakeIP(10, 0, 0, 5));
  EXPECT_EQ(form.LabeledEditIPAddress->text(), "192.168.0.100");
  EXPECT_EQ(fClock->Boxes().back().Text, "No Kavelo found!");
}

TEST_F(DiscoveryTest, AnEndpointThatCannotOpenEndsInNoKaveloFound) {
  // The address is good and the endpoint is made, but its socket does not run (the port is
  // taken, say): nothing is sent and nothing waited for.
  fDevice->ServerActive = false;
  AnnounceFrom({"192.168.0.9"});
  auto& form = Make();
  SetLanguageBase(1000);
  form.BitBtnSearchClick();
  EXPECT_EQ(fDevice->LinksCreated, 1);
  EXPECT_TRUE(fDevice->Sent.empty());
  EXPECT_TRUE(Log().isEmpty());
  EXPECT_EQ(fClock->NowMs(), 0u);
  ASSERT_EQ(fClock->Boxes().size(), 1u);
  EXPECT_EQ(fClock->Boxes().back().Text, "Keine Kavelo gefunden!");
  EXPECT_EQ(fClock->Boxes().back().Caption, "Suche");
  EXPECT_FALSE(form.Kavelo().Connected());
  EXPECT_TRUE(form.BitBtnSearch->isEnabled());
  EXPECT_TRUE(form.BitBtnConnect->isEnabled());
  EXPECT_EQ(form.LabeledEditIPAddress->text(), "192.168.0.100");
}

TEST_F(DiscoveryTest, WithoutAnyAdapterTheSearchOpensNothing) {
  fPlatform->Adapters.clear();
  auto& form = Make();
  form.BitBtnSearchClick();
  EXPECT_THAT(Log(), ElementsAre("LocalIP leer, versuche Adapter 0.0.0.0"));
  EXPECT_EQ(fDevice->LinksCreated, 0); // 0.0.0.0 is no address to open toward
  EXPECT_EQ(fClock->NowMs(), 0u);
  EXPECT_EQ(fClock->Boxes().back().Text, "No Kavelo found!");
}

TEST_F(DiscoveryTest, ConnectOpensTheConnectionAndLogsIt) {
  auto& form = Make();
  form.ProgressBar1->setValue(40);
  form.fLabelStatus->setText("old");
  ConnectTo("192.168.0.100");
  EXPECT_THAT(Log(), ElementsAre("Connecting with 192.168.0.100 Port 21105"));
  EXPECT_FALSE(form.BitBtnSearch->isEnabled());
  EXPECT_FALSE(form.BitBtnConnect->isEnabled());
  EXPECT_TRUE(form.BitBtnDisconnect->isEnabled());
  EXPECT_TRUE(form.BitBtnUpdateHM->isEnabled());
  EXPECT_EQ(form.ProgressBar1->value(), 0);
  EXPECT_TRUE(form.fLabelStatus->text().isEmpty());
  EXPECT_TRUE(fDevice->Sent.empty()); // connecting sends nothing
}

TEST_F(DiscoveryTest, ConnectWithAnInvalidAddressDoesNothingAtAll) {
  auto& form = Make();
  form.fLabelStatus->setText("kept");
  for (const char* text : {"192.168.0", "", "0.0.0.0", "300.1.1.1"}) {
    form.LabeledEditIPAddress->setText(text);
    form.BitBtnConnectClick();
  }
  EXPECT_EQ(fDevice->LinksCreated, 0);
  EXPECT_TRUE(Log().isEmpty());
  EXPECT_TRUE(form.BitBtnConnect->isEnabled());
  EXPECT_FALSE(form.BitBtnDisconnect->isEnabled());
  EXPECT_EQ(form.fLabelStatus->text(), "kept");
}

TEST_F(DiscoveryTest, DisconnectResetsControlsAndEmptiesTheControlBlockFields) {
  auto& form = Make();
  ConnectTo();
  for (QComboBox* field : form.ControlBlockFields()) {
    field->setEnabled(true);
    field->setEditText("0x00000101");
  }
  form.ProgressBar1->setValue(55);
  form.fLabelStatus->setText("Writing firmware...");
  form.BitBtnDisconnectClick();
  EXPECT_FALSE(form.Kavelo().Connected());
  EXPECT_EQ(form.Kavelo().Device(), nullptr);
  EXPECT_TRUE(form.BitBtnConnect->isEnabled());
  EXPECT_FALSE(form.BitBtnDisconnect->isEnabled());
  EXPECT_EQ(form.ProgressBar1->value(), 0);
  EXPECT_TRUE(form.fLabelStatus->text().isEmpty());
  for (QComboBox* field : form.ControlBlockFields()) {
    EXPECT_TRUE(field->currentText().isEmpty());
    EXPECT_FALSE(field->isEnabled());
  }
  // Without an endpoint it still resets everything.
  form.UpdateControlStates(true);
  form.ProgressBar1->setValue(30);
  form.fLabelStatus->setText("Erasing flash memory...");
  for (QComboBox* field : form.ControlBlockFields()) {
    field->setEnabled(true);
    field->setEditText("0x00000102");
  }
  ASSERT_EQ(form.Kavelo().Device(), nullptr);
  form.BitBtnDisconnectClick();
  EXPECT_FALSE(form.BitBtnDisconnect->isEnabled());
  EXPECT_TRUE(form.BitBtnConnect->isEnabled());
  EXPECT_EQ(form.ProgressBar1->value(), 0);
  EXPECT_TRUE(form.fLabelStatus->text().isEmpty());
  for (QComboBox* field : form.ControlBlockFields()) {
    EXPECT_TRUE(field->currentText().isEmpty());
    EXPECT_FALSE(field->isEnabled());
  }
}

} // namespace
} // namespace kavelo::test
