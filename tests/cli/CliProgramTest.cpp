// The kavelo-cli program as a dealer's script runs it: a child process against simulated
// handhelds, each test in a network namespace of its own, so that the program binds
// 127.0.0.1:21105 (the loopback adapter serves every 127.x address) without meeting another test,
// and its search broadcasts never leave the namespaces. Waits are real, settle delays included.

#include "cli/CliFixture.h"
#include "common/LoopbackSimulator.h"
#include "common/NetNamespace.h"
#include "platform/UdpSocket.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

namespace kavelo::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr int kRunLimitMs = 90000;

class CliProgram : public ::testing::Test {
protected:
  void SetUp() override {
    if (!CanUseNetNamespaces()) GTEST_SKIP() << "needs root and iproute2";
    ASSERT_TRUE(fNamespace.Ok());
  }
  void TearDown() override {
    for (auto& p : fPrograms) {
      p->terminate();
      if (!p->waitForFinished(3000)) p->kill();
      p->waitForFinished(3000);
    }
  }
  // The program inside ns, with its arguments; at most kRunLimitMs.
  static TCliRun RunIn(const TNetNamespace& ns, const QStringList& arguments) {
    QProcess process;
    process.setProgram(QStringLiteral("ip"));
    process.setArguments(QStringList{"netns", "exec", QString::fromStdString(ns.Name()),
                                     QStringLiteral(KAVELO_CLI_PATH)} +
                         arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    TCliRun run;
    if (!process.waitForStarted(5000) || !process.waitForFinished(kRunLimitMs)) {
      process.kill();
      process.waitForFinished(3000);
      ADD_FAILURE() << "kavelo-cli did not finish";
      return run;
    }
    run.Out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.Err = QString::fromLocal8Bit(process.readAllStandardError());
    run.Exit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
  }
  TCliRun Run(const QStringList& arguments) { return RunIn(fNamespace, arguments); }
  // The in-process simulator, its sockets opened inside the namespace.
  std::unique_ptr<kavelosim::KaveloSimulator> Simulator(const std::string& address) {
    std::unique_ptr<kavelosim::KaveloSimulator> sim;
    std::string error;
    EXPECT_TRUE(fNamespace.RunInside([&] { sim = StartLoopbackSimulator(address, &error); }));
    EXPECT_TRUE(sim) << error;
    return sim;
  }
  // The kavelo-sim program inside ns.
  void StartSimProgram(const TNetNamespace& ns, const QStringList& arguments) {
    auto p = std::make_unique<QProcess>();
    p->setProgram(QStringLiteral("ip"));
    p->setArguments(QStringList{"netns", "exec", QString::fromStdString(ns.Name()),
                                QStringLiteral(KAVELO_SIM_PATH)} +
                    arguments);
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start();
    ASSERT_TRUE(p->waitForStarted(5000));
    fPrograms.push_back(std::move(p));
    QThread::msleep(300); // until it has bound its sockets
  }
  static ::testing::AssertionResult Holds(kavelosim::KaveloSimulator& sim) {
    return sim.WithDevice([](kavelosim::KaveloDevice& d) { return HoldsTheHandheldImages(d); });
  }

  TNetNamespace fNamespace{"kvcli"};
  std::vector<std::unique_ptr<QProcess>> fPrograms;
};

TEST_F(CliProgram, UpdatesKaveloSimWithYesAndLeavesItsFlashEqualToTheImages) {
  QTemporaryDir dir;
  const QString flashFile = dir.filePath("flash.bin");
  StartSimProgram(fNamespace, {"--address", "127.0.0.2", "--flash-file", flashFile, "--hm-version",
                               "0x109", "--resources-version", "0x112"});
  QElapsedTimer clock;
  clock.start();
  const TCliRun run = Run({"update", "127.0.0.2", "--yes", "--language", "en"});
  EXPECT_EQ(run.Exit, 0) << run.Err.toStdString();
  EXPECT_GE(clock.elapsed(), 4 * 2000); // the settle delays of two erase units
  const QStringList out = run.OutLines();
  EXPECT_TRUE(out.contains("Answered Yes (--yes)"));
  EXPECT_TRUE(out.contains("Calibrate control knob!"));
  EXPECT_EQ(out.last(), "  127.0.0.2       updated");
  // The simulator saves its flash on every change; stopped, it has written the last one.
  fPrograms.back()->terminate();
  ASSERT_TRUE(fPrograms.back()->waitForFinished(5000));
  QFile file(flashFile);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray flash = file.readAll();
  ASSERT_EQ(flash.size(), 0x80000);
  const auto firmware = ImageBytes(kImageFirmware);
  const auto languages = ImageBytes(kImageLanguages);
  EXPECT_EQ(flash.mid(0x400, static_cast<qsizetype>(firmware.size())),
            QByteArray(reinterpret_cast<const char*>(firmware.data()),
                       static_cast<qsizetype>(firmware.size())));
  EXPECT_EQ(flash.mid(0x3A000, static_cast<qsizetype>(languages.size())),
            QByteArray(reinterpret_cast<const char*>(languages.data()),
                       static_cast<qsizetype>(languages.size())));
}

TEST_F(CliProgram, SkipCurrentLeavesACurrentHandheldAsItWasAndSucceeds) {
  auto sim = Simulator("127.0.0.2");
  ASSERT_TRUE(sim);
  sim->PresetInstalledVersions(0x109, 0x105, 0x112);
  const uint64_t changes = sim->FlashChangeCount();
  const TCliRun run = Run({"update", "127.0.0.2", "--skip-current", "--language", "en"});
  EXPECT_EQ(run.Exit, 0);
  EXPECT_THAT(run.OutLines().mid(run.OutLines().size() - 2),
              ElementsAre("Summary: 0 updated, 1 already up to date, 0 failed",
                          "  127.0.0.2       already up to date"));
  EXPECT_EQ(sim->FlashChangeCount(), changes);
  EXPECT_FALSE(sim->InUpdateMode()); // restarted
}

TEST_F(CliProgram, AVanishedHandheldEndsWithExitOneAndTheFailingStep) {
  auto sim = Simulator("127.0.0.2");
  ASSERT_TRUE(sim);
  kavelosim::FaultRules faults;
  faults.vanishAfterFrames = 1; // answers the update-mode request, then nothing more
  sim->SetFaults(faults);
  const TCliRun run = Run({"update", "127.0.0.2", "--language", "en"});
  EXPECT_EQ(run.Exit, 1);
  const QStringList out = run.OutLines();
  EXPECT_TRUE(out.contains("Reading control block failed: Nothing received"));
  EXPECT_TRUE(out.contains("Reading control block failed."));
  EXPECT_EQ(out.last(), "  127.0.0.2       failed: Reading control block: Nothing received");
}

TEST_F(CliProgram, TwoSimulatorsInOneCallWithJsonLinesForAScript) {
  auto first = Simulator("127.0.0.2");
  auto second = Simulator("127.0.0.3");
  ASSERT_TRUE(first && second);
  const TCliRun run = Run({"update", "127.0.0.2", "127.0.0.3", "--json"});
  EXPECT_EQ(run.Exit, 0) << run.Err.toStdString();
  EXPECT_TRUE(run.Err.isEmpty());
  std::vector<QString> results;
  int progress = 0;
  for (const auto& e : run.Events()) {
    if (e["event"] == "result")
      results.push_back(e["address"].toString() + " " + e["outcome"].toString());
    progress += e["event"] == "progress";
  }
  EXPECT_THAT(results, ElementsAre("127.0.0.2 updated", "127.0.0.3 updated"));
  EXPECT_GT(progress, 2 * 100);
  EXPECT_EQ(run.Events().back()["event"], "summary");
  EXPECT_EQ(run.Events().back()["exit"], 0);
  EXPECT_TRUE(Holds(*first));
  EXPECT_TRUE(Holds(*second));
}

struct TPortCase {
  const char* Name;
  std::vector<const char*> Arguments;
};
void PrintTo(const TPortCase& c, std::ostream* os) { *os << c.Name; }

class CliProgramPort : public CliProgram, public ::testing::WithParamInterface<TPortCase> {};

TEST_P(CliProgramPort, APortAlreadyInUseEndsWithExitThreeAndSaysSo) {
  TUdpSocket other;
  bool bound = false;
  ASSERT_TRUE(fNamespace.RunInside([&] { bound = other.Bind(MakeIP(127, 0, 0, 1), 21105); }));
  ASSERT_TRUE(bound);
  QStringList arguments;
  for (const char* a : GetParam().Arguments)
    arguments << QString::fromLatin1(a);
  const TCliRun run = Run(arguments);
  EXPECT_EQ(run.Exit, 3);
  EXPECT_THAT(
      run.Err.toStdString(),
      HasSubstr(
          "cannot open UDP port 21105 on 127.0.0.1: port 21105 is in use by another program"));
}

INSTANTIATE_TEST_SUITE_P(Cases, CliProgramPort,
                         ::testing::Values(TPortCase{"Search", {"search", "127.0.0.200"}},
                                           TPortCase{"Info", {"info", "127.0.0.2"}},
                                           TPortCase{"Update", {"update", "127.0.0.2", "--json"}}),
                         [](const auto& info) { return std::string(info.param.Name); });

// The handhelds in a namespace of their own, joined to the program's by a veth pair.
class CliProgramSearch : public CliProgram {
protected:
  TNetNamespace fHandhelds{"kvclihh"};
};

TEST_F(CliProgramSearch, FindsTheHandheldsBehindAVethPair) {
  ASSERT_TRUE(fHandhelds.Ok());
  ASSERT_EQ(Shell("ip link add kvc0 netns " + fNamespace.Name() +
                  " type veth peer name kvh0 netns " + fHandhelds.Name()),
            0);
  ASSERT_EQ(fNamespace.Exec("ip addr add 192.168.0.5/24 broadcast 192.168.0.255 dev kvc0"), 0);
  ASSERT_EQ(fNamespace.Exec("ip link set kvc0 up"), 0);
  ASSERT_EQ(fHandhelds.Exec("ip addr add 192.168.0.9/24 broadcast 192.168.0.255 dev kvh0"), 0);
  ASSERT_EQ(fHandhelds.Exec("ip addr add 192.168.0.10/24 broadcast 192.168.0.255 dev kvh0"), 0);
  ASSERT_EQ(fHandhelds.Exec("ip link set kvh0 up"), 0);
  StartSimProgram(fHandhelds, {"--address", "192.168.0.9"});
  StartSimProgram(fHandhelds, {"--address", "192.168.0.10"});
  const TCliRun run = Run({"search", "--language", "en"});
  EXPECT_EQ(run.Exit, 0) << run.Err.toStdString();
  EXPECT_THAT(run.OutLines(), ElementsAre("192.168.0.10", "192.168.0.9"));
  EXPECT_THAT(run.ErrLines(),
              ElementsAre("Found Peer IP 192.168.0.10", "Found Peer IP 192.168.0.9",
                          "Restarting Peer IP 192.168.0.10", "Restarting Peer IP 192.168.0.9",
                          "Kavelo with IP address 192.168.0.10 found."));
}

// No namespace needed: nothing is opened.
TEST(CliProgramUsage, ExitCodesOfHelpAndOfAUsageError) {
  for (const auto& [arguments, exitCode] :
       std::vector<std::pair<QStringList, int>>{{{"--help"}, 0},
                                                {{"update"}, 2},
                                                {{"info", "999.1.1.1"}, 2},
                                                {{"search", "--yes"}, 2}}) {
    QProcess process;
    process.start(QStringLiteral(KAVELO_CLI_PATH), arguments);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), exitCode) << arguments.join(' ').toStdString();
    const QByteArray out = process.readAllStandardOutput();
    const QByteArray err = process.readAllStandardError();
    if (exitCode == 0)
      EXPECT_TRUE(out.startsWith("Usage: kavelo-cli"));
    else
      EXPECT_TRUE(err.startsWith("kavelo-cli: ")) << err.toStdString();
  }
}

} // namespace
} // namespace kavelo::test
