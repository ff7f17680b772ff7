// Positioned reads: ReadAt skips the seek when the file is already where it
// reads, so every other move (Read, Write, Seek, another ReadAt) must be
// accounted for, or a read lands on the wrong bytes.
#include "platform/file.h"
#include "platform/piece_worker.h"

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

// Pieces handed to a worker are worked whole and in order, with or without
// its thread; a failed piece stops the stream and is reported at the next
// Submit and at Finish.
struct Worked {
  std::string text;
  int fail_at = -1;  // the piece that fails, counted from 0
  int pieces = 0;
  static bool Work(void* self, const void* data, uint32_t length) {
    Worked& w = *static_cast<Worked*>(self);
    if (w.pieces++ == w.fail_at) return false;
    w.text.append(static_cast<const char*>(data), length);
    return true;
  }
};

TEST(PieceWorkerTest, PiecesAreWorkedInOrderAndAFailureStopsTheStream) {
  struct Row {
    bool thread;
    int fail_at;
    const char* text;   // what was worked
    int accepted;       // Submit calls that returned true
  } rows[] = {
      {false, -1, "abcdefghijklmnop", 8}, {true, -1, "abcdefghijklmnop", 8},
      {false, 3, "abcdef", 3},            {true, 3, "abcdef", 3},  // the 5th Submit sees the 4th piece's failure
      {true, 0, "", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.thread << " " << row.fail_at);
    Worked worked;
    worked.fail_at = row.fail_at;
    // Two buffers taking turns, as extraction uses them.
    char buffers[2][2];
    int accepted = 0;
    {
      brx::platform::PieceWorker worker(&Worked::Work, &worked);
      if (row.thread) {
        ASSERT_TRUE(worker.Start());
      }
      for (int i = 0; i < 8; ++i) {
        char* buffer = buffers[i % 2];
        buffer[0] = static_cast<char>('a' + 2 * i);
        buffer[1] = static_cast<char>('b' + 2 * i);
        if (!worker.Submit(buffer, 2)) break;
        ++accepted;
      }
      EXPECT_EQ(row.fail_at < 0, worker.Finish());
    }
    EXPECT_EQ(row.text, worked.text);
    EXPECT_GE(accepted, row.accepted);
    EXPECT_LE(accepted, row.accepted + 1);  // a Submit may come before the failure is known
  }
}

}  // namespace
