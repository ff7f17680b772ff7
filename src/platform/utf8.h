// Wide text to and from UTF-8: what leaves the product as UTF-8 (JSON output,
// test records) and archive entry names stored as UTF-8. wchar_t is UTF-16 on
// Windows and UTF-32 natively; both are handled here.
#ifndef BRX_PLATFORM_UTF8_H_
#define BRX_PLATFORM_UTF8_H_

#include <string>

namespace brx {
namespace platform {

// A lone surrogate becomes U+FFFD, so the output is always valid.
std::string WideToUtf8(const std::wstring& text);

// Strict decoding: false for anything but well-formed UTF-8 (a cut sequence,
// an overlong form, an encoded surrogate, a value beyond U+10FFFF), which
// readers would otherwise each repair in their own way. Characters beyond
// U+FFFF become surrogate pairs where wchar_t is 16 bits.
bool Utf8ToWide(const char* text, size_t length, std::wstring* out);

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_UTF8_H_
