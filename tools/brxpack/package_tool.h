// The list and extract commands of brxpack, on the stub's own reader.
#ifndef BRX_TOOLS_BRXPACK_PACKAGE_TOOL_H_
#define BRX_TOOLS_BRXPACK_PACKAGE_TOOL_H_

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "archive/zip_file.h"

namespace brxpack {

// The ANSI code page brxpack assumes for the servers a package is for, unless
// told another with --codepage: Western European Windows.
const uint32_t kServerCodePage = 1252;

// One warning per entry whose name is not plain ASCII and is stored neither
// as UTF-8 nor with a Unicode Path field: a server reads it in its own ANSI
// code page, so servers with another one write another name than the one
// shown here in `code_page`.
std::vector<std::string> CodePageNameWarnings(const brxzip::ZIP_File& archive, uint32_t code_page);

// A listing in the layout of `unzip -l`.
std::string ListArchive(const brxzip::ZIP_File& archive, const std::string& archive_name);
// The same listing written to `out` as it is made, a few dozen KiB at a time:
// a package of many entries never has its whole listing in memory.
void WriteListing(const brxzip::ZIP_File& archive, const std::string& archive_name, FILE* out);

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
