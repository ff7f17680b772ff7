#include "install/install_driver.h"

#include <wchar.h>

#include "log/cmp_log2.h"
#include "package/ppkg.h"
#include "stub/options.h"
#include "ui/resource_ids.h"

namespace brx {
namespace {

const wchar_t kModule[] = L"extract";
const unsigned kStopIcon = 0x10;
const unsigned kWarningIcon = 0x30;
const size_t kTooltipChars = 127;

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
        options_(*context.options),
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
                                  int halt_line) {
    if (!no_ui_) {
      env_.ShowMessage(owner_, IDS_EXTRACT_FAILED, kStopIcon);
      env_.DestroyWindows(owner_);
    }
    if (!install_) return;
    log_.Write(LOG_BOTH_TAGGED, LEVEL_ERROR, kModule, error_line, error_format, error_text);
    Line(halt_line, LEVEL_INFO, L"Installation Halted...ERROR CODE (0)...\r\n\r\n");
    RemoveTarget();
  }
  void FailConfiguration() {
    FailAfterExtractionStarted(444, L"%s",
                               L"OV Package Setup was unable to extract the configuration file "
                               L"properly.  Installation will not continue.\r\n\r\n",
                               449);
  }
  void RemoveTarget() {
    // A /instpath: directory that held files before the run is the user's:
    // the extraction is left in it rather than deleting what was there.
    if (target_existed_before_) return;
    env_.DeleteDirectoryTree(target_.get());
  }

  CCmpLog2& log_;
  const CPPkg& package_;
  const StubOptions& options_;
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
  if (!options_.verboseLog) return;
  verbose_name_.AssignCut(StubName());
  verbose_name_.Append(L".log");
  log_.SetVerboseFileName(verbose_name_.get());
}

// Install mode, before any directory work. False to stop with 0.
bool Driver::PrepareInstall() {
  WriteSessionHeader(log_);
  if (options_.verboseLog) {
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
  if (options_.instPath && options_.instPathTooLong) {
    // Cut, the name would be another folder, which the run would create and
    // fill; refused instead.
    Line(166, LEVEL_ERROR, L"The /instpath: folder is longer than 260 characters and cannot be used.\r\n\r\n");
    Line(175, LEVEL_ERROR, L"Installation Halted...FAILURE CODE (0)...\r\n\r\n");
    return false;
  }
  if (options_.instPath) {
    target_.AssignCut(options_.instPathDir.get());
    target_existed_before_ = !target_.empty() && env_.DirectoryExists(target_.get());
    if (!env_.CreateDirectoryPath(target_.get())) {
      Line(170, LEVEL_ERROR, L"Unable to create extraction directory for Quellin Component [%s]...\r\n\r\n",
           StubName());
      Line(175, LEVEL_ERROR, L"Installation Halted...FAILURE CODE (0)...\r\n\r\n");
      return false;
    }
  } else if (!env_.CreateTempExtractionDirectory(&target_)) {
    Line(201, LEVEL_ERROR, L"Unable to create extraction directory [%s].\r\n\r\n", target_.get());
    Line(206, LEVEL_INFO, L"Installation Halted...FAILURE CODE (0)...\r\n\r\n");
    return false;
  }
  Line(193, LEVEL_INFO, L"Extraction Directory Creation... Success.\r\n\r\n");
  return true;
}

int32_t Driver::Run(const wchar_t* target_directory) {
  if (install_) {
    ChooseVerboseLog();
    if (log_.Open() != 0 && !env_.IsPreinstallEnvironment()) {
      if (no_ui_) return 0;
      env_.ShowMessage(nullptr, IDS_LOG_NOT_OPENED, kWarningIcon);
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
    if (install_) RemoveTarget();
    return 0;
  }
  if (!no_ui_) env_.CreateProgressWindow(owner_);
  if (install_) {
    Line(304, LEVEL_INFO, L"Component XML file = [%s]\r\n\r\n",
         context_.definition_file_name ? context_.definition_file_name : L"");
    Line(311, LEVEL_INFO, L"Extracting component contents...\r\n\r\n");
  }
  if (!env_.ExtractAll(target_.get())) {
    FailAfterExtractionStarted(338, L"%s\r\n", kExtractFailedText, 344);
    return 0;
  }
  if (install_) Line(359, LEVEL_INFO, L"Extracting component contents complete. Success.\r\n\r\n");

  if (options_.configFileFound || options_.configFileTooLong) {
    if (install_) {
      Line(373, LEVEL_INFO, L"CFG file option passed...begin process...\r\n\r\n");
      Line(378, LEVEL_INFO, L"Copying CFG file...\r\n\r\n");
    }
    DriverPath destination;
    bool fits = destination.Assign(target_.get());
    if (fits && (destination.empty() || destination[destination.length() - 1] != L'\\')) {
      fits = destination.Append(L'\\');
    }
    fits = fits && destination.Append(FileNamePart(options_.configFile.get()));
    fits = fits && !options_.configFileTooLong;
    int copied = fits && env_.CopyFileOver(options_.configFile.get(), destination.get()) ? 1 : 0;
    if (install_) {
      log_.Write(LOG_BOTH_TAGGED, LEVEL_INFO, kModule, 408,
                 L"Copy CFG file returncode[%d] copyFileName[%s] newPath[%s]\r\n\r\n", copied,
                 options_.configFile.get(), destination.get());
    }
    // The administrator named this configuration: running the setup program
    // without it (or with the package's own) would install something else
    // and still report success.
    if (!copied) {
      FailConfiguration();
      return 0;
    }
  } else {
    if (install_) Line(423, LEVEL_INFO, L"Extracting configuration file...\r\n\r\n");
    if (!env_.WriteConfigurationFile(target_.get())) {
      FailConfiguration();
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
  if (!context.log || !context.package || !context.options || !context.environment) return 0;
  Driver driver(context, owner, install, no_ui);
  return driver.Run(target_directory);
}

}  // namespace brx
