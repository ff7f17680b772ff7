// The pause between entries of the recording test build of the stub
// (brxstub_recording.exe): before the entry whose target path contains the
// text of BRX_ENTRY_GATE_AT, the file named by BRX_ENTRY_GATE is created and
// the extraction waits (a minute at most) until the test deletes it. Only
// this test build links it; the shipped stub's gate does nothing. The same
// place ends the run through std::terminate before the entry whose path
// contains BRX_CRASH_AT.
#include <windows.h>

#include <exception>
#include <string>

#include "stub/entry_gate_win.h"

namespace brx {

void BeforeEachEntry(const wchar_t* target_path) {
  // BRX_CRASH_AT: an exception nobody catches before that entry, so a test
  // sees how the stub ends when it crashes.
  wchar_t crash[MAX_PATH + 1];
  DWORD crash_length = GetEnvironmentVariableW(L"BRX_CRASH_AT", crash, MAX_PATH + 1);
  if (crash_length > 0 && crash_length <= MAX_PATH && target_path &&
      std::wstring(target_path).find(crash) != std::wstring::npos) {
    std::terminate();
  }
  wchar_t gate[MAX_PATH + 1], at[MAX_PATH + 1];
  DWORD gate_length = GetEnvironmentVariableW(L"BRX_ENTRY_GATE", gate, MAX_PATH + 1);
  DWORD at_length = GetEnvironmentVariableW(L"BRX_ENTRY_GATE_AT", at, MAX_PATH + 1);
  if (gate_length == 0 || gate_length > MAX_PATH || at_length == 0 || at_length > MAX_PATH || !target_path) return;
  if (std::wstring(target_path).find(at) == std::wstring::npos) return;
  HANDLE file = CreateFileW(gate, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  CloseHandle(file);
  for (int i = 0; i < 600 && GetFileAttributesW(gate) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
}

}  // namespace brx
