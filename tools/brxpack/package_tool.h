// The list and extract commands of brxpack, on the stub's own reader.
#ifndef BRX_TOOLS_BRXPACK_PACKAGE_TOOL_H_
#define BRX_TOOLS_BRXPACK_PACKAGE_TOOL_H_

#include <string>

#include "archive/zip_file.h"

namespace brxpack {

// A listing in the layout of `unzip -l`.
std::string ListArchive(const brxzip::ZIP_File& archive, const std::string& archive_name);

// Extracts through ZIP_File::ExtractAll into `directory` (made absolute
// against the current directory when relative).
brxzip::ZIP_Result ExtractPackage(brxzip::ZIP_File* archive, const std::wstring& directory);

// A readable name of a result code ("ZIP_ERR_CRC").
const char* ResultName(int result);

}  // namespace brxpack

#endif  // BRX_TOOLS_BRXPACK_PACKAGE_TOOL_H_
