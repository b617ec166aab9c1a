// Options of the kavelo-sim program.
#pragma once

#include "KaveloSimulator.h"
#include "SimFaults.h"

#include <optional>
#include <string>

namespace kavelosim {

struct CommandLine {
  SimulatorOptions sim;
  std::string flashFile;
  std::optional<uint32_t> hmVersion;
  std::optional<uint32_t> rmVersion;
  std::optional<uint32_t> resourcesVersion;
  FaultRules faults;
  bool startPoweredOff = false;
  bool verbose = false;
  bool help = false;
};

// False with *error set when an option is unknown or its value is bad.
bool ParseCommandLine(int argc, const char* const* argv, CommandLine& out, std::string* error);

std::string UsageText();

// Sets the version groups named on the command line in `cb`, leaving the
// others as the flash holds them.
void ApplyVersionPresets(const CommandLine& cl, ControlBlock& cb);

} // namespace kavelosim
