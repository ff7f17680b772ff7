#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "archive/zip_file.h"
#include "brxpack/package_tool.h"
#include "brxpack/package_writer.h"
#include "platform/utf8.h"
#include "support/scratch_dir.h"
#include "support/test_files.h"
#include "support/zip_builder.h"

namespace brxpack {
namespace {

std::vector<unsigned char> Bytes(const std::string& s) { return std::vector<unsigned char>(s.begin(), s.end()); }

TEST(PackageWriterTest, BuiltPackageOpensThroughTheStubReader) {
  std::wstring dir = brxtest::ScratchDir("archive");
  std::wstring pkg = dir + L"/pkg.exe";
  std::string big(300000, 'q');
  for (size_t i = 0; i < big.size(); i += 97) big[i] = static_cast<char>(i);

  PackageWriter writer;
  ASSERT_TRUE(writer.Begin(pkg.c_str(), Bytes("MZ stub image")));
  // The configuration hook sees the entry's plain bytes and may replace them.
  writer.set_transform([](const std::string& name, std::vector<unsigned char>* data) {
    if (name == "config.ini") *data = Bytes("enciphered enciphered enciphered enciphered");
    return true;
  });
  EntryOptions stored;
  stored.method = Method::kStore;
  stored.dos_date = 0x5821;
  stored.dos_time = 0x6000;
  ASSERT_TRUE(writer.AddData("package.xml", Bytes("<brx_package/>")));
  ASSERT_TRUE(writer.AddDirectory("bin"));
  ASSERT_TRUE(writer.AddData("bin/big.dat", Bytes(big), stored));
  ASSERT_TRUE(writer.AddData("config.ini", Bytes("plain")));
  ASSERT_TRUE(writer.Finish("made by brxpack"));

  brxzip::ZIP_File zip;
  ASSERT_EQ(brxzip::ZIP_OK, zip.OpenArchive(pkg.c_str(), 1));
  ASSERT_EQ(4u, zip.GetEntryCount());
  EXPECT_STREQ("package.xml", zip.GetEntryAt(0)->GetName());
  EXPECT_STREQ("bin/", zip.GetEntryAt(1)->GetName());
  EXPECT_EQ(13u, zip.GetEntryAt(0)->GetLocalHeaderOffset());
  EXPECT_EQ(0u, zip.GetEntryAt(2)->GetMethod());
  EXPECT_EQ(8u, zip.GetEntryAt(3)->GetMethod());

  std::wstring out = dir + L"/out";
  ASSERT_EQ(brxzip::ZIP_OK, ExtractPackage(&zip, out));
  std::string got;
  ASSERT_TRUE(brxtest::ReadFile(out + L"/bin/big.dat", &got));
  EXPECT_EQ(big, got);
  ASSERT_TRUE(brxtest::ReadFile(out + L"/config.ini", &got));
  EXPECT_EQ("enciphered enciphered enciphered enciphered", got);

  std::string listing = ListArchive(zip, "pkg.exe");
  EXPECT_NE(std::string::npos, listing.find("   300000  01-01-2024 12:00   bin/big.dat\n")) << listing;
  EXPECT_NE(std::string::npos, listing.find("4 files")) << listing;
}

// A listing longer than the piece it is written in reads as one.
TEST(PackageListingTest, ListingWrittenInPiecesIsTheWholeListing) {
  std::wstring dir = brxtest::ScratchDir("archive", "listing");
  std::vector<brxtest::TestEntry> entries;
  for (int i = 0; i < 3000; ++i) entries.push_back({"folder/entry" + std::to_string(i) + ".txt", "x"});
  std::wstring pkg = brxtest::WriteFile(dir + L"/pkg.exe", "MZ" + brxtest::BuildZip(entries, 2).bytes);
  brxzip::ZIP_File zip;
  ASSERT_EQ(brxzip::ZIP_OK, zip.OpenArchive(pkg.c_str(), 1));
  std::string listing = ListArchive(zip, "pkg.exe");
  EXPECT_NE(std::string::npos, listing.find("        1  01-01-2024 12:00   folder/entry2999.txt\n"));
  EXPECT_NE(std::string::npos, listing.find("\n     3000                     3000 files\n"));

  std::wstring written = dir + L"/listing.txt";
  FILE* out = fopen(brx::platform::WideToUtf8(written).c_str(), "wb");
  ASSERT_NE(nullptr, out);
  WriteListing(zip, "pkg.exe", out);
  fclose(out);
  std::string got;
  ASSERT_TRUE(brxtest::ReadFile(written, &got));
  EXPECT_EQ(listing, got);
}

// Files are streamed in pieces across several reads; deflate stays only where
// it makes an entry smaller, and a stored entry after a deflate that did not
// pay leaves nothing of it behind.
TEST(PackageWriterTest, StreamsFilesAndStoresWhatDeflateDoesNotShrink) {
  std::wstring dir = brxtest::ScratchDir("archive", "stream");
  // Noise past the size at which the writer stops a deflate that does not
  // pay, and a smaller one deflated whole before it is stored.
  std::string noise(9u << 20 | 123, '\0'), text(3u << 20, 'x');
  uint32_t state = 12345;
  for (char& c : noise) c = static_cast<char>((state = state * 1103515245 + 12345) >> 23);
  std::string small_noise = noise.substr(0, (1u << 20) + 7);
  for (size_t i = 0; i < text.size(); i += 61) text[i] = static_cast<char>('a' + i % 26);
  brxtest::WriteFile(dir + L"/text.bin", text);
  brxtest::WriteFile(dir + L"/noise.bin", noise);
  brxtest::WriteFile(dir + L"/small.bin", small_noise);
  std::wstring pkg = dir + L"/pkg.exe";
  PackageWriter writer;
  ASSERT_TRUE(writer.Begin(pkg.c_str(), Bytes("MZ")));
  ASSERT_TRUE(writer.AddFile("text.bin", (dir + L"/text.bin").c_str(), Method::kDeflate));
  ASSERT_TRUE(writer.AddFile("noise.bin", (dir + L"/noise.bin").c_str(), Method::kDeflate));
  ASSERT_TRUE(writer.AddData("tiny.txt", Bytes("ab")));
  ASSERT_TRUE(writer.AddFile("small.bin", (dir + L"/small.bin").c_str(), Method::kDeflate));
  ASSERT_TRUE(writer.Finish());
  EXPECT_EQ(4u, writer.entry_count());
  EXPECT_EQ(text.size() + noise.size() + 2 + small_noise.size(), writer.total_size());

  brxzip::ZIP_File zip;
  ASSERT_EQ(brxzip::ZIP_OK, zip.OpenArchive(pkg.c_str(), 1));
  EXPECT_EQ(8u, zip.GetEntryAt(0)->GetMethod());
  EXPECT_EQ(0u, zip.GetEntryAt(1)->GetMethod());
  EXPECT_EQ(0u, zip.GetEntryAt(2)->GetMethod());
  EXPECT_EQ(0u, zip.GetEntryAt(3)->GetMethod());
  ASSERT_EQ(brxzip::ZIP_OK, ExtractPackage(&zip, dir + L"/out"));
  EXPECT_EQ(text, brxtest::FileBytes(dir + L"/out/text.bin"));
  EXPECT_EQ(noise, brxtest::FileBytes(dir + L"/out/noise.bin"));
  EXPECT_EQ(small_noise, brxtest::FileBytes(dir + L"/out/small.bin"));
}

}  // namespace
}  // namespace brxpack
