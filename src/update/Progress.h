#pragma once
// The percentage that a progress report of the flash operations shows, on the window's bar and
// on the command line's.

#include <cstdint>

namespace kavelo {

// Halves round to the even neighbour; 0 when Max is not positive.
int ProgressPercent(int32_t Max, int32_t Position);

} // namespace kavelo
