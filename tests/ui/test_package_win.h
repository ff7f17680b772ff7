// Packages for the dialog tests: a real archive file written with the package
// builder, opened by the archive reader and loaded into a CPPkg, plus a
// recording stand-in for the install driver.
#ifndef BRX_TESTS_UI_TEST_PACKAGE_WIN_H_
#define BRX_TESTS_UI_TEST_PACKAGE_WIN_H_

#include <windows.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "archive/zip_file.h"
#include "package/ppkg.h"
#include "ui/main_dialog_command_win.h"

namespace brxtest {

struct TestEntry {
  std::string name;  // a trailing '/' makes a directory entry
  std::string data;
  uint32_t dos_date = (46 << 9) | (3 << 5) | 14;  // 2026-03-14
  uint32_t dos_time = (9 << 11) | (26 << 5) | 5;  // 09:26:10
};

// Definition "pkg.xml"; texts are UTF-8, a null field is left out.
std::string DefinitionXml(const char* name, const char* version, const char* description,
                          const char* command);
// "zt_data.xml" with settings (name, value pairs), an optional licence entry
// name, and optionally a configuration tool with its configuration file.
std::string PackageDataXml(const std::vector<std::pair<std::string, std::string>>& settings,
                           const char* license = nullptr, const char* config_ui = nullptr,
                           const char* config_file = nullptr);

class TestPackage {
 public:
  TestPackage() = default;
  ~TestPackage();
  TestPackage(const TestPackage&) = delete;
  TestPackage& operator=(const TestPackage&) = delete;

  // Writes the archive to a new temporary file, opens it and loads pkg.xml.
  bool Build(const std::vector<TestEntry>& entries);
  // The main dialog's context for this package; what else the dialog may
  // use (reboot option, icons) is left unset.
  brx::MainDialogContext DialogContext(int32_t* completion_code, brx::InstallActions* actions) const;

  CPPkg package;
  brxzip::ZIP_File archive;
  std::wstring path;
};

class FakeActions : public brx::InstallActions {
 public:
  int32_t ExtractAndInstall(HWND owner, const wchar_t* target_dir, bool install) override {
    ++calls;
    last_owner = owner;
    last_target_null = target_dir == nullptr;
    last_install = install;
    // The real driver destroys the dialog after a run of the setup program
    // and after a failed extraction.
    if (destroy_owner) DestroyWindow(owner);
    return result;
  }
  void RebootSystem() override { ++reboots; }

  int32_t result = 1;
  bool destroy_owner = false;
  int calls = 0;
  int reboots = 0;
  HWND last_owner = nullptr;
  bool last_target_null = false;
  bool last_install = false;
};

}  // namespace brxtest

#endif  // BRX_TESTS_UI_TEST_PACKAGE_WIN_H_
