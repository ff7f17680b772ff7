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

// Whether Windows runs the setup program as a batch file: its name ends in
// ".bat" or ".cmd", ignoring case and the dots and blanks Windows drops from
// the end of a name ("setup.cmd." and "setup.bat " open the batch file).
bool IsBatchProgram(const wchar_t* program);

// A batch file runs through cmd.exe, which parses its line once more: outside
// double quotes "&|<>()^" start commands, redirections and escapes. Each
// argument that holds one of them, a blank or one of the batch file's own
// argument separators ",;=" is passed in double quotes, where cmd.exe takes
// them literally; the batch file finds the argument with its quotes in %1
// and as given in %~1. Three things have no safe form and are refused: "%"
// (cmd.exe expands %NAME% even inside quotes, and %CMDCMDLINE% would bring
// quotes of its own), a double quote (it would end the quoting, and the batch
// file could not tell it from one) and a line end or other control character
// (cmd.exe's line ends there). The definition's own parameters stand
// unquoted, %NAME% and all, but they must leave cmd.exe outside double
// quotes and on the same line: after an unbalanced quote the quotes around
// the next argument would close instead of open, and its "&" would run.
// Why a line was refused:
struct BatchRefusal {
  size_t argument = 0;  // position among the stub's arguments, from 1; 0: the program's own path
  bool parameters = false;  // the definition's parameters, not an argument (argument is then 0)
  bool hidden = false;  // a value the masked line shows as "****": never to be logged
  std::wstring text;    // the refused text (empty when hidden)
  const wchar_t* reason = nullptr;  // what cmd.exe would do with it; null: nothing was refused
};

// Builds one variant from the parts. stub_arguments are the stub's arguments
// without its program path. False when the directory or the program is
// missing or empty, or when the line does not fit: a setup program started
// with a cut-off argument list would run with options nobody gave it. For a
// batch setup program also false when an argument or the program's path
// cannot be passed safely; refusal (if given) then says which and why.
// With mask, hidden (when given) receives the values the masked line hides.
bool BuildSetupCommandLine(const wchar_t* extraction_dir, const wchar_t* program,
                           const wchar_t* params, const std::vector<std::wstring>& stub_arguments,
                           const ArgumentMap& map, bool mask, SetupCommandLine* out,
                           std::vector<std::wstring>* hidden = nullptr, BatchRefusal* refusal = nullptr);

// The same from the package and the stub's arguments (no program path).
bool BuildSetupCommandLine(const wchar_t* extraction_dir, const CPPkg& package,
                           const std::vector<std::wstring>& stub_arguments, bool mask, SetupCommandLine* out,
                           std::vector<std::wstring>* hidden = nullptr, BatchRefusal* refusal = nullptr);

// The same from the package and the process's complete command line
// (program path first).
bool BuildSetupCommandLine(const wchar_t* extraction_dir, const CPPkg& package,
                           const wchar_t* process_command_line, bool mask, SetupCommandLine* out,
                           std::vector<std::wstring>* hidden = nullptr, BatchRefusal* refusal = nullptr);

// The line that starts a batch setup program: cmd_exe (the system's own
// cmd.exe) with AutoRun commands and delayed expansion off, running the
// built line exactly as it stands (/s /c "line").
std::wstring CommandProcessorLine(const wchar_t* cmd_exe, const wchar_t* line);

// The building step of the launcher: builds both variants and logs the
// outcome, naming a refused argument of a batch setup program by its
// position. False after logging the failure; the caller ends with code 0.
// hidden (when given) receives the values the masked line hides.
bool BuildSetupCommandLines(CCmpLog2& log, const CPPkg& package, const wchar_t* process_command_line,
                            const wchar_t* extraction_dir, SetupCommandLine* plain,
                            SetupCommandLine* masked, std::vector<std::wstring>* hidden = nullptr);

}  // namespace brx

#endif  // BRX_INSTALL_SETUP_COMMAND_LINE_H_
