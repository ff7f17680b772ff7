// Start-up's choice of the definition: the entry named after the stub first,
// else the first ".xml" entry that is a definition of a known format.
#ifndef BRX_STUB_LOAD_DEFINITION_H_
#define BRX_STUB_LOAD_DEFINITION_H_

#include "package/ppkg.h"

namespace brxzip {
class ZIP_File;
}  // namespace brxzip

namespace brx {

// What the choice went through, for tools that explain it.
struct DefinitionSearch {
  PackagePath expected;  // "<stub base name>.xml"
  bool loaded_by_name = false;
  bool searched = false;  // the fallback search ran
};

// Loads `package` from the stub at `stub_path`, whose payload `archive` is
// open, and names the entry it loaded in *definition_name. False when
// neither the expected entry nor a found one loads. `search` is optional.
bool LoadStubDefinition(CPPkg& package, const brxzip::ZIP_File& archive, const wchar_t* stub_path,
                        const wchar_t* language, PackagePath* definition_name,
                        DefinitionSearch* search = nullptr);

}  // namespace brx

#endif  // BRX_STUB_LOAD_DEFINITION_H_
