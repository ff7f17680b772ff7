#include "base/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brx {
namespace {

using Args = std::vector<std::wstring>;

Args Split(const wchar_t* line) { return SplitCommandLine(line, FirstArgument::kOrdinary); }

TEST(CommandLineTest, BlanksQuotesAndBackslashes) {
  EXPECT_EQ(Args(), Split(L""));
  EXPECT_EQ(Args(), Split(L"  \t "));
  EXPECT_EQ((Args{L"/s", L"/f"}), Split(L" /s\t/f "));
  EXPECT_EQ((Args{L"a b", L"c"}), Split(L"\"a b\" c"));
  EXPECT_EQ((Args{L"/extract:C:\\Program Files\\x"}), Split(L"/extract:\"C:\\Program Files\\x\""));
  EXPECT_EQ((Args{L"C:\\dir\\"}), Split(L"C:\\dir\\"));       // no quote: backslashes literal
  EXPECT_EQ((Args{L"a\\\"b"}), Split(L"a\\\\\\\"b"));          // 3 backslashes + quote
  EXPECT_EQ((Args{L"a\\\\b c"}), Split(L"\"a\\\\b c\""));    // backslashes without a quote stay
  EXPECT_EQ((Args{L"a\\", L"b"}), Split(L"\"a\\\\\" b"));      // 2 backslashes + closing quote
  EXPECT_EQ((Args{L"say \"hi\""}), Split(L"\"say \"\"hi\"\"\""));
  EXPECT_EQ((Args{L""}), Split(L"\"\""));
}

TEST(CommandLineTest, ProgramPathKeepsBackslashes) {
  Args args = SplitCommandLine(L"\"C:\\My Pkg\\pkg.exe\" /s \"x y\"", FirstArgument::kProgramPath);
  EXPECT_EQ((Args{L"C:\\My Pkg\\pkg.exe", L"/s", L"x y"}), args);
  EXPECT_EQ((Args{L"C:\\a\\"}), SplitCommandLine(L"C:\\a\\", FirstArgument::kProgramPath));
}

}  // namespace
}  // namespace brx
