#include "stub_runs.h"

#include <gtest/gtest.h>

#include "brxpack/package_writer.h"
#include "dialog_template.h"
#include "install_runs.h"

namespace brxe2e {

const wchar_t kShippedStub[] = L"brxstub.exe";
const wchar_t kRecordingStub[] = L"brxstub_recording.exe";
const wchar_t kPackageCaption[] = L"Package Setup";
const wchar_t kNoPackageText[] =
    L"A package definition file was not found.  The file is not a valid Package.";

StubRun::StubRun(const wchar_t* stub) : stub_(stub) {
  // The test's own log folder, named in the environment before any run.
  if (stub_ != kShippedStub) LogDirectory();
}

std::wstring StubRun::Package(const std::vector<PackageFile>& files, const std::wstring& name) {
  std::wstring path = dir_.File(name);
  brxpack::PackageWriter writer;
  bool ok = writer.Begin(path.c_str(), BinPath(stub_).c_str());
  for (const PackageFile& f : files) {
    if (!ok) break;
    ok = writer.AddData(f.name, std::vector<unsigned char>(f.data.begin(), f.data.end()));
  }
  ok = ok && writer.Finish();
  EXPECT_TRUE(ok) << "cannot build the package: " << writer.error();
  return ok ? path : std::wstring();
}

std::wstring StubRun::PackageWithTail(const std::string& tail, const std::wstring& name) {
  std::wstring path = MakePackage(dir_, name, tail, stub_);
  EXPECT_FALSE(path.empty()) << "cannot make a package in the scratch folder";
  return path;
}

RunResult StubRun::Start(const std::wstring& package, const std::vector<std::wstring>& args,
                         Parent parent, std::vector<brxwatch::Rule> rules,
                         const std::wstring& agent_name) {
  RunOptions run;
  run.program = package;
  run.args = args;
  run.rules = std::move(rules);
  run.work_dir = dir_.path();
  if (time_limit_ms_) run.time_limit_ms = time_limit_ms_;
  if (parent == Parent::kAgent) {
    std::wstring agent = dir_.File(agent_name);
    if (GetFileAttributesW(agent.c_str()) == INVALID_FILE_ATTRIBUTES) {
      agent = CopyProgram(dir_, L"kelagent.exe", agent_name);
    }
    EXPECT_FALSE(agent.empty()) << "cannot copy kelagent.exe";
    run.launcher = agent;
  }
  return RunWatched(run);
}

void ExpectOnlyNoPackageMessage(const RunResult& r) {
  ASSERT_TRUE(r.started && !r.timed_out) << r.Describe();
  ASSERT_EQ(r.dialogs.size(), 1u) << r.Describe();
  const brxwatch::DialogRecord& box = r.dialogs[0];
  EXPECT_TRUE(box.IsMessageBox()) << r.Describe();
  EXPECT_EQ(box.caption, kPackageCaption) << r.Describe();
  EXPECT_EQ(box.text, kNoPackageText) << r.Describe();
  // A plain stop message: OK is its only button.
  EXPECT_NE(box.FindControl(IDOK), nullptr) << r.Describe();
  EXPECT_EQ(box.FindControl(IDCANCEL), nullptr) << r.Describe();
}

void ExpectNoDialog(const RunResult& r) {
  ASSERT_TRUE(r.started && !r.timed_out) << r.Describe();
  EXPECT_TRUE(r.dialogs.empty()) << r.Describe();
}

void ExpectOnlyUsageDialog(const RunResult& r, const std::wstring& package) {
  ASSERT_TRUE(r.started && !r.timed_out) << r.Describe();
  ASSERT_EQ(r.dialogs.size(), 1u) << r.Describe();
  brxwatch::DialogTemplate usage;
  ASSERT_TRUE(brxwatch::LoadDialogTemplate(package, kUsageDialogId, 0, &usage))
      << "no dialog template 108 in the stub";
  std::wstring why;
  EXPECT_TRUE(brxwatch::MatchesTemplate(r.dialogs[0], usage, &why))
      << brxwatch::ToUtf8(why) << "\n" << r.Describe();
  EXPECT_EQ(r.dialogs[0].answered_id, IDCANCEL) << "the Close button is id 2";
}

}  // namespace brxe2e
