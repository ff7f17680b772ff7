// brxpack inspect: what the stub would do with a package, found by running
// the stub's own code on it (definition search, package load, cipher, option
// parsing, run modes, install driver, command-line builder) with every step
// that would touch a machine answered from the package instead.
#ifndef BRX_TOOLS_BRXPACK_INSPECT_H_
#define BRX_TOOLS_BRXPACK_INSPECT_H_

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

#include "archive/image_signature.h"
#include "brxpack/stub_version.h"
#include "brxpack/package_tool.h"
#include "package/definition_search.h"
#include "stub/load_definition.h"

namespace brxpack {

// Something that makes an install fail (fails_install) or surprise.
struct InspectWarning {
  std::string code;  // stable: no_definition, missing_setup_program, ...
  std::string text;  // UTF-8
  bool fails_install = false;
};

struct InspectedEntry {
  std::wstring name;
  uint64_t size = 0;
  uint64_t compressed = 0;
  uint32_t method = 0;
  bool readable = true;  // data inflates and matches its CRC
  std::string refused;   // why the stub refuses to write it; empty when it does not
};

using TextPairs = std::vector<std::pair<std::wstring, std::wstring>>;

struct InspectedConfiguration {
  std::wstring file;       // configuration/config_file/filename
  std::wstring config_ui;  // configuration/configui/filename
  bool encrypted = false;
  bool present = false;    // the archive holds the entry
  bool deciphers = false;  // enciphered: valid hex blocks that give text with the key from filename
  uint64_t size = 0;       // plain or deciphered bytes
  std::string first_line;  // of that text, UTF-8 as far as it is ASCII
  std::string placement;   // what the install driver leaves in the extraction directory
};

// What the stub does with the arguments given after "--".
struct InspectedRun {
  std::vector<std::wstring> arguments;
  std::string mode;  // usage, extract, silent, noprompt, dialog, no-package
  bool runs_setup = false;
  std::wstring extraction_dir;
  std::wstring plain;
  std::wstring masked;
  std::string refusal;  // why the stub stops before the setup program; empty when it does not
  std::string note;
};

struct InspectReport {
  std::string package;  // as given
  std::string open_error;
  bool opened = false;
  // The stub's check of the package's Authenticode signature.
  brxzip::ImageSignature signature = brxzip::ImageSignature::kUnsigned;
  std::vector<brxzip::SignatureCheck> signatures;  // each one, nested ones after the one they are in
  StubVersion stub;

  brx::DefinitionSearch search;
  std::vector<brx::DefinitionCandidate> candidates;  // what the fallback search read
  bool loaded = false;  // the stub loads a definition
  std::wstring definition_entry;

  std::wstring file_name, version, sw_key, sw_key_expected_path;
  TextPairs names;     // language code, display name
  TextPairs licences;  // language, licence entry
  TextPairs settings;  // name, value
  bool virtualization_allowed = false;
  InspectedConfiguration configuration;

  std::wstring command, params;
  bool command_present = false;
  TextPairs argument_map, return_code_map;

  std::vector<InspectedEntry> entries;
  uint64_t required_disk_space = 0;  // the stub needs more than this free

  InspectedRun run;
  std::vector<InspectWarning> warnings;

  // 0: an install can succeed as far as the package decides; 1: it cannot.
  int ExitStatus() const;
};

// Names not stored as UTF-8 are read in `code_page`, the servers' ANSI code page.
InspectReport InspectPackage(const std::wstring& package_path, const std::string& display_path,
                             const std::vector<std::wstring>& stub_arguments, uint32_t code_page = kServerCodePage);

std::string FormatInspectText(const InspectReport& report);
std::string FormatInspectJson(const InspectReport& report);

}  // namespace brxpack

#endif  // BRX_TOOLS_BRXPACK_INSPECT_H_
