#include "stub/ui_language.h"

#include <gtest/gtest.h>

namespace brx {
namespace {

TEST(UiLanguageTest, EnglishNamesMapToCodesAnyCase) {
  EXPECT_STREQ(L"ja", UiLanguageCodeForName(L"Japanese"));
  EXPECT_STREQ(L"zh", UiLanguageCodeForName(L"CHINESE"));
  EXPECT_STREQ(L"de", UiLanguageCodeForName(L"german"));
  EXPECT_STREQ(L"fr", UiLanguageCodeForName(L"French"));
  EXPECT_STREQ(L"es", UiLanguageCodeForName(L"Spanish"));
  EXPECT_STREQ(L"it", UiLanguageCodeForName(L"Italian"));
  EXPECT_STREQ(L"en", UiLanguageCodeForName(L"English"));
  EXPECT_STREQ(L"en", UiLanguageCodeForName(L"Japanese2"));
  EXPECT_STREQ(L"en", UiLanguageCodeForName(nullptr));
}

}  // namespace
}  // namespace brx
