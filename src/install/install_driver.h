// The one routine behind every extraction and installation: command-line
// extraction, silent and unprompted installs, and the dialog's buttons.
//
// The sequence and its log lines live here, portable; everything it does to
// the system goes through InstallEnvironment, which the stub implements with
// Win32 and tests replace.
#ifndef BRX_INSTALL_INSTALL_DRIVER_H_
#define BRX_INSTALL_INSTALL_DRIVER_H_

#include <stdint.h>

#include "base/bounded_string.h"
#include "base/presenter.h"
#include "install/install_settings.h"
#include "install/step_result.h"

class CCmpLog2;
class CPPkg;

namespace brx {

using DriverPath = BoundedString<260>;

// The string-table messages the driver shows (the stub's resources hold them
// under the same ids).
constexpr unsigned kMessageLogNotOpened = 709;
constexpr unsigned kMessageExtractFailed = 1005;

// What stayed of a tree that could not be removed at once.
constexpr int32_t kTreeLeftForBoot = 1;  // removed at the next boot
constexpr int32_t kTreeNotRemoved = 2;   // not even that could be arranged
constexpr int32_t kTreeNotListed = 3;    // a folder could not be listed; what it holds stays

class InstallEnvironment {
 public:
  virtual ~InstallEnvironment() = default;

  virtual bool IsPreinstallEnvironment() = 0;

  // Each answers ok to go on (with caution set when it let a caution pass);
  // not ok after it has logged and told the user through the run's presenter, with the
  // Windows error and reason behind the stop.
  virtual StepResult CheckWmiService(bool install) = 0;
  virtual StepResult CheckVirtualGuest(bool install) = 0;
  virtual StepResult CheckTpmState(bool install) = 0;
  virtual StepResult CheckDiskSpace(OwnerWindow owner, bool install) = 0;

  virtual StepResult GetCurrentDir(DriverPath* out) = 0;
  virtual StepResult SetCurrentDir(const wchar_t* path) = 0;
  virtual bool DirectoryExists(const wchar_t* path) = 0;
  // The folder browser; false when the user cancels or picks no usable folder.
  virtual bool BrowseForFolder(OwnerWindow owner, DriverPath* out) = 0;
  // The /instpath: folder with its missing parents, each created readable
  // only by SYSTEM, Administrators and the process's owner.
  virtual StepResult CreateDirectoryPath(const wchar_t* path) = 0;
  // A new GUID-named directory in the temporary directory, readable only by
  // SYSTEM, Administrators and the process's owner.
  virtual StepResult CreateTempExtractionDirectory(DriverPath* out) = 0;

  // Extracts the whole archive into directory, moving the presenter's progress bar.
  virtual StepResult ExtractAll(const wchar_t* directory) = 0;

  virtual StepResult CopyFileOver(const wchar_t* source, const wchar_t* destination) = 0;
  virtual StepResult WriteConfigurationFile(const wchar_t* directory) = 0;

  // The launcher: builds the command line, runs the setup program, records
  // the component, removes the presenter's tray icon. code: the completion code; not ok when one of its steps
  // failed (named in step), also when the code stands (the inventory).
  virtual StepResult RunSetupProgram(OwnerWindow owner, const wchar_t* directory) = 0;

  virtual void Sleep(unsigned milliseconds) = 0;
  // Removes the tree; not ok when anything stayed: subject is the first
  // path left and code one of kTree*.
  virtual StepResult DeleteDirectoryTree(const wchar_t* path) = 0;
};

struct InstallContext {
  CCmpLog2* log = nullptr;
  const CPPkg* package = nullptr;
  const InstallSettings* settings = nullptr;
  InstallEnvironment* environment = nullptr;
  // What the run shows; null shows nothing, like a silent run.
  Presenter* presenter = nullptr;
  // The archive entry that holds the definition, and the stub's own file name.
  const wchar_t* definition_file_name = nullptr;
  const wchar_t* stub_file_name = nullptr;
};

// install: install mode, else extract only. target_directory: extract-only
// mode's directory, or null to ask the user. Returns the completion code in
// install mode, 1 or 0 when only extracting.
int32_t ExtractAndInstall(const InstallContext& context, OwnerWindow owner,
                          const wchar_t* target_directory, bool install);

}  // namespace brx

#endif  // BRX_INSTALL_INSTALL_DRIVER_H_
