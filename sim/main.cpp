// kavelo-sim: a simulated Kavelo handheld as a program, the partner of the
// update tool when no handheld is at hand.
#include "FlashFile.h"
#include "KaveloSimulator.h"
#include "SimCommandLine.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <mutex>

using namespace kavelosim;

namespace {

// How often the main thread looks for flash changes to save.
constexpr long kSaveCheckMs = 200;

std::string Stamp() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  localtime_r(&ts.tv_sec, &local);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03ld", local.tm_hour, local.tm_min, local.tm_sec,
                ts.tv_nsec / 1000000);
  return buf;
}

bool Save(const std::string& path, KaveloSimulator& sim, uint64_t& savedAt) {
  const uint64_t changes = sim.FlashChangeCount();
  if (path.empty() || changes == savedAt) return true;
  std::string error;
  if (!SaveFlashFile(path, sim.FlashImage(), &error)) {
    std::cerr << "kavelo-sim: cannot save flash: " << error << "\n";
    return false;
  }
  savedAt = changes;
  return true;
}

} // namespace

int main(int argc, char** argv) {
  CommandLine cl;
  std::string error;
  if (!ParseCommandLine(argc, argv, cl, &error)) {
    std::cerr << "kavelo-sim: " << error << "\nTry 'kavelo-sim --help'.\n";
    return 2;
  }
  if (cl.help) {
    std::cout << UsageText();
    return 0;
  }

  // The signals are taken synchronously by this thread; blocking them before
  // the simulator's thread starts keeps them away from it.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  KaveloSimulator sim(cl.sim);
  bool fileMissing = false;
  if (!cl.flashFile.empty()) {
    Bytes image;
    switch (LoadFlashFile(cl.flashFile, KaveloDevice::kFlashBytes, image, &error)) {
    case FlashFileLoad::Loaded:
      sim.LoadFlash(image);
      break;
    case FlashFileLoad::Missing:
      fileMissing = true; // starts erased
      break;
    case FlashFileLoad::Failed:
      std::cerr << "kavelo-sim: " << error << "\n";
      return 1;
    }
  }
  if (cl.hmVersion || cl.rmVersion || cl.resourcesVersion) {
    ControlBlock cb = sim.GetControlBlock();
    ApplyVersionPresets(cl, cb);
    sim.PresetControlBlock(cb);
  }
  sim.SetFaults(cl.faults);
  if (cl.startPoweredOff) sim.PowerOff();

  std::mutex outMutex;
  if (cl.verbose) {
    sim.SetTrace([&outMutex](const std::string& line) {
      std::lock_guard<std::mutex> lock(outMutex);
      std::cout << Stamp() << " " << line << std::endl;
    });
  }
  if (!sim.Start(&error)) {
    std::cerr << "kavelo-sim: " << error << "\n";
    return 1;
  }
  {
    std::lock_guard<std::mutex> lock(outMutex);
    std::cout << "kavelo-sim: listening on";
    for (const std::string& a : sim.ListeningAddresses())
      std::cout << " " << a;
    std::cout << " port " << cl.sim.port << (sim.IsPoweredOn() ? "" : " (switched off)")
              << std::endl;
  }

  // A file that did not exist yet is written at once, so that it is there
  // even when this run changes nothing.
  uint64_t savedAt = fileMissing ? ~0ull : sim.FlashChangeCount();
  Save(cl.flashFile, sim, savedAt);

  const timespec slice{0, kSaveCheckMs * 1000000L};
  for (;;) {
    siginfo_t info{};
    const int sig = sigtimedwait(&signals, &info, &slice);
    if (sig == SIGINT || sig == SIGTERM) break;
    if (sig == SIGUSR1) sim.PowerOn();
    Save(cl.flashFile, sim, savedAt);
  }

  sim.Stop();
  const bool saved = Save(cl.flashFile, sim, savedAt);
  {
    std::lock_guard<std::mutex> lock(outMutex);
    std::cout << "kavelo-sim: stopped" << std::endl;
  }
  return saved ? 0 : 1;
}
