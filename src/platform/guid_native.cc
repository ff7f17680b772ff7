#include "platform/guid.h"

#include <stdint.h>
#include <stdio.h>

namespace brx {
namespace platform {

std::wstring NewGuidText() {
  uint8_t b[16];
  FILE* random = fopen("/dev/urandom", "rb");
  if (!random) return std::wstring();
  size_t got = fread(b, 1, sizeof b, random);
  fclose(random);
  if (got != sizeof b) return std::wstring();
  b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);  // version 4: random
  b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);  // the RFC 4122 variant
  char text[40];
  snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0], b[1],
           b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return std::wstring(text, text + 36);
}

}  // namespace platform
}  // namespace brx
