#include "checks/text_match.h"

namespace brx {
namespace checks {
namespace {

// Only A to Z fold: the names compared here are ASCII, and folding other
// letters would depend on the locale the stub happens to run in.
wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool IsTrailingSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

}  // namespace

void TrimTrailingSpace(wchar_t* text) {
  if (!text) return;
  size_t n = wcslen(text);
  while (n > 0 && IsTrailingSpace(text[n - 1])) text[--n] = L'\0';
}

bool FindTextNoCase(const wchar_t* text, const wchar_t* pattern) {
  if (!text || !pattern) return false;
  size_t text_len = wcslen(text);
  size_t pattern_len = wcslen(pattern);
  if (pattern_len == 0 || pattern_len > text_len) return false;
  for (size_t start = 0; start + pattern_len <= text_len; ++start) {
    size_t i = 0;
    while (i < pattern_len && FoldAscii(text[start + i]) == FoldAscii(pattern[i])) ++i;
    if (i == pattern_len) return true;
  }
  return false;
}

bool EqualTextNoCase(const wchar_t* a, const wchar_t* b) {
  if (!a || !b) return a == b;
  for (; *a && *b; ++a, ++b) {
    if (FoldAscii(*a) != FoldAscii(*b)) return false;
  }
  return *a == *b;
}

}  // namespace checks
}  // namespace brx
