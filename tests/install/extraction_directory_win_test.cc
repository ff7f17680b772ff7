#include "install/extraction_directory_win.h"

#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/path_info.h"
#include "support/planted.h"

namespace brx {
namespace {

using brxtest::DaclText;

bool GrantsToOthers(const std::wstring& dacl) {
  // Everyone, Users, Authenticated Users.
  return dacl.find(L";;;WD)") != std::wstring::npos || dacl.find(L";;;BU)") != std::wstring::npos ||
         dacl.find(L";;;AU)") != std::wstring::npos;
}

TEST(ExtractionDirectoryWinTest, FreshGuidNamedDirectoryForOwnerOnly) {
  wchar_t first[MAX_PATH], second[MAX_PATH];
  ASSERT_TRUE(CreateTempExtractionDirectory(first, MAX_PATH));
  ASSERT_TRUE(CreateTempExtractionDirectory(second, MAX_PATH));
  EXPECT_STRNE(first, second);

  std::wstring path = first;
  size_t brace = path.rfind(L'\\');
  ASSERT_NE(std::wstring::npos, brace);
  std::wstring name = path.substr(brace + 1);
  ASSERT_EQ(38u, name.size()) << name;
  EXPECT_EQ(L'{', name.front());
  EXPECT_EQ(L'}', name.back());
  for (wchar_t c : name) EXPECT_FALSE(c >= L'a' && c <= L'f') << name;

  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  EXPECT_EQ(0u, path.find(temp));

  // Nobody but SYSTEM, Administrators and the user may reach it, where a
  // plain sibling directory is readable by others.
  std::wstring plain = std::wstring(temp) + L"brx-plain-dir";
  CreateDirectoryW(plain.c_str(), nullptr);
  std::wstring plain_dacl = DaclText(plain);
  std::wstring private_dacl = DaclText(path);
  EXPECT_FALSE(GrantsToOthers(private_dacl)) << private_dacl;
  EXPECT_TRUE(GrantsToOthers(plain_dacl) || plain_dacl.find(L"D:P") == std::wstring::npos) << plain_dacl;

  RemoveDirectoryW(plain.c_str());
  RemoveDirectoryW(first);
  RemoveDirectoryW(second);
}

// The token's user of an elevated administrator is the same person's
// unelevated identity: the list names the token's owner instead. Wine's
// token has an owner that differs from its user, so the choice shows here.
TEST(ExtractionDirectoryWinTest, ListGrantsTheTokensOwnerNotItsUser) {
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  char buffer[512];
  DWORD size = 0;
  ASSERT_TRUE(GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size));
  CloseHandle(token);
  LPWSTR user = nullptr;
  ASSERT_TRUE(ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &user));
  std::wstring user_sid = user;
  LocalFree(user);

  std::wstring owner = platform::ProcessOwner();
  ASSERT_FALSE(owner.empty());
  std::wstring sddl = ProcessPrivateDirectorySddl();
  bool fixed_entry = owner == L"S-1-5-18" || owner == L"S-1-5-32-544";
  EXPECT_EQ(fixed_entry, sddl.find(L";;;" + owner + L")") == std::wstring::npos) << sddl;
  if (user_sid != owner) {
    EXPECT_EQ(std::wstring::npos, sddl.find(user_sid)) << sddl;
  }
}

TEST(ExtractionDirectoryWinTest, SmallBufferIsRefused) {
  wchar_t small[100];
  EXPECT_FALSE(CreateTempExtractionDirectory(small, 100));
}

}  // namespace
}  // namespace brx
