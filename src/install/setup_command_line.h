// The setup program's command line: the program in the extraction directory,
// its fixed parameters, then every argument the stub received, translated by
// the package's argument map. A second, masked text hides credentials; only
// that one is ever logged.
#ifndef BRX_INSTALL_SETUP_COMMAND_LINE_H_
#define BRX_INSTALL_SETUP_COMMAND_LINE_H_

#include <string>
#include <vector>

#include "base/bounded_string.h"

class CCmpLog2;
class CPPkg;

namespace brx {

// 2,048 characters with the terminator.
using SetupCommandLine = BoundedString<2047>;

// Translates one of the stub's arguments; returns the argument itself when
// there is nothing to translate.
class ArgumentMap {
 public:
  virtual ~ArgumentMap() = default;
  virtual const wchar_t* Map(const wchar_t* argument) const = 0;
};

// Builds one variant from the parts. stub_arguments are the stub's arguments
// without its program path. False when the directory or the program is
// missing or empty, or when the line does not fit: a setup program started
// with a cut-off argument list would run with options nobody gave it.
// With mask, hidden (when given) receives the values the masked line hides.
bool BuildSetupCommandLine(const wchar_t* extraction_dir, const wchar_t* program,
                           const wchar_t* params, const std::vector<std::wstring>& stub_arguments,
                           const ArgumentMap& map, bool mask, SetupCommandLine* out,
                           std::vector<std::wstring>* hidden = nullptr);

// The same from the package and the stub's arguments (no program path).
bool BuildSetupCommandLine(const wchar_t* extraction_dir, const CPPkg& package,
                           const std::vector<std::wstring>& stub_arguments, bool mask, SetupCommandLine* out,
                           std::vector<std::wstring>* hidden = nullptr);

// The same from the package and the process's complete command line
// (program path first).
bool BuildSetupCommandLine(const wchar_t* extraction_dir, const CPPkg& package,
                           const wchar_t* process_command_line, bool mask, SetupCommandLine* out,
                           std::vector<std::wstring>* hidden = nullptr);

// The building step of the launcher: builds both variants and logs the
// outcome. False after logging the failure; the caller ends with code 0.
// hidden (when given) receives the values the masked line hides.
bool BuildSetupCommandLines(CCmpLog2& log, const CPPkg& package, const wchar_t* process_command_line,
                            const wchar_t* extraction_dir, SetupCommandLine* plain,
                            SetupCommandLine* masked, std::vector<std::wstring>* hidden = nullptr);

}  // namespace brx

#endif  // BRX_INSTALL_SETUP_COMMAND_LINE_H_
