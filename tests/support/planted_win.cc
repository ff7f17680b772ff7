#include "support/planted.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>

#include "platform/path_info.h"

namespace brxtest {
namespace {

// The Unix path of a Windows path, through Wine's own export; empty outside
// Wine or for a path that has none.
std::string UnixPath(const std::wstring& path) {
  using Convert = char*(CDECL*)(LPCWSTR);
  auto convert = reinterpret_cast<Convert>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!convert) return std::string();
  char* unix_path = convert(path.c_str());
  if (!unix_path) return std::string();
  std::string result = unix_path;
  HeapFree(GetProcessHeap(), 0, unix_path);
  return result;
}

std::wstring Wide(const std::string& text) {
  std::wstring out;
  for (unsigned char c : text) out.push_back(static_cast<wchar_t>(c));
  return out;
}

// Runs a Unix program with arguments. Wine splits the command line by the
// Windows rules (no shell), so paths are double-quoted.
bool RunUnix(const wchar_t* program, const std::string& arguments) {
  std::wstring command = std::wstring(program) + L" " + Wide(arguments);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  std::wstring exe = std::wstring(L"Z:\\bin\\") + program;
  if (!CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  // Wine starts a Unix program without handles: callers wait for its effect.
  if (process.hProcess) CloseHandle(process.hProcess);
  if (process.hThread) CloseHandle(process.hThread);
  return true;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool WaitFor(bool (*done)(const std::wstring&), const std::wstring& path) {
  for (int i = 0; i < 100; ++i) {
    if (done(path)) return true;
    Sleep(50);
  }
  return false;
}

}  // namespace

bool PlantSymlink(const std::wstring& link, const std::wstring& target) {
  std::string unix_target = UnixPath(target);
  // The link does not exist yet: its folder's Unix path and its name.
  size_t slash = link.find_last_of(L"\\/");
  if (unix_target.empty() || slash == std::wstring::npos) return false;
  std::string unix_parent = UnixPath(link.substr(0, slash));
  if (unix_parent.empty()) return false;
  std::string name(link.begin() + slash + 1, link.end());
  if (!RunUnix(L"ln", "-s \"" + unix_target + "\" \"" + unix_parent + "/" + name + "\"")) return false;
  return WaitFor(Exists, link);
}

bool PlantHardLink(const std::wstring& link, const std::wstring& target) {
  return CreateHardLinkW(link.c_str(), target.c_str(), nullptr) != FALSE;
}

bool GiveToAnotherUser(const std::wstring& path) {
  std::string unix_path = UnixPath(path);
  std::wstring before = brx::platform::OwnerOf(path.c_str());
  if (unix_path.empty() || !RunUnix(L"chown", "4321 \"" + unix_path + "\"")) return false;
  for (int i = 0; i < 100; ++i) {
    if (brx::platform::OwnerOf(path.c_str()) != before) return true;
    Sleep(50);
  }
  return false;
}

bool OpenToEverybody(const std::wstring& path) {
  std::string unix_path = UnixPath(path);
  if (unix_path.empty() || !RunUnix(L"chmod", "777 \"" + unix_path + "\"")) return false;
  for (int i = 0; i < 100; ++i) {
    if (DaclText(path).find(L"0x1301ff;;;WD") != std::wstring::npos) return true;
    Sleep(50);
  }
  return false;
}

bool RemoveLink(const std::wstring& path) {
  // Wine's RemoveDirectoryW on a Unix link to an empty folder removes that
  // folder and leaves the link: the link goes through Unix instead.
  std::string unix_path = UnixPath(path);
  if (unix_path.empty()) return DeleteFileW(path.c_str()) || RemoveDirectoryW(path.c_str());
  if (!RunUnix(L"rm", "-f \"" + unix_path + "\"")) return false;
  for (int i = 0; i < 100; ++i) {
    if (!Exists(path)) return true;
    Sleep(50);
  }
  return false;
}

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

}  // namespace brxtest
