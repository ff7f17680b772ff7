// The setup dialog through its real window: buttons, prompt, description box,
// system menu and the commands behind Install, Extract and Close.
#include "ui/main_dialog_win.h"

#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include "dialog_driver_win.h"
#include "test_package_win.h"
#include "ui/dos_time_win.h"
#include "ui/resource_ids.h"
#include "ui/resources_win.h"

namespace brxtest {
namespace {

using Settings = std::vector<std::pair<std::string, std::string>>;

class MainDialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { LoadLibraryW(L"riched32.dll"); }

  void SetUp() override {
    context_.completion_code = &completion_;
    context_.reboot = &reboot_;
    context_.actions = &actions_;
  }

  // Builds the package and runs the dialog with the driver's steps.
  void Run(TestPackage& pkg, std::vector<DialogDriver::Step> steps) {
    context_.package = &pkg.package;
    context_.archive = &pkg.archive;
    DialogDriver driver(std::move(steps));
    brx::ShowMainDialog(GetDesktopWindow(), context_);
    EXPECT_TRUE(driver.finished());
    EXPECT_FALSE(driver.timed_out());
  }

  brx::MainDialogContext context_;
  FakeActions actions_;
  int32_t completion_ = 1;
  bool reboot_ = false;
};

std::wstring Str(UINT id) { return brx::ui::LoadResourceString(id); }

bool Visible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }
bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
int DefaultId(HWND dialog) { return LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)); }

TEST_F(MainDialogTest, ButtonTableFollowsThePermissions) {
  struct Row {
    Settings settings;
    const char* command;
    bool install_shown, extract_shown;
    int focus;
    UINT prompt;
  };
  const Row rows[] = {
      {{}, "setup.exe", true, true, IDC_INSTALL, IDS_PROMPT_INSTALL_EXTRACT},
      // Values other than exactly "1" disable nothing.
      {{{"DISABLE_EXTRACT_BUTTON", "01"}, {"DISABLE_INSTALL_BUTTON", "true"}}, "setup.exe", true, true,
       IDC_INSTALL, IDS_PROMPT_INSTALL_EXTRACT},
      {{{"DISABLE_EXTRACT_BUTTON", "1"}}, "setup.exe", true, false, IDC_INSTALL, IDS_PROMPT_INSTALL},
      {{{"DISABLE_INSTALL_BUTTON", "1"}}, "setup.exe", false, true, IDC_EXTRACT, IDS_PROMPT_EXTRACT},
      // Extract stays offered when both are disabled, and without a command.
      {{{"DISABLE_INSTALL_BUTTON", "1"}, {"DISABLE_EXTRACT_BUTTON", "1"}}, "setup.exe", false, true,
       IDC_EXTRACT, IDS_PROMPT_EXTRACT},
      {{}, nullptr, false, true, IDC_EXTRACT, IDS_PROMPT_EXTRACT},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.settings.empty() ? std::string("defaults") : row.settings[0].first);
    TestPackage pkg;
    ASSERT_TRUE(pkg.Build({{"pkg.xml", DefinitionXml("Pkg", "1.0", "d", row.command)},
                           {"zt_data.xml", PackageDataXml(row.settings)}}));
    Run(pkg, {[&](HWND d) {
                if (!d) return false;
                EXPECT_EQ(Str(IDS_CAPTION), WindowText(d));
                EXPECT_EQ(Str(row.prompt), ItemText(d, IDC_PROMPT));
                EXPECT_EQ(row.install_shown, Visible(d, IDC_INSTALL));
                EXPECT_EQ(row.install_shown, Enabled(d, IDC_INSTALL));
                EXPECT_EQ(row.extract_shown, Visible(d, IDC_EXTRACT));
                EXPECT_EQ(row.extract_shown, Enabled(d, IDC_EXTRACT));
                EXPECT_EQ(row.focus, DefaultId(d));
                EXPECT_EQ(GetDlgItem(d, row.focus), GetFocus());
                EXPECT_TRUE(GetWindowLongW(GetDlgItem(d, row.focus), GWL_STYLE) & BS_DEFPUSHBUTTON);
                // A button that is not offered ignores its command, however it comes.
                if (!row.install_shown) SendMessageW(d, WM_COMMAND, IDC_INSTALL, 0);
                if (!row.extract_shown) SendMessageW(d, WM_COMMAND, IDC_EXTRACT, 0);
                if (!row.install_shown) {
                  // Extract stands where Install stood: above its template place.
                  RECT extract = ItemRect(d, IDC_EXTRACT), install = ItemRect(d, IDC_INSTALL);
                  EXPECT_EQ(install.left, extract.left);
                  EXPECT_EQ(install.top, extract.top);
                  EXPECT_EQ(install.bottom - install.top, extract.bottom - extract.top);
                }
                PostKey(VK_ESCAPE);
                return true;
              }});
    EXPECT_EQ(3, completion_);
    EXPECT_EQ(0, actions_.calls);
  }
}

TEST_F(MainDialogTest, DescriptionBoxLayoutBoldNameAndFocus) {
  TestPackage pkg;
  // A name outside ASCII, and a configuration tool whose configuration file
  // the archive holds; the file's stamp is the one shown.
  TestEntry tool{"settings.ini", "[a]\r\nb=1\r\n"};
  tool.dos_date = (45 << 9) | (12 << 5) | 24;  // 2025-12-24
  tool.dos_time = (18 << 11) | (30 << 5);      // 18:30:00
  ASSERT_TRUE(pkg.Build({{"pkg.xml", DefinitionXml("Zubeh\xc3\xb6r f\xc3\xbcr B\xc3\xbcro", "2.10",
                                                   "The description.", "setup.exe")},
                         {"zt_data.xml", PackageDataXml({}, nullptr, "config.exe", "settings.ini")},
                         {"config.exe", "MZ"},
                         tool}));
  std::wstring date, time;
  brx::ui::FormatDosDateTime(tool.dos_date, tool.dos_time, &date, &time);
  const std::wstring name = L"Zubeh\u00f6r f\u00fcr B\u00fcro";
  const std::wstring expected = name + L"\r\n" + Str(IDS_VERSION) + L"2.10\r\n" + Str(IDS_LAST_CONFIGURED) +
                                date + L", " + time + L"\r\n\r\nThe description.";
  Run(pkg, {[&](HWND d) {
              if (!d) return false;
              HWND box = GetDlgItem(d, IDC_DESCRIPTION);
              EXPECT_EQ(expected, WindowText(box));
              auto format_at = [&](LONG start, LONG end) {
                CHARFORMATW f = {};
                f.cbSize = sizeof(f);
                SendMessageW(box, EM_SETSEL, start, end);
                SendMessageW(box, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&f));
                return f;
              };
              LONG n = static_cast<LONG>(name.size());
              // The bold range is the selection left behind: exactly the name.
              CHARRANGE selected = {-1, -1};
              SendMessageW(box, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selected));
              EXPECT_EQ(0, selected.cpMin);
              EXPECT_EQ(n, selected.cpMax);
              CHARFORMATW bold = format_at(0, n);
              EXPECT_TRUE((bold.dwMask & CFM_BOLD) && (bold.dwEffects & CFE_BOLD));
              EXPECT_EQ(220, bold.yHeight);
              EXPECT_STREQ(L"Arial", bold.szFaceName);
              // (The control reports the line break after a bold run as bold too;
              // the next line is what shows.)
              CHARFORMATW after = format_at(n + 2, n + 3);
              EXPECT_FALSE(after.dwEffects & CFE_BOLD);
              EXPECT_NE(220, after.yHeight);
              EXPECT_STREQ(L"Arial", format_at(n + 1, -1).szFaceName);

              // Clicking into the box hands the focus straight back.
              HWND install = GetDlgItem(d, IDC_INSTALL);
              SetFocus(install);
              SendMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
              SendMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
              SetFocus(box);
              EXPECT_EQ(install, GetFocus());

              // The system menu offers View Contents after a separator.
              HMENU menu = GetSystemMenu(d, FALSE);
              int count = GetMenuItemCount(menu);
              EXPECT_EQ(brx::kViewContentsCommand, GetMenuItemID(menu, count - 1));
              EXPECT_EQ(static_cast<UINT>(MF_SEPARATOR), GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR);
              wchar_t entry[64] = {};
              GetMenuStringW(menu, count - 1, entry, 64, MF_BYPOSITION);
              EXPECT_EQ(Str(IDS_VIEW_CONTENTS), entry);
              PostCommand(d, IDC_CLOSE);
              return true;
            }});
  EXPECT_EQ(3, completion_);
}

TEST_F(MainDialogTest, BarePackageNoViewContentsAndLargeTemplate) {
  TestPackage pkg;
  // No description, no version, no configuration entry in the archive.
  ASSERT_TRUE(pkg.Build({{"pkg.xml", DefinitionXml("Bare", nullptr, nullptr, "setup.exe")},
                         {"zt_data.xml", PackageDataXml({{"DISABLE_VIEW_CONTENTS", "1"}, {"LARGE_WINDOW", "1"}},
                                                        nullptr, "missing.exe")}}));
  EXPECT_EQ(static_cast<UINT>(IDD_MAIN_LARGE), brx::MainDialogTemplate(pkg.package));
  Run(pkg, {[&](HWND d) {
              if (!d) return false;
              EXPECT_EQ(L"Bare\r\n" + Str(IDS_VERSION) + L"\r\n\r\n", ItemText(d, IDC_DESCRIPTION));
              HMENU menu = GetSystemMenu(d, FALSE);
              EXPECT_EQ(-1, static_cast<int>(GetMenuState(menu, brx::kViewContentsCommand, MF_BYCOMMAND)));
              EXPECT_FALSE(GetMenuState(menu, GetMenuItemCount(menu) - 1, MF_BYPOSITION) & MF_SEPARATOR);
              // The large template's box is about twice the height of the normal one.
              RECT box = ItemRect(d, IDC_DESCRIPTION), dialog;
              GetClientRect(d, &dialog);
              EXPECT_GT((box.bottom - box.top) * 10, (dialog.bottom - dialog.top) * 8);
              // A synthesised View Contents command opens nothing.
              SendMessageW(d, WM_SYSCOMMAND, brx::kViewContentsCommand, 0);
              EXPECT_EQ(d, ActiveDialog());
              SendMessageW(d, WM_CLOSE, 0, 0);
              return true;
            }});
  EXPECT_EQ(3, completion_);
}

TEST_F(MainDialogTest, ExtractKeepsTheDialogAndCloseStillGivesThree) {
  TestPackage pkg;
  ASSERT_TRUE(pkg.Build({{"pkg.xml", DefinitionXml("P", "1", "d", "setup.exe")}}));
  HWND dialog = nullptr;
  Run(pkg, {[&](HWND d) {
              if (!d) return false;
              dialog = d;
              PostCommand(d, IDC_EXTRACT);
              return true;
            },
            [&](HWND d) {
              if (actions_.calls == 0) return false;
              EXPECT_EQ(1, completion_);
              EXPECT_EQ(dialog, d);
              PostCommand(d, IDC_CLOSE);
              return true;
            }});
  EXPECT_EQ(1, actions_.calls);
  EXPECT_EQ(dialog, actions_.last_owner);
  EXPECT_TRUE(actions_.last_target_null);
  EXPECT_FALSE(actions_.last_install);
  EXPECT_EQ(3, completion_);
}

TEST_F(MainDialogTest, FailedExtractionThatEndsTheDialogReportsFailure) {
  TestPackage pkg;
  ASSERT_TRUE(pkg.Build({{"pkg.xml", DefinitionXml("P", "1", "d", "setup.exe")}}));
  actions_.result = 0;
  actions_.destroy_owner = true;
  Run(pkg, {[&](HWND d) {
    if (!d) return false;
    PostCommand(d, IDC_EXTRACT);
    return true;
  }});
  EXPECT_EQ(1, actions_.calls);
  EXPECT_EQ(0, completion_);
}

TEST_F(MainDialogTest, LicenceDeclinedOnEnterThenAcceptedLeadsToInstallAndReboot) {
  TestPackage pkg;
  ASSERT_TRUE(pkg.Build({{"pkg.xml", DefinitionXml("P", "1", "d", "setup.exe")},
                         {"zt_data.xml", PackageDataXml({}, "license.txt")},
                         {"license.txt", "one\ntwo\r\nthree"}}));
  actions_.result = 2;
  actions_.destroy_owner = true;
  reboot_ = true;
  HWND main = nullptr;
  Run(pkg, {[&](HWND d) {
              if (!d) return false;
              main = d;
              PostCommand(d, IDC_INSTALL);
              return true;
            },
            [&](HWND d) {
              if (!d || d == main) return false;
              EXPECT_EQ(L"License Agreement", WindowText(d));
              EXPECT_EQ(L"one\r\ntwo\r\r\nthree", ItemText(d, IDC_LICENSE_TEXT));
              EXPECT_EQ(GetDlgItem(d, IDCANCEL), GetFocus());
              PostKey(VK_RETURN);
              return true;
            },
            [&](HWND d) {
              if (d != main) return false;
              EXPECT_EQ(3, completion_);
              EXPECT_EQ(0, actions_.calls);
              PostCommand(d, IDC_INSTALL);
              return true;
            },
            [&](HWND d) {
              if (!d || d == main) return false;
              PostCommand(d, IDOK);
              return true;
            }});
  EXPECT_EQ(1, actions_.calls);
  EXPECT_TRUE(actions_.last_install);
  EXPECT_EQ(2, completion_);
  EXPECT_EQ(1, actions_.reboots);
}

// ctest runs every case in a process of its own, where nothing has loaded
// riched32.dll; the stub goes on without it when it cannot be loaded.
TEST(MainDialogWithoutRichEditTest, DialogThatCannotBeCreatedIsAFailure) {
  if (GetModuleHandleW(L"riched32.dll")) GTEST_SKIP() << "riched32.dll already loaded in this process";
  TestPackage pkg;
  ASSERT_TRUE(pkg.Build({{"pkg.xml", DefinitionXml("P", "1", "d", "setup.exe")}}));
  int32_t completion = 1;
  brx::MainDialogContext context = pkg.DialogContext(&completion, nullptr);
  // Should a dialog come up after all, close it rather than hang.
  DialogDriver driver({[](HWND d) {
    if (d) PostCommand(d, IDCANCEL);
    return d != nullptr;
  }});
  brx::ShowMainDialog(GetDesktopWindow(), context);
  EXPECT_EQ(0, completion);
}

}  // namespace
}  // namespace brxtest
