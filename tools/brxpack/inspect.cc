#include "brxpack/inspect.h"

#include <string.h>
#include <wchar.h>

#include <memory>

#include "archive/entry_name.h"
#include "archive/zip_file.h"
#include "platform/utf8.h"
#include "brxpack/inspect_run.h"
#include "brxpack/package_tool.h"
#include "brxpack/xml_facts.h"
#include "install/configuration_file.h"
#include "package/config_cipher.h"
#include "package/ppkg.h"
#include "package/zip_entry_source.h"
#include "platform/codepage.h"
#include "platform/file.h"

namespace brxpack {
namespace {

// The languages start-up can choose, English first.
const wchar_t* const kLanguages[] = {L"en", L"fr", L"es", L"de", L"it", L"ja", L"zh"};

void Warn(InspectReport* report, const char* code, const std::string& text, bool fails_install) {
  report->warnings.push_back({code, text, fails_install});
}

std::string Quoted(const std::wstring& text) { return "\"" + brx::platform::WideToUtf8(text) + "\""; }

std::wstring WideName(const wchar_t* name) { return name ? name : L""; }

// Only the named entries of an archive: the package loads without its
// configuration file, to show what it holds when that file is what fails.
class OnlyNamedEntries : public brx::PackageEntrySource {
 public:
  OnlyNamedEntries(const brxzip::ZIP_File* archive, std::vector<std::wstring> names)
      : zip_(archive), names_(std::move(names)) {}
  bool FindEntry(const wchar_t* name, uint64_t* size) override { return Named(name) && zip_.FindEntry(name, size); }
  bool ReadEntry(const wchar_t* name, void* destination, uint64_t size) override {
    return Named(name) && zip_.ReadEntry(name, destination, size);
  }

 private:
  bool Named(const wchar_t* name) const {
    for (const std::wstring& n : names_) {
      if (brx::EqualsIgnoringAsciiCase(n.c_str(), name)) return true;
    }
    return false;
  }
  brx::ZipEntrySource zip_;
  std::vector<std::wstring> names_;
};

// Reads the whole entry to check that it inflates and matches its CRC, as
// extraction will.
bool EntryReadable(brxzip::ZIP_FileEntry* entry) {
  brxzip::ZIP_ReadContext context;
  if (entry->BeginRead(&context) != brxzip::ZIP_OK) return false;
  std::unique_ptr<unsigned char[]> chunk(new unsigned char[64 * 1024]);
  uint64_t remaining = entry->GetUncompressedSize();
  while (remaining > 0) {
    uint32_t delivered = 0;
    if (entry->ReadChunk(chunk.get(), 64 * 1024, &context, &delivered) != brxzip::ZIP_OK || delivered == 0) {
      entry->EndRead(&context);
      return false;
    }
    remaining -= delivered < remaining ? delivered : remaining;
  }
  return entry->EndRead(&context) == brxzip::ZIP_OK;
}

void InspectEntries(const brxzip::ZIP_File& archive, InspectReport* report) {
  std::vector<brxzip::RefusedEntry> refused = brxzip::FindRefusedEntries(archive);
  size_t next_refused = 0;
  for (uint64_t i = 0; i < archive.GetEntryCount(); ++i) {
    brxzip::ZIP_FileEntry* entry = archive.GetEntryAt(i);
    if (!entry) continue;
    InspectedEntry e;
    e.name = WideName(entry->GetTargetName());
    e.size = entry->GetUncompressedSize();
    e.compressed = entry->GetCompressedSize();
    e.method = entry->GetMethod();
    if (next_refused < refused.size() && refused[next_refused].index == i) {
      e.refused = brxzip::DescribeEntryRefusal(refused[next_refused++].reason);
    }
    // An encrypted entry is refused already; reading it would only fail again.
    bool directory = !e.name.empty() && e.name.back() == L'/';
    e.readable = directory || !e.refused.empty() || EntryReadable(entry);
    if (!e.refused.empty()) {
      Warn(report, "refused_name", "the stub refuses the entry " + Quoted(e.name) + " (" + e.refused +
                                       "): it extracts nothing and installs nothing", true);
    } else if (!e.readable) {
      Warn(report, "unreadable_entry", "the entry " + Quoted(e.name) +
                                           " does not read back (corrupt data or CRC): extraction fails", true);
    }
    report->entries.push_back(e);
  }
  std::vector<std::wstring> names;
  for (uint64_t i = 0; i < archive.GetEntryCount(); ++i) {
    const wchar_t* name = archive.GetEntryAt(i)->GetTargetName();
    names.push_back(name ? name : L"");
  }
  for (const brxzip::PossibleCollision& c : brxzip::FindPossibleShortNameCollisions(names)) {
    Warn(report, "short_name_collision",
         "the entry " + Quoted(WideName(c.short_form.c_str())) + " may be the short name Windows gives " +
             Quoted(WideName(c.long_name.c_str())) + ": where it is, the stub refuses the package", false);
  }
}

// Children of `parent` named `name`, in the reader's list order (the order in
// which the stub's lookups find them).
std::vector<const CBrxXMLNode*> Children(const CBrxXMLNode* parent, const wchar_t* name) {
  std::vector<const CBrxXMLNode*> out;
  for (const CBrxXMLNode* n = parent ? parent->FindFirstChild(name) : nullptr; n; n = n->FindNextSibling(name)) {
    out.push_back(n);
  }
  return out;
}

const CBrxXMLNode* Path(const CBrxXMLReader& reader, std::initializer_list<const wchar_t*> path) {
  const CBrxXMLNode* node = nullptr;
  for (const wchar_t* name : path) {
    node = reader.FindChild(node, name);
    if (!node) return nullptr;
  }
  return node;
}

std::wstring Text(const wchar_t* text) { return text ? text : L""; }

std::wstring Attribute(const CBrxXMLNode* node, const wchar_t* name) { return Text(node->GetAttribute(name)); }

TextPairs Pairs(const CBrxXMLNode* parent, const wchar_t* element, const wchar_t* key, const wchar_t* value) {
  TextPairs out;
  for (const CBrxXMLNode* n : Children(parent, element)) {
    out.emplace_back(Attribute(n, key), value ? Attribute(n, value) : Text(brx::ElementText(n)));
  }
  return out;
}

// Archive names and definition paths compare ignoring case, with either slash.
bool SameEntryName(std::wstring a, std::wstring b) {
  for (wchar_t& c : a) c = c == L'\\' ? L'/' : c;
  for (wchar_t& c : b) c = c == L'\\' ? L'/' : c;
  return brx::EqualsIgnoringAsciiCase(a.c_str(), b.c_str());
}

bool HasEntry(const InspectReport& report, const std::wstring& name) {
  for (const InspectedEntry& e : report.entries) {
    if (SameEntryName(e.name, name)) return true;
  }
  return false;
}

std::wstring BaseName(const std::wstring& path) {
  size_t slash = path.find_last_of(L"/\\:");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

void ReadDefinition(const CPPkg& package, const brxzip::ZIP_File& archive, const std::wstring& entry,
                    InspectReport* report) {
  report->file_name = Text(package.GetFileName());
  report->version = Text(package.GetVersion());
  report->sw_key = Text(package.GetSwKeyName());
  report->sw_key_expected_path = Text(package.GetSwKeyExpectedPath());
  report->command = Text(package.GetInstallCommand());
  report->params = Text(package.GetInstallCommandParams());
  report->command_present = !report->command.empty() && HasEntry(*report, report->command);

  // Display names as the stub shows them on each language's Windows: the
  // translation, or the English one.
  std::wstring english;
  for (const wchar_t* language : kLanguages) {
    CPPkg translated;
    OnlyNamedEntries source(&archive, {entry});
    if (!translated.LoadPackageFrom(&source, L"package", entry.c_str(), language)) break;
    std::wstring name = Text(translated.GetName());
    if (language == kLanguages[0]) english = name;
    if (language == kLanguages[0] || name != english) report->names.emplace_back(language, name);
  }

  if (report->command.empty()) {
    Warn(report, "missing_setup_program", "the definition names no setup program: the stub installs nothing", true);
  } else if (!report->command_present) {
    Warn(report, "missing_setup_program",
         "the setup program " + Quoted(report->command) + " is not in the archive: the install fails to start it",
         true);
  }
  std::wstring package_name = BaseName(Text(package.archive_path()));
  if (!report->file_name.empty() && !brx::EqualsIgnoringAsciiCase(report->file_name.c_str(), package_name.c_str())) {
    Warn(report, "filename_differs",
         "the definition's filename is " + Quoted(report->file_name) + " but the package is " + Quoted(package_name) +
             ": the inventory records the component under the definition's name",
         false);
  }
}

void ReadPackageData(const CPPkg& package, InspectReport* report) {
  const CBrxXMLReader& data = package.package_data();
  report->settings = Pairs(Path(data, {L"zt_pkg_data", L"settings"}), L"value", L"name", L"value");
  report->licences = Pairs(Path(data, {L"zt_pkg_data", L"license"}), L"filename", L"lang", nullptr);
  report->argument_map = Pairs(Path(data, {L"zt_pkg_data", L"installation", L"install", L"commandline_arg_map"}),
                               L"map", L"source", L"dest");
  report->return_code_map = Pairs(Path(data, {L"zt_pkg_data", L"installation", L"install", L"returncode_map"}),
                                  L"map", L"source", L"dest");
  report->virtualization_allowed = package.IsVirtualizationAllowed();
  for (const auto& licence : report->licences) {
    if (HasEntry(*report, licence.second)) continue;
    Warn(report, "licence_missing",
         "the licence file " + Quoted(licence.second) + " (" + brx::platform::WideToUtf8(licence.first) +
             ") is not in the archive: where the stub picks that file it shows no licence agreement",
         false);
  }
}

// Text a setup program can read: printable ASCII, tab and line ends, and
// well-formed UTF-8. Bytes deciphered with the wrong key are none of these.
bool LooksLikeText(const std::vector<uint8_t>& bytes) {
  size_t end = bytes.size();
  // The enciphering side fills the last block with blanks or zeros.
  while (end > 0 && (bytes[end - 1] == 0 || bytes[end - 1] == ' ')) --end;
  for (size_t i = 0; i < end; ++i) {
    uint8_t c = bytes[i];
    if (c == '\t' || c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7f)) continue;
    size_t follow = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 0;
    if (follow == 0 || c == 0xC0 || c == 0xC1) return false;
    for (size_t k = 1; k <= follow; ++k) {
      if (i + k >= end || (bytes[i + k] & 0xC0) != 0x80) return false;
    }
    i += follow;
  }
  return true;
}

std::string FirstLine(const std::vector<uint8_t>& bytes) {
  std::string line;
  for (uint8_t c : bytes) {
    if (c == '\n' || c == '\r' || line.size() >= 80) break;
    line.push_back(c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '?');
  }
  return line;
}

void ReadConfigurationFile(const CPPkg& package, const brxzip::ZIP_File& archive, bool loaded,
                           InspectReport* report) {
  PackageConfiguration record;
  package.ReadConfiguration(&record);
  InspectedConfiguration& config = report->configuration;
  config.file = record.config_file_name.get();
  config.config_ui = record.config_ui_file_name.get();
  config.encrypted = record.encrypted;
  if (config.file.empty()) return;
  config.present = archive.FindEntry(config.file.c_str()) != nullptr;
  if (!config.present) {
    config.placement = "none: the archive has no such entry";
    return;
  }

  std::vector<uint8_t> bytes;
  bool usable = false;
  if (loaded) {
    usable = package.GetConfigurationData().CopyBytes(&bytes);
  } else {
    // The stub's own load failed; read the entry and decipher it the same way to say why.
    brx::ZipEntrySource source(&archive);
    brx::EntryBuffer buffer;
    if (brx::ReadWholeEntry(&source, config.file.c_str(), &buffer) == brx::EntryRead::kRead) {
      bytes.assign(buffer.data.get(), buffer.data.get() + buffer.size);
      usable = !config.encrypted ||
               brx::DecipherConfiguration(package.GetFileName(), buffer.data.get(), buffer.size, &bytes);
    }
  }
  config.size = bytes.size();
  config.deciphers = config.encrypted && usable && LooksLikeText(bytes);
  // Bytes deciphered with the wrong key are noise, not a line.
  if (usable && (!config.encrypted || config.deciphers)) config.first_line = FirstLine(bytes);

  std::vector<uint8_t> placed;
  bool replaced = loaded && brx::PlanConfigurationFile(package, archive, &placed) ==
                                brx::ConfigurationPlacement::kReplaced;
  config.placement = replaced ? "the package's copy (deciphered when enciphered) replaces the extracted entry"
                              : "the entry as stored in the archive";

  if (!usable) {
    Warn(report, "bad_configuration",
         "the configuration file " + Quoted(config.file) +
             (config.encrypted ? " does not decipher with the key from the definition's filename " +
                                     Quoted(report->file_name) + " (not whole blocks of hex text, or no filename)"
                               : " cannot be read") +
             ": the stub does not load the package",
         true);
  } else if (config.encrypted && !config.deciphers) {
    Warn(report, "bad_configuration",
         "the configuration file " + Quoted(config.file) + " deciphers to no text with the key from the "
             "definition's filename " + Quoted(report->file_name) + ": it was enciphered with another key",
         true);
  } else if (config.encrypted && !replaced) {
    Warn(report, "enciphered_config_placed_as_stored",
         "the configuration file " + Quoted(config.file) + " is enciphered but the package declares no configui: "
             "the setup program finds it enciphered",
         false);
  }
}

// Why an ".xml" entry does not load: its encoding, or where it is not well-formed.
std::string WhyUnreadable(const brxzip::ZIP_File& archive, const std::wstring& name) {
  brx::ZipEntrySource source(&archive);
  brx::EntryBuffer buffer;
  if (brx::ReadWholeEntry(&source, name.c_str(), &buffer) != brx::EntryRead::kRead) return "unreadable";
  return DescribeUnreadableXml(buffer.data.get(), buffer.size);
}

void ExplainNoDefinition(const brxzip::ZIP_File& archive, InspectReport* report) {
  std::string text = "no definition qualifies: the stub shows \"A package definition file was not found.  "
                     "The file is not a valid Package.\" (no entry " + Quoted(report->search.expected.get()) +
                     ", and no \".xml\" entry whose brx_package has version 2.0.1.0 or 2.0.2.0";
  for (const brx::DefinitionCandidate& c : report->candidates) {
    text += "; " + Quoted(c.name) + ": " +
            (c.parsed ? "<" + brx::platform::WideToUtf8(c.element) + "> version " + Quoted(c.version)
                      : WhyUnreadable(archive, c.name));
  }
  Warn(report, "no_definition", text + ")", true);
}

}  // namespace

int InspectReport::ExitStatus() const {
  for (const InspectWarning& w : warnings) {
    if (w.fails_install) return 1;
  }
  return 0;
}

InspectReport InspectPackage(const std::wstring& package_path, const std::string& display_path,
                             const std::vector<std::wstring>& stub_arguments, uint32_t code_page) {
  InspectReport report;
  report.package = display_path;
  report.run.arguments = stub_arguments;
  {
    brx::platform::File file;
    if (file.Open(package_path.c_str(), brx::platform::FileMode::kReadShared)) report.stub = ReadStubVersion(&file);
  }
  brxzip::ZIP_File archive;
  archive.SetNameCodePage(code_page);
  int opened = archive.OpenArchive(package_path.c_str(), 1);
  if (opened == brxzip::ZIP_OK) {
    report.signature = brxzip::CheckImageSignature(archive.file(), &report.signatures);
    if (report.signature != brxzip::ImageSignature::kUnsigned &&
        report.signature != brxzip::ImageSignature::kValidDigest) {
      Warn(&report, "signature",
           std::string("the package's signature: ") + brxzip::DescribeImageSignature(report.signature) +
               ": the stub shows \"A package definition file was not found.  The file is not a valid Package.\"",
           true);
    }
  }
  if (opened != brxzip::ZIP_OK) {
    report.open_error = DescribeOpenFailure(opened, display_path);
    Warn(&report, "no_package", report.open_error + ": the stub shows \"A package definition file was not found.  "
                                    "The file is not a valid Package.\"", true);
    return report;
  }
  report.opened = true;
  InspectEntries(archive, &report);
  for (const std::string& warning : CodePageNameWarnings(archive, code_page)) {
    Warn(&report, "code_page_name", warning, false);
  }

  CPPkg package;
  PackagePath entry;
  report.loaded = brx::LoadStubDefinition(package, archive, package_path.c_str(), L"en", &entry, &report.search);
  if (report.search.searched) report.candidates = brx::ListDefinitionCandidates(archive);
  bool readable = report.loaded;
  if (!readable) {
    // The definition itself may be sound and its configuration file what
    // fails the load: read it without that file to tell which.
    std::vector<std::wstring> tries = {report.search.expected.get()};
    for (const brx::DefinitionCandidate& c : report.candidates) {
      if (c.qualifies) tries.push_back(c.name);
    }
    for (const std::wstring& name : tries) {
      OnlyNamedEntries source(&archive, {name, L"zt_data.xml"});
      if (package.LoadPackageFrom(&source, package_path.c_str(), name.c_str(), L"en")) {
        entry.Assign(name.c_str());
        readable = true;
        break;
      }
    }
  }
  if (readable) {
    report.definition_entry = entry.get();
    ReadDefinition(package, archive, report.definition_entry, &report);
    ReadPackageData(package, &report);
    ReadConfigurationFile(package, archive, report.loaded, &report);
    package.GetPackageSize(&report.required_disk_space);
  }
  // Whatever else was found, a package the stub does not load installs nothing.
  if (!report.loaded && report.ExitStatus() == 0) ExplainNoDefinition(archive, &report);

  bool extraction_succeeds = true;
  for (const InspectedEntry& e : report.entries) {
    extraction_succeeds = extraction_succeeds && e.readable && e.refused.empty();
  }
  report.run = PredictRun(package, archive, report.loaded, extraction_succeeds, BaseName(package_path), stub_arguments);
  if (!report.run.refusal.empty() && report.ExitStatus() == 0) {
    Warn(&report, "install_refused", "with these arguments " + report.run.refusal, true);
  }
  return report;
}

}  // namespace brxpack
