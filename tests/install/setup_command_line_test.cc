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

TEST(SetupCommandLineTest, BatchProgramsAreTheNamesWindowsRunsThroughCmd) {
  const struct {
    const wchar_t* program;
    bool batch;
  } rows[] = {
      {L"setup.cmd", true},   {L"SETUP.BAT", true},      {L"sub\\Run.Cmd", true},    {L"setup.cmd.", true},
      {L"setup.bat  .", true}, {L"setup.cmd::$DATA", true}, {L"setup.exe", false},      {L"setup", false},
      {L"setup.cmdx", false}, {L"setup.cmd.exe", false}, {L"cmd", false},             {L"bat\\setup.exe", false},
  };
  for (const auto& row : rows) EXPECT_EQ(row.batch, IsBatchProgram(row.program)) << row.program;
}

// What a batch setup program gets for one argument: the text cmd.exe passes
// through literally (the batch file sees it in %1, unquoted in %~1), or the
// refusal when no such text exists.
TEST(SetupCommandLineTest, BatchArgumentsAreQuotedForCmdOrRefused) {
  const struct {
    std::wstring argument;
    const wchar_t* passed;  // null: refused
  } rows[] = {
      {L"/s", L"/s"},
      {L"wow!x", L"wow!x"},
      {L"x&echo>C:\\pwned.txt", L"\"x&echo>C:\\pwned.txt\""},
      {L"a|b<c>d(e)^f", L"\"a|b<c>d(e)^f\""},
      {L"two words", L"\"two words\""},
      {L"tab\there", L"\"tab\there\""},
      {L"a,b", L"\"a,b\""},
      {L"k=v", L"\"k=v\""},
      {L"a;b", L"\"a;b\""},
      {L"", L"\"\""},
      {L"C:\\My Dir\\", L"\"C:\\My Dir\\\""},
      {L"100%OS%^x", nullptr},
      {L"50%", nullptr},
      {L"say\"hi", nullptr},
      {L"x\"&calc&\"", nullptr},
      {L"a\r\nb", nullptr},
      {L"eof\x1a", nullptr},
  };
  FakeMap map;
  for (const auto& row : rows) {
    SetupCommandLine out;
    BatchRefusal refusal;
    bool built = BuildSetupCommandLine(L"C:\\T", L"setup.cmd", nullptr, {L"/a", row.argument}, map, false, &out,
                                       nullptr, &refusal);
    if (row.passed) {
      ASSERT_TRUE(built) << row.argument;
      EXPECT_EQ(std::wstring(L"\"C:\\T\\setup.cmd\" /a ") + row.passed, out.get());
      EXPECT_EQ(nullptr, refusal.reason);
    } else {
      EXPECT_FALSE(built) << row.argument;
      EXPECT_TRUE(out.empty());
      ASSERT_NE(nullptr, refusal.reason) << row.argument;
      EXPECT_EQ(2u, refusal.argument);
      EXPECT_EQ(row.argument, refusal.text);
    }
  }
  // The same arguments reach an .exe under its own rules.
  EXPECT_EQ(L"\"C:\\Temp\\{X}\\setup.exe\" -q x&y 50% \"a b\"", Build({L"x&y", L"50%", L"a b"}, false));
  EXPECT_EQ(L"\"C:\\cmd.exe\" /d /v:off /s /c \"\"C:\\T\\setup.cmd\" \"a b\"\"",
            CommandProcessorLine(L"C:\\cmd.exe", L"\"C:\\T\\setup.cmd\" \"a b\""));
}

// The definition's own parameters stand unquoted, %NAME% and all, as long
// as they leave cmd.exe outside quotes for the arguments after them.
TEST(SetupCommandLineTest, BatchParametersThatLeaveQuotesOpenAreRefused) {
  const struct {
    const wchar_t* params;
    bool refused;
  } rows[] = {
      {L"/logdir:\"C:\\ProgramData\\Acme", true},
      {L"/logdir:\"C:\\Program Files\\Acme\"", false},
      {L"/tmp:%TEMP%\\x /v:%OS%", false},
      {L"/a ^\"x", false},             // an escaped quote is text
      {L"\"a^\" /b", false},            // inside quotes a caret is text
      {L"\"a^\" \"b", true},
      {L"/a\r\n/b", true},
      {L"/a\tb", false},
  };
  FakeMap map;
  for (const auto& row : rows) {
    SetupCommandLine out;
    BatchRefusal refusal;
    bool built = BuildSetupCommandLine(L"C:\\T", L"setup.cmd", row.params, {L"x&y"}, map, false, &out, nullptr,
                                       &refusal);
    EXPECT_EQ(!row.refused, built) << row.params;
    EXPECT_EQ(row.refused, refusal.parameters) << row.params;
    if (row.refused) {
      EXPECT_EQ(row.params, refusal.text);
    }
    // Any other program gets them as before.
    EXPECT_TRUE(BuildSetupCommandLine(L"C:\\T", L"setup.exe", row.params, {L"x&y"}, map, false, &out)) << row.params;
  }
}

using brxtest::RecordingLog;

// A refused argument is logged by position, its text only when the masked
// line would show it; nothing is built.
TEST(SetupCommandLineTest, BatchRefusalIsLoggedByPosition) {
  MemoryEntrySource source;
  source.Add(L"p.xml",
             "<brx_package><filename>p.exe</filename><installation><install>"
             "<command>setup.cmd</command></install></installation></brx_package>");
  CPPkg package;
  ASSERT_TRUE(package.LoadPackageFrom(&source, L"p.exe", L"p.xml", L"en"));
  MemoryEntrySource open_quote;
  open_quote.Add(L"p.xml",
                 "<brx_package><filename>p.exe</filename><installation><install><command>setup.cmd</command>"
                 "<command_params>/logdir:\"C:\\Acme</command_params></install></installation></brx_package>");
  CPPkg open_package;
  ASSERT_TRUE(open_package.LoadPackageFrom(&open_quote, L"p.exe", L"p.xml", L"en"));
  const struct {
    const CPPkg* package;
    const wchar_t* command_line;
    const wchar_t* directory;
    const wchar_t* logged;
  } rows[] = {
      {&package, L"p.exe /s -p 50%", L"C:\\T",
       L"675:2:The batch setup program cannot receive argument 3 [****] safely: cmd.exe would expand %NAME% in it "
       L"even inside double quotes.\r\n\r\n"},
      {&package, L"p.exe /s \"a\\\"b\"", L"C:\\T",
       L"675:2:The batch setup program cannot receive argument 2 [a\"b] safely: a double quote in it would end "
       L"cmd.exe's quoting.\r\n\r\n"},
      {&package, L"p.exe /s", L"C:\\100%x",
       L"675:2:The batch setup program cannot receive its path [C:\\100%x\\setup.cmd] safely: cmd.exe would "
       L"expand %NAME% in it even inside double quotes.\r\n\r\n"},
      {&open_package, L"p.exe /s", L"C:\\T",
       L"675:2:The batch setup program cannot receive the definition's parameters [/logdir:\"C:\\Acme] safely: an "
       L"unbalanced double quote in them would leave cmd.exe's quoting open for the arguments.\r\n\r\n"},
  };
  for (const auto& row : rows) {
    RecordingLog log;
    SetupCommandLine plain, masked;
    EXPECT_FALSE(BuildSetupCommandLines(log, *row.package, row.command_line, row.directory, &plain, &masked));
    ASSERT_EQ(4u, log.entries.size()) << row.command_line;
    EXPECT_EQ(row.logged, log.Line(1));
    EXPECT_EQ(L"673:2:Installation command line failed to build.\r\n\r\n", log.Line(2));
    EXPECT_EQ(L"678:0:Installation Halted...ERROR CODE (0)\r\n\r\n", log.Line(3));
  }
}

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
