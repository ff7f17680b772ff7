// What brxpack reads out of the definition it packs: the key material of an
// enciphered configuration file, and whether start-up will find it.
#ifndef BRX_TOOLS_BRXPACK_DEFINITION_CHECK_H_
#define BRX_TOOLS_BRXPACK_DEFINITION_CHECK_H_

#include <string>
#include <vector>

#include "brxpack/package_writer.h"

namespace brxpack {

// The definition's filename element; false when the bytes are no definition
// or name no file.
bool ReadDefinitionFileName(const std::vector<unsigned char>& definition, std::wstring* file_name);

// Warnings for a package written to package_path whose definition entry is
// definition_entry and names definition_file_name (may be empty): the stub
// looks for "<package base name>.xml" first, and the inventory records the
// package under its definition's file name.
std::vector<std::string> DefinitionWarnings(const std::string& package_path, const std::string& definition_entry,
                                            const std::wstring& definition_file_name);

// A writer transform that enciphers the entry named `entry` the way the stub
// deciphers it: hex text of DES-ECB blocks keyed with the definition's file
// name. Every other entry passes unchanged.
EntryTransform MakeEncipherTransform(const std::wstring& definition_file_name, const std::string& entry);

}  // namespace brxpack

#endif  // BRX_TOOLS_BRXPACK_DEFINITION_CHECK_H_
