#include "brxpack/deploy_package.h"

#include <stdio.h>

#include "brxpack/inspect.h"
#include "platform/utf8.h"

namespace brxpack {
namespace {

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The U+2028/U+2029 line separators are line breaks to YAML and to editors.
bool IsLineSeparatorAt(const std::string& text, size_t i) {
  return text.compare(i, 3, "\xE2\x80\xA8") == 0 || text.compare(i, 3, "\xE2\x80\xA9") == 0;
}

}  // namespace

bool DeployPackageFromReport(const InspectReport& report, const std::string& package_path, DeployPackage* out,
                             std::string* error) {
  if (!report.opened) {
    *error = report.open_error;
    return false;
  }
  if (!report.loaded) {
    *error = "the stub loads no definition from " + package_path + " (see brxpack inspect)";
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
    *error = "the definition " + out->definition + " names no " + missing +
             ": no detection rule could tell whether the package is installed";
    return false;
  }
  // Windows allows neither in a file name; the command lines quote the name.
  for (unsigned char c : out->package_file) {
    if (c == '"' || c < 0x20) {
      *error = "the package's file name " + CommentText(out->package_file) + " is no Windows file name";
      return false;
    }
  }
  return true;
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

std::string YamlLiteral(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      snprintf(escaped, sizeof(escaped), "\\x%02X", c);
      out += escaped;
    } else if (IsLineSeparatorAt(text, i)) {
      out += text[i + 2] == '\xA8' ? "\\L" : "\\P";
      i += 2;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string CommentText(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsLineSeparatorAt(text, i)) {
      out += ' ';
      i += 2;
    } else {
      out += (c < 0x20 || c == 0x7F) ? ' ' : static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace brxpack
