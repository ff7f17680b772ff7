// Positioned reads: ReadAt skips the seek when the file is already where it
// reads, so every other move (Read, Write, Seek, another ReadAt) must be
// accounted for, or a read lands on the wrong bytes.
#include "platform/file.h"

#include <gtest/gtest.h>

#include <string>

#include "support/scratch_dir.h"
#include "support/test_files.h"

namespace {

using brx::platform::File;
using brx::platform::FileMode;

TEST(FileTest, ReadAtReadsItsPositionWhateverMovedTheFileBefore) {
  std::wstring path = brxtest::JoinPath(brxtest::ScratchDir("platform"), L"digits.bin");
  brxtest::WriteFile(path, "0123456789");
  File file;
  ASSERT_TRUE(file.Open(path.c_str(), FileMode::kReadWriteExclusive));
  // Each step moves the file its own way; then ReadAt(at, 2) must give
  // the bytes at `at` (the write puts "AB" at 3).
  enum Move { kNone, kRead3, kWriteAB, kSeek8, kReadAtEnd };
  struct Step {
    Move move;
    uint64_t at;
    const char* want;
  } steps[] = {
      {kNone, 0, "01"},      {kNone, 2, "23"},   {kNone, 1, "12"},    {kRead3, 3, "34"},
      {kWriteAB, 0, "01"},   {kSeek8, 8, "89"},  {kSeek8, 4, "B5"},   {kReadAtEnd, 9, "9"},
      {kReadAtEnd, 0, "01"}, {kRead3, 5, "56"},
  };
  bool wrote = false;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.at);
    char buffer[8] = {};
    uint32_t got = 0;
    switch (step.move) {
      case kNone: break;
      case kRead3: ASSERT_TRUE(file.Read(buffer, 3, &got)); break;
      case kWriteAB:
        ASSERT_TRUE(file.Seek(3));
        ASSERT_TRUE(file.Write("AB", 2));
        wrote = true;
        break;
      case kSeek8: ASSERT_TRUE(file.Seek(8)); break;
      case kReadAtEnd: ASSERT_TRUE(file.ReadAt(10, buffer, 4, &got)); EXPECT_EQ(got, 0u); break;
    }
    ASSERT_TRUE(file.ReadAt(step.at, buffer, 2, &got));
    EXPECT_EQ(std::string(buffer, got), step.want);
  }
  EXPECT_TRUE(wrote);
}

}  // namespace
