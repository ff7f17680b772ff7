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

std::wstring LocalIsoTimeText() {
  time_t t = time(nullptr);
  struct tm parts;
  localtime_r(&t, &parts);
  LocalTimeParts p = {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min,
                      parts.tm_sec, static_cast<int32_t>(parts.tm_gmtoff / 60)};
  return FormatIsoLocalTime(p);
}

}  // namespace platform
}  // namespace brx
