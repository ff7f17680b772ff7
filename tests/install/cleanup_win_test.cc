#include "install/cleanup_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "install/install_driver.h"
#include "platform/dir.h"
#include "support/planted.h"
#include "support/scratch_dir.h"
#include "support/test_files.h"

namespace brx {
namespace {

// DeleteHeldTree for a folder named by path, as a run holds it: its parent
// and the folder opened held first; a folder that is a link is not removed.
StepResult DeleteDirectoryTree(const wchar_t* directory, const DeleteRetry& retry = DeleteRetry()) {
  StepResult refused(false, ERROR_PATH_NOT_FOUND);
  refused.code = kTreeNotListed;
  if (!directory || !*directory) return refused;
  std::wstring path(directory);
  refused.subject.AssignCut(directory);
  while (path.size() > 3 && platform::IsPathSeparator(path.back())) path.pop_back();
  size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos || slash + 1 >= path.size()) return refused;
  platform::HeldDirectory parent, folder;
  platform::HoldResult r = parent.Open(path.substr(0, slash).c_str());
  if (r == platform::HoldResult::kOk) r = parent.OpenChild(path.substr(slash + 1).c_str(), &folder);
  if (r != platform::HoldResult::kOk) {
    // A folder that is a link (or under one) is not removed: the tree it
    // names is somewhere else.
    refused.error = r == platform::HoldResult::kMissing ? ERROR_PATH_NOT_FOUND : parent.last_error();
    return refused;
  }
  return DeleteHeldTree(parent, &folder, nullptr, retry);
}

void Write(const std::wstring& path, const char* text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
  CloseHandle(file);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring PendingRenames() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                    &key) != ERROR_SUCCESS) {
    return std::wstring();
  }
  std::wstring value(65536, L'\0');
  DWORD size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  DWORD type = 0;
  LONG result = RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type,
                                 reinterpret_cast<BYTE*>(&value[0]), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return std::wstring();
  value.resize(size / sizeof(wchar_t));
  for (wchar_t& c : value) {
    if (c == L'\0') c = L'|';
  }
  return value;
}

TEST(CleanupWinTest, RemovesReadOnlyFilesAndNestedDirectories) {
  std::wstring root = brxtest::JoinPath(brxtest::ScratchDir("cleanup"), L"tree");
  ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
  std::wstring nested = root + L"\\a\\b";
  CreateDirectoryW((root + L"\\a").c_str(), nullptr);
  ASSERT_TRUE(CreateDirectoryW(nested.c_str(), nullptr));
  Write(root + L"\\top.txt", "top");
  Write(nested + L"\\deep.txt", "deep");
  Write(root + L"\\a\\locked.dll", "ro");
  SetFileAttributesW((root + L"\\a\\locked.dll").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
  SetFileAttributesW(nested.c_str(), FILE_ATTRIBUTE_READONLY);

  EXPECT_TRUE(DeleteDirectoryTree((root + L"\\").c_str()).ok);
  EXPECT_FALSE(Exists(root));
}

// The pauses between tries: counted, and the held file let go after
// `release_after` of them (never when 0).
HANDLE g_held = INVALID_HANDLE_VALUE;
unsigned g_pauses = 0;
unsigned g_release_after = 0;
void FakeSleep(unsigned) {
  ++g_pauses;
  if (g_pauses == g_release_after && g_held != INVALID_HANDLE_VALUE) {
    CloseHandle(g_held);
    g_held = INVALID_HANDLE_VALUE;
  }
}

TEST(CleanupWinTest, HeldFileIsWaitedForWithinTheBudgetThenLeftForTheNextBoot) {
  DeleteRetry retry;
  retry.pause_ms = 100;
  retry.budget_ms = 500;
  retry.sleep = FakeSleep;
  for (unsigned release_after : {2u, 0u}) {
    SCOPED_TRACE(release_after);
    // Each case its own folder: a held one stays in the boot list after the test.
    std::wstring root = brxtest::JoinPath(brxtest::ScratchDir("cleanup"), release_after ? L"released" : L"busy");
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    std::wstring busy = root + L"\\setup.log";
    Write(busy, "in use");
    // Held open without delete sharing, as a scanner or a still running
    // program would.
    g_held = CreateFileW(busy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, g_held);
    g_pauses = 0;
    g_release_after = release_after;

    StepResult removed = DeleteDirectoryTree(root.c_str(), retry);
    std::wstring pending = PendingRenames();
    EXPECT_EQ(release_after != 0, removed.ok);
    if (release_after) {
      EXPECT_EQ(release_after, g_pauses);
      EXPECT_FALSE(Exists(root));
      EXPECT_EQ(std::wstring::npos, pending.find(root)) << pending;
      continue;
    }
    // The budget ends the waiting: five pauses for the file, none left for
    // the folder.
    EXPECT_EQ(5u, g_pauses);
    // Reported: the file that stayed, why, and that it goes at the next boot.
    EXPECT_EQ(kTreeLeftForBoot, removed.code);
    EXPECT_EQ(busy, removed.subject.get());
    EXPECT_EQ(static_cast<uint32_t>(ERROR_SHARING_VIOLATION), removed.error);
    CloseHandle(g_held);
    g_held = INVALID_HANDLE_VALUE;
    EXPECT_NE(std::wstring::npos, pending.find(L"setup.log")) << pending;
    EXPECT_NE(std::wstring::npos, pending.find(L"busy|")) << pending;
    DeleteFileW(busy.c_str());
    RemoveDirectoryW(root.c_str());
  }
}

TEST(CleanupWinTest, UnlistableDirectoryAnswersFalse) {
  std::wstring missing = brxtest::JoinPath(brxtest::ScratchDir("cleanup"), L"never-made");
  for (const std::wstring& path : {missing, std::wstring()}) {
    StepResult removed = DeleteDirectoryTree(path.c_str());
    EXPECT_FALSE(removed.ok);
    EXPECT_EQ(kTreeNotListed, removed.code);
    EXPECT_NE(0u, removed.error);
  }
}

// Links the setup program or anybody else left in the tree are removed as
// links or left alone, never followed: what they lead to keeps its files.
TEST(CleanupWinTest, LinksInTheTreeAreNeverFollowed) {
  std::wstring scratch = brxtest::ScratchDir("cleanup");
  std::wstring victim = brxtest::JoinPath(scratch, L"victim");
  ASSERT_TRUE(CreateDirectoryW(victim.c_str(), nullptr));
  Write(victim + L"\\keep.txt", "keep");
  std::wstring root = brxtest::JoinPath(scratch, L"tree");
  ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
  ASSERT_TRUE(brxtest::PlantSymlink(root + L"\\folder-link", victim));
  ASSERT_TRUE(brxtest::PlantSymlink(root + L"\\file-link", victim + L"\\keep.txt"));
  DeleteRetry retry;
  retry.budget_ms = 0;
  DeleteDirectoryTree(root.c_str(), retry);  // Wine leaves the file link (below)
  EXPECT_EQ("keep", brxtest::FileBytes(victim + L"\\keep.txt"));
  // Windows removes the file link itself; Wine cannot remove a Unix link to
  // a file without deleting its target, so there it stays.
  brxtest::RemoveLink(root + L"\\file-link");
}

// A file still in use is left for the next boot only when the run made it.
TEST(CleanupWinTest, OnlyWhatTheRunCreatedIsLeftForTheNextBoot) {
  std::wstring scratch = brxtest::ScratchDir("cleanup");
  std::wstring root = brxtest::JoinPath(scratch, L"boot");
  ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
  Write(root + L"\\ours.log", "ours");
  Write(root + L"\\found.log", "found");
  HANDLE ours = CreateFileW((root + L"\\ours.log").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  HANDLE found = CreateFileW((root + L"\\found.log").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             0, nullptr);
  platform::HeldDirectory parent, folder;
  ASSERT_EQ(platform::HoldResult::kOk, parent.Open(scratch.c_str()));
  ASSERT_EQ(platform::HoldResult::kOk, parent.OpenChild(L"boot", &folder));
  CreatedItems created;
  platform::FileIdentity id;
  ASSERT_EQ(platform::HoldResult::kOk, folder.Inspect(L"ours.log", &id, nullptr));
  created.push_back(id);
  DeleteRetry retry;
  retry.budget_ms = 0;
  StepResult removed = DeleteHeldTree(parent, &folder, &created, retry);
  EXPECT_EQ(kTreeNotRemoved, removed.code) << "the file found in use stays where it is";
  std::wstring pending = PendingRenames();
  CloseHandle(ours);
  CloseHandle(found);
  EXPECT_NE(std::wstring::npos, pending.find(L"boot\\ours.log")) << pending;
  EXPECT_EQ(std::wstring::npos, pending.find(L"boot\\found.log")) << pending;
}

}  // namespace
}  // namespace brx
