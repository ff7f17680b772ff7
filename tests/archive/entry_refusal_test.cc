// Entries the stub refuses: names Windows aliases, duplicates, encryption.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/entry_name.h"
#include "archive/zip_file.h"
#include "platform/codepage.h"
#include "platform/utf8.h"
#include "support/scratch_dir.h"
#include "support/test_files.h"
#include "support/zip_builder.h"

namespace brxzip {
namespace {

using brxtest::BuildZip;
using brxtest::TestEntry;

class EntryRefusalTest : public ::testing::Test {
 protected:
  // Whether an archive of these entries refuses one as another's duplicate:
  // the whole-archive check must agree with EntryNameSet.
  bool ArchiveHasDuplicate(const std::vector<TestEntry>& entries) {
    EXPECT_EQ(ZIP_OK, Open(entries));
    for (const RefusedEntry& r : FindRefusedEntries(zip_)) {
      if (r.reason == EntryRefusal::kDuplicateName) return true;
    }
    return false;
  }
  void SetUp() override { dir_ = brxtest::ScratchDir("refusal"); }
  ZIP_Result Open(const std::vector<TestEntry>& entries) {
    zip_.CloseArchive();
    std::wstring path = brxtest::WriteFile(dir_ + L"/package.bin", "stub" + BuildZip(entries, 4).bytes);
    return zip_.OpenArchive(path.c_str(), 1);
  }
  // Extraction must refuse the whole archive and leave nothing, not even the
  // destination directory.
  void ExpectNothingExtracted() {
    std::wstring out = dir_ + L"/out";
    EXPECT_EQ(ZIP_ERR_FORMAT, zip_.ExtractAll(out.c_str(), nullptr, nullptr));
    EXPECT_FALSE(brxtest::FileExists(out));
  }
  std::wstring dir_;
  ZIP_File zip_;
};

TEST_F(EntryRefusalTest, NamesWindowsAliasesAreRefusedAndNearMissesPass) {
  struct Row {
    const char* name;
    EntryRefusal reason;
  };
  const Row rows[] = {
      {"CON", EntryRefusal::kDeviceName},
      {"sub/nul.log", EntryRefusal::kDeviceName},
      {"Aux.txt", EntryRefusal::kDeviceName},
      {"prn", EntryRefusal::kDeviceName},
      {"COM0", EntryRefusal::kDeviceName},
      {"lpt9.tar.gz/x", EntryRefusal::kDeviceName},
      {"COM\xB9", EntryRefusal::kDeviceName},  // superscript one in the ANSI code page
      {"lpt\xB3.dat", EntryRefusal::kDeviceName},
      {"conin$", EntryRefusal::kDeviceName},
      {"CONOUT$.x", EntryRefusal::kDeviceName},
      {"NUL .txt", EntryRefusal::kDeviceName},
      {"a.txt.", EntryRefusal::kAliasedName},
      {"dir /a.txt", EntryRefusal::kAliasedName},
      {"../x", EntryRefusal::kUnsafeName},
      {"C:\\x", EntryRefusal::kUnsafeName},
      {"a:b", EntryRefusal::kUnsafeName},
      {"/abs", EntryRefusal::kUnsafeName},
      // Characters no Windows file name holds: every install would fail.
      {"a|b.txt", EntryRefusal::kInvalidCharacter},
      {"what?.txt", EntryRefusal::kInvalidCharacter},
      {"bin/*.dll", EntryRefusal::kInvalidCharacter},
      {"<x>", EntryRefusal::kInvalidCharacter},
      {"q\"uote", EntryRefusal::kInvalidCharacter},
      {"bell\x07.txt", EntryRefusal::kInvalidCharacter},
      {"dir\x1f/x", EntryRefusal::kInvalidCharacter},
      {"esc\x1b[2J", EntryRefusal::kInvalidCharacter},
      {"del\x7f and c1 \x85 pass", EntryRefusal::kNone},
      {"CONSOLE.txt", EntryRefusal::kNone},
      {"com10", EntryRefusal::kNone},
      {"nul_", EntryRefusal::kNone},
      {"a.b.c", EntryRefusal::kNone},
      {"lpt", EntryRefusal::kNone},
      {"auxiliary/", EntryRefusal::kNone},
      {"file~name.txt", EntryRefusal::kNone},
      {"backup~1.text", EntryRefusal::kNone},
      // 8.3 short-name forms are names like any other; a real collision is
      // found when extracting.
      {"FLASH~1.BIN", EntryRefusal::kNone},
      {"UTIL~2\\TOOL.EXE", EntryRefusal::kNone},
      {"a/./b", EntryRefusal::kNone},
      // Every component is judged, and the first one refused gives the reason.
      {"con/a.", EntryRefusal::kDeviceName},
      {"a./con", EntryRefusal::kAliasedName},
      {"sub\\. .\\x", EntryRefusal::kUnsafeName},
      {"x/y/...", EntryRefusal::kUnsafeName},
      {"x/com1 .", EntryRefusal::kDeviceName},
      {"x//y\\", EntryRefusal::kNone},
  };
  std::vector<TestEntry> entries;
  std::vector<std::string> refused;
  for (const Row& row : rows) {
    EXPECT_EQ(row.reason, CheckEntryName(row.name)) << row.name;
    entries.push_back({row.name, "x", 0});
    if (row.reason != EntryRefusal::kNone) refused.push_back(row.name);
  }
  // The archive as a whole: each refused entry is listed once, with its name.
  ASSERT_EQ(ZIP_OK, Open(entries));
  std::vector<std::string> listed;
  for (const RefusedEntry& r : FindRefusedEntries(zip_)) listed.push_back(brx::platform::WideToAnsi(r.name));
  EXPECT_EQ(refused, listed);
  ExpectNothingExtracted();
}

TEST_F(EntryRefusalTest, DuplicatesIgnoringCaseAndSeparatorsAreRefused) {
  struct Row {
    const char* first;
    const char* second;
    bool duplicate;
  };
  const Row rows[] = {
      {"package.xml", "PACKAGE.XML", true},
      {"bin/setup.exe", "BIN\\Setup.exe", true},
      {"bin/setup.exe", "bin//./setup.exe", true},
      {"sub/", "SUB", true},
      {"caf\xE9.txt", "CAF\xC9.TXT", true},  // case beyond ASCII
      {"bin/setup.exe", "bin/setup.exe2", false},
      {"a/b", "a.b", false},
      {"drivers/", "DRIVERS\\", false},  // one folder named twice
      {"./a", "A", true},
      {"a//b//", "A/./B", true},
      {"x/y/", "X\\Y", true},  // a folder and a file of one name
      {"ab/c", "a/bc", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.first) + " | " + row.second);
    EntryNameSet names;
    EXPECT_EQ(EntryRefusal::kNone, names.Add(row.first));
    std::wstring earlier;
    EXPECT_EQ(row.duplicate ? EntryRefusal::kDuplicateName : EntryRefusal::kNone, names.Add(row.second, &earlier));
    EXPECT_EQ(row.duplicate ? brx::platform::AnsiToWide(row.first) : L"", earlier);
    EXPECT_EQ(row.duplicate, ArchiveHasDuplicate({{row.first, "1"}, {"other", "o"}, {row.second, "2"}}));
  }
  // The second of two equal names is the one listed, with the first.
  ASSERT_EQ(ZIP_OK, Open({{"package.xml", "checked"}, {"other.txt", "o"}, {"Package.XML", "swapped"}}));
  std::vector<RefusedEntry> refused = FindRefusedEntries(zip_);
  ASSERT_EQ(1u, refused.size());
  EXPECT_EQ(2u, refused[0].index);
  EXPECT_EQ(EntryRefusal::kDuplicateName, refused[0].reason);
  EXPECT_EQ(L"package.xml", refused[0].other_name);
  ExpectNothingExtracted();
  // Every later copy names the first, however many there are.
  ASSERT_EQ(ZIP_OK, Open({{"b.txt", "1"}, {"a.txt", "2"}, {"A.TXT", "3"}, {"c", "4"}, {"a.Txt", "5"}, {"B.txt", "6"}}));
  refused = FindRefusedEntries(zip_);
  ASSERT_EQ(3u, refused.size());
  EXPECT_EQ(2u, refused[0].index);
  EXPECT_EQ(L"a.txt", refused[0].other_name);
  EXPECT_EQ(4u, refused[1].index);
  EXPECT_EQ(L"a.txt", refused[1].other_name);
  EXPECT_EQ(5u, refused[2].index);
  EXPECT_EQ(L"b.txt", refused[2].other_name);
}

// Windows compares names upper-cased with its invariant mapping, across all
// of Unicode: two entries differing only so would be one file on the server.
// The same rows run natively (the generated table) and under Wine (the OS).
TEST_F(EntryRefusalTest, CasePairsBeyondLatin1AreOneName) {
  struct Row {
    const wchar_t* first;
    const wchar_t* second;
    bool duplicate;
  };
  const Row rows[] = {
      {L"\x0434\x0440\x0430\x0439\x0432\x0435\x0440.sys", L"\x0414\x0420\x0410\x0419\x0412\x0415\x0420.SYS", true},  // Cyrillic
      {L"\xFF41\xFF42\xFF43.txt", L"\xFF21\xFF22\xFF23.txt", true},      // fullwidth
      {L"\x03B1\x03C9/a", L"\x0391\x03A9/A", true},                   // Greek folder
      {L"\x0101\x0107.bin", L"\x0100\x0106.bin", true},               // Latin Extended-A pairs
      {L"\x00FF.txt", L"\x0178.txt", true},                          // y with diaeresis leaves Latin-1
      {L"\x0561.txt", L"\x0531.txt", true},                          // Armenian
      {L"\x0434.txt", L"\x0435.txt", false},
      {L"\xFF41.txt", L"a.txt", false},                              // fullwidth is not ASCII
      {L"\x00DF.txt", L"SS.txt", false},                             // one character maps to one
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << (&row - rows));
    EntryNameSet names;
    EXPECT_EQ(EntryRefusal::kNone, names.Add(row.first));
    EXPECT_EQ(row.duplicate ? EntryRefusal::kDuplicateName : EntryRefusal::kNone, names.Add(row.second));
    TestEntry first{brx::platform::WideToUtf8(row.first), "1"}, second{brx::platform::WideToUtf8(row.second), "2"};
    first.flags = second.flags = kUtf8NameFlag;
    EXPECT_EQ(row.duplicate, ArchiveHasDuplicate({first, second}));
  }
}

TEST_F(EntryRefusalTest, ShortNameFormsThatMayNameAnotherEntryAreFound) {
  std::vector<PossibleCollision> found = FindPossibleShortNameCollisions(
      {L"Flash utility.bin", L"FLASH~1.BIN", L"util two/tool.exe", L"UTIL~2/TOOL.EXE", L"README~1.TXT", L"notes.txt",
       L"sub/FLASH~1.BIN", L"FLASH~1.DAT"});
  ASSERT_EQ(2u, found.size());
  EXPECT_EQ(L"FLASH~1.BIN", found[0].short_form);
  EXPECT_EQ(L"Flash utility.bin", found[0].long_name);
  EXPECT_EQ(L"UTIL~2/TOOL.EXE", found[1].short_form);
  EXPECT_EQ(L"util two/tool.exe", found[1].long_name);
}

TEST_F(EntryRefusalTest, EncryptedEntriesAreRefusedBeforeAnyByteIsWritten) {
  for (uint32_t flags : {0x0001u, 0x0040u, 0x0041u, 0x2000u}) {
    SCOPED_TRACE(flags);
    TestEntry secret = {"secret.bin", "ciphertext", 0};
    secret.flags = flags;
    ASSERT_EQ(ZIP_OK, Open({{"first.txt", "plain"}, secret}));
    std::vector<RefusedEntry> refused = FindRefusedEntries(zip_);
    ASSERT_EQ(1u, refused.size());
    EXPECT_EQ(EntryRefusal::kEncrypted, refused[0].reason);
    ExpectNothingExtracted();
  }
  // Other flags (a data-descriptor bit agreeing in both headers, UTF-8 names)
  // are no reason to refuse.
  TestEntry utf8 = {"plain.txt", "p", 0};
  utf8.flags = 0x0800;
  ASSERT_EQ(ZIP_OK, Open({utf8}));
  EXPECT_TRUE(FindRefusedEntries(zip_).empty());
}

// A link written as a file would carry what follows to wherever it points:
// refused whether Unix mode bits or the Windows reparse-point attribute mark it.
TEST_F(EntryRefusalTest, LinksAreRefusedWhateverTheirName) {
  struct Row {
    const char* what;
    uint32_t made_by;
    uint32_t external;
    bool refused;
  };
  const Row rows[] = {
      {"Unix symbolic link", 0x031E, 0120777u << 16, true},
      {"Windows reparse point", 0x000A, 0x0400 | 0x20, true},
      {"Unix regular file", 0x031E, 0100644u << 16, false},
      {"Windows archive file", 0x000A, 0x20, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TestEntry link = {"link", "/etc/passwd", 0};
    link.made_by = row.made_by;
    link.external = row.external;
    ASSERT_EQ(ZIP_OK, Open({{"first.txt", "plain"}, link}));
    std::vector<RefusedEntry> refused = FindRefusedEntries(zip_);
    ASSERT_EQ(row.refused ? 1u : 0u, refused.size());
    if (!row.refused) continue;
    EXPECT_EQ(EntryRefusal::kLink, refused[0].reason);
    ExpectNothingExtracted();
  }
}

}  // namespace
}  // namespace brxzip
