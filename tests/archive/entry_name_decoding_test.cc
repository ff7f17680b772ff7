// Entry names decode as Info-ZIP and Windows decode them, and everything that
// looks a name up or judges it works on the decoded name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/entry_name.h"
#include "archive/entry_name_decoding.h"
#include "archive/zip_file.h"
#include "platform/utf8.h"
#include "support/scratch_dir.h"
#include "support/test_files.h"
#include "support/zip_builder.h"

namespace brxzip {
namespace {

using brxtest::ExtraField;
using brxtest::UnicodePathField;

const char kResumeUtf8[] = "r\xC3\xA9sum\xC3\xA9.txt";

TEST(EntryNameDecodingTest, FlagThenMatchingUnicodePathThenCodePage) {
  struct Row {
    const char* what;
    uint32_t flags;
    std::string stored;
    std::string extra;
    uint32_t code_page;
    bool decodes;
    std::string utf8;  // the decoded name, as UTF-8
    NameEncoding encoding;
  };
  const std::string emoji = "\xF0\x9F\x93\xA6.bin";  // beyond U+FFFF: a surrogate pair on Windows
  const Row rows[] = {
      {"ASCII", 0, "setup.exe", "", 1252, true, "setup.exe", NameEncoding::kCodePage},
      {"UTF-8 flag", 0x0800, kResumeUtf8, "", 1252, true, kResumeUtf8, NameEncoding::kUtf8Flag},
      {"UTF-8 bytes without the flag", 0, kResumeUtf8, "", 1252, true, "r\xC3\x83\xC2\xA9sum\xC3\x83\xC2\xA9.txt",
       NameEncoding::kCodePage},
      {"code page 932", 0, "\x95\x5C\\a.txt", "", 932, true, "\xE8\xA1\xA8\\a.txt", NameEncoding::kCodePage},
      {"beyond U+FFFF", 0x0800, emoji, "", 1252, true, emoji, NameEncoding::kUtf8Flag},
      {"cut at the first zero byte", 0x0800, std::string("a.txt\0.exe", 10), "", 1252, true, "a.txt",
       NameEncoding::kUtf8Flag},
      {"flagged, ill-formed", 0x0800, "caf\xE9.txt", "", 1252, false, "", NameEncoding::kUtf8Flag},
      {"flagged, overlong slash", 0x0800, "a\xC0\xAF" "b", "", 1252, false, "", NameEncoding::kUtf8Flag},
      {"flagged, encoded surrogate", 0x0800, "\xED\xA0\x80.txt", "", 1252, false, "", NameEncoding::kUtf8Flag},
      {"flagged, cut sequence", 0x0800, "a\xE3\x81", "", 1252, false, "", NameEncoding::kUtf8Flag},
      {"Unicode Path field", 0, "other.exe", UnicodePathField("other.exe", "setup.exe"), 1252, true, "setup.exe",
       NameEncoding::kUnicodePathField},
      {"Unicode Path after another field", 0, "r?sum?.txt",
       ExtraField(0x5455, "\x01\0\0\0\0") + UnicodePathField("r?sum?.txt", kResumeUtf8), 1252, true, kResumeUtf8,
       NameEncoding::kUnicodePathField},
      {"stale Unicode Path (renamed since)", 0, "new.exe", UnicodePathField("old.exe", "setup.exe"), 1252, true,
       "new.exe", NameEncoding::kCodePage},
      {"Unicode Path of another version", 0, "a.exe",
       ExtraField(0x7075, "\x02" + UnicodePathField("a.exe", "setup.exe").substr(5)), 1252, true, "a.exe",
       NameEncoding::kCodePage},
      {"Unicode Path cut short", 0, "a.exe", UnicodePathField("a.exe", "setup.exe").substr(0, 12), 1252, true,
       "a.exe", NameEncoding::kCodePage},
      {"Unicode Path, ill-formed", 0, "a.exe", UnicodePathField("a.exe", "\xFF.exe"), 1252, false, "",
       NameEncoding::kUnicodePathField},
      {"flag wins over the field", 0x0800, "a.exe", UnicodePathField("a.exe", "setup.exe"), 1252, true, "a.exe",
       NameEncoding::kUtf8Flag},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::wstring name;
    NameEncoding encoding = NameEncoding::kCodePage;
    ASSERT_EQ(row.decodes, DecodeEntryName(row.flags, row.stored, row.extra, row.code_page, &name, &encoding));
    EXPECT_EQ(row.encoding, encoding);
    if (row.decodes) {
      EXPECT_EQ(row.utf8, brx::platform::WideToUtf8(name));
    }
  }
}

// Lookups, refusals and extraction all see the decoded name: a Unicode Path
// field that says "setup.exe" is found, judged and written as setup.exe.
TEST(EntryNameDecodingTest, LookupsRefusalsAndExtractionUseTheDecodedName) {
  brxtest::TestEntry renamed = {"other.exe", "program", 0};
  renamed.central_extra = UnicodePathField("other.exe", "setup.exe");
  brxtest::TestEntry device = {"ok.txt", "device", 0};
  device.central_extra = UnicodePathField("ok.txt", "CON");
  brxtest::TestEntry utf8 = {"caf\xC3\xA9.xml", "<x/>", 0};
  utf8.flags = 0x0800;
  std::wstring dir = brxtest::ScratchDir("decoded");
  std::wstring path = brxtest::WriteFile(dir + L"/a.zip", brxtest::BuildZip({renamed, utf8}).bytes);
  ZIP_File zip;
  ASSERT_EQ(ZIP_OK, zip.OpenArchive(path.c_str(), 1));
  EXPECT_EQ(zip.GetEntryAt(0), zip.FindEntry(L"SETUP.EXE"));
  EXPECT_EQ(nullptr, zip.FindEntry(L"other.exe"));
  EXPECT_EQ(zip.GetEntryAt(1), zip.FindEntry(L"CAF\u00C9.XML"));
  EXPECT_STREQ(L"caf\u00E9.xml", zip.GetEntryAt(1)->GetTargetName());
  ASSERT_EQ(ZIP_OK, zip.ExtractAll((dir + L"/out").c_str(), nullptr, nullptr));
  EXPECT_EQ("program", brxtest::FileBytes(dir + L"/out/setup.exe"));
  EXPECT_FALSE(brxtest::FileExists(dir + L"/out/other.exe"));

  std::wstring refused = brxtest::WriteFile(dir + L"/b.zip", brxtest::BuildZip({device, renamed}).bytes);
  ASSERT_EQ(ZIP_OK, zip.OpenArchive(refused.c_str(), 1));
  std::vector<RefusedEntry> found = FindRefusedEntries(zip);
  ASSERT_EQ(1u, found.size());
  EXPECT_EQ(L"CON", found[0].name);
  EXPECT_EQ(EntryRefusal::kDeviceName, found[0].reason);
}

}  // namespace
}  // namespace brxzip
