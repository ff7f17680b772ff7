// brxtest_setup: a stand-in for a component's setup program.
//
// It installs nothing. It records how it was started, optionally prints to
// its standard output and error, and exits with a chosen completion code:
//
//   /record:<file>   write the record to <file> (else the file named by
//                    BRXSAMPLE_RECORD, else no record)
//   /exitcode:<n>    exit with <n> (else the number in exitcode.txt beside
//                    the program, else 1: installed)
//   /stdout:<n>      write <n> bytes to standard output, /stderr:<n> the same
//                    to standard error (lines of 63 'x' and a line feed)
//   /sleep:<ms>      wait before exiting
//   /echo            print the command line to standard output, a byte per
//                    write, as a program that echoes its arguments would
//
// Every other argument is ignored: the stub passes all of its own arguments
// on. The record is UTF-8 text, one "name=value" line each: commandline,
// directory, directory_dacl (its access list as SDDL), then env:<NAME> for
// CMPLOG2_VERBOSE_FILENAME and for every name listed (';'-separated) in
// BRXSAMPLE_ENV.
//
// BRXSAMPLE_COPY lists files to copy before the record is written, as
// "<source>|<destination>" pairs separated by ';' (a relative source is found
// in the current directory: the extraction directory the stub made), so a test
// can keep what the stub placed there after the stub has removed it.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <stdlib.h>
#include <wchar.h>

#include <string>

namespace {

bool HasPrefix(const wchar_t* arg, const wchar_t* prefix, const wchar_t** rest) {
  size_t n = wcslen(prefix);
  if (_wcsnicmp(arg, prefix, n) != 0) return false;
  *rest = arg + n;
  return true;
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring EnvVar(const wchar_t* name, bool* present) {
  wchar_t buffer[32768];
  DWORD n = GetEnvironmentVariableW(name, buffer, 32768);
  *present = n > 0 && n < 32768;
  return *present ? std::wstring(buffer, n) : std::wstring();
}

void AddEnvLine(const std::wstring& name, std::wstring* record) {
  bool present = false;
  std::wstring value = EnvVar(name.c_str(), &present);
  if (present) *record += L"env:" + name + L"=" + value + L"\n";
}

// The access list of a folder as SDDL text; empty when it cannot be read.
std::wstring DaclText(const wchar_t* path) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(path, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                            &descriptor) != ERROR_SUCCESS) {
    return std::wstring();
  }
  std::wstring result;
  LPWSTR text = nullptr;
  if (ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                           &text, nullptr)) {
    result = text;
    LocalFree(text);
  }
  LocalFree(descriptor);
  return result;
}

void WriteRecord(const std::wstring& path) {
  std::wstring record = L"commandline=" + std::wstring(GetCommandLineW()) + L"\n";
  wchar_t directory[MAX_PATH + 1];
  DWORD n = GetCurrentDirectoryW(MAX_PATH + 1, directory);
  record += L"directory=" + std::wstring(directory, n <= MAX_PATH ? n : 0) + L"\n";
  record += L"directory_dacl=" + DaclText(directory) + L"\n";
  AddEnvLine(L"CMPLOG2_VERBOSE_FILENAME", &record);
  bool present = false;
  std::wstring names = EnvVar(L"BRXSAMPLE_ENV", &present);
  size_t start = 0;
  while (start < names.size()) {
    size_t end = names.find(L';', start);
    if (end == std::wstring::npos) end = names.size();
    if (end > start) AddEnvLine(names.substr(start, end - start), &record);
    start = end + 1;
  }
  std::string bytes = Utf8(record);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

void CopyListedFiles() {
  bool present = false;
  std::wstring list = EnvVar(L"BRXSAMPLE_COPY", &present);
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find(L';', start);
    if (end == std::wstring::npos) end = list.size();
    std::wstring pair = list.substr(start, end - start);
    size_t bar = pair.find(L'|');
    if (bar != std::wstring::npos) {
      CopyFileW(pair.substr(0, bar).c_str(), pair.substr(bar + 1).c_str(), FALSE);
    }
    start = end + 1;
  }
}

// The number in exitcode.txt beside this program; false when there is none.
bool ExitCodeFromFile(int* code) {
  wchar_t path[MAX_PATH + 32];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  wchar_t* slash = wcsrchr(path, L'\\');
  if (!slash) return false;
  wcscpy(slash + 1, L"exitcode.txt");
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char text[32] = {};
  DWORD read = 0;
  ReadFile(file, text, sizeof(text) - 1, &read, nullptr);
  CloseHandle(file);
  *code = static_cast<int>(strtol(text, nullptr, 10));
  return true;
}

void WriteBytes(DWORD which, unsigned long count) {
  HANDLE out = GetStdHandle(which);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  // Whole lines in large writes, as a real program's runtime would buffer them.
  static char block[64 * 1024];
  for (size_t i = 0; i < sizeof(block); ++i) block[i] = (i % 64 == 63) ? '\n' : 'x';
  while (count > 0) {
    DWORD chunk = count < sizeof(block) ? count : static_cast<DWORD>(sizeof(block));
    DWORD written = 0;
    if (!WriteFile(out, block + sizeof(block) - chunk, chunk, &written, nullptr) || written == 0) return;
    count -= written;
  }
}

void EchoCommandLine() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  std::string line = Utf8(GetCommandLineW()) + "\n";
  for (char c : line) {
    DWORD written = 0;
    if (!WriteFile(out, &c, 1, &written, nullptr)) return;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring record_path;
  bool have_code = false;
  int code = 1;
  unsigned long out_bytes = 0, err_bytes = 0, sleep_ms = 0;
  bool echo = false;
  for (int i = 1; i < argc; ++i) {
    const wchar_t* value = nullptr;
    if (HasPrefix(argv[i], L"/record:", &value)) {
      record_path = value;
    } else if (HasPrefix(argv[i], L"/exitcode:", &value)) {
      code = static_cast<int>(wcstol(value, nullptr, 10));
      have_code = true;
    } else if (HasPrefix(argv[i], L"/stdout:", &value)) {
      out_bytes = wcstoul(value, nullptr, 10);
    } else if (HasPrefix(argv[i], L"/stderr:", &value)) {
      err_bytes = wcstoul(value, nullptr, 10);
    } else if (HasPrefix(argv[i], L"/sleep:", &value)) {
      sleep_ms = wcstoul(value, nullptr, 10);
    } else if (_wcsicmp(argv[i], L"/echo") == 0) {
      echo = true;
    }
  }
  if (record_path.empty()) {
    bool present = false;
    record_path = EnvVar(L"BRXSAMPLE_RECORD", &present);
  }
  if (!have_code) ExitCodeFromFile(&code);

  CopyListedFiles();
  if (!record_path.empty()) WriteRecord(record_path);
  // Both streams in turn: the caller has to read while the program writes,
  // or the second stream is never reached.
  if (echo) EchoCommandLine();
  WriteBytes(STD_OUTPUT_HANDLE, out_bytes);
  WriteBytes(STD_ERROR_HANDLE, err_bytes);
  if (sleep_ms) Sleep(sleep_ms);
  return code;
}
