#include "platform/codepage.h"

#include <errno.h>
#include <iconv.h>

#include <string>

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

namespace {

// iconv's name for a Windows code page; the converter writes UTF-32 in this
// machine's byte order, which is what wchar_t holds natively.
iconv_t OpenCodePage(uint32_t code_page) {
  std::string name = "CP" + std::to_string(code_page);
  return iconv_open("WCHAR_T", name.c_str());
}

bool IsUndefinedIn1252(unsigned char c) { return c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D; }

}  // namespace

std::wstring CodePageToWide(uint32_t code_page, const char* text, size_t length) {
  if (code_page == 0) return AnsiToWide(text, length);
  std::wstring out;
  iconv_t cd = OpenCodePage(code_page);
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;
  char* in = const_cast<char*>(text);
  size_t in_left = length;
  while (in_left > 0) {
    wchar_t buffer[256];
    char* next = reinterpret_cast<char*>(buffer);
    size_t out_left = sizeof(buffer);
    size_t result = iconv(cd, &in, &in_left, &next, &out_left);
    out.append(buffer, (sizeof(buffer) - out_left) / sizeof(wchar_t));
    if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
    // An undefined byte, or a lead byte with no valid trail: one character
    // stands in for the byte and the conversion goes on after it.
    unsigned char c = static_cast<unsigned char>(*in);
    out.push_back(code_page == 1252 && IsUndefinedIn1252(c) ? static_cast<wchar_t>(c) : static_cast<wchar_t>(0xFFFD));
    ++in;
    --in_left;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  return out;
}

bool IsKnownCodePage(uint32_t code_page) {
  if (code_page == 0) return true;
  iconv_t cd = OpenCodePage(code_page);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv_close(cd);
  return true;
}

std::wstring UpperCaseForNames(const std::wstring& text) {
  std::wstring out(text);
  for (wchar_t& c : out) c = UpperCaseByTable(c);
  return out;
}

}  // namespace platform
}  // namespace brx
