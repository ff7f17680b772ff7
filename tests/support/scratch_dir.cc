#include "support/scratch_dir.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "support/planted.h"
#include "support/test_files.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace brxtest {
namespace {

#ifdef _WIN32
const wchar_t kSeparator = L'\\';

void RemoveTree(const std::wstring& dir) {
  DWORD attributes = GetFileAttributesW(dir.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    RemoveLink(dir);
    return;
  }
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = dir + L"\\" + name;
      // A link (tests plant some) goes itself; what it points to stays.
      if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        RemoveLink(path);
        continue;
      }
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(dir.c_str());
}

std::wstring Base() {
  wchar_t temp[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH, temp);
  std::wstring base(temp, n);
  if (!base.empty() && base.back() == L'\\') base.pop_back();
  return base + L"\\brx-tests";
}

void MakeAll(const std::wstring& dir) {
  for (size_t i = 3; i <= dir.size(); ++i) {
    if (i == dir.size() || dir[i] == L'\\') CreateDirectoryW(dir.substr(0, i).c_str(), nullptr);
  }
}
#else
const wchar_t kSeparator = L'/';

std::wstring Base() {
  const char* root = getenv("BRX_TEST_TMP");
  std::string base = root && *root ? root : "/tmp/brx-test-tmp";
  return std::wstring(base.begin(), base.end()) + L"/brx-tests";
}

void RemoveTree(const std::wstring& dir) {
  std::string cmd = "chmod -R u+w '" + Narrow(dir) + "' 2>/dev/null; rm -rf '" + Narrow(dir) + "'";
  if (system(cmd.c_str()) != 0) ADD_FAILURE() << cmd;
}

void MakeAll(const std::wstring& dir) {
  std::string cmd = "mkdir -p '" + Narrow(dir) + "'";
  if (system(cmd.c_str()) != 0) ADD_FAILURE() << cmd;
}
#endif

}  // namespace

std::wstring JoinPath(const std::wstring& path, const std::wstring& name) {
  if (path.empty() || path.back() == kSeparator) return path + name;
  return path + kSeparator + name;
}

std::wstring ScratchDir(const char* area) {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string leaf = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : leaf) {
    if (c == '/') c = '_';
  }
  return ScratchDir(area, leaf.c_str());
}

std::wstring ScratchDir(const char* area, const char* leaf) {
  std::string narrow_area(area);
  std::string narrow_leaf(leaf);
  std::wstring dir = JoinPath(JoinPath(Base(), std::wstring(narrow_area.begin(), narrow_area.end())),
                              std::wstring(narrow_leaf.begin(), narrow_leaf.end()));
  RemoveTree(dir);
  MakeAll(dir);
  return dir;
}

void RemoveDir(const std::wstring& dir) { RemoveTree(dir); }

}  // namespace brxtest
