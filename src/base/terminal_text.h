// Text from a package or a log on its way to a person's terminal.
//
// Names and values in a package, and lines in a log, are written by whoever
// made the package or ran on the server. A terminal acts on some characters
// instead of showing them: escape and control sequences set the window title,
// clear the screen, move the cursor over earlier lines (hiding a warning), or
// on some terminals answer back into the input; line and paragraph
// separators start lines of their own; bidirectional controls reorder what is
// shown, so a name reads as another. brxpack and brxlog put every such text
// through here, and only here, before it is printed.
#ifndef BRX_BASE_TERMINAL_TEXT_H_
#define BRX_BASE_TERMINAL_TEXT_H_

#include <stdint.h>

#include <string>

namespace brx {

// C0 controls (tab and line ends included), DEL, C1 controls (U+0080 to
// U+009F: CSI and OSC for terminals that read 8-bit controls), U+2028 and
// U+2029, and the bidirectional controls (U+061C, U+200E, U+200F, U+202A to
// U+202E, U+2066 to U+2069).
bool IsTerminalControl(uint32_t code_point);

// The text as UTF-8 with each such character, and each byte that is not
// well-formed UTF-8, shown as '?'. No file name holds '?' on Windows, so in
// a name it always marks a replaced character.
std::string TerminalText(const std::wstring& text);
std::string TerminalTextUtf8(const std::string& utf8);
// TerminalText(text) appended to *out; a listing's plain ASCII names cost no
// copy of their own.
void AppendTerminalText(const wchar_t* text, std::string* out);

// JSON text written by a serializer, for a terminal: each such character
// inside it, other than the tab and line ends a serializer lays out with,
// written as its \uXXXX escape, which a JSON reader reads as the same
// character (a serializer leaves C1 controls, U+2028/2029 and DEL as they
// are). Bytes that are not well-formed UTF-8 become \ufffd.
std::string TerminalJson(const std::string& json);

}  // namespace brx

#endif  // BRX_BASE_TERMINAL_TEXT_H_
