// Removing the extraction directory after a run.
#ifndef BRX_INSTALL_CLEANUP_WIN_H_
#define BRX_INSTALL_CLEANUP_WIN_H_

namespace brx {

// Removes directory and everything below it. Read-only and system files are
// made normal first; what cannot be removed now (a file in use, the current
// directory) is scheduled for removal at the next boot. False as soon as a
// directory cannot be listed; entries not yet visited then stay.
bool DeleteDirectoryTree(const wchar_t* directory);

}  // namespace brx

#endif  // BRX_INSTALL_CLEANUP_WIN_H_
