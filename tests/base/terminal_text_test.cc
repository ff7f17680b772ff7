// What reaches a terminal from a package or a log: characters a terminal acts
// on are shown as '?' (plain text) or escaped (JSON), everything else as is.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "base/terminal_text.h"

namespace brx {
namespace {

TEST(TerminalText, ControlsAreShownAndTextIsKept) {
  struct Row {
    std::wstring in;
    const char* shown;
  };
  const Row rows[] = {
      {L"setup.exe", "setup.exe"},
      {L"\x1b]0;owned\x07name", "?]0;owned?name"},          // window title (OSC ... BEL)
      {L"a\x1b[2J\x1b[1;1Hb", "a?[2J?[1;1Hb"},              // clear the screen, move the cursor
      {L"line\r\nforged", "line??forged"},                   // a listing line of its own
      {L"tab\there\x7f", "tab?here?"},
      {L"c1\x9b" L"31m\x85nel\x90", "c1?31m?nel?"},          // CSI, NEL, DCS as 8-bit controls
      {L"sep\x2028par\x2029", "sep?par?"},
      {L"evil\x202Etxt.exe", "evil?txt.exe"},                // right-to-left override
      {L"\x2066\x2067\x2068\x2069\x200E\x200F\x061C", "???????"},
      {L"caf\xE9 \x2019\x2026\x20AC \x0434\xFF21", "caf\xC3\xA9 \xE2\x80\x99\xE2\x80\xA6\xE2\x82\xAC \xD0\xB4\xEF\xBC\xA1"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.shown, TerminalText(row.in)) << row.shown;
    std::string appended = "x";
    AppendTerminalText(row.in.c_str(), &appended);
    EXPECT_EQ(std::string("x") + row.shown, appended);
  }
  // UTF-8 that is not well formed: each bad byte shown as '?'.
  EXPECT_EQ("a?b??c", TerminalTextUtf8("a\x80" "b\xC0\xAF" "c"));
  EXPECT_EQ("?x", TerminalTextUtf8("\xC2\x9Bx"));  // CSI encoded in UTF-8
}

TEST(TerminalText, JsonKeepsItsValueAndLosesItsControls) {
  nlohmann::json value = {{"name", "a\x1b" "b\xC2\x85" "c\xE2\x80\xA8" "d\x7f" "e\xE2\x80\xAE" "f \xC3\xA9"}};
  std::string dumped = value.dump(2);
  std::string shown = TerminalJson(dumped);
  for (unsigned char c : shown) {
    EXPECT_TRUE(c >= 0x20 || c == '\n') << static_cast<int>(c);
    EXPECT_NE(c, 0x7f);
  }
  EXPECT_EQ(std::string::npos, shown.find("\xC2\x85"));
  EXPECT_EQ(std::string::npos, shown.find("\xE2\x80\xA8"));
  EXPECT_EQ(std::string::npos, shown.find("\xE2\x80\xAE"));
  EXPECT_NE(std::string::npos, shown.find("\xC3\xA9"));  // other text stays readable
  EXPECT_EQ(value, nlohmann::json::parse(shown));
}

}  // namespace
}  // namespace brx
