#include "install/setup_command_line.h"

#include <wchar.h>

#include <string>

#include "base/command_line.h"
#include "log/cmp_log2.h"
#include "package/ppkg.h"

namespace brx {
namespace {

// Option names whose value is a credential, in the order they are tried.
const wchar_t* const kSensitiveNames[] = {L"u",  L"user",     L"username", L"bmcuser", L"mgxuser",
                                          L"p",  L"pw",       L"password", L"bmcpw",   L"mgxpw"};
const wchar_t kMask[] = L"****";

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c + (L'a' - L'A') : c; }

// Length of the common prefix when name starts with candidate (ignoring case), else 0.
bool StartsWithNoCase(const wchar_t* text, const wchar_t* prefix) {
  for (; *prefix; ++text, ++prefix) {
    if (!*text || AsciiLower(*text) != AsciiLower(*prefix)) return false;
  }
  return true;
}

bool EqualsNoCase(const wchar_t* a, const wchar_t* b) {
  return StartsWithNoCase(a, b) && wcslen(a) == wcslen(b);
}

enum class Masking { kNone, kMaskWhole, kMaskNextArgument };

Masking ClassifyForMasking(const wchar_t* translated) {
  if (translated[0] != L'-' && translated[0] != L'/') return Masking::kNone;
  const wchar_t* name = translated + 1;
  if (translated[1] == translated[0]) ++name;  // "--" and "//"
  for (const wchar_t* sensitive : kSensitiveNames) {
    if (EqualsNoCase(name, sensitive)) return Masking::kMaskNextArgument;
    if (StartsWithNoCase(name, sensitive)) {
      wchar_t after = name[wcslen(sensitive)];
      if (after == L':' || after == L'=') return Masking::kMaskWhole;
    }
  }
  return Masking::kNone;
}

void AppendArgument(const wchar_t* text, std::wstring* out) {
  // A tab separates arguments just as a blank does. An empty argument is
  // written as "": left out, the next argument would take its place
  // ("-p "" /s" would hand /s to the setup program as the password).
  bool quote = (!*text || wcschr(text, L' ') || wcschr(text, L'\t')) && !wcschr(text, L'"');
  *out += L' ';
  if (quote) *out += L'"';
  *out += text;
  if (!quote) return;
  // Backslashes before the closing quote are doubled: "C:\Dir\" would
  // otherwise escape the quote, and the setup program would read the rest of
  // the line as part of this argument.
  for (size_t n = wcslen(text); n > 0 && text[n - 1] == L'\\'; --n) *out += L'\\';
  *out += L'"';
}

class PackageArgumentMap : public ArgumentMap {
 public:
  explicit PackageArgumentMap(const CPPkg& package) : package_(package) {}
  const wchar_t* Map(const wchar_t* argument) const override {
    const wchar_t* mapped = package_.MapCommandLineArg(argument);
    return mapped ? mapped : argument;
  }

 private:
  const CPPkg& package_;
};

}  // namespace

bool BuildSetupCommandLine(const wchar_t* extraction_dir, const wchar_t* program,
                           const wchar_t* params, const std::vector<std::wstring>& stub_arguments,
                           const ArgumentMap& map, bool mask, SetupCommandLine* out,
                           std::vector<std::wstring>* hidden) {
  if (!out) return false;
  out->Clear();
  if (!extraction_dir || !program || !*program) return false;

  std::wstring line = L"\"";
  line += extraction_dir;
  if (line.size() == 1 || line.back() != L'\\') line += L'\\';
  line += program;
  line += L'"';
  if (params && *params) {
    line += L' ';
    line += params;
  }

  for (size_t i = 0; i < stub_arguments.size(); ++i) {
    const wchar_t* translated = map.Map(stub_arguments[i].c_str());
    if (!translated) translated = stub_arguments[i].c_str();
    // A translation of exactly one blank drops the argument.
    if (wcscmp(translated, L" ") == 0) continue;

    const wchar_t* text = translated;
    if (mask) {
      switch (ClassifyForMasking(translated)) {
        case Masking::kNone:
          break;
        case Masking::kMaskWhole:
          // The value after the first ':' or '=' (the name holds neither).
          if (hidden) hidden->push_back(std::wstring(wcspbrk(translated + 1, L":=") + 1));
          text = kMask;
          break;
        case Masking::kMaskNextArgument:
          line += L' ';
          line += translated;
          text = kMask;
          ++i;  // the value is never translated or shown
          if (hidden && i < stub_arguments.size()) hidden->push_back(std::wstring(stub_arguments[i]));
          break;
      }
    }
    AppendArgument(text, &line);
  }
  // The masked copy is only ever logged: cut to the buffer, it still says
  // what ran. The executed line is refused rather than run cut short.
  if (mask) {
    out->AssignCut(line.c_str());
    return true;
  }
  return out->Assign(line.c_str());
}

bool BuildSetupCommandLine(const wchar_t* extraction_dir, const CPPkg& package,
                           const std::vector<std::wstring>& stub_arguments, bool mask, SetupCommandLine* out,
                           std::vector<std::wstring>* hidden) {
  PackageArgumentMap map(package);
  return BuildSetupCommandLine(extraction_dir, package.GetInstallCommand(), package.GetInstallCommandParams(),
                               stub_arguments, map, mask, out, hidden);
}

bool BuildSetupCommandLine(const wchar_t* extraction_dir, const CPPkg& package,
                           const wchar_t* process_command_line, bool mask, SetupCommandLine* out,
                           std::vector<std::wstring>* hidden) {
  std::vector<std::wstring> args = SplitCommandLine(process_command_line, FirstArgument::kProgramPath);
  if (!args.empty()) args.erase(args.begin());  // the program path
  return BuildSetupCommandLine(extraction_dir, package, args, mask, out, hidden);
}

bool BuildSetupCommandLines(CCmpLog2& log, const CPPkg& package, const wchar_t* process_command_line,
                            const wchar_t* extraction_dir, SetupCommandLine* plain,
                            SetupCommandLine* masked, std::vector<std::wstring>* hidden) {
  log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, L"extract", 664, L"Building installation command line...\r\n\r\n");
  bool built = BuildSetupCommandLine(extraction_dir, package, process_command_line, false, plain) &&
               BuildSetupCommandLine(extraction_dir, package, process_command_line, true, masked, hidden);
  if (!built) {
    log.Write(LOG_BOTH_TAGGED, LEVEL_ERROR, L"extract", 673,
              L"Installation command line failed to build.\r\n\r\n");
    log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, L"extract", 678, L"Installation Halted...ERROR CODE (0)\r\n\r\n");
    return false;
  }
  log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, L"extract", 687,
            L"Building installation command line complete. Success.\r\n\r\n");
  log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, L"extract", 694, L"Setup program = [%s]\r\n\r\n",
            package.GetInstallCommand());
  log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, L"extract", 700, L"Installation command line = [%s]\r\n\r\n",
            masked->get());
  return true;
}

}  // namespace brx
