// Conversions between the product's wide text and the narrow text of the
// system's ANSI code page (archive entry names, log files).
//
// On Windows this is CP_ACP with no conversion flags: unmappable characters
// become the code page's default character. The native build stands in
// Windows-1252's Latin-1 subset: code points below 256 map to themselves and
// everything else becomes '?'.
#ifndef BRX_PLATFORM_CODEPAGE_H_
#define BRX_PLATFORM_CODEPAGE_H_

#include <stdint.h>

#include <string>

namespace brx {
namespace platform {

std::string WideToAnsi(const wchar_t* text, size_t length);
std::wstring AnsiToWide(const char* text, size_t length);

// Narrow text in the given Windows code page (1252, 932, ...), as a server
// whose ANSI code page that is reads it; 0 is this system's ANSI code page
// (AnsiToWide). Windows converts with MultiByteToWideChar; the native build
// with iconv, a byte the code page leaves undefined becoming U+FFFD (in 1252
// its five unassigned bytes map to the C1 controls, as on Windows).
std::wstring CodePageToWide(uint32_t code_page, const char* text, size_t length);
// True when CodePageToWide can convert from `code_page` here.
bool IsKnownCodePage(uint32_t code_page);

// Upper case as the file system compares names (NTFS ignores case through its
// upcase table). Windows maps with the invariant locale; the native build
// with a table of the same mapping (upper_case_table.inc), so both agree on
// which names are one.
std::wstring UpperCaseForNames(const std::wstring& text);

// One character upper-cased by that table: the native build's mapping, and
// on Windows only for the test that holds the table against the system's.
wchar_t UpperCaseByTable(wchar_t c);

inline std::string WideToAnsi(const std::wstring& s) { return WideToAnsi(s.data(), s.size()); }
inline std::wstring AnsiToWide(const std::string& s) { return AnsiToWide(s.data(), s.size()); }

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_CODEPAGE_H_
