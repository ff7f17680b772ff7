#include "install/install_driver.h"

#include <wchar.h>

#include "base/completion_code.h"
#include "log/cmp_log2.h"
#include "log/session_record.h"
#include "package/ppkg.h"

namespace brx {
namespace {

const wchar_t kModule[] = L"extract";
const unsigned kStopIcon = 0x10;
const unsigned kWarningIcon = 0x30;
const size_t kTooltipChars = 127;
const uint32_t kErrorNameTooLong = 206;  // ERROR_FILENAME_EXCED_RANGE
const uint32_t kErrorPathNotFound = 3;   // ERROR_PATH_NOT_FOUND

// A finished extraction counts as done, like an install.
constexpr int32_t kCompletionExtracted = kCompletionInstalled;

// The text of string 1005 as the log records it.
const wchar_t kExtractFailedText[] =
    L"Package Setup was unable to extract the package properly.  Installation will not continue.";

const wchar_t kHaltedFailure[] = L"Installation Halted...FAILURE CODE (0)...\r\n\r\n";
const wchar_t kHaltedError[] = L"Installation Halted...ERROR CODE (0)...\r\n\r\n";

// The steps of a run, in order, as the session record names them. A halt
// names the one that stopped it.
using Step = const char*;

// How a step that stops the run says so in the log: its reason (a format
// with at most one %s), then the halt line. What lay behind the stop goes to
// the verbose log on the line after the reason, when the step knows it.
struct HaltLines {
  int line;
  int level;
  unsigned target;
  const wchar_t* reason;
  int halt_line;
  int halt_level;
  const wchar_t* halt;
};

const HaltLines kInstPathTooLong = {166, LEVEL_ERROR, LOG_BOTH_TAGGED,
                                    L"The /instpath: folder is longer than 260 characters and cannot be used.\r\n\r\n",
                                    175, LEVEL_ERROR, kHaltedFailure};
const HaltLines kInstPathNotCreated = {
    170, LEVEL_ERROR, LOG_BOTH_TAGGED, L"Unable to create extraction directory for Quellin Component [%s]...\r\n\r\n",
    175, LEVEL_ERROR, kHaltedFailure};
const HaltLines kTempDirNotCreated = {201, LEVEL_ERROR, LOG_BOTH_TAGGED,
                                      L"Unable to create extraction directory [%s].\r\n\r\n",
                                      206, LEVEL_INFO, kHaltedFailure};
const HaltLines kTargetNotEntered = {252, LEVEL_INFO, LOG_BOTH, L"Failed!\r\n\r\n",
                                     257, LEVEL_ERROR, L"Installation Halted...ERROR CODE (0)\r\n\r\n"};
const HaltLines kNotExtracted = {338, LEVEL_ERROR, LOG_BOTH_TAGGED, L"%s\r\n", 344, LEVEL_INFO, kHaltedError};
const HaltLines kNotConfigured = {444, LEVEL_ERROR, LOG_BOTH_TAGGED,
                                  L"OV Package Setup was unable to extract the configuration file properly.  "
                                  L"Installation will not continue.\r\n\r\n",
                                  449, LEVEL_INFO, kHaltedError};

// What lay behind a stop: what the step was doing, on what, and its result.
struct Cause {
  const wchar_t* doing;
  const wchar_t* subject;
  const StepResult& result;
};

// The part of a path after its last separator (either slash, or the colon of
// a drive-relative "D:name"). A name still holding "../" would land the copy
// outside the extraction directory.
const wchar_t* FileNamePart(const wchar_t* path) {
  const wchar_t* name = path;
  for (const wchar_t* p = path; *p; ++p) {
    if (*p == L'\\' || *p == L'/' || *p == L':') name = p + 1;
  }
  return name;
}

// One run: the steps in order, each answering whether the run goes on; a
// step that stops it goes through Halt, and every way out after the log
// opened passes the one clean-up and the footer.
class Driver {
 public:
  Driver(const InstallContext& context, Presenter& presenter, OwnerWindow owner, bool install)
      : log_(*context.log),
        package_(*context.package),
        settings_(*context.settings),
        env_(*context.environment),
        context_(context),
        presenter_(presenter),
        owner_(owner),
        install_(install) {}

  int32_t Run(const wchar_t* target_directory);

 private:
  void Line(int line, int level, const wchar_t* text) { log_.Write(LOG_BOTH_TAGGED, level, kModule, line, text); }
  void Line(int line, int level, const wchar_t* format, const wchar_t* value) {
    log_.Write(LOG_BOTH_TAGGED, level, kModule, line, format, value);
  }
  const wchar_t* StubName() const { return context_.stub_file_name ? context_.stub_file_name : L""; }
  // What lies behind a failed step goes to the verbose log, next to the line
  // the step writes there and in the main log.
  void LogCause(int line, const Cause& cause) { LogStepFailure(log_, line, cause.doing, cause.subject, cause.result); }

  // The steps.
  bool OpenLog();
  bool Prepare();
  bool ChooseTarget(const wchar_t* target_directory);
  // Runs one check and notes its outcome in the session record: failed,
  // warning when it logged a caution and let the run go on, else passed.
  // A check that stops the run halts it with its own Windows error and reason.
  template <typename CheckCall>
  bool Check(record::Check which, Step step, CheckCall call) {
    SessionRecord* r = log_.record();
    size_t warnings_before = r ? r->warnings : 0;
    StepResult checked = call();
    if (r) {
      r->SetCheck(which, !checked.ok                                          ? record::Outcome::kFailed
                         : checked.caution || r->warnings > warnings_before ? record::Outcome::kWarning
                                                                             : record::Outcome::kPassed);
    }
    if (checked.ok) return true;
    Cause cause = {L"Checking", nullptr, checked};
    return Halt(step, nullptr, nullptr, &cause);
  }
  bool CreateTarget();
  bool EnterTarget();
  bool Extract();
  bool PlaceConfiguration();
  bool CopyConfigurationFile();
  int32_t HandOver();
  void CleanUp(bool handed_over);
  int32_t Close(int32_t completion);

  // Stops the run at step: the failure into the session record, the reason
  // (with value for its %s, if any), the cause in the verbose log, the halt
  // line. Null lines: the step has logged its own (the checks do). Always
  // false, for `return Halt(...)`.
  bool Halt(Step step, const HaltLines* lines, const wchar_t* value = nullptr, const Cause* cause = nullptr);
  // Extraction and configuration stops also tell the user and take the
  // windows down, in both modes.
  // A stop that is a refusal of the run's own (no Windows error behind it).
  bool Refuse(Step step, const wchar_t* reason) {
    StepResult refused(false);
    refused.reason = reason;
    Cause cause = {L"Refused", nullptr, refused};
    return Halt(step, nullptr, nullptr, &cause);
  }
  bool HaltAfterExtractionStarted(Step step, const HaltLines& lines, const wchar_t* value, const Cause& cause);
  void RemoveTarget();

  CCmpLog2& log_;
  const CPPkg& package_;
  const InstallSettings& settings_;
  InstallEnvironment& env_;
  const InstallContext& context_;
  Presenter& presenter_;
  OwnerWindow owner_;
  bool install_;
  DriverPath target_;
  DriverPath saved_;
  DriverPath verbose_name_;
  bool target_created_ = false;  // install mode: the run made (or took) the target and removes it
  bool target_existed_before_ = false;
  bool entered_ = false;  // the target is the current directory
};

int32_t Driver::Run(const wchar_t* target_directory) {
  if (install_) {
    // A silent run whose log cannot be opened ends at once, with no footer.
    if (!OpenLog()) return kCompletionFailed;
    if (!Prepare()) return Close(kCompletionFailed);
  }
  // Without the directory to go back to, the target stays current and
  // cannot be removed; the run goes on and the verbose log says why.
  StepResult saved = env_.GetCurrentDir(&saved_);
  if (!saved.ok) {
    saved_.Clear();
    LogStepFailure(log_, 177, L"Reading the current directory", L"", saved);
  }
  bool ready = ChooseTarget(target_directory) && EnterTarget() && Extract() && PlaceConfiguration();
  int32_t completion = ready ? HandOver() : kCompletionFailed;
  CleanUp(ready);
  return install_ ? Close(completion) : completion;
}

bool Driver::Halt(Step step, const HaltLines* lines, const wchar_t* value, const Cause* cause) {
  NoteStepFailure(log_, step, cause ? cause->result : StepResult(false));
  if (!install_ || !lines) return false;
  if (value) {
    log_.Write(lines->target, lines->level, kModule, lines->line, lines->reason, value);
  } else {
    log_.Write(lines->target, lines->level, kModule, lines->line, lines->reason);
  }
  if (cause) LogCause(lines->line + 1, *cause);
  Line(lines->halt_line, lines->halt_level, lines->halt);
  return false;
}

bool Driver::HaltAfterExtractionStarted(Step step, const HaltLines& lines, const wchar_t* value, const Cause& cause) {
  presenter_.ShowMessage(owner_, kMessageExtractFailed, kCaptionPackageSetup, kStopIcon);
  presenter_.CloseWindows(owner_);
  return Halt(step, &lines, value, &cause);
}

// Install mode. /verbose_log names the verbose log after the stub; this has
// to happen before the log is opened: Open only opens the verbose file it
// knows of then. False only when the run must end without a word.
bool Driver::OpenLog() {
  if (settings_.verbose_log) {
    verbose_name_.AssignCut(StubName());
    verbose_name_.Append(L".log");
    log_.SetVerboseFileName(verbose_name_.get());
  }
  if (log_.Open() != 0 && !env_.IsPreinstallEnvironment()) {
    // Nothing reaches the log now; the session record still says why.
    StepResult unopened(false);
    unopened.reason = L"log_unopenable";
    NoteStepFailure(log_, record::kStepLog, unopened, L"The component log could not be opened.");
    // Nobody could be told either: the run ends rather than install unlogged.
    if (!presenter_.Attended()) return false;
    presenter_.ShowMessage(nullptr, kMessageLogNotOpened, kCaptionPackageSetup, kWarningIcon);
  }
  return true;
}

// Install mode, before any directory work: the header, then whether the
// package may be installed here at all. The checks log their own stops.
bool Driver::Prepare() {
  WriteSessionHeader(log_);
  if (settings_.verbose_log) {
    log_.Write(LOG_BOTH_TAGGED, LEVEL_INFO, kModule, 90, L"Successfully created verbose log file [%s]\r\n\r\n",
               verbose_name_.get());
  }
  const wchar_t* disable_install = package_.GetSetting(L"DISABLE_INSTALL_BUTTON");
  if (disable_install && wcscmp(disable_install, L"1") == 0) return Refuse(record::kStepPrepare, L"install_disabled");
  const wchar_t* command = package_.GetInstallCommand();
  if (!command || !*command) return Refuse(record::kStepPrepare, L"no_install_command");
  return Check(record::Check::kWmiService, record::kStepChecks, [&] { return env_.CheckWmiService(install_); }) &&
         Check(record::Check::kVirtualGuest, record::kStepChecks,
               [&] { return env_.CheckVirtualGuest(install_); }) &&
         Check(record::Check::kTpm, record::kStepChecks, [&] { return env_.CheckTpmState(install_); });
}

// Extract-only mode takes the caller's directory or asks the user; install
// mode creates one.
bool Driver::ChooseTarget(const wchar_t* target_directory) {
  if (install_) {
    if (!CreateTarget()) return false;
    Line(240, LEVEL_INFO, L"Changing current directory to extraction directory [%s]... ", target_.get());
    return true;
  }
  if (target_directory) {
    target_.AssignCut(target_directory);
    return true;
  }
  return env_.BrowseForFolder(owner_, &target_) || Refuse(record::kStepExtractionDirectory, L"no_folder_chosen");
}

bool Driver::CreateTarget() {
  Line(156, LEVEL_INFO, L"Creating extraction directory for Quellin Component [%s]...\r\n\r\n", StubName());
  if (settings_.inst_path && settings_.inst_path_too_long) {
    // Cut, the name would be another folder, which the run would create and
    // fill; refused instead. The line of a folder that cannot be created
    // comes first, for the scripts that look for it.
    Line(kInstPathNotCreated.line, kInstPathNotCreated.level, kInstPathNotCreated.reason, StubName());
    NoteStepFailure(log_, record::kStepExtractionDirectory, StepFailed(nullptr, kErrorNameTooLong, L"path_too_long"));
    return Halt(record::kStepExtractionDirectory, &kInstPathTooLong);
  }
  if (settings_.inst_path) {
    target_.AssignCut(settings_.inst_path_dir.get());
    target_existed_before_ = !target_.empty() && env_.DirectoryExists(target_.get());
    StepResult created = env_.CreateDirectoryPath(target_.get());
    if (!created.ok) {
      Cause cause = {L"Creating the directory", target_.get(), created};
      return Halt(record::kStepExtractionDirectory, &kInstPathNotCreated, StubName(), &cause);
    }
  } else {
    StepResult created = env_.CreateTempExtractionDirectory(&target_);
    if (!created.ok) {
      Cause cause = {L"Creating the directory", target_.get(), created};
      return Halt(record::kStepExtractionDirectory, &kTempDirNotCreated, target_.get(), &cause);
    }
  }
  target_created_ = true;
  Line(193, LEVEL_INFO, L"Extraction Directory Creation... Success.\r\n\r\n");
  return true;
}

bool Driver::EnterTarget() {
  StepResult entered = target_.empty() ? StepResult(false, kErrorPathNotFound) : env_.SetCurrentDir(target_.get());
  if (!entered.ok) {
    Cause cause = {L"Changing the current directory to", target_.get(), entered};
    return Halt(record::kStepEnterTarget, &kTargetNotEntered, nullptr, &cause);
  }
  entered_ = true;
  if (install_) log_.Write(LOG_BOTH, LEVEL_INFO, kModule, 269, L"Success.\r\n\r\n");
  return true;
}

bool Driver::Extract() {
  if (!Check(record::Check::kDiskSpace, record::kStepDiskSpace,
             [&] { return env_.CheckDiskSpace(owner_, install_); })) {
    return false;
  }
  presenter_.OpenProgress(owner_);
  if (install_) {
    Line(304, LEVEL_INFO, L"Component XML file = [%s]\r\n\r\n",
         context_.definition_file_name ? context_.definition_file_name : L"");
    Line(311, LEVEL_INFO, L"Extracting component contents...\r\n\r\n");
  }
  StepResult extracted = env_.ExtractAll(target_.get());
  if (!extracted.ok) {
    Cause cause = {L"Extraction stopped at", extracted.subject.get(), extracted};
    return HaltAfterExtractionStarted(record::kStepExtract, kNotExtracted, kExtractFailedText, cause);
  }
  if (install_) Line(359, LEVEL_INFO, L"Extracting component contents complete. Success.\r\n\r\n");
  return true;
}

// The administrator's configuration file when one was named, otherwise the
// package's own.
bool Driver::PlaceConfiguration() {
  if (settings_.config_file_found || settings_.config_file_too_long) return CopyConfigurationFile();
  if (install_) Line(423, LEVEL_INFO, L"Extracting configuration file...\r\n\r\n");
  StepResult written = env_.WriteConfigurationFile(target_.get());
  if (!written.ok) {
    Cause cause = {L"Writing the configuration file to", target_.get(), written};
    return HaltAfterExtractionStarted(record::kStepConfigurationFile, kNotConfigured, nullptr, cause);
  }
  if (install_) Line(463, LEVEL_INFO, L"Extracting configuration file complete. Success.\r\n\r\n");
  return true;
}

bool Driver::CopyConfigurationFile() {
  if (install_) {
    Line(373, LEVEL_INFO, L"CFG file option passed...begin process...\r\n\r\n");
    Line(378, LEVEL_INFO, L"Copying CFG file...\r\n\r\n");
  }
  DriverPath destination;
  bool fits = destination.Assign(target_.get());
  if (fits && (destination.empty() || destination[destination.length() - 1] != L'\\')) {
    fits = destination.Append(L'\\');
  }
  fits = fits && destination.Append(FileNamePart(settings_.config_file.get()));
  // A name too long for the extraction directory is not copied at all.
  fits = fits && !settings_.config_file_too_long;
  StepResult copy =
      fits ? env_.CopyFileOver(settings_.config_file.get(), destination.get()) : StepResult(false, kErrorNameTooLong);
  Cause cause = {L"Copying the CFG file to", destination.get(), copy};
  if (install_) {
    log_.Write(LOG_BOTH_TAGGED, LEVEL_INFO, kModule, 408,
               L"Copy CFG file returncode[%d] copyFileName[%s] newPath[%s]\r\n\r\n", copy.ok ? 1 : 0,
               settings_.config_file.get(), destination.get());
    if (!copy.ok) LogCause(409, cause);
  }
  // The administrator named this configuration: running the setup program
  // without it (or with the package's own) would install something else
  // and still report success.
  if (!copy.ok) return HaltAfterExtractionStarted(record::kStepConfigurationFile, kNotConfigured, nullptr, cause);
  return true;
}

// Everything is in place: the tray icon, the progress window's end, and in
// install mode the setup program, whose completion code is the run's.
int32_t Driver::HandOver() {
  if (install_) {
    // Without a display name the tooltip names the package file, so the icon
    // still says what is being installed.
    const wchar_t* name = package_.GetName();
    BoundedString<kTooltipChars> tooltip;
    tooltip.AssignCut(name && *name ? name : StubName());
    presenter_.AddTrayIcon(owner_, tooltip.get());
  }
  presenter_.FinishProgress(owner_, install_);
  if (!install_) return kCompletionExtracted;
  StepResult ran = env_.RunSetupProgram(owner_, target_.get());
  // A step of the launcher that failed is the run's error even when the
  // completion code stands (the component installed, its inventory failed).
  if (!ran.ok) NoteStepFailure(log_, record::kStepLaunch, ran);
  return ran.code;
}

// The one clean-up of every run. Windows cannot remove the current
// directory (it would stay, empty, until the next boot): the saved directory
// is current again before the target goes.
void Driver::CleanUp(bool handed_over) {
  if (entered_) {
    if (install_ && handed_over) Line(521, LEVEL_INFO, L"Restoring current directory [%s]... ", saved_.get());
    StepResult restored = saved_.empty() ? StepResult(false, kErrorPathNotFound) : env_.SetCurrentDir(saved_.get());
    if (!restored.ok) LogStepFailure(log_, 522, L"Restoring the current directory", saved_.get(), restored);
  }
  if (!install_ || !target_created_) return;
  if (handed_over) {
    log_.Write(LOG_BOTH, LEVEL_INFO, kModule, 533, L"Done.\r\n");
    env_.Sleep(2000);
  }
  RemoveTarget();
}

void Driver::RemoveTarget() {
  // A /instpath: directory that held files before the run is the user's:
  // the extraction is left in it rather than deleting what was there.
  if (target_existed_before_) return;
  StepResult removed = env_.DeleteDirectoryTree(target_.get());
  if (removed.ok) return;
  // The run's result stands; what stayed behind, and why, is for the verbose log.
  const wchar_t* doing = removed.code == kTreeLeftForBoot  ? L"Left for removal at the next boot"
                         : removed.code == kTreeNotListed ? L"Could not list, left in place"
                                                          : L"Could not remove or leave for the next boot";
  LogStepFailure(log_, 536, doing, nullptr, removed);
}

// Install mode's end: footer, log closed.
int32_t Driver::Close(int32_t completion) {
  WriteSessionFooter(log_, completion);
  log_.Close();
  return completion;
}

}  // namespace

int32_t ExtractAndInstall(const InstallContext& context, OwnerWindow owner,
                          const wchar_t* target_directory, bool install) {
  if (!context.log || !context.package || !context.settings || !context.environment) return kCompletionFailed;
  SilentPresenter nothing_shown;
  Driver driver(context, context.presenter ? *context.presenter : nothing_shown, owner, install);
  return driver.Run(target_directory);
}

}  // namespace brx
