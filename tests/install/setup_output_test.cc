#include "install/setup_output.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/recording_log.h"

namespace brx {
namespace {

using Texts = std::vector<std::wstring>;

// The verbose entries for output arriving in these reads.
Texts Logged(const Texts& hidden, const std::vector<std::string>& reads) {
  brxtest::RecordingLog log;
  log.verbose = 1;
  {
    SetupOutputLog output(log, hidden);
    for (const std::string& read : reads) output.Add(read.data(), read.size());
    output.Finish();
  }
  Texts texts;
  for (const brxtest::LogEntry& e : log.entries) texts.push_back(e.message);
  return texts;
}

TEST(SetupOutputTest, LinesAreLoggedWithHiddenValuesMasked) {
  const std::string xs(SetupOutputLog::kMaxLineBytes - 3, 'x');
  const std::wstring wxs(xs.begin(), xs.end());
  struct Case {
    const char* what;
    Texts hidden;
    std::vector<std::string> reads;
    Texts expected;
  } cases[] = {
      {"plain lines", {}, {"one\r\ntw", "o\n\nlast"}, {L"one\r\n", L"two\r\n", L"\r\n", L"last\r\n"}},
      {"split across reads", {L"s3cret"}, {"pw=s3", "cr", "et ok\n"}, {L"pw=**** ok\r\n"}},
      {"every occurrence", {L"ab"}, {"ab-ab\nab"}, {L"****-****\r\n", L"****\r\n"}},
      {"longest first", {L"ab", L"abcd"}, {"abcd ab\n"}, {L"**** ****\r\n"}},
      {"a value holding a line end", {L"p1\r\np2"}, {"p1\np2\n"}, {L"****\r\n", L"****\r\n"}},
      {"UTF-8 as well as ANSI", {L"p\u00e4"}, {"p\xe4 p\xc3\xa4\n"}, {L"**** ****\r\n"}},
      // A line cut for length is not cut inside a value.
      {"across the long-line cut", {L"s3cret"}, {xs + "s3c", "retyyyyyy\n"}, {wxs + L"****\r\n", L"yyyyyy\r\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.expected, Logged(c.hidden, c.reads));
  }
}

}  // namespace
}  // namespace brx
