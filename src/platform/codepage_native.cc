#include "platform/codepage.h"

namespace brx {
namespace platform {

std::string WideToAnsi(const wchar_t* text, size_t length) {
  std::string out;
  out.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    unsigned long c = static_cast<unsigned long>(text[i]);
    out.push_back(c < 256 ? static_cast<char>(c) : '?');
  }
  return out;
}

std::wstring AnsiToWide(const char* text, size_t length) {
  std::wstring out;
  out.reserve(length);
  for (size_t i = 0; i < length; ++i) out.push_back(static_cast<unsigned char>(text[i]));
  return out;
}

std::wstring UpperCaseForNames(const std::wstring& text) {
  std::wstring out(text);
  for (wchar_t& c : out) {
    bool ascii_lower = c >= L'a' && c <= L'z';
    bool latin1_lower = c >= 0xE0 && c <= 0xFE && c != 0xF7;
    if (ascii_lower || latin1_lower) c = static_cast<wchar_t>(c - 0x20);
  }
  return out;
}

}  // namespace platform
}  // namespace brx
