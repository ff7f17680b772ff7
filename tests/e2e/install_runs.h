// Logged installs in end-to-end tests: packages with a payload the setup
// program can report on, the part of the component log one run appended, and
// restorers for the machine state a test changes (the log locked, the
// preinstallation key, winmgmt stopped).
#ifndef BRX_TESTS_E2E_INSTALL_RUNS_H_
#define BRX_TESTS_E2E_INSTALL_RUNS_H_

#include <windows.h>

#include <string>
#include <vector>

#include "brxpack/package_writer.h"
#include "stub_runs.h"
#include "support/scratch_dir.h"
#include "support/test_files.h"

namespace brxe2e {

using brxtest::Narrow;  // ASCII paths, as the log holds them
inline bool DirectoryExists(const std::wstring& path) { return brxtest::IsDirectory(path); }
inline void RemoveTree(const std::wstring& path) { brxtest::RemoveDir(path); }

extern const char kInstallDefinition[];  // names setup.exe, file name e2epkg.exe
extern const wchar_t kLogNotOpenedText[];   // string 709
extern const wchar_t kExtractFailedText[];  // string 1005
extern const wchar_t kNoWmiText[];          // string 1051
// The progress window is left alone: answering it would end the extraction.
brxwatch::Rule LeaveProgressOpen();

std::string ReadBinary(const std::wstring& path);
bool FileExists(const std::wstring& path);
// A folder that exists and holds nothing.
bool IsEmptyDirectory(const std::wstring& dir);
// Deletes a directory and everything in it.

struct InstallEntry {
  std::string name;
  std::string data;
  brxpack::Method method = brxpack::Method::kDeflate;
  uint32_t external_attributes = 0x20;  // 0x21: stored read-only
};

// The test setup program as setup.exe (exiting with `setup_code`), the
// definition, and `extra` entries; `transform` as brxpack applies it.
std::wstring BuildInstallPackage(StubRun& run, const std::wstring& name, int setup_code,
                                 const std::vector<InstallEntry>& extra,
                                 brxpack::EntryTransform transform = nullptr);

// Flips one byte in the middle of the stored data of `entry`, so its CRC no
// longer matches. The entry must have been stored, not deflated.
bool CorruptStoredEntry(const std::wstring& package, const std::string& entry);

// The log folder of this test's runs, with its closing backslash. The test
// build of the stub (kRecordingStub, StubRun's default) logs into a folder
// of the test's own below C:\brxe2e, named in BRX_LOG_FOLDER, which the
// first call sets in the test's environment for every stub it starts: tests
// that read their logs run side by side. The shipped stub always logs into
// the machine's folder (MachineLogDirectory).
std::wstring LogDirectory();
std::wstring MainLogPath();
// The session records beside it.
std::wstring RecordPath();
// C:\brxsystem\log\, shared by every shipped stub's run on the machine.
std::wstring MachineLogDirectory();
std::wstring MachineLogPath();

// Remembers the log's size; Appended() is what runs added since.
class LogTail {
 public:
  LogTail() : LogTail(MainLogPath()) {}
  // The same for another file that is only appended to.
  explicit LogTail(const std::wstring& path);
  // Forgets what was appended so far.
  void Mark();
  std::string Appended() const;
  bool Unchanged() const;
  const std::string& before() const { return before_; }

 private:
  std::wstring path_;
  std::string before_;
};

// gtest check: each of `lines` occurs in `text`, each after the one before.
void ExpectInOrder(const std::string& text, const std::vector<std::string>& lines);

// The extraction directory a session names in its "Changing current directory"
// line; empty when there is none.
std::string ExtractionDirectoryOf(const std::string& session);
// A direct child of the temporary directory named by an upper-case {GUID}.
bool IsGuidDirectoryInTemp(const std::string& path);
// True when `path` waits in PendingFileRenameOperations for deletion at boot.
bool PendingDeletionAtBoot(const std::string& path);

// A record file of the test setup program ("name=value" lines); empty when
// the program did not run.
std::string RecordValue(const std::wstring& record_file, const std::string& name);

// Sets an environment variable of the test process (inherited by the stub)
// and restores its previous state.
class ScopedEnv {
 public:
  ScopedEnv(const wchar_t* name, const std::wstring& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::wstring name_;
  std::wstring old_;
  bool had_ = false;
};

// Holds the component log open without sharing, so no stub can open it.
class LogLock {
 public:
  LogLock();
  ~LogLock();
  LogLock(const LogLock&) = delete;
  LogLock& operator=(const LogLock&) = delete;
  bool locked() const { return file_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
};

// Holds the component log open, shared as any reader may, and takes the
// byte-range lock its writers serialise on (one byte at 0x7FFFFFFF00000000).
class LogWriteLock {
 public:
  LogWriteLock();
  ~LogWriteLock();
  LogWriteLock(const LogWriteLock&) = delete;
  LogWriteLock& operator=(const LogWriteLock&) = delete;
  bool locked() const { return locked_; }

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
  bool locked_ = false;
};

// The preinstallation environment's key (32-bit view), removed again unless
// it was there before.
class MiniNtKey {
 public:
  MiniNtKey();
  ~MiniNtKey();
  MiniNtKey(const MiniNtKey&) = delete;
  MiniNtKey& operator=(const MiniNtKey&) = delete;
  bool present() const { return present_; }

 private:
  bool present_ = false;
  bool created_ = false;
};

// winmgmt stopped for the object's life and started again afterwards, also
// when the test fails: other tests need it running.
class WinmgmtStopped {
 public:
  WinmgmtStopped();
  ~WinmgmtStopped();
  WinmgmtStopped(const WinmgmtStopped&) = delete;
  WinmgmtStopped& operator=(const WinmgmtStopped&) = delete;
  bool stopped() const { return stopped_; }

 private:
  bool stopped_ = false;
};

bool WaitForWinmgmt(DWORD state, DWORD timeout_ms);

// Only the message boxes among the dialogs of a run.
std::vector<brxwatch::DialogRecord> MessageBoxes(const RunResult& r);

}  // namespace brxe2e

#endif  // BRX_TESTS_E2E_INSTALL_RUNS_H_
