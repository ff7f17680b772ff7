#include "install/extraction_directory_win.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

namespace brx {
namespace {

// The DACL of a directory as SDDL text.
std::wstring DaclText(const std::wstring& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL dacl = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                            nullptr, &descriptor) != ERROR_SUCCESS) {
    return L"<unreadable>";
  }
  LPWSTR text = nullptr;
  std::wstring result = L"<unconvertible>";
  if (ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                           &text, nullptr)) {
    result = text;
    LocalFree(text);
  }
  LocalFree(descriptor);
  return result;
}

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

TEST(ExtractionDirectoryWinTest, SmallBufferIsRefused) {
  wchar_t small[100];
  EXPECT_FALSE(CreateTempExtractionDirectory(small, 100));
}

}  // namespace
}  // namespace brx
