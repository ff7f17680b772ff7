// The fresh directory an installation extracts into.
#ifndef BRX_INSTALL_EXTRACTION_DIRECTORY_WIN_H_
#define BRX_INSTALL_EXTRACTION_DIRECTORY_WIN_H_

#include <stddef.h>

#include <string>

namespace brx {

// Creates "<temp>\{GUID}" (registry form, upper case) and writes its path to
// buffer. False when capacity is below 260 characters or the directory
// cannot be created.
bool CreateTempExtractionDirectory(wchar_t* buffer, size_t capacity);

// Creates one directory whose access list grants SYSTEM, Administrators and
// the process token's owner full control and nothing else, inheriting nothing.
bool CreatePrivateDirectory(const wchar_t* path);

// That access list as SDDL; /instpath: folders the run creates get it too.
std::wstring ProcessPrivateDirectorySddl();

}  // namespace brx

#endif  // BRX_INSTALL_EXTRACTION_DIRECTORY_WIN_H_
