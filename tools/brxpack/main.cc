// brxpack: builds, lists and extracts stub packages.
//
//   brxpack build --stub STUB -o PACKAGE [--store] [--definition NAME] [--keep-order]
//                 [--comment TEXT] [--encipher NAME] ENTRY...
//       ENTRY is PATH (archive name = PATH with '/' separators), NAME=PATH,
//       or NAME/ for a directory entry. The definition goes first unless
//       --keep-order is given.
//   brxpack list PACKAGE
//   brxpack extract PACKAGE DIR
//   brxpack inspect [--json] PACKAGE [-- STUB-ARGUMENTS...]
//       What the stub would do with the package: exit 0 when an install can
//       succeed as far as the package decides, 1 when it cannot.
//   brxpack deploy-config --tool intune|configmgr|winget|chocolatey|dsc|ansible PACKAGE
//       Ready-to-paste settings for a deployment tool.
//   brxpack bundle -o BUNDLE [--name TEXT] [--version V] MEMBER[:continue][:restart-first]...
//       A maintenance window: the member packages applied in order by one package.
//   brxpack --help
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
#include "brxpack/bundle_build.h"
#include "brxpack/bundle_inspect.h"
#include "brxpack/definition_check.h"
#include "brxpack/deploy_config.h"
#include "brxpack/inspect.h"
#include "brxpack/package_tool.h"
#include "brxpack/package_writer.h"
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
    "usage: brxpack build --stub STUB -o PACKAGE [--store] [--definition NAME]\n"
    "                     [--keep-order] [--comment TEXT] [--encipher NAME] ENTRY...\n"
    "       brxpack list PACKAGE\n"
    "       brxpack extract PACKAGE DIR\n"
    "       brxpack inspect [--json] PACKAGE [-- STUB-ARGUMENTS...]\n"
    "       brxpack deploy-config --tool intune|configmgr|winget|chocolatey|dsc|ansible PACKAGE\n"
    "       brxpack bundle -o BUNDLE [--name TEXT] [--version V] MEMBER[:continue][:restart-first]...\n"
    "ENTRY: PATH | NAME=PATH | NAME/ (directory entry)\n"
    "--codepage N: the servers' ANSI code page for names not stored as UTF-8 (default 1252)\n";

// A wrong command line: usage on standard error, exit 2.
int Usage() {
  fputs(kUsage, stderr);
  return 2;
}

int Fail(const std::string& message) {
  fprintf(stderr, "brxpack: %s\n", message.c_str());
  return 1;
}

struct Input {
  std::string name;  // as given
  std::string path;  // empty for a directory entry
};

// The name as the stub will decode and write it.
std::wstring TargetName(const Input& in) { return Wide(in.name.c_str()); }

std::string ArchiveName(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  while (path.compare(0, 2, "./") == 0) path.erase(0, 2);
  while (!path.empty() && path[0] == '/') path.erase(0, 1);
  return path;
}

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>* bytes) {
  brx::platform::File file;
  uint64_t size = 0;
  if (!file.Open(Wide(path.c_str()).c_str(), brx::platform::FileMode::kReadShared) || !file.GetSize(&size) ||
      size > (64u << 20)) {
    return false;
  }
  bytes->resize(static_cast<size_t>(size));
  uint32_t read = 0;
  return size == 0 || (file.Read(bytes->data(), static_cast<uint32_t>(size), &read) && read == size);
}

int Build(int argc, char** argv, uint32_t code_page) {
  std::string stub, output, definition, comment, encipher;
  bool store = false, keep_order = false;
  std::vector<Input> inputs;
  for (int i = 0; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    if (a == "--stub") {
      if (!value(&stub)) return Usage();
    } else if (a == "-o") {
      if (!value(&output)) return Usage();
    } else if (a == "--definition") {
      if (!value(&definition)) return Usage();
    } else if (a == "--comment") {
      if (!value(&comment)) return Usage();
    } else if (a == "--encipher") {
      if (!value(&encipher)) return Usage();
    } else if (a == "--store") {
      store = true;
    } else if (a == "--keep-order") {
      keep_order = true;
    } else if (!a.empty() && a[0] == '-') {
      return Usage();
    } else if (!a.empty() && a.back() == '/' && a.find('=') == std::string::npos) {
      inputs.push_back({ArchiveName(a), std::string()});
    } else {
      size_t eq = a.find('=');
      if (eq == std::string::npos || eq == 0) {
        inputs.push_back({ArchiveName(a), a});
      } else {
        std::string name = a.substr(0, eq);
        inputs.push_back({name, name.back() == '/' ? std::string() : a.substr(eq + 1)});
      }
    }
  }
  if (output.empty() || inputs.empty()) return Usage();
  // A package the stub would refuse is never built: the same rules, checked
  // here, fail on the packager's machine instead of the administrator's server.
  brxzip::EntryNameSet names;
  for (const Input& in : inputs) {
    std::wstring target = TargetName(in);
    brxzip::EntryRefusal reason = brxzip::CheckEntryName(target.c_str());
    if (reason == brxzip::EntryRefusal::kNone) reason = names.Add(target.c_str());
    if (reason != brxzip::EntryRefusal::kNone) {
      return Fail("refusing entry " + in.name + ": " + brxzip::DescribeEntryRefusal(reason));
    }
  }
  std::vector<std::wstring> entry_names;
  for (const Input& in : inputs) entry_names.push_back(TargetName(in));
  for (const brxzip::PossibleCollision& c : brxzip::FindPossibleShortNameCollisions(entry_names)) {
    fprintf(stderr,
            "brxpack: warning: %s may be the short name Windows gives %s: on a volume that makes short names the "
            "stub refuses the package\n",
            brx::platform::WideToUtf8(c.short_form).c_str(), brx::platform::WideToUtf8(c.long_name).c_str());
  }
  if (!definition.empty() && !keep_order) {
    for (size_t i = 0; i < inputs.size(); ++i) {
      if (inputs[i].name == definition) {
        Input d = inputs[i];
        inputs.erase(inputs.begin() + static_cast<long>(i));
        inputs.insert(inputs.begin(), d);
        break;
      }
    }
  }
  // The definition goes first; what it says decides the warnings and the key
  // of an enciphered configuration file.
  std::wstring definition_file_name;
  const Input& first = inputs.front();
  std::vector<unsigned char> definition_bytes;
  if (!first.path.empty() && ReadWholeFile(first.path, &definition_bytes)) {
    brxpack::ReadDefinitionFileName(definition_bytes, &definition_file_name);
  }
  for (const std::string& warning : brxpack::DefinitionWarnings(output, first.name, definition_file_name)) {
    fprintf(stderr, "brxpack: warning: %s\n", warning.c_str());
  }
  if (!encipher.empty() && definition_file_name.empty()) {
    fprintf(stderr, "brxpack: cannot encipher %s: the definition (%s) names no filename to key it with\n",
            encipher.c_str(), first.name.c_str());
    return 1;
  }

  brxpack::PackageWriter writer;
  if (!encipher.empty()) {
    std::string stored = brxpack::EncodeEntryName(Wide(encipher.c_str())).bytes;
    writer.set_transform(brxpack::MakeEncipherTransform(definition_file_name, stored));
  }
  std::wstring stub_path = Wide(stub.c_str());
  if (!writer.Begin(Wide(output.c_str()).c_str(), stub.empty() ? nullptr : stub_path.c_str())) {
    fprintf(stderr, "brxpack: %s\n", writer.error().c_str());
    return 1;
  }
  brxpack::Method method = store ? brxpack::Method::kStore : brxpack::Method::kDeflate;
  for (const Input& in : inputs) {
    brxpack::StoredName name = brxpack::EncodeEntryName(TargetName(in));
    brxpack::EntryOptions directory;
    directory.flags = name.flags;
    bool ok = in.path.empty() ? writer.AddDirectory(name.bytes, directory)
                              : writer.AddFile(name.bytes, Wide(in.path.c_str()).c_str(), method, name.flags);
    if (!ok) {
      fprintf(stderr, "brxpack: %s\n", writer.error().c_str());
      return 1;
    }
  }
  if (!writer.Finish(comment)) {
    fprintf(stderr, "brxpack: %s\n", writer.error().c_str());
    return 1;
  }
  // Read the result back as the stub will: a signed stub, for one, leaves a
  // certificate table in the middle of the package, which the stub refuses.
  brxzip::ZIP_File built;
  built.SetNameCodePage(code_page);
  int opened = built.OpenArchive(Wide(output.c_str()).c_str(), 1);
  if (opened != brxzip::ZIP_OK) {
    built.CloseArchive();
    remove(output.c_str());
    return Fail("the stub could not read the package built: " + brxpack::DescribeOpenFailure(opened, output) +
                (stub.empty() ? "" : " (a signed stub? sign the package after building it)"));
  }
  return 0;
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
    fputs(kUsage, stdout);
    return 0;
  }
  if (command == "build") return Build(argc - 2, argv + 2, code_page);
  if (command == "bundle") return brxpack::RunBundleCommand(std::vector<std::string>(argv + 2, argv + argc), code_page);
  if (command == "inspect") return Inspect(wide, argc, argv, code_page);
  if (command == "deploy-config") {
    return brxpack::RunDeployConfig(std::vector<std::string>(argv, argv + argc), wide);
  }
  if (command == "list" && argc == 3) {
    brxzip::ZIP_File archive;
    if (!Open(&archive, argv[2], code_page)) return 1;
    std::string listing = brxpack::ListArchive(archive, argv[2]);
    fwrite(listing.data(), 1, listing.size(), stdout);
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
