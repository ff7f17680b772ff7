// Start-up of the real stub under Wine: help, a stub without payload, and the
// exit codes seen by callers that read DOS-style codes.
#include <gtest/gtest.h>

#include "stub_runs.h"

namespace brxe2e {
namespace {

struct Case {
  std::vector<std::wstring> args;
  Parent parent;
  DWORD exit_code;
};

bool IsSilent(const std::vector<std::wstring>& args) {
  for (const std::wstring& a : args) {
    if (a == L"/silent" || a == L"/s") return true;
  }
  return false;
}

// Message 1000, or no window at all for a silent run.
void ExpectNoPackage(const RunResult& r, const std::vector<std::wstring>& args) {
  if (IsSilent(args)) {
    ExpectNoDialog(r);
  } else {
    ExpectOnlyNoPackageMessage(r);
  }
}

std::string Name(const Case& c) {
  std::wstring s = c.parent == Parent::kAgent ? L"[agent]" : L"[test]";
  for (const std::wstring& a : c.args) s += L" " + a;
  return brxwatch::ToUtf8(s);
}

// Help comes before everything else, even /silent, and is not remapped for
// DOS-style callers.
TEST(E2eStartup, HelpShowsUsageDialogAndExitsWithOne) {
  StubRun run(kShippedStub);
  std::wstring pkg = run.PackageWithTail();
  const Case cases[] = {
      {{L"/?"}, Parent::kTest, 1},
      {{L"/?", L"/silent"}, Parent::kTest, 1},
      {{L"/s", L"/h"}, Parent::kTest, 1},
      {{L"/help", L"/dosretcode"}, Parent::kTest, 1},
      {{L"/?"}, Parent::kAgent, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Name(c));
    RunResult r = run.Start(pkg, c.args, c.parent);
    ExpectOnlyUsageDialog(r, pkg);
    EXPECT_EQ(r.exit_code, c.exit_code) << r.Describe();
  }
}

// Without a readable payload every mode but /silent ends at the same
// message; /silent shows nothing: a bare stub, and one whose tail only looks
// like an archive's end.
TEST(E2eStartup, StubWithoutArchiveShowsMessage1000AndExitsWithZero) {
  StubRun run(kShippedStub);
  std::string fake_end("PK\x05\x06", 4);
  fake_end += std::string(18, '\xFF');  // entry count and offsets far out of the file
  const std::wstring packages[] = {run.PackageWithTail(),
                                   run.PackageWithTail(fake_end, L"damaged.exe")};
  const Case cases[] = {
      {{}, Parent::kTest, 0},
      {{L"/silent"}, Parent::kTest, 0},
      {{L"/noprompt"}, Parent::kTest, 0},
      {{L"/extract:" + run.dir().File(L"out")}, Parent::kTest, 0},
  };
  for (const std::wstring& pkg : packages) {
    for (const Case& c : cases) {
      SCOPED_TRACE(Name(c) + " on " + brxwatch::ToUtf8(pkg));
      RunResult r = run.Start(pkg, c.args, c.parent);
      ExpectNoPackage(r, c.args);
      EXPECT_EQ(r.exit_code, c.exit_code) << r.Describe();
    }
  }
  EXPECT_EQ(GetFileAttributesW(run.dir().File(L"out").c_str()), INVALID_FILE_ATTRIBUTES)
      << "nothing may be extracted without a payload";
}

// /dosretcode and a parent named kelagent.exe (any letter case) both mean 1 is
// failure: a stub that cannot open its payload must not report success (0).
TEST(E2eStartup, DosStyleCallersSeeMissingArchiveAsFailure) {
  StubRun run(kShippedStub);
  std::wstring pkg = run.PackageWithTail();
  struct AgentCase {
    std::vector<std::wstring> args;
    Parent parent;
    const wchar_t* agent_name;
    DWORD exit_code;
  };
  const AgentCase cases[] = {
      {{L"/dosretcode"}, Parent::kTest, L"", 1},
      {{L"/silent", L"/dosretcode"}, Parent::kTest, L"", 1},
      {{}, Parent::kAgent, L"kelagent.exe", 1},
      {{L"/silent"}, Parent::kAgent, L"KelAgent.EXE", 1},
      // Only that name counts: another launcher leaves the codes alone.
      {{}, Parent::kAgent, L"kelagent2.exe", 0},
  };
  for (const AgentCase& c : cases) {
    SCOPED_TRACE(Name({c.args, c.parent, c.exit_code}) + " " + brxwatch::ToUtf8(c.agent_name));
    RunResult r = c.parent == Parent::kAgent ? run.Start(pkg, c.args, c.parent, {}, c.agent_name)
                                             : run.Start(pkg, c.args);
    ExpectNoPackage(r, c.args);
    EXPECT_EQ(r.exit_code, c.exit_code) << r.Describe();
  }
}

}  // namespace
}  // namespace brxe2e
