// Message boxes built from two string-table entries.
#ifndef BRX_UI_MESSAGE_BOX_WIN_H_
#define BRX_UI_MESSAGE_BOX_WIN_H_

#include <windows.h>

namespace brx {

// Shows the string text_id with caption caption_id (every caller uses 1,
// "Package Setup") and returns the box's answer. Placeholders in the text are
// shown as they stand.
int ShowResourceMessage(HWND owner, UINT text_id, UINT caption_id, UINT style);

}  // namespace brx

#endif  // BRX_UI_MESSAGE_BOX_WIN_H_
