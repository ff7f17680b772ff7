#include "brxbundle/bundle_manifest.h"

#include <ctype.h>
#include <string.h>

#include <nlohmann/json.hpp>

namespace brxbundle {

const char kManifestEntry[] = "bundle.json";
const char kRunnerEntry[] = "brxbundle.exe";

namespace {

using nlohmann::ordered_json;

// Texts longer than this in a manifest are no definition's values; the limit
// keeps the bundle record within the record file's line size.
const size_t kMaxText = 260;

bool EqualsNoCase(const std::string& a, const char* b) {
  size_t n = strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

bool IsPlainFileName(const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.size() > kMaxText) return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == '/' || c == '\\' || c == ':' || c == '"' || c == '*' || c == '?' || c == '<' ||
        c == '>' || c == '|') {
      return false;
    }
  }
  return true;
}

bool IsSha256Hex(const std::string& text) {
  if (text.size() != 64) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// An argument reaches the member's command line as one word: no blank, no
// quote, no control character, so it can never become two.
bool IsPlainArgument(const std::string& arg) {
  if (arg.empty() || arg.size() > kMaxText) return false;
  for (unsigned char c : arg) {
    if (c <= 0x20 || c == '"' || c == 0x7F) return false;
  }
  return true;
}

bool Text(const ordered_json& object, const char* key, bool required, std::string* out, std::string* error) {
  auto it = object.find(key);
  if (it == object.end() || it->is_null()) {
    if (!required) return true;
    *error = std::string("no ") + key;
    return false;
  }
  if (!it->is_string() || it->get_ref<const std::string&>().size() > kMaxText) {
    *error = std::string(key) + " is no text of at most 260 bytes";
    return false;
  }
  *out = it->get<std::string>();
  if (required && out->empty()) {
    *error = std::string(key) + " is empty";
    return false;
  }
  return true;
}

bool Flag(const ordered_json& object, const char* key, bool* out, std::string* error) {
  auto it = object.find(key);
  if (it == object.end()) return true;
  if (!it->is_boolean()) {
    *error = std::string(key) + " is not true or false";
    return false;
  }
  *out = it->get<bool>();
  return true;
}

bool ParseMember(const ordered_json& m, ManifestMember* out, std::string* error) {
  if (!m.is_object()) {
    *error = "a member is not an object";
    return false;
  }
  if (!Text(m, "file", true, &out->file, error) || !Text(m, "sha256", true, &out->sha256, error) ||
      !Text(m, "name", false, &out->name, error) || !Text(m, "version", true, &out->version, error) ||
      !Text(m, "sw_key", true, &out->sw_key, error) || !Text(m, "definition", true, &out->definition, error) ||
      !Text(m, "file_name", true, &out->file_name, error) ||
      !Text(m, "expected_path", false, &out->expected_path, error)) {
    return false;
  }
  if (!IsPlainFileName(out->file)) {
    *error = "member file " + out->file + " is not a plain file name";
    return false;
  }
  if (!IsPlainFileName(out->definition)) {
    *error = "definition " + out->definition + " of " + out->file + " is not a plain file name";
    return false;
  }
  if (!IsSha256Hex(out->sha256)) {
    *error = "sha256 of " + out->file + " is not 64 lower-case hex digits";
    return false;
  }
  auto policy = m.find("policy");
  if (policy != m.end()) {
    if (!policy->is_object() || !Flag(*policy, "continue_on_failure", &out->policy.continue_on_failure, error) ||
        !Flag(*policy, "restart_first", &out->policy.restart_first, error)) {
      if (error->empty()) *error = "policy of " + out->file + " is not an object";
      return false;
    }
  }
  auto args = m.find("arguments");
  if (args == m.end() || !args->is_array() || args->size() > 16) {
    *error = "arguments of " + out->file + " are not a list of at most 16";
    return false;
  }
  bool silent = false;
  for (const ordered_json& a : *args) {
    if (!a.is_string() || !IsPlainArgument(a.get<std::string>())) {
      *error = "an argument of " + out->file + " is not one word";
      return false;
    }
    const std::string& arg = a.get_ref<const std::string&>();
    if (EqualsNoCase(arg, "/reboot") || EqualsNoCase(arg, "/r")) {
      *error = "member " + out->file + " would restart the server itself (" + arg + ")";
      return false;
    }
    silent = silent || EqualsNoCase(arg, "/silent") || EqualsNoCase(arg, "/s");
    out->arguments.push_back(arg);
  }
  if (!silent) {
    *error = "member " + out->file + " would not run silently";
    return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> DefaultMemberArguments() { return {"/silent"}; }

std::string ManifestJson(const Manifest& manifest) {
  ordered_json doc;
  doc["format"] = kManifestFormat;
  doc["name"] = manifest.name;
  doc["version"] = manifest.version;
  ordered_json members = ordered_json::array();
  for (const ManifestMember& m : manifest.members) {
    ordered_json one;
    one["file"] = m.file;
    one["sha256"] = m.sha256;
    one["name"] = m.name;
    one["version"] = m.version;
    one["sw_key"] = m.sw_key;
    one["definition"] = m.definition;
    one["file_name"] = m.file_name;
    one["expected_path"] = m.expected_path;
    one["arguments"] = m.arguments;
    one["policy"] = {{"continue_on_failure", m.policy.continue_on_failure},
                     {"restart_first", m.policy.restart_first}};
    members.push_back(std::move(one));
  }
  doc["members"] = std::move(members);
  // Invalid UTF-8 cannot come from the definitions, which the XML reader
  // decoded; replacing keeps the writer from throwing all the same.
  return doc.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

bool ParseManifest(const std::string& text, Manifest* manifest, std::string* error) {
  *manifest = Manifest();
  error->clear();
  ordered_json doc = ordered_json::parse(text, nullptr, false);
  if (doc.is_discarded() || !doc.is_object()) {
    *error = "the manifest is no JSON object";
    return false;
  }
  auto format = doc.find("format");
  if (format == doc.end() || !format->is_number_integer() || format->get<int>() != kManifestFormat) {
    *error = "the manifest is not of format 1";
    return false;
  }
  if (!Text(doc, "name", true, &manifest->name, error) || !Text(doc, "version", true, &manifest->version, error)) {
    return false;
  }
  auto members = doc.find("members");
  if (members == doc.end() || !members->is_array() || members->empty() || members->size() > kMaxMembers) {
    *error = "the manifest lists no members, or more than 64";
    return false;
  }
  for (const ordered_json& m : *members) {
    ManifestMember member;
    if (!ParseMember(m, &member, error)) return false;
    for (const ManifestMember& earlier : manifest->members) {
      if (EqualsNoCase(earlier.file, member.file.c_str())) {
        *error = "member " + member.file + " is listed twice";
        return false;
      }
    }
    manifest->members.push_back(std::move(member));
  }
  return true;
}

int CompareVersions(const std::string& left, const std::string& right) {
  auto split = [](const std::string& v) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
      size_t dot = v.find('.', start);
      parts.push_back(v.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
      if (dot == std::string::npos) return parts;
      start = dot + 1;
    }
  };
  auto number = [](const std::string& s) {
    if (s.empty() || s.size() > 18) return false;
    for (char c : s) {
      if (c < '0' || c > '9') return false;
    }
    return true;
  };
  std::vector<std::string> a = split(left), b = split(right);
  for (size_t i = 0; i < a.size() || i < b.size(); ++i) {
    std::string x = i < a.size() ? a[i] : "0";
    std::string y = i < b.size() ? b[i] : "0";
    int d = 0;
    if (number(x) && number(y)) {
      long long p = std::stoll(x), q = std::stoll(y);
      d = p < q ? -1 : p > q ? 1 : 0;
    } else {
      for (size_t k = 0; d == 0 && (k < x.size() || k < y.size()); ++k) {
        if (k >= x.size()) d = -1;
        else if (k >= y.size()) d = 1;
        else {
          int cx = toupper(static_cast<unsigned char>(x[k])), cy = toupper(static_cast<unsigned char>(y[k]));
          d = cx < cy ? -1 : cx > cy ? 1 : 0;
        }
      }
    }
    if (d != 0) return d;
  }
  return 0;
}

std::string HexText(const unsigned char* bytes, size_t length) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < length; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
  return out;
}

}  // namespace brxbundle
