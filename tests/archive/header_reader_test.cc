#include "archive/header_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/file.h"
#include "support/scratch_dir.h"
#include "support/test_files.h"
#include "support/zip_builder.h"

namespace brxzip {
namespace {

// The reference: one read call per byte, a byte that cannot be read making
// its whole field 0, and the position stopping at the end of the file.
class BytewiseReader {
 public:
  explicit BytewiseReader(brx::platform::File* f) : file_(f) {}
  void Seek(uint64_t p) { file_->Seek(p); }
  uint32_t Read(int n) {
    uint32_t v = 0;
    bool ok = true;
    for (int i = 0; i < n; ++i) {
      unsigned char b = 0;
      uint32_t got = 0;
      if (!file_->Read(&b, 1, &got) || got != 1) ok = false;
      v |= static_cast<uint32_t>(b) << (8 * i);
    }
    return ok ? v : 0;
  }
  std::string Bytes(uint32_t n) {
    std::string s;
    for (uint32_t i = 0; i < n; ++i) {
      unsigned char b = 0;
      uint32_t got = 0;
      file_->Read(&b, 1, &got);
      s.push_back(static_cast<char>(got == 1 ? b : 0));
    }
    return s;
  }

 private:
  brx::platform::File* file_;
};

TEST(HeaderReaderTest, WindowedReadsEqualByteWiseReads) {
  std::wstring dir = brxtest::ScratchDir("archive");
  std::string content;
  for (int i = 0; i < 300000; ++i) content.push_back(static_cast<char>((i * 131) ^ (i >> 7)));
  std::wstring path = brxtest::WriteFile(dir + L"/data.bin", content);
  brx::platform::File a, b;
  ASSERT_TRUE(a.Open(path.c_str(), brx::platform::FileMode::kReadShared));
  ASSERT_TRUE(b.Open(path.c_str(), brx::platform::FileMode::kReadShared));
  HeaderReader windowed(&a, content.size(), 64 * 1024);
  BytewiseReader bytewise(&b);

  // Forward runs (growing windows), jumps back and far ahead (fresh windows),
  // fields and names straddling window edges and the end of the file.
  uint32_t seed = 12345;
  uint64_t position = 0;
  for (int step = 0; step < 6000; ++step) {
    seed = seed * 1664525 + 1013904223;
    uint32_t r = seed >> 8;
    if (r % 50 == 0) {
      position = (r * 7) % (content.size() + 40);
    } else if (r % 97 == 0) {
      position = content.size() - (r % 9);
    }
    windowed.Seek(position);
    bytewise.Seek(position);
    switch (r % 4) {
      case 0:
        ASSERT_EQ(bytewise.Read(2), windowed.ReadU16()) << position;
        position += 2;
        break;
      case 1:
        ASSERT_EQ(bytewise.Read(4), windowed.ReadU32()) << position;
        position += 4;
        break;
      case 2: {
        // A record's fixed part in one piece: the bytes that exist, counted.
        unsigned char record[46];
        uint32_t n = windowed.ReadRecord(46, record);
        uint64_t left = position >= content.size() ? 0 : content.size() - position;
        ASSERT_EQ(left < 46 ? left : 46, n) << position;
        ASSERT_EQ(bytewise.Bytes(46).substr(0, n), std::string(reinterpret_cast<char*>(record), n)) << position;
        ASSERT_EQ(position + 46 < content.size() ? position + 46 : std::max<uint64_t>(position, content.size()),
                  windowed.position());
        position += 46;
        break;
      }
      default: {
        uint32_t n = (r >> 4) % 300;
        std::string got;
        windowed.ReadBytes(n, &got);
        ASSERT_EQ(bytewise.Bytes(n), got) << position;
        position += n;
      }
    }
    position += (r >> 12) % 3000;
  }
}

}  // namespace
}  // namespace brxzip
