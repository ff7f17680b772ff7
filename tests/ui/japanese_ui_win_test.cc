// Run with a Japanese user interface (LC_ALL=ja_JP.UTF-8 under Wine): the
// stub's messages and dialogs come up in Japanese, the licence in English.
#include <windows.h>

#include <gtest/gtest.h>

#include "dialog_driver_win.h"
#include "test_package_win.h"
#include "ui/main_dialog_win.h"
#include "ui/message_box_win.h"
#include "ui/resource_ids.h"

namespace brxtest {
namespace {

class JapaneseUiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LANG_JAPANESE, PRIMARYLANGID(GetUserDefaultUILanguage()))
        << "this set needs a Japanese user interface language";
  }
};

TEST_F(JapaneseUiTest, NoPackageMessageInJapanese) {
  std::wstring caption, text;
  DialogDriver driver({[&](HWND d) {
    if (!d) return false;
    caption = WindowText(d);
    text = ItemText(d, 0xFFFF);
    PostCommand(d, IDOK);
    return true;
  }});
  brx::ShowResourceMessage(nullptr, IDS_NO_PACKAGE, IDS_CAPTION, MB_ICONHAND);
  EXPECT_TRUE(driver.finished());
  EXPECT_EQ(L"パッケージセットアップ", caption);
  EXPECT_EQ(L"パッケージの定義が見つかりません。 このファイルは、有効なパッケージではありません。", text);
}

TEST_F(JapaneseUiTest, SetupDialogInJapaneseAndTheLicenceInEnglish) {
  LoadLibraryW(L"riched32.dll");
  TestPackage pkg;
  ASSERT_TRUE(pkg.Build({{"pkg.xml", DefinitionXml("P", "1", "d", "setup.exe")},
                         {"zt_data.xml", PackageDataXml({}, "license.txt")},
                         {"license.txt", "terms"}}));
  int32_t completion = 1;
  FakeActions actions;
  brx::MainDialogContext context = pkg.DialogContext(&completion, &actions);
  HWND main = nullptr;
  DialogDriver driver({[&](HWND d) {
                         if (!d) return false;
                         main = d;
                         EXPECT_EQ(L"パッケージセットアップ", WindowText(d));
                         EXPECT_EQ(L"インストール(&I)", ItemText(d, IDC_INSTALL));
                         EXPECT_EQ(L"解凍(&E)...", ItemText(d, IDC_EXTRACT));
                         EXPECT_EQ(L"閉じる(&C)", ItemText(d, IDC_CLOSE));
                         EXPECT_EQ(0u, ItemText(d, IDC_PROMPT).find(L"セットアップはこのパッケージ"));
                         PostCommand(d, IDC_EXTRACT);
                         return true;
                       },
                       [&](HWND d) {
                         if (!d || d == main) return false;
                         EXPECT_EQ(L"License Agreement", WindowText(d));
                         PostCommand(d, IDCANCEL);
                         return true;
                       },
                       [&](HWND d) {
                         if (d != main) return false;
                         PostCommand(d, IDC_CLOSE);
                         return true;
                       }});
  brx::ShowMainDialog(GetDesktopWindow(), context);
  EXPECT_TRUE(driver.finished());
  EXPECT_EQ(3, completion);
  EXPECT_EQ(0, actions.calls);
}

}  // namespace
}  // namespace brxtest
