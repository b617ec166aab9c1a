// The kavelo-sim program as a script would use it: options, the flash file,
// signals, verbose lines. Loopback pairs 127.0.221.x to 127.0.224.x.
#include "RawUdpClient.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace simtest;
using namespace std::chrono_literals;

namespace {

// A child process with its standard output on a pipe.
class Program {
public:
  explicit Program(std::vector<std::string> args) {
    args.insert(args.begin(), KAVELO_SIM_EXE);
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    fPid = ::fork();
    if (fPid == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::dup2(out[1], STDERR_FILENO);
      std::vector<char*> argv;
      for (auto& a : args)
        argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    fOut = out[0];
  }
  ~Program() {
    if (fPid > 0 && !fExited) {
      ::kill(fPid, SIGKILL);
      ::waitpid(fPid, nullptr, 0);
    }
    if (fOut >= 0) ::close(fOut);
  }

  // Reads output until `text` shows up, at most `timeout`.
  bool WaitForOutput(const std::string& text, std::chrono::milliseconds timeout = 3s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (fText.find(text) == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !ReadSome(left)) return false;
    }
    return true;
  }

  void Signal(int sig) { ::kill(fPid, sig); }

  // Exit code, or -1 when it did not end within `timeout`.
  int Wait(std::chrono::milliseconds timeout = 3s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (::waitpid(fPid, &status, WNOHANG) == fPid) {
        fExited = true;
        while (ReadSome(10ms)) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      ReadSome(10ms);
    }
    return -1;
  }

  const std::string& Output() const { return fText; }

private:
  bool ReadSome(std::chrono::milliseconds timeout) {
    pollfd p{fOut, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return false;
    char buf[4096];
    const ssize_t n = ::read(fOut, buf, sizeof buf);
    if (n <= 0) return false;
    fText.append(buf, static_cast<size_t>(n));
    return true;
  }

  pid_t fPid = -1;
  int fOut = -1;
  bool fExited = false;
  std::string fText;
};

TEST(Program, HelpDocumentsEveryOption) {
  Program p({"--help"});
  EXPECT_EQ(p.Wait(), 0);
  for (const char* opt : {"--address",
                          "--port",
                          "--broadcast",
                          "--no-interface-broadcast",
                          "--flash-file",
                          "--hm-version",
                          "--rm-version",
                          "--resources-version",
                          "--powered-off",
                          "--power-on-after-ms",
                          "SIGUSR1",
                          "--seed",
                          "--loss-rate",
                          "--lose-nth",
                          "--lose-all",
                          "--delay-ms",
                          "--delay ",
                          "--duplicate-rate",
                          "--duplicate-nth",
                          "--late-replies",
                          "--late-nth",
                          "--late-rate",
                          "--corrupt-readback",
                          "--corrupt-readback-rate",
                          "--wrong-echo",
                          "--stuck-byte",
                          "--stuck-value",
                          "--vanish-after",
                          "-v, --verbose",
                          "-h, --help",
                          "Ctrl+C"}) {
    EXPECT_NE(p.Output().find(opt), std::string::npos) << opt;
  }
}

TEST(Program, BadOptionsAreRefused) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--frobnicate"},
                                               {"--address", "300.1.1.1"},
                                               {"--loss-rate", "1.5"},
                                               {"--lose-nth", "E9:1"},
                                               {"--port"}}) {
    Program p(args);
    EXPECT_EQ(p.Wait(), 2) << args[0];
  }
}

TEST(Program, FlashFileAndPresetVersionsPersistAcrossRuns) {
  const std::string file =
      ::testing::TempDir() + "kavelo-sim-flash-" + std::to_string(::getpid()) + ".bin";
  std::remove(file.c_str());
  RawUdpClient client("127.0.221.1");
  ASSERT_TRUE(client.ok()) << client.error();
  {
    Program p({"--address", "127.0.221.2", "--flash-file", file, "--hm-version", "0x109",
               "--rm-version", "261", "--resources-version", "0x112"});
    ASSERT_TRUE(p.WaitForOutput("listening on 127.0.221.2")) << p.Output();
    client.SendTo("127.0.221.2", UpdateModeReq(127, 0, 221, 1));
    ASSERT_EQ(client.ReceiveAll(150ms).size(), 2u);
    ASSERT_EQ(client.Exchange("127.0.221.2", WriteReq(0x400, {0xDE, 0xAD})).size(), 14u);
    p.Signal(SIGINT);
    EXPECT_EQ(p.Wait(), 0) << p.Output();
  }
  {
    Program p({"--address", "127.0.221.2", "--flash-file", file});
    ASSERT_TRUE(p.WaitForOutput("listening on 127.0.221.2")) << p.Output();
    client.SendTo("127.0.221.2", UpdateModeReq(127, 0, 221, 1));
    ASSERT_EQ(client.ReceiveAll(150ms).size(), 2u);
    const Bytes data = client.Exchange("127.0.221.2", ReadReq(0x400, 2));
    ASSERT_EQ(data.size(), 13u);
    EXPECT_EQ(Bytes(data.begin() + 11, data.end()), (Bytes{0xDE, 0xAD}));
    const Bytes cb = client.Exchange("127.0.221.2", ReadReq(0, 256));
    ASSERT_EQ(cb.size(), 267u);
    EXPECT_EQ(Le32At(cb, 11 + 0), 0x414E5556u);
    EXPECT_EQ(Le32At(cb, 11 + 8), 0x109u);
    EXPECT_EQ(Le32At(cb, 11 + 24), 0x105u);
    EXPECT_EQ(Le32At(cb, 11 + 40), 0x112u);
    EXPECT_EQ(Le32At(cb, 11 + 44), 0x3A000u);
    p.Signal(SIGTERM);
    EXPECT_EQ(p.Wait(), 0) << p.Output();
  }
  std::remove(file.c_str());
}

TEST(Program, VerboseLinesAndPowerOnBySignal) {
  RawUdpClient client("127.0.222.1");
  ASSERT_TRUE(client.ok()) << client.error();
  Program p({"--address", "127.0.222.2", "--powered-off", "-v"});
  ASSERT_TRUE(p.WaitForOutput("listening on 127.0.222.2")) << p.Output();
  client.SendTo("127.0.222.2", UpdateModeReq(127, 0, 222, 1));
  EXPECT_FALSE(client.Receive(150ms).has_value()) << "switched off";
  p.Signal(SIGUSR1);
  ASSERT_TRUE(p.WaitForOutput("power on")) << p.Output();
  client.SendTo("127.0.222.2", UpdateModeReq(127, 0, 222, 1));
  EXPECT_EQ(client.ReceiveAll(150ms).size(), 2u);
  client.Exchange("127.0.222.2", WriteReq(0x400, Bytes(256, 0)));
  EXPECT_TRUE(p.WaitForOutput("RX 127.0.222.1:21105 E4 addr=0x00000400 n=256")) << p.Output();
  EXPECT_TRUE(p.WaitForOutput("TX 127.0.222.1:21105 E4 addr=0x00000400 n=256")) << p.Output();
  p.Signal(SIGINT);
  EXPECT_EQ(p.Wait(), 0) << p.Output();
}

TEST(Program, FaultOptionsTakeEffect) {
  RawUdpClient client("127.0.223.1");
  ASSERT_TRUE(client.ok()) << client.error();
  Program p({"--address", "127.0.223.2", "--lose-all", "blank", "--wrong-echo", "2",
             "--power-on-after-ms", "100"});
  ASSERT_TRUE(p.WaitForOutput("listening on 127.0.223.2")) << p.Output();
  client.SendTo("127.0.223.2", UpdateModeReq(127, 0, 223, 1));
  ASSERT_EQ(client.ReceiveAll(150ms).size(), 2u);
  EXPECT_EQ(client.Exchange("127.0.223.2", EraseReq(0x10000)), EraseReq(0x10000));
  const Bytes wrong = client.Exchange("127.0.223.2", EraseReq(0x10000));
  ASSERT_EQ(wrong.size(), 9u);
  EXPECT_NE(wrong, EraseReq(0x10000));
  EXPECT_TRUE(client.Exchange("127.0.223.2", BlankReq(0x10000), 150ms).empty());

  client.SendTo("127.0.223.2", kPowerOff);
  std::this_thread::sleep_for(20ms);
  client.SendTo("127.0.223.2", UpdateModeReq(127, 0, 223, 1));
  EXPECT_FALSE(client.Receive(50ms).has_value()) << "off";
  std::this_thread::sleep_for(150ms);
  client.SendTo("127.0.223.2", UpdateModeReq(127, 0, 223, 1));
  EXPECT_EQ(client.ReceiveAll(150ms).size(), 2u) << "on again by itself";
  p.Signal(SIGTERM);
  EXPECT_EQ(p.Wait(), 0) << p.Output();
}

} // namespace
