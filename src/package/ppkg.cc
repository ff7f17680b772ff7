#include "package/ppkg.h"

#include "package/config_cipher.h"
#include "package/entry_source.h"

namespace {

const wchar_t kPackageDataEntry[] = L"zt_data.xml";
const wchar_t kDefinitionElement[] = L"brx_package";
const wchar_t kFallbackLanguage[] = L"en";

}  // namespace

CPPkg::CPPkg() { Clear(); }

CPPkg::~CPPkg() { Clear(); }

bool CPPkg::Clear() {
  configuration_data_.Clear();
  language_.Assign(kFallbackLanguage);
  configuration_.Clear();
  archive_path_.Clear();
  archive_ = nullptr;
  definition_.Reset();
  package_data_.Reset();
  return true;
}

bool CPPkg::LoadPackageFrom(brx::PackageEntrySource* source, const wchar_t* archivePath,
                            const wchar_t* definitionEntryName, const wchar_t* language) {
  if (!source || !archivePath || !definitionEntryName) return false;
  // The path is recorded for later reads (licence, package size); a longer
  // one would have to be cut and then name some other file.
  if (brx::BoundedLength(archivePath, PackagePath::capacity() + 1) > PackagePath::capacity())
    return false;
  if (!archive_path_.empty()) Clear();
  // Codes come as two letters; anything longer ("zh-TW") keeps its language part.
  if (language) language_.AssignCut(language);
  // A failed earlier attempt must not leave its configuration behind for
  // this package to write out.
  configuration_.Clear();
  configuration_data_.Clear();

  brx::EntryBuffer buffer;
  if (brx::ReadWholeEntry(source, definitionEntryName, &buffer) != brx::EntryRead::kRead)
    return false;
  if (definition_.Load(buffer.data.get(), buffer.size) != CBrxXMLReader::kLoadOk) return false;

  // The package data file is optional: absent, unreadable, unparsable or
  // without configuration, the package still loads.
  if (brx::ReadWholeEntry(source, kPackageDataEntry, &buffer) == brx::EntryRead::kRead &&
      package_data_.Load(buffer.data.get(), buffer.size) == CBrxXMLReader::kLoadOk &&
      ReadConfiguration(&configuration_) && !configuration_.config_file_name.empty()) {
    switch (brx::ReadWholeEntry(source, configuration_.config_file_name.get(), &buffer)) {
      case brx::EntryRead::kAbsent:
        break;
      case brx::EntryRead::kFailed:
        return false;
      case brx::EntryRead::kRead:
        if (!FillConfigurationData(buffer.data.get(), buffer.size)) return false;
        break;
    }
  }
  archive_path_.Assign(archivePath);
  return true;
}

bool CPPkg::FillConfigurationData(const uint8_t* bytes, size_t length) {
  configuration_data_.Clear();
  if (!configuration_.encrypted) return configuration_data_.Assign(bytes, length);
  std::vector<uint8_t> plain;
  if (!brx::DecipherConfiguration(GetFileName(), bytes, length, &plain)) return false;
  return configuration_data_.Assign(plain.data(), plain.size());
}

// ---------------------------------------------------------------------------
// Definition getters

const CBrxXMLNode* CPPkg::FindDefinitionPath(const wchar_t* const* path) const {
  const CBrxXMLNode* node = definition_.FindChild(nullptr, kDefinitionElement);
  for (; node && *path; ++path) node = definition_.FindChild(node, *path);
  return node;
}

const CBrxXMLNode* CPPkg::FindTranslated(const wchar_t* parentName,
                                         const wchar_t* childName) const {
  const wchar_t* path[] = {parentName, nullptr};
  const CBrxXMLNode* parent = FindDefinitionPath(path);
  if (!parent) return nullptr;
  const CBrxXMLNode* found = definition_.FindChild(parent, childName, L"lang", language_.get());
  if (!found) found = definition_.FindChild(parent, childName, L"lang", kFallbackLanguage);
  return found;
}

const wchar_t* CPPkg::GetFileName() const {
  static const wchar_t* const kPath[] = {L"filename", nullptr};
  return brx::ElementText(FindDefinitionPath(kPath));
}

const wchar_t* CPPkg::GetName() const {
  return brx::ElementText(FindTranslated(L"name", L"name_xlate"));
}

const wchar_t* CPPkg::GetDescription() const {
  const CBrxXMLNode* found = FindTranslated(L"description", L"description_xlate");
  if (!found) return nullptr;
  // Descriptions carry markup in a CDATA section, which may follow some text.
  const CBrxXMLNode* node = found->FindFirstChild(L"#CDATA");
  if (!node) node = found->first_child();
  if (!node || node->kind() != XML_NODE_TEXT) return nullptr;
  return node->GetValue();
}

const wchar_t* CPPkg::GetVersion() const {
  static const wchar_t* const kPath[] = {L"version", nullptr};
  const CBrxXMLNode* node = FindDefinitionPath(kPath);
  return node ? node->GetAttribute(L"value") : nullptr;
}

const wchar_t* CPPkg::GetSwKeyName() const {
  static const wchar_t* const kPath[] = {L"sw_keys", L"sw_keys_and", L"sw_key", nullptr};
  const CBrxXMLNode* node = FindDefinitionPath(kPath);
  return node ? node->GetAttribute(L"name") : nullptr;
}

const wchar_t* CPPkg::GetSwKeyExpectedPath() const {
  static const wchar_t* const kPath[] = {L"sw_keys", L"sw_keys_and", L"sw_key",
                                         L"sw_key_expectedpath", nullptr};
  return brx::ElementText(FindDefinitionPath(kPath));
}

const wchar_t* CPPkg::GetInstallCommand() const {
  static const wchar_t* const kPath[] = {L"installation", L"install", L"command", nullptr};
  return brx::ElementText(FindDefinitionPath(kPath));
}

const wchar_t* CPPkg::GetInstallCommandParams() const {
  static const wchar_t* const kPath[] = {L"installation", L"install", L"command_params", nullptr};
  return brx::ElementText(FindDefinitionPath(kPath));
}
