#include "platform/local_time.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "platform/guid.h"

namespace {

using brx::platform::LocalTimeParts;

TEST(LocalTimeTest, IsoTimeCarriesTheOffset) {
  struct {
    LocalTimeParts parts;
    const wchar_t* text;
  } cases[] = {
      {{2026, 12, 8, 14, 3, 5, 60}, L"2026-12-08T14:03:05+01:00"},
      {{2026, 1, 31, 0, 0, 0, 0}, L"2026-01-31T00:00:00+00:00"},
      {{2026, 7, 1, 23, 59, 59, -210}, L"2026-07-01T23:59:59-03:30"},
      {{2026, 7, 1, 9, 5, 0, 345}, L"2026-07-01T09:05:00+05:45"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.text, brx::platform::FormatIsoLocalTime(c.parts));
  std::wstring now = brx::platform::LocalIsoTimeText();
  EXPECT_TRUE(std::regex_match(std::string(now.begin(), now.end()),
                               std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[+-][0-9]{2}:[0-9]{2}")))
      << std::string(now.begin(), now.end());
}

TEST(GuidTest, NewGuidsAreFreshAndInRegistryForm) {
  std::wstring a = brx::platform::NewGuidText(), b = brx::platform::NewGuidText();
  EXPECT_NE(a, b);
  EXPECT_TRUE(std::regex_match(std::string(a.begin(), a.end()),
                               std::regex("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}")))
      << std::string(a.begin(), a.end());
}

}  // namespace
