// The stub's command-line options.
//
// The stub never rejects an argument: unknown ones are ignored here and still
// reach the setup program. A path longer than its field is never cut (a cut
// path names another folder or file): the field stays empty and the option is
// marked too long. Only the restart message is cut at its capacity.
#ifndef BRX_STUB_OPTIONS_H_
#define BRX_STUB_OPTIONS_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "base/bounded_string.h"
#include "install/install_settings.h"

namespace brx {

constexpr size_t kMaxPathChars = 260;
constexpr size_t kMaxRebootMessageChars = 511;

struct StubOptions {
  bool silent = false;
  bool help = false;
  bool dosRetCode = false;
  bool noPrompt = false;
  bool extract = false;
  BoundedString<kMaxPathChars> extractDir;  // empty when the value was too long
  bool instPath = false;
  BoundedString<kMaxPathChars> instPathDir;
  bool instPathTooLong = false;
  bool dryRun = false;
  bool tpmBypass = false;
  bool verboseLog = false;
  bool reboot = false;
  BoundedString<kMaxRebootMessageChars> rebootMessage;
  int32_t rebootTimeout = 0;
  BoundedString<kMaxPathChars> configFile;
  bool configFileFound = false;
  // A configuration file was named but its path does not fit: the install
  // must not run with the package's own configuration instead.
  bool configFileTooLong = false;
};

// Answers whether the name is an existing file (not a folder); the stub
// passes the platform's, tests their own. Names holding a wildcard are refused
// before it is asked.
using FileSearch = bool (*)(const wchar_t* name);

// Fills *options from the command line without the program name.
void ParseCommandLine(const wchar_t* command_line, FileSearch file_search, StubOptions* options);

// The same over arguments already split.
void ParseArguments(const std::vector<std::wstring>& args, FileSearch file_search,
                    StubOptions* options);

// What the options decide about an extraction or installation. The restart
// wish points back into *options, so the setup program's restart question
// rewrites options->reboot.
InstallSettings InstallSettingsFrom(StubOptions* options);

// The decimal number at the start of text: leading blanks and one sign allowed,
// reading stops at the first non-digit, no digits give 0, saturating at the
// 32-bit limits.
int32_t ParseLeadingInt(const wchar_t* text);

}  // namespace brx

#endif  // BRX_STUB_OPTIONS_H_
