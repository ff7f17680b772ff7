// The native build's upper-case table against Windows' own mapping, for every
// character of the Basic Multilingual Plane: where they differ, brxpack and
// the stub would disagree on which names are one.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/codepage.h"

namespace brx {
namespace platform {
namespace {

TEST(UpperCaseTable, MatchesTheSystemsInvariantMapping) {
  std::wstring mismatches;
  int count = 0;
  for (unsigned c = 1; c <= 0xFFFF; ++c) {
    wchar_t in = static_cast<wchar_t>(c), system = 0;
    if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, &in, 1, &system, 1) != 1) system = in;
    wchar_t table = UpperCaseByTable(in);
    if (table == system) continue;
    if (++count <= 40) {
      wchar_t row[48];
      wsprintfW(row, L"U+%04X: table U+%04X, system U+%04X\n", c, static_cast<unsigned>(table),
                static_cast<unsigned>(system));
      mismatches += row;
    }
  }
  EXPECT_EQ(0, count) << WideToAnsi(mismatches);
}

}  // namespace
}  // namespace platform
}  // namespace brx
