// How the checks reach the user: a message box shown from string-table ids,
// and the string-table text itself for the lines that log a message.
//
// The stub fills this with its ShowResourceMessage and its own module's
// strings; tests fill it with recorders. Nothing is a global, so each caller
// decides what a check may show.
#ifndef BRX_CHECKS_CHECK_UI_H_
#define BRX_CHECKS_CHECK_UI_H_

#include "base/bounded_string.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace brx {
namespace checks {

#ifdef _WIN32
using MessageOwner = HWND;
#else
using MessageOwner = void*;
#endif

// ShowResourceMessage's shape: owner window or none, text id, caption id,
// message box style; answers the button pressed.
using ShowMessageFn = int (*)(MessageOwner owner, unsigned text_id, unsigned caption_id, unsigned style);
// LoadString's shape: fills buffer (capacity in characters, terminator
// included) and answers the length, 0 when there is no such string.
using LoadTextFn = int (*)(unsigned text_id, wchar_t* buffer, int capacity);

struct CheckUi {
  ShowMessageFn show_message = nullptr;  // null: boxes are not shown
  LoadTextFn load_text = nullptr;        // null or failing: the English text
};

// String-table ids and styles the checks use.
constexpr unsigned kCaptionId = 1;               // "Package Setup"
constexpr unsigned kMessageVirtualGuest = 1050;
constexpr unsigned kMessageNoWmi = 1051;
constexpr unsigned kMessageTpmCaution = 3050;
constexpr unsigned kMessageTmCaution = 3051;
constexpr unsigned kStyleError = 0x10;    // MB_ICONHAND | MB_OK
constexpr unsigned kStyleWarning = 0x30;  // MB_ICONEXCLAMATION | MB_OK

using MessageText = BoundedString<4095>;

// The text of `id` through ui.load_text, or the English text built in here
// when the loader is missing or knows no such string.
void LoadMessageText(const CheckUi& ui, unsigned id, MessageText& text);

// Shows `id` unless no_ui or there is no way to show it.
void ShowMessage(const CheckUi& ui, bool no_ui, MessageOwner owner, unsigned id, unsigned style);

#ifdef _WIN32
// Loads a string of the running executable's string table; LoadTextFn's shape.
int LoadStubString(unsigned text_id, wchar_t* buffer, int capacity);
#endif

}  // namespace checks
}  // namespace brx

#endif  // BRX_CHECKS_CHECK_UI_H_
