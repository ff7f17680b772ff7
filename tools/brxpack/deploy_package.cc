#include "brxpack/deploy_package.h"

#include <stdint.h>
#include <stdio.h>

#include <vector>

#include "brxpack/inspect.h"
#include "platform/utf8.h"

namespace brxpack {
namespace {

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Characters no setting may carry in a value: C0, DEL and C1 (NEL, U+0085,
// ends a line for YAML 1.1, cp1252 text read as Latin-1 lands there) and the
// line and paragraph separators, which YAML, editors and consoles break at.
bool IsLineOrControl(uint32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029; }

// Code points of UTF-8 text; false for malformed text.
bool CodePoints(const std::string& text, std::vector<uint32_t>* out) {
  std::wstring wide;
  if (!brx::platform::Utf8ToWide(text.data(), text.size(), &wide)) return false;
  for (size_t i = 0; i < wide.size(); ++i) {
    uint32_t c = static_cast<uint32_t>(wide[i]);
    // Where wchar_t is 16 bits, the decoder made a surrogate pair.
    if (sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint32_t>(wide[++i]) - 0xDC00);
    }
    out->push_back(c);
  }
  return true;
}

// Noncharacters (U+FDD0..U+FDEF, the last two of every plane): no YAML
// emitter writes them (yaml-cpp puts U+FFFD in their place) and YAML readers
// refuse them raw, so a value holding one would arrive changed.
bool IsNoncharacter(uint32_t c) { return (c & 0xFFFE) == 0xFFFE || (c >= 0xFDD0 && c <= 0xFDEF); }

// The first code point of the text that no setting can carry, by the rule
// given; -1 when there is none, -2 for malformed UTF-8.
long FirstRefused(const std::string& text, bool (*refused)(uint32_t)) {
  std::vector<uint32_t> points;
  if (!CodePoints(text, &points)) return -2;
  for (uint32_t c : points) {
    if (refused(c)) return static_cast<long>(c);
  }
  return -1;
}

bool IsRefusedInValue(uint32_t c) { return IsLineOrControl(c) || IsNoncharacter(c); }

// The refusal of a field, naming it and the character.
std::string Refusal(const char* field, const std::string& value, long c) {
  if (c == -2) return std::string("the ") + field + " is not well-formed UTF-8";
  char code[16];
  snprintf(code, sizeof(code), "U+%04lX", static_cast<unsigned long>(c));
  // A long value is cut for the message, at a character.
  std::string shown = CommentText(value);
  size_t cut = 0;
  for (size_t chars = 0; cut < shown.size() && chars < 100; ++chars) {
    do ++cut;
    while (cut < shown.size() && (static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80);
  }
  if (cut < shown.size()) shown = shown.substr(0, cut) + "...";
  return std::string("the ") + field + " \"" + shown + "\" holds " + code +
         ", a control character, line separator or noncharacter: no deployment tool could take it as a value";
}

}  // namespace

bool DeployPackageFromReport(const InspectReport& report, const std::string& package_path, DeployPackage* out,
                             std::string* error) {
  if (!report.opened) {
    *error = report.open_error;
    return false;
  }
  if (!report.loaded) {
    *error = "the stub loads no definition from " + CommentText(package_path) + " (see brxpack inspect)";
    return false;
  }
  using brx::platform::WideToUtf8;
  out->package_file = BaseName(package_path);
  out->definition = WideToUtf8(report.definition_entry);
  out->file_name = WideToUtf8(report.file_name);
  out->version = WideToUtf8(report.version);
  out->sw_key = WideToUtf8(report.sw_key);
  out->expected_path = WideToUtf8(report.sw_key_expected_path);
  for (const auto& name : report.names) {
    if (name.first == L"en") out->display_name = WideToUtf8(name.second);
  }
  // Without these the stub records nothing a detection rule could find, or
  // nothing to compare a version with.
  const char* missing = out->sw_key.empty()      ? "sw_key name"
                        : out->file_name.empty() ? "filename"
                        : out->version.empty()   ? "version"
                                                 : nullptr;
  if (missing) {
    *error = "the definition " + CommentText(out->definition) + " names no " + missing +
             ": no detection rule could tell whether the package is installed";
    return false;
  }
  return CheckDeployFields(*out, error);
}

bool CheckDeployFields(const DeployPackage& package, std::string* error) {
  const struct {
    const char* field;
    const std::string* value;
  } kFields[] = {
      {"package file name", &package.package_file}, {"definition", &package.definition},
      {"filename", &package.file_name},              {"version", &package.version},
      {"sw_key", &package.sw_key},                   {"sw_key expected_path", &package.expected_path},
  };
  for (const auto& f : kFields) {
    long c = FirstRefused(*f.value, IsRefusedInValue);
    if (c != -1) {
      *error = Refusal(f.field, *f.value, c);
      return false;
    }
  }
  // Windows allows no double quote in a file name; the command lines quote it.
  if (package.package_file.find('"') != std::string::npos) {
    *error = "the package file name \"" + CommentText(package.package_file) + "\" is no Windows file name";
    return false;
  }
  // A bundle's members reach the detection scripts the same way.
  for (const DeployPackage& member : package.members) {
    if (!CheckDeployFields(member, error)) {
      *error = "member " + CommentText(member.package_file) + ": " + *error;
      return false;
    }
  }
  return true;
}

bool CheckPackagePath(const std::string& path, std::string* error) {
  // Control characters are legal in a path and the emitter escapes them; only
  // what it cannot write is refused.
  long c = FirstRefused(path, IsNoncharacter);
  if (c == -1) return true;
  *error = Refusal("package path", path, c);
  return false;
}

std::string PowerShellLiteral(const std::string& text) {
  std::string out = "'";
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\'') {
      out += "''";
      continue;
    }
    // U+2018..U+201B, which PowerShell also takes for single quotes.
    if (text.compare(i, 2, "\xE2\x80") == 0 && i + 2 < text.size() &&
        static_cast<unsigned char>(text[i + 2]) >= 0x98 && static_cast<unsigned char>(text[i + 2]) <= 0x9B) {
      out += text.substr(i, 3) + text.substr(i, 3);
      i += 2;
      continue;
    }
    out += text[i];
  }
  return out + "'";
}

std::string CommentText(const std::string& text) {
  std::vector<uint32_t> points;
  if (!CodePoints(text, &points)) {
    // Not text at all: its printable ASCII, nothing that could be read as more.
    std::string out;
    for (unsigned char c : text) out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : ' ';
    return out;
  }
  std::wstring out;
  for (uint32_t c : points) {
    bool blank = IsRefusedInValue(c);
    if (blank) c = ' ';
    if (sizeof(wchar_t) == 2 && c > 0xFFFF) {
      out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<wchar_t>(c);
    }
  }
  return brx::platform::WideToUtf8(out);
}

}  // namespace brxpack
