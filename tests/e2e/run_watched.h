// Starts a Windows program under a time limit, records and answers its dialogs,
// and reports what happened: the building block of every end-to-end test.
//
//   ScratchDir dir;
//   std::wstring pkg = MakePackage(dir, L"pkg.exe", archive_bytes);
//   RunResult r = RunWatched({pkg, {L"/silent"}});
//   EXPECT_EQ(r.exit_code, 0u) << r.Describe();
#ifndef BRX_TESTS_E2E_RUN_WATCHED_H_
#define BRX_TESTS_E2E_RUN_WATCHED_H_

#include <windows.h>

#include <string>
#include <vector>

#include "record.h"
#include "watcher.h"

namespace brxe2e {

// The folder of the running test binary; every executable of the tree is there.
std::wstring BinDir();
std::wstring BinPath(const std::wstring& name);

// A fresh directory under the temporary folder, removed with everything in it
// on destruction (kept when BRX_E2E_KEEP is set, for looking at a failure).
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::wstring& path() const { return path_; }
  std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

// A copy of `stub` (a program of the tree) named `name` in `dir` with
// `appended` written after its image (an archive, or nothing for a stub
// without one). Empty on failure.
std::wstring MakePackage(const ScratchDir& dir, const std::wstring& name, const std::string& appended,
                         const std::wstring& stub = L"brxstub.exe");

// A copy of a program of the tree under another name (e.g. kelagent.exe in
// other letter case). Empty on failure.
std::wstring CopyProgram(const ScratchDir& dir, const std::wstring& program,
                         const std::wstring& new_name);

struct RunOptions {
  std::wstring program;
  std::vector<std::wstring> args;
  // Started through this launcher (e.g. kelagent.exe) so it becomes the parent.
  std::wstring launcher;
  std::vector<brxwatch::Rule> rules;
  // Everything the run started is killed once this has passed. A run takes
  // 0.2 to 1.5 s even on a heavily loaded machine; a test's runs together must
  // stay within ctest's 120 s per test, so a hang fails here with a screenshot.
  DWORD time_limit_ms = 10000;
  std::wstring work_dir;
};

struct RunResult {
  std::wstring command;
  bool started = false;
  bool timed_out = false;
  DWORD exit_code = 0xFFFFFFFF;
  DWORD elapsed_ms = 0;
  std::wstring error;  // why it did not start
  std::vector<brxwatch::DialogRecord> dialogs;
  std::wstring screenshot;  // saved when the run timed out

  // For failure messages: the command, outcome and every dialog seen.
  std::string Describe() const;
};

RunResult RunWatched(const RunOptions& options);

// One argument quoted by the rules CommandLineToArgvW reverses.
std::wstring QuoteArgument(const std::wstring& arg);

}  // namespace brxe2e

#endif  // BRX_TESTS_E2E_RUN_WATCHED_H_
