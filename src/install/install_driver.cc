#include "install/install_driver.h"

#include <wchar.h>

#include "log/cmp_log2.h"
#include "package/ppkg.h"

namespace brx {
namespace {

const wchar_t kModule[] = L"extract";
const unsigned kStopIcon = 0x10;
const unsigned kWarningIcon = 0x30;
const size_t kTooltipChars = 127;
const uint32_t kErrorNameTooLong = 206;  // ERROR_FILENAME_EXCED_RANGE

// The text of string 1005 as the log records it.
const wchar_t kExtractFailedText[] =
    L"Package Setup was unable to extract the package properly.  Installation will not continue.";

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

class Driver {
 public:
  Driver(const InstallContext& context, OwnerWindow owner, bool install, bool no_ui)
      : log_(*context.log),
        package_(*context.package),
        settings_(*context.settings),
        env_(*context.environment),
        context_(context),
        owner_(owner),
        install_(install),
        no_ui_(no_ui) {}

  int32_t Run(const wchar_t* target_directory);

 private:
  void Line(int line, int level, const wchar_t* text) {
    log_.Write(LOG_BOTH_TAGGED, level, kModule, line, text);
  }
  void Line(int line, int level, const wchar_t* format, const wchar_t* value) {
    log_.Write(LOG_BOTH_TAGGED, level, kModule, line, format, value);
  }
  const wchar_t* StubName() const { return context_.stub_file_name ? context_.stub_file_name : L""; }
  // What lies behind a failed step goes to the verbose log, next to the line
  // the step writes there and in the main log.
  void Cause(int line, const wchar_t* step, const wchar_t* subject, const StepResult& result) {
    log_.Write(LOG_VERBOSE_TAGGED, LEVEL_ERROR, kModule, line, L"%s [%s]: result %d, Windows error %lu.\r\n\r\n",
               step, subject, result.code, static_cast<unsigned long>(result.error));
  }

  void ChooseVerboseLog();
  bool PrepareInstall();
  bool CreateTarget();
  int32_t ExtractAndRun();
  // Install mode's end: footer, log closed.
  int32_t Close(int32_t completion) {
    WriteSessionFooter(log_, completion);
    log_.Close();
    return completion;
  }
  // Extraction or configuration failed: tell the user, remove the partly
  // filled directory.
  void FailAfterExtractionStarted(int error_line, const wchar_t* error_format, const wchar_t* error_text,
                                  int halt_line, const wchar_t* step, const wchar_t* subject,
                                  const StepResult& result) {
    if (!no_ui_) {
      env_.ShowMessage(owner_, kMessageExtractFailed, kStopIcon);
      env_.DestroyWindows(owner_);
    }
    if (!install_) return;
    log_.Write(LOG_BOTH_TAGGED, LEVEL_ERROR, kModule, error_line, error_format, error_text);
    Cause(error_line + 1, step, subject, result);
    Line(halt_line, LEVEL_INFO, L"Installation Halted...ERROR CODE (0)...\r\n\r\n");
    AbandonTarget();
  }
  // A stop after the target was made current. Windows cannot remove the
  // current directory: it would stay, empty, until the next boot. The saved
  // directory is current again first.
  void AbandonTarget() {
    if (!saved_.empty()) env_.SetCurrentDir(saved_.get());
    RemoveTarget();
  }
  void FailConfiguration(const wchar_t* step, const wchar_t* subject, const StepResult& result) {
    FailAfterExtractionStarted(444, L"%s",
                               L"OV Package Setup was unable to extract the configuration file "
                               L"properly.  Installation will not continue.\r\n\r\n",
                               449, step, subject, result);
  }
  void RemoveTarget() {
    // A /instpath: directory that held files before the run is the user's:
    // the extraction is left in it rather than deleting what was there.
    if (target_existed_before_) return;
    env_.DeleteDirectoryTree(target_.get());
  }

  CCmpLog2& log_;
  const CPPkg& package_;
  const InstallSettings& settings_;
  InstallEnvironment& env_;
  const InstallContext& context_;
  OwnerWindow owner_;
  bool install_;
  bool no_ui_;
  DriverPath target_;
  DriverPath saved_;
  DriverPath verbose_name_;
  bool target_existed_before_ = false;
};

// /verbose_log names the verbose log after the stub. This has to happen
// before the log is opened: Open only opens the verbose file it knows of then.
void Driver::ChooseVerboseLog() {
  if (!settings_.verbose_log) return;
  verbose_name_.AssignCut(StubName());
  verbose_name_.Append(L".log");
  log_.SetVerboseFileName(verbose_name_.get());
}

// Install mode, before any directory work. False to stop with 0.
bool Driver::PrepareInstall() {
  WriteSessionHeader(log_);
  if (settings_.verbose_log) {
    log_.Write(LOG_BOTH_TAGGED, LEVEL_INFO, kModule, 90, L"Successfully created verbose log file [%s]\r\n\r\n",
               verbose_name_.get());
  }
  const wchar_t* disable_install = package_.GetSetting(L"DISABLE_INSTALL_BUTTON");
  if (disable_install && wcscmp(disable_install, L"1") == 0) return false;
  const wchar_t* command = package_.GetInstallCommand();
  if (!command || !*command) return false;
  return env_.CheckWmiService(install_, no_ui_) && env_.CheckVirtualGuest(install_, no_ui_) &&
         env_.CheckTpmState(install_, no_ui_);
}

// Install mode: the extraction directory. False to stop with 0.
bool Driver::CreateTarget() {
  Line(156, LEVEL_INFO, L"Creating extraction directory for Quellin Component [%s]...\r\n\r\n", StubName());
  if (settings_.inst_path && settings_.inst_path_too_long) {
    // Cut, the name would be another folder, which the run would create and
    // fill; refused instead.
    Line(166, LEVEL_ERROR, L"The /instpath: folder is longer than 260 characters and cannot be used.\r\n\r\n");
    Line(175, LEVEL_ERROR, L"Installation Halted...FAILURE CODE (0)...\r\n\r\n");
    return false;
  }
  if (settings_.inst_path) {
    target_.AssignCut(settings_.inst_path_dir.get());
    target_existed_before_ = !target_.empty() && env_.DirectoryExists(target_.get());
    StepResult created = env_.CreateDirectoryPath(target_.get());
    if (!created.ok) {
      Line(170, LEVEL_ERROR, L"Unable to create extraction directory for Quellin Component [%s]...\r\n\r\n",
           StubName());
      Cause(171, L"Creating the directory", target_.get(), created);
      Line(175, LEVEL_ERROR, L"Installation Halted...FAILURE CODE (0)...\r\n\r\n");
      return false;
    }
  } else {
    StepResult created = env_.CreateTempExtractionDirectory(&target_);
    if (!created.ok) {
      Line(201, LEVEL_ERROR, L"Unable to create extraction directory [%s].\r\n\r\n", target_.get());
      Cause(202, L"Creating the directory", target_.get(), created);
      Line(206, LEVEL_INFO, L"Installation Halted...FAILURE CODE (0)...\r\n\r\n");
      return false;
    }
  }
  Line(193, LEVEL_INFO, L"Extraction Directory Creation... Success.\r\n\r\n");
  return true;
}

int32_t Driver::Run(const wchar_t* target_directory) {
  if (install_) {
    ChooseVerboseLog();
    if (log_.Open() != 0 && !env_.IsPreinstallEnvironment()) {
      if (no_ui_) return 0;
      env_.ShowMessage(nullptr, kMessageLogNotOpened, kWarningIcon);
    }
    if (!PrepareInstall()) return Close(0);
  }

  env_.GetCurrentDir(&saved_);
  if (!install_) {
    if (target_directory) {
      target_.AssignCut(target_directory);
    } else if (!env_.BrowseForFolder(owner_, &target_)) {
      return 0;
    }
  } else {
    if (!CreateTarget()) return Close(0);
    Line(240, LEVEL_INFO, L"Changing current directory to extraction directory [%s]... ", target_.get());
  }

  int32_t completion = ExtractAndRun();
  return install_ ? Close(completion) : completion;
}

int32_t Driver::ExtractAndRun() {
  if (target_.empty() || !env_.SetCurrentDir(target_.get())) {
    if (!install_) return 0;
    log_.Write(LOG_BOTH, LEVEL_INFO, kModule, 252, L"Failed!\r\n\r\n");
    Line(257, LEVEL_ERROR, L"Installation Halted...ERROR CODE (0)\r\n\r\n");
    // The directory was created a moment ago; it must not outlive the run.
    RemoveTarget();
    return 0;
  }
  if (install_) log_.Write(LOG_BOTH, LEVEL_INFO, kModule, 269, L"Success.\r\n\r\n");

  if (!env_.CheckDiskSpace(owner_, install_, no_ui_)) {
    if (install_) AbandonTarget();
    return 0;
  }
  if (!no_ui_) env_.CreateProgressWindow(owner_);
  if (install_) {
    Line(304, LEVEL_INFO, L"Component XML file = [%s]\r\n\r\n",
         context_.definition_file_name ? context_.definition_file_name : L"");
    Line(311, LEVEL_INFO, L"Extracting component contents...\r\n\r\n");
  }
  StepResult extracted = env_.ExtractAll(target_.get());
  if (!extracted.ok) {
    FailAfterExtractionStarted(338, L"%s\r\n", kExtractFailedText, 344, L"Extraction stopped at", extracted.subject.get(),
                               extracted);
    return 0;
  }
  if (install_) Line(359, LEVEL_INFO, L"Extracting component contents complete. Success.\r\n\r\n");

  if (settings_.config_file_found || settings_.config_file_too_long) {
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
    StepResult copy = fits ? env_.CopyFileOver(settings_.config_file.get(), destination.get())
                           : StepResult(false, kErrorNameTooLong);
    int copied = copy.ok ? 1 : 0;
    if (install_) {
      log_.Write(LOG_BOTH_TAGGED, LEVEL_INFO, kModule, 408,
                 L"Copy CFG file returncode[%d] copyFileName[%s] newPath[%s]\r\n\r\n", copied,
                 settings_.config_file.get(), destination.get());
      if (!copy.ok) {
        Cause(409, L"Copying the CFG file to", destination.get(), copy);
      }
    }
    // The administrator named this configuration: running the setup program
    // without it (or with the package's own) would install something else
    // and still report success.
    if (!copied) {
      FailConfiguration(L"Copying the CFG file to", destination.get(), copy);
      return 0;
    }
  } else {
    if (install_) Line(423, LEVEL_INFO, L"Extracting configuration file...\r\n\r\n");
    StepResult written = env_.WriteConfigurationFile(target_.get());
    if (!written.ok) {
      FailConfiguration(L"Writing the configuration file to", target_.get(), written);
      return 0;
    }
    if (install_) Line(463, LEVEL_INFO, L"Extracting configuration file complete. Success.\r\n\r\n");
  }

  if (install_) {
    // Without a display name the tooltip names the package file, so the icon
    // still says what is being installed.
    const wchar_t* name = package_.GetName();
    BoundedString<kTooltipChars> tooltip;
    tooltip.AssignCut(name && *name ? name : StubName());
    env_.AddTrayIcon(owner_, tooltip.get());
  }
  if (!no_ui_) env_.FinishProgress(owner_, install_);

  int32_t completion = 1;
  if (install_) {
    completion = env_.RunSetupProgram(owner_, no_ui_, target_.get());
    Line(521, LEVEL_INFO, L"Restoring current directory [%s]... ", saved_.get());
  }
  env_.SetCurrentDir(saved_.get());
  if (!install_) return 1;

  log_.Write(LOG_BOTH, LEVEL_INFO, kModule, 533, L"Done.\r\n");
  env_.Sleep(2000);
  RemoveTarget();
  return completion;
}

}  // namespace

int32_t ExtractAndInstall(const InstallContext& context, OwnerWindow owner,
                          const wchar_t* target_directory, bool install, bool no_ui) {
  if (!context.log || !context.package || !context.settings || !context.environment) return 0;
  Driver driver(context, owner, install, no_ui);
  return driver.Run(target_directory);
}

}  // namespace brx
