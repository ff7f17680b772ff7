// The stub's entry: prepares the process, reads the options and hands over to
// the run mode they select.
#include <windows.h>

#include "stub/agent_parent_win.h"
#include "stub/options.h"
#include "stub/run_stub.h"
#include "stub/ui_language.h"
#include "ui/message_box_win.h"
#include "ui/resource_ids.h"
#include "ui/usage_dialog_win.h"

namespace brx {
namespace {

// Process-wide run state.
struct RunState {
  HINSTANCE module = nullptr;
  int32_t completion = kCompletionInstalled;
  HICON small_icon = nullptr;
  HICON large_icon = nullptr;
  wchar_t language[3] = L"en";
  StubOptions options;
};

RunState g_run;

bool FileSearchMatches(const wchar_t* name) {
  WIN32_FIND_DATAW data;
  HANDLE found = FindFirstFileW(name, &data);
  if (found == INVALID_HANDLE_VALUE) return false;
  FindClose(found);
  return true;
}

// Releases what start-up acquired, on every way out of the run modes.
class StartupGuard {
 public:
  explicit StartupGuard(HMODULE rich_edit) : rich_edit_(rich_edit) {}
  ~StartupGuard() {
    if (rich_edit_) FreeLibrary(rich_edit_);
    if (g_run.large_icon) DestroyIcon(g_run.large_icon);
    if (g_run.small_icon) DestroyIcon(g_run.small_icon);
    g_run.large_icon = g_run.small_icon = nullptr;
  }
  StartupGuard(const StartupGuard&) = delete;
  StartupGuard& operator=(const StartupGuard&) = delete;

 private:
  HMODULE rich_edit_;
};

class Win32StubHost : public StubHost {
 public:
  void ShowUsage() override { UsageDialog(GetDesktopWindow(), &g_run.completion); }
  bool OpenArchive() override { return false; }
  void ShowNoPackageMessage() override {
    ShowResourceMessage(nullptr, IDS_NO_PACKAGE, IDS_CAPTION, MB_ICONHAND);
  }
  int32_t ExtractOnly(const wchar_t*) override { return kCompletionFailed; }
  bool LoadDefinition() override { return false; }
  void LoadIcons() override {
    g_run.small_icon = static_cast<HICON>(LoadImageW(g_run.module, MAKEINTRESOURCEW(IDI_PACKAGE), IMAGE_ICON,
                                                     GetSystemMetrics(SM_CXSMICON),
                                                     GetSystemMetrics(SM_CYSMICON), 0));
    g_run.large_icon = static_cast<HICON>(
        LoadImageW(g_run.module, MAKEINTRESOURCEW(IDI_PACKAGE), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  }
  int32_t Install(bool) override { return kCompletionFailed; }
  int32_t RunMainDialog() override { return kCompletionNotAttempted; }
  void Reboot() override {}
  bool IsLaunchedByAgent() override { return brx::IsLaunchedByAgent(); }
  void LogNoDefinition() override {}
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
  GetUiLanguage(g_run.language, ARRAYSIZE(g_run.language));
  SetProcessShutdownParameters(0x64, 0);
  // Provides the "RICHEDIT" class of the main dialog; the run goes on without it.
  HMODULE rich_edit = LoadLibraryExW(L"riched32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  ParseCommandLine(command_line, FileSearchMatches, &g_run.options);

  StartupGuard guard(rich_edit);
  Win32StubHost host;
  return RunStub(host, g_run.options);
}
