#include "install/setup_command_line.h"

#include <wchar.h>

#include <string>

#include "base/command_line.h"
#include "base/format.h"
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

// Outside double quotes cmd.exe takes these for command separators, pipes,
// redirections, grouping and escapes, and the batch file splits its
// arguments at the blanks and at ",;=".
const wchar_t kBatchSpecial[] = L" \t&|<>()^,;=";

// Why text cannot reach a batch file literally, or null when it can.
const wchar_t* BatchUnsafe(const std::wstring& text) {
  for (wchar_t c : text) {
    // A smuggled %CMDCMDLINE% or %NAME% would be expanded inside the quotes;
    // cmd.exe has no escape for "%" there.
    if (c == L'%') return L"cmd.exe would expand %NAME% in it even inside double quotes";
    // "x\"&calc" would close the quotes and run what follows.
    if (c == L'"') return L"a double quote in it would end cmd.exe's quoting";
    if (c < 0x20 && c != L'\t') return L"a line end or control character would cut cmd.exe's command line";
  }
  return nullptr;
}

// Why the definition's parameters would leave cmd.exe reading the arguments
// after them in another state than they were quoted for, or null. cmd.exe
// toggles its quoting at every double quote, except one escaped by "^"
// outside quotes; inside quotes "^" is text.
const wchar_t* BatchParametersUnsafe(const wchar_t* params) {
  bool quoted = false;
  bool escaped = false;
  for (const wchar_t* p = params; *p; ++p) {
    if (*p < 0x20 && *p != L'\t') return L"a line end or control character in them would cut cmd.exe's line";
    if (escaped) {
      escaped = false;
    } else if (*p == L'"') {
      quoted = !quoted;
    } else if (*p == L'^' && !quoted) {
      escaped = true;
    }
  }
  return quoted ? L"an unbalanced double quote in them would leave cmd.exe's quoting open for the arguments" : nullptr;
}

// No backslash doubling: cmd.exe and the batch file give a backslash no
// meaning before a quote, so "C:\Dir\" arrives as C:\Dir\ in %~1.
void AppendBatchArgument(const wchar_t* text, std::wstring* out) {
  bool quote = !*text || wcspbrk(text, kBatchSpecial);
  *out += L' ';
  if (quote) *out += L'"';
  *out += text;
  if (quote) *out += L'"';
}

// Whether each of the stub's arguments is one the masked line shows as
// "****": the way the masked variant below walks them.
std::vector<bool> HiddenArguments(const std::vector<std::wstring>& stub_arguments, const ArgumentMap& map) {
  std::vector<bool> hidden(stub_arguments.size(), false);
  for (size_t i = 0; i < stub_arguments.size(); ++i) {
    const wchar_t* translated = map.Map(stub_arguments[i].c_str());
    if (!translated) translated = stub_arguments[i].c_str();
    if (wcscmp(translated, L" ") == 0) continue;
    Masking masking = ClassifyForMasking(translated);
    if (masking == Masking::kMaskWhole) hidden[i] = true;
    if (masking == Masking::kMaskNextArgument && i + 1 < stub_arguments.size()) hidden[++i] = true;
  }
  return hidden;
}

bool EndsWithBatchExtension(std::wstring name) {
  // Windows drops trailing dots and blanks when it opens a file.
  while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
  if (name.size() < 4) return false;
  const wchar_t* extension = name.c_str() + name.size() - 4;
  return EqualsNoCase(extension, L".bat") || EqualsNoCase(extension, L".cmd");
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

bool IsBatchProgram(const wchar_t* program) {
  if (!program) return false;
  std::wstring name = program;
  size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  // "setup.cmd::$DATA" opens the file's own data; which of the two names a
  // stream suffix leaves Windows looking at does not matter: either counts.
  size_t colon = name.find(L':');
  return EndsWithBatchExtension(name) ||
         (colon != std::wstring::npos && EndsWithBatchExtension(name.substr(0, colon)));
}

bool BuildSetupCommandLine(const wchar_t* extraction_dir, const wchar_t* program,
                           const wchar_t* params, const std::vector<std::wstring>& stub_arguments,
                           const ArgumentMap& map, bool mask, SetupCommandLine* out,
                           std::vector<std::wstring>* hidden, BatchRefusal* refusal) {
  if (!out) return false;
  out->Clear();
  if (refusal) *refusal = BatchRefusal();
  if (!extraction_dir || !program || !*program) return false;

  // A batch file's line is parsed again by cmd.exe: arguments the stub was
  // given must not turn into commands run as the elevated user there.
  const bool batch = IsBatchProgram(program);
  auto refuse = [&](size_t argument, bool masked_argument, const std::wstring& text, const wchar_t* reason) {
    if (!refusal) return false;
    refusal->argument = argument;
    refusal->hidden = masked_argument;
    if (!masked_argument) refusal->text = text;
    refusal->reason = reason;
    return false;
  };

  std::wstring line = L"\"";
  line += extraction_dir;
  if (line.size() == 1 || line.back() != L'\\') line += L'\\';
  line += program;
  if (const wchar_t* why = batch ? BatchUnsafe(line.substr(1)) : nullptr) {
    return refuse(0, false, line.substr(1), why);
  }
  line += L'"';
  if (params && *params) {
    if (const wchar_t* why = batch ? BatchParametersUnsafe(params) : nullptr) {
      if (refusal) refusal->parameters = true;
      return refuse(0, false, params, why);
    }
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
    if (!batch) {
      AppendArgument(text, &line);
      continue;
    }
    if (const wchar_t* why = BatchUnsafe(text)) {
      return refuse(i + 1, HiddenArguments(stub_arguments, map)[i], text, why);
    }
    AppendBatchArgument(text, &line);
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
                           std::vector<std::wstring>* hidden, BatchRefusal* refusal) {
  PackageArgumentMap map(package);
  return BuildSetupCommandLine(extraction_dir, package.GetInstallCommand(), package.GetInstallCommandParams(),
                               stub_arguments, map, mask, out, hidden, refusal);
}

bool BuildSetupCommandLine(const wchar_t* extraction_dir, const CPPkg& package,
                           const wchar_t* process_command_line, bool mask, SetupCommandLine* out,
                           std::vector<std::wstring>* hidden, BatchRefusal* refusal) {
  std::vector<std::wstring> args = SplitCommandLine(process_command_line, FirstArgument::kProgramPath);
  if (!args.empty()) args.erase(args.begin());  // the program path
  return BuildSetupCommandLine(extraction_dir, package, args, mask, out, hidden, refusal);
}

std::wstring CommandProcessorLine(const wchar_t* cmd_exe, const wchar_t* line) {
  // /d: no AutoRun commands from the registry; /v:off: "!" stays text even
  // where the registry turns delayed expansion on; /s /c: cmd.exe removes
  // only the outer pair of quotes and runs the rest as it stands.
  return std::wstring(L"\"") + cmd_exe + L"\" /d /v:off /s /c \"" + line + L"\"";
}

bool BuildSetupCommandLines(CCmpLog2& log, const CPPkg& package, const wchar_t* process_command_line,
                            const wchar_t* extraction_dir, SetupCommandLine* plain,
                            SetupCommandLine* masked, std::vector<std::wstring>* hidden) {
  log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, L"extract", 664, L"Building installation command line...\r\n\r\n");
  BatchRefusal refusal;
  bool built = BuildSetupCommandLine(extraction_dir, package, process_command_line, false, plain, nullptr, &refusal) &&
               BuildSetupCommandLine(extraction_dir, package, process_command_line, true, masked, hidden);
  if (refusal.reason) {
    // A masked value is named by its position only.
    std::wstring subject = refusal.parameters    ? Format(L"the definition's parameters [%s]", refusal.text)
                           : refusal.argument == 0 ? Format(L"its path [%s]", refusal.text)
                           : refusal.hidden      ? Format(L"argument %u [****]", static_cast<uint32_t>(refusal.argument))
                                                 : Format(L"argument %u [%s]", static_cast<uint32_t>(refusal.argument),
                                                          refusal.text);
    log.Write(LOG_BOTH_TAGGED, LEVEL_ERROR, L"extract", 675,
              L"The batch setup program cannot receive %s safely: %s.\r\n\r\n", subject, refusal.reason);
  }
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
