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

std::wstring LocalIsoTimeText() {
  // The offset is what the system's time zone rules give for this instant
  // (daylight saving time included): local minus UTC.
  SYSTEMTIME utc, local;
  GetSystemTime(&utc);
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
  FILETIME utc_ft, local_ft;
  SystemTimeToFileTime(&utc, &utc_ft);
  SystemTimeToFileTime(&local, &local_ft);
  ULARGE_INTEGER u, l;
  u.LowPart = utc_ft.dwLowDateTime;
  u.HighPart = utc_ft.dwHighDateTime;
  l.LowPart = local_ft.dwLowDateTime;
  l.HighPart = local_ft.dwHighDateTime;
  const int64_t kTicksPerMinute = 600000000;
  int64_t offset = (static_cast<int64_t>(l.QuadPart) - static_cast<int64_t>(u.QuadPart)) / kTicksPerMinute;
  LocalTimeParts p = {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond,
                      static_cast<int32_t>(offset)};
  return FormatIsoLocalTime(p);
}

}  // namespace platform
}  // namespace brx
