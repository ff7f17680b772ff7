// The string-table text of the messages the checks log; the boxes
// themselves go through the run's Presenter.
//
// The stub fills this with its own module's strings; tests with their own.
#ifndef BRX_CHECKS_CHECK_UI_H_
#define BRX_CHECKS_CHECK_UI_H_

#include "base/bounded_string.h"
#include "base/presenter.h"

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

// LoadString's shape: fills buffer (capacity in characters, terminator
// included) and answers the length, 0 when there is no such string.
using LoadTextFn = int (*)(unsigned text_id, wchar_t* buffer, int capacity);

struct CheckUi {
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

// Shows `id` with caption 1 through the presenter.
void ShowMessage(Presenter& presenter, MessageOwner owner, unsigned id, unsigned style);

#ifdef _WIN32
// Loads a string of the running executable's string table; LoadTextFn's shape.
int LoadStubString(unsigned text_id, wchar_t* buffer, int capacity);
#endif

}  // namespace checks
}  // namespace brx

#endif  // BRX_CHECKS_CHECK_UI_H_
