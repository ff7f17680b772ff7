#include "install/setup_output.h"

#include "log/cmp_log2.h"
#include "platform/codepage.h"
#include "platform/utf8.h"

namespace brx {
namespace {

// Source line of the entries that carry the program's output.
constexpr int kOutputLine = 765;
const char kMask[] = "****";

}  // namespace

SetupOutputLog::SetupOutputLog(CCmpLog2& log, const std::vector<std::wstring>& hidden)
    : log_(log), enabled_(log.IsVerboseEnabled() != 0) {
  for (const std::wstring& value : hidden) {
    // Output is logged line by line: a value holding a line end is looked
    // for piece by piece.
    for (size_t start = 0; start <= value.size();) {
      size_t end = value.find_first_of(L"\r\n", start);
      if (end == std::wstring::npos) end = value.size();
      std::wstring piece = value.substr(start, end - start);
      start = end + 1;
      if (piece.empty()) continue;
      hidden_.push_back(platform::WideToAnsi(piece));
      std::string utf8 = platform::WideToUtf8(piece);
      if (utf8 != hidden_.back()) hidden_.push_back(utf8);
    }
  }
  for (const std::string& pattern : hidden_) {
    if (pattern.size() > overlap_ + 1) overlap_ = pattern.size() - 1;
  }
}

void SetupOutputLog::Add(const char* bytes, size_t length) {
  if (!enabled_) return;
  for (size_t i = 0; i < length; ++i) {
    char c = bytes[i];
    if (c == '\n') {
      WritePending(pending_.size());
      continue;
    }
    pending_.push_back(c);
    if (pending_.size() == kMaxLineBytes + overlap_) WritePending(kMaxLineBytes);
  }
}

void SetupOutputLog::Finish() {
  if (!pending_.empty()) WritePending(pending_.size());
}

// Every hidden value that starts before limit lies wholly in pending_ (it
// holds limit + overlap_ bytes when cut early), so none is written in part.
void SetupOutputLog::WritePending(size_t limit) {
  std::string text;
  size_t i = 0;
  while (i < limit) {
    // The longest value found here, so one that contains another is masked whole.
    size_t found = 0;
    for (const std::string& value : hidden_) {
      if (value.size() > found && pending_.compare(i, value.size(), value) == 0) found = value.size();
    }
    if (found) {
      text += kMask;
      i += found;
    } else {
      text.push_back(pending_[i++]);
    }
  }
  pending_.erase(0, i);
  WriteLine(text.data(), text.size());
}

void SetupOutputLog::WriteLine(const char* bytes, size_t length) {
  if (length > 0 && bytes[length - 1] == '\r') --length;
  std::wstring text = platform::AnsiToWide(bytes, length);
  log_.Write(LOG_VERBOSE_TAGGED, LEVEL_INFO, L"extract", kOutputLine, L"%s\r\n", text);
}

}  // namespace brx
