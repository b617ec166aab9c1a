// Runs a fuzz target once on every file of the folders it is given, in name order, so that
// every build replays the seed corpus and the inputs of past findings without libFuzzer.
// A missing folder is passed over (there may be no findings yet); no file at all is an error,
// so a wrong path cannot pass unnoticed.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  namespace fs = std::filesystem;
  size_t runs = 0;
  for (int i = 1; i < argc; ++i) {
    const fs::path folder(argv[i]);
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
      std::printf("%s: no such folder, passed over\n", argv[i]);
      continue;
    }
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
      if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
      std::ifstream in(file, std::ios::binary);
      std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      // A copy of exactly the file's length, so a read past the end is caught by the sanitizer.
      std::vector<uint8_t> input(bytes.begin(), bytes.end());
      auto* data = new uint8_t[input.size() + (input.empty() ? 1 : 0)];
      std::copy(input.begin(), input.end(), data);
      std::printf("%s (%zu bytes)\n", file.string().c_str(), input.size());
      std::fflush(stdout);
      LLVMFuzzerTestOneInput(data, input.size());
      delete[] data;
      ++runs;
    }
  }
  std::printf("%zu inputs replayed\n", runs);
  return runs > 0 ? 0 : 1;
}
