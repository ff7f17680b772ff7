#include "platform/local_time.h"

#include <time.h>

namespace brx {
namespace platform {
namespace {

std::wstring Now(const char* format) {
  time_t t = time(nullptr);
  struct tm parts;
  localtime_r(&t, &parts);
  char buffer[64];
  size_t n = strftime(buffer, sizeof(buffer), format, &parts);
  return std::wstring(buffer, buffer + n);
}

}  // namespace

std::wstring LocalDateText() { return Now("%m/%d/%Y"); }
std::wstring LocalTimeText() { return Now("%H:%M:%S"); }

}  // namespace platform
}  // namespace brx
