// Keeps the simulated flash in a file between runs of kavelo-sim.
#pragma once

#include "SimFrame.h"

#include <string>

namespace kavelosim {

enum class FlashFileLoad { Loaded, Missing, Failed };

// Reads the file into `image`; it must hold exactly `expectedBytes`.
FlashFileLoad LoadFlashFile(const std::string& path, size_t expectedBytes, Bytes& image,
                            std::string* error);

// Writes through a temporary file and a rename, so an interrupted save
// never leaves half an image behind.
bool SaveFlashFile(const std::string& path, const Bytes& image, std::string* error);

} // namespace kavelosim
