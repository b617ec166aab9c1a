// Writes a placeholder for one of the product's images: exactly the given length, deterministic
// content, and a first line that says what it is, so that nobody mistakes it for real firmware.
// Usage: kavelo-make-placeholder <name> <length> <output file>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s <name> <length> <output file>\n", argv[0]);
    return 2;
  }
  const std::string name = argv[1];
  const size_t length = std::strtoul(argv[2], nullptr, 10);
  std::vector<unsigned char> bytes(length);
  uint32_t seed = 2166136261u;
  for (unsigned char c : name) seed = (seed ^ c) * 16777619u;
  for (size_t i = 0; i < length; ++i) {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    bytes[i] = static_cast<unsigned char>(seed >> 24);
  }
  const std::string mark = "KAVELO PLACEHOLDER IMAGE " + name + " - NOT FOR A REAL HANDHELD\n";
  for (size_t i = 0; i < mark.size() && i < length; ++i) bytes[i] = static_cast<unsigned char>(mark[i]);
  FILE* out = std::fopen(argv[3], "wb");
  if (!out) return 1;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return std::fclose(out) == 0 && ok ? 0 : 1;
}
