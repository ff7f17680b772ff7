// The log folder of the recording test build of the stub
// (brxstub_recording.exe): the folder named by BRX_LOG_FOLDER (with its
// closing backslash), which the end-to-end harness sets to one of the test's
// own, else the product's. Only this test build links it; the shipped stub
// always logs into the product's folder.
#include <windows.h>

#include "log/cmp_log2.h"
#include "stub/log_folder_win.h"

namespace brx {

const wchar_t* StubLogFolder() {
  // Read while the process-wide objects are constructed, before the entry.
  static wchar_t folder[MAX_PATH + 1];
  DWORD length = GetEnvironmentVariableW(L"BRX_LOG_FOLDER", folder, MAX_PATH + 1);
  return length == 0 || length > MAX_PATH ? kProductLogDirectory : folder;
}

}  // namespace brx
