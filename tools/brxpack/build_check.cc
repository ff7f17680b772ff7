#include "brxpack/build_check.h"

#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <map>

#include "archive/zip_file.h"
#include "brxpack/inspect.h"
#include "brxpack/package_format.h"
#include "brxpack/xml_facts.h"
#include "package/definition_search.h"
#include "package/entry_source.h"
#include "package/xml_reader.h"
#include "package/zip_entry_source.h"
#include "platform/utf8.h"

namespace brxpack {
namespace {

const wchar_t kPackageData[] = L"zt_data.xml";

std::string Utf8(const std::wstring& text) { return brx::platform::WideToUtf8(text); }

// A text from the package inside a message: quoted, cut, and with control
// characters shown as escapes so that no value can move the terminal's cursor.
std::string Shown(const std::wstring& text) {
  std::string out = "\"";
  size_t count = 0;
  for (wchar_t c : text) {
    if (++count > 60) {
      out += "...";
      break;
    }
    if (c == L'\n') {
      out += "\\n";
    } else if (c == L'\r') {
      out += "\\r";
    } else if (c == L'\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) {
      char hex[8];
      snprintf(hex, sizeof(hex), "\\x%02X", static_cast<unsigned>(c));
      out += hex;
    } else {
      out += Utf8(std::wstring(1, c));
    }
  }
  return out + "\"";
}

std::wstring Trim(const std::wstring& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && brx::IsXmlBlank(text[begin])) ++begin;
  while (end > begin && brx::IsXmlBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

class Checker {
 public:
  explicit Checker(const BuiltPackage& built) : built_(built) {}

  std::vector<BuildProblem> Run();

 private:
  void Add(const std::string& file, const std::string& field, const std::string& problem,
           const std::string& action, bool fatal = true) {
    problems_.push_back({file, field, problem, action, fatal});
  }
  std::string Entry(const std::wstring& name) const {
    return built_.describe_entry ? built_.describe_entry(name) : Utf8(name);
  }
  bool ReadEntry(const std::wstring& name, std::vector<unsigned char>* bytes);
  void FromInspect(const InspectReport& report);
  void CheckUnreadableDefinitions(const InspectReport& report);
  void CheckTexts(const std::wstring& entry, FormatDocument document);
  void CompareTexts(const std::string& file, FormatDocument document, const std::string& path,
                    const XmlElement& written, const CBrxXMLNode* read);
  void CheckPackageData();
  void CheckMap(const CBrxXMLReader& data, const std::string& file, const wchar_t* map_name, bool codes);
  void CheckSettings(const CBrxXMLReader& data, const std::string& file);
  void CheckEncipher(const InspectReport& report);

  const BuiltPackage& built_;
  brxzip::ZIP_File archive_;
  std::vector<BuildProblem> problems_;
};

bool Checker::ReadEntry(const std::wstring& name, std::vector<unsigned char>* bytes) {
  brx::ZipEntrySource source(&archive_);
  brx::EntryBuffer buffer;
  if (brx::ReadWholeEntry(&source, name.c_str(), &buffer) != brx::EntryRead::kRead) return false;
  bytes->assign(buffer.data.get(), buffer.data.get() + buffer.size);
  return true;
}

// inspect's findings, each with the file and field it concerns and what to do.
void Checker::FromInspect(const InspectReport& report) {
  std::string definition = report.definition_entry.empty() ? built_.display : Entry(report.definition_entry);
  std::string data = Entry(kPackageData);
  for (const InspectWarning& w : report.warnings) {
    if (w.code == "filename_differs") continue;  // build warns about the name before it writes
    if (w.code == "enciphered_config_placed_as_stored" && !built_.enciphered.empty()) continue;  // below
    if (w.code == "no_definition") {
      Add(built_.display, "", w.text,
          "give the definition the package's name (" + Utf8(report.search.expected.get()) +
              ") or version=\"2.0.2.0\" on brx_package");
    } else if (w.code == "missing_setup_program") {
      Add(definition, "brx_package/installation/install/command", w.text,
          "add the setup program as an entry (NAME=PATH) or name one the package holds");
    } else if (w.code == "refused_name" || w.code == "short_name_collision") {
      Add(built_.display, "", w.text, "rename the entry", w.fails_install);
    } else if (w.code == "bad_configuration") {
      Add(data, "zt_pkg_data/configuration/config_file/filename", w.text,
          report.configuration.encrypted ? "build with --encipher " + Utf8(report.configuration.file) +
                                               " and the plain file, or set encrypt=\"0\""
                                         : "check the entry");
    } else if (w.code == "licence_missing") {
      Add(data, "zt_pkg_data/license/filename", w.text, "add the licence file as an entry or correct the name",
          w.fails_install);
    } else if (w.code == "enciphered_config_placed_as_stored") {
      Add(data, "zt_pkg_data/configuration/configui/filename", w.text,
          "add <configui><filename lang=\"en\">" + Utf8(report.configuration.file) + "</filename></configui>",
          w.fails_install);
    } else if (w.code == "signature") {
      Add(built_.display, "", w.text, "sign the package after building it", w.fails_install);
    } else {
      Add(built_.display, "", w.text, "see brxpack inspect " + built_.display, w.fails_install);
    }
  }
}

// Without a definition, say why each candidate did not load.
void Checker::CheckUnreadableDefinitions(const InspectReport& report) {
  if (report.loaded) return;
  for (uint64_t i = 0; i < archive_.GetEntryCount(); ++i) {
    const wchar_t* name = archive_.GetEntryAt(i)->GetTargetName();
    if (!name || !brx::HasXmlExtension(name) || brx::EqualsIgnoringAsciiCase(name, kPackageData)) continue;
    std::vector<unsigned char> bytes;
    CBrxXMLReader reader;
    if (!ReadEntry(name, &bytes) || reader.Load(bytes.data(), bytes.size()) == CBrxXMLReader::kLoadOk) continue;
    XmlFacts facts = ReadXmlFacts(bytes.data(), bytes.size());
    Add(Entry(name), "", "the stub cannot read it: " + DescribeUnreadableXml(bytes.data(), bytes.size()),
        facts.unsupported_encoding ? "save it as UTF-8" : "correct the XML");
  }
}

const FormatItem* TextItem(FormatDocument document, const std::string& path) {
  for (size_t i = 0; i < kFormatItemCount; ++i) {
    const FormatItem& item = kFormatItems[i];
    if (item.document == document && !item.attribute && item.text != TextUse::kNone && path == item.path) {
      return &item;
    }
  }
  return nullptr;
}

// The stub's reader keeps an element's text only from a first piece that does
// not start with a blank and skips every later piece that does (a line break
// is a piece): text a packager wrote over several lines, or indented, is lost
// without a word on the server.
void Checker::CompareTexts(const std::string& file, FormatDocument document, const std::string& path,
                           const XmlElement& written, const CBrxXMLNode* read) {
  if (const FormatItem* item = TextItem(document, path)) {
    const wchar_t* text = brx::ElementText(read);
    if (path == "brx_package/description/description_xlate") {
      const CBrxXMLNode* cdata = read->FindFirstChild(L"#CDATA");
      if (cdata) text = cdata->GetValue();
    }
    std::wstring meant = Trim(written.text);
    std::wstring got = Trim(text ? text : L"");
    if (meant != got) {
      Add(file, path,
          "the stub reads " + (got.empty() ? std::string("no text") : Shown(got)) + " where the document has " +
              Shown(meant) + " (its reader drops text that starts with a blank or follows a line break)",
          "write the text on one line right after the start tag, or in a CDATA section",
          item->text == TextUse::kInstall);
    }
  }
  std::vector<const CBrxXMLNode*> children = ElementsInDocumentOrder(read);
  if (children.size() != written.children.size()) return;  // not the same document: nothing to compare
  for (size_t i = 0; i < children.size(); ++i) {
    if (written.children[i].name != children[i]->name()) return;
    CompareTexts(file, document, path + "/" + Utf8(written.children[i].name), written.children[i], children[i]);
  }
}

void Checker::CheckTexts(const std::wstring& entry, FormatDocument document) {
  std::vector<unsigned char> bytes;
  CBrxXMLReader reader;
  if (entry.empty() || !ReadEntry(entry, &bytes) || reader.Load(bytes.data(), bytes.size()) != 0) return;
  XmlFacts facts = ReadXmlFacts(bytes.data(), bytes.size());
  std::vector<const CBrxXMLNode*> top = ElementsInDocumentOrder(reader.root());
  if (!facts.well_formed || top.size() != 1 || facts.root.name != top[0]->name()) return;
  CompareTexts(Entry(entry), document, Utf8(facts.root.name), facts.root, top[0]);
}

// A signed 32-bit number as "%d" writes it: the only texts a return-code
// source can match.
bool IsPlainDecimal(const std::wstring& text) {
  std::wstring digits = !text.empty() && text[0] == L'-' ? text.substr(1) : text;
  if (digits.empty() || digits.size() > 10 || (digits[0] == L'0' && (digits.size() > 1 || text[0] == L'-'))) {
    return false;
  }
  for (wchar_t c : digits) {
    if (c < L'0' || c > L'9') return false;
  }
  long long value = std::stoll(std::string(text.begin(), text.end()));
  return value >= INT32_MIN && value <= INT32_MAX;
}

// What a packager probably meant by a source that is no plain decimal
// ("0xBC2", "+5", "007"): the decimal to write, or empty.
std::string DecimalFor(const std::wstring& text) {
  std::string narrow;
  for (wchar_t c : Trim(text)) {
    if (c > 0x7F) return std::string();
    narrow.push_back(static_cast<char>(c));
  }
  if (narrow.empty()) return std::string();
  errno = 0;
  char* end = nullptr;
  long long value = strtoll(narrow.c_str(), &end, 0);
  if (*end != '\0' || errno != 0) {
    errno = 0;
    value = strtoll(narrow.c_str(), &end, 10);  // "007" read as octal above
    if (*end != '\0' || errno != 0) return std::string();
  }
  if (value < INT32_MIN || value > 0xFFFFFFFFLL) return std::string();
  // An unsigned code beyond INT32_MAX (0xC0000005) is the signed exit code.
  return std::to_string(static_cast<int32_t>(static_cast<uint32_t>(value)));
}

void Checker::CheckMap(const CBrxXMLReader& data, const std::string& file, const wchar_t* map_name, bool codes) {
  const CBrxXMLNode* node = nullptr;
  for (const wchar_t* step : {L"zt_pkg_data", L"installation", L"install", map_name}) {
    node = data.FindChild(node, step);
    if (!node) return;
  }
  std::string field = "zt_pkg_data/installation/install/" + Utf8(map_name) + "/map";
  bool search_ended = false;
  std::map<std::wstring, int> seen;
  // The list order is the order the stub's search walks.
  for (const CBrxXMLNode* map = node->FindFirstChild(L"map"); map; map = map->FindNextSibling(L"map")) {
    const wchar_t* source = map->GetAttribute(L"source");
    const wchar_t* dest = map->GetAttribute(L"dest");
    if (!source) {
      if (!search_ended) {
        Add(file, field + "/@source",
            "a map without source" + (dest ? " (dest " + Shown(dest) + ")" : std::string()) +
                " ends the stub's search: the maps it reaches after this one never apply",
            "give every map a source");
      }
      search_ended = true;
      continue;
    }
    std::wstring key = source;
    for (wchar_t& c : key) c = (c >= L'A' && c <= L'Z') ? c + 32 : c;
    if (++seen[key] == 2) {
      const CBrxXMLNode* chosen = data.FindChild(node, L"map", L"source", source);
      const wchar_t* chosen_dest = chosen ? chosen->GetAttribute(L"dest") : nullptr;
      Add(file, field + "/@source",
          "source " + Shown(source) + " is mapped more than once; the stub takes dest " +
              Shown(chosen_dest ? chosen_dest : L""),
          "keep one map per source", false);
    }
    if (!codes) continue;
    if (!IsPlainDecimal(source)) {
      std::string decimal = DecimalFor(source);
      Add(file, field + "/@source",
          "source " + Shown(source) + " never matches: the stub compares it with the exit code written in decimal",
          decimal.empty() ? "write the exit code in decimal" : "write source=\"" + decimal + "\"");
    }
    if (!dest) {
      Add(file, field + "/@dest", "the map for " + Shown(source) + " has no dest: the code passes unchanged",
          "add dest (0 failed, 1 installed, 2 restart needed, 3 not attempted)", false);
    } else if (!IsPlainDecimal(Trim(dest))) {
      std::string decimal = DecimalFor(dest);
      Add(file, field + "/@dest",
          "dest " + Shown(dest) + " is no decimal number: the stub reads the digits it starts with" +
              (decimal.empty() ? std::string(" (none: 0, failed)") : std::string()),
          decimal.empty() ? "write the completion code in decimal" : "write dest=\"" + decimal + "\"");
    }
  }
}

void Checker::CheckSettings(const CBrxXMLReader& data, const std::string& file) {
  const CBrxXMLNode* settings = data.FindChild(data.FindChild(nullptr, L"zt_pkg_data"), L"settings");
  if (!settings) return;
  for (const CBrxXMLNode* v = settings->FindFirstChild(L"value"); v; v = v->FindNextSibling(L"value")) {
    const wchar_t* name = v->GetAttribute(L"name");
    const wchar_t* value = v->GetAttribute(L"value");
    bool known = false;
    std::wstring list;
    for (size_t i = 0; i < kFormatSettingCount; ++i) {
      std::wstring setting(kFormatSettings[i].name, kFormatSettings[i].name + strlen(kFormatSettings[i].name));
      known = known || (name && brx::EqualsIgnoringAsciiCase(name, setting.c_str()));
      list += (i ? L", " : L"") + setting;
    }
    if (!known) {
      Add(file, "zt_pkg_data/settings/value/@name",
          (name ? Shown(name) : std::string("a value without name")) + " is no setting the stub reads",
          "use one of " + Utf8(list), false);
    } else if (!value || (wcscmp(value, L"1") != 0 && wcscmp(value, L"0") != 0)) {
      Add(file, "zt_pkg_data/settings/value/@value",
          Shown(name) + " has value " + (value ? Shown(value) : std::string("none")) + ": only \"1\" turns it on",
          "write value=\"1\" or value=\"0\"", false);
    }
  }
}

void Checker::CheckPackageData() {
  std::vector<unsigned char> bytes;
  if (!archive_.FindEntry(kPackageData) || !ReadEntry(kPackageData, &bytes)) return;
  std::string file = Entry(kPackageData);
  CBrxXMLReader data;
  if (data.Load(bytes.data(), bytes.size()) != CBrxXMLReader::kLoadOk) {
    XmlFacts facts = ReadXmlFacts(bytes.data(), bytes.size());
    Add(file, "",
        "the stub cannot read it (" + DescribeUnreadableXml(bytes.data(), bytes.size()) +
            ") and ignores the whole file: its settings, licence, argument and return-code maps, configuration "
            "and virtualisation permission are lost",
        facts.unsupported_encoding ? "save it as UTF-8" : "correct the XML");
    return;
  }
  if (!data.FindChild(nullptr, L"zt_pkg_data")) {
    Add(file, "", "its document element is not zt_pkg_data: the stub finds nothing in it",
        "make zt_pkg_data the document element");
    return;
  }
  CheckTexts(kPackageData, FormatDocument::kPackageData);
  CheckMap(data, file, L"returncode_map", true);
  CheckMap(data, file, L"commandline_arg_map", false);
  CheckSettings(data, file);
}

// An enciphered configuration reaches the setup program deciphered only when
// zt_data.xml names it, marks it encrypt="1" and has a configui element;
// otherwise the setup program gets hex text.
void Checker::CheckEncipher(const InspectReport& report) {
  if (built_.enciphered.empty()) return;
  std::wstring entry;
  brx::platform::Utf8ToWide(built_.enciphered.data(), built_.enciphered.size(), &entry);
  std::string file = Entry(kPackageData);
  std::string option = "--encipher " + built_.enciphered;
  const InspectedConfiguration& config = report.configuration;
  if (config.file.empty() || !brx::EqualsIgnoringAsciiCase(config.file.c_str(), entry.c_str())) {
    Add(file, "zt_pkg_data/configuration/config_file/filename",
        option + ": the package data names " + (config.file.empty() ? "no configuration file" : Shown(config.file)) +
            ", so the stub never deciphers this entry and the setup program finds hex text",
        "name it: <config_file><filename encrypt=\"1\">" + built_.enciphered + "</filename></config_file>");
    return;
  }
  if (!config.encrypted) {
    Add(file, "zt_pkg_data/configuration/config_file/filename/@encrypt",
        option + ": encrypt is not \"1\", so the stub hands the setup program the hex text",
        "write encrypt=\"1\"");
  }
  if (config.config_ui.empty()) {
    Add(file, "zt_pkg_data/configuration/configui/filename",
        option + ": without a configui element the stub extracts the entry as stored, so the setup program "
                 "finds hex text",
        "add <configui><filename lang=\"en\">" + built_.enciphered + "</filename></configui>");
  }
}

std::vector<BuildProblem> Checker::Run() {
  InspectReport report = InspectPackage(built_.path, built_.display, {}, built_.code_page);
  archive_.SetNameCodePage(built_.code_page);
  if (archive_.OpenArchive(built_.path.c_str(), 1) != brxzip::ZIP_OK) {
    FromInspect(report);
    return problems_;
  }
  CheckUnreadableDefinitions(report);
  FromInspect(report);
  CheckTexts(report.definition_entry, FormatDocument::kDefinition);
  CheckPackageData();
  CheckEncipher(report);
  return problems_;
}

}  // namespace

std::string FormatProblem(const BuildProblem& problem) {
  std::string out = problem.file + ": ";
  if (!problem.field.empty()) out += problem.field + ": ";
  return out + problem.problem + "; " + problem.action;
}

std::vector<BuildProblem> CheckBuiltPackage(const BuiltPackage& built) { return Checker(built).Run(); }

std::string DescribePackageInStub(const std::wstring& stub) {
  brxzip::ZIP_File archive;
  if (archive.OpenArchive(stub.c_str(), 1) != brxzip::ZIP_OK || archive.GetEntryCount() == 0) return std::string();
  std::string names;
  for (uint64_t i = 0; i < archive.GetEntryCount() && i < 3; ++i) {
    const wchar_t* name = archive.GetEntryAt(i)->GetTargetName();
    names += (i ? ", " : "") + Shown(name ? name : L"");
  }
  if (archive.GetEntryCount() > 3) names += ", ...";
  return "it already carries a package of " + std::to_string(archive.GetEntryCount()) + " entries (" + names + ")";
}

}  // namespace brxpack
