#include "archive/extract_progress.h"

namespace brxzip {

int ExtractionPercent(const ExtractProgress& progress) {
  if (progress.total == 0) return 0;
  // The quotient is taken in single precision on purpose: 7/10 as a float is
  // just below 0.7, and the bar shows 69 for it, as it always has.
  float quotient = static_cast<float>(progress.index) / static_cast<float>(progress.total);
  return static_cast<int>(static_cast<double>(quotient) * 100.0);
}

}  // namespace brxzip
