#include "ui/contents_dialog_win.h"

#include <commctrl.h>

#include <string>

#include "archive/zip_file.h"
#include "base/format.h"
#include "platform/codepage.h"
#include "ui/dos_time_win.h"
#include "ui/resource_ids.h"
#include "ui/resources_win.h"

namespace brx {
namespace {

struct Column {
  UINT title_id;
  int width;
  int format;
};

const Column kColumns[] = {
    {IDS_COLUMN_FILENAME, 125, LVCFMT_LEFT},
    {IDS_COLUMN_DATE, 80, LVCFMT_LEFT},
    {IDS_COLUMN_TIME, 80, LVCFMT_LEFT},
    {IDS_COLUMN_SIZE, 80, LVCFMT_RIGHT},
};

void AddColumns(HWND list) {
  for (int i = 0; i < static_cast<int>(ARRAYSIZE(kColumns)); ++i) {
    std::wstring title = ui::LoadResourceString(kColumns[i].title_id, 63);
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = kColumns[i].format;
    column.cx = kColumns[i].width;
    column.pszText = const_cast<wchar_t*>(title.c_str());
    column.iSubItem = i;
    SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
}

void SetCell(HWND list, int row, int column, const std::wstring& text) {
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

// Sizes past 4 GiB in decimal. Not std::to_wstring: it links the C
// library's floating-point printf (some 20 KB) into the stub.
std::wstring Decimal(uint64_t value) {
  wchar_t digits[21];
  wchar_t* end = digits + 21;
  wchar_t* p = end;
  do {
    *--p = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0);
  return std::wstring(p, end);
}

void FillList(HWND list, const brxzip::ZIP_File& archive) {
  uint64_t count = archive.GetEntryCount();
  for (uint64_t i = 0; i < count; ++i) {
    const brxzip::ZIP_FileEntry* entry = archive.GetEntryAt(i);
    if (!entry) continue;
    const wchar_t* name = entry->GetTargetName();
    std::wstring wide_name = name ? name : L"";
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<wchar_t*>(wide_name.c_str());
    int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) continue;
    std::wstring date, time;
    ui::FormatDosDateTime(entry->GetDosDate(), entry->GetDosTime(), &date, &time);
    SetCell(list, row, 1, date);
    SetCell(list, row, 2, time);
    SetCell(list, row, 3, Decimal(entry->GetUncompressedSize()));
  }
}

INT_PTR CALLBACK ContentsDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      auto* context = reinterpret_cast<const MainDialogContext*>(lparam);
      HWND list = GetDlgItem(dialog, IDC_CONTENTS_LIST);
      AddColumns(list);
      if (context->archive) FillList(list, *context->archive);
      SetWindowPos(dialog, nullptr, 0, 0, kContentsMinWidth, kContentsMinHeight,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      return TRUE;
    }
    case WM_SIZE:
      MoveWindow(GetDlgItem(dialog, IDC_CONTENTS_LIST), 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
      return TRUE;
    case WM_GETMINMAXINFO: {
      auto* limits = reinterpret_cast<MINMAXINFO*>(lparam);
      limits->ptMinTrackSize.x = kContentsMinWidth;
      limits->ptMinTrackSize.y = kContentsMinHeight;
      return TRUE;
    }
    case WM_COMMAND:
      return CloseOnlyCommand(dialog, wparam);
    default:
      return FALSE;
  }
}

}  // namespace

void ContentsDialog(HWND owner, const MainDialogContext& context) {
  INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&classes);
  ui::ShowModalDialog(IDD_CONTENTS, owner, ContentsDialogProc,
                      reinterpret_cast<LPARAM>(&context));
}

}  // namespace brx
