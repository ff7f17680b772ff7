#include "ui/main_dialog_win.h"

#include <richedit.h>
#include <wchar.h>

#include <new>
#include <string>

#include "archive/zip_file.h"
#include "package/ppkg.h"
#include "ui/contents_dialog_win.h"
#include "ui/dos_time_win.h"
#include "ui/resource_ids.h"
#include "ui/resources_win.h"

namespace brx {
namespace {

// Per-window state, alive from WM_INITDIALOG to WM_NCDESTROY.
struct MainDialogState {
  const MainDialogContext* context = nullptr;
  MainDialogPermissions permissions;
  HWND description = nullptr;
  WNDPROC description_proc = nullptr;  // the rich edit's own procedure
};

bool SettingIsOne(const CPPkg& package, const wchar_t* name) {
  const wchar_t* value = package.GetSetting(name);
  return value && wcscmp(value, L"1") == 0;
}

MainDialogState* StateOf(HWND dialog) {
  return reinterpret_cast<MainDialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

// The description box never keeps the keyboard focus: it can be scrolled
// with the mouse, and the focus goes straight back to where it was.
LRESULT CALLBACK DescriptionProc(HWND edit, UINT message, WPARAM wparam, LPARAM lparam) {
  MainDialogState* state = StateOf(GetParent(edit));
  if (!state || !state->description_proc) return DefWindowProcW(edit, message, wparam, lparam);
  LRESULT result = CallWindowProcW(state->description_proc, edit, message, wparam, lparam);
  if (message == WM_SETFOCUS && wparam) SetFocus(reinterpret_cast<HWND>(wparam));
  return result;
}

LONG CaretPosition(HWND edit) {
  CHARRANGE range = {0, 0};
  SendMessageW(edit, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
  return range.cpMax;
}

void MoveCaret(HWND edit, LONG position) {
  CHARRANGE range = {position, position};
  SendMessageW(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

void Insert(HWND edit, const std::wstring& text) {
  SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring OrEmpty(const wchar_t* text) { return text ? text : L""; }

// "Last Configured: date, time" of the configuration tool's entry, when the
// package names one and the archive holds it.
std::wstring ConfigurationLine(const MainDialogContext& context) {
  const CPPkg& package = *context.package;
  if (!package.HasConfigUi() || !context.archive) return std::wstring();
  const wchar_t* name = package.GetConfigFileName();
  const brxzip::ZIP_FileEntry* entry = name ? context.archive->FindEntry(name) : nullptr;
  if (!entry) return std::wstring();
  std::wstring date, time;
  ui::FormatDosDateTime(entry->GetDosDate(), entry->GetDosTime(), &date, &time);
  return L"\r\n" + ui::LoadResourceString(IDS_LAST_CONFIGURED) + date + L", " + time;
}

// Builds, bottom up, "name / Version: v / [Last Configured: ...] / blank /
// description", with the name in bold 11 pt.
void FillDescription(HWND edit, const MainDialogContext& context, const std::wstring& face) {
  const CPPkg& package = *context.package;
  SetWindowTextW(edit, OrEmpty(package.GetDescription()).c_str());
  MoveCaret(edit, 0);
  Insert(edit, L"\r\n\r\n");
  MoveCaret(edit, 0);
  std::wstring configured = ConfigurationLine(context);
  if (!configured.empty()) {
    Insert(edit, configured);
    MoveCaret(edit, 0);
  }
  Insert(edit, ui::LoadResourceString(IDS_VERSION) + OrEmpty(package.GetVersion()));
  MoveCaret(edit, 0);
  Insert(edit, L"\r\n");
  MoveCaret(edit, 0);
  Insert(edit, OrEmpty(package.GetName()));
  // The control's own count of what was inserted: exactly the name, whatever
  // the code page makes of its characters.
  LONG name_end = CaretPosition(edit);

  CHARFORMATW format = {};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_FACE;
  wcsncpy(format.szFaceName, face.c_str(), LF_FACESIZE - 1);
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SendMessageW(edit, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));

  format = {};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_BOLD | CFM_SIZE;
  format.dwEffects = CFE_BOLD;
  format.yHeight = 220;  // twips: 11 pt
  SendMessageW(edit, EM_SETSEL, 0, name_end);
  SendMessageW(edit, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  SendMessageW(edit, EM_HIDESELECTION, TRUE, 0);
}

void SetDefaultButton(HWND dialog, int id) {
  SendMessageW(dialog, DM_SETDEFID, id, 0);
  SendDlgItemMessageW(dialog, id, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

void HideButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  EnableWindow(button, FALSE);
  ShowWindow(button, SW_HIDE);
  SendMessageW(button, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
}

// The button table: Install and Extract as the permissions allow, with
// Extract offered whenever Install is not, so the dialog always does something.
void ArrangeButtons(HWND dialog, const MainDialogPermissions& permissions) {
  UINT prompt;
  int focus;
  if (permissions.install) {
    focus = IDC_INSTALL;
    prompt = permissions.extract ? IDS_PROMPT_INSTALL_EXTRACT : IDS_PROMPT_INSTALL;
    if (!permissions.extract) HideButton(dialog, IDC_EXTRACT);
    SetDefaultButton(dialog, IDC_INSTALL);
  } else {
    focus = IDC_EXTRACT;
    prompt = IDS_PROMPT_EXTRACT;
    HWND install = GetDlgItem(dialog, IDC_INSTALL);
    RECT place;
    GetWindowRect(install, &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    HideButton(dialog, IDC_INSTALL);
    MoveWindow(GetDlgItem(dialog, IDC_EXTRACT), place.left, place.top, place.right - place.left,
               place.bottom - place.top, TRUE);
    SetDefaultButton(dialog, IDC_EXTRACT);
  }
  SetDlgItemTextW(dialog, IDC_PROMPT, ui::LoadResourceString(prompt).c_str());
  SetFocus(GetDlgItem(dialog, focus));
}

void Initialize(HWND dialog, MainDialogState* state) {
  const MainDialogContext& context = *state->context;
  state->permissions = GetMainDialogPermissions(*context.package);
  std::wstring face = ui::LoadResourceString(IDS_DESCRIPTION_FONT, 63);

  if (context.large_icon) SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(context.large_icon));
  if (context.small_icon) SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(context.small_icon));
  SetWindowTextW(dialog, ui::LoadResourceString(IDS_CAPTION).c_str());

  if (state->permissions.view_contents) {
    HMENU menu = GetSystemMenu(dialog, FALSE);
    if (menu) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      AppendMenuW(menu, MF_STRING, kViewContentsCommand, ui::LoadResourceString(IDS_VIEW_CONTENTS).c_str());
    }
  }

  // Without riched32.dll the control does not exist; the dialog still works.
  state->description = GetDlgItem(dialog, IDC_DESCRIPTION);
  if (state->description) {
    state->description_proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(state->description, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DescriptionProc)));
    FillDescription(state->description, context, face);
  }
  ArrangeButtons(dialog, state->permissions);
}

}  // namespace

MainDialogPermissions GetMainDialogPermissions(const CPPkg& package) {
  MainDialogPermissions permissions;
  permissions.view_contents = !SettingIsOne(package, L"DISABLE_VIEW_CONTENTS");
  permissions.extract = !SettingIsOne(package, L"DISABLE_EXTRACT_BUTTON");
  permissions.install = !SettingIsOne(package, L"DISABLE_INSTALL_BUTTON") &&
                        package.GetInstallCommand() != nullptr;
  // Something must be on offer: Extract stands in when Install is not.
  if (!permissions.install) permissions.extract = true;
  return permissions;
}

UINT MainDialogTemplate(const CPPkg& package) {
  const wchar_t* large = package.GetSetting(L"LARGE_WINDOW");
  return large && wcscmp(large, L"1") == 0 ? IDD_MAIN_LARGE : IDD_MAIN;
}

INT_PTR CALLBACK MainDialog(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* state = new (std::nothrow) MainDialogState;
      if (!state) {
        EndDialog(dialog, 0);
        return TRUE;
      }
      state->context = reinterpret_cast<const MainDialogContext*>(lparam);
      SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
      Initialize(dialog, state);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND: {
      MainDialogState* state = StateOf(dialog);
      if (!state) return FALSE;
      UINT id = LOWORD(wparam);
      // A button that is not offered does nothing, however the command came.
      if ((id == IDC_INSTALL || id == IDC_EXTRACT) && !IsWindowEnabled(GetDlgItem(dialog, id))) return TRUE;
      return MainDialogCommand(dialog, id, *state->context) ? TRUE : FALSE;
    }
    case WM_SYSCOMMAND: {
      MainDialogState* state = StateOf(dialog);
      if (!state || (wparam & 0xFFF0) != kViewContentsCommand || !state->permissions.view_contents) {
        return FALSE;
      }
      ContentsDialog(dialog, *state->context);
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
      return TRUE;
    }
    case WM_DESTROY: {
      MainDialogState* state = StateOf(dialog);
      if (state && state->description && state->description_proc) {
        SetWindowLongPtrW(state->description, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(state->description_proc));
      }
      return FALSE;
    }
    case WM_NCDESTROY:
      delete StateOf(dialog);
      SetWindowLongPtrW(dialog, DWLP_USER, 0);
      return FALSE;
    default:
      return FALSE;
  }
}

void ShowMainDialog(HWND owner, const MainDialogContext& context) {
  if (!context.package) return;
  INT_PTR result = ui::ShowModalDialog(MainDialogTemplate(*context.package), owner, MainDialog,
                                       reinterpret_cast<LPARAM>(&context));
  // A dialog that never came up (no rich edit class, no template) installed
  // nothing: that is a failure, not the run's initial "installed".
  if (result == -1 && context.completion_code) *context.completion_code = 0;
}

}  // namespace brx
