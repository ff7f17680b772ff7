#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace brx {
namespace {

TEST(CodepageTest, AsciiRoundTripsAndUnmappableBecomesDefaultChar) {
  EXPECT_EQ("Setup.exe", platform::WideToAnsi(std::wstring(L"Setup.exe")));
  EXPECT_EQ(L"Setup.exe", platform::AnsiToWide(std::string("Setup.exe")));
  // U+65E5 has no mapping in a Western code page.
  EXPECT_EQ("a?b", platform::WideToAnsi(std::wstring(L"a\x65E5" L"b")));
  EXPECT_EQ("", platform::WideToAnsi(std::wstring()));
}

}  // namespace
}  // namespace brx
