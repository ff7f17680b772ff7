// The extraction progress window (template 110) and its placement.
#ifndef BRX_UI_PROGRESS_DIALOG_WIN_H_
#define BRX_UI_PROGRESS_DIALOG_WIN_H_

#include <windows.h>

namespace brx {

// Creates the modeless window centred over `owner` (or the screen when owner
// is null) and shows it; its bar is control 1011, range 0 to 100. Null when it
// cannot be created. The caller destroys it.
HWND ProgressDialog(HWND owner);

// Moves `window` to the centre of its owner's window rectangle (the screen
// when it has no owner) without resizing it or changing its z-order, and
// shows it.
void CenterOverParent(HWND window);

}  // namespace brx

#endif  // BRX_UI_PROGRESS_DIALOG_WIN_H_
