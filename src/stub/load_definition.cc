#include "stub/load_definition.h"

#include "stub/definition_name.h"

namespace brx {

bool LoadStubDefinition(CPPkg& package, const brxzip::ZIP_File& archive, const wchar_t* stub_path,
                        const wchar_t* language, PackagePath* definition_name, DefinitionSearch* search) {
  DefinitionSearch unused;
  if (!search) search = &unused;
  if (DefinitionNameForStub(stub_path, definition_name)) {
    search->expected.Assign(definition_name->get());
    if (package.LoadPackage(archive, stub_path, definition_name->get(), language)) {
      search->loaded_by_name = true;
      return true;
    }
  }
  search->searched = true;
  PackagePath found;
  if (!package.FindDefinitionEntry(archive, &found)) return false;
  definition_name->Assign(found.get());
  return package.LoadPackage(archive, stub_path, definition_name->get(), language);
}

}  // namespace brx
