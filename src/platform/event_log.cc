#include "platform/event_log.h"

namespace brx {
namespace platform {

std::wstring EventInsertionString(const std::wstring& text) {
  if (text.size() <= kMaxEventStringChars) return text;
  const size_t mark = sizeof(kEventStringCutMark) / sizeof(wchar_t) - 1;
  size_t keep = kMaxEventStringChars - mark;
  // A high surrogate left without its partner is no character at all.
  if (keep > 0 && text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) --keep;
  return text.substr(0, keep) + kEventStringCutMark;
}

}  // namespace platform
}  // namespace brx
