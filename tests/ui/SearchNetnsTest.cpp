// The search end to end: the tool in one network namespace, two simulated handhelds in another,
// joined by a veth pair, so that the broadcasts never touch the host's own interfaces.

#include "common/NetNamespace.h"
#include "handheld/Waiting.h"
#include "net/Helpers.h"
#include "platform/Platform.h"
#include "platform/UdpSocket.h"
#include "ui/FormFixture.h"

#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <thread>

#include <sched.h>
#include <signal.h>
#include <sys/wait.h>

namespace kavelo::test {
namespace {

using ::testing::ElementsAre;

// Real waits on the event loop; message boxes are recorded and answered with OK.
class TRecordingWaiter : public TEventLoopWaiter {
public:
  int ShowMessageBox(const QString& Text, const QString& Caption, uint32_t Flags) override {
    Boxes.push_back({Text, Caption, Flags});
    return IDOK;
  }
  std::vector<TVirtualClock::TBox> Boxes;
};

class SearchNetnsTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!CanUseNetNamespaces()) GTEST_SKIP() << "needs root and iproute2";
    ASSERT_TRUE(fTool.Ok() && fHandhelds.Ok());
    ASSERT_EQ(Shell("ip link add kvt0 netns " + fTool.Name() + " type veth peer name kvs0 netns " +
                    fHandhelds.Name()), 0);
    ASSERT_EQ(fTool.Exec("ip addr add 192.168.0.5/24 broadcast 192.168.0.255 dev kvt0"), 0);
    ASSERT_EQ(fTool.Exec("ip link set kvt0 up"), 0);
    ASSERT_EQ(fHandhelds.Exec("ip addr add 192.168.0.9/24 broadcast 192.168.0.255 dev kvs0"), 0);
    ASSERT_EQ(fHandhelds.Exec("ip addr add 192.168.0.10/24 broadcast 192.168.0.255 dev kvs0"), 0);
    ASSERT_EQ(fHandhelds.Exec("ip link set kvs0 up"), 0);
    fOwnNamespace = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fOwnNamespace, 0);
  }
  void TearDown() override {
    fForm.reset();
    SetWaiter(nullptr);
    if (fOwnNamespace >= 0) {
      setns(fOwnNamespace, CLONE_NEWNET);
      close(fOwnNamespace);
    }
    for (pid_t pid : fSims) {
      kill(pid, SIGTERM);
      int status = 0;
      waitpid(pid, &status, 0);
    }
    SetLanguageBase(2000);
  }
  void StartSimulator(const std::string& address) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      execlp("ip", "ip", "netns", "exec", fHandhelds.Name().c_str(), KAVELO_SIM_PATH, "--address",
             address.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    fSims.push_back(pid);
  }
  // The window lives in the tool's namespace: its sockets are opened by this thread.
  ui::TMainForm& OpenWindowInsideTheToolsNamespace() {
    const int fd = open(("/run/netns/" + fTool.Name()).c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(setns(fd, CLONE_NEWNET), 0);
    close(fd);
    SetWaiter(fWaiter);
    ui::TMainFormEnvironment env;
    env.LanguageStore = std::make_shared<TMemoryLanguageStore>();
    env.SystemLanguage = QLocale::English;
    fForm = std::make_unique<ui::TMainForm>(env);
    return *fForm;
  }
  QStringList Log() const {
    const QString text = fForm->MemoLog->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(u'\n');
  }
  // The simulators need a moment to bind before the first broadcast.
  static void LetTheSimulatorsStart() { QThread::msleep(300); }

  TNetNamespace fTool{"kvtool"};
  TNetNamespace fHandhelds{"kvhh"};
  int fOwnNamespace = -1;
  std::vector<pid_t> fSims;
  std::shared_ptr<TRecordingWaiter> fWaiter = std::make_shared<TRecordingWaiter>();
  std::unique_ptr<ui::TMainForm> fForm;
};

TEST_F(SearchNetnsTest, FindsBothHandheldsAndRestartsThemTheFirstInTextOrderFirst) {
  StartSimulator("192.168.0.9");
  StartSimulator("192.168.0.10");
  LetTheSimulatorsStart();
  auto& form = OpenWindowInsideTheToolsNamespace();
  form.BitBtnSearchClick();
  EXPECT_THAT(Log(), ElementsAre("Found Peer IP 192.168.0.10", "Found Peer IP 192.168.0.9",
                                 "Restarting Peer IP 192.168.0.10", "Restarting Peer IP 192.168.0.9"));
  EXPECT_EQ(form.LabeledEditIPAddress->text(), "192.168.0.10");
  ASSERT_EQ(fWaiter->Boxes.size(), 1u);
  EXPECT_EQ(fWaiter->Boxes[0].Text, "Kavelo with IP address 192.168.0.10 found.");
  EXPECT_EQ(fWaiter->Boxes[0].Caption, "Search");
  EXPECT_FALSE(form.Kavelo().Connected());
}

TEST_F(SearchNetnsTest, WithoutAHandheldItSaysNoKaveloFoundAfterTheFullWaits) {
  auto& form = OpenWindowInsideTheToolsNamespace();
  QElapsedTimer clock;
  clock.start();
  form.BitBtnSearchClick();
  EXPECT_GE(clock.elapsed(), 5000 + 500 + 500);
  EXPECT_LT(clock.elapsed(), 5000 + 500 + 500 + 2000);
  EXPECT_TRUE(Log().isEmpty());
  ASSERT_EQ(fWaiter->Boxes.size(), 1u);
  EXPECT_EQ(fWaiter->Boxes[0].Text, "No Kavelo found!");
}

TEST_F(SearchNetnsTest, AnAddressInNoLocalSubnetFallsBackToTheFirstAdapter) {
  StartSimulator("192.168.0.9");
  LetTheSimulatorsStart();
  auto& form = OpenWindowInsideTheToolsNamespace();
  form.LabeledEditIPAddress->setText("10.1.1.1");
  form.BitBtnSearchClick();
  EXPECT_THAT(Log(), ElementsAre("LocalIP leer, versuche Adapter 192.168.0.5", "Found Peer IP 192.168.0.9",
                                 "Restarting Peer IP 192.168.0.9"));
  EXPECT_EQ(form.LabeledEditIPAddress->text(), "192.168.0.9");
}

// Garbage from another host in the handhelds' namespace, until stopped (at most 20 s).
class TNamespaceFlood {
public:
  TNamespaceFlood(const std::string& ns, const std::string& from, const std::string& to) {
    fThread = std::thread([=, this] {
      const int fd = open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0 || setns(fd, CLONE_NEWNET) != 0) return;
      close(fd);
      TUdpSocket socket;
      if (!socket.Bind(StrToIP(QString::fromStdString(from), 0), 0)) return;
      const uint32_t target = StrToIP(QString::fromStdString(to), 0);
      std::vector<uint8_t> buffer(60000);
      uint32_t seed = 11;
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (!fStop && std::chrono::steady_clock::now() < end) {
        seed = seed * 1103515245u + 12345u;
        size_t size = (seed >> 8) % 3 == 0 ? 60000 : (seed >> 12) % 9000;
        for (size_t i = 0; i < std::min<size_t>(size, 64); ++i) buffer[i] = static_cast<uint8_t>(seed >> (i % 24));
        if (size >= 4 && (buffer[2] == 0xB0 || buffer[2] == 0x41 || buffer[2] == 0x10) && buffer[3] == 0) buffer[3] = 1;
        if (socket.SendTo(target, 21105, buffer.data(), size)) ++fSent;
        std::this_thread::sleep_for(std::chrono::microseconds(300));
      }
    });
  }
  ~TNamespaceFlood() {
    fStop = true;
    if (fThread.joinable()) fThread.join();
  }
  uint64_t Sent() const { return fSent; }

private:
  std::atomic<bool> fStop{false};
  std::atomic<uint64_t> fSent{0};
  std::thread fThread;
};

TEST_F(SearchNetnsTest, FindsTheHandheldWhileAnotherHostFloodsThePort) {
  ASSERT_EQ(fHandhelds.Exec("ip addr add 192.168.0.11/24 dev kvs0"), 0);
  StartSimulator("192.168.0.9");
  LetTheSimulatorsStart();
  auto& form = OpenWindowInsideTheToolsNamespace();
  TNamespaceFlood flood(fHandhelds.Name(), "192.168.0.11", "192.168.0.5");
  QThread::msleep(200);
  form.BitBtnSearchClick();
  EXPECT_GT(flood.Sent(), 1000u);
  EXPECT_THAT(Log(), ElementsAre("Found Peer IP 192.168.0.9", "Restarting Peer IP 192.168.0.9"));
  EXPECT_EQ(form.LabeledEditIPAddress->text(), "192.168.0.9");
}

} // namespace
} // namespace kavelo::test
