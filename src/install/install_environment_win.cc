#include "install/install_environment_win.h"

#include <algorithm>
#include <string>

#include "archive/directory_path.h"
#include "archive/extract_progress.h"
#include "archive/zip_file.h"
#include "checks/check_ui.h"
#include "checks/tpm_state.h"
#include "checks/virtual_guest.h"
#include "checks/wmi_service.h"
#include "install/cleanup_win.h"
#include "install/configuration_file.h"
#include "install/disk_space.h"
#include "install/extraction_directory_win.h"
#include "install/setup_launcher_win.h"
#include "package/ppkg.h"
#include "log/cmp_log2.h"
#include "platform/dir.h"
#include "ui/resource_ids.h"
#include "ui/resources_win.h"

namespace brx {
namespace {

static_assert(kMessageLogNotOpened == IDS_LOG_NOT_OPENED && kMessageExtractFailed == IDS_EXTRACT_FAILED,
              "the driver's messages are the stub's strings");

HWND AsWindow(OwnerWindow owner) { return static_cast<HWND>(owner); }

// `path` made absolute (a relative /instpath: is relative to the current
// directory), without trailing separators.
std::wstring AbsolutePath(const wchar_t* path) {
  wchar_t buffer[MAX_PATH + 1];
  DWORD length = path && *path ? GetFullPathNameW(path, MAX_PATH + 1, buffer, nullptr) : 0;
  std::wstring full = length > 0 && length <= MAX_PATH ? std::wstring(buffer, length) : std::wstring(path ? path : L"");
  size_t root = platform::LocalRootLength(full.c_str());
  while (full.size() > root && platform::IsPathSeparator(full.back())) full.pop_back();
  return full;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

checks::CheckUi StubCheckUi() {
  checks::CheckUi ui;
  ui.load_text = checks::LoadStubString;
  return ui;
}

}  // namespace

Win32InstallEnvironment::Win32InstallEnvironment(CCmpLog2& log, const CPPkg& package, brxzip::ZIP_File& archive,
                                         const InstallSettings& settings, Presenter& presenter,
                                         const wchar_t* definition_file_name, const InstallDialogs& dialogs)
    : log_(log),
      package_(package),
      archive_(archive),
      settings_(settings),
      presenter_(presenter),
      definition_file_name_(definition_file_name),
      dialogs_(dialogs) {}

bool Win32InstallEnvironment::IsPreinstallEnvironment() { return checks::IsPreinstallEnvironment(); }

namespace {

// A check's answer as a step's result.
StepResult CheckResult(bool passed, const checks::CheckCause& cause, const wchar_t* refusal) {
  StepResult result(passed, passed ? 0 : cause.code);
  result.kind = cause.kind;
  result.caution = cause.caution;
  if (!passed) result.reason = cause.reason ? cause.reason : refusal;
  return result;
}

}  // namespace

StepResult Win32InstallEnvironment::CheckWmiService(bool install) {
  checks::CheckCause cause;
  bool passed = checks::CheckWmiService(install, presenter_, nullptr, log_, StubCheckUi(), &cause);
  return CheckResult(passed, cause, L"service_not_running");
}

StepResult Win32InstallEnvironment::CheckVirtualGuest(bool install) {
  bool passed = checks::CheckVirtualGuest(install, presenter_, package_.IsVirtualizationAllowed(), nullptr, log_,
                                          StubCheckUi());
  return CheckResult(passed, checks::CheckCause(), L"virtual_guest");
}

StepResult Win32InstallEnvironment::CheckTpmState(bool install) {
  checks::CheckCause cause;
  bool passed = checks::CheckTpmState(install, presenter_, settings_.tpm_bypass, package_.GetSwKeyExpectedPath(), nullptr,
                                      log_, StubCheckUi(), checks::WmiAccess(), &cause);
  return CheckResult(passed, cause, L"tpm_caution");
}

StepResult Win32InstallEnvironment::CheckDiskSpace(OwnerWindow owner, bool install) {
  // Fail closed: a size or free space taken as 0 would either let the
  // extraction fill the disk or tell the user a disk with room is full.
  // The archive the run extracts from, also when only extracting (no
  // definition is loaded then).
  uint64_t required = 0;
  bool known = true;
  for (uint64_t i = 0; known && i < archive_.GetEntryCount(); ++i) {
    const brxzip::ZIP_FileEntry* entry = archive_.GetEntryAt(i);
    uint64_t size = entry ? entry->GetUncompressedSize() : 0;
    known = entry && required + size >= required;
    required += size;
  }
  if (!known) {
    return DiskSpaceUnknown(log_, install, StepFailed(nullptr, 0, L"package_size_unknown"));
  }
  uint64_t free_bytes = 0;
  if (!platform::GetFreeDiskSpace(nullptr, &free_bytes)) {
    return DiskSpaceUnknown(log_, install, StepFailed(nullptr, GetLastError(), L"free_space_unknown"));
  }
  std::wstring message = ui::LoadResourceString(IDS_NO_DISK_SPACE);
  if (brx::CheckDiskSpace(log_, required, free_bytes, owner, install, presenter_, message.c_str())) {
    return StepResult(true);
  }
  return StepFailed(nullptr, 0, L"disk_full");
}

StepResult Win32InstallEnvironment::GetCurrentDir(DriverPath* out) {
  wchar_t buffer[MAX_PATH + 1];
  DWORD length = GetCurrentDirectoryW(MAX_PATH + 1, buffer);
  if (length == 0) return StepResult(false, GetLastError());
  if (length > MAX_PATH || !out->Assign(buffer, length)) return StepResult(false, ERROR_FILENAME_EXCED_RANGE);
  return StepResult(true);
}

StepResult Win32InstallEnvironment::SetCurrentDir(const wchar_t* path) {
  if (SetCurrentDirectoryW(path)) return StepResult(true);
  return StepResult(false, GetLastError());
}

bool Win32InstallEnvironment::DirectoryExists(const wchar_t* path) {
  DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32InstallEnvironment::BrowseForFolder(OwnerWindow owner, DriverPath* out) {
  if (!dialogs_.browse_for_folder) return false;
  wchar_t buffer[MAX_PATH] = L"";
  if (!dialogs_.browse_for_folder(AsWindow(owner), buffer)) return false;
  buffer[MAX_PATH - 1] = L'\0';
  return out->Assign(buffer);
}

// Only /instpath: reaches this. The folders it creates get the extraction
// directory's protected list: with the permissions of their parent, users
// could swap setup.exe or plant a DLL beside it before it runs elevated.
// Folders that exist keep their permissions. Every level is opened from the
// drive's root without following links and held until the clean-up: a
// folder that is, or passes through, a junction or symbolic link would have
// the package written, and the setup program run, wherever it leads.
StepResult Win32InstallEnvironment::CreateDirectoryPath(const wchar_t* path) {
  held_.clear();
  target_fresh_ = false;
  std::wstring full = AbsolutePath(path);
  platform::HeldDirectory target;
  bool created = false;
  platform::HoldResult r = target.Create(full.c_str(), ProcessPrivateDirectorySddl().c_str(), &created);
  if (r != platform::HoldResult::kOk) {
    RefuseFolder(168, full.c_str(), r, target.last_error());
    StepResult refused(false, target.last_error());
    const char* reason = platform::DescribeHoldResult(r);
    refused.reason.assign(reason, reason + strlen(reason));
    return refused;
  }
  if (created) {
    // The folder this run made is removed again through its parent, which
    // is held by the folder's own levels already and so is the same one.
    size_t slash = full.find_last_of(L"\\/");
    std::wstring above = full.substr(0, std::max(slash, platform::LocalRootLength(full.c_str())));
    platform::HeldDirectory parent;
    if (parent.Open(above.c_str()) == platform::HoldResult::kOk) held_.push_back(std::move(parent));
    created_.push_back(target.identity());
    target_fresh_ = true;
  }
  held_.push_back(std::move(target));
  return StepResult(true);
}

StepResult Win32InstallEnvironment::CreateTempExtractionDirectory(DriverPath* out) {
  held_.clear();
  held_.resize(2);
  wchar_t buffer[MAX_PATH + 1] = L"";
  StepResult created = brx::CreateTempExtractionDirectory(buffer, MAX_PATH + 1, &held_[0], &held_[1]);
  out->AssignCut(buffer);
  if (!created.ok) {
    held_.clear();
    // The same line an /instpath: folder that is refused gets: the reason and
    // the error, before the driver's own line about the directory.
    if (!created.reason.empty()) {
      log_.Write(LOG_BOTH_TAGGED, LEVEL_ERROR, L"extract", 199, L"Refused folder [%s]: it %s (Windows error %lu).\r\n\r\n",
                 out->get(), created.reason, static_cast<unsigned long>(created.error));
    }
    return created;
  }
  target_fresh_ = true;
  created_.push_back(held_[1].identity());
  return StepResult(true);
}

void Win32InstallEnvironment::RefuseFolder(int line, const wchar_t* path, platform::HoldResult result,
                                           uint32_t error) {
  log_.Write(LOG_BOTH_TAGGED, LEVEL_ERROR, L"extract", line, L"Refused folder [%s]: it %hs (Windows error %lu).\r\n\r\n",
             path, platform::DescribeHoldResult(result), static_cast<unsigned long>(error));
}

namespace {

// The progress callback, remembering the entry in hand so a failure can name it.
struct ExtractionWatch {
  Presenter* presenter;
  const wchar_t* path;
  void (*before_entry)(const wchar_t* target_path);
};

bool WatchExtraction(void* argument, const brxzip::ExtractProgress* progress) {
  ExtractionWatch* watch = static_cast<ExtractionWatch*>(argument);
  watch->path = progress->path;
  if (watch->before_entry) watch->before_entry(progress->path);
  watch->presenter->SetProgress(brxzip::ExtractionPercent(*progress));
  return true;
}

}  // namespace

StepResult Win32InstallEnvironment::ExtractAll(const wchar_t* directory) {
  ExtractionWatch watch = {&presenter_, nullptr, dialogs_.before_entry};
  SetLastError(0);
  brxzip::ExtractReport report;
  // An install extracts into the directory it holds; an extract-only run
  // opens the folder it was given, held, the same way.
  bool held = !held_.empty() && SamePath(held_.back().path(), AbsolutePath(directory));
  brxzip::ZIP_Result code = held ? archive_.ExtractAll(held_.back(), target_fresh_, WatchExtraction, &watch, &report)
                                 : archive_.ExtractAll(directory, WatchExtraction, &watch, &report);
  created_.insert(created_.end(), report.created.begin(), report.created.end());
  if (code == brxzip::ZIP_OK) return StepResult(true);
  LogRefusal(report);
  StepResult result(false, report.error ? report.error : GetLastError());
  result.code = code;
  result.subject.AssignCut(!report.path.empty() ? report.path.c_str() : watch.path ? watch.path : L"");
  return result;
}

// What the administrator hands to the packager: the entry (and the other
// entry it collides with) or the folder, and why.
void Win32InstallEnvironment::LogRefusal(const brxzip::ExtractReport& report) {
  if (report.reason.empty()) return;
  if (report.entry.empty()) {
    log_.Write(LOG_BOTH_TAGGED, LEVEL_ERROR, L"extract", 336, L"Refused folder [%s]: %hs.\r\n\r\n",
               report.path.c_str(), report.reason.c_str());
    return;
  }
  log_.Write(LOG_BOTH_TAGGED, LEVEL_ERROR, L"extract", 336, L"Refused entry [%s] at [%s]: %hs%s%s%s.\r\n\r\n",
             report.entry.c_str(), report.path.c_str(), report.reason.c_str(),
             report.other_entry.empty() ? L"" : L" [", report.other_entry.c_str(),
             report.other_entry.empty() ? L"" : L"]");
}

StepResult Win32InstallEnvironment::CopyFileOver(const wchar_t* source, const wchar_t* destination) {
  // Copied as a new file: a copy over an existing one writes in place, and
  // in a folder that existed before the run that file may be a second hard
  // link to a file elsewhere. Deleting the name removes only the name (and
  // never the file to be copied).
  if (!SamePath(AbsolutePath(source), AbsolutePath(destination))) {
    RemoveOwnReadOnlyFile(destination);
    DeleteFileW(destination);
  }
  if (CopyFileW(source, destination, TRUE)) return StepResult(true);
  return StepResult(false, GetLastError());
}

// A package may store its configuration entry read-only; the extracted copy
// then refuses the deletion that makes room for the administrator's
// /config_file. The attribute is cleared, and the file deleted, only for a
// file this run created, through the held directory and a handle checked to
// be that file: a read-only file someone else put there (an existing
// /instpath: folder) stays, and the copy fails as before.
void Win32InstallEnvironment::RemoveOwnReadOnlyFile(const wchar_t* destination) {
  if (held_.empty()) return;
  std::wstring full = AbsolutePath(destination);
  size_t slash = full.find_last_of(L"\\/");
  if (slash == std::wstring::npos || !SamePath(held_.back().path(), full.substr(0, slash))) return;
  std::wstring name = full.substr(slash + 1);
  platform::FileIdentity identity;
  platform::HeldEntry entry;
  if (held_.back().Inspect(name.c_str(), &identity, &entry) != platform::HoldResult::kOk) return;
  if (entry.directory || !entry.read_only) return;
  if (std::find(created_.begin(), created_.end(), identity) == created_.end()) return;
  held_.back().DeleteChild(name.c_str(), &identity);
}

StepResult Win32InstallEnvironment::WriteConfigurationFile(const wchar_t* directory) {
  SetLastError(0);
  if (brx::WriteConfigurationFile(package_, archive_, directory)) return StepResult(true);
  return StepResult(false, GetLastError());
}

StepResult Win32InstallEnvironment::RunSetupProgram(OwnerWindow owner, const wchar_t* directory) {
  SetupRun run;
  run.owner = AsWindow(owner);
  run.presenter = &presenter_;
  run.extraction_dir = directory;
  run.definition_file_name = definition_file_name_;
  run.silent = settings_.silent;
  run.dry_run = settings_.dry_run;
  run.reboot = settings_.reboot;
  StepResult failure(true);
  run.failure = &failure;
  int32_t completion = brx::RunSetupProgram(log_, package_, run);
  failure.code = completion;
  return failure;
}

void Win32InstallEnvironment::Sleep(unsigned milliseconds) { ::Sleep(milliseconds); }

// Through the handles held since the directory was created: renaming it
// away and putting a link in its place is refused while it is held, and
// everything below it is opened relative to it without following links, so
// nothing outside the tree is ever deleted.
StepResult Win32InstallEnvironment::DeleteDirectoryTree(const wchar_t* path) {
  if (held_.size() < 2 || !SamePath(held_.back().path(), AbsolutePath(path))) {
    // Not the folder this run created and holds: nothing is deleted by name.
    StepResult refused(false, ERROR_INVALID_HANDLE);
    refused.code = kTreeNotRemoved;
    refused.subject.AssignCut(path);
    return refused;
  }
  platform::HeldDirectory directory = std::move(held_.back());
  held_.pop_back();
  StepResult removed = brx::DeleteHeldTree(held_.back(), &directory, &created_);
  held_.clear();
  return removed;
}

}  // namespace brx
