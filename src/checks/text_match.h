// Text helpers of the virtual-guest check: manufacturer names come from WMI
// with trailing blanks or line ends and in whatever case the vendor chose.
#ifndef BRX_CHECKS_TEXT_MATCH_H_
#define BRX_CHECKS_TEXT_MATCH_H_

#include <stddef.h>
#include <wchar.h>

namespace brx {
namespace checks {

// Removes trailing blanks, tabs, CR and LF in place. A null text is left alone.
void TrimTrailingSpace(wchar_t* text);

// True when pattern occurs in text, comparing the ASCII letters without regard
// to case (other characters compare exactly). An empty pattern, a null text or
// pattern, or a pattern longer than the text never matches.
bool FindTextNoCase(const wchar_t* text, const wchar_t* pattern);

// Equality under the same rule.
bool EqualTextNoCase(const wchar_t* a, const wchar_t* b);

}  // namespace checks
}  // namespace brx

#endif  // BRX_CHECKS_TEXT_MATCH_H_
