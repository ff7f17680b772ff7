// Windows' invariant upper-casing as a table, for the native build (Windows
// itself maps with LCMapStringW; the stub never links this).
#include <stdint.h>

#include "platform/codepage.h"

namespace brx {
namespace platform {
namespace {

struct UpperRange {
  uint16_t first, last;
  int32_t delta;
  uint8_t stride;
};

// From the Unicode data (scripts/gen_upper_case_table.py): without it, names
// that differ only in the case of a Cyrillic, Greek or fullwidth letter would
// be two names here and one on the server, and brxpack would build packages
// the stub refuses.
const UpperRange kUpperRanges[] = {
#include "platform/upper_case_table.inc"
};
const size_t kRangeCount = sizeof(kUpperRanges) / sizeof(kUpperRanges[0]);

}  // namespace

wchar_t UpperCaseByTable(wchar_t c) {
  // Beyond the Basic Multilingual Plane a character is a surrogate pair on
  // Windows, which the mapping leaves as it is.
  uint32_t code = static_cast<uint32_t>(c);
  if (code > 0xFFFF) return c;
  size_t low = 0, high = kRangeCount;
  while (low < high) {
    size_t mid = (low + high) / 2;
    if (kUpperRanges[mid].last < code) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  if (low == kRangeCount) return c;
  const UpperRange& r = kUpperRanges[low];
  if (code < r.first || (code - r.first) % r.stride != 0) return c;
  return static_cast<wchar_t>(static_cast<int32_t>(code) + r.delta);
}

}  // namespace platform
}  // namespace brx
