#include "platform/local_time.h"

#include <windows.h>

namespace brx {
namespace platform {
namespace {

// Formats of some locales put the marker after a blank: drop what is left.
std::wstring TrimRight(std::wstring s) {
  while (!s.empty() && s.back() == L' ') s.pop_back();
  return s;
}

}  // namespace

std::wstring LocalDateText() {
  wchar_t buffer[128];
  int n = GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, buffer, 128);
  return n > 0 ? std::wstring(buffer) : std::wstring();
}

std::wstring LocalTimeText() {
  wchar_t buffer[128];
  int n = GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, TIME_FORCE24HOURFORMAT | TIME_NOTIMEMARKER, nullptr,
                         nullptr, buffer, 128);
  return n > 0 ? TrimRight(buffer) : std::wstring();
}

}  // namespace platform
}  // namespace brx
