#include "install_runs.h"

#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>

namespace brxe2e {

const char kInstallDefinition[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<brx_package version=\"2.0.2.0\">\n"
    "  <filename>e2epkg.exe</filename>\n"
    "  <version value=\"1.0.0.0\"/>\n"
    "  <name><name_xlate lang=\"en\">Logged Component</name_xlate></name>\n"
    "  <installation><install>\n"
    "    <command>setup.exe</command>\n"
    "    <command_params>/component e2e</command_params>\n"
    "  </install></installation>\n"
    "</brx_package>\n";

const wchar_t kLogNotOpenedText[] =
    L"The log could not be opened.  Execution will continue, but will not be logged.";
const wchar_t kExtractFailedText[] =
    L"Package Setup was unable to extract the package properly.  Installation will not continue.";
const wchar_t kNoWmiText[] =
    L"Windows Management Instrumentation (WMI) is not installed or has been disabled.  Please install or "
    L"enable this service in order to continue installation of this component.";

brxwatch::Rule LeaveProgressOpen() { return brxwatch::Rule{L"Extraction Progress", L"", brxwatch::kLeaveOpen}; }

std::string ReadBinary(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

bool IsEmptyDirectory(const std::wstring& dir) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool empty = true;
  do {
    std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") empty = false;
  } while (empty && FindNextFileW(find, &data));
  FindClose(find);
  return empty;
}

bool FileExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return text;
}

uint32_t Le(const std::string& bytes, size_t at, int width) {
  uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

bool WriteBinary(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size();
  CloseHandle(file);
  return ok;
}

}  // namespace

std::wstring BuildInstallPackage(StubRun& run, const std::wstring& name, int setup_code,
                                 const std::vector<InstallEntry>& extra, brxpack::EntryTransform transform) {
  std::string setup = ReadBinary(BinPath(L"brxtest_setup.exe"));
  EXPECT_FALSE(setup.empty()) << "brxtest_setup.exe missing";
  std::vector<InstallEntry> entries = {{"e2epkg.xml", kInstallDefinition},
                                       {"setup.exe", setup},
                                       {"exitcode.txt", std::to_string(setup_code)}};
  entries.insert(entries.end(), extra.begin(), extra.end());

  std::wstring path = run.dir().File(name);
  brxpack::PackageWriter writer;
  if (transform) writer.set_transform(transform);
  bool ok = writer.Begin(path.c_str(), BinPath(run.stub()).c_str());
  for (const InstallEntry& e : entries) {
    if (!ok) break;
    brxpack::EntryOptions options;
    options.method = e.method;
    options.external_attributes = e.external_attributes;
    ok = writer.AddData(e.name, std::vector<unsigned char>(e.data.begin(), e.data.end()), options);
  }
  ok = ok && writer.Finish();
  EXPECT_TRUE(ok) << "cannot build the package: " << writer.error();
  return ok ? path : std::wstring();
}

bool CorruptStoredEntry(const std::wstring& package, const std::string& entry) {
  std::string bytes = ReadBinary(package);
  const std::string signature("PK\x03\x04", 4);
  for (size_t at = bytes.find(signature); at != std::string::npos; at = bytes.find(signature, at + 1)) {
    if (at + 30 > bytes.size()) break;
    size_t name_length = Le(bytes, at + 26, 2);
    size_t extra_length = Le(bytes, at + 28, 2);
    if (at + 30 + name_length > bytes.size() || bytes.compare(at + 30, name_length, entry) != 0) continue;
    if (Le(bytes, at + 8, 2) != 0) return false;  // deflated: a flipped byte may fail inflate instead
    size_t size = Le(bytes, at + 18, 4);
    size_t data = at + 30 + name_length + extra_length;
    if (size == 0 || data + size > bytes.size()) return false;
    bytes[data + size / 2] ^= 0x5A;
    return WriteBinary(package, bytes);
  }
  return false;
}

namespace {

std::wstring SystemDriveOf() {
  wchar_t drive[MAX_PATH] = L"C:";
  DWORD n = GetEnvironmentVariableW(L"SystemDrive", drive, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(drive, n) : std::wstring(L"C:");
}

// A test's folder below C:\brxe2e, named after the test and the process (one
// ctest test is one process), so no two tests running at once share it.
std::wstring TestLogFolder() {
  std::wstring name = L"run";
  if (const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info()) {
    std::string ascii = std::string(test->test_suite_name()) + "." + test->name();  // C++ names
    name.assign(ascii.begin(), ascii.end());
  }
  return SystemDriveOf() + L"\\brxe2e\\" + name + L"-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
}

}  // namespace

std::wstring LogDirectory() {
  static const std::wstring folder = [] {
    std::wstring f = TestLogFolder();
    // Inherited by every stub this test starts; only the test build reads it.
    SetEnvironmentVariableW(L"BRX_LOG_FOLDER", f.c_str());
    return f;
  }();
  return folder;
}

std::wstring MachineLogDirectory() { return SystemDriveOf() + L"\\brxsystem\\log\\"; }

std::wstring MachineLogPath() { return MachineLogDirectory() + L"brxsetup.log"; }

std::wstring MainLogPath() { return LogDirectory() + L"brxsetup.log"; }

std::wstring RecordPath() { return LogDirectory() + L"brxsetup.jsonl"; }

LogTail::LogTail(const std::wstring& path) : path_(path), before_(ReadBinary(path)) {}

void LogTail::Mark() { before_ = ReadBinary(path_); }

std::string LogTail::Appended() const {
  std::string now = ReadBinary(path_);
  EXPECT_GE(now.size(), before_.size()) << "the log was shortened";
  EXPECT_EQ(now.compare(0, before_.size(), before_), 0) << "earlier sessions were changed";
  return now.size() > before_.size() ? now.substr(before_.size()) : std::string();
}

bool LogTail::Unchanged() const { return ReadBinary(path_) == before_; }

void ExpectInOrder(const std::string& text, const std::vector<std::string>& lines) {
  size_t from = 0;
  for (const std::string& line : lines) {
    size_t at = text.find(line, from);
    if (at == std::string::npos) {
      ADD_FAILURE() << "missing, or out of order: \"" << line << "\"\nin:\n" << text;
      return;
    }
    from = at + line.size();
  }
}

std::string ExtractionDirectoryOf(const std::string& session) {
  const std::string marker = "Changing current directory to extraction directory [";
  size_t at = session.find(marker);
  if (at == std::string::npos) return std::string();
  at += marker.size();
  size_t end = session.find("]... ", at);
  return end == std::string::npos ? std::string() : session.substr(at, end - at);
}

bool IsGuidDirectoryInTemp(const std::string& path) {
  wchar_t temp[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  std::string base = Narrow(std::wstring(temp, n));
  if (!base.empty() && base.back() != '\\') base += '\\';
  if (path.size() != base.size() + 38 || Lower(path.substr(0, base.size())) != Lower(base)) return false;
  std::string guid = path.substr(base.size());
  for (size_t i = 0; i < guid.size(); ++i) {
    char c = guid[i];
    if (i == 0) {
      if (c != '{') return false;
    } else if (i == 37) {
      if (c != '}') return false;
    } else if (i == 9 || i == 14 || i == 19 || i == 24) {
      if (c != '-') return false;
    } else if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
      return false;
    }
  }
  return true;
}

bool PendingDeletionAtBoot(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_QUERY_VALUE,
                    &key) != ERROR_SUCCESS) {
    return false;
  }
  DWORD type = 0, size = 0;
  std::wstring value;
  if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      size > 0) {
    value.resize(size / sizeof(wchar_t) + 1);
    RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, reinterpret_cast<BYTE*>(&value[0]),
                     &size);
  }
  RegCloseKey(key);
  // Pairs of (source, target); an empty target deletes. The sources carry the
  // "\??\" prefix of native paths.
  std::string wanted = Lower(path);
  size_t at = 0;
  while (at < value.size() && value[at] != L'\0') {
    std::wstring source = value.c_str() + at;
    at += source.size() + 1;
    std::wstring target = at < value.size() ? value.c_str() + at : L"";
    at += target.size() + 1;
    std::string name = Lower(Narrow(source));
    if (name.size() >= wanted.size() && name.compare(name.size() - wanted.size(), wanted.size(), wanted) == 0 &&
        target.empty()) {
      return true;
    }
  }
  return false;
}

std::string RecordValue(const std::wstring& record_file, const std::string& name) {
  std::string text = ReadBinary(record_file);
  std::string key = name + "=";
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    if (text.compare(at, key.size(), key) == 0) return text.substr(at + key.size(), end - at - key.size());
    at = end + 1;
  }
  return std::string();
}

ScopedEnv::ScopedEnv(const wchar_t* name, const std::wstring& value) : name_(name) {
  wchar_t buffer[32768];
  DWORD n = GetEnvironmentVariableW(name, buffer, 32768);
  had_ = n > 0 && n < 32768;
  if (had_) old_.assign(buffer, n);
  SetEnvironmentVariableW(name, value.c_str());
}

ScopedEnv::~ScopedEnv() { SetEnvironmentVariableW(name_.c_str(), had_ ? old_.c_str() : nullptr); }

namespace {

// The main log, created with its folders when missing, for reading.
HANDLE OpenMainLog(DWORD share) {
  const std::wstring folder = LogDirectory();
  for (size_t at = folder.find(L'\\', 3); at != std::wstring::npos; at = folder.find(L'\\', at + 1)) {
    CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
  }
  return CreateFileW(MainLogPath().c_str(), GENERIC_READ, share, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

LogLock::LogLock() { file_ = OpenMainLog(0); }

LogLock::~LogLock() {
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
}

LogWriteLock::LogWriteLock() {
  file_ = OpenMainLog(FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (file_ == INVALID_HANDLE_VALUE) return;
  OVERLAPPED at = {};
  at.OffsetHigh = 0x7FFFFFFF;
  locked_ = LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != FALSE;
}

LogWriteLock::~LogWriteLock() {
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
}

namespace {
const wchar_t kMiniNt[] = L"SYSTEM\\CurrentControlSet\\Control\\MiniNT";
}

MiniNtKey::MiniNtKey() {
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kMiniNt, 0, nullptr, 0, KEY_READ | KEY_WOW64_32KEY, nullptr, &key,
                      &disposition) != ERROR_SUCCESS) {
    return;
  }
  RegCloseKey(key);
  present_ = true;
  created_ = disposition == REG_CREATED_NEW_KEY;
}

MiniNtKey::~MiniNtKey() {
  if (created_) RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kMiniNt, KEY_WOW64_32KEY, 0);
}

bool WaitForWinmgmt(DWORD state, DWORD timeout_ms) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return false;
  SC_HANDLE service = OpenServiceW(manager, L"winmgmt", SERVICE_QUERY_STATUS);
  bool reached = false;
  for (DWORD waited = 0; service && waited <= timeout_ms; waited += 100) {
    SERVICE_STATUS status = {};
    if (QueryServiceStatus(service, &status) && status.dwCurrentState == state) {
      reached = true;
      break;
    }
    Sleep(100);
  }
  if (service) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return reached;
}

namespace {

// The state change itself: the same as "sc stop/start winmgmt".
void ControlWinmgmt(bool start) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return;
  SC_HANDLE service = OpenServiceW(manager, L"winmgmt", SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS);
  if (service) {
    if (start) {
      StartServiceW(service, 0, nullptr);
    } else {
      SERVICE_STATUS status = {};
      ControlService(service, SERVICE_CONTROL_STOP, &status);
    }
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
}

}  // namespace

WinmgmtStopped::WinmgmtStopped() {
  ControlWinmgmt(false);
  stopped_ = WaitForWinmgmt(SERVICE_STOPPED, 15000);
}

WinmgmtStopped::~WinmgmtStopped() {
  ControlWinmgmt(true);
  EXPECT_TRUE(WaitForWinmgmt(SERVICE_RUNNING, 15000)) << "winmgmt did not start again";
}

std::vector<brxwatch::DialogRecord> MessageBoxes(const RunResult& r) {
  std::vector<brxwatch::DialogRecord> boxes;
  for (const brxwatch::DialogRecord& d : r.dialogs) {
    if (d.IsMessageBox()) boxes.push_back(d);
  }
  return boxes;
}

}  // namespace brxe2e
