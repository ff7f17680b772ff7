#include "platform/codepage.h"

#include <windows.h>

#include <limits.h>

namespace brx {
namespace platform {

std::string WideToAnsi(const wchar_t* text, size_t length) {
  if (length == 0 || length > INT_MAX) return std::string();
  int n = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring AnsiToWide(const char* text, size_t length) { return CodePageToWide(CP_ACP, text, length); }

std::wstring CodePageToWide(uint32_t code_page, const char* text, size_t length) {
  if (length == 0 || length > INT_MAX) return std::wstring();
  int n = MultiByteToWideChar(code_page, 0, text, static_cast<int>(length), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(code_page, 0, text, static_cast<int>(length), &out[0], n);
  return out;
}

bool IsKnownCodePage(uint32_t code_page) { return code_page == CP_ACP || IsValidCodePage(code_page); }

std::wstring UpperCaseForNames(const std::wstring& text) {
  if (text.empty() || text.size() > INT_MAX) return text;
  std::wstring out(text.size(), L'\0');
  int n = LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.data(), static_cast<int>(text.size()), &out[0],
                       static_cast<int>(out.size()));
  // Upper-casing never changes the length; anything else keeps the text as is.
  return n == static_cast<int>(text.size()) ? out : text;
}

}  // namespace platform
}  // namespace brx
