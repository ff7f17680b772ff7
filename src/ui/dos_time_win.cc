#include "ui/dos_time_win.h"

#include <windows.h>

namespace brx {
namespace ui {

bool FormatDosDateTime(uint32_t dos_date, uint32_t dos_time, std::wstring* date, std::wstring* time) {
  date->clear();
  time->clear();
  FILETIME file_time;
  SYSTEMTIME calendar;
  if (!DosDateTimeToFileTime(static_cast<WORD>(dos_date), static_cast<WORD>(dos_time), &file_time) ||
      !FileTimeToSystemTime(&file_time, &calendar)) {
    return false;
  }
  wchar_t buffer[128];
  if (GetDateFormatW(LOCALE_SYSTEM_DEFAULT, 0, &calendar, nullptr, buffer, ARRAYSIZE(buffer)) > 0) {
    date->assign(buffer);
  }
  if (GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, 0, &calendar, nullptr, buffer, ARRAYSIZE(buffer)) > 0) {
    time->assign(buffer);
  }
  return true;
}

}  // namespace ui
}  // namespace brx
