// brxpack build: the command line, the entries it names (files, folders,
// list files), the writer, the checks on what was written, and the report.
#ifndef BRX_TOOLS_BRXPACK_BUILD_COMMAND_H_
#define BRX_TOOLS_BRXPACK_BUILD_COMMAND_H_

#include <stdint.h>

#include <string>
#include <vector>

namespace brxpack {

extern const char kBuildHelp[];

// The arguments after "build", as wide text. Exit status: 0 built, 1 refused
// or failed, 2 a wrong command line.
int RunBuild(const std::vector<std::wstring>& args, uint32_t code_page);

// One entry of a package as the command line gives it.
struct BuildInput {
  std::wstring name;  // the name in the archive, '/' separated
  std::wstring path;  // the file it comes from; empty for a directory entry
};

// Expands one ENTRY argument: NAME=PATH, PATH (stored under its file name),
// NAME/ (a directory entry) or a folder (NAME=FOLDER: its files under NAME/;
// a folder alone or .=FOLDER: at the root). False with the reason in *error.
bool ExpandEntryArgument(const std::wstring& argument, std::vector<BuildInput>* inputs, std::string* error,
                         std::vector<std::string>* warnings);

// The ENTRY lines of an @listfile (UTF-8, one a line; blank lines and lines
// starting with '#' are skipped).
bool ReadListFile(const std::wstring& path, std::vector<std::wstring>* lines, std::string* error);

}  // namespace brxpack

#endif  // BRX_TOOLS_BRXPACK_BUILD_COMMAND_H_
