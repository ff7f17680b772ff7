// The steps of the definition search (CPPkg::FindDefinitionEntry), shared
// with tools that explain which entry it takes and why.
#ifndef BRX_PACKAGE_DEFINITION_SEARCH_H_
#define BRX_PACKAGE_DEFINITION_SEARCH_H_

#include <string>
#include <vector>

#include "package/xml_reader.h"

namespace brxzip {
class ZIP_File;
class ZIP_FileEntry;
}  // namespace brxzip

namespace brx {

// True when the last path component's extension is ".xml", any case.
bool HasXmlExtension(const wchar_t* name);
// Reads the whole entry into `reader`; true when it is well-formed XML.
bool LoadXmlEntry(brxzip::ZIP_FileEntry* entry, CBrxXMLReader* reader);
// True when the document element is brx_package with version "2.0.1.0" or
// "2.0.2.0" (any case).
bool IsKnownDefinition(const CBrxXMLReader& reader);

// An ".xml" entry as the search found it.
struct DefinitionCandidate {
  std::wstring name;     // the entry's decoded name
  bool parsed = false;   // read and well-formed
  std::wstring element;  // document element
  std::wstring version;  // its version attribute
  bool qualifies = false;
};

// The ".xml" entries the search reads, in archive order, up to and including
// the first that qualifies.
std::vector<DefinitionCandidate> ListDefinitionCandidates(const brxzip::ZIP_File& archive);

}  // namespace brx

#endif  // BRX_PACKAGE_DEFINITION_SEARCH_H_
