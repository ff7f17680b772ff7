#include "install/install_environment_win.h"

#include <commctrl.h>
#include <shellapi.h>

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
#include "platform/dir.h"
#include "ui/message_box_win.h"
#include "ui/resource_ids.h"
#include "ui/resources_win.h"

namespace brx {
namespace {

static_assert(kMessageLogNotOpened == IDS_LOG_NOT_OPENED && kMessageExtractFailed == IDS_EXTRACT_FAILED,
              "the driver's messages are the stub's strings");

HWND AsWindow(OwnerWindow owner) { return static_cast<HWND>(owner); }

checks::CheckUi StubCheckUi() {
  checks::CheckUi ui;
  ui.show_message = [](checks::MessageOwner owner, unsigned text, unsigned caption, unsigned style) {
    return ShowResourceMessage(owner, text, caption, style);
  };
  ui.load_text = checks::LoadStubString;
  return ui;
}

void ShowDiskSpaceMessage(OwnerWindow owner, const wchar_t* text) {
  std::wstring caption = ui::LoadResourceString(IDS_CAPTION);
  MessageBoxW(AsWindow(owner), text, caption.c_str(), MB_ICONWARNING | MB_OK);
}

}  // namespace

Win32InstallEnvironment::Win32InstallEnvironment(CCmpLog2& log, const CPPkg& package, brxzip::ZIP_File& archive,
                                         const InstallSettings& settings, HICON small_icon,
                                         const wchar_t* definition_file_name, const InstallDialogs& dialogs)
    : log_(log),
      package_(package),
      archive_(archive),
      settings_(settings),
      small_icon_(small_icon),
      definition_file_name_(definition_file_name),
      dialogs_(dialogs) {}

Win32InstallEnvironment::~Win32InstallEnvironment() {
  if (progress_) DestroyWindow(progress_);
}

bool Win32InstallEnvironment::IsPreinstallEnvironment() { return checks::IsPreinstallEnvironment(); }

int Win32InstallEnvironment::ShowMessage(OwnerWindow owner, unsigned text_id, unsigned style) {
  return ShowResourceMessage(AsWindow(owner), text_id, IDS_CAPTION, style);
}

bool Win32InstallEnvironment::CheckWmiService(bool install, bool no_ui) {
  return checks::CheckWmiService(install, no_ui, nullptr, log_, StubCheckUi());
}

bool Win32InstallEnvironment::CheckVirtualGuest(bool install, bool no_ui) {
  return checks::CheckVirtualGuest(install, no_ui, package_.IsVirtualizationAllowed(), nullptr, log_,
                                   StubCheckUi());
}

bool Win32InstallEnvironment::CheckTpmState(bool install, bool no_ui) {
  return checks::CheckTpmState(install, no_ui, settings_.tpm_bypass, package_.GetSwKeyExpectedPath(), nullptr, log_,
                               StubCheckUi());
}

bool Win32InstallEnvironment::CheckDiskSpace(OwnerWindow owner, bool install, bool no_ui) {
  uint64_t required = 0;
  package_.GetPackageSize(&required);
  uint64_t free_bytes = 0;
  if (!platform::GetFreeDiskSpace(nullptr, &free_bytes)) free_bytes = 0;
  std::wstring message = ui::LoadResourceString(IDS_NO_DISK_SPACE);
  return brx::CheckDiskSpace(log_, required, free_bytes, owner, install, no_ui, message.c_str(),
                             ShowDiskSpaceMessage);
}

bool Win32InstallEnvironment::GetCurrentDir(DriverPath* out) {
  wchar_t buffer[MAX_PATH + 1];
  DWORD length = GetCurrentDirectoryW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH) return false;
  return out->Assign(buffer, length);
}

bool Win32InstallEnvironment::SetCurrentDir(const wchar_t* path) { return SetCurrentDirectoryW(path) != FALSE; }

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
// Folders that exist keep their permissions.
StepResult Win32InstallEnvironment::CreateDirectoryPath(const wchar_t* path) {
  SetLastError(0);
  if (brxzip::CreateDirectoryPath(path, ProcessPrivateDirectorySddl().c_str())) return StepResult(true);
  return StepResult(false, GetLastError());
}

StepResult Win32InstallEnvironment::CreateTempExtractionDirectory(DriverPath* out) {
  wchar_t buffer[MAX_PATH + 1] = L"";
  SetLastError(0);
  bool created = brx::CreateTempExtractionDirectory(buffer, MAX_PATH + 1);
  DWORD error = created ? 0 : GetLastError();
  out->AssignCut(buffer);
  return StepResult(created, error);
}

void Win32InstallEnvironment::CreateProgressWindow(OwnerWindow owner) {
  if (dialogs_.create_progress) progress_ = dialogs_.create_progress(AsWindow(owner));
}

namespace {

// The progress callback, remembering the entry in hand so a failure can name it.
struct ExtractionWatch {
  HWND bar;
  const wchar_t* path;
};

bool WatchExtraction(void* argument, const brxzip::ExtractProgress* progress) {
  ExtractionWatch* watch = static_cast<ExtractionWatch*>(argument);
  watch->path = progress->path;
  return brxzip::UpdateExtractionProgress(watch->bar, progress);
}

}  // namespace

StepResult Win32InstallEnvironment::ExtractAll(const wchar_t* directory) {
  ExtractionWatch watch = {progress_ ? GetDlgItem(progress_, IDC_PROGRESS_BAR) : nullptr, nullptr};
  SetLastError(0);
  brxzip::ZIP_Result code = archive_.ExtractAll(directory, WatchExtraction, &watch);
  if (code == brxzip::ZIP_OK) return StepResult(true);
  StepResult result(false, GetLastError());
  result.code = code;
  result.subject.AssignCut(watch.path ? watch.path : L"");
  return result;
}

void Win32InstallEnvironment::DestroyWindows(OwnerWindow owner) {
  if (progress_) DestroyWindow(progress_);
  progress_ = nullptr;
  if (owner) DestroyWindow(AsWindow(owner));
}

void Win32InstallEnvironment::FinishProgress(OwnerWindow owner, bool hide_owner) {
  if (progress_) {
    SendDlgItemMessageW(progress_, IDC_PROGRESS_BAR, PBM_SETPOS, 100, 0);
    ::Sleep(2000);
    DestroyWindow(progress_);
    progress_ = nullptr;
  }
  if (hide_owner && owner) {
    ShowWindow(AsWindow(owner), SW_MINIMIZE);
    ShowWindow(AsWindow(owner), SW_HIDE);
  }
}

StepResult Win32InstallEnvironment::CopyFileOver(const wchar_t* source, const wchar_t* destination) {
  if (CopyFileW(source, destination, FALSE)) return StepResult(true);
  return StepResult(false, GetLastError());
}

StepResult Win32InstallEnvironment::WriteConfigurationFile(const wchar_t* directory) {
  SetLastError(0);
  if (brx::WriteConfigurationFile(package_, archive_, directory)) return StepResult(true);
  return StepResult(false, GetLastError());
}

void Win32InstallEnvironment::AddTrayIcon(OwnerWindow owner, const wchar_t* tooltip) {
  NOTIFYICONDATAW data = {};
  data.cbSize = sizeof(data);
  data.hWnd = owner ? AsWindow(owner) : GetDesktopWindow();
  data.uID = 0;
  data.uFlags = NIF_ICON | NIF_TIP;
  data.hIcon = small_icon_;
  lstrcpynW(data.szTip, tooltip ? tooltip : L"", ARRAYSIZE(data.szTip));
  Shell_NotifyIconW(NIM_ADD, &data);
}

int32_t Win32InstallEnvironment::RunSetupProgram(OwnerWindow owner, bool no_ui, const wchar_t* directory) {
  SetupRun run;
  run.owner = AsWindow(owner);
  run.no_ui = no_ui;
  run.extraction_dir = directory;
  run.definition_file_name = definition_file_name_;
  run.silent = settings_.silent;
  run.dry_run = settings_.dry_run;
  run.reboot = settings_.reboot;
  HWND tray_owner = run.owner;
  run.remove_tray_icon = [tray_owner] { RemoveSetupTrayIcon(tray_owner); };
  return brx::RunSetupProgram(log_, package_, run);
}

void Win32InstallEnvironment::Sleep(unsigned milliseconds) { ::Sleep(milliseconds); }

StepResult Win32InstallEnvironment::DeleteDirectoryTree(const wchar_t* path) {
  return brx::DeleteDirectoryTree(path);
}

}  // namespace brx
