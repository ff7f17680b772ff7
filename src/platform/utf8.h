// Wide text to UTF-8, for what leaves the product as UTF-8 (JSON output, test
// records). wchar_t is UTF-16 on Windows and UTF-32 natively; both are read
// here, and a lone surrogate becomes U+FFFD so the output is always valid.
#ifndef BRX_PLATFORM_UTF8_H_
#define BRX_PLATFORM_UTF8_H_

#include <string>

namespace brx {
namespace platform {

std::string WideToUtf8(const std::wstring& text);

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_UTF8_H_
