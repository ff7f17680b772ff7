// The fresh directory an installation extracts into.
#ifndef BRX_INSTALL_EXTRACTION_DIRECTORY_WIN_H_
#define BRX_INSTALL_EXTRACTION_DIRECTORY_WIN_H_

#include <stddef.h>

#include <string>

#include "install/step_result.h"
#include "platform/held_directory.h"

namespace brx {

// Creates "<temp>\{GUID}" (registry form, upper case) and writes its path to
// buffer. Not ok when capacity is below 260 characters or the directory
// cannot be created, with the failed call's Windows error and, when a folder
// was refused, the reason. With `temp_folder` and `directory`, both stay
// held: the directory is created relative to the held temporary folder.
StepResult CreateTempExtractionDirectory(wchar_t* buffer, size_t capacity, platform::HeldDirectory* temp_folder = nullptr,
                                   platform::HeldDirectory* directory = nullptr);

// The access list of the extraction directory as SDDL: SYSTEM,
// Administrators and the process token's owner full control and nothing
// else, inheriting nothing; /instpath: folders the run creates get it too.
std::wstring ProcessPrivateDirectorySddl();

}  // namespace brx

#endif  // BRX_INSTALL_EXTRACTION_DIRECTORY_WIN_H_
