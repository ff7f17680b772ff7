// The package loaded from arbitrary documents, then asked for every value.
// Input: a language byte, then the definition, "zt_data.xml", the
// configuration file "c.cfg" and the licence "l.txt", separated by two zero
// bytes each.
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "package/entry_source.h"
#include "package/ppkg.h"

namespace {

const wchar_t* const kLanguages[] = {L"en", L"ja", L"de", L"zh-TW", L"", nullptr};

// Touches every node without recursion (documents may nest deeply).
size_t Walk(const CBrxXMLReader& reader) {
  size_t total = 0;
  std::vector<const CBrxXMLNode*> pending = {reader.root()};
  while (!pending.empty()) {
    const CBrxXMLNode* node = pending.back();
    pending.pop_back();
    const wchar_t* value = node->GetValue();
    for (; value && *value; ++value) ++total;
    if (node->GetAttribute(L"lang")) ++total;
    if (node->first_child()) pending.push_back(node->first_child());
    if (node->next_sibling()) pending.push_back(node->next_sibling());
  }
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const wchar_t* language = kLanguages[data[0] % (sizeof(kLanguages) / sizeof(kLanguages[0]))];
  std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::vector<std::string> parts;
  for (size_t at = 0;;) {
    size_t next = rest.find(std::string("\0\0", 2), at);
    parts.push_back(rest.substr(at, next == std::string::npos ? std::string::npos : next - at));
    if (next == std::string::npos || parts.size() == 4) break;
    at = next + 2;
  }
  static const wchar_t* const kNames[] = {L"def.xml", L"zt_data.xml", L"c.cfg", L"l.txt"};
  brx::MemoryEntrySource source;
  for (size_t i = 0; i < parts.size(); ++i) source.Add(kNames[i], parts[i]);

  CPPkg pkg;
  pkg.LoadPackageFrom(&source, L"fuzz.exe", L"def.xml", language);
  size_t sink = Walk(pkg.definition()) + Walk(pkg.package_data());
  const wchar_t* texts[] = {pkg.GetFileName(), pkg.GetName(), pkg.GetDescription(),
                            pkg.GetVersion(), pkg.GetSwKeyName(), pkg.GetSwKeyExpectedPath(),
                            pkg.GetInstallCommand(), pkg.GetInstallCommandParams(),
                            pkg.GetSetting(L"LARGE_WINDOW"), pkg.GetSetting(L"DISABLE_INSTALL_BUTTON"),
                            pkg.MapCommandLineArg(L"/silent"), pkg.MapCommandLineArg(L"/s"),
                            pkg.GetConfigFileName()};
  for (const wchar_t* t : texts) {
    for (; t && *t; ++t) ++sink;
  }
  for (int32_t code : {0, 1, -1, 3010, INT32_MIN, INT32_MAX}) sink += pkg.MapReturnCode(code);
  sink += pkg.HasConfigUi() + pkg.IsVirtualizationAllowed();

  size_t needed = 0;
  if (pkg.GetLicenseTextFrom(&source, nullptr, &needed) && needed) {
    std::vector<char> buffer(needed);
    size_t have = needed;
    pkg.GetLicenseTextFrom(&source, buffer.data(), &have);
  }
  PackageConfiguration record;
  pkg.ReadConfiguration(&record);
  std::vector<uint8_t> bytes;
  pkg.GetConfigurationData().CopyBytes(&bytes);
  volatile size_t keep = sink + bytes.size();
  (void)keep;
  return 0;
}
