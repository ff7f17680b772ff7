#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "archive/directory_path.h"
#include "archive/entry_name.h"
#include "archive/extract_progress.h"
#include "archive/zip_file.h"
#include "platform/file.h"
#include "support/planted.h"
#include "support/scratch_dir.h"
#include "support/test_files.h"
#include "support/zip_builder.h"

namespace brxzip {
namespace {

using brxtest::BuildZip;
using brxtest::TestEntry;

struct Seen {
  std::vector<uint64_t> index;
  std::vector<uint64_t> total;
  std::vector<std::wstring> path;
  std::vector<int> percent;
  size_t stop_after = 0;
};

bool Record(void* argument, const ExtractProgress* p) {
  Seen* seen = static_cast<Seen*>(argument);
  seen->index.push_back(p->index);
  seen->total.push_back(p->total);
  seen->path.push_back(p->path);
  seen->percent.push_back(ExtractionPercent(*p));
  return seen->stop_after == 0 || seen->index.size() < seen->stop_after;
}

class ExtractTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = brxtest::ScratchDir("archive"); }
  ZIP_Result Open(const std::vector<TestEntry>& entries) {
    zip_.CloseArchive();  // Windows does not let a file open for reading be rewritten
    std::wstring path = brxtest::WriteFile(dir_ + L"/package.bin", "stub" + BuildZip(entries, 4).bytes);
    return zip_.OpenArchive(path.c_str(), 1);
  }
  std::string Contents(const std::wstring& path) {
    std::string s;
    EXPECT_TRUE(brxtest::ReadFile(path, &s)) << brxtest::Narrow(path);
    return s;
  }
  std::wstring dir_;
  ZIP_File zip_;
};

TEST_F(ExtractTest, WritesFilesDirectoriesAndReportsProgress) {
  ASSERT_EQ(ZIP_OK, Open({{"a.txt", "alpha"}, {"sub/", ""}, {"sub/b.txt", "beta", 0},
                          {"deep/er/c.txt", "gamma"}}));
  std::wstring out = dir_ + L"/out";
  brxtest::WriteFile(dir_ + L"/placeholder", "");
  Seen seen;
  ASSERT_EQ(ZIP_OK, zip_.ExtractAll(out.c_str(), Record, &seen));
  EXPECT_EQ("alpha", Contents(out + L"/a.txt"));
  EXPECT_TRUE(brxtest::IsDirectory(out + L"/sub"));
  EXPECT_EQ("beta", Contents(out + L"/sub/b.txt"));
  EXPECT_EQ("gamma", Contents(out + L"/deep/er/c.txt"));
  EXPECT_EQ((std::vector<uint64_t>{1, 2, 3, 4}), seen.index);
  EXPECT_EQ((std::vector<uint64_t>{4, 4, 4, 4}), seen.total);
  EXPECT_EQ(out + L"\\a.txt", seen.path[0]);
  EXPECT_EQ(out + L"\\sub/", seen.path[1]);
  EXPECT_EQ(out + L"\\sub/b.txt", seen.path[2]);

  // A second run replaces what is there; a callback answering false stops
  // the run without an error.
  brxtest::WriteFile(out + L"/a.txt", "something much longer than alpha");
  Seen stop;
  stop.stop_after = 1;
  EXPECT_EQ(ZIP_OK, zip_.ExtractAll(out.c_str(), Record, &stop));
  EXPECT_EQ(1u, stop.index.size());
  EXPECT_EQ("something much longer than alpha", Contents(out + L"/a.txt"));
  EXPECT_EQ(ZIP_OK, zip_.ExtractAll(out.c_str(), nullptr, nullptr));
  EXPECT_EQ("alpha", Contents(out + L"/a.txt"));
}

TEST_F(ExtractTest, ProgressPercentUsesSinglePrecisionQuotient) {
  std::vector<int> five, ten;
  for (uint64_t i = 1; i <= 5; ++i) five.push_back(ExtractionPercent({i, 5, nullptr}));
  for (uint64_t i = 1; i <= 10; ++i) ten.push_back(ExtractionPercent({i, 10, nullptr}));
  EXPECT_EQ((std::vector<int>{20, 40, 60, 80, 100}), five);
  EXPECT_EQ((std::vector<int>{10, 20, 30, 40, 50, 60, 69, 80, 89, 100}), ten);
  EXPECT_EQ(0, ExtractionPercent({0, 0, nullptr}));
  ExtractProgress p = {1, 2, nullptr};
  EXPECT_TRUE(UpdateExtractionProgress(nullptr, &p));
}

TEST_F(ExtractTest, HostileNamesAreRefusedBeforeAnythingIsWritten) {
  for (const char* name : {"../evil.txt", "sub/../../evil.txt", "..\\evil.txt", "/etc/evil", "\\evil",
                           "\\\\server\\share\\evil", "C:evil", "C:\\evil", "file.txt:stream",
                           "sub/.../evil", "sub/. ./evil", ""}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(IsSafeEntryName(name));
    ASSERT_EQ(ZIP_OK, Open({{"first.txt", "written?"}, {name, "evil"}}));
    std::wstring out = dir_ + L"/out";
    EXPECT_EQ(ZIP_ERR_FORMAT, zip_.ExtractAll(out.c_str(), nullptr, nullptr));
    EXPECT_FALSE(brxtest::FileExists(out + L"/first.txt"));
    EXPECT_FALSE(brxtest::FileExists(dir_ + L"/evil.txt"));
  }
  for (const char* name : {"a.txt", "sub/b.txt", "sub/", "x..y", "..a/b", "a/./b", "dir.d/file"}) {
    EXPECT_TRUE(IsSafeEntryName(name)) << name;
  }
}

// In a folder that existed before the run, a folder link on the way would
// carry an entry's bytes elsewhere: the extraction is refused before anything
// is written, naming the folder. A link or a second hard link in place of an
// entry's file is replaced by the entry's file, never written through.
TEST_F(ExtractTest, LinksInsideAnExistingDestinationAreNeverWrittenThrough) {
  std::wstring out = dir_ + L"/out";
  std::wstring elsewhere = dir_ + L"/elsewhere";
  ASSERT_TRUE(EnsureDirectoryPath(elsewhere.c_str()));
  brxtest::WriteFile(elsewhere + L"/x.dll", "theirs");
  enum Plant { kFolderLink, kFileLink, kHardLink };
  struct Case {
    const char* link;  // below out, to elsewhere (or its file)
    Plant plant;
    const char* entry;
    ZIP_Result result;
  };
  for (const Case& c : {Case{"sub", kFolderLink, "sub/x.dll", ZIP_ERR_CREATE},
                        Case{"a/b", kFolderLink, "a/b/c/x.dll", ZIP_ERR_CREATE},
                        Case{"x.dll", kFileLink, "x.dll", ZIP_OK}, Case{"x.dll", kHardLink, "x.dll", ZIP_OK}}) {
    SCOPED_TRACE(c.entry);
    brxtest::RemoveDir(out);
    std::wstring link = out + L"/" + std::wstring(c.link, c.link + strlen(c.link));
    ASSERT_TRUE(EnsureDirectoryPath(link.substr(0, link.rfind(L'/')).c_str()));
    ASSERT_TRUE(c.plant == kHardLink ? brxtest::PlantHardLink(link, elsewhere + L"/x.dll")
                                     : brxtest::PlantSymlink(link, c.plant == kFileLink ? elsewhere + L"/x.dll"
                                                                                         : elsewhere));
    ASSERT_EQ(ZIP_OK, Open({{"first.txt", "written?"}, {c.entry, "ours"}}));
    ExtractReport report;
    EXPECT_EQ(c.result, zip_.ExtractAll(out.c_str(), nullptr, nullptr, &report));
    EXPECT_EQ(c.result == ZIP_OK, brxtest::FileExists(out + L"/first.txt"));
    EXPECT_EQ("theirs", brxtest::FileBytes(elsewhere + L"/x.dll"));
    EXPECT_FALSE(brxtest::FileExists(elsewhere + L"/c/x.dll"));
    if (c.result == ZIP_OK) {
      EXPECT_EQ("ours", brxtest::FileBytes(link));
    } else {
      EXPECT_EQ(std::wstring(c.entry, c.entry + strlen(c.entry)), report.entry);
      EXPECT_NE(std::string::npos, report.reason.find("junction")) << report.reason;
    }
  }
}

// A destination that is, or passes through, a link is refused before
// anything is written; a folder named twice is no conflict.
TEST_F(ExtractTest, LinkDestinationsAreRefusedAndRepeatedFoldersExtract) {
  std::wstring elsewhere = dir_ + L"/elsewhere";
  ASSERT_TRUE(EnsureDirectoryPath(elsewhere.c_str()));
  ASSERT_TRUE(brxtest::PlantSymlink(dir_ + L"/link", elsewhere));
  ASSERT_EQ(ZIP_OK, Open({{"drivers/", ""}, {"a.txt", "a"}, {"DRIVERS/", ""}, {"drivers/x.sys", "x"}}));
  for (const wchar_t* destination : {L"/link", L"/link/below"}) {
    ExtractReport report;
    EXPECT_EQ(ZIP_ERR_CREATE, zip_.ExtractAll((dir_ + destination).c_str(), nullptr, nullptr, &report));
    EXPECT_EQ(dir_ + destination, report.path);
    EXPECT_FALSE(brxtest::FileExists(elsewhere + L"/a.txt"));
  }
  ExtractReport report;
  ASSERT_EQ(ZIP_OK, zip_.ExtractAll((dir_ + L"/out").c_str(), nullptr, nullptr, &report));
  EXPECT_EQ("x", brxtest::FileBytes(dir_ + L"/out/drivers/x.sys"));
  // The folder and the two files it made, for the clean-up.
  EXPECT_EQ(3u, report.created.size());
}

TEST_F(ExtractTest, BadDestinationsAndLongPathsFail) {
  ASSERT_EQ(ZIP_OK, Open({{"a.txt", "alpha"}}));
  EXPECT_EQ(ZIP_ERR_FAILED, zip_.ExtractAll(L"relative/dir", nullptr, nullptr));
  EXPECT_EQ(ZIP_ERR_FAILED, zip_.ExtractAll(L"\\\\server\\share", nullptr, nullptr));
  // A destination below a file cannot be created.
  brxtest::WriteFile(dir_ + L"/file", "x");
  EXPECT_EQ(ZIP_ERR_FAILED, zip_.ExtractAll((dir_ + L"/file/below").c_str(), nullptr, nullptr));

  std::string long_name(300 - dir_.size(), 'n');
  ASSERT_EQ(ZIP_OK, Open({{"short.txt", "s"}, {long_name, "l"}}));
  EXPECT_EQ(ZIP_ERR_CREATE, zip_.ExtractAll(dir_.c_str(), nullptr, nullptr));
  EXPECT_FALSE(brxtest::FileExists(dir_ + L"/short.txt"));
  std::wstring long_path = dir_ + L"/" + std::wstring(long_name.begin(), long_name.end());
  EXPECT_EQ(ZIP_ERR_CREATE, zip_.GetEntryAt(1)->ExtractTo(long_path.c_str()));
  EXPECT_FALSE(EnsureDirectoryPath(long_path.c_str()));
}

// Small entries are written as they inflate, large ones on a second thread
// while the next piece inflates; both write every byte, sum the CRC-32 of
// exactly those bytes, and report a file that could not be written.
TEST_F(ExtractTest, EntriesOfEverySizeAreWrittenWholeAndChecked) {
  std::string data(3 * 1024 * 1024 + 12345, '\0');
  uint32_t state = 7;
  for (size_t i = 0; i < data.size(); ++i) {
    state = state * 1103515245 + 12345;
    data[i] = static_cast<char>(i % 3 ? 'a' + (state >> 28) : state >> 24);
  }
  for (size_t size : {size_t{1000}, data.size()}) {
    for (uint32_t method : {0u, 8u}) {
      for (bool bad_crc : {false, true}) {
        SCOPED_TRACE(testing::Message() << size << " " << method << " " << bad_crc);
        std::string content = data.substr(0, size);
        brxtest::BuiltZip built = BuildZip({{"big.bin", content, method}}, 4);
        if (bad_crc) {
          // Both headers agree on a wrong CRC-32: only the data can tell.
          uint32_t crc = brxtest::Get32(built.bytes, built.central_offsets[0] + 16) ^ 0x1;
          brxtest::Put32(&built.bytes, built.central_offsets[0] + 16, crc);
          brxtest::Put32(&built.bytes, built.local_offsets[0] + 14, crc);
        }
        zip_.CloseArchive();
        std::wstring path = brxtest::WriteFile(dir_ + L"/package.bin", "stub" + built.bytes);
        ASSERT_EQ(ZIP_OK, zip_.OpenArchive(path.c_str(), 1));
        std::wstring out = dir_ + L"/out-" + std::to_wstring(size) + L"-" + std::to_wstring(method) +
                           (bad_crc ? L"-bad" : L"-good");
        EXPECT_EQ(bad_crc ? ZIP_ERR_CRC : ZIP_OK, zip_.ExtractAll(out.c_str(), nullptr, nullptr));
        // A mismatch is found after the whole entry: the file stays as evidence.
        EXPECT_TRUE(content == Contents(out + L"/big.bin"));
#ifndef _WIN32
        brx::platform::File full;
        ASSERT_TRUE(full.Open(L"/dev/full", brx::platform::FileMode::kCreateAlways));
        EXPECT_EQ(ZIP_ERR_CREATE, zip_.GetEntryAt(0)->WriteToFile(&full));
#endif
      }
    }
  }
}

TEST_F(ExtractTest, DirectoryHelpersCreateParentsAndRefuseOtherPaths) {
  std::wstring deep = dir_ + L"/a/b/c";
  EXPECT_EQ(1, CreateDirectoryPath(deep.c_str()));
  EXPECT_TRUE(brxtest::IsDirectory(deep));
  EXPECT_EQ(1, CreateDirectoryPath(deep.c_str()));
  brxtest::WriteFile(dir_ + L"/plain", "x");
  EXPECT_EQ(0, CreateDirectoryPath((dir_ + L"/plain/sub/dir").c_str()));
  EXPECT_EQ(0, CreateDirectoryPath(nullptr));

  EXPECT_TRUE(EnsureDirectoryPath((dir_ + L"\\x\\y/z").c_str()));
  EXPECT_TRUE(brxtest::IsDirectory(dir_ + L"/x/y/z"));
  EXPECT_FALSE(EnsureDirectoryPath(L"relative\\path"));
  EXPECT_FALSE(EnsureDirectoryPath(L"\\\\server\\share\\dir"));
  EXPECT_FALSE(EnsureDirectoryPath(nullptr));
}

}  // namespace
}  // namespace brxzip
