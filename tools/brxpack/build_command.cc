#include "brxpack/build_command.h"

#include <stdio.h>

#include <algorithm>
#include <chrono>

#include "archive/entry_name.h"
#include "archive/zip_file.h"
#include "base/terminal_text.h"
#include "brxpack/build_check.h"
#include "brxpack/definition_check.h"
#include "brxpack/package_tool.h"
#include "brxpack/package_writer.h"
#include "package/xml_reader.h"
#include "platform/dir_list.h"
#include "platform/file.h"
#include "platform/path_info.h"
#include "platform/utf8.h"

namespace brxpack {

const char kBuildHelp[] =
    "usage: brxpack build --stub STUB -o PACKAGE [options] ENTRY... [@LISTFILE...]\n"
    "\n"
    "Appends the entries to a copy of STUB (brxstub.exe) as the package's archive, then checks the\n"
    "package as the stub will read it (the checks of brxpack inspect, and what the stub would\n"
    "silently lose in the definition and zt_data.xml). Each problem is one line naming the file,\n"
    "the field and what to do; with any, nothing is built (exit 1) unless --force is given.\n"
    "\n"
    "ENTRY:\n"
    "  PATH           a file, stored under its file name (src/setup.exe -> setup.exe)\n"
    "  NAME=PATH      a file stored as NAME (bin/tool.exe=build/tool.exe)\n"
    "  FOLDER         the files under FOLDER, named by their path inside it (also .=FOLDER)\n"
    "  NAME=FOLDER    the same under NAME/\n"
    "  NAME/          an empty directory entry\n"
    "  @LISTFILE      the ENTRY lines of LISTFILE (UTF-8, one a line, # comments)\n"
    "\n"
    "Options:\n"
    "  --stub STUB        the stub to copy (dist/bin/brxstub.exe), not a finished package\n"
    "  -o PACKAGE         the package to write; its name decides the definition entry's (PACKAGE.xml)\n"
    "  --definition NAME  the definition entry, when it is not named after the package\n"
    "  --keep-order       keep the entries' order (else the definition goes first)\n"
    "  --store            store every entry uncompressed (deflate is kept only where it pays)\n"
    "  --encipher NAME    store entry NAME enciphered with the key from the definition's filename;\n"
    "                     zt_data.xml must name it encrypt=\"1\" and have a configui element\n"
    "  --comment TEXT     the archive's comment\n"
    "  --force            build even when the checks find problems (they are shown as warnings)\n"
    "  --codepage N       the servers' ANSI code page for names not stored as UTF-8 (default 1252)\n"
    "\n"
    "A summary (entries, sizes, time) and, on long builds, progress go to standard error.\n"
    "The format of the definition and zt_data.xml: docs/package-format.md.\n";

namespace {

std::string Utf8(const std::wstring& text) { return brx::platform::WideToUtf8(text); }

bool IsSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

std::wstring BaseName(const std::wstring& path) {
  size_t end = path.size();
  while (end > 1 && IsSeparator(path[end - 1])) --end;
  size_t slash = path.find_last_of(L"/\\", end - 1);
  return path.substr(slash == std::wstring::npos ? 0 : slash + 1, end - (slash == std::wstring::npos ? 0 : slash + 1));
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
  return !folder.empty() && IsSeparator(folder.back()) ? folder + name : folder + L"/" + name;
}

// A plain path's name in the archive as before entries took their file names:
// still used for a NAME/ directory entry.
std::wstring ArchiveName(std::wstring path) {
  for (wchar_t& c : path) {
    if (c == L'\\') c = L'/';
  }
  while (path.compare(0, 2, L"./") == 0) path.erase(0, 2);
  while (!path.empty() && path[0] == L'/') path.erase(0, 1);
  return path;
}

bool IsFolder(const std::wstring& path) {
  brx::platform::PathKind kind = brx::platform::KindOf(path.c_str());
  if (kind == brx::platform::PathKind::kDirectory) return true;
  if (kind != brx::platform::PathKind::kLink) return false;
  std::vector<std::wstring> names;
  uint32_t error = 0;
  return brx::platform::ListDirectory(path.c_str(), &names, &error);
}

// The files under `folder`, sorted so that a build is the same every time. A
// link to a folder inside it is not followed: a link back up would never end.
bool AddFolder(const std::wstring& folder, const std::wstring& prefix, std::vector<BuildInput>* inputs,
               std::string* error, std::vector<std::string>* warnings) {
  std::vector<std::wstring> names;
  uint32_t code = 0;
  if (!brx::platform::ListDirectory(folder.c_str(), &names, &code)) {
    *error = "cannot read the folder " + Utf8(folder) + ": " + SystemErrorText(code);
    return false;
  }
  std::sort(names.begin(), names.end());
  if (names.empty() && !prefix.empty()) inputs->push_back({prefix, std::wstring()});
  for (const std::wstring& name : names) {
    std::wstring path = JoinPath(folder, name);
    switch (brx::platform::KindOf(path.c_str())) {
      case brx::platform::PathKind::kDirectory:
        if (!AddFolder(path, prefix + name + L"/", inputs, error, warnings)) return false;
        break;
      case brx::platform::PathKind::kLink:
        if (IsFolder(path)) {
          warnings->push_back("not following the link to a folder " + Utf8(path) + ": give it as an entry of its own");
          break;
        }
        inputs->push_back({prefix + name, path});
        break;
      case brx::platform::PathKind::kFile:
        inputs->push_back({prefix + name, path});
        break;
      default:
        *error = "cannot examine " + Utf8(path);
        return false;
    }
  }
  return true;
}

std::string Size(uint64_t bytes) {
  const char* units[] = {"KiB", "MiB", "GiB"};
  if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  double value = static_cast<double>(bytes) / 1024;
  int unit = 0;
  while (value >= 1024 && unit < 2) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  snprintf(text, sizeof(text), "%.1f %s", value, units[unit]);
  return text;
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) { return brx::EqualsIgnoringAsciiCase(a.c_str(), b.c_str()); }

bool ReadWholeFile(const std::wstring& path, std::vector<unsigned char>* bytes) {
  brx::platform::File file;
  uint64_t size = 0;
  if (!file.Open(path.c_str(), brx::platform::FileMode::kReadShared) || !file.GetSize(&size) ||
      size > (64u << 20)) {
    return false;
  }
  bytes->resize(static_cast<size_t>(size));
  uint32_t read = 0;
  return size == 0 || (file.Read(bytes->data(), static_cast<uint32_t>(size), &read) && read == size);
}

void RemoveFile(const std::wstring& path) {
#ifdef _WIN32
  _wremove(path.c_str());
#else
  remove(brx::platform::NativePath(path.c_str()).c_str());
#endif
}

int CommandLineError(const std::string& message) {
  fprintf(stderr, "brxpack build: %s\n(brxpack build --help shows the options)\n", message.c_str());
  return 2;
}

int Fail(const std::string& message) {
  fprintf(stderr, "brxpack: %s\n", message.c_str());
  return 1;
}

// Progress on a long build: a line every few seconds once it has taken a
// while. Numbers only, so nothing a file name holds reaches the terminal.
class Progress {
 public:
  explicit Progress(size_t total) : total_(total), start_(Clock::now()), last_(start_) {}
  void Entry(size_t index) { index_ = index; }
  void Read(uint64_t bytes) {
    Clock::time_point now = Clock::now();
    if (now - start_ < std::chrono::seconds(3) || now - last_ < std::chrono::seconds(3)) return;
    last_ = now;
    fprintf(stderr, "brxpack: %zu of %zu entries, %s read, %.0f s\n", index_ + 1, total_, Size(bytes).c_str(),
            Seconds());
  }
  double Seconds() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

 private:
  using Clock = std::chrono::steady_clock;
  size_t total_;
  size_t index_ = 0;
  Clock::time_point start_, last_;
};

}  // namespace

bool ExpandEntryArgument(const std::wstring& argument, std::vector<BuildInput>* inputs, std::string* error,
                         std::vector<std::string>* warnings) {
  size_t eq = argument.find(L'=');
  if (eq == std::wstring::npos || eq == 0) {
    if (IsFolder(argument)) {
      size_t before = inputs->size();
      if (!AddFolder(argument, std::wstring(), inputs, error, warnings)) return false;
      if (inputs->size() == before) {
        *error = "the folder " + Utf8(argument) + " holds no files";
        return false;
      }
      return true;
    }
    if (!argument.empty() && IsSeparator(argument.back())) {
      inputs->push_back({ArchiveName(argument), std::wstring()});
      return true;
    }
    // The stub looks for entries by name at the archive's root; a path's
    // folders (src/, build/) would hide them.
    inputs->push_back({BaseName(argument), argument});
    return true;
  }
  std::wstring name = argument.substr(0, eq);
  std::wstring path = argument.substr(eq + 1);
  if (name.back() == L'/') {
    inputs->push_back({name, std::wstring()});
    return true;
  }
  if (IsFolder(path)) {
    std::wstring prefix = name == L"." ? std::wstring() : name + L"/";
    return AddFolder(path, prefix, inputs, error, warnings);
  }
  inputs->push_back({name, path});
  return true;
}

bool ReadListFile(const std::wstring& path, std::vector<std::wstring>* lines, std::string* error) {
  std::vector<unsigned char> bytes;
  if (!ReadWholeFile(path, &bytes)) {
    *error = "cannot read the list file " + Utf8(path) + " (missing, unreadable or over 64 MiB)";
    return false;
  }
  size_t at = bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
  for (size_t number = 1; at < bytes.size(); ++number) {
    size_t end = at;
    while (end < bytes.size() && bytes[end] != '\n') ++end;
    size_t stop = end;
    if (stop > at && bytes[stop - 1] == '\r') --stop;
    std::wstring line;
    if (!brx::platform::Utf8ToWide(reinterpret_cast<const char*>(bytes.data() + at), stop - at, &line)) {
      *error = "the list file " + Utf8(path) + " is not UTF-8 at line " + std::to_string(number);
      return false;
    }
    if (!line.empty() && line[0] != L'#') lines->push_back(line);
    at = end + 1;
  }
  return true;
}

int RunBuild(const std::vector<std::wstring>& args, uint32_t code_page) {
  std::wstring stub, output, definition, comment, encipher;
  bool store = false, keep_order = false, force = false;
  std::vector<BuildInput> inputs;
  std::vector<std::string> warnings;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::wstring& a = args[i];
    auto value = [&](std::wstring* out) {
      if (i + 1 >= args.size()) return false;
      *out = args[++i];
      return true;
    };
    std::string error;
    if (a == L"--help" || a == L"-h") {
      fputs(kBuildHelp, stdout);
      return 0;
    } else if (a == L"--stub" || a == L"-o" || a == L"--definition" || a == L"--comment" || a == L"--encipher") {
      std::wstring* target = a == L"--stub" ? &stub : a == L"-o" ? &output : a == L"--definition" ? &definition
                                                     : a == L"--comment" ? &comment : &encipher;
      if (!value(target)) return CommandLineError(Utf8(a) + " needs a value");
    } else if (a == L"--store") {
      store = true;
    } else if (a == L"--keep-order") {
      keep_order = true;
    } else if (a == L"--force") {
      force = true;
    } else if (!a.empty() && a[0] == L'-') {
      return CommandLineError("unknown option " + Utf8(a));
    } else if (!a.empty() && a[0] == L'@') {
      std::vector<std::wstring> lines;
      if (!ReadListFile(a.substr(1), &lines, &error)) return Fail(error);
      for (const std::wstring& line : lines) {
        if (!ExpandEntryArgument(line, &inputs, &error, &warnings)) return Fail(error);
      }
    } else if (!ExpandEntryArgument(a, &inputs, &error, &warnings)) {
      return Fail(error);
    }
  }
  if (output.empty()) return CommandLineError("-o PACKAGE is required");
  if (inputs.empty()) return CommandLineError("no entries given");
  for (const std::string& warning : warnings) fprintf(stderr, "brxpack: warning: %s\n", warning.c_str());

  // A package the stub would refuse is never built: the same rules, checked
  // here, fail on the packager's machine instead of the administrator's server.
  brxzip::EntryNameSet names;
  for (const BuildInput& in : inputs) {
    brxzip::EntryRefusal reason = brxzip::CheckEntryName(in.name.c_str());
    if (reason == brxzip::EntryRefusal::kNone) reason = names.Add(in.name.c_str());
    if (reason != brxzip::EntryRefusal::kNone) {
      return Fail("refusing entry " + brx::TerminalText(in.name) + ": " + brxzip::DescribeEntryRefusal(reason));
    }
  }
  std::vector<std::wstring> entry_names;
  for (const BuildInput& in : inputs) entry_names.push_back(in.name);
  for (const brxzip::PossibleCollision& c : brxzip::FindPossibleShortNameCollisions(entry_names)) {
    fprintf(stderr,
            "brxpack: warning: %s may be the short name Windows gives %s: on a volume that makes short names the "
            "stub refuses the package\n",
            brx::TerminalText(c.short_form).c_str(), brx::TerminalText(c.long_name).c_str());
  }

  // The definition: the one named, else the entry the stub looks for first
  // (the package's name with .xml), else the first entry. It goes first.
  std::wstring package_name = BaseName(output);
  size_t dot = package_name.rfind(L'.');
  std::wstring expected = (dot == std::wstring::npos ? package_name : package_name.substr(0, dot)) + L".xml";
  size_t chosen = 0;
  bool found = false;
  for (size_t i = 0; i < inputs.size() && !found; ++i) {
    found = definition.empty() ? EqualsNoCase(inputs[i].name, expected) : inputs[i].name == definition;
    if (found) chosen = i;
  }
  if (!definition.empty() && !found) return Fail("--definition " + Utf8(definition) + ": no entry of that name");
  if (found && chosen != 0 && !keep_order) {
    BuildInput d = inputs[chosen];
    inputs.erase(inputs.begin() + static_cast<long>(chosen));
    inputs.insert(inputs.begin(), d);
    chosen = 0;
  }
  const BuildInput& def = inputs[chosen];
  std::wstring definition_file_name;
  std::vector<unsigned char> definition_bytes;
  if (!def.path.empty() && ReadWholeFile(def.path, &definition_bytes)) {
    ReadDefinitionFileName(definition_bytes, &definition_file_name);
  }
  for (const std::string& warning : DefinitionWarnings(Utf8(output), Utf8(def.name), definition_file_name)) {
    fprintf(stderr, "brxpack: warning: %s\n", warning.c_str());
  }
  std::string enciphered;
  if (!encipher.empty()) {
    bool named = false;
    for (const BuildInput& in : inputs) named = named || (in.name == encipher && !in.path.empty());
    if (!named) return Fail("--encipher " + Utf8(encipher) + ": no file entry of that name");
    if (definition_file_name.empty()) {
      return Fail("cannot encipher " + Utf8(encipher) + ": the definition " + Utf8(def.name) +
                  (def.path.empty() ? std::string() : " (from " + Utf8(def.path) + ")") +
                  " names no filename to key it with; add <filename>" + Utf8(package_name) + "</filename>");
    }
    enciphered = EncodeEntryName(encipher).bytes;
  }

  std::vector<BuildProblem> before;
  if (!stub.empty()) {
    std::string held = DescribePackageInStub(stub);
    if (!held.empty()) {
      before.push_back({"the stub " + Utf8(stub), "", held + ": the new package would carry it as dead weight",
                        "give brxstub.exe itself (dist/bin/brxstub.exe), not a built package"});
    }
  }
  for (const BuildProblem& p : before) {
    fprintf(stderr, "brxpack: %s: %s\n", force ? "warning" : "error", FormatProblem(p).c_str());
  }
  if (!before.empty() && !force) return Fail("nothing built (--force builds it anyway)");

  PackageWriter writer;
  if (!enciphered.empty()) writer.set_transform(MakeEncipherTransform(definition_file_name, enciphered), enciphered);
  Progress progress(inputs.size());
  writer.set_progress([&progress](uint64_t bytes) { progress.Read(bytes); });
  if (!writer.Begin(output.c_str(), stub.empty() ? nullptr : stub.c_str())) return Fail(writer.error());
  Method method = store ? Method::kStore : Method::kDeflate;
  for (size_t i = 0; i < inputs.size(); ++i) {
    const BuildInput& in = inputs[i];
    progress.Entry(i);
    StoredName name = EncodeEntryName(in.name);
    EntryOptions directory;
    directory.flags = name.flags;
    bool ok = in.path.empty() ? writer.AddDirectory(name.bytes, directory)
                              : writer.AddFile(name.bytes, in.path.c_str(), method, name.flags);
    if (!ok) {
      RemoveFile(output);
      return Fail(writer.error());
    }
  }
  if (!writer.Finish(Utf8(comment))) {
    RemoveFile(output);
    return Fail(writer.error());
  }
  // Read the result back as the stub will: a signed stub, for one, leaves a
  // certificate table in the middle of the package, which the stub refuses.
  std::string display = Utf8(output);
  {
    brxzip::ZIP_File built;
    built.SetNameCodePage(code_page);
    int opened = built.OpenArchive(output.c_str(), 1);
    if (opened != brxzip::ZIP_OK) {
      built.CloseArchive();
      RemoveFile(output);
      return Fail("the stub could not read the package built: " + DescribeOpenFailure(opened, display) +
                  (stub.empty() ? "" : " (a signed stub? sign the package after building it)"));
    }
    // And the stub's own name check, on the names as it decodes them.
    std::string refused = DescribeRefusedEntries(built);
    if (!refused.empty()) {
      built.CloseArchive();
      RemoveFile(output);
      fprintf(stderr, "%s", refused.c_str());
      return Fail("the stub would refuse the package built");
    }
  }

  BuiltPackage built;
  built.path = output;
  built.display = display;
  built.code_page = code_page;
  built.enciphered = enciphered;
  built.describe_entry = [&inputs](const std::wstring& entry) {
    for (const BuildInput& in : inputs) {
      if (!in.path.empty() && EqualsNoCase(in.name, entry)) return Utf8(entry) + " (from " + Utf8(in.path) + ")";
    }
    return Utf8(entry);
  };
  size_t fatal = 0;
  for (const BuildProblem& p : CheckBuiltPackage(built)) {
    if (p.fatal) ++fatal;
    fprintf(stderr, "brxpack: %s: %s\n", p.fatal && !force ? "error" : "warning", FormatProblem(p).c_str());
  }
  if (fatal > 0 && !force) {
    RemoveFile(output);
    return Fail("nothing built: " + std::to_string(fatal) + (fatal == 1 ? " problem" : " problems") +
                " would fail or change the install (--force builds it anyway)");
  }
  fprintf(stderr, "brxpack: built %s: %zu entries, %s (%s stored), package %s, in %.1f s\n", display.c_str(),
          writer.entry_count(), Size(writer.total_size()).c_str(), Size(writer.total_stored()).c_str(),
          Size(writer.position()).c_str(), progress.Seconds());
  return 0;
}

}  // namespace brxpack
