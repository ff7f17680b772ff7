#include "ui/license_dialog_win.h"

#include <memory>
#include <new>

#include "package/ppkg.h"
#include "ui/resource_ids.h"
#include "ui/resources_win.h"

namespace brx {
namespace {

struct LicenseState {
  const CPPkg* package;
  int32_t* completion_code;
};

// The licence as the package stores it (narrow text); empty when there is
// none or it cannot be read.
std::string ReadLicense(const CPPkg& package) {
  size_t size = 0;
  if (!package.GetLicenseText(nullptr, &size) || size == 0) return std::string();
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[size]);
  if (!buffer || !package.GetLicenseText(buffer.get(), &size)) return std::string();
  return LicenseDisplayText(buffer.get(), size);
}

INT_PTR CALLBACK LicenseDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      auto* state = reinterpret_cast<LicenseState*>(lparam);
      std::string text = ReadLicense(*state->package);
      if (!text.empty()) SetDlgItemTextA(dialog, IDC_LICENSE_TEXT, text.c_str());
      // The first tab stop, Cancel, gets the focus: Enter declines.
      return TRUE;
    }
    case WM_COMMAND: {
      auto* state = reinterpret_cast<LicenseState*>(GetWindowLongPtrW(dialog, DWLP_USER));
      switch (LOWORD(wparam)) {
        case IDOK:
          EndDialog(dialog, 1);
          return TRUE;
        case IDCANCEL:
          if (state && state->completion_code) *state->completion_code = 3;
          EndDialog(dialog, 0);
          return TRUE;
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

std::string LicenseDisplayText(const char* text, size_t length) {
  std::string out;
  if (!text) return out;
  out.reserve(length + length / 16);
  for (size_t i = 0; i < length && text[i] != '\0'; ++i) {
    if (text[i] == '\n') out.push_back('\r');
    out.push_back(text[i]);
  }
  return out;
}

INT_PTR LicenseDialog(HWND owner, const CPPkg& package, int32_t* completion_code) {
  LicenseState state = {&package, completion_code};
  return ui::ShowModalDialog(IDD_LICENSE, owner, LicenseDialogProc, reinterpret_cast<LPARAM>(&state));
}

}  // namespace brx
