// brxpack: builds, lists and extracts stub packages.
//
//   brxpack build --stub STUB -o PACKAGE [options] ENTRY... (build_command.cc)
//   brxpack init DIR (init_command.cc)
//   brxpack list PACKAGE
//   brxpack extract PACKAGE DIR
//   brxpack inspect [--json] PACKAGE [-- STUB-ARGUMENTS...]
//       What the stub would do with the package: exit 0 when an install can
//       succeed as far as the package decides, 1 when it cannot.
//   brxpack deploy-config --tool intune|configmgr|winget|chocolatey|dsc|ansible PACKAGE
//       Ready-to-paste settings for a deployment tool.
//   brxpack bundle -o BUNDLE [--name TEXT] [--version V] MEMBER[:continue][:restart-first]...
//       A maintenance window: the member packages applied in order by one package.
//   brxpack --help, brxpack help COMMAND, brxpack COMMAND --help
// Entry names the stub would refuse stop a build; list warns about them and
// extract refuses the package, both with the entry's name and the reason.
// --codepage N (any command): the ANSI code page of the servers the package
// is for (default 1252), in which they read names not stored as UTF-8; list
// and inspect warn about such names when they are not plain ASCII.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "archive/entry_name.h"
#include "archive/zip_file.h"
#include "base/command_line.h"
#include "brxpack/build_command.h"
#include "brxpack/bundle_build.h"
#include "brxpack/bundle_inspect.h"
#include "brxpack/deploy_config.h"
#include "brxpack/init_command.h"
#include "brxpack/inspect.h"
#include "brxpack/package_tool.h"
#include "platform/codepage.h"
#include "platform/file.h"
#include "platform/utf8.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::wstring Wide(const char* arg) {
#ifdef _WIN32
  return brx::platform::AnsiToWide(std::string(arg));
#else
  return brx::platform::WideFromNative(arg);
#endif
}

const char kUsage[] =
    "usage: brxpack build --stub STUB -o PACKAGE [--store] [--definition NAME] [--keep-order]\n"
    "                     [--comment TEXT] [--encipher NAME] [--force] ENTRY... [@LISTFILE]\n"
    "       brxpack init DIR\n"
    "       brxpack list PACKAGE\n"
    "       brxpack extract PACKAGE DIR\n"
    "       brxpack inspect [--json] PACKAGE [-- STUB-ARGUMENTS...]\n"
    "       brxpack deploy-config --tool intune|configmgr|winget|chocolatey|dsc|ansible PACKAGE\n"
    "       brxpack bundle -o BUNDLE [--name TEXT] [--version V] MEMBER[:continue][:restart-first]...\n"
    "ENTRY: PATH (stored under its file name) | NAME=PATH | FOLDER | NAME=FOLDER | NAME/ (directory entry)\n"
    "--codepage N: the servers' ANSI code page for names not stored as UTF-8 (default 1252)\n"
    "brxpack help COMMAND (or COMMAND --help) explains one command.\n";

// Each command's own help: brxpack help COMMAND, brxpack COMMAND --help.
struct CommandHelp {
  const char* command;
  const char* text;
};
const CommandHelp kCommandHelp[] = {
    {"build", brxpack::kBuildHelp},
    {"init", brxpack::kInitHelp},
    {"list",
     "usage: brxpack list [--codepage N] PACKAGE\n"
     "\n"
     "Lists the package's entries (size, date, name) as unzip -l does. Warns about names the stub\n"
     "refuses and names not stored as UTF-8 (read in code page N, default 1252).\n"},
    {"extract",
     "usage: brxpack extract [--codepage N] PACKAGE DIR\n"
     "\n"
     "Writes the package's entries into DIR with the stub's own extraction; a package the stub\n"
     "refuses is not extracted.\n"},
    {"inspect",
     "usage: brxpack inspect [--json] [--codepage N] PACKAGE [-- STUB-ARGUMENTS...]\n"
     "\n"
     "What the stub will do with the package, by running its own start-up and install steps on it:\n"
     "the definition, the package data, the configuration file, the setup program, every entry,\n"
     "the disk space needed, the signature, and the setup command line for the arguments after --.\n"
     "Exit status 0 when an install can succeed as far as the package decides, 1 with an error\n"
     "line for each problem, 2 for a wrong command line.\n"},
    {"deploy-config",
     "usage: brxpack deploy-config --tool intune|configmgr|winget|chocolatey|dsc|ansible PACKAGE\n"
     "\n"
     "Ready-to-paste settings for a deployment tool: the silent command line, the return codes\n"
     "and a detection rule.\n"},
    {"bundle",
     "usage: brxpack bundle -o BUNDLE [--name TEXT] [--version V] [--stub STUB] [--runner RUNNER]\n"
     "                      MEMBER[:continue][:restart-first]...\n"
     "\n"
     "A maintenance window: one package that applies the member packages in the order given, each\n"
     "silently, with one restart at the end. A failing member stops the window unless it says\n"
     ":continue; a :restart-first member that needs a restart ends the window there, and the next\n"
     "run of the bundle picks up after it.\n"},
};

const char* HelpFor(const std::string& command) {
  for (const CommandHelp& h : kCommandHelp) {
    if (command == h.command) return h.text;
  }
  return nullptr;
}

// A wrong command line: usage on standard error, exit 2.
int Usage() {
  fputs(kUsage, stderr);
  return 2;
}

int Fail(const std::string& message) {
  fprintf(stderr, "brxpack: %s\n", message.c_str());
  return 1;
}

// Opens `path` as a package; false (with the reason on standard error) when
// there is no usable archive or it has no entries.
bool Open(brxzip::ZIP_File* archive, const char* path, uint32_t code_page) {
  archive->SetNameCodePage(code_page);
  int result = archive->OpenArchive(Wide(path).c_str(), 1);
  if (result != brxzip::ZIP_OK) {
    Fail(brxpack::DescribeOpenFailure(result, path));
    return false;
  }
  if (archive->GetEntryCount() == 0) {
    Fail(std::string("the package archive in ") + path + " holds no entries");
    return false;
  }
  return true;
}

// The arguments as wide text. On Windows they are split again from the wide
// command line with the stub's own rules, so the stub arguments of inspect
// reach the command-line builder exactly as the stub would receive them.
std::vector<std::wstring> WideArguments(int argc, char** argv) {
#ifdef _WIN32
  std::vector<std::wstring> split = brx::SplitCommandLine(GetCommandLineW(), brx::FirstArgument::kProgramPath);
  if (static_cast<int>(split.size()) == argc) return split;
#endif
  std::vector<std::wstring> args;
  for (int i = 0; i < argc; ++i) args.push_back(Wide(argv[i]));
  return args;
}

// inspect [--json] PACKAGE [-- STUB-ARGUMENTS...]
int Inspect(const std::vector<std::wstring>& args, int argc, char** argv, uint32_t code_page) {
  bool as_json = false;
  int package = -1;
  size_t i = 2;
  for (; i < args.size(); ++i) {
    if (args[i] == L"--") break;
    if (args[i] == L"--json") {
      as_json = true;
    } else if (!args[i].empty() && args[i][0] == L'-') {
      return Usage();
    } else if (package < 0) {
      package = static_cast<int>(i);
    } else {
      return Usage();
    }
  }
  if (package < 0 || package >= argc) return Usage();
  std::vector<std::wstring> stub_arguments;
  if (i < args.size()) stub_arguments.assign(args.begin() + static_cast<long>(i) + 1, args.end());
  brxpack::InspectReport report =
      brxpack::InspectPackage(args[package], argv[package], stub_arguments, code_page);
  std::string text = as_json ? brxpack::FormatInspectJson(report) : brxpack::FormatInspectText(report);
  // A bundle's plan, and whether its manifest and members agree.
  brxpack::BundlePlan plan = brxpack::InspectBundle(args[package], code_page);
  text = as_json ? brxpack::AddBundlePlanToJson(text, plan) : text + brxpack::FormatBundlePlanText(plan);
  fwrite(text.data(), 1, text.size(), stdout);
  return plan.problems.empty() ? report.ExitStatus() : 1;
}

// Takes "--codepage N" out of the arguments after the command (before a
// "--", past which they are the stub's); false when N is no code page here.
bool TakeCodePage(std::vector<char*>* args, std::vector<std::wstring>* wide, uint32_t* code_page) {
  *code_page = brxpack::kServerCodePage;
  for (size_t i = 1; i < args->size() && strcmp((*args)[i], "--") != 0; ++i) {
    if (strcmp((*args)[i], "--codepage") != 0) continue;
    if (i + 1 >= args->size()) return false;
    char* end = nullptr;
    unsigned long value = strtoul((*args)[i + 1], &end, 10);
    if (end == (*args)[i + 1] || *end != '\0' || value == 0 || value > 65535 ||
        !brx::platform::IsKnownCodePage(static_cast<uint32_t>(value))) {
      return false;
    }
    *code_page = static_cast<uint32_t>(value);
    args->erase(args->begin() + static_cast<long>(i), args->begin() + static_cast<long>(i) + 2);
    wide->erase(wide->begin() + static_cast<long>(i), wide->begin() + static_cast<long>(i) + 2);
    return true;
  }
  return true;
}

}  // namespace

int main(int raw_argc, char** raw_argv) {
  std::vector<char*> arguments(raw_argv, raw_argv + raw_argc);
  std::vector<std::wstring> wide = WideArguments(raw_argc, raw_argv);
  uint32_t code_page = 0;
  if (!TakeCodePage(&arguments, &wide, &code_page)) {
    fputs("brxpack: --codepage needs a Windows code page number this system can convert (1252, 932, ...)\n", stderr);
    return Usage();
  }
  int argc = static_cast<int>(arguments.size());
  char** argv = arguments.data();
  if (argc < 2) return Usage();
  std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    const char* help = argc == 3 ? HelpFor(argv[2]) : nullptr;
    if (argc == 3 && !help) return Usage();
    fputs(help ? help : kUsage, stdout);
    return 0;
  }
  if (argc == 3 && HelpFor(command) && (strcmp(argv[2], "--help") == 0 || strcmp(argv[2], "-h") == 0)) {
    fputs(HelpFor(command), stdout);
    return 0;
  }
  if (command == "build") return brxpack::RunBuild(std::vector<std::wstring>(wide.begin() + 2, wide.end()), code_page);
  if (command == "init") return brxpack::RunInit(std::vector<std::wstring>(wide.begin() + 2, wide.end()));
  if (command == "bundle") return brxpack::RunBundleCommand(std::vector<std::string>(argv + 2, argv + argc), code_page);
  if (command == "inspect") return Inspect(wide, argc, argv, code_page);
  if (command == "deploy-config") {
    return brxpack::RunDeployConfig(std::vector<std::string>(argv, argv + argc), wide);
  }
  if (command == "list" && argc == 3) {
    brxzip::ZIP_File archive;
    if (!Open(&archive, argv[2], code_page)) return 1;
    brxpack::WriteListing(archive, argv[2], stdout);
    for (const std::string& warning : brxpack::CodePageNameWarnings(archive, code_page)) {
      fprintf(stderr, "brxpack: warning: %s\n", warning.c_str());
    }
    std::string refused = brxpack::DescribeRefusedEntries(archive);
    if (!refused.empty()) fprintf(stderr, "brxpack: warning: the stub refuses this package:\n%s", refused.c_str());
    return 0;
  }
  if (command == "extract" && argc == 4) {
    brxzip::ZIP_File archive;
    if (!Open(&archive, argv[2], code_page)) return 1;
    std::string refused = brxpack::DescribeRefusedEntries(archive);
    if (!refused.empty()) {
      fprintf(stderr, "%s", refused.c_str());
      return Fail("nothing extracted: the stub refuses this package");
    }
    int result = brxpack::ExtractPackage(&archive, Wide(argv[3]));
    if (result != brxzip::ZIP_OK) return Fail("extraction failed: " + brxpack::DescribeExtractFailure(result, argv[3]));
    return 0;
  }
  return Usage();
}
