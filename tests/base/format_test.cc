#include "base/format.h"

#include <gtest/gtest.h>

#include <stdint.h>

#include <string>

namespace brx {
namespace {

enum Color { kRed = 3 };

TEST(FormatTest, StringsFollowTheWideConventions) {
  const char* narrow = "ab";
  std::wstring owned = L"own";
  EXPECT_EQ(L"[wide|ab|ab|own]", Format(L"[%s|%hs|%S|%s]", L"wide", narrow, narrow, owned));
  EXPECT_EQ(L"wide-w", Format(L"%ls-%ws", L"wide", L"w"));
  EXPECT_EQ(L"abc", Format(L"%.3s", L"abcdef"));
  EXPECT_EQ(L"ab", Format(L"%.2hs", "abcdef"));
  EXPECT_EQ(L"  ab|ab  |", Format(L"%4s|%-4s|", L"ab", L"ab"));
  EXPECT_EQ(L"(null) (null)", Format(L"%s %hs", static_cast<const wchar_t*>(nullptr), nullptr));
  // An embedded terminator in a std::wstring is part of its text.
  EXPECT_EQ(std::wstring(L"a\0b", 3), Format(L"%s", std::wstring(L"a\0b", 3)));
  // High narrow bytes go through the ANSI code page, not sign extension.
  EXPECT_EQ(std::wstring(1, static_cast<wchar_t>(0xE9)), Format(L"%hs", "\xE9"));
}

TEST(FormatTest, IntegersAsTheLogUsesThem) {
  EXPECT_EQ(L"-5 7 42", Format(L"%d %i %u", -5, 7, 42u));
  EXPECT_EQ(L"4294967295", Format(L"%lu", 0xFFFFFFFFul));
  EXPECT_EQ(L"-1", Format(L"%ld", -1L));
  EXPECT_EQ(L"ff FF 0000002A 2A", Format(L"%x %X %08X %0X", 255, 255, 42, 42));
  EXPECT_EQ(L"07:05:09", Format(L"%02d:%02d:%02d", 7, 5, 9));
  EXPECT_EQ(L"[   -3][-3   ][-0003][+3][003]", Format(L"[%5d][%-5d][%05d][%+d][%.3d]", -3, -3, -3, 3, 3));
  EXPECT_EQ(L"0x1f 017", Format(L"%#x %#o", 31, 15));
  // int size: a negative int in %X and %u prints its 32-bit pattern.
  EXPECT_EQ(L"FFFFFFFF 4294967295", Format(L"%X %u", -1, -1));
  EXPECT_EQ(L"-2147483648", Format(L"%d", INT32_MIN));
  EXPECT_EQ(L"18446744073709551615 -9", Format(L"%llu %I64d", UINT64_MAX, int64_t{-9}));
  EXPECT_EQ(L"12 3", Format(L"%zu %d", size_t{12}, kRed));
  EXPECT_EQ(L"[  7]", Format(L"[%*d]", 3, 7));
  EXPECT_EQ(L"100%", Format(L"%d%%", 100));
}

TEST(FormatTest, CharactersAndPointers) {
  EXPECT_EQ(L"x y z", Format(L"%c %hc %C", L'x', 'y', 'z'));
  EXPECT_EQ(std::wstring(sizeof(void*) * 2, L'0'), Format(L"%p", static_cast<void*>(nullptr)));
  EXPECT_EQ(L"%!.2f(unsupported) 1", Format(L"%.2f %d", 1));
}

TEST(FormatTest, MismatchesShowAMarkerInsteadOfReadingMemory) {
  EXPECT_EQ(L"n=%!d(wstring)", Format(L"n=%d", L"text"));
  EXPECT_EQ(L"%!s(string)", Format(L"%s", "narrow given to wide"));
  EXPECT_EQ(L"%!hs(wstring)", Format(L"%hs", L"wide given to narrow"));
  EXPECT_EQ(L"%!s(int)", Format(L"%s", 5));
  EXPECT_EQ(L"a=1 b=%!d(missing)", Format(L"a=%d b=%d", 1));
  EXPECT_EQ(L"1%!(extra 2)", Format(L"%d", 1, 2, 3));
  EXPECT_EQ(L"%!n(unsupported)", Format(L"%n"));
  EXPECT_EQ(L"tail %!(incomplete)", Format(L"tail %"));
  // A 64-bit value that a 32-bit conversion would cut is not printed wrongly.
  EXPECT_EQ(L"%!08X(wstring)", Format(L"%08X", L"s"));
  EXPECT_EQ(L"%!d(overflow)", Format(L"%d", int64_t{1} << 40));
  EXPECT_EQ(L"5", Format(L"%d", int64_t{5}));
  EXPECT_EQ(L"", Format(nullptr, 1));
}

TEST(FormatTest, LongOutputIsNotLimited) {
  std::wstring big(5000, L'q');
  std::wstring out = Format(L"<%s>", big);
  ASSERT_EQ(5002u, out.size());
  EXPECT_EQ(L'>', out.back());
}

}  // namespace
}  // namespace brx
