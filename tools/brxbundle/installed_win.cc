#include "brxbundle/installed_win.h"

#include <windows.h>

#include <vector>

#include "package/xml_reader.h"
#include "platform/folder_security_win.h"
#include "platform/held_directory.h"
#include "platform/scoped_handle_win.h"
#include "platform/scoped_registry_key_win.h"
#include "platform/trusted_folder.h"
#include "platform/utf8.h"

namespace brxbundle {
namespace {

using brx::platform::ScopedHandle;
using brx::platform::ScopedRegistryKey;

const wchar_t kInventoryRoot[] = L"SOFTWARE\\Orvane\\Version Control\\OVRevisionManagement\\";
// A definition copy is a few kilobytes; anything larger is not one.
const DWORD kMaxDefinitionBytes = 1u << 20;

std::wstring Wide(const std::string& utf8) {
  std::wstring out;
  brx::platform::Utf8ToWide(utf8.data(), utf8.size(), &out);
  return out;
}

bool ReadText(HKEY key, const wchar_t* name, std::wstring* out) {
  wchar_t buffer[512];
  DWORD type = 0, size = sizeof(buffer) - sizeof(wchar_t);
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return false;
  }
  size_t chars = size / sizeof(wchar_t);
  while (chars > 0 && buffer[chars - 1] == L'\0') --chars;
  out->assign(buffer, chars);
  return true;
}

// A record names the component as the installer matches records: the same
// file name, or the same expected path (case-sensitive).
bool Recorded(const ManifestMember& m) {
  ScopedRegistryKey component;
  std::wstring path = kInventoryRoot + Wide(m.sw_key);
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, component.receive()) !=
      ERROR_SUCCESS) {
    return false;
  }
  std::wstring file_name = Wide(m.file_name), expected = Wide(m.expected_path);
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD length = 256;
    LONG r = RegEnumKeyExW(component.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_NO_MORE_ITEMS) return false;
    if (r != ERROR_SUCCESS) continue;
    ScopedRegistryKey record;
    if (RegOpenKeyExW(component.get(), name, 0, KEY_READ | KEY_WOW64_64KEY, record.receive()) != ERROR_SUCCESS) {
      continue;
    }
    std::wstring file, kind;
    if (ReadText(record.get(), L"ComponentFileName", &file) && file == file_name) return true;
    if (!expected.empty() && ReadText(record.get(), L"ComponentKeyExpectedPath", &kind) && kind == expected) {
      return true;
    }
  }
}

// Trusted as the stub trusts the folders it writes the copies into: owned by
// an administrator (SYSTEM, Administrators, TrustedInstaller or an account
// Administrators holds) and changeable by nobody else, so a copy an ordinary
// user planted, or may still change, proves nothing.
bool Trusted(brx::platform::FolderFacts facts, brx::platform::SystemAccounts& accounts) {
  // A file is judged as a folder would be: owner and who may change it.
  if (facts.kind == brx::platform::PathKind::kFile) facts.kind = brx::platform::PathKind::kDirectory;
  return brx::platform::JudgeFolder(facts, accounts).ok();
}

// The version of the held definition copy; empty when it is no trusted copy.
std::string CopyVersion(const ManifestMember& m) {
  wchar_t drive[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"SystemDrive", drive, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::string();
  // Both levels are held while they are judged and the copy is read, so
  // neither can be swapped for a user's folder in between.
  brx::platform::SystemAccounts accounts;
  brx::platform::HeldDirectory system, folder;
  if (system.Open((std::wstring(drive, n) + L"\\BRXSYSTEM").c_str()) != brx::platform::HoldResult::kOk ||
      system.OpenChild(L"ztxml", &folder) != brx::platform::HoldResult::kOk ||
      !Trusted(brx::platform::FolderFactsOf(system), accounts) ||
      !Trusted(brx::platform::FolderFactsOf(folder), accounts)) {
    return std::string();
  }
  std::wstring path = folder.path() + L"\\" + Wide(m.definition);
  // Not shared for writing: what is read is what was judged.
  ScopedHandle copy(CreateFileW(path.c_str(), GENERIC_READ | READ_CONTROL, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!copy.valid()) return std::string();
  brx::platform::FolderFacts facts = brx::platform::ReadFolderFacts(copy.get());
  BY_HANDLE_FILE_INFORMATION info;
  if (facts.kind != brx::platform::PathKind::kFile || !GetFileInformationByHandle(copy.get(), &info) ||
      info.nNumberOfLinks != 1 || info.nFileSizeHigh != 0 || info.nFileSizeLow > kMaxDefinitionBytes ||
      !Trusted(facts, accounts)) {
    return std::string();
  }
  std::vector<char> bytes(info.nFileSizeLow);
  DWORD read = 0;
  if (!bytes.empty() && (!ReadFile(copy.get(), bytes.data(), info.nFileSizeLow, &read, nullptr) ||
                         read != info.nFileSizeLow)) {
    return std::string();
  }
  CBrxXMLReader reader;
  if (reader.Load(bytes.data(), bytes.size()) != CBrxXMLReader::kLoadOk) return std::string();
  CBrxXMLNode* root = reader.FindChild(nullptr, L"brx_package");
  CBrxXMLNode* version = root ? reader.FindChild(root, L"version") : nullptr;
  const wchar_t* value = version ? version->GetAttribute(L"value") : nullptr;
  return value ? brx::platform::WideToUtf8(value) : std::string();
}

}  // namespace

std::string InstalledVersionAtLeast(const ManifestMember& member) {
  if (!Recorded(member)) return std::string();
  std::string installed = CopyVersion(member);
  if (installed.empty() || CompareVersions(installed, member.version) < 0) return std::string();
  return installed;
}

}  // namespace brxbundle
