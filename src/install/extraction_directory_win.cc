#include "install/extraction_directory_win.h"

#include <windows.h>
#include <objbase.h>
#include <string.h>

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

namespace {

// A folder the platform refused to hold: its error, and why in words.
StepResult Refused(const platform::HeldDirectory& folder, platform::HoldResult result) {
  StepResult refused(false, folder.last_error());
  const char* reason = platform::DescribeHoldResult(result);
  refused.reason.assign(reason, reason + strlen(reason));
  return refused;
}

}  // namespace

StepResult CreateTempExtractionDirectory(wchar_t* buffer, size_t capacity, platform::HeldDirectory* temp_folder,
                                         platform::HeldDirectory* directory) {
  if (!buffer || capacity < MAX_PATH) return StepResult(false, ERROR_INSUFFICIENT_BUFFER);
  wchar_t temp[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0) return StepResult(false, GetLastError());
  if (length > MAX_PATH) return StepResult(false, ERROR_FILENAME_EXCED_RANGE);

  GUID guid;
  HRESULT made = CoCreateGuid(&guid);
  if (FAILED(made)) {
    StepResult failed(false, static_cast<uint32_t>(made));
    failed.kind = record::ErrorKind::kHresult;
    return failed;
  }
  wchar_t guid_text[40];
  if (StringFromGUID2(guid, guid_text, 40) == 0) return StepResult(false, ERROR_INSUFFICIENT_BUFFER);

  std::wstring path(temp, length);
  if (path.back() != L'\\') path += L'\\';
  path += guid_text;
  if (path.size() >= capacity) return StepResult(false, ERROR_FILENAME_EXCED_RANGE);
  lstrcpynW(buffer, path.c_str(), static_cast<int>(capacity));
  platform::HeldDirectory own_temp, own_directory;
  if (!temp_folder) temp_folder = &own_temp;
  if (!directory) directory = &own_directory;
  // Under an agent running as SYSTEM the temporary directory is
  // C:\Windows\Temp, where ordinary users can create files in subfolders they
  // can reach. A directory that inherits that access would let such a user
  // plant a DLL beside the setup program before it runs elevated. So the
  // directory gets a protected list of its own, inherited by everything
  // extracted into it.
  // The temporary folder is the one the configuration names, links followed
  // (it may be redirected); the new folder is created relative to it, as
  // new, and held from then on, so its name cannot be swapped for a link.
  platform::HoldResult opened = temp_folder->OpenFollowingLinks(temp);
  if (opened != platform::HoldResult::kOk) return Refused(*temp_folder, opened);
  platform::HoldResult created = temp_folder->CreateChild(guid_text, ProcessPrivateDirectorySddl().c_str(), directory);
  if (created != platform::HoldResult::kOk) return Refused(*temp_folder, created);
  return StepResult(true);
}

}  // namespace brx
