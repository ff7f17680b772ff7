#include "package/definition_search.h"

#include "archive/zip_file.h"

namespace brx {

std::vector<DefinitionCandidate> ListDefinitionCandidates(const brxzip::ZIP_File& archive) {
  std::vector<DefinitionCandidate> out;
  CBrxXMLReader reader;
  for (uint64_t i = 0; i < archive.GetEntryCount(); ++i) {
    brxzip::ZIP_FileEntry* entry = archive.GetEntryAt(i);
    const wchar_t* name = entry ? entry->GetTargetName() : nullptr;
    if (!name || !HasXmlExtension(name)) continue;
    DefinitionCandidate candidate;
    candidate.name = name;
    candidate.parsed = LoadXmlEntry(entry, &reader);
    const CBrxXMLNode* element = candidate.parsed && reader.root() ? reader.root()->first_child() : nullptr;
    const wchar_t* version = element ? element->GetAttribute(L"version") : nullptr;
    candidate.element = element ? element->name() : L"";
    candidate.version = version ? version : L"";
    candidate.qualifies = candidate.parsed && IsKnownDefinition(reader);
    out.push_back(candidate);
    if (candidate.qualifies) break;
  }
  return out;
}

}  // namespace brx
