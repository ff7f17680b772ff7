#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "archive/zip_file.h"
#include "support/scratch_dir.h"
#include "support/test_files.h"
#include "support/zip_builder.h"

namespace brxzip {
namespace {

using brxtest::BuildZip;
using brxtest::BuiltZip;
using brxtest::TestEntry;

std::string Read(ZIP_FileEntry* e) {
  std::string out(e->GetUncompressedSize(), '\0');
  EXPECT_EQ(ZIP_OK, e->ReadToMemory(out.empty() ? nullptr : &out[0], out.size())) << e->GetName();
  return out;
}

std::string Text(size_t n, unsigned seed) {
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1103515245 + 12345;
    s.push_back(static_cast<char>(i % 7 == 0 ? (seed >> 16) & 0xFF : 'a' + (i % 23)));
  }
  return s;
}

class ZipReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = brxtest::ScratchDir("archive"); }
  ZIP_Result Open(const std::string& bytes) {
    zip_.CloseArchive();  // Windows does not let a file open for reading be rewritten
    path_ = brxtest::WriteFile(dir_ + L"/archive.bin", bytes);
    return zip_.OpenArchive(path_.c_str(), 1);
  }
  std::wstring dir_;
  std::wstring path_;
  ZIP_File zip_;
};

TEST_F(ZipReaderTest, FindsArchiveWithDataBeforeAndAfterOrAtOffsetZero) {
  std::vector<TestEntry> entries = {{"zt_data.xml", "<zt_pkg_data/>"},
                                    {"setup.exe", Text(70000, 1), 0},
                                    {"sub/", ""},
                                    {"sub/big.bin", Text(200000, 2)},
                                    {"empty.txt", ""}};
  const std::string stub = "MZ" + Text(5000, 3);
  const std::string signature = Text(3000, 4);  // what a code signature leaves after the archive
  for (bool embedded : {true, false}) {
    SCOPED_TRACE(embedded ? "embedded" : "offset 0");
    BuiltZip zip = BuildZip(entries, embedded ? stub.size() : 0, "package comment");
    ASSERT_EQ(ZIP_OK, Open(embedded ? stub + zip.bytes + signature : zip.bytes));
    ASSERT_EQ(5u, zip_.GetEntryCount());
    EXPECT_STREQ("package comment", zip_.GetComment());
    for (size_t i = 0; i < entries.size(); ++i) {
      ZIP_FileEntry* e = zip_.GetEntryAt(i);
      EXPECT_STREQ(entries[i].name.c_str(), e->GetName());
      EXPECT_EQ(entries[i].data, Read(e));
      EXPECT_EQ((embedded ? stub.size() : 0) + zip.local_offsets[i], e->GetLocalHeaderOffset());
    }
    EXPECT_EQ(nullptr, zip_.GetEntryAt(5));
    EXPECT_EQ(zip_.GetEntryAt(0), zip_.FindEntry(L"ZT_DATA.XML"));
    EXPECT_EQ(zip_.GetEntryAt(3), zip_.FindEntry(L"Sub/Big.BIN"));
    EXPECT_EQ(nullptr, zip_.FindEntry(L"missing"));
    EXPECT_EQ(nullptr, zip_.FindEntry(nullptr));

    ZIP_Enumeration* cursor = zip_.BeginEnumeration();
    int n = 0;
    while (zip_.NextEntry(cursor)) ++n;
    EXPECT_EQ(5, n);
    EXPECT_EQ(nullptr, zip_.NextEntry(cursor));
    zip_.EndEnumeration(cursor);
  }
}

TEST_F(ZipReaderTest, NoEndRecordFailsAndLeavesTheObjectClosed) {
  EXPECT_EQ(ZIP_ERR_OPEN, zip_.OpenArchive((dir_ + L"/missing.zip").c_str(), 1));
  EXPECT_EQ(ZIP_ERR_FAILED, Open(""));
  EXPECT_EQ(ZIP_ERR_FAILED, Open("PK\x05"));
  EXPECT_EQ(ZIP_ERR_FAILED, Open(Text(100000, 5)));
  // An empty archive's end record alone sits at position 0, which counts as none.
  EXPECT_EQ(ZIP_ERR_FAILED, Open(BuildZip({}).bytes));
  // A signature further back than the largest comment is out of reach.
  BuiltZip zip = BuildZip({{"a", "x"}});
  EXPECT_EQ(ZIP_ERR_FAILED, Open(zip.bytes + std::string(65536, 'z')));
  EXPECT_EQ(0u, zip_.GetEntryCount());
  // An earlier good open is discarded by a failing one.
  ASSERT_EQ(ZIP_OK, Open(zip.bytes));
  EXPECT_EQ(ZIP_ERR_FAILED, Open("none"));
  EXPECT_EQ(0u, zip_.GetEntryCount());
  EXPECT_EQ(0u, zip_.GetCentralDirectoryOffset());
}

TEST_F(ZipReaderTest, LastEndRecordWinsAndATruncatedOneIsDamaged) {
  const std::string first_part = "stub";
  BuiltZip first = BuildZip({{"first", "1"}}, first_part.size());
  std::string file = first_part + first.bytes;
  BuiltZip second = BuildZip({{"second", "2"}}, file.size());
  ASSERT_EQ(ZIP_OK, Open(file + second.bytes));
  ASSERT_EQ(1u, zip_.GetEntryCount());
  EXPECT_STREQ("second", zip_.GetEntryAt(0)->GetName());

  // A signature in the last four bytes, or a file cut short: the record runs
  // past the end of the file and is damaged, not an empty archive.
  EXPECT_EQ(ZIP_ERR_FORMAT, Open(first_part + first.bytes + "PK\x05\x06"));
  std::string whole = first_part + first.bytes;
  EXPECT_EQ(ZIP_ERR_FORMAT, Open(whole.substr(0, whole.size() - 5)));
  EXPECT_EQ(0u, zip_.GetEntryCount());
}

TEST_F(ZipReaderTest, MultiDiskArchiveIsRejected) {
  BuiltZip zip = BuildZip({{"a", "x"}});
  std::string disk = zip.bytes;
  brxtest::Put16(&disk, zip.end_offset + 4, 1);
  EXPECT_EQ(ZIP_ERR_FORMAT, Open("stub" + disk));
  std::string counts = zip.bytes;
  brxtest::Put16(&counts, zip.end_offset + 8, 2);
  EXPECT_EQ(ZIP_ERR_FORMAT, Open("stub" + counts));
  EXPECT_EQ(0u, zip_.GetEntryCount());
}

TEST_F(ZipReaderTest, LocalHeaderDisagreeingWithCentralRecordRejectsArchive) {
  std::vector<TestEntry> entries = {{"good.txt", "fine"}, {"name.txt", "payload"}};
  // version needed, flags, method, time, date, CRC, sizes, first name byte
  for (size_t field : {4u, 6u, 8u, 10u, 12u, 14u, 18u, 22u, 30u}) {
    SCOPED_TRACE(field);
    BuiltZip zip = BuildZip(entries);
    std::string bytes = zip.bytes;
    bytes[zip.local_offsets[1] + field] ^= 0x01;
    EXPECT_EQ(ZIP_ERR_FORMAT, Open(bytes));
    EXPECT_EQ(0u, zip_.GetEntryCount());
  }
  BuiltZip zip = BuildZip(entries);
  std::string bad_signature = zip.bytes;
  bad_signature[zip.central_offsets[1]] = 'Q';
  EXPECT_EQ(ZIP_ERR_FORMAT, Open(bad_signature));
  std::string bad_local = zip.bytes;
  brxtest::Put32(&bad_local, zip.central_offsets[1] + 42, static_cast<uint32_t>(zip.local_offsets[1] + 1));
  EXPECT_EQ(ZIP_ERR_FORMAT, Open(bad_local));
}

TEST_F(ZipReaderTest, UnsupportedMethodIsListedButUnreadable) {
  ASSERT_EQ(ZIP_OK, Open(BuildZip({{"bzip2.bin", "BZh9", 12}, {"ok.txt", "ok"}}).bytes));
  ZIP_FileEntry* e = zip_.FindEntry(L"bzip2.bin");
  ASSERT_NE(nullptr, e);
  EXPECT_EQ(12u, e->GetMethod());
  char buffer[16];
  ZIP_ReadContext context;
  ASSERT_EQ(ZIP_OK, e->BeginRead(&context));
  EXPECT_EQ(ZIP_ERR_FORMAT, e->ReadChunk(buffer, sizeof(buffer), &context));
  e->EndRead(&context);
  EXPECT_EQ(ZIP_ERR_FORMAT, e->ReadToMemory(buffer, 4));
  EXPECT_EQ(ZIP_ERR_FORMAT, e->ExtractTo((dir_ + L"/bzip2.bin").c_str()));
  EXPECT_EQ("ok", Read(zip_.FindEntry(L"ok.txt")));
}

TEST_F(ZipReaderTest, ChunkedReadsMatchWholeReadsAndCrcIsCheckedOnlyAtTheEnd) {
  const std::string data = Text(40000, 6);
  ASSERT_EQ(ZIP_OK, Open(BuildZip({{"stored", data, 0}, {"deflated", data, 8}}).bytes));
  ZIP_FileEntry* stored = zip_.GetEntryAt(0);
  ZIP_FileEntry* deflated = zip_.GetEntryAt(1);

  // Byte by byte, the two entries interleaved on the one shared handle.
  ZIP_ReadContext a, b;
  ASSERT_EQ(ZIP_OK, stored->BeginRead(&a));
  ASSERT_EQ(ZIP_OK, deflated->BeginRead(&b));
  std::string got_a, got_b;
  for (size_t i = 0; i < data.size(); ++i) {
    char c;
    uint32_t n = 0;
    ASSERT_EQ(ZIP_OK, stored->ReadChunk(&c, 1, &a, &n));
    ASSERT_EQ(1u, n);
    got_a.push_back(c);
    ASSERT_EQ(ZIP_OK, deflated->ReadChunk(&c, 1, &b, &n));
    ASSERT_EQ(1u, n);
    got_b.push_back(c);
  }
  uint32_t n = 99;
  char c;
  EXPECT_EQ(ZIP_OK, stored->ReadChunk(&c, 1, &a, &n));
  EXPECT_EQ(0u, n);
  EXPECT_EQ(ZIP_OK, stored->EndRead(&a));
  EXPECT_EQ(ZIP_OK, deflated->EndRead(&b));
  EXPECT_EQ(data, got_a);
  EXPECT_EQ(data, got_b);
  EXPECT_EQ(ZIP_ERR_ARGUMENT, stored->ReadChunk(&c, 0, &a));
  EXPECT_EQ(ZIP_ERR_ARGUMENT, stored->ReadChunk(nullptr, 1, &a));
  EXPECT_EQ(ZIP_ERR_ARGUMENT, stored->EndRead(nullptr));

  // A flipped bit in the data: caught after the whole entry, not after half.
  for (uint32_t method : {0u, 8u}) {
    SCOPED_TRACE(method);
    BuiltZip zip = BuildZip({{"x", data, method}});
    std::string bytes = zip.bytes;
    bytes[zip.local_offsets[0] + 30 + 1 + 4 + 100] ^= 0x10;
    ASSERT_EQ(ZIP_OK, Open(bytes));
    ZIP_FileEntry* e = zip_.GetEntryAt(0);
    std::string out(data.size(), '\0');
    ZIP_ReadContext half;
    ASSERT_EQ(ZIP_OK, e->BeginRead(&half));
    EXPECT_EQ(ZIP_OK, e->ReadChunk(&out[0], data.size() / 2, &half));
    EXPECT_EQ(ZIP_OK, e->EndRead(&half));
    ZIP_Result whole = e->ReadToMemory(&out[0], out.size());
    // A flipped bit may also break the deflate stream itself.
    EXPECT_TRUE(whole == ZIP_ERR_CRC || (method == 8 && whole == ZIP_ERR_FORMAT)) << whole;
  }
}

TEST_F(ZipReaderTest, DamagedOrShortDataIsNeverReportedAsSuccess) {
  const std::string data = Text(100000, 7);
  BuiltZip zip = BuildZip({{"x", data, 8}});
  size_t payload = zip.local_offsets[0] + 30 + 1 + 4;
  uint32_t compressed = static_cast<uint32_t>(zip.central_offsets[0] - payload);
  std::string out(data.size(), '\0');

  // Truncated deflate stream: both headers claim fewer compressed bytes.
  std::string truncated = zip.bytes;
  brxtest::Put32(&truncated, zip.local_offsets[0] + 18, compressed / 2);
  brxtest::Put32(&truncated, zip.central_offsets[0] + 20, compressed / 2);
  ASSERT_EQ(ZIP_OK, Open(truncated));
  EXPECT_EQ(ZIP_ERR_END_OF_STREAM, zip_.GetEntryAt(0)->ReadToMemory(&out[0], out.size()));
  EXPECT_EQ(ZIP_ERR_END_OF_STREAM, zip_.GetEntryAt(0)->ExtractTo((dir_ + L"/t").c_str()));

  // Garbage where the deflate stream begins.
  std::string corrupt = zip.bytes;
  for (size_t i = 0; i < 64; ++i) corrupt[payload + i] = static_cast<char>(0xFF);
  ASSERT_EQ(ZIP_OK, Open(corrupt));
  EXPECT_EQ(ZIP_ERR_FORMAT, zip_.GetEntryAt(0)->ReadToMemory(&out[0], out.size()));

  // The stream ends before the size the headers promise.
  std::string longer = zip.bytes;
  brxtest::Put32(&longer, zip.local_offsets[0] + 22, static_cast<uint32_t>(data.size() + 10));
  brxtest::Put32(&longer, zip.central_offsets[0] + 24, static_cast<uint32_t>(data.size() + 10));
  ASSERT_EQ(ZIP_OK, Open(longer));
  out.resize(data.size() + 10);
  EXPECT_NE(ZIP_OK, zip_.GetEntryAt(0)->ReadToMemory(&out[0], out.size()));
  EXPECT_NE(ZIP_OK, zip_.GetEntryAt(0)->ExtractTo((dir_ + L"/l").c_str()));

  // A stored entry whose compressed size is below its size ends, and fails.
  BuiltZip stored = BuildZip({{"s", "0123456789", 0}});
  brxtest::Put32(&stored.bytes, stored.local_offsets[0] + 18, 4);
  brxtest::Put32(&stored.bytes, stored.central_offsets[0] + 20, 4);
  ASSERT_EQ(ZIP_OK, Open(stored.bytes));
  char ten[10];
  EXPECT_EQ(ZIP_ERR_END_OF_STREAM, zip_.GetEntryAt(0)->ReadToMemory(ten, sizeof(ten)));

}

TEST_F(ZipReaderTest, EmptyEntryReadsWithZeroLength) {
  ASSERT_EQ(ZIP_OK, Open(BuildZip({{"empty", "", 8}, {"empty0", "", 0}}).bytes));
  EXPECT_EQ(ZIP_OK, zip_.GetEntryAt(0)->ReadToMemory(nullptr, 0));
  EXPECT_EQ(ZIP_OK, zip_.GetEntryAt(1)->ReadToMemory(nullptr, 0));
}

// Anything two ZIP readers could read differently, so that the package one
// tool checked is not the one the stub installs, rejects the whole archive;
// what common writers produce opens.
TEST_F(ZipReaderTest, ArchivesOtherToolsWouldReadDifferentlyAreRefused) {
  const std::vector<TestEntry> plain = {{"a.txt", Text(3000, 8), 0}, {"b.txt", Text(5000, 9)}, {"c.txt", "c", 0}};
  auto with = [&](size_t index, void (*change)(TestEntry*)) {
    std::vector<TestEntry> entries = plain;
    change(&entries[index]);
    return entries;
  };
  auto built = [](const std::vector<TestEntry>& entries, void (*damage)(BuiltZip*)) {
    BuiltZip zip = BuildZip(entries);
    if (damage) damage(&zip);
    return zip.bytes;
  };
  struct Row {
    const char* what;
    std::vector<TestEntry> entries;
    void (*damage)(BuiltZip*);
    ZIP_Result expected;
  };
  const Row rows[] = {
      {"as written", plain, nullptr, ZIP_OK},
      {"data running into the next local header", plain,
       [](BuiltZip* z) {
         brxtest::Put32(&z->bytes, z->local_offsets[0] + 18, 3001);
         brxtest::Put32(&z->bytes, z->central_offsets[0] + 20, 3001);
       },
       ZIP_ERR_FORMAT},
      {"data running into the central directory", plain,
       [](BuiltZip* z) {
         brxtest::Put32(&z->bytes, z->local_offsets[2] + 18, 2);
         brxtest::Put32(&z->bytes, z->central_offsets[2] + 20, 2);
       },
       ZIP_ERR_FORMAT},
      {"a second central record for one local header", plain,
       [](BuiltZip* z) {
         std::string first = z->bytes.substr(z->central_offsets[0], z->central_offsets[1] - z->central_offsets[0]);
         std::string end = z->bytes.substr(z->end_offset);
         z->bytes.resize(z->end_offset);
         z->bytes += first;
         brxtest::Put16(&end, 8, 4);
         brxtest::Put16(&end, 10, 4);
         brxtest::Put32(&end, 12, static_cast<uint32_t>(z->bytes.size() - z->central_offsets[0]));
         z->bytes += end;
       },
       ZIP_ERR_FORMAT},
      {"directory size one record short", plain,
       [](BuiltZip* z) {
         brxtest::Put32(&z->bytes, z->end_offset + 12, static_cast<uint32_t>(z->central_offsets[2] - z->central_offsets[0]));
       },
       ZIP_ERR_FORMAT},
      {"record count below the records", plain,
       [](BuiltZip* z) {
         brxtest::Put16(&z->bytes, z->end_offset + 8, 2);
         brxtest::Put16(&z->bytes, z->end_offset + 10, 2);
       },
       ZIP_ERR_FORMAT},
      {"record count above the records", plain,
       [](BuiltZip* z) {
         brxtest::Put16(&z->bytes, z->end_offset + 8, 4);
         brxtest::Put16(&z->bytes, z->end_offset + 10, 4);
       },
       ZIP_ERR_FORMAT},
      {"bytes between the directory and the end record", plain,
       [](BuiltZip* z) { z->bytes.insert(z->end_offset, "gap!"); }, ZIP_ERR_FORMAT},
      {"an end record inside the archive comment", plain,
       [](BuiltZip* z) {
         // A forged record for an empty archive, placed where the real one's comment is.
         std::string forged(22, '\0');
         brxtest::Put32(&forged, 0, 0x06054b50);
         brxtest::Put32(&forged, 16, static_cast<uint32_t>(z->end_offset + 22));
         brxtest::Put16(&z->bytes, z->end_offset + 20, 22);
         z->bytes += forged;
       },
       ZIP_ERR_FORMAT},
      {"a data descriptor with its signature", with(1, [](TestEntry* e) { e->descriptor = 16; }), nullptr, ZIP_OK},
      {"a data descriptor without one", with(0, [](TestEntry* e) { e->descriptor = 12; }), nullptr, ZIP_OK},
      {"a data descriptor with the local values filled in", with(1, [](TestEntry* e) { e->descriptor = 16; }),
       [](BuiltZip* z) {
         // Central CRC and sizes at 16, 20, 24; the local ones two bytes before.
         for (size_t field : {16u, 20u, 24u}) {
           brxtest::Put32(&z->bytes, z->local_offsets[1] + field - 2, brxtest::Get32(z->bytes, z->central_offsets[1] + field));
         }
       },
       ZIP_OK},
      {"a data descriptor whose CRC disagrees", with(1, [](TestEntry* e) { e->descriptor = 16; }),
       [](BuiltZip* z) { z->bytes[z->local_offsets[2] - 12] ^= 0x01; }, ZIP_ERR_FORMAT},
      {"a data descriptor missing", with(2, [](TestEntry* e) { e->descriptor = 12; }),
       [](BuiltZip* z) {
         std::string tail = z->bytes.substr(z->central_offsets[0]);
         z->bytes.erase(z->central_offsets[0] - 12);
         size_t shift = 12;
         z->bytes += tail;
         brxtest::Put32(&z->bytes, z->end_offset - shift + 16, static_cast<uint32_t>(z->central_offsets[0] - shift));
       },
       ZIP_ERR_FORMAT},
      {"local sizes that disagree despite the descriptor flag", with(1, [](TestEntry* e) { e->descriptor = 16; }),
       [](BuiltZip* z) { brxtest::Put32(&z->bytes, z->local_offsets[1] + 22, 7); }, ZIP_ERR_FORMAT},
      {"a name flagged UTF-8 that is not", with(0, [](TestEntry* e) { e->name = "caf\xE9.txt"; e->flags = 0x0800; }),
       nullptr, ZIP_ERR_FORMAT},
      {"local and central Unicode Path fields naming different files",
       with(1,
            [](TestEntry* e) {
              e->local_extra = brxtest::UnicodePathField(e->name, "setup.exe");
              e->central_extra = brxtest::UnicodePathField(e->name, "readme.txt");
            }),
       nullptr, ZIP_ERR_FORMAT},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_EQ(row.expected, Open(built(row.entries, row.damage)));
    if (row.expected != ZIP_OK) {
      EXPECT_EQ(0u, zip_.GetEntryCount());
      continue;
    }
    ASSERT_EQ(row.entries.size(), zip_.GetEntryCount());
    for (size_t i = 0; i < row.entries.size(); ++i) EXPECT_EQ(row.entries[i].data, Read(zip_.GetEntryAt(i)));
  }
}

void Put64(std::string* bytes, size_t at, uint64_t value) {
  brxtest::Put32(bytes, at, static_cast<uint32_t>(value));
  brxtest::Put32(bytes, at + 4, static_cast<uint32_t>(value >> 32));
}

// ZIP64 values stand in for the 32-bit fields that hold their sentinel, and
// must equal those that hold a value: tools that read one or the other would
// otherwise see different archives.
TEST_F(ZipReaderTest, Zip64FieldsAreReadAndMustAgreeWithThe32BitFields) {
  auto zip64 = [](uint32_t descriptor) {
    std::vector<TestEntry> entries = {{"a.txt", Text(3000, 8), 0}, {"b.txt", Text(5000, 9)}};
    for (TestEntry& e : entries) {
      e.zip64 = true;
      e.descriptor = descriptor;
    }
    return entries;
  };
  const std::vector<TestEntry> plain = {{"a.txt", Text(3000, 8), 0}, {"b.txt", Text(5000, 9)}};
  // Where the ZIP64 fields' values lie: the local one after the builder's
  // empty field (4 bytes) and the ZIP64 field's own header; the central one
  // right after its header.
  static const size_t kLocalValues = 30 + 5 + 4 + 4;
  static const size_t kCentralValues = 46 + 5 + 4;
  struct Row {
    const char* what;
    std::vector<TestEntry> entries;
    bool zip64_end;
    void (*damage)(BuiltZip*);
    ZIP_Result expected;
  };
  const Row rows[] = {
      {"ZIP64 fields and end record", zip64(0), true, nullptr, ZIP_OK},
      {"ZIP64 fields only", zip64(0), false, nullptr, ZIP_OK},
      {"8-byte data descriptors", zip64(16), true, nullptr, ZIP_OK},
      {"8-byte data descriptors without signature", zip64(12), false, nullptr, ZIP_OK},
      {"local 32-bit sizes that agree", zip64(0), true,
       [](BuiltZip* z) { brxtest::Put32(&z->bytes, z->local_offsets[0] + 22, 3000); }, ZIP_OK},
      {"a local 32-bit size that disagrees", zip64(0), true,
       [](BuiltZip* z) { brxtest::Put32(&z->bytes, z->local_offsets[0] + 22, 2999); }, ZIP_ERR_FORMAT},
      {"a central ZIP64 size that disagrees with the local one", zip64(0), true,
       [](BuiltZip* z) { Put64(&z->bytes, z->central_offsets[1] + kCentralValues, 5001); }, ZIP_ERR_FORMAT},
      {"version 4.5 in a central record with ZIP64 values only", zip64(0), true,
       [](BuiltZip* z) { brxtest::Put16(&z->bytes, z->central_offsets[1] + 6, 45); }, ZIP_OK},
      {"version 4.5 in a central record without them", plain, false,
       [](BuiltZip* z) { brxtest::Put16(&z->bytes, z->central_offsets[1] + 6, 45); }, ZIP_ERR_FORMAT},
      {"a sentinel without its ZIP64 field", zip64(0), true,
       [](BuiltZip* z) { brxtest::Put16(&z->bytes, z->central_offsets[1] + 46 + 5, 0x0002); }, ZIP_ERR_FORMAT},
      {"an 8-byte descriptor size that disagrees", zip64(16), true,
       [](BuiltZip* z) {
         size_t descriptor = z->local_offsets[1] - 24;
         Put64(&z->bytes, descriptor + 16, uint64_t{1} << 32 | 3000);
       },
       ZIP_ERR_FORMAT},
      {"sizes past the end of the file that wrap around", zip64(0), true,
       [](BuiltZip* z) {
         Put64(&z->bytes, z->local_offsets[1] + kLocalValues + 8, ~uint64_t{0} - 40);
         Put64(&z->bytes, z->central_offsets[1] + kCentralValues + 8, ~uint64_t{0} - 40);
       },
       ZIP_ERR_FORMAT},
      {"an end record count that disagrees", zip64(0), true,
       [](BuiltZip* z) { brxtest::Put16(&z->bytes, z->end_offset + 10, 3); }, ZIP_ERR_FORMAT},
      {"an end record count that agrees", zip64(0), true,
       [](BuiltZip* z) {
         brxtest::Put16(&z->bytes, z->end_offset + 8, 2);
         brxtest::Put16(&z->bytes, z->end_offset + 10, 2);
       },
       ZIP_OK},
      {"a ZIP64 count that cannot fit the directory", zip64(0), true,
       [](BuiltZip* z) {
         Put64(&z->bytes, z->zip64_end_offset + 24, uint64_t{1} << 40);
         Put64(&z->bytes, z->zip64_end_offset + 32, uint64_t{1} << 40);
       },
       ZIP_ERR_FORMAT},
      {"a ZIP64 directory offset that disagrees", zip64(0), true,
       [](BuiltZip* z) { Put64(&z->bytes, z->zip64_end_offset + 48, z->central_offsets[1]); }, ZIP_ERR_FORMAT},
      {"a locator pointing elsewhere", zip64(0), true,
       [](BuiltZip* z) { Put64(&z->bytes, z->zip64_end_offset + 56 + 8, z->zip64_end_offset - 8); },
       ZIP_ERR_FORMAT},
      {"an end record inside a ZIP64 archive's comment", zip64(0), true,
       [](BuiltZip* z) {
         std::string forged(22, '\0');
         brxtest::Put32(&forged, 0, 0x06054b50);
         brxtest::Put32(&forged, 16, static_cast<uint32_t>(z->end_offset + 22));
         brxtest::Put16(&z->bytes, z->end_offset + 20, 22);
         z->bytes += forged;
       },
       ZIP_ERR_FORMAT},
      {"a ZIP64 end record with extensible data", zip64(0), true,
       [](BuiltZip* z) { Put64(&z->bytes, z->zip64_end_offset + 4, 52); }, ZIP_ERR_FORMAT},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    BuiltZip zip = BuildZip(row.entries, 0, std::string(), row.zip64_end);
    if (row.damage) row.damage(&zip);
    ASSERT_EQ(row.expected, Open(zip.bytes));
    if (row.expected != ZIP_OK) continue;
    ASSERT_EQ(row.entries.size(), zip_.GetEntryCount());
    for (size_t i = 0; i < row.entries.size(); ++i) EXPECT_EQ(row.entries[i].data, Read(zip_.GetEntryAt(i)));
  }
}

#ifdef BRX_MAKE_ZIP64_SAMPLES
// What Info-ZIP and Python write with ZIP64 structures on small archives.
TEST_F(ZipReaderTest, Zip64ArchivesFromInfoZipAndPythonAreRead) {
  const std::string out = brxtest::Narrow(dir_) + "/zip64";
  ASSERT_EQ(0, system((std::string(BRX_MAKE_ZIP64_SAMPLES) + " '" + out + "'").c_str()));
  std::string a, b;
  ASSERT_TRUE(brxtest::ReadFile(brxtest::JoinPath(dir_, L"zip64/a.txt"), &a));
  ASSERT_TRUE(brxtest::ReadFile(brxtest::JoinPath(dir_, L"zip64/b.txt"), &b));
  for (const wchar_t* name : {L"infozip-fz.zip", L"python-force.zip", L"python-stream.zip"}) {
    SCOPED_TRACE(brxtest::Narrow(name));
    std::wstring path = brxtest::JoinPath(dir_, std::wstring(L"zip64/") + name);
    ASSERT_EQ(ZIP_OK, zip_.OpenArchive(path.c_str(), 1));
    ASSERT_EQ(2u, zip_.GetEntryCount());
    EXPECT_EQ(a, Read(zip_.FindEntry(L"a.txt")));
    EXPECT_EQ(b, Read(zip_.FindEntry(L"b.txt")));
  }
  // Its end record names a ZIP64 directory offset the pipe never received.
  std::wstring pipe = brxtest::JoinPath(dir_, L"zip64/infozip-fz-pipe.zip");
  EXPECT_EQ(ZIP_ERR_FORMAT, zip_.OpenArchive(pipe.c_str(), 1));
}
#endif

}  // namespace
}  // namespace brxzip
