#include "base/format.h"

#include <gtest/gtest.h>

#include <stdint.h>

#include <string>

namespace brx {
namespace {

enum Color { kRed = 3 };

struct Case {
  std::wstring got;
  const wchar_t* want;
};

// One row per conversion the product's format strings use, then what
// happens to everything else.
TEST(FormatTest, ConversionsTheProductUses) {
  const Case cases[] = {
      {Format(L"[%s|%hs|%s]", L"wide", "ab", std::wstring(L"own")), L"[wide|ab|own]"},
      {Format(L"%s %hs", static_cast<const wchar_t*>(nullptr), nullptr), L"(null) (null)"},
      {Format(L"[%4s][%6hs]", L"ab", "ab"), L"[  ab][    ab]"},
      {Format(L"%d %d %d", -5, INT32_MIN, kRed), L"-5 -2147483648 3"},
      {Format(L"%u %lu %lu", 42u, 0xFFFFFFFFul, uint32_t{7}), L"42 4294967295 7"},
      {Format(L"%X %0X %08X", 255, 42, 0x1234ABu), L"FF 2A 001234AB"},
      {Format(L"%02dhh:%02dmm:%02ds", 1, 2, 5), L"01hh:02mm:05s"},
      {Format(L"[%3d][%03d][%02d]", -3, -3, 123), L"[ -3][-03][123]"},
      // int size: a negative int in %X and %u prints its 32-bit pattern.
      {Format(L"%X %u", -1, -1), L"FFFFFFFF 4294967295"},
      // A 64-bit value is printed when 32 bits hold it, else marked.
      {Format(L"%d %u", int64_t{5}, size_t{12}), L"5 12"},
      {Format(L"%d", int64_t{1} << 40), L"%!d(overflow)"},
      {Format(L"%d%%", 100), L"100%"},
      // Types are checked: nothing is read through a wrong one.
      {Format(L"n=%d", L"text"), L"n=%!d(wstring)"},
      {Format(L"%s", "narrow given to wide"), L"%!s(string)"},
      {Format(L"%hs", L"wide given to narrow"), L"%!hs(wstring)"},
      {Format(L"%s", 5), L"%!s(int)"},
      {Format(L"%X", nullptr), L"%!X(null)"},
      {Format(L"a=%d b=%d", 1), L"a=1 b=%!d(missing)"},
      {Format(L"%d", 1, 2, 3), L"1%!(extra 2)"},
      // Directives the product does not use are marked and take no argument.
      {Format(L"%x %c %p %.3s %-4s %ls %n|%d", 9), L"%!x(unsupported) %!c(unsupported) %!p(unsupported) "
                                                    L"%!.(unsupported)3s %!-(unsupported)4s "
                                                    L"%!ls(unsupported) %!n(unsupported)|9"},
      {Format(L"%0s %hd", L"x", 1), L"%!0s(unsupported) %!hd(unsupported)%!(extra 2)"},
      {Format(L"tail %"), L"tail %!(incomplete)"},
      {Format(nullptr, 1), L""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.want, c.got);
}

TEST(FormatTest, TextIsWholeAndNarrowTextGoesThroughTheCodePage) {
  std::wstring big(5000, L'q');
  EXPECT_EQ(L"<" + big + L">", Format(L"<%s>", big));
  // An embedded terminator in a std::wstring is part of its text.
  EXPECT_EQ(std::wstring(L"a\0b", 3), Format(L"%s", std::wstring(L"a\0b", 3)));
  // High narrow bytes go through the ANSI code page, not sign extension.
  EXPECT_EQ(std::wstring(1, static_cast<wchar_t>(0xE9)), Format(L"%hs", "\xE9"));
}

// The log's form: a value's control characters are escaped, the format
// string's own are not, and every other character stays.
TEST(FormatTest, EscapedValuesStayOneLineFragment) {
  const Case cases[] = {
      {FormatEscaped(L"[%s]\r\n", L"x\r\nReturn Code (1)\r\n"), L"[x\\r\\nReturn Code (1)\\r\\n]\r\n"},
      {FormatEscaped(L"%s", L"a\tb\x1b[2Jc\x7f\x85"), L"a\\tb\\x1B[2Jc\\x7F\\x85"},
      {FormatEscaped(L"%s", std::wstring(L"nul\0!", 5)), L"nul\\x00!"},
      {FormatEscaped(L"%hs|%d", "n\narrow", 7), L"n\\narrow|7"},
      {FormatEscaped(L"%s", L"C:\\Temp\\{X}\\setup.exe \"a b\" \x00e9\x00a0\x4e2d"),
       L"C:\\Temp\\{X}\\setup.exe \"a b\" \x00e9\x00a0\x4e2d"},
      {FormatEscaped(L"%4s", L"\n"), L"  \\n"},
      {Format(L"%s", L"x\r\n"), L"x\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.want, c.got);
}

}  // namespace
}  // namespace brx
