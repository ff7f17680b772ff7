#include "install/extraction_directory_win.h"

#include <windows.h>
#include <objbase.h>
#include <sddl.h>

#include <string>

#include "install/private_directory_acl.h"

namespace brx {
namespace {

// The running user's SID as text ("S-1-5-..."); empty when the token cannot be read.
std::wstring CurrentUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::wstring();
  std::wstring result;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size > 0) {
    std::string buffer(size, '\0');
    if (GetTokenInformation(token, TokenUser, &buffer[0], size, &size)) {
      auto* user = reinterpret_cast<TOKEN_USER*>(&buffer[0]);
      LPWSTR text = nullptr;
      if (ConvertSidToStringSidW(user->User.Sid, &text)) {
        result = text;
        LocalFree(text);
      }
    }
  }
  CloseHandle(token);
  return result;
}

}  // namespace

bool CreatePrivateDirectory(const wchar_t* path) {
  // Under an agent running as SYSTEM the temporary directory is
  // C:\Windows\Temp, where ordinary users can create files in subfolders they
  // can reach. A directory that inherits that access would let such a user
  // plant a DLL beside the setup program before it runs elevated. So the
  // directory gets a protected list of its own: SYSTEM, Administrators and the
  // running user, inherited by everything extracted into it.
  std::wstring sddl = PrivateDirectorySddl(CurrentUserSid());

  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                            nullptr)) {
    return false;
  }
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
  BOOL created = CreateDirectoryW(path, &attributes);
  LocalFree(descriptor);
  return created != FALSE;
}

bool CreateTempExtractionDirectory(wchar_t* buffer, size_t capacity) {
  if (!buffer || capacity < MAX_PATH) return false;
  wchar_t temp[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH) return false;

  GUID guid;
  if (FAILED(CoCreateGuid(&guid))) return false;
  wchar_t guid_text[40];
  if (StringFromGUID2(guid, guid_text, 40) == 0) return false;

  std::wstring path(temp, length);
  if (path.back() != L'\\') path += L'\\';
  path += guid_text;
  if (path.size() >= capacity) return false;
  lstrcpynW(buffer, path.c_str(), static_cast<int>(capacity));
  return CreatePrivateDirectory(buffer);
}

}  // namespace brx
