// Installs through the real stub with the sample setup program: packages that
// carry it as setup.exe, the part of the component log a run appended, the
// restart record and the files the setup program leaves.
#ifndef BRX_TESTS_E2E_SETUP_RUNS_H_
#define BRX_TESTS_E2E_SETUP_RUNS_H_

#include <windows.h>

#include <string>

#include "stub_runs.h"

namespace brxe2e {
// Own namespace: other e2e helpers have functions of the same names.
namespace setupruns {

inline std::string ReadFileBytes(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

inline bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::wstring SystemDrive() {
  wchar_t drive[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"SystemDrive", drive, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(drive, n) : std::wstring(L"C:");
}

inline std::string SampleSetupBytes() { return ReadFileBytes(BinPath(L"brxsample_setup.exe")); }

// What the component log gained since construction. The log is shared by
// every stub run in the prefix, so a test reads only its own runs' part.
class LogTail {
 public:
  LogTail() : path_(SystemDrive() + L"\\brxsystem\\log\\brxsetup.log") { Mark(); }
  void Mark() { start_ = ReadFileBytes(path_).size(); }
  std::string Appended() const {
    std::string all = ReadFileBytes(path_);
    return all.size() > start_ ? all.substr(start_) : std::string();
  }

 private:
  std::wstring path_;
  size_t start_ = 0;
};

// Sets an environment variable of the test process (the stub and its setup
// program inherit it) for one scope, then puts back what was there.
class ScopedEnv {
 public:
  ScopedEnv(const wchar_t* name, const std::wstring& value) : name_(name) {
    wchar_t old[32768];
    DWORD n = GetEnvironmentVariableW(name, old, 32768);
    had_ = n > 0 && n < 32768;
    if (had_) old_.assign(old, n);
    SetEnvironmentVariableW(name, value.c_str());
  }
  ~ScopedEnv() { SetEnvironmentVariableW(name_, had_ ? old_.c_str() : nullptr); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const wchar_t* name_;
  bool had_ = false;
  std::wstring old_;
};

// The stub appends a line here instead of restarting the machine; every test
// that could reach a restart holds one of these.
class RestartRecord {
 public:
  explicit RestartRecord(const ScratchDir& dir)
      : path_(dir.File(L"restart.txt")), env_(L"BRX_SHUTDOWN_RECORD", path_) {}
  std::string Take() {
    std::string text = ReadFileBytes(path_);
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
