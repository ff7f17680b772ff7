// Held folders: what an ordinary user can plant before or during an elevated
// run (links, hard links, files in place of folders) is refused or left
// alone. Links are planted from the Unix side (brxtest::PlantSymlink), so
// under Wine these run the Windows code against what Wine shows of them.
#include "platform/held_directory.h"

#include <gtest/gtest.h>

#include "platform/file.h"
#include "support/planted.h"
#include "support/scratch_dir.h"
#include "support/test_files.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using brx::platform::File;
using brx::platform::FileIdentity;
using brx::platform::HeldDirectory;
using brx::platform::HeldEntry;
using brx::platform::HoldResult;
using brxtest::JoinPath;

class HeldDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = brxtest::ScratchDir("platform");
    outside_ = JoinPath(root_, L"outside");
    ASSERT_TRUE(MakeDir(outside_));
    brxtest::WriteFile(JoinPath(outside_, L"victim.txt"), "victim");
  }
  static bool MakeDir(const std::wstring& path) {
    HeldDirectory parent;
    size_t slash = path.find_last_of(L"\\/");
    if (parent.Open(path.substr(0, slash).c_str()) != HoldResult::kOk) return false;
    HeldDirectory child;
    return parent.CreateChild(path.substr(slash + 1).c_str(), nullptr, &child) == HoldResult::kOk;
  }
  std::wstring Path(const wchar_t* name) const { return JoinPath(root_, name); }

  std::wstring root_;
  std::wstring outside_;
};

TEST_F(HeldDirectoryTest, OpenRefusesEveryLevelThatIsNotAPlainFolder) {
  ASSERT_TRUE(MakeDir(Path(L"plain")));
  ASSERT_TRUE(MakeDir(Path(L"plain\\sub")));
  ASSERT_TRUE(brxtest::PlantSymlink(Path(L"link"), outside_));
  brxtest::WriteFile(Path(L"file"), "x");
  struct Row {
    std::wstring path;
    HoldResult expected;
  } rows[] = {
      {Path(L"plain\\sub"), HoldResult::kOk},
      {Path(L"link"), HoldResult::kLink},
      {Path(L"link\\deeper"), HoldResult::kLink},
      {Path(L"file"), HoldResult::kNotDirectory},
      {Path(L"missing\\sub"), HoldResult::kMissing},
      {L"relative\\path", HoldResult::kBadPath},
      {Path(L"plain\\..\\link"), HoldResult::kBadPath},
  };
  for (const Row& row : rows) {
    HeldDirectory held;
    EXPECT_EQ(row.expected, held.Open(row.path.c_str())) << brxtest::Narrow(row.path);
    EXPECT_EQ(row.expected == HoldResult::kOk, held.valid());
  }
  // Only where the configuration chose the path is a link followed.
  HeldDirectory followed, outside;
  ASSERT_EQ(HoldResult::kOk, followed.OpenFollowingLinks(Path(L"link").c_str()));
  ASSERT_EQ(HoldResult::kOk, outside.Open(outside_.c_str()));
  EXPECT_EQ(outside.identity(), followed.identity());

  // Creating walks the same way: the missing levels are made, a link on the
  // way is refused before anything is made where it leads.
  bool created = false;
  HeldDirectory made;
  EXPECT_EQ(HoldResult::kOk, made.Create(Path(L"new\\deeper").c_str(), nullptr, &created));
  EXPECT_TRUE(created);
  EXPECT_TRUE(brxtest::IsDirectory(Path(L"new\\deeper")));
  EXPECT_EQ(HoldResult::kOk, made.Create(Path(L"new\\deeper").c_str(), nullptr, &created));
  EXPECT_FALSE(created);
  EXPECT_EQ(HoldResult::kLink, made.Create(Path(L"link\\made").c_str(), nullptr, &created));
  EXPECT_FALSE(brxtest::FileExists(JoinPath(outside_, L"made")));
}

// Create-new never opens what is there: a file, a second hard link to a file
// elsewhere, or a link keep their bytes.
TEST_F(HeldDirectoryTest, CreateNewNeverOpensAnExistingName) {
  HeldDirectory held;
  ASSERT_EQ(HoldResult::kOk, held.Open(root_.c_str()));
  brxtest::WriteFile(Path(L"existing.txt"), "mine");
  ASSERT_TRUE(brxtest::PlantHardLink(Path(L"hard.txt"), JoinPath(outside_, L"victim.txt")));
  ASSERT_TRUE(brxtest::PlantSymlink(Path(L"soft.txt"), JoinPath(outside_, L"victim.txt")));
  for (const wchar_t* name : {L"existing.txt", L"hard.txt", L"soft.txt"}) {
    File file;
    EXPECT_EQ(HoldResult::kExists, held.CreateNewFile(name, &file)) << brxtest::Narrow(name);
    EXPECT_FALSE(file.IsOpen());
  }
  EXPECT_EQ("victim", brxtest::FileBytes(JoinPath(outside_, L"victim.txt")));
  EXPECT_EQ("mine", brxtest::FileBytes(Path(L"existing.txt")));

  File fresh;
  ASSERT_EQ(HoldResult::kOk, held.CreateNewFile(L"new.txt", &fresh));
  EXPECT_TRUE(fresh.Write("new", 3));
  HeldDirectory child;
  EXPECT_EQ(HoldResult::kOk, held.CreateChild(L"dir", nullptr, &child));
  EXPECT_EQ(HoldResult::kExists, held.CreateChild(L"dir", nullptr, &child));
}

// Replacing moves a new file over the name: the file behind a second hard
// link or a link keeps its bytes.
TEST_F(HeldDirectoryTest, ReplaceNeverWritesThroughALinkOrSecondHardLink) {
  HeldDirectory held;
  ASSERT_EQ(HoldResult::kOk, held.Open(root_.c_str()));
  ASSERT_TRUE(brxtest::PlantHardLink(Path(L"hard.txt"), JoinPath(outside_, L"victim.txt")));
  ASSERT_TRUE(brxtest::PlantSymlink(Path(L"soft.txt"), JoinPath(outside_, L"victim.txt")));
  for (const wchar_t* name : {L"hard.txt", L"soft.txt"}) {
    File file;
    std::wstring temp;
    ASSERT_EQ(HoldResult::kOk, held.CreateTemporaryFile(&file, &temp));
    ASSERT_TRUE(file.Write("package", 7));
    EXPECT_EQ(HoldResult::kOk, held.ReplaceWith(&file, temp.c_str(), name)) << brxtest::Narrow(name);
    file.Close();
    EXPECT_EQ("package", brxtest::FileBytes(Path(name)));
    EXPECT_FALSE(brxtest::FileExists(Path(temp.c_str())));
  }
  EXPECT_EQ("victim", brxtest::FileBytes(JoinPath(outside_, L"victim.txt")));
}

TEST_F(HeldDirectoryTest, IdentityIsTheFileWhateverNameReachesIt) {
  HeldDirectory held;
  ASSERT_EQ(HoldResult::kOk, held.Open(root_.c_str()));
  brxtest::WriteFile(Path(L"one.txt"), "1");
  brxtest::WriteFile(Path(L"two.txt"), "2");
  ASSERT_TRUE(brxtest::PlantHardLink(Path(L"also-one.txt"), Path(L"one.txt")));
  FileIdentity one, also, two;
  ASSERT_EQ(HoldResult::kOk, held.Inspect(L"one.txt", &one, nullptr));
  ASSERT_EQ(HoldResult::kOk, held.Inspect(L"also-one.txt", &also, nullptr));
  ASSERT_EQ(HoldResult::kOk, held.Inspect(L"two.txt", &two, nullptr));
  EXPECT_EQ(one, also);
  EXPECT_NE(one, two);
  HeldDirectory outside;
  ASSERT_EQ(HoldResult::kOk, held.OpenChild(L"outside", &outside));
  FileIdentity outside_id;
  ASSERT_EQ(HoldResult::kOk, held.Inspect(L"outside", &outside_id, nullptr));
  EXPECT_EQ(outside.identity(), outside_id);
}

// Deleting through the held folder removes a link itself, never what it
// leads to, and with an expected identity only that object.
TEST_F(HeldDirectoryTest, DeleteChildNeverReachesThroughALink) {
  HeldDirectory held;
  ASSERT_EQ(HoldResult::kOk, held.Open(root_.c_str()));
  ASSERT_TRUE(brxtest::PlantSymlink(Path(L"link"), outside_));
  ASSERT_TRUE(brxtest::PlantSymlink(Path(L"file-link"), JoinPath(outside_, L"victim.txt")));
  for (const wchar_t* name : {L"link", L"file-link"}) {
    HoldResult link = held.DeleteChild(name);
    // Windows deletes the link; Wine, which cannot open a link itself, leaves it.
    EXPECT_TRUE(link == HoldResult::kOk || link == HoldResult::kLink) << brx::platform::DescribeHoldResult(link);
    EXPECT_EQ("victim", brxtest::FileBytes(JoinPath(outside_, L"victim.txt")));
  }

  brxtest::WriteFile(Path(L"a.txt"), "a");
  brxtest::WriteFile(Path(L"b.txt"), "b");
  FileIdentity a;
  ASSERT_EQ(HoldResult::kOk, held.Inspect(L"a.txt", &a, nullptr));
  EXPECT_EQ(HoldResult::kChanged, held.DeleteChild(L"b.txt", &a));
  EXPECT_TRUE(brxtest::FileExists(Path(L"b.txt")));
  EXPECT_EQ(HoldResult::kOk, held.DeleteChild(L"a.txt", &a));
  EXPECT_FALSE(brxtest::FileExists(Path(L"a.txt")));

  std::vector<HeldEntry> entries;
  ASSERT_EQ(HoldResult::kOk, held.List(&entries));
  bool saw_outside = false;
  for (const HeldEntry& e : entries) {
    if (e.name == L"outside") saw_outside = e.directory && !e.link;
    EXPECT_NE(L"a.txt", e.name);
  }
  EXPECT_TRUE(saw_outside);
}

#ifdef _WIN32
// The share mode is the defence here: Windows (and wineserver) refuse to
// rename or delete a folder while it is held, so a checked level cannot be
// swapped for a link by another process.
TEST_F(HeldDirectoryTest, AHeldFolderCannotBeRenamedOrDeleted) {
  ASSERT_TRUE(MakeDir(Path(L"held")));
  HeldDirectory held;
  ASSERT_EQ(HoldResult::kOk, held.Open(Path(L"held").c_str()));
  EXPECT_FALSE(MoveFileW(Path(L"held").c_str(), Path(L"moved").c_str()));
  EXPECT_FALSE(MoveFileW(root_.c_str(), (root_ + L"-moved").c_str())) << "a level above is held too";
  EXPECT_FALSE(RemoveDirectoryW(Path(L"held").c_str()));
  EXPECT_TRUE(SetCurrentDirectoryW(Path(L"held").c_str())) << "a held folder can still be made current";
  SetCurrentDirectoryW(root_.c_str());
  held.Close();
  EXPECT_TRUE(MoveFileW(Path(L"held").c_str(), Path(L"moved").c_str()));
}
#endif

}  // namespace
