#include "brxpack/definition_check.h"

#include <string>

#include "package/config_cipher.h"
#include "package/entry_source.h"
#include "package/ppkg.h"

namespace brxpack {
namespace {

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string WithoutExtension(const std::string& name) {
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = (a[i] >= 'A' && a[i] <= 'Z') ? a[i] + 32 : a[i];
    char y = (b[i] >= 'A' && b[i] <= 'Z') ? b[i] + 32 : b[i];
    if (x != y) return false;
  }
  return true;
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out.push_back(c < 128 ? static_cast<char>(c) : '?');
  return out;
}

}  // namespace

bool ReadDefinitionFileName(const std::vector<unsigned char>& definition, std::wstring* file_name) {
  brx::MemoryEntrySource source;
  source.Add(L"definition.xml", std::string(definition.begin(), definition.end()));
  CPPkg package;
  if (!package.LoadPackageFrom(&source, L"package", L"definition.xml", L"en")) return false;
  const wchar_t* name = package.GetFileName();
  if (!name || !*name) return false;
  *file_name = name;
  return true;
}

std::vector<std::string> DefinitionWarnings(const std::string& package_path, const std::string& definition_entry,
                                            const std::wstring& definition_file_name) {
  std::vector<std::string> warnings;
  std::string package_name = BaseName(package_path);
  std::string expected_entry = WithoutExtension(package_name) + ".xml";
  if (!EqualsNoCase(definition_entry, expected_entry)) {
    warnings.push_back("the definition entry is \"" + definition_entry + "\" but the stub looks for \"" +
                       expected_entry + "\" first; it then falls back to the first definition of version "
                       "2.0.1.0 or 2.0.2.0");
  }
  if (definition_file_name.empty()) {
    warnings.push_back("the definition names no filename");
  } else if (!EqualsNoCase(Narrow(definition_file_name), package_name)) {
    warnings.push_back("the definition's filename is \"" + Narrow(definition_file_name) +
                       "\" but the package is \"" + package_name + "\"");
  }
  return warnings;
}

EntryTransform MakeEncipherTransform(const std::wstring& definition_file_name, const std::string& entry) {
  return [definition_file_name, entry](const std::string& name, std::vector<unsigned char>* data) {
    if (name != entry) return true;
    std::string hex;
    if (!brx::EncipherConfiguration(definition_file_name.c_str(), data->data(), data->size(), &hex)) return false;
    data->assign(hex.begin(), hex.end());
    return true;
  };
}

}  // namespace brxpack
