// The list of the archive's entries (template 105), opened from the setup
// dialog's system menu.
#ifndef BRX_UI_CONTENTS_DIALOG_WIN_H_
#define BRX_UI_CONTENTS_DIALOG_WIN_H_

#include <windows.h>

#include "ui/main_dialog_command_win.h"

namespace brx {

// Smallest size of the window, in pixels; also its size when it opens.
const int kContentsMinWidth = 400;
const int kContentsMinHeight = 200;

// Modal, owned by `owner`; lists context.archive. Esc and the close box end
// it through MainDialogCommand (completion code 3).
void ContentsDialog(HWND owner, const MainDialogContext& context);

}  // namespace brx

#endif  // BRX_UI_CONTENTS_DIALOG_WIN_H_
