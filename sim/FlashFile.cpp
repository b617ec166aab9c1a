#include "FlashFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace kavelosim {

FlashFileLoad LoadFlashFile(const std::string& path, size_t expectedBytes, Bytes& image,
                            std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (errno == ENOENT) return FlashFileLoad::Missing;
    if (error) *error = path + ": " + std::strerror(errno);
    return FlashFileLoad::Failed;
  }
  Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (data.size() != expectedBytes) {
    if (error) {
      *error = path + ": holds " + std::to_string(data.size()) + " bytes, a flash image has " +
               std::to_string(expectedBytes);
    }
    return FlashFileLoad::Failed;
  }
  image = std::move(data);
  return FlashFileLoad::Loaded;
}

bool SaveFlashFile(const std::string& path, const Bytes& image, std::string* error) {
  const std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
    out.flush();
    if (!out) {
      if (error) *error = tmp + ": " + std::strerror(errno);
      std::remove(tmp.c_str());
      return false;
    }
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    if (error) *error = path + ": " + std::strerror(errno);
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

} // namespace kavelosim
