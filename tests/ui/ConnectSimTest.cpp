// Connect and Disconnect through the real window and the real link, against the simulated
// handheld on loopback.

#include "KaveloSimulator.h"
#include "common/LoopbackSimulator.h"
#include "common/FakePlatform.h"
#include "common/LoopbackPair.h"
#include "net/Helpers.h"
#include "ui/FormFixture.h"

namespace kavelo::test {
namespace {

using ::testing::ElementsAre;

class ConnectSimTest : public ::testing::Test {
protected:
  void SetUp() override {
    fSim = StartLoopbackSimulator(fPrefix + ".2");
    ASSERT_TRUE(fSim);
    ui::TMainFormEnvironment env;
    env.LanguageStore = std::make_shared<TMemoryLanguageStore>();
    env.SystemLanguage = QLocale::English;
    fForm = std::make_unique<ui::TMainForm>(env);
  }
  void TearDown() override {
    fForm.reset();
    SetLanguageBase(2000);
  }
  QStringList Log() const {
    const QString text = fForm->MemoLog->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(u'\n');
  }

  const std::string fPrefix = LoopbackPrefixForCurrentTest();
  TScopedPlatform fPlatformScope{LoopbackPairPlatform(fPrefix)};
  std::unique_ptr<kavelosim::KaveloSimulator> fSim;
  std::unique_ptr<ui::TMainForm> fForm;
};

TEST_F(ConnectSimTest, ConnectOpensAnEndpointAndTheHandheldAnswersThroughIt) {
  const QString address = QString::fromStdString(fPrefix + ".2");
  fForm->LabeledEditIPAddress->setText(address);
  fForm->BitBtnConnectClick();
  ASSERT_TRUE(fForm->Kavelo().Connected());
  EXPECT_THAT(Log(), ElementsAre("Connecting with " + address + " Port 21105"));
  EXPECT_TRUE(fSim->Log().empty()); // connecting sends nothing
  QString err;
  ASSERT_TRUE(fForm->Kavelo().HMUpdateInit(err)) << err.toStdString();
  EXPECT_TRUE(fSim->InUpdateMode());
  fForm->BitBtnDisconnectClick();
  EXPECT_FALSE(fForm->Kavelo().Connected());
  EXPECT_TRUE(fForm->BitBtnConnect->isEnabled());
  // The local port is free again: a second connection opens.
  fForm->BitBtnConnectClick();
  EXPECT_TRUE(fForm->Kavelo().Connected());
  fForm->BitBtnDisconnectClick();
}

TEST_F(ConnectSimTest, ConnectWithAnInvalidAddressOpensNothing) {
  fForm->LabeledEditIPAddress->setText(QString::fromStdString(fPrefix + ".2.9"));
  fForm->BitBtnConnectClick();
  EXPECT_FALSE(fForm->Kavelo().Connected());
  EXPECT_EQ(fForm->Kavelo().Device(), nullptr);
  EXPECT_TRUE(Log().isEmpty());
  EXPECT_TRUE(fSim->Log().empty());
}

} // namespace
} // namespace kavelo::test
