#include "install/setup_command_line.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "log/cmp_log2.h"
#include "package/entry_source.h"
#include "package/ppkg.h"
#include "support/recording_log.h"

namespace brx {
namespace {

using Args = std::vector<std::wstring>;

class FakeMap : public ArgumentMap {
 public:
  std::map<std::wstring, std::wstring> entries;
  const wchar_t* Map(const wchar_t* argument) const override {
    auto found = entries.find(argument);
    return found == entries.end() ? argument : found->second.c_str();
  }
};

std::wstring Build(const Args& args, bool mask, const FakeMap& map = FakeMap(),
                   const wchar_t* dir = L"C:\\Temp\\{X}", const wchar_t* params = L"-q") {
  SetupCommandLine out;
  if (!BuildSetupCommandLine(dir, L"setup.exe", params, args, map, mask, &out)) return L"<failed>";
  return out.get();
}

TEST(SetupCommandLineTest, ArgumentsFollowTheParametersInOrder) {
  EXPECT_EQ(L"\"C:\\Temp\\{X}\\setup.exe\" -q /s /f", Build({L"/s", L"/f"}, false));
  EXPECT_EQ(L"\"C:\\Temp\\{X}\\setup.exe\"", Build({}, false, FakeMap(), L"C:\\Temp\\{X}", L""));
  // A directory ending in a backslash gets no second one.
  EXPECT_EQ(L"\"C:\\Out\\setup.exe\" -q", Build({}, false, FakeMap(), L"C:\\Out\\"));
}

TEST(SetupCommandLineTest, MapDropsTranslatesAndQuotes) {
  FakeMap map;
  map.entries[L"/f"] = L"/force";
  map.entries[L"/drop"] = L" ";
  map.entries[L"/two"] = L"two words";
  EXPECT_EQ(L"\"C:\\Temp\\{X}\\setup.exe\" -q /force \"two words\" \"a b\" say\"a b\"",
            Build({L"/f", L"/drop", L"/two", L"a b", L"say\"a b\""}, false, map));
}

// The setup program must read back exactly the arguments the stub received,
// including a quoted folder ending in a backslash, one holding a tab and an
// empty one (which must not let the next argument take its place).
TEST(SetupCommandLineTest, QuotedArgumentsSplitBackUnchanged) {
  Args args = {L"/dir:C:\\My Dir\\", L"a\tb", L"/s", L"x y\\\\", L"-p", L"", L"/f"};
  std::wstring line = Build(args, false);
  EXPECT_EQ(L"\"C:\\Temp\\{X}\\setup.exe\" -q \"/dir:C:\\My Dir\\\\\" \"a\tb\" /s \"x y\\\\\\\\\" -p \"\" /f", line);
  Args split = SplitCommandLine(line.c_str(), FirstArgument::kProgramPath);
  ASSERT_EQ(9u, split.size()) << line;
  EXPECT_EQ(Args(split.begin() + 2, split.end()), args);
}

TEST(SetupCommandLineTest, CredentialsAreMaskedOnlyInTheMaskedVariant) {
  Args args = {L"/user", L"bob", L"--password=x", L"/pwx", L"-P:secret", L"//bmcpw", L"pw2", L"/u"};
  EXPECT_EQ(L"\"C:\\Temp\\{X}\\setup.exe\" -q /user bob --password=x /pwx -P:secret //bmcpw pw2 /u",
            Build(args, false));
  EXPECT_EQ(L"\"C:\\Temp\\{X}\\setup.exe\" -q /user **** **** /pwx **** //bmcpw **** /u ****",
            Build(args, true));
  // What the masks hide, for masking the program's output too.
  SetupCommandLine out;
  Args hidden;
  ASSERT_TRUE(BuildSetupCommandLine(L"C:\\T", L"setup.exe", L"", args, FakeMap(), true, &out, &hidden));
  EXPECT_EQ((Args{L"bob", L"x", L"secret", L"pw2"}), hidden);
}

TEST(SetupCommandLineTest, MaskedValueIsNeverTranslated) {
  FakeMap map;
  map.entries[L"secret"] = L"mapped";
  map.entries[L"/login"] = L"/username";
  EXPECT_EQ(L"\"C:\\Temp\\{X}\\setup.exe\" -q /username ****", Build({L"/login", L"secret"}, true, map));
  EXPECT_EQ(L"\"C:\\Temp\\{X}\\setup.exe\" -q /username mapped", Build({L"/login", L"secret"}, false, map));
}

TEST(SetupCommandLineTest, MissingPartsAndOverlongLinesFail) {
  SetupCommandLine out;
  FakeMap map;
  EXPECT_FALSE(BuildSetupCommandLine(nullptr, L"setup.exe", nullptr, {}, map, false, &out));
  EXPECT_FALSE(BuildSetupCommandLine(L"C:\\x", nullptr, nullptr, {}, map, false, &out));
  EXPECT_FALSE(BuildSetupCommandLine(L"C:\\x", L"", nullptr, {}, map, false, &out));
  // 2,047 characters fit; one more would have to be cut, so the line is refused.
  std::wstring prefix = L"\"C:\\x\\setup.exe\" ";
  std::wstring filler(2047 - prefix.size(), L'a');
  ASSERT_TRUE(BuildSetupCommandLine(L"C:\\x", L"setup.exe", nullptr, {filler}, map, false, &out));
  EXPECT_EQ(2047u, out.length());
  EXPECT_FALSE(BuildSetupCommandLine(L"C:\\x", L"setup.exe", nullptr, {filler + L"b"}, map, false, &out));
  EXPECT_TRUE(out.empty());

  // The masked copy is only logged: where masking makes it longer than the
  // executed line (an empty password, "", becomes "****"), it is cut, not
  // refused.
  Args args = {std::wstring(2047 - prefix.size() - 6, L'a'), L"/p", L""};
  ASSERT_TRUE(BuildSetupCommandLine(L"C:\\x", L"setup.exe", nullptr, args, map, false, &out));
  EXPECT_EQ(2047u, out.length());
  ASSERT_TRUE(BuildSetupCommandLine(L"C:\\x", L"setup.exe", nullptr, args, map, true, &out));
  EXPECT_EQ(2047u, out.length());
  EXPECT_EQ(L" /p **", std::wstring(out.get()).substr(2041));
}

using brxtest::RecordingLog;

TEST(SetupCommandLineTest, PackageMapsAndTheStepLogsTheMaskedLine) {
  MemoryEntrySource source;
  source.Add(L"p.xml",
             "<brx_package><filename>p.exe</filename><installation><install>"
             "<command>setup.exe</command><command_params>/c 1</command_params>"
             "</install></installation></brx_package>");
  source.Add(L"zt_data.xml",
             "<zt_pkg_data><installation><install><commandline_arg_map>"
             "<map source=\"/F\" dest=\"/force\"/></commandline_arg_map></install></installation></zt_pkg_data>");
  CPPkg package;
  ASSERT_TRUE(package.LoadPackageFrom(&source, L"p.exe", L"p.xml", L"en"));

  RecordingLog log;
  SetupCommandLine plain, masked;
  ASSERT_TRUE(BuildSetupCommandLines(log, package, L"\"C:\\dl\\p.exe\" /f /user bob", L"C:\\T",
                                     &plain, &masked));
  EXPECT_STREQ(L"\"C:\\T\\setup.exe\" /c 1 /force /user bob", plain.get());
  EXPECT_STREQ(L"\"C:\\T\\setup.exe\" /c 1 /force /user ****", masked.get());
  ASSERT_EQ(4u, log.entries.size());
  EXPECT_EQ(L"664:0:Building installation command line...\r\n\r\n", log.Line(0));
  EXPECT_EQ(L"687:0:Building installation command line complete. Success.\r\n\r\n", log.Line(1));
  EXPECT_EQ(L"694:0:Setup program = [setup.exe]\r\n\r\n", log.Line(2));
  EXPECT_EQ(L"700:0:Installation command line = [\"C:\\T\\setup.exe\" /c 1 /force /user ****]\r\n\r\n",
            log.Line(3));

  CPPkg empty;
  log.Clear();
  EXPECT_FALSE(BuildSetupCommandLines(log, empty, L"p.exe", L"C:\\T", &plain, &masked));
  ASSERT_EQ(3u, log.entries.size());
  EXPECT_EQ(L"673:2:Installation command line failed to build.\r\n\r\n", log.Line(1));
  EXPECT_EQ(L"678:0:Installation Halted...ERROR CODE (0)\r\n\r\n", log.Line(2));
}

}  // namespace
}  // namespace brx
