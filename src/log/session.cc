// The log session's header and footer and the texts they are made of.
#include <stdint.h>
#include <wchar.h>

#include <string>

#include "log/cmp_log2.h"
#include "platform/local_time.h"
#include "platform/module_info.h"

namespace {

const wchar_t kRule[] = L"===========================================================================";

// Copies text into buffer when it fits with its terminator.
bool CopyOut(const std::wstring& text, wchar_t* buffer, size_t capacity) {
  if (!buffer || capacity == 0 || text.size() >= capacity) return false;
  wmemcpy(buffer, text.c_str(), text.size() + 1);
  return true;
}

}  // namespace

void WriteSessionHeader(CCmpLog2& log) {
  wchar_t name[260];
  wchar_t version[32];
  wchar_t date[255];
  if (!GetStubFileName(name, 260)) name[0] = L'\0';
  if (!GetStubFileVersion(version, 32)) version[0] = L'\0';
  if (!GetLogDateText(date, 255)) date[0] = L'\0';
  log.Write(LOG_BOTH, LEVEL_INFO, nullptr, 0,
            L"%s\r\nSource:          %s\r\nVersion:         %s\r\nLog Date:        %s\r\n\r\n"
            L"Log Session Start...\r\n\r\n",
            kRule, name, version, date);
}

void WriteSessionFooter(CCmpLog2& log, int completion_code) {
  wchar_t time[255];
  if (!GetLogTimeText(time, 255)) time[0] = L'\0';
  log.Write(LOG_BOTH, LEVEL_INFO, nullptr, 0,
            L"\r\n\r\nLog Session End. [%s]\r\nReturn Code (%d)\r\n%s\r\n\r\n", time, completion_code,
            kRule);
}

bool GetLogDateText(wchar_t* buffer, size_t capacity) {
  return CopyOut(brx::platform::LocalDateText() + L" " + brx::platform::LocalTimeText(), buffer, capacity);
}

bool GetLogTimeText(wchar_t* buffer, size_t capacity) {
  return CopyOut(brx::platform::LocalTimeText(), buffer, capacity);
}

bool GetStubFileName(wchar_t* buffer, size_t capacity) {
  std::wstring path = brx::platform::ModuleFilePath();
  size_t slash = path.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  // Always succeeds: a name that does not fit is cut.
  if (!buffer || capacity == 0) return false;
  if (name.size() >= capacity) name.resize(capacity - 1);
  return CopyOut(name, buffer, capacity);
}

bool GetStubFileVersion(wchar_t* buffer, size_t capacity) {
  if (!buffer || capacity <= 9) return false;
  uint32_t ms = 0, ls = 0;
  if (!brx::platform::ModuleFileVersion(&ms, &ls)) return false;
  return CopyOut(brx::Format(L"%d.%d.%d.%d", ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF), buffer,
                 capacity);
}
