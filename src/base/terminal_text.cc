#include "base/terminal_text.h"

#include <stdio.h>

#include "platform/utf8.h"

namespace brx {
namespace {

const uint32_t kInvalid = 0xFFFFFFFFu;

// The code point of the UTF-8 sequence at text[*at], moving *at past it; one
// byte and kInvalid when it is not a well-formed sequence.
uint32_t NextCodePoint(const std::string& text, size_t* at) {
  unsigned char lead = static_cast<unsigned char>(text[*at]);
  size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || text.size() - *at < length) {
    ++*at;
    return length == 1 ? lead : kInvalid;
  }
  uint32_t c = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    unsigned char next = static_cast<unsigned char>(text[*at + i]);
    if ((next & 0xC0) != 0x80) {
      ++*at;
      return kInvalid;
    }
    c = (c << 6) | (next & 0x3F);
  }
  static const uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++*at;
    return kInvalid;
  }
  *at += length;
  return c;
}

}  // namespace

bool IsTerminalControl(uint32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0x061C || c == 0x200E ||
         c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::string TerminalText(const std::wstring& text) { return TerminalTextUtf8(platform::WideToUtf8(text)); }

void AppendTerminalText(const wchar_t* text, std::string* out) {
  // Printable ASCII is one UTF-8 byte of its own and never replaced; the rest,
  // from the first other character on, takes the general path (an ASCII
  // character never splits a surrogate pair or a UTF-8 sequence).
  for (; *text >= 0x20 && *text < 0x7F; ++text) out->push_back(static_cast<char>(*text));
  if (*text) *out += TerminalText(std::wstring(text));
}

std::string TerminalTextUtf8(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t at = 0; at < utf8.size();) {
    size_t begin = at;
    uint32_t c = NextCodePoint(utf8, &at);
    if (c == kInvalid || IsTerminalControl(c)) {
      out.push_back('?');
    } else {
      out.append(utf8, begin, at - begin);
    }
  }
  return out;
}

std::string TerminalJson(const std::string& json) {
  std::string out;
  out.reserve(json.size());
  for (size_t at = 0; at < json.size();) {
    size_t begin = at;
    uint32_t c = NextCodePoint(json, &at);
    if (c == '\t' || c == '\n' || c == '\r' || (c != kInvalid && !IsTerminalControl(c))) {
      out.append(json, begin, at - begin);
      continue;
    }
    char escape[16];
    snprintf(escape, sizeof escape, "\\u%04x", c == kInvalid ? 0xFFFDu : static_cast<unsigned>(c));
    out += escape;
  }
  return out;
}

}  // namespace brx
