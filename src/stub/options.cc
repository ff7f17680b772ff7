#include "stub/options.h"

#include <wchar.h>

#include "base/command_line.h"

namespace brx {
namespace {

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c + (L'a' - L'A') : c; }

bool EqualsNoCase(const std::wstring& arg, const wchar_t* form) {
  size_t i = 0;
  for (; form[i]; ++i) {
    if (i >= arg.size() || AsciiLower(arg[i]) != AsciiLower(form[i])) return false;
  }
  return i == arg.size();
}

bool StartsWithNoCase(const std::wstring& arg, const wchar_t* prefix) {
  for (size_t i = 0; prefix[i]; ++i) {
    if (i >= arg.size() || AsciiLower(arg[i]) != AsciiLower(prefix[i])) return false;
  }
  return true;
}

bool IsAnyOf(const std::wstring& arg, std::initializer_list<const wchar_t*> forms) {
  for (const wchar_t* form : forms) {
    if (EqualsNoCase(arg, form)) return true;
  }
  return false;
}

bool HasWildcard(const wchar_t* name) { return wcschr(name, L'*') || wcschr(name, L'?'); }

}  // namespace

int32_t ParseLeadingInt(const wchar_t* text) {
  if (!text) return 0;
  const wchar_t* p = text;
  while (*p == L' ' || *p == L'\t' || *p == L'\n' || *p == L'\r' || *p == L'\v' || *p == L'\f') ++p;
  bool negative = false;
  if (*p == L'+' || *p == L'-') {
    negative = *p == L'-';
    ++p;
  }
  int64_t value = 0;
  for (; *p >= L'0' && *p <= L'9'; ++p) {
    value = value * 10 + (*p - L'0');
    if (value > INT64_C(0x80000000)) value = INT64_C(0x80000000);  // saturate, keep scanning
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  if (value < INT32_MIN) value = INT32_MIN;
  return static_cast<int32_t>(value);
}

void ParseArguments(const std::vector<std::wstring>& args, FileSearch file_search,
                    StubOptions* options) {
  *options = StubOptions();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::wstring& arg = args[i];
    // A next-argument option given last has nothing to take and changes nothing.
    const std::wstring* next = i + 1 < args.size() ? &args[i + 1] : nullptr;

    if (IsAnyOf(arg, {L"/s", L"/silent"})) options->silent = true;
    if (IsAnyOf(arg, {L"/?", L"-?", L"/h", L"-h", L"/help", L"-help", L"--help"})) options->help = true;
    if (EqualsNoCase(arg, L"/dosretcode")) options->dosRetCode = true;
    if (EqualsNoCase(arg, L"/noprompt")) options->noPrompt = true;
    // An over-long folder is refused, not cut: the cut name is another
    // folder, which the run would create and fill. An empty /extract: value
    // fails like a folder that does not exist.
    if (StartsWithNoCase(arg, L"/extract:")) {
      options->extract = true;
      if (!options->extractDir.Assign(arg.c_str() + 9)) options->extractDir.Clear();
    }
    if (StartsWithNoCase(arg, L"/instpath:")) {
      options->instPath = true;
      options->instPathTooLong = !options->instPathDir.Assign(arg.c_str() + 10);
      if (options->instPathTooLong) options->instPathDir.Clear();
    }
    if (IsAnyOf(arg, {L"/dryrun", L"-dryrun", L"--dryrun"})) options->dryRun = true;
    if (IsAnyOf(arg, {L"/tpmbypass", L"/ignore_tpm"})) options->tpmBypass = true;
    if (EqualsNoCase(arg, L"/verbose_log")) options->verboseLog = true;
    if (IsAnyOf(arg, {L"/reboot", L"-reboot", L"--reboot", L"/r", L"-r"})) options->reboot = true;
    if (next && EqualsNoCase(arg, L"/reboot_message")) options->rebootMessage.AssignCut(next->c_str());
    if (next && EqualsNoCase(arg, L"/t")) options->rebootTimeout = ParseLeadingInt(next->c_str());
    if (next && IsAnyOf(arg, {L"/config_file", L"-config_file"})) {
      options->configFileTooLong = !options->configFile.Assign(next->c_str());
      if (options->configFileTooLong) options->configFile.Clear();
      // A later occurrence replaces the earlier one, found or not. A wildcard
      // pattern is no file name, whatever a search for it would match.
      options->configFileFound = !options->configFile.empty() && !HasWildcard(options->configFile.get()) &&
                                 file_search && file_search(options->configFile.get());
    }
  }
}

void ParseCommandLine(const wchar_t* command_line, FileSearch file_search, StubOptions* options) {
  ParseArguments(SplitCommandLine(command_line, FirstArgument::kOrdinary), file_search, options);
}

// The settings hold the paths at the options' capacity, so copying never cuts.
static_assert(sizeof(StubOptions::instPathDir) == sizeof(InstallSettings::inst_path_dir) &&
                  sizeof(StubOptions::configFile) == sizeof(InstallSettings::config_file),
              "install settings must hold every path the options hold");

InstallSettings InstallSettingsFrom(StubOptions* options) {
  InstallSettings settings;
  settings.silent = options->silent;
  settings.dry_run = options->dryRun;
  settings.tpm_bypass = options->tpmBypass;
  settings.verbose_log = options->verboseLog;
  settings.inst_path = options->instPath;
  settings.inst_path_dir.Assign(options->instPathDir.get());  // same capacity: never cut
  settings.inst_path_too_long = options->instPathTooLong;
  settings.config_file_found = options->configFileFound;
  settings.config_file_too_long = options->configFileTooLong;
  settings.config_file.Assign(options->configFile.get());
  settings.reboot = &options->reboot;
  return settings;
}

}  // namespace brx
