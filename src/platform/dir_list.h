// The names in one folder, for tools that take a folder as a list of files.
#ifndef BRX_PLATFORM_DIR_LIST_H_
#define BRX_PLATFORM_DIR_LIST_H_

#include <stdint.h>

#include <string>
#include <vector>

namespace brx {
namespace platform {

// The names in `path` ("." and ".." left out), in no particular order; false
// when the folder cannot be read, with the platform's error code (Win32 error
// or errno) in *error.
bool ListDirectory(const wchar_t* path, std::vector<std::wstring>* names, uint32_t* error);

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_DIR_LIST_H_
