// The contents list, the progress window and the folder browser.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "dialog_driver_win.h"
#include "test_package_win.h"
#include "ui/browse_folder_win.h"
#include "ui/contents_dialog_win.h"
#include "ui/dos_time_win.h"
#include "ui/main_dialog_win.h"
#include "ui/progress_dialog_win.h"
#include "ui/resource_ids.h"
#include "ui/resources_win.h"
#include "ui/usage_dialog_win.h"

namespace brxtest {
namespace {

std::wstring Cell(HWND list, int row, int column) {
  wchar_t text[260] = {};
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 260;
  SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return text;
}

SIZE WindowSize(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return {r.right - r.left, r.bottom - r.top};
}

TEST(ContentsDialogTest, ListsEveryEntryInArchiveOrderAndKeepsItsMinimumSize) {
  LoadLibraryW(L"riched32.dll");
  TestPackage pkg;
  TestEntry odd{"b\xe9zier.dat", std::string(1234, 'x')};  // a name in the ANSI code page
  odd.dos_date = (40 << 9) | (7 << 5) | 4;
  odd.dos_time = (23 << 11) | (59 << 5) | 29;
  ASSERT_TRUE(pkg.Build({{"pkg.xml", DefinitionXml("P", "1", "d", "setup.exe")},
                         {"zt_data.xml", PackageDataXml({})},
                         {"drivers/", ""},
                         {"drivers/setup.exe", std::string(70000, 'z')},
                         odd}));
  int32_t completion = 1;
  FakeActions actions;
  brx::MainDialogContext context = pkg.DialogContext(&completion, &actions);
  HWND main = nullptr;
  DialogDriver driver({[&](HWND d) {
                         if (!d) return false;
                         main = d;
                         PostMessageW(d, WM_SYSCOMMAND, brx::kViewContentsCommand, 0);
                         return true;
                       },
                       [&](HWND d) {
                         if (!d || d == main) return false;
                         EXPECT_EQ(L"Package Contents", WindowText(d));
                         HWND list = GetDlgItem(d, IDC_CONTENTS_LIST);
                         HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
                         EXPECT_EQ(4, static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)));
                         const int widths[] = {125, 80, 80, 80};
                         const UINT titles[] = {IDS_COLUMN_FILENAME, IDS_COLUMN_DATE, IDS_COLUMN_TIME,
                                                IDS_COLUMN_SIZE};
                         for (int c = 0; c < 4; ++c) {
                           wchar_t title[64] = {};
                           LVCOLUMNW column = {};
                           column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
                           column.pszText = title;
                           column.cchTextMax = 64;
                           SendMessageW(list, LVM_GETCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
                           EXPECT_EQ(widths[c], column.cx);
                           EXPECT_EQ(brx::ui::LoadResourceString(titles[c]), title);
                           EXPECT_EQ(c == 3 ? LVCFMT_RIGHT : LVCFMT_LEFT, column.fmt & LVCFMT_JUSTIFYMASK);
                         }
                         const wchar_t* names[] = {L"pkg.xml", L"zt_data.xml", L"drivers/", L"drivers/setup.exe",
                                                   L"b\u00e9zier.dat"};
                         EXPECT_EQ(5, static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)));
                         for (int r = 0; r < 5; ++r) EXPECT_EQ(names[r], Cell(list, r, 0));
                         EXPECT_EQ(L"0", Cell(list, 2, 3));
                         EXPECT_EQ(L"70000", Cell(list, 3, 3));
                         std::wstring date, time;
                         brx::ui::FormatDosDateTime(odd.dos_date, odd.dos_time, &date, &time);
                         EXPECT_EQ(date, Cell(list, 4, 1));
                         EXPECT_EQ(time, Cell(list, 4, 2));
                         EXPECT_EQ(L"1234", Cell(list, 4, 3));

                         SIZE opened = WindowSize(d);
                         EXPECT_EQ(brx::kContentsMinWidth, opened.cx);
                         EXPECT_EQ(brx::kContentsMinHeight, opened.cy);
                         SetWindowPos(d, nullptr, 0, 0, 600, 450, SWP_NOMOVE | SWP_NOZORDER);
                         RECT client, list_rect;
                         GetClientRect(d, &client);
                         GetClientRect(list, &list_rect);
                         EXPECT_EQ(SIZE({client.right, client.bottom}).cx, WindowSize(list).cx);
                         EXPECT_EQ(client.bottom, WindowSize(list).cy);
                         SetWindowPos(d, nullptr, 0, 0, 120, 90, SWP_NOMOVE | SWP_NOZORDER);
                         EXPECT_GE(WindowSize(d).cx, brx::kContentsMinWidth);
                         EXPECT_GE(WindowSize(d).cy, brx::kContentsMinHeight);
                         PostKey(VK_ESCAPE);
                         return true;
                       },
                       [&](HWND d) {
                         if (d != main) return false;
                         EXPECT_EQ(3, completion);
                         completion = 1;
                         PostCommand(d, IDC_CLOSE);
                         return true;
                       }});
  brx::ShowMainDialog(GetDesktopWindow(), context);
  EXPECT_TRUE(driver.finished());
  EXPECT_FALSE(driver.timed_out());
  EXPECT_EQ(3, completion);
  EXPECT_EQ(0, actions.calls);
}

TEST(ProgressDialogTest, CentredOverItsOwnerWithTheDefaultRange) {
  HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 100, 80, 500, 300, nullptr,
                               nullptr, nullptr, nullptr);
  ASSERT_TRUE(owner);
  HWND progress = brx::ProgressDialog(owner);
  ASSERT_TRUE(progress);
  EXPECT_TRUE(IsWindowVisible(progress));
  EXPECT_EQ(L"Extraction Progress", WindowText(progress));
  RECT r;
  GetWindowRect(progress, &r);
  SIZE size = WindowSize(progress);
  EXPECT_EQ(100 + (500 - size.cx) / 2, r.left);
  EXPECT_EQ(80 + (300 - size.cy) / 2, r.top);
  HWND bar = GetDlgItem(progress, IDC_PROGRESS_BAR);
  EXPECT_EQ(0, static_cast<int>(SendMessageW(bar, PBM_GETRANGE, TRUE, 0)));
  EXPECT_EQ(100, static_cast<int>(SendMessageW(bar, PBM_GETRANGE, FALSE, 0)));
  DestroyWindow(progress);
  DestroyWindow(owner);

  // Without an owner the screen is the reference.
  progress = brx::ProgressDialog(nullptr);
  ASSERT_TRUE(progress);
  GetWindowRect(progress, &r);
  size = WindowSize(progress);
  EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2, r.left);
  EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2, r.top);
  DestroyWindow(progress);
}

// (Wine's browser does not reliably honour the initial selection, so the
// preselected folder is not checked here.)
TEST(BrowseForExtractFolderTest, ShowsThePromptAndCancelChoosesNothing) {
  std::wstring prompt = brx::ui::LoadResourceString(IDS_BROWSE_PROMPT);
  bool saw_prompt = false;
  DialogDriver driver({[&](HWND d) {
    if (!d) return false;
    saw_prompt = FindStaticText(d, prompt) == prompt;
    PostCommand(d, IDCANCEL);
    return true;
  }});
  wchar_t folder[MAX_PATH] = L"untouched";
  EXPECT_FALSE(brx::BrowseForExtractFolder(nullptr, folder));
  EXPECT_TRUE(driver.finished());
  EXPECT_TRUE(saw_prompt);
}

TEST(UsageDialogTest, CloseButtonEndsWithThree) {
  int32_t completion = 1;
  DialogDriver driver({[&](HWND d) {
    if (!d) return false;
    EXPECT_EQ(L"Command Line Usage for Tervalis Package Setup", WindowText(d));
    PostKey(VK_RETURN);  // Close is the default button
    return true;
  }});
  brx::UsageDialog(GetDesktopWindow(), &completion);
  EXPECT_TRUE(driver.finished());
  EXPECT_EQ(3, completion);
}

}  // namespace
}  // namespace brxtest
