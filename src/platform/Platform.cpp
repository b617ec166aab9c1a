#include "Platform.h"

#include <mutex>

namespace kavelo {

namespace {
std::mutex gPlatformMutex;
std::shared_ptr<IPlatform> gOverride;

IPlatform& SystemPlatform() {
  static const std::shared_ptr<IPlatform> system = CreateSystemPlatform();
  return *system;
}
} // namespace

IPlatform& Platform() {
  std::lock_guard lock(gPlatformMutex);
  if (gOverride) return *gOverride;
  return SystemPlatform();
}

std::shared_ptr<IPlatform> SetPlatform(std::shared_ptr<IPlatform> platform) {
  std::lock_guard lock(gPlatformMutex);
  std::swap(gOverride, platform);
  return platform;
}

} // namespace kavelo
