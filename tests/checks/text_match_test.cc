#include "checks/text_match.h"

#include <gtest/gtest.h>

namespace brx {
namespace checks {
namespace {

TEST(TextMatch, TrimTrailingSpaceRemovesBlanksTabsAndLineEnds) {
  wchar_t text[] = L" Xen \t\r\n \r\n";
  TrimTrailingSpace(text);
  EXPECT_STREQ(L" Xen", text);
  wchar_t blank[] = L" \t\r\n";
  TrimTrailingSpace(blank);
  EXPECT_STREQ(L"", blank);
  TrimTrailingSpace(nullptr);
}

TEST(TextMatch, FindTextNoCaseFoldsAsciiOnly) {
  EXPECT_TRUE(FindTextNoCase(L"VMware, Inc.", L"VMWare"));
  EXPECT_TRUE(FindTextNoCase(L"xfirmware:MGXy", L"firmware:mgx"));
  EXPECT_TRUE(FindTextNoCase(L"abc", L"abc"));
  EXPECT_FALSE(FindTextNoCase(L"ab", L"abc"));
  EXPECT_FALSE(FindTextNoCase(L"abc", L""));
  EXPECT_FALSE(FindTextNoCase(nullptr, L"a"));
  // Letters outside A to Z compare exactly: "\u00c9" is not "\u00e9".
  EXPECT_FALSE(FindTextNoCase(L"caf\u00c9", L"caf\u00e9"));
  EXPECT_TRUE(EqualTextNoCase(L"Firmware:System", L"firmware:system"));
  EXPECT_FALSE(EqualTextNoCase(L"firmware:system2", L"firmware:system"));
  EXPECT_FALSE(EqualTextNoCase(L"firmware:syste", L"firmware:system"));
}

}  // namespace
}  // namespace checks
}  // namespace brx
