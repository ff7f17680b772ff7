// New globally unique identifiers, as text.
#ifndef BRX_PLATFORM_GUID_H_
#define BRX_PLATFORM_GUID_H_

#include <string>

namespace brx {
namespace platform {

// A new random GUID as 8-4-4-4-12 upper-case hexadecimal digits, no braces;
// empty when the system cannot make one.
std::wstring NewGuidText();

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_GUID_H_
