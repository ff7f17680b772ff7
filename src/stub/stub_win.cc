// The stub's entry: prepares the process, reads the options and hands over to
// the run mode they select.
#include <windows.h>
#include <string.h>

#include "archive/image_signature.h"
#include "install/install_driver.h"
#include "install/install_environment_win.h"
#include "install/reboot_win.h"
#include "log/session_record.h"
#include "platform/event_log.h"
#include "platform/guid.h"
#include "platform/local_time.h"
#include "platform/scoped_icon_win.h"
#include "platform/scoped_module_win.h"
#include "stub/agent_parent_win.h"
#include "stub/crash_exit_win.h"
#include "stub/entry_gate_win.h"
#include "stub/load_definition.h"
#include "stub/options.h"
#include "stub/process_objects.h"
#include "stub/run_stub.h"
#include "stub/shutdown_win.h"
#include "stub/ui_language.h"
#include "ui/browse_folder_win.h"
#include "ui/main_dialog_win.h"
#include "ui/resource_ids.h"
#include "ui/resources_win.h"
#include "ui/screen_presenter_win.h"
#include "ui/usage_dialog_win.h"

namespace brx {
namespace {

static_assert(kMessageNoPackage == IDS_NO_PACKAGE && kCaptionPackageSetup == IDS_CAPTION,
              "the entry's message is the stub's string");

// Process-wide run state.
struct RunState {
  HINSTANCE module = nullptr;
  int32_t completion = kCompletionInstalled;
  platform::ScopedIcon small_icon;
  platform::ScopedIcon large_icon;
  wchar_t language[3] = L"en";
  BoundedString<260> stub_path;
  BoundedString<260> definition_name;
  bool definition_loaded = false;
  bool dos_style = false;  // exit codes 0 for success, 1 for failure
  StubOptions options;
  SessionRecord record;
  bool record_written = false;
};

// On the heap for the life of the process: its initial values would
// otherwise be stored in the image, some 4 KB of it.
RunState& g_run = *new RunState();
// What a person watching the run sees; RunStub hands it only to runs that
// may show windows.
ScreenPresenter g_screen;

// "/config_file" must name a file: a folder cannot be copied as one, and a
// file search would also match a wildcard pattern (refused before this).
bool IsExistingFile(const wchar_t* name) {
  DWORD attributes = GetFileAttributesW(name);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The file name part of the stub's path, for the log and the tooltip.
const wchar_t* StubFileName() {
  const wchar_t* path = g_run.stub_path.get();
  const wchar_t* slash = wcsrchr(path, L'\\');
  return slash ? slash + 1 : path;
}

// Releases what start-up acquired, on every way out of the run modes.
class StartupGuard {
 public:
  explicit StartupGuard(HMODULE rich_edit) : rich_edit_(rich_edit) {}
  ~StartupGuard() {
    rich_edit_.Close();
    g_screen.SetTrayIconImage(nullptr);
    g_run.large_icon.Close();
    g_run.small_icon.Close();
  }
  StartupGuard(const StartupGuard&) = delete;
  StartupGuard& operator=(const StartupGuard&) = delete;

 private:
  platform::ScopedModule rich_edit_;
};

void NoteRestartFailure(const StepResult& restart) {
  g_run.record.NoteFailure(record::kStepRestart, restart.error, restart.kind, restart.reason);
}

// The run's record line and event, once: a dialog that restarts the machine
// writes it after starting the restart, and the entry's own call afterwards
// is a second one.
void WriteSessionRecord(const SessionEnd& end) {
  if (g_run.record_written) return;
  g_run.record_written = true;
  SessionRecord& r = g_run.record;
  wchar_t text[260];
  if (GetStubFileName(text, 260)) r.stub_file = text;
  if (GetStubFileVersion(text, 32)) r.stub_version = text;
  if (g_run.definition_loaded) {
    const CPPkg& package = Process().package;
    r.package_name = package.GetName() ? package.GetName() : L"";
    r.package_version = package.GetVersion() ? package.GetVersion() : L"";
    r.sw_key = package.GetSwKeyName() ? package.GetSwKeyName() : L"";
    r.definition = g_run.definition_name.get();
  }
  r.end = platform::LocalIsoTimeText();
  // A restart Windows refused is the run's error: the component installed,
  // and the restart it needs is still to be made.
  if (!end.restart.ok) NoteRestartFailure(end.restart);
  r.mode = end.mode;
  r.completion_code = end.completion;
  r.exit_code = end.exit_code;
  r.reboot = end.reboot;
  // Either may fail (a refused log folder, no event service); the other is
  // still written, and neither changes the run's result.
  Process().log.AppendRecordLine(SessionRecordLine(r));
  platform::ReportApplicationEvent(SessionEventType(r), SessionEventId(r), SessionEventStrings(r));
}

std::wstring Widen(const char* ascii) { return std::wstring(ascii, ascii + strlen(ascii)); }

// An archive the reader would not open, in words: no archive at all (a stub
// without a package), or one it cannot read, and why.
StepResult ArchiveRefusal(brxzip::ZIP_Result read, DWORD error) {
  const char* why = nullptr;
  switch (read) {
    case brxzip::ZIP_ERR_FAILED: return StepFailed(nullptr, 0, Widen(record::kReasonNoPackage).c_str());
    case brxzip::ZIP_ERR_OPEN: why = "the file cannot be opened"; break;
    case brxzip::ZIP_ERR_SEEK: why = "the file cannot be read"; break;
    case brxzip::ZIP_ERR_NO_MEMORY: why = "out of memory"; break;
    case brxzip::ZIP_ERR_FORMAT: why = "a header is damaged or ambiguous"; break;
    default: why = "the archive cannot be read"; break;
  }
  StepResult refused = StepFailed(nullptr, read == brxzip::ZIP_ERR_OPEN || read == brxzip::ZIP_ERR_SEEK ? error : 0);
  refused.reason = Widen(record::kReasonArchiveUnreadable) + L": " + Widen(why);
  return refused;
}

// The crash's record: the run ends as failed, with the crash as its error
// whatever failed before it.
void RecordCrash(int exit_code, const char* reason, uint32_t code, record::ErrorKind kind) {
  if (g_run.record_written) return;
  g_run.record.has_error = false;
  g_run.record.NoteFailure(record::kStepCrash, code, kind, Widen(reason));
  SessionEnd end;
  end.mode = RunMode(g_run.options);
  end.completion = kCompletionFailed;
  end.exit_code = exit_code;
  WriteSessionRecord(end);
}
bool BrowseFolder(HWND owner, wchar_t* buffer) { return BrowseForExtractFolder(owner, buffer); }

int32_t RunInstallDriver(HWND owner, const wchar_t* target, bool install, Presenter& presenter) {
  // As with /extract:, a relative /instpath: names a folder where the command
  // was given: the driver uses the name again after making that folder
  // current (and extraction accepts only full paths), so it is made full first.
  // A full name that does not fit is refused like an over-long value.
  auto& inst_path = g_run.options.instPathDir;
  wchar_t full[MAX_PATH + 1];
  DWORD length = install && g_run.options.instPath && !inst_path.empty()
                     ? GetFullPathNameW(inst_path.get(), MAX_PATH + 1, full, nullptr)
                     : 0;
  if (length > 0 && length <= MAX_PATH) inst_path.Assign(full, length);
  if (length > MAX_PATH) {
    inst_path.Clear();
    g_run.options.instPathTooLong = true;
  }

  ProcessObjects& process = Process();
  InstallDialogs dialogs;
  dialogs.browse_for_folder = BrowseFolder;
  dialogs.before_entry = BeforeEachEntry;
  InstallSettings settings = InstallSettingsFrom(&g_run.options);
  Win32InstallEnvironment environment(process.log, process.package, process.archive, settings, presenter,
                                      g_run.definition_name.get(), dialogs);
  InstallContext context;
  context.log = &process.log;
  context.package = &process.package;
  context.settings = &settings;
  context.environment = &environment;
  context.definition_file_name = g_run.definition_name.get();
  context.stub_file_name = StubFileName();
  context.presenter = &presenter;
  return ExtractAndInstall(context, owner, target, install);
}

StepResult RebootAfterInstall() {
  RebootHooks hooks = SystemRebootHooksWithoutShutdown();
  hooks.shutdown = ProductShutdown;
  RebootRequest request;
  if (RunShowsWindows(g_run.options)) request.presenter = &g_screen;
  request.message = g_run.options.rebootMessage.get();
  request.timeout_seconds = g_run.options.rebootTimeout;
  StepResult restart = RebootSystem(request, hooks);
  if (restart.ok) return restart;
  // The session's log was closed before the restart; a restart that did not
  // start is reported in the record and event and in the verbose log, after
  // the session, where an administrator looking for the reason finds it.
  CCmpLog2& log = Process().log;
  if (!log.IsVerboseEnabled()) return restart;
  if (log.Open() == 0) LogStepFailure(log, 2210, L"The restart did not start", nullptr, restart);
  log.Close();
  return restart;
}

// What the setup dialog's Install and Extract buttons run.
class DialogActions : public InstallActions {
 public:
  int32_t ExtractAndInstall(HWND owner, const wchar_t* target_dir, bool install) override {
    return RunInstallDriver(owner, target_dir, install, g_screen);
  }
  void RebootSystem() override {
    SessionEnd end;
    end.mode = record::Mode::kDialog;
    end.completion = kCompletionRebootNeeded;
    end.exit_code = ExitCodeForCompletion(kCompletionRebootNeeded, g_run.dos_style);
    end.restart = RebootAfterInstall();
    end.reboot = end.restart.ok ? record::Reboot::kInitiated : record::Reboot::kPending;
    WriteSessionRecord(end);
  }
};

class Win32StubHost : public StubHost {
 public:
  void ShowUsage() override { UsageDialog(GetDesktopWindow(), &g_run.completion); }

  // Why there is no package to run goes into the record and the event, and
  // the verbose trace: a package changed after signing or cut in transfer is
  // an attack or a broken download, never recorded as a file that simply
  // holds no package. The user still sees message 1000 for each.
  bool OpenArchive() override {
    StepResult opened = OpenAndCheckArchive();
    if (opened.ok) return true;
    std::wstring text = opened.reason == Widen(record::kReasonNoPackage) ? ui::LoadResourceString(IDS_NO_PACKAGE)
                                                                         : std::wstring();
    g_run.record.NoteFailure(record::kStepPackage, opened.error, opened.kind, opened.reason, text);
    LogStepFailure(Process().log, 0, L"The package cannot be read", g_run.stub_path.get(), opened);
    return false;
  }

  StepResult OpenAndCheckArchive() {
    wchar_t path[MAX_PATH + 1];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    DWORD error = length == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE;
    if (length == 0 || length > MAX_PATH || !g_run.stub_path.Assign(path, length)) {
      return StepFailed(nullptr, error, Widen(record::kReasonPathUnreadable).c_str());
    }
    brxzip::ZIP_File& archive = Process().archive;
    SetLastError(0);
    brxzip::ZIP_Result read = archive.OpenArchive(g_run.stub_path.get(), 1);
    if (read != brxzip::ZIP_OK) return ArchiveRefusal(read, GetLastError());
    // Windows does not check a program's signature when an agent or a script
    // starts it, so a signed package changed after signing (a stored byte
    // swapped, its CRC fixed up) would install under the signer's name. The
    // check reads through the archive's own handle, which denies writers for
    // the rest of the run: what was checked is what gets installed.
    brxzip::ImageSignature signature = brxzip::CheckImageSignature(archive.file());
    if (signature == brxzip::ImageSignature::kUnsigned || signature == brxzip::ImageSignature::kValidDigest) {
      return StepResult(true);
    }
    archive.CloseArchive();
    return StepFailed(nullptr, 0,
                      (Widen(record::kReasonSignatureInvalid) + L": " + Widen(brxzip::DescribeImageSignature(signature)))
                          .c_str());
  }

  Presenter& Screen() override { return g_screen; }

  int32_t ExtractOnly(const wchar_t* directory) override {
    // "/extract:out" means the folder "out" where the command was given: the
    // driver changes the current directory before extracting, and extraction
    // accepts only full paths, so a relative one is made full first.
    // A full name that does not fit fails like a folder that does not exist.
    wchar_t full[MAX_PATH + 1];
    DWORD length = directory && *directory ? GetFullPathNameW(directory, MAX_PATH + 1, full, nullptr) : 0;
    if (length > 0 && length <= MAX_PATH) directory = full;
    if (length > MAX_PATH) directory = L"";
    // Command-line extraction has no user interface.
    SilentPresenter nothing_shown;
    return RunInstallDriver(nullptr, directory, /*install=*/false, nothing_shown);
  }

  // Everything of the package is read through the process-wide archive's one
  // handle on the stub's file, never by opening the path again.
  bool LoadDefinition() override {
    ProcessObjects& process = Process();
    g_run.definition_loaded = LoadStubDefinition(process.package, process.archive, g_run.stub_path.get(),
                                                 g_run.language, &g_run.definition_name);
    return g_run.definition_loaded;
  }

  void LoadIcons() override {
    *g_run.small_icon.receive() = static_cast<HICON>(LoadImageW(g_run.module, MAKEINTRESOURCEW(IDI_PACKAGE),
                                                                IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                                GetSystemMetrics(SM_CYSMICON), 0));
    *g_run.large_icon.receive() = static_cast<HICON>(
        LoadImageW(g_run.module, MAKEINTRESOURCEW(IDI_PACKAGE), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    g_screen.SetTrayIconImage(g_run.small_icon.get());
  }

  int32_t Install(Presenter& presenter) override {
    return RunInstallDriver(nullptr, nullptr, /*install=*/true, presenter);
  }

  int32_t RunMainDialog() override {
    DialogActions actions;
    MainDialogContext context;
    context.package = &Process().package;
    context.archive = &Process().archive;
    context.completion_code = &g_run.completion;
    context.reboot = &g_run.options.reboot;
    context.actions = &actions;
    context.small_icon = g_run.small_icon.get();
    context.large_icon = g_run.large_icon.get();
    ShowMainDialog(GetDesktopWindow(), context);
    return g_run.completion;
  }

  StepResult Reboot() override { return RebootAfterInstall(); }
  bool IsLaunchedByAgent() override {
    bool agent = brx::IsLaunchedByAgent();
    g_run.dos_style = g_run.options.dosRetCode || agent;
    SetCrashExit(ExitCodeForCompletion(kCompletionFailed, g_run.dos_style), RecordCrash);
    return agent;
  }
  void RecordSession(const SessionEnd& end) override { WriteSessionRecord(end); }

  void LogNoDefinition() override {
    // The log is opened only by the install driver, so these reach no file;
    // they stand for the verbose trace of a run that never got that far.
    CCmpLog2& log = Process().log;
    log.Write(LOG_BOTH_TAGGED, LEVEL_CRITICAL, L"stub", 0,
              L"A package definition file was not found.  The file is not a valid Package\r\n");
    log.Write(LOG_BOTH_TAGGED, LEVEL_CRITICAL, L"stub", 0, L"FAIL CODE (0)\r\n");
    StepResult none = StepFailed(nullptr, 0, Widen(record::kReasonNoPackage).c_str());
    g_run.record.NoteFailure(record::kStepPackage, 0, none.kind, none.reason,
                             ui::LoadResourceString(IDS_NO_PACKAGE));
  }
};

}  // namespace
}  // namespace brx

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int) {
  using namespace brx;
  // The stub runs elevated, often from a download folder: restrict DLL loading
  // to the system directory first, so no DLL planted beside the package (or in
  // the current directory) can be loaded into an administrator's process.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

  g_run.module = instance;
  g_run.completion = kCompletionInstalled;
  g_run.record.session_id = platform::NewGuidText();
  g_run.record.start = platform::LocalIsoTimeText();
  Process().log.AttachRecord(&g_run.record);
  GetUiLanguage(g_run.language, ARRAYSIZE(g_run.language));
  SetProcessShutdownParameters(0x64, 0);
  // Provides the "RICHEDIT" class of the main dialog; the run goes on without it.
  HMODULE rich_edit = LoadLibraryExW(L"riched32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  ParseCommandLine(command_line, IsExistingFile, &g_run.options);
  // Until the agent is known, /dosretcode alone decides a crash's code.
  SetCrashExit(ExitCodeForCompletion(kCompletionFailed, g_run.options.dosRetCode), RecordCrash);
  InstallCrashHandlers();

  StartupGuard guard(rich_edit);
  Win32StubHost host;
  return RunStub(host, g_run.options);
}
