#include "base/bounded_string.h"

#include <gtest/gtest.h>

namespace brx {
namespace {

TEST(BoundedStringTest, AppendReportsOverflowAndKeepsContents) {
  BoundedString<5> s;
  EXPECT_TRUE(s.Assign(L"abc"));
  EXPECT_FALSE(s.Append(L"def"));
  EXPECT_STREQ(L"abc", s.get());
  EXPECT_TRUE(s.Append(L"de"));
  EXPECT_STREQ(L"abcde", s.get());
  EXPECT_FALSE(s.Append(L'x'));
  EXPECT_FALSE(s.Assign(L"123456"));
  EXPECT_STREQ(L"abcde", s.get());
}

TEST(BoundedStringTest, AssignCutKeepsCapacityCharacters) {
  BoundedString<4> s;
  EXPECT_FALSE(s.AssignCut(L"abcdef"));
  EXPECT_STREQ(L"abcd", s.get());
  EXPECT_EQ(4u, s.length());
  EXPECT_TRUE(s.AssignCut(L"xy"));
  EXPECT_STREQ(L"xy", s.get());
  EXPECT_TRUE(s.AssignCut(nullptr));
  EXPECT_TRUE(s.empty());
}

}  // namespace
}  // namespace brx
