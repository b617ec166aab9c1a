#pragma once
// Network namespaces that a test creates for itself (needs root; CI runs as root). Nothing is
// ever sent on the host's own interfaces.

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

namespace kavelo::test {

inline bool CanUseNetNamespaces() {
  return geteuid() == 0 && std::system("ip netns list >/dev/null 2>&1") == 0;
}

inline int Shell(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str());
}

inline std::string ShellOutput(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
    pclose(pipe);
  }
  return out;
}

// A namespace with a unique name, deleted again at the end of the test.
class TNetNamespace {
public:
  explicit TNetNamespace(const std::string& stem)
      : fName(stem + std::to_string(getpid()) + "x" + std::to_string(sCounter++)) {
    fOk = Shell("ip netns add " + fName) == 0 && Exec("ip link set lo up") == 0;
  }
  ~TNetNamespace() { Shell("ip netns del " + fName); }
  TNetNamespace(const TNetNamespace&) = delete;
  TNetNamespace& operator=(const TNetNamespace&) = delete;

  bool Ok() const { return fOk; }
  const std::string& Name() const { return fName; }
  int Exec(const std::string& command) const { return Shell("ip netns exec " + fName + " " + command); }
  std::string Output(const std::string& command) const {
    return ShellOutput("ip netns exec " + fName + " " + command + " 2>&1");
  }
  // Runs work on a thread of its own that has entered the namespace; sockets it opens live there.
  bool RunInside(const std::function<void()>& work) const {
    bool entered = false;
    std::thread thread([&] {
      const int fd = open(("/run/netns/" + fName).c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) return;
      entered = setns(fd, CLONE_NEWNET) == 0;
      close(fd);
      if (entered) work();
    });
    thread.join();
    return entered;
  }

private:
  static inline int sCounter = 0;
  std::string fName;
  bool fOk = false;
};

} // namespace kavelo::test
