#include "install/inventory_record_win.h"

#include <windows.h>
#include <wchar.h>

#include <string>
#include <utility>

#include "base/format.h"
#include "install/completion_codes.h"
#include "install/step_result.h"
#include "log/cmp_log2.h"
#include "package/ppkg.h"
#include "platform/file.h"
#include "platform/held_directory.h"
#include "platform/local_time.h"
#include "platform/scoped_registry_key_win.h"
#include "platform/trusted_folder.h"

namespace brx {

const wchar_t kInventoryKeyPath[] = L"Software\\Orvane\\Version Control\\OVRevisionManagement\\";

namespace {

const wchar_t kModule[] = L"extract";
const wchar_t kCopyDirectory[] = L"\\BRXSYSTEM\\ztxml\\";
constexpr REGSAM kView = KEY_WOW64_64KEY;

bool HasText(const wchar_t* s) { return s && *s; }

// A string value of at most 512 bytes; false when it cannot be read.
bool ReadText(HKEY key, const wchar_t* name, std::wstring* value) {
  wchar_t buffer[257] = {};
  DWORD type = 0;
  DWORD size = 512;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
    return false;
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  size_t length = size / sizeof(wchar_t);
  while (length > 0 && buffer[length - 1] == L'\0') --length;
  value->assign(buffer, length);
  return true;
}

bool ValueEquals(HKEY key, const wchar_t* name, const wchar_t* expected) {
  std::wstring value;
  return ReadText(key, name, &value) && value == expected;
}

LSTATUS SetText(HKEY key, const wchar_t* name, const std::wstring& value) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// A failed registry call as a step's result, for the verbose log.
StepResult RegistryFailure(LSTATUS status, const std::wstring& path) {
  StepResult result(false, static_cast<uint32_t>(status));
  result.subject.AssignCut(path.c_str());
  return result;
}

void LogRecordNotWritten(CCmpLog2& log, const std::wstring& path) {
  log.Write(LOG_BOTH_TAGGED, LEVEL_ERROR, kModule, 2073,
            L"Failed to update component data...\r\n    - Unable to update registry HKLM\\%s\r\n", path);
  log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, kModule, 2079, L"FAILURE CODE (0)\r\n");
}

bool SubkeyExists(HKEY key, const wchar_t* name) {
  platform::ScopedRegistryKey subkey;
  return RegOpenKeyExW(key, name, 0, KEY_READ | kView, subkey.receive()) == ERROR_SUCCESS;
}

// Walks the component's records. The first one recording this component
// (same file name or same expected path) is the one to rewrite; later ones
// are duplicates and go. Returns the record's name, or an empty text when no
// record matched.
// The subkey that receives the new record. The component key holds the
// records of one software key, and the first subkey is its current record:
// when any record matches the package (by file name or expected path), the
// first subkey is rewritten and every later match is removed. Empty when
// nothing matches.
std::wstring FindRecord(HKEY component_key, const wchar_t* file_name, const wchar_t* expected_path) {
  std::wstring first;
  bool any_match = false;
  for (DWORD index = 0;;) {
    wchar_t name[513];
    DWORD name_length = ARRAYSIZE(name);
    if (RegEnumKeyExW(component_key, index, name, &name_length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    bool matches = false;
    {
      platform::ScopedRegistryKey subkey;
      if (RegOpenKeyExW(component_key, name, 0, KEY_READ | kView, subkey.receive()) == ERROR_SUCCESS) {
        matches = ValueEquals(subkey.get(), L"ComponentFileName", file_name) ||
                  ValueEquals(subkey.get(), L"ComponentKeyExpectedPath", expected_path);
      }
    }
    if (index == 0) first = name;
    if (matches) any_match = true;
    if (matches && index != 0 && RegDeleteKeyExW(component_key, name, kView, 0) == ERROR_SUCCESS) {
      continue;  // the next subkey has moved into this position
    }
    ++index;
  }
  return any_match ? first : std::wstring();
}

std::wstring FirstFreeRecord(HKEY component_key) {
  for (unsigned long n = 0;; ++n) {
    std::wstring name = Format(L"%lu", n);  // not std::to_wstring: it links the C library's printf
    if (!SubkeyExists(component_key, name.c_str())) return name;
  }
}

// The definition's own name; the copy never lands outside the copy directory
// whatever path the archive entry carries.
const wchar_t* LastComponent(const wchar_t* path) {
  const wchar_t* name = path;
  for (const wchar_t* p = path; *p; ++p) {
    if (*p == L'\\' || *p == L'/') name = p + 1;
  }
  return name;
}

// Copies source into the held folder under `name`: written under a fresh
// name and then moved over `name` as a whole, so a link or a second hard
// link found there is replaced, never written through. Not ok with the
// Windows error when it fails.
StepResult CopyIntoFolder(const wchar_t* source, const platform::HeldDirectory& folder, const wchar_t* name) {
  platform::File in;
  platform::File out;
  std::wstring temp;
  SetLastError(0);
  bool copied = in.Open(source, platform::FileMode::kReadShared) &&
                folder.CreateTemporaryFile(&out, &temp) == platform::HoldResult::kOk;
  bool created = copied;
  char buffer[16384];
  for (uint32_t read = 1; copied && read > 0;) {
    copied = in.Read(buffer, sizeof(buffer), &read) && (read == 0 || out.Write(buffer, read));
  }
  copied = copied && folder.ReplaceWith(&out, temp.c_str(), name) == platform::HoldResult::kOk;
  DWORD error = copied ? 0 : (GetLastError() ? GetLastError() : folder.last_error());
  out.Close();
  if (!copied && created) folder.DeleteChild(temp.c_str());
  StepResult result(copied, error);
  result.subject.AssignCut((folder.path() + L"\\" + name).c_str());
  return result;
}

void LogCopyFailed(CCmpLog2& log, const std::wstring& copy_dir) {
  log.Write(LOG_BOTH_TAGGED, LEVEL_ERROR, kModule, 1880,
            L"Failed to update component data...\r\n    - Unable to copy component definition XML to "
            L"%s...FAILURE CODE (0)\r\n",
            copy_dir);
}

}  // namespace

StepResult UpdateComponentData(CCmpLog2& log, const CPPkg& package, const wchar_t* definition_file_name,
                               int32_t completion_code, SetRegistryText writes) {
  if (!IsInstalledCode(completion_code)) return StepResult(true);

  const wchar_t* sw_key_name = package.GetSwKeyName();
  const wchar_t* file_name = package.GetFileName();
  const wchar_t* expected_path = package.GetSwKeyExpectedPath();
  std::wstring key_path = std::wstring(kInventoryKeyPath) + (sw_key_name ? sw_key_name : L"");
  if (!HasText(sw_key_name) || !HasText(file_name) || !HasText(expected_path)) {
    // Without the name the values would land on the parent of every
    // component's key; without the other two no record could ever be found
    // again.
    LogRecordNotWritten(log, key_path);
    return StepFailed(nullptr, 0, L"definition_incomplete");
  }

  wchar_t drive[MAX_PATH];
  DWORD drive_length = GetEnvironmentVariableW(L"SystemDrive", drive, MAX_PATH);
  bool have_drive = drive_length > 0 && drive_length < MAX_PATH;
  // Without the variable the copy would go to "\BRXSYSTEM\..." on whatever
  // drive is current; the log shows the unexpanded name instead.
  std::wstring copy_dir = std::wstring(have_drive ? drive : L"%SystemDrive%") + kCopyDirectory;
  log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, kModule, 1872, L"Copying component definition XML to %s...", copy_dir);
  const wchar_t* copy_name = HasText(definition_file_name) ? LastComponent(definition_file_name) : L"";
  // The copy folder sits at the root of the system drive, where ordinary
  // users can create folders: a level that is a link, or that someone other
  // than an administrator owns or may change, or a copy name that is a link,
  // would have this elevated run overwrite a file of the planter's choosing.
  // Such a copy fails, and the refused folder is named with the reason.
  // A copy that fails for any reason still leaves the registry record: the
  // component is installed, and inventory tools that found no record would
  // deploy it again (nor can a planted folder suppress the record).
  platform::HeldDirectory held;
  platform::FolderCheck folder;
  StepResult copied(false);
  if (have_drive) {
    folder = platform::HoldTrustedFolder(copy_dir.c_str(), platform::kSystemFolderSddl, platform::FolderUse::kShared,
                                         &held);
  }
  if (!have_drive || !folder.ok()) {
    LogCopyFailed(log, copy_dir);
    if (have_drive) {
      log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, kModule, 1881, L"    - The folder %s is not used: %s.\r\n",
                folder.level, platform::RefusalText(folder.verdict));
      copied = StepFailed(nullptr, 0, L"copy_folder_refused");
    } else {
      copied = StepFailed(nullptr, ERROR_ENVVAR_NOT_FOUND, L"no_system_drive");
    }
  } else {
    StepResult copy = *copy_name ? CopyIntoFolder(definition_file_name, held, copy_name)
                                 : StepResult(false, ERROR_INVALID_NAME);
    copied = copy;
    if (copy.ok) {
      log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, kModule, 1897, L"copy component definition XML...Success.\r\n");
    } else {
      LogCopyFailed(log, copy_dir);
      LogStepFailure(log, 1881, L"Copying the component definition to", nullptr, copy);
    }
  }
  held.Close();

  std::wstring install_time = platform::LocalDateText() + L"-" + platform::LocalTimeText();
  log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, kModule, 1927, L"    - Creating registry key HKLM\\%s...\r\n", key_path);
  platform::ScopedRegistryKey component_key;
  LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_ALL_ACCESS | kView, nullptr, component_key.receive(), nullptr);
  if (status != ERROR_SUCCESS) {
    log.Write(LOG_BOTH_TAGGED, LEVEL_ERROR, kModule, 1943, L"Cannot Create Registry Key HKLM\\%s ... Failed!\r\n",
              key_path);
    LogStepFailure(log, 1944, L"Creating the registry key", nullptr, RegistryFailure(status, key_path));
    log.Write(LOG_BOTH_TAGGED, LEVEL_ERROR, kModule, 1949, L"Create Registry Key HKLM FAILURE CODE (0)\r\n");
    return RegistryFailure(status, key_path);
  }

  std::wstring record = FindRecord(component_key.get(), file_name, expected_path);
  if (record.empty()) record = FirstFreeRecord(component_key.get());
  std::wstring record_path = key_path + L"\\" + record;
  platform::ScopedRegistryKey record_key;
  status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, record_path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS | kView, nullptr, record_key.receive(), nullptr);
  if (status != ERROR_SUCCESS) {
    LogRecordNotWritten(log, record_path);
    LogStepFailure(log, 2074, L"Creating the registry key", nullptr, RegistryFailure(status, record_path));
    return RegistryFailure(status, record_path);
  }
  const std::pair<const wchar_t*, std::wstring> values[] = {{L"ComponentXmlPath", kCopyDirectory},
                                                            {L"InstallTime", install_time},
                                                            {L"ComponentFileName", file_name},
                                                            {L"ComponentKeyExpectedPath", expected_path}};
  SetRegistryText set_text = writes ? writes : SetText;
  for (const auto& value : values) {
    status = set_text(record_key.get(), value.first, value.second);
    if (status != ERROR_SUCCESS) {
      LogRecordNotWritten(log, record_path);
      LogStepFailure(log, 2075, L"Setting the registry value", value.first, RegistryFailure(status, record_path));
      return RegistryFailure(status, record_path);
    }
  }

  log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, kModule, 2117, L"Component registry updates complete...success\r\n");
  // The record is written; a copy that failed is still the step's failure.
  if (!copied.ok && copied.reason.empty()) copied.reason = L"definition_copy_failed";
  return copied;
}

}  // namespace brx
