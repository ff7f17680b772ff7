// Splitting a Windows command line into arguments.
//
// The rules are those of the Microsoft C runtime and CommandLineToArgvW:
// blanks (space, tab) separate arguments outside quotes; a double quote toggles
// quoting; 2n backslashes before a quote give n backslashes and the quote acts,
// 2n+1 give n backslashes and a literal quote; two quotes inside a quoted part
// give a literal quote. When the first argument is a program path it follows
// CommandLineToArgvW's program-name rule: it ends at the first blank outside
// quotes and backslashes are never escapes. Implemented here rather than taken
// from shell32 so both builds split identically; the Windows tests compare it
// with CommandLineToArgvW.
#ifndef BRX_BASE_COMMAND_LINE_H_
#define BRX_BASE_COMMAND_LINE_H_

#include <string>
#include <vector>

namespace brx {

enum class FirstArgument { kOrdinary, kProgramPath };

std::vector<std::wstring> SplitCommandLine(const wchar_t* command_line, FirstArgument first);

}  // namespace brx

#endif  // BRX_BASE_COMMAND_LINE_H_
