// Asks the user for the folder to extract into (the shell's folder browser).
#ifndef BRX_UI_BROWSE_FOLDER_WIN_H_
#define BRX_UI_BROWSE_FOLDER_WIN_H_

#include <windows.h>

namespace brx {

// Shows the browser owned by `owner`, starting at the folder that holds the
// stub. True with the chosen file-system path in `buffer` (MAX_PATH
// characters); false when cancelled or when the choice has no file-system
// path (message 1002 then tells the user).
bool BrowseForExtractFolder(HWND owner, wchar_t* buffer);

}  // namespace brx

#endif  // BRX_UI_BROWSE_FOLDER_WIN_H_
