// The archive of a signed package is read only from the bytes the signature
// covers: before the certificate table.
#include <gtest/gtest.h>

#include <string>

#include "archive/zip_file.h"
#include "support/scratch_dir.h"
#include "support/test_files.h"
#include "support/zip_builder.h"

namespace brxzip {
namespace {

using brxtest::BuildZip;
using brxtest::Put32;

// A PE32+ header of 512 bytes with an empty security data directory.
std::string SyntheticImage() {
  std::string image(512, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  Put32(&image, 0x3C, 0x40);
  image.replace(0x40, 4, std::string("PE\0\0", 4));
  brxtest::Put16(&image, 0x40 + 20, 240);    // size of the optional header
  brxtest::Put16(&image, 0x58, 0x20B);       // PE32+
  Put32(&image, 0x58 + 108, 16);             // number of data directories
  return image;
}

const size_t kSecurityDirectory = 0x58 + 112 + 4 * 8;

// The image, an optional archive, `gap`, then a certificate table holding
// `table` and an optional second archive, with the directory pointing at it
// (offset and size adjusted by the given amounts, as a forger might).
std::string Package(bool first_archive, const std::string& gap, bool archive_in_table,
                    int64_t size_change = 0, const std::string& after_table = std::string()) {
  std::string file = SyntheticImage();
  if (first_archive) file += BuildZip({{"genuine.txt", "signed"}}, file.size()).bytes;
  file += gap;
  size_t table_offset = file.size();
  file += std::string("\x10\x00\x00\x00\x00\x02\x02\x00signature", 17);
  if (archive_in_table) file += BuildZip({{"swapped.txt", "unsigned"}}, file.size()).bytes;
  size_t size = file.size() - table_offset;
  file += after_table;
  Put32(&file, kSecurityDirectory, static_cast<uint32_t>(table_offset));
  Put32(&file, kSecurityDirectory + 4, static_cast<uint32_t>(static_cast<int64_t>(size) + size_change));
  return file;
}

TEST(CertificateTableTest, ArchiveIsReadOnlyFromTheSignedBytes) {
  std::wstring dir = brxtest::ScratchDir("certificate");
  std::string unsigned_package = SyntheticImage();
  unsigned_package += BuildZip({{"genuine.txt", "plain"}}, unsigned_package.size()).bytes;
  struct Row {
    const char* what;
    std::string bytes;
    ZIP_Result result;
    const char* entry;  // the one entry expected when the open succeeds
  };
  const Row rows[] = {
      {"no table: found from the end as always", unsigned_package + "trailing data", ZIP_OK, "genuine.txt"},
      {"signed after building", Package(true, std::string(5, '\0'), false), ZIP_OK, "genuine.txt"},
      {"second archive inside the table", Package(true, "", true), ZIP_OK, "genuine.txt"},
      {"signed stub without archive, one grown into the table", Package(false, "", true), ZIP_ERR_FAILED, nullptr},
      {"table pointing past the end of the file", Package(true, "", false, 1), ZIP_ERR_FORMAT, nullptr},
      {"data after the table", Package(true, "", false, 0, "PK"), ZIP_ERR_FORMAT, nullptr},
      {"more than the signer's padding before the table", Package(true, std::string(8, '\0'), false),
       ZIP_ERR_FORMAT, nullptr},
      {"non-zero padding before the table", Package(true, "\x01", false), ZIP_ERR_FORMAT, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ZIP_File zip;
    std::wstring path = brxtest::WriteFile(dir + L"/package.exe", row.bytes);
    ASSERT_EQ(row.result, zip.OpenArchive(path.c_str(), 1));
    if (!row.entry) continue;
    ASSERT_EQ(1u, zip.GetEntryCount());
    EXPECT_STREQ(row.entry, zip.GetEntryAt(0)->GetName());
  }
}

TEST(CertificateTableTest, HeadersMustLieBeforeTheTable) {
  std::wstring dir = brxtest::ScratchDir("certificate");
  // A signed archive, and inside the table a copy of its entry that would be
  // accepted if a directory offset could point there.
  std::string signed_part = SyntheticImage();
  brxtest::BuiltZip zip = BuildZip({{"a.txt", "a"}}, signed_part.size());
  signed_part += zip.bytes;
  size_t table_offset = signed_part.size();
  brxtest::BuiltZip copy = BuildZip({{"a.txt", "a"}}, table_offset);
  struct Row {
    const char* what;
    size_t field;  // position of the offset field to redirect
    size_t target;
  };
  const Row rows[] = {
      {"central directory offset", 512 + zip.end_offset + 16, table_offset + copy.central_offsets[0]},
      {"local header offset", 512 + zip.central_offsets[0] + 42, table_offset + copy.local_offsets[0]},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::string file = signed_part + copy.bytes;
    Put32(&file, row.field, static_cast<uint32_t>(row.target));
    Put32(&file, kSecurityDirectory, static_cast<uint32_t>(table_offset));
    Put32(&file, kSecurityDirectory + 4, static_cast<uint32_t>(file.size() - table_offset));
    ZIP_File reader;
    std::wstring path = brxtest::WriteFile(dir + L"/package.exe", file);
    EXPECT_EQ(ZIP_ERR_FORMAT, reader.OpenArchive(path.c_str(), 1));
    // The same redirection without a table is followed: the rule is the table's.
    Put32(&file, kSecurityDirectory, 0);
    Put32(&file, kSecurityDirectory + 4, 0);
    path = brxtest::WriteFile(dir + L"/package.exe", file);
    EXPECT_EQ(ZIP_OK, reader.OpenArchive(path.c_str(), 1));
  }
}

// An entry whose sizes (agreeing in both headers) carry its data past the
// directory into the table would be read from bytes the signature does not cover.
TEST(CertificateTableTest, EntryDataMustEndBeforeTheTable) {
  std::wstring dir = brxtest::ScratchDir("certificate");
  std::string file = SyntheticImage();
  brxtest::BuiltZip zip = BuildZip({{"a.txt", "a", 0}}, file.size());
  file += zip.bytes;
  const size_t table_offset = file.size();
  file += std::string("\x10\x00\x00\x00\x00\x02\x02\x00signature", 17);
  Put32(&file, kSecurityDirectory, static_cast<uint32_t>(table_offset));
  Put32(&file, kSecurityDirectory + 4, static_cast<uint32_t>(file.size() - table_offset));
  const size_t local = 512 + zip.local_offsets[0];
  const size_t central = 512 + zip.central_offsets[0];
  const uint32_t into_table = static_cast<uint32_t>(table_offset + 8 - (local + 30 + 5));
  for (size_t field : {local + 18, local + 22, central + 20, central + 24}) Put32(&file, field, into_table);
  ZIP_File reader;
  std::wstring path = brxtest::WriteFile(dir + L"/package.exe", file);
  EXPECT_EQ(ZIP_ERR_FORMAT, reader.OpenArchive(path.c_str(), 1));
}

}  // namespace
}  // namespace brxzip
