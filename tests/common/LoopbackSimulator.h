#pragma once
// A simulated handheld on its own loopback address, for tests over real UDP.

#include "KaveloSimulator.h"

#include <memory>
#include <string>

namespace kavelo::test {

// Started, or null with the reason in *error.
inline std::unique_ptr<kavelosim::KaveloSimulator> StartLoopbackSimulator(const std::string& address,
                                                                          std::string* error = nullptr) {
  kavelosim::SimulatorOptions options;
  options.address = address;
  options.interfaceBroadcasts = false; // loopback has none; nothing listens on broadcasts
  auto sim = std::make_unique<kavelosim::KaveloSimulator>(options);
  if (!sim->Start(error)) return nullptr;
  return sim;
}

} // namespace kavelo::test
