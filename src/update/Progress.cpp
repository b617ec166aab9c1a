#include "update/Progress.h"

#include <cmath>

namespace kavelo {

int ProgressPercent(int32_t Max, int32_t Position) {
  if (Max <= 0) return 0;
  // nearbyint in the default rounding mode: halves go to the even neighbour.
  return static_cast<int>(std::nearbyint(static_cast<double>(Position) / Max * 100.0));
}

} // namespace kavelo
