#include "install/setup_output.h"

#include "log/cmp_log2.h"
#include "platform/codepage.h"

namespace brx {
namespace {

// Source line of the entries that carry the program's output.
constexpr int kOutputLine = 765;

}  // namespace

SetupOutputLog::SetupOutputLog(CCmpLog2& log) : log_(log), enabled_(log.IsVerboseEnabled() != 0) {}

void SetupOutputLog::Add(const char* bytes, size_t length) {
  if (!enabled_) return;
  for (size_t i = 0; i < length; ++i) {
    char c = bytes[i];
    if (c == '\n') {
      WriteLine(pending_.data(), pending_.size());
      pending_.clear();
      continue;
    }
    pending_.push_back(c);
    if (pending_.size() == kMaxLineBytes) {
      WriteLine(pending_.data(), pending_.size());
      pending_.clear();
    }
  }
}

void SetupOutputLog::Finish() {
  if (!pending_.empty()) WriteLine(pending_.data(), pending_.size());
  pending_.clear();
}

void SetupOutputLog::WriteLine(const char* bytes, size_t length) {
  if (length > 0 && bytes[length - 1] == '\r') --length;
  std::wstring text = platform::AnsiToWide(bytes, length);
  log_.Write(LOG_VERBOSE_TAGGED, LEVEL_INFO, L"extract", kOutputLine, L"%s\r\n", text);
}

}  // namespace brx
