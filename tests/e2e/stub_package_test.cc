// The stub over real appended archives (built with brx_packer) under Wine.
#include <gtest/gtest.h>

#include "stub_runs.h"

namespace brxe2e {
namespace {

std::wstring Join(const std::vector<std::wstring>& args) {
  std::wstring s;
  for (const std::wstring& a : args) s += L" " + a;
  return s;
}

// An archive without a definition: the message is skipped under /silent, and
// the DOS-style column turns the failure into 1.
TEST(E2eStartup, PackageWithoutDefinitionFailsQuietlyUnderSilent) {
  StubRun run(kShippedStub);
  std::wstring pkg = run.Package({{"readme.txt", "no definition here"},
                                  {"other.xml", "<other version=\"2.0.1.0\"/>"}});
  struct DefinitionCase {
    std::vector<std::wstring> args;
    Parent parent;
    bool message;
    DWORD exit_code;
  };
  const DefinitionCase cases[] = {
      {{}, Parent::kTest, true, 0},
      {{L"/noprompt"}, Parent::kTest, true, 0},
      {{L"/silent"}, Parent::kTest, false, 0},
      {{L"/silent", L"/dosretcode"}, Parent::kTest, false, 1},
      {{L"/dosretcode"}, Parent::kTest, true, 1},
      {{}, Parent::kAgent, true, 1},
  };
  for (const DefinitionCase& c : cases) {
    SCOPED_TRACE(brxwatch::ToUtf8((c.parent == Parent::kAgent ? L"[agent]" : L"[test]") + Join(c.args)));
    RunResult r = run.Start(pkg, c.args, c.parent);
    if (c.message) {
      ExpectOnlyNoPackageMessage(r);
    } else {
      ExpectNoDialog(r);
    }
    EXPECT_EQ(r.exit_code, c.exit_code) << r.Describe();
  }
}

}  // namespace
}  // namespace brxe2e
