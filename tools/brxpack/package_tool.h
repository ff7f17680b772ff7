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

// What went wrong, in a packager's words, when `path` cannot be opened as a
// package ("no package archive found at the end of /etc/passwd").
std::string DescribeOpenFailure(int result, const std::string& path);

// The same for a failed extraction into `directory`.
std::string DescribeExtractFailure(int result, const std::string& directory);

// One line per entry the stub would refuse ("refusing entry CON: Windows
// device name"); empty when there is none.
std::string DescribeRefusedEntries(const brxzip::ZIP_File& archive);

}  // namespace brxpack

#endif  // BRX_TOOLS_BRXPACK_PACKAGE_TOOL_H_
