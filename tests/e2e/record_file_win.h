// The records of the recording test build of the stub: one line appended to
// the file an environment variable names.
#ifndef BRX_TESTS_E2E_RECORD_FILE_WIN_H_
#define BRX_TESTS_E2E_RECORD_FILE_WIN_H_

#include <windows.h>

#include <string>

#include "platform/codepage.h"

namespace brxe2e {

// Appends `line` (ANSI code page) to the file named by `variable`; false
// when the variable is unset or the write failed.
inline bool AppendRecordLine(const wchar_t* variable, const std::wstring& line) {
  wchar_t record[MAX_PATH + 1];
  DWORD length = GetEnvironmentVariableW(variable, record, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return false;
  std::string bytes = brx::platform::WideToAnsi(line);
  HANDLE file = CreateFileW(record, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok != FALSE;
}

}  // namespace brxe2e

#endif  // BRX_TESTS_E2E_RECORD_FILE_WIN_H_
