// brxfleet_host: what the fleet test's stand-ins for the ansible.windows
// modules cannot see from outside a host's Wine prefix, asked inside it
// through Win32. Prints one JSON object; exit 0, or 2 for a wrong command line.
//
//   brxfleet_host reg-stat KEY [VALUE]    KEY as "HKLM:\SOFTWARE\..." (64-bit view)
//   brxfleet_host reg-add KEY             creates the key
//   brxfleet_host reg-delete KEY          deletes the key and its subkeys
//   brxfleet_host private-dir PATH        the role's staging folder rule
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <stdio.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/path_info.h"
#include "platform/utf8.h"

namespace {

using nlohmann::json;
using brx::platform::WideToUtf8;

// The key below HKLM, from "HKLM:\X", "HKLM\X" or "HKEY_LOCAL_MACHINE\X".
bool LocalMachinePath(std::wstring key, std::wstring* path) {
  for (const wchar_t* prefix : {L"HKLM:\\", L"HKLM\\", L"HKEY_LOCAL_MACHINE\\"}) {
    size_t n = wcslen(prefix);
    if (_wcsnicmp(key.c_str(), prefix, n) == 0) {
      *path = key.substr(n);
      return true;
    }
  }
  return false;
}

std::string TypeName(DWORD type) {
  switch (type) {
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_DWORD: return "REG_DWORD";
    case REG_QWORD: return "REG_QWORD";
    default: return "REG_BINARY";
  }
}

// A value as win_reg_stat shows it: strings without their terminators.
json ValueJson(DWORD type, const std::vector<BYTE>& data) {
  const wchar_t* text = reinterpret_cast<const wchar_t*>(data.data());
  size_t chars = data.size() / sizeof(wchar_t);
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    std::wstring s(text, chars);
    while (!s.empty() && s.back() == L'\0') s.pop_back();
    return {{"type", TypeName(type)}, {"value", WideToUtf8(s)}};
  }
  if (type == REG_MULTI_SZ) {
    json list = json::array();
    std::wstring item;
    for (size_t i = 0; i < chars; ++i) {
      if (text[i]) {
        item += text[i];
      } else if (!item.empty()) {
        list.push_back(WideToUtf8(item));
        item.clear();
      }
    }
    if (!item.empty()) list.push_back(WideToUtf8(item));
    return {{"type", TypeName(type)}, {"value", list}};
  }
  if (type == REG_DWORD && data.size() >= 4) {
    return {{"type", TypeName(type)}, {"value", *reinterpret_cast<const DWORD*>(data.data())}};
  }
  return {{"type", TypeName(type)}, {"value", nullptr}};
}

json RegStat(const std::wstring& key, const wchar_t* value_name) {
  std::wstring path;
  if (!LocalMachinePath(key, &path)) return {{"failed", true}, {"msg", "only HKLM keys"}};
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &handle) != ERROR_SUCCESS) {
    return {{"exists", false}};
  }
  json out = {{"exists", true}};
  auto read_value = [&](const wchar_t* name, json* into) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(handle, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    std::vector<BYTE> data(size + sizeof(wchar_t));
    if (RegQueryValueExW(handle, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return false;
    data.resize(size);
    *into = ValueJson(type, data);
    return true;
  };
  if (value_name) {
    json v;
    if (read_value(value_name, &v)) {
      out["type"] = v["type"];
      out["value"] = v["value"];
    } else {
      out["exists"] = false;
    }
  } else {
    json sub_keys = json::array(), properties = json::object();
    wchar_t name[512];
    for (DWORD i = 0;; ++i) {
      DWORD n = 512;
      if (RegEnumKeyExW(handle, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      sub_keys.push_back(WideToUtf8(name));
    }
    for (DWORD i = 0;; ++i) {
      DWORD n = 512;
      if (RegEnumValueW(handle, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      json v;
      if (read_value(name, &v)) properties[WideToUtf8(name)] = v;
    }
    out["sub_keys"] = sub_keys;
    out["properties"] = properties;
  }
  RegCloseKey(handle);
  return out;
}

json RegAdd(const std::wstring& key) {
  std::wstring path;
  HKEY handle = nullptr;
  if (!LocalMachinePath(key, &path) ||
      RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY, nullptr, &handle,
                      nullptr) != ERROR_SUCCESS) {
    return {{"failed", true}};
  }
  RegCloseKey(handle);
  return {{"changed", true}};
}

json RegDelete(const std::wstring& key) {
  std::wstring path;
  if (!LocalMachinePath(key, &path)) return {{"failed", true}};
  LSTATUS status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
  return {{"changed", status == ERROR_SUCCESS}};
}

std::wstring SidText(PSID sid) {
  LPWSTR text = nullptr;
  if (!sid || !ConvertSidToStringSidW(sid, &text)) return std::wstring();
  std::wstring out = text;
  LocalFree(text);
  return out;
}

// The role's rule (brx_windows/library/brx_staging_folder.ps1): SYSTEM and Administrators
// own it and alone may change it, and it is no link. Wine gives files the
// owner of their Unix file, so the owner it shows for what the test user
// creates counts as Administrators here.
json PrivateDir(const std::wstring& path) {
  const DWORD kWriteRights = 0x500D0156;
  bool changed = false;
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", SDDL_REVISION_1,
                                                         &sd, nullptr);
    SECURITY_ATTRIBUTES sa = {sizeof(sa), sd, FALSE};
    changed = CreateDirectoryW(path.c_str(), &sa) != FALSE;
    LocalFree(sd);
  }
  std::vector<std::wstring> trusted = {L"S-1-5-18", L"S-1-5-32-544"};
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  trusted.push_back(brx::platform::OwnerOf(temp));
  auto is_trusted = [&](const std::wstring& sid) {
    for (const std::wstring& t : trusted) {
      if (!t.empty() && t == sid) return true;
    }
    return false;
  };
  auto refuse = [&](const std::string& why) {
    return json{{"failed", true}, {"msg", "refusing the staging folder " + WideToUtf8(path) + ": " + why}};
  };
  brx::platform::PathKind kind = brx::platform::KindOf(path.c_str());
  if (kind == brx::platform::PathKind::kLink) return refuse("it is a link");
  if (kind != brx::platform::PathKind::kDirectory) return refuse("it is no folder");
  std::wstring owner = brx::platform::OwnerOf(path.c_str());
  if (!is_trusted(owner)) return refuse("it belongs to " + WideToUtf8(owner));
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                            &sd) != ERROR_SUCCESS) {
    return refuse("its access list cannot be read");
  }
  std::string writer;
  for (DWORD i = 0; dacl && i < dacl->AceCount && writer.empty(); ++i) {
    ACE_HEADER* header = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&header)) || header->AceType != ACCESS_ALLOWED_ACE_TYPE ||
        (header->AceFlags & INHERIT_ONLY_ACE)) {
      continue;
    }
    auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
    std::wstring sid = SidText(&ace->SidStart);
    if ((ace->Mask & kWriteRights) && !is_trusted(sid)) writer = WideToUtf8(sid);
  }
  LocalFree(sd);
  if (!writer.empty()) return refuse(writer + " may change it");
  return {{"changed", changed}, {"path", WideToUtf8(path)}};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  std::wstring command = argv[1];
  json out;
  if (command == L"reg-stat") {
    out = RegStat(argv[2], argc > 3 ? argv[3] : nullptr);
  } else if (command == L"reg-add") {
    out = RegAdd(argv[2]);
  } else if (command == L"reg-delete") {
    out = RegDelete(argv[2]);
  } else if (command == L"private-dir") {
    out = PrivateDir(argv[2]);
  } else {
    return 2;
  }
  std::string text = out.dump() + "\n";
  fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}
