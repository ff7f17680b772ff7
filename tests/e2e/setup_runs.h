// Installs through the real stub with the test setup program: packages that
// carry it as setup.exe, the part of the component log a run appended, the
// restart record and the files the setup program leaves.
#ifndef BRX_TESTS_E2E_SETUP_RUNS_H_
#define BRX_TESTS_E2E_SETUP_RUNS_H_

#include <windows.h>

#include <string>

#include "install_runs.h"
#include "stub_runs.h"

namespace brxe2e {
namespace setupruns {

inline std::wstring SystemDrive() {
  wchar_t drive[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"SystemDrive", drive, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(drive, n) : std::wstring(L"C:");
}

inline std::string SampleSetupBytes() { return ReadBinary(BinPath(L"brxtest_setup.exe")); }

// The recording build of the stub (kRecordingStub) appends a line here
// instead of restarting the machine; every test that could reach a restart
// runs that build and holds one of these.
class RestartRecord {
 public:
  explicit RestartRecord(const ScratchDir& dir)
      : path_(dir.File(L"restart.txt")), env_(L"BRX_SHUTDOWN_RECORD", path_) {}
  std::string Take() {
    std::string text = ReadBinary(path_);
    DeleteFileW(path_.c_str());
    return text;
  }

 private:
  std::wstring path_;
  ScopedEnv env_;
};

}  // namespace setupruns
}  // namespace brxe2e

#endif  // BRX_TESTS_E2E_SETUP_RUNS_H_
