#include "install/disk_space.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/cmp_log2.h"
#include "support/recording_log.h"
#include "support/recording_presenter.h"

namespace brx {
namespace {

using brxtest::RecordingLog;
using brxtest::RecordingPresenter;

const wchar_t kTemplate[] =
    L"Not enough disk space is available to extract the package:\n\n%lu bytes required\n\n%lu bytes "
    L"available\n\nPlease make %lu bytes available and try again.";

TEST(DiskSpaceTest, FreeMustExceedRequiredStrictly) {
  RecordingLog log;
  RecordingPresenter screen;
  EXPECT_TRUE(CheckDiskSpace(log, 1000, 1001, nullptr, true, screen, kTemplate));
  EXPECT_TRUE(screen.shown.empty());
  ASSERT_EQ(2u, log.entries.size());
  EXPECT_EQ(L"1528:0:Required disk space is available. Success.\r\n\r\n", log.Line(1));

  log.Clear();
  EXPECT_FALSE(CheckDiskSpace(log, 1000, 1000, nullptr, true, screen, kTemplate));
  ASSERT_EQ(1u, screen.shown.size());
  EXPECT_EQ(L"Not enough disk space is available to extract the package:\n\n1000 bytes required\n\n1000 bytes "
            L"available\n\nPlease make 0 bytes available and try again.",
            screen.shown[0].text);
  EXPECT_EQ(0x30u, screen.shown[0].style);  // a warning with OK
  ASSERT_EQ(3u, log.entries.size());
  EXPECT_EQ(L"1511:2:" + screen.shown[0].text, log.Line(1));
  EXPECT_EQ(L"1516:0:Installation Halted...ERROR CODE (0)...\r\n\r\n", log.Line(2));
}

TEST(DiskSpaceTest, SilentShowsNothingButStillLogsAndNumbersAre32Bit) {
  RecordingLog log;
  RecordingPresenter unattended(false);
  uint64_t required = (uint64_t{5} << 32) + 300;  // low 32 bits: 300
  EXPECT_FALSE(CheckDiskSpace(log, required, 100, nullptr, true, unattended, kTemplate));
  EXPECT_TRUE(unattended.shown.empty());
  ASSERT_EQ(3u, log.entries.size());
  EXPECT_NE(std::wstring::npos, log.Line(1).find(L"300 bytes required\n\n100 bytes available\n\nPlease make 200 bytes"));

  // An extract-only run logs nothing.
  log.Clear();
  EXPECT_FALSE(CheckDiskSpace(log, 10, 0, nullptr, false, unattended, kTemplate));
  EXPECT_TRUE(log.entries.empty());
}

// Space that cannot be known stops the run in its own words, never as a
// full disk.
TEST(DiskSpaceTest, UnknownSpaceStopsWithItsOwnReason) {
  RecordingLog log;
  StepResult stopped = DiskSpaceUnknown(log, true, StepFailed(nullptr, 21, L"free_space_unknown"));
  EXPECT_FALSE(stopped.ok);
  EXPECT_EQ(21u, stopped.error);
  EXPECT_EQ(L"free_space_unknown", stopped.reason);
  ASSERT_EQ(3u, log.entries.size());
  EXPECT_EQ(L"1470:2:The required or the free disk space could not be determined (free_space_unknown, Windows "
            L"error 21).\r\n\r\n",
            log.Line(1));
  EXPECT_EQ(L"1516:0:Installation Halted...ERROR CODE (0)...\r\n\r\n", log.Line(2));
  EXPECT_FALSE(log.Contains(L"Not enough disk space"));
}

}  // namespace
}  // namespace brx
