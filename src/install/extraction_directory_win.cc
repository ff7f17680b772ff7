#include "install/extraction_directory_win.h"

#include <windows.h>
#include <objbase.h>

#include <string>

#include "install/private_directory_acl.h"
#include "platform/dir.h"
#include "platform/path_info.h"

namespace brx {

std::wstring ProcessPrivateDirectorySddl() {
  // The token's owner, not its user: under UAC elevation the user is the
  // administrator's own unelevated identity, so any ordinary process of that
  // user could rewrite setup.exe between extraction and launch. The owner is
  // the Administrators group when elevated and SYSTEM under an agent.
  return PrivateDirectorySddl(platform::ProcessOwner());
}

bool CreatePrivateDirectory(const wchar_t* path) {
  // Under an agent running as SYSTEM the temporary directory is
  // C:\Windows\Temp, where ordinary users can create files in subfolders they
  // can reach. A directory that inherits that access would let such a user
  // plant a DLL beside the setup program before it runs elevated. So the
  // directory gets a protected list of its own, inherited by everything
  // extracted into it.
  return platform::MakeDirectory(path, ProcessPrivateDirectorySddl().c_str()) ==
         platform::MakeDirectoryResult::kCreated;
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
