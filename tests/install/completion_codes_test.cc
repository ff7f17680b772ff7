#include "install/completion_codes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/setup_output.h"
#include "log/cmp_log2.h"
#include "package/entry_source.h"
#include "package/ppkg.h"
#include "support/recording_log.h"

namespace brx {
namespace {

using brxtest::RecordingLog;

void LoadWithReturnMap(CPPkg* package) {
  MemoryEntrySource source;
  source.Add(L"p.xml", "<brx_package><filename>p.exe</filename></brx_package>");
  source.Add(L"zt_data.xml",
             "<zt_pkg_data><installation><install><returncode_map>"
             "<map source=\"3010\" dest=\"2\"/><map source=\"5\" dest=\"1\"/><map source=\"-1\" dest=\"0\"/>"
             "</returncode_map></install></installation></zt_pkg_data>");
  ASSERT_TRUE(package->LoadPackageFrom(&source, L"p.exe", L"p.xml", L"en"));
}

TEST(CompletionCodesTest, FinishedProgramLinesForEveryKindOfCode) {
  RecordingLog log;
  LogSetupFinished(log, 3725, 0);
  LogSetupFinished(log, 90000, 2);
  LogSetupFinished(log, 59, -1);
  ASSERT_EQ(9u, log.entries.size());
  EXPECT_EQ(L"3:769:0:extract:Setup utility completed in 01hh:02mm:05s\r\n\r\n", log.FullLine(0));
  EXPECT_EQ(L"3:775:0:extract:Process returned completion code of (0x0).\r\n\r\n", log.FullLine(1));
  EXPECT_EQ(L"3:784:0:extract:Completion Code (0x0) -> The Quellin Component failed to install\r\n\r\n",
            log.FullLine(2));
  // Hours wrap at a day.
  EXPECT_EQ(L"3:769:0:extract:Setup utility completed in 01hh:00mm:00s\r\n\r\n", log.FullLine(3));
  EXPECT_EQ(L"3:798:0:extract:Completion Code (0x2) -> The Quellin Component installed Successfully, but the "
            L"system must be restart\r\n\r\n",
            log.FullLine(5));
  // A negative code shows as the 32-bit pattern, with the unknown-code line.
  EXPECT_EQ(L"3:775:0:extract:Process returned completion code of (0xFFFFFFFF).\r\n\r\n", log.FullLine(7));
  EXPECT_EQ(L"3:812:0:extract:Completion Code (0xFFFFFFFF) -> The Quellin Component returned an unknown "
            L"completion code.\r\n\r\n",
            log.FullLine(8));

  log.Clear();
  LogSetupFinished(log, 0, 1);
  LogSetupFinished(log, 0, 3);
  LogSetupFinished(log, 0, 7);
  EXPECT_EQ(L"3:791:0:extract:Completion Code (0x1) -> The Quellin Component installed Successfully\r\n\r\n",
            log.FullLine(2));
  EXPECT_EQ(L"3:805:0:extract:Completion Code (0x3) -> The Quellin Component installation was not attempted "
            L"because the required hardware was not present,\r\nthe software was current, or there was nothing "
            L"to install\r\n\r\n",
            log.FullLine(5));
  EXPECT_EQ(L"3:812:0:extract:Completion Code (0x7) -> The Quellin Component returned an unknown completion "
            L"code.\r\n\r\n",
            log.FullLine(8));
}

TEST(CompletionCodesTest, TranslationThroughTheReturnCodeMap) {
  CPPkg package;
  LoadWithReturnMap(&package);
  RecordingLog log;
  EXPECT_EQ(2, TranslateReturnCode(log, package, 3010));
  EXPECT_EQ(1, TranslateReturnCode(log, package, 5));
  EXPECT_EQ(0, TranslateReturnCode(log, package, -1));
  EXPECT_EQ(2, TranslateReturnCode(log, package, 2));
  ASSERT_EQ(8u, log.entries.size());
  EXPECT_EQ(L"3:899:0:extract:Translating return code... ", log.FullLine(0));
  EXPECT_EQ(L"4:918:0:extract:Changed from 0xBC2 to 0x2.\r\n\r\n", log.FullLine(1));
  EXPECT_EQ(L"4:918:0:extract:Changed from 0x5 to 0x1.\r\n\r\n", log.FullLine(3));
  EXPECT_EQ(L"4:918:0:extract:Changed from 0xFFFFFFFF to 0x0.\r\n\r\n", log.FullLine(5));
  EXPECT_EQ(L"4:909:0:extract:No change (0x2).\r\n\r\n", log.FullLine(7));

}

// Only a raw 2 asks, and never in a silent run: nobody is there to answer,
// and the caller's /reboot alone decides.
TEST(CompletionCodesTest, RestartQuestionOnlyForARawTwoWithSomeoneToAsk) {
  struct Row {
    int32_t raw_code;
    bool silent;
    bool asks;
  };
  const Row rows[] = {{2, false, true}, {2, true, false}, {1, false, false}, {3010, false, false}, {0, true, false}};
  for (const Row& row : rows) {
    EXPECT_EQ(row.asks, ShouldAskReboot(row.raw_code, row.silent)) << row.raw_code << " silent " << row.silent;
  }
}

TEST(CompletionCodesTest, MessageNamesTheProgram) {
  const wchar_t message[] = L"Package Setup was unable to start the installation program - %s.  Installation will not continue.";
  EXPECT_EQ(L"Package Setup was unable to start the installation program - setup.exe.  Installation will not continue.",
            FillProgramName(message, L"setup.exe"));
  // Only the first "%s" is filled; other conversions stay text, whatever the translation holds.
  EXPECT_EQ(L"a %d b x c %s", FillProgramName(L"a %d b %s c %s", L"x"));
  EXPECT_EQ(L"no placeholder", FillProgramName(L"no placeholder", L"x"));
  EXPECT_EQ(L"run  now", FillProgramName(L"run %s now", nullptr));
}

TEST(SetupOutputLogTest, LinesGoToTheVerboseLogOnlyWhenItIsInUse) {
  RecordingLog quiet;
  {
    SetupOutputLog output(quiet);
    output.Add("hello\r\n", 7);
    output.Finish();
  }
  EXPECT_TRUE(quiet.entries.empty());

  RecordingLog log;
  log.verbose = 1;
  SetupOutputLog output(log);
  std::string text = "first\r\nsec";
  output.Add(text.data(), text.size());
  output.Add("ond\n\nlast", 9);
  output.Finish();
  ASSERT_EQ(4u, log.entries.size());
  EXPECT_EQ(L"1:765:0:extract:first\r\n", log.FullLine(0));
  EXPECT_EQ(L"1:765:0:extract:second\r\n", log.FullLine(1));
  EXPECT_EQ(L"1:765:0:extract:\r\n", log.FullLine(2));
  EXPECT_EQ(L"1:765:0:extract:last\r\n", log.FullLine(3));

  // A line without end is split rather than held without bound.
  log.Clear();
  std::string endless(SetupOutputLog::kMaxLineBytes * 2 + 10, 'x');
  output.Add(endless.data(), endless.size());
  output.Finish();
  ASSERT_EQ(3u, log.entries.size());
  EXPECT_EQ(SetupOutputLog::kMaxLineBytes + 16 + 2, log.FullLine(0).size());
}

}  // namespace
}  // namespace brx
