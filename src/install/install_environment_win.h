// The install driver's reach into Windows: the real checks, directories,
// extraction and the launcher. What they show goes through the run's presenter.
#ifndef BRX_INSTALL_INSTALL_ENVIRONMENT_WIN_H_
#define BRX_INSTALL_INSTALL_ENVIRONMENT_WIN_H_

#include <windows.h>

#include <vector>

#include "install/cleanup_win.h"
#include "install/install_driver.h"
#include "platform/held_directory.h"

class CCmpLog2;
class CPPkg;
namespace brxzip {
class ZIP_File;
struct ExtractReport;
}

namespace brx {


// Dialogs of the user interface, handed in by the stub so this library does
// not depend on the dialogs (which themselves call the install driver).
struct InstallDialogs {
  // The folder browser; false when cancelled. buffer holds 260 characters.
  bool (*browse_for_folder)(HWND owner, wchar_t* buffer) = nullptr;
  // Runs before each entry is extracted, with its target path.
  void (*before_entry)(const wchar_t* target_path) = nullptr;
};

class Win32InstallEnvironment : public InstallEnvironment {
 public:
  Win32InstallEnvironment(CCmpLog2& log, const CPPkg& package, brxzip::ZIP_File& archive, const InstallSettings& settings,
                          Presenter& presenter, const wchar_t* definition_file_name, const InstallDialogs& dialogs);

  bool IsPreinstallEnvironment() override;
  StepResult CheckWmiService(bool install) override;
  StepResult CheckVirtualGuest(bool install) override;
  StepResult CheckTpmState(bool install) override;
  StepResult CheckDiskSpace(OwnerWindow owner, bool install) override;
  StepResult GetCurrentDir(DriverPath* out) override;
  StepResult SetCurrentDir(const wchar_t* path) override;
  bool DirectoryExists(const wchar_t* path) override;
  bool BrowseForFolder(OwnerWindow owner, DriverPath* out) override;
  StepResult CreateDirectoryPath(const wchar_t* path) override;
  StepResult CreateTempExtractionDirectory(DriverPath* out) override;
  StepResult ExtractAll(const wchar_t* directory) override;
  StepResult CopyFileOver(const wchar_t* source, const wchar_t* destination) override;
  StepResult WriteConfigurationFile(const wchar_t* directory) override;
  StepResult RunSetupProgram(OwnerWindow owner, const wchar_t* directory) override;
  void Sleep(unsigned milliseconds) override;
  StepResult DeleteDirectoryTree(const wchar_t* path) override;

 private:
  void RefuseFolder(int line, const wchar_t* path, platform::HoldResult result, uint32_t error);
  void LogRefusal(const brxzip::ExtractReport& report);
  void RemoveOwnReadOnlyFile(const wchar_t* destination);

  CCmpLog2& log_;
  const CPPkg& package_;
  brxzip::ZIP_File& archive_;
  const InstallSettings& settings_;
  Presenter& presenter_;
  const wchar_t* definition_file_name_;
  InstallDialogs dialogs_;
  // The extraction directory and the levels above it, held from its
  // creation until its deletion: the last is the directory, the one before
  // it (when there is one) its parent, through which it is deleted.
  std::vector<platform::HeldDirectory> held_;
  // The run created the directory: everything in it is created as new.
  bool target_fresh_ = false;
  // What this run created there, the only things the clean-up may leave to
  // the next boot.
  CreatedItems created_;
};

}  // namespace brx

#endif  // BRX_INSTALL_INSTALL_ENVIRONMENT_WIN_H_
