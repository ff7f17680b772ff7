// The inspection report for a person, and as one JSON document.
#include <stdio.h>

#include <nlohmann/json.hpp>

#include "base/terminal_text.h"
#include "brxpack/inspect.h"
#include "platform/utf8.h"
#include "platform/codepage.h"

namespace brxpack {
namespace {

using nlohmann::json;

const char* MethodName(uint32_t method) {
  switch (method) {
    case 0: return "stored";
    case 8: return "deflated";
    default: return "unsupported";
  }
}

std::string Joined(const std::vector<std::wstring>& items) {
  std::string out;
  for (const std::wstring& item : items) out += (out.empty() ? "" : " ") + brx::platform::WideToUtf8(item);
  return out;
}

std::string Number(uint64_t n) { return std::to_string(n); }

// Names and values come from the package: a control character in them could
// drive the packager's terminal (escape sequences that rewrite the screen or
// hide a warning).
std::string Printable(const std::string& text) { return brx::TerminalTextUtf8(text); }

class TextOut {
 public:
  void Heading(const std::string& title) { out_ += (out_.empty() ? "" : "\n") + Printable(title) + "\n"; }
  void Field(const std::string& label, const std::string& value) {
    std::string padded = "  " + Printable(label) + ":";
    if (padded.size() < 16) padded.resize(16, ' ');
    out_ += padded + " " + Printable(value) + "\n";
  }
  void Line(const std::string& text) { out_ += "  " + Printable(text) + "\n"; }
  std::string& text() { return out_; }

 private:
  std::string out_;
};

std::string PairsText(const TextPairs& pairs, const char* separator) {
  if (pairs.empty()) return "none";
  std::string out;
  for (const auto& p : pairs) out += (out.empty() ? "" : ", ") + brx::platform::WideToUtf8(p.first) + separator + brx::platform::WideToUtf8(p.second);
  return out;
}

std::string DefinitionChoice(const InspectReport& r) {
  if (r.definition_entry.empty()) return "none";
  std::string entry = brx::platform::WideToUtf8(r.definition_entry);
  if (r.search.loaded_by_name) return entry + " (named after the package)";
  if (r.loaded) return entry + " (found by the search: no loadable \"" + brx::platform::WideToUtf8(r.search.expected.get()) + "\")";
  return entry + " (the stub does not load it; shown without its configuration file)";
}

std::string ConfigurationSummary(const InspectedConfiguration& c) {
  if (c.file.empty()) return "none";
  std::string out = brx::platform::WideToUtf8(c.file) + (c.encrypted ? ", enciphered" : ", plain");
  if (!c.present) return out + ", not in the archive";
  if (c.encrypted) out += c.deciphers ? ", deciphers with the key from filename" : ", does not decipher";
  return out + ", " + Number(c.size) + " bytes";
}

std::string ModeText(const std::string& mode) {
  if (mode == "silent") return "silent install (/silent)";
  if (mode == "noprompt") return "install with message boxes (/noprompt)";
  if (mode == "dialog") return "setup dialog; its Install button runs";
  if (mode == "usage") return "usage dialog";
  if (mode == "extract") return "extraction only (/extract:)";
  return "no package: message 1000";
}

json Pairs(const TextPairs& pairs, const char* key, const char* value) {
  json out = json::array();
  for (const auto& p : pairs) out.push_back({{key, brx::platform::WideToUtf8(p.first)}, {value, brx::platform::WideToUtf8(p.second)}});
  return out;
}

}  // namespace

std::string FormatInspectText(const InspectReport& r) {
  TextOut t;
  t.Heading("Package " + r.package);
  if (!r.opened) t.Field("archive", "none (" + r.open_error + ")");
  if (r.opened) t.Line(std::string("signature: ") + brxzip::DescribeImageSignature(r.signature));
  if (r.opened && r.signature != brxzip::ImageSignature::kUnsigned) {
    for (size_t i = 0; i < r.signatures.size(); ++i) {
      const brxzip::SignatureCheck& s = r.signatures[i];
      t.Line("  signature " + std::to_string(i + 1) + (s.depth ? " (nested)" : "") + ": " +
             brxzip::DescribeSignatureDigest(s) + ", " + brxzip::DescribeImageSignature(s.result));
    }
  }
  if (r.stub.found) {
    t.Heading("Stub");
    t.Field("version", r.stub.version);
    for (const auto& library : r.stub.libraries) t.Field(library.first, library.second);
  }

  if (r.opened) {
    t.Heading("Definition");
    t.Field("entry", DefinitionChoice(r));
    if (r.search.searched) {
      std::string seen;
      for (const brx::DefinitionCandidate& c : r.candidates) {
        seen += (seen.empty() ? "" : "; ") + brx::platform::WideToUtf8(c.name) + ": " +
                (c.parsed ? "<" + brx::platform::WideToUtf8(c.element) + "> version \"" + brx::platform::WideToUtf8(c.version) + "\"" : "not well-formed") +
                (c.qualifies ? " (qualifies)" : "");
      }
      t.Field("search", seen.empty() ? "no \".xml\" entry" : seen);
    }
  }
  if (!r.definition_entry.empty()) {
    t.Field("filename", brx::platform::WideToUtf8(r.file_name));
    t.Field("version", brx::platform::WideToUtf8(r.version));
    for (const auto& n : r.names) t.Field("name [" + brx::platform::WideToUtf8(n.first) + "]", brx::platform::WideToUtf8(n.second));
    t.Field("sw_key", brx::platform::WideToUtf8(r.sw_key) + " (" + brx::platform::WideToUtf8(r.sw_key_expected_path) + ")");

    t.Heading("Package data");
    t.Field("settings", PairsText(r.settings, "="));
    t.Field("licence", PairsText(r.licences, ": "));
    t.Field("virtual guest", r.virtualization_allowed ? "allowed" : "refused: an install in a virtual machine stops");

    t.Heading("Configuration");
    t.Field("file", ConfigurationSummary(r.configuration));
    if (r.configuration.present) {
      t.Field("first line", r.configuration.first_line);
      t.Field("placed", r.configuration.placement);
    }

    t.Heading("Setup program");
    t.Field("command", brx::platform::WideToUtf8(r.command) + (r.command_present ? " (in the archive)" : " (NOT in the archive)"));
    t.Field("parameters", brx::platform::WideToUtf8(r.params));
    t.Field("argument map", PairsText(r.argument_map, " -> "));
    t.Field("return codes", PairsText(r.return_code_map, " -> "));
  }

  if (r.opened) {
    t.Heading("Entries (" + Number(r.entries.size()) + ")");
    if (!r.definition_entry.empty()) t.Field("disk space", "an install needs more than " + Number(r.required_disk_space) + " bytes free");
    char line[96];
    for (const InspectedEntry& e : r.entries) {
      snprintf(line, sizeof(line), "%10llu %10llu  %-8s ", static_cast<unsigned long long>(e.size),
               static_cast<unsigned long long>(e.compressed), MethodName(e.method));
      std::string flags = e.refused.empty() ? "" : "  REFUSED";
      if (!e.readable) flags += "  UNREADABLE";
      t.Line(line + brx::platform::WideToUtf8(e.name) + flags);
    }

    t.Heading("Stub arguments: " + (r.run.arguments.empty() ? std::string("none") : Joined(r.run.arguments)));
    t.Field("mode", ModeText(r.run.mode));
    if (r.run.runs_setup) {
      t.Field("command line", brx::platform::WideToUtf8(r.run.plain));
      t.Field("masked", brx::platform::WideToUtf8(r.run.masked));
    }
    if (!r.run.refusal.empty()) t.Field("refused", r.run.refusal);
    if (!r.run.note.empty()) t.Field("note", r.run.note);
  }

  t.Heading(r.warnings.empty() ? "No warnings" : "Warnings");
  for (const InspectWarning& w : r.warnings) t.Line((w.fails_install ? "error: " : "warning: ") + w.text);
  return t.text();
}

std::string FormatInspectJson(const InspectReport& r) {
  json doc;
  doc["package"] = r.package;
  doc["archive"] = r.opened ? json("ok") : json(r.open_error);
  doc["signature"] = r.opened ? json(brxzip::DescribeImageSignature(r.signature)) : json(nullptr);
  json signatures = json::array();
  if (r.signature != brxzip::ImageSignature::kUnsigned) {
    for (const brxzip::SignatureCheck& s : r.signatures) {
      signatures.push_back({{"depth", s.depth},
                            {"digest", brxzip::DescribeSignatureDigest(s)},
                            {"result", brxzip::DescribeImageSignature(s.result)}});
    }
  }
  doc["signatures"] = signatures;
  json libraries = json::object();
  for (const auto& library : r.stub.libraries) libraries[library.first] = library.second;
  doc["stub"] = r.stub.found ? json{{"version", r.stub.version}, {"libraries", libraries}} : json(nullptr);
  json definition;
  definition["expected_entry"] = brx::platform::WideToUtf8(r.search.expected.get());
  definition["loaded_by_name"] = r.search.loaded_by_name;
  definition["entry"] = r.definition_entry.empty() ? json(nullptr) : json(brx::platform::WideToUtf8(r.definition_entry));
  definition["stub_loads"] = r.loaded;
  json candidates = json::array();
  for (const brx::DefinitionCandidate& c : r.candidates) {
    candidates.push_back({{"name", brx::platform::WideToUtf8(c.name)}, {"well_formed", c.parsed}, {"element", brx::platform::WideToUtf8(c.element)},
                          {"version", brx::platform::WideToUtf8(c.version)}, {"qualifies", c.qualifies}});
  }
  definition["search"] = r.search.searched ? candidates : json(nullptr);
  definition["filename"] = brx::platform::WideToUtf8(r.file_name);
  definition["version"] = brx::platform::WideToUtf8(r.version);
  definition["names"] = Pairs(r.names, "language", "name");
  definition["sw_key"] = {{"name", brx::platform::WideToUtf8(r.sw_key)}, {"expected_path", brx::platform::WideToUtf8(r.sw_key_expected_path)}};
  doc["definition"] = definition;

  doc["package_data"] = {{"settings", Pairs(r.settings, "name", "value")},
                         {"licences", Pairs(r.licences, "language", "file")},
                         {"virtualization_allowed", r.virtualization_allowed}};
  const InspectedConfiguration& c = r.configuration;
  doc["configuration"] = c.file.empty() ? json(nullptr)
                                        : json{{"file", brx::platform::WideToUtf8(c.file)},
                                               {"config_ui", brx::platform::WideToUtf8(c.config_ui)},
                                               {"encrypted", c.encrypted},
                                               {"in_archive", c.present},
                                               {"deciphers", c.encrypted ? json(c.deciphers) : json(nullptr)},
                                               {"size", c.size},
                                               {"first_line", c.first_line},
                                               {"placed", c.placement}};
  doc["setup"] = {{"command", brx::platform::WideToUtf8(r.command)},
                  {"parameters", brx::platform::WideToUtf8(r.params)},
                  {"in_archive", r.command_present},
                  {"argument_map", Pairs(r.argument_map, "source", "dest")},
                  {"return_code_map", Pairs(r.return_code_map, "source", "dest")}};

  json entries = json::array();
  for (const InspectedEntry& e : r.entries) {
    entries.push_back({{"name", brx::platform::WideToUtf8(e.name)},
                       {"size", e.size},
                       {"compressed", e.compressed},
                       {"method", MethodName(e.method)},
                       {"readable", e.readable},
                       {"refused", e.refused.empty() ? json(nullptr) : json(e.refused)}});
  }
  doc["entries"] = entries;
  doc["required_disk_space"] = r.required_disk_space;

  json arguments = json::array();
  for (const std::wstring& a : r.run.arguments) arguments.push_back(brx::platform::WideToUtf8(a));
  doc["run"] = {{"arguments", arguments},
                {"mode", r.run.mode},
                {"runs_setup", r.run.runs_setup},
                {"extraction_dir", brx::platform::WideToUtf8(r.run.extraction_dir)},
                {"command_line", r.run.runs_setup ? json(brx::platform::WideToUtf8(r.run.plain)) : json(nullptr)},
                {"masked_command_line", r.run.runs_setup ? json(brx::platform::WideToUtf8(r.run.masked)) : json(nullptr)},
                {"refusal", r.run.refusal.empty() ? json(nullptr) : json(r.run.refusal)},
                {"note", r.run.note.empty() ? json(nullptr) : json(r.run.note)}};

  json warnings = json::array();
  for (const InspectWarning& w : r.warnings) {
    warnings.push_back({{"code", w.code}, {"text", w.text}, {"fails_install", w.fails_install}});
  }
  doc["warnings"] = warnings;
  doc["exit_status"] = r.ExitStatus();
  // Names and first lines may hold bytes that are no UTF-8; they are replaced, never fatal.
  return brx::TerminalJson(doc.dump(2, ' ', false, json::error_handler_t::replace)) + "\n";
}

}  // namespace brxpack
