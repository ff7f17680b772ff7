// uishots.exe DIALOG OUT.bmp: shows one of the stub's dialogs from the stub's
// own resources (in the user interface language of the process) with a
// sample package, saves the window as a BMP file and closes it again.
// DIALOG: main, main-large, contents, usage, progress, license, message.
// Exit code 0 when the picture was saved.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "dialog_driver_win.h"
#include "test_package_win.h"
#include "ui/contents_dialog_win.h"
#include "ui/license_dialog_win.h"
#include "ui/main_dialog_win.h"
#include "ui/message_box_win.h"
#include "ui/progress_dialog_win.h"
#include "ui/resource_ids.h"
#include "ui/usage_dialog_win.h"

namespace {

bool SaveWindow(HWND window, const std::wstring& path) {
  RECT r;
  GetWindowRect(window, &r);
  int width = r.right - r.left, height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    DWORD stride = ((width * 3 + 3) & ~3u);
    DWORD image = stride * height;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
    file.bfSize = file.bfOffBits + image;
    HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
      DWORD written;
      ok = WriteFile(out, &file, sizeof(file), &written, nullptr) &&
           WriteFile(out, &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr) &&
           WriteFile(out, bits, image, &written, nullptr);
      CloseHandle(out);
    }
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

// Lets the window paint, then saves it and closes it.
brxtest::DialogDriver::Step Capture(const std::wstring& path, bool* saved) {
  DWORD* first = new DWORD(0);
  return [=](HWND d) {
    if (!d) return false;
    if (!*first) *first = GetTickCount();
    if (GetTickCount() - *first < 600) return false;
    *saved = SaveWindow(d, path);
    delete first;
    brxtest::PostCommand(d, IDCANCEL);
    PostMessageW(d, WM_CLOSE, 0, 0);
    return true;
  };
}

std::string Utf8(const wchar_t* text) {
  char out[512];
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof(out), nullptr, nullptr);
  return n > 0 ? std::string(out) : std::string();
}

// The sample package shows its own texts in the user interface language.
std::string SampleDefinition() {
  std::string name, description;
  switch (PRIMARYLANGID(GetUserDefaultUILanguage())) {
    case LANG_JAPANESE:
      name = Utf8(L"サーバー管理ファームウェア");
      description = Utf8(L"このパッケージはサーバーのシステム ROM を更新します。");
      break;
    case LANG_CHINESE:
      name = Utf8(L"服务器管理固件");
      description = Utf8(L"此软件包更新服务器的系统 ROM。");
      break;
    default:
      name = "Server Management Firmware";
      description = "This package updates the system ROM of the server. Run it on the server itself; "
                    "the installation restarts the server when the new firmware needs it.";
  }
  return brxtest::DefinitionXml(name.c_str(), "2.10 (B)", description.c_str(), "setup.exe");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc != 3) return 2;
  std::wstring which = argv[1], out = argv[2];
  LoadLibraryW(L"riched32.dll");
  INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&classes);

  brxtest::TestPackage pkg;
  brxtest::TestEntry config{"settings.ini", "[firmware]\r\nmode=update\r\n"};
  std::string settings = which == L"main-large" ? "1" : "0";
  if (!pkg.Build({{"pkg.xml", SampleDefinition()},
                  {"zt_data.xml", brxtest::PackageDataXml({{"LARGE_WINDOW", settings}}, "license.txt",
                                                          "configure.exe", "settings.ini")},
                  {"license.txt", "SOFTWARE LICENSE AGREEMENT\n\nBy installing this package you agree to the "
                                  "terms of the licence that came with your server.\n"},
                  {"configure.exe", std::string(24576, 'c')},
                  config,
                  {"firmware/", ""},
                  {"firmware/rom.bin", std::string(262144, 'r')},
                  {"setup.exe", std::string(98304, 's')}})) {
    return 3;
  }
  int32_t completion = 1;
  brxtest::FakeActions actions;
  brx::MainDialogContext context = pkg.DialogContext(&completion, &actions);
  context.large_icon = static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PACKAGE), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  context.small_icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PACKAGE),
                                                     IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                     GetSystemMetrics(SM_CYSMICON), 0));
  bool saved = false;
  if (which == L"progress") {
    HWND progress = brx::ProgressDialog(nullptr);
    if (!progress) return 4;
    SendDlgItemMessageW(progress, IDC_PROGRESS_BAR, PBM_SETPOS, 60, 0);
    brxtest::DialogDriver driver({Capture(out, &saved)});
    MSG msg;
    while (!driver.finished() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    DestroyWindow(progress);
  } else {
    brxtest::DialogDriver driver({Capture(out, &saved)});
    if (which == L"main" || which == L"main-large") {
      brx::ShowMainDialog(GetDesktopWindow(), context);
    } else if (which == L"contents") {
      brx::ContentsDialog(GetDesktopWindow(), context);
    } else if (which == L"usage") {
      brx::UsageDialog(GetDesktopWindow(), &completion);
    } else if (which == L"license") {
      brx::LicenseDialog(GetDesktopWindow(), pkg.package, &completion);
    } else if (which == L"message") {
      brx::ShowResourceMessage(nullptr, IDS_NO_PACKAGE, IDS_CAPTION, MB_ICONHAND);
    } else {
      return 2;
    }
  }
  LocalFree(argv);
  return saved ? 0 : 1;
}
