// kavelo-cli in-process over real UDP, on a loopback pair of its own: the simulated handheld at
// <prefix>.2, the command line bound to <prefix>.1 as the posed adapter list says. Waits are
// real, settle delays are skipped.

#include "cli/CliFixture.h"
#include "common/FastSettleWaiter.h"
#include "common/LoopbackPair.h"
#include "common/LoopbackSimulator.h"
#include "platform/UdpSocket.h"

namespace kavelo::test {
namespace {

using ::testing::HasSubstr;

class CliLoopback : public ::testing::Test {
protected:
  TCliRun Run(const QStringList& arguments) {
    TCliRun run;
    cli::TCliEnvironment env;
    env.Out = [&run](const QByteArray& bytes) { run.Out += QString::fromLocal8Bit(bytes); };
    env.Err = [&run](const QByteArray& bytes) { run.Err += QString::fromLocal8Bit(bytes); };
    env.Clock = fWaiter;
    env.SystemLanguage = QLocale::English;
    run.Exit = cli::RunCli(arguments, env);
    return run;
  }
  QString Handheld() const { return QString::fromStdString(fPrefix + ".2"); }

  const std::string fPrefix = LoopbackPrefixForCurrentTest();
  TScopedPlatform fPlatformScope{LoopbackPairPlatform(fPrefix)};
  std::shared_ptr<TFastSettleWaiter> fWaiter = std::make_shared<TFastSettleWaiter>();
};

TEST_F(CliLoopback, AnUpdateOverUdpLeavesTheImagesInTheHandheldsFlash) {
  std::string error;
  auto sim = StartLoopbackSimulator(fPrefix + ".2", &error);
  ASSERT_TRUE(sim) << error;
  const TCliRun run = Run({"update", Handheld(), "--json"});
  EXPECT_EQ(run.Exit, 0) << run.Err.toStdString();
  EXPECT_EQ(run.Events().back()["exit"], 0);
  sim->WithDevice([](kavelosim::KaveloDevice& d) { EXPECT_TRUE(HoldsTheHandheldImages(d)); });
  // The erase requests' settle delays were the only ones skipped: 2 s each for erase and blank
  // check of two units.
  EXPECT_EQ(fWaiter->SkippedMs, 4u * 2000);
}

struct TPortCase {
  const char* Name;
  const char* Command;
};
void PrintTo(const TPortCase& c, std::ostream* os) { *os << c.Name; }

class CliPortInUse : public CliLoopback, public ::testing::WithParamInterface<TPortCase> {};

TEST_P(CliPortInUse, EndsWithExitThreeAndNamesThePort) {
  TUdpSocket other; // another program on the tool's address and port
  ASSERT_TRUE(other.Bind(StrToIP(QString::fromStdString(fPrefix + ".1"), InvalidIP), 21105));
  const TCliRun run = Run({QString::fromLatin1(GetParam().Command), Handheld(), Handheld()});
  EXPECT_EQ(run.Exit, 3);
  EXPECT_THAT(run.Err.toStdString(),
              HasSubstr("kavelo-cli: cannot open UDP port 21105 on " + fPrefix +
                        ".1: port 21105 is in use by another program\n"));
  // Once: the second handheld is not tried, the port being the machine's.
  EXPECT_EQ(run.Err.count("in use"), 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, CliPortInUse,
                         ::testing::Values(TPortCase{"Update", "update"},
                                           TPortCase{"Info", "info"}),
                         [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace kavelo::test
