// Running the stub in end-to-end tests: a package in a scratch folder, started
// directly or under the agent launcher, and checks of what it showed.
//
// A new test is a few lines:
//   StubRun run;                                            // scratch folder
//   std::wstring pkg = run.Package({{"setup.xml", kXml}, {"setup.exe", bytes}});
//   RunResult r = run.Start(pkg, {L"/silent"}, Parent::kAgent);
//   EXPECT_EQ(r.exit_code, 0u) << r.Describe();
#ifndef BRX_TESTS_E2E_STUB_RUNS_H_
#define BRX_TESTS_E2E_STUB_RUNS_H_

#include <string>
#include <vector>

#include "run_watched.h"

namespace brxe2e {

enum class Parent { kTest, kAgent };

// Product texts the tests look for.
extern const wchar_t kPackageCaption[];   // string 1
extern const wchar_t kNoPackageText[];    // string 1000
constexpr int kUsageDialogId = 108;

struct PackageFile {
  std::string name;  // archive entry name, narrow as stored
  std::string data;
};

// The stub as shipped, and its recording test build, which appends a restart
// to the file named by BRX_SHUTDOWN_RECORD instead of restarting and logs
// into the test's own folder (install_runs.h, LogDirectory). Tests run the
// test build unless they are about the shipped stub itself.
extern const wchar_t kShippedStub[];
extern const wchar_t kRecordingStub[];

class StubRun {
 public:
  explicit StubRun(const wchar_t* stub = kRecordingStub);

  // The stub named `name` with an archive of `files` appended.
  std::wstring Package(const std::vector<PackageFile>& files,
                       const std::wstring& name = L"package.exe");
  // This run's stub named `name` with raw bytes appended (none: a bare stub).
  std::wstring PackageWithTail(const std::string& tail = std::string(),
                               const std::wstring& name = L"package.exe");

  // Runs `package` with `args`; under Parent::kAgent it is started by a copy of
  // kelagent.exe named `agent_name`, so that is its parent process.
  RunResult Start(const std::wstring& package, const std::vector<std::wstring>& args,
                  Parent parent = Parent::kTest, std::vector<brxwatch::Rule> rules = {},
                  const std::wstring& agent_name = L"kelagent.exe");

  const ScratchDir& dir() const { return dir_; }
  const std::wstring& stub() const { return stub_; }
  // For runs that are meant to take longer than RunOptions allows.
  void set_time_limit_ms(DWORD ms) { time_limit_ms_ = ms; }

 private:
  std::wstring stub_;
  DWORD time_limit_ms_ = 0;
  ScratchDir dir_;
};

// gtest checks: the run ended by itself and showed exactly this one window.
void ExpectOnlyNoPackageMessage(const RunResult& r);
void ExpectNoDialog(const RunResult& r);
void ExpectOnlyUsageDialog(const RunResult& r, const std::wstring& package);

}  // namespace brxe2e

#endif  // BRX_TESTS_E2E_STUB_RUNS_H_
