// Our splitter against the system's own, on lines where both must agree.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "base/command_line.h"

namespace brx {
namespace {

std::vector<std::wstring> SystemSplit(const wchar_t* line) {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(line, &count);
  std::vector<std::wstring> args;
  for (int i = 0; argv && i < count; ++i) args.push_back(argv[i]);
  LocalFree(argv);
  return args;
}

TEST(CommandLineWinTest, AgreesWithCommandLineToArgvW) {
  const wchar_t* lines[] = {
      L"\"C:\\Pkg Dir\\pkg.exe\" /s /f",
      L"pkg.exe \"/extract:C:\\Program Files\\x\" /t 30",
      L"pkg.exe a\\\\\\\"b \"c d\"\\\\ e\\f",
      L"pkg.exe \"a\\\\\" b",
      L"\"C:\\a\\\" /s",
      L"pkg.exe   \t /user \"x y\"",
      L"pkg.exe \"\" x",
  };
  for (const wchar_t* line : lines) {
    EXPECT_EQ(SystemSplit(line), SplitCommandLine(line, FirstArgument::kProgramPath)) << line;
  }
}

}  // namespace
}  // namespace brx
