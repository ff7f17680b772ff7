// Placing the package's configuration file beside the setup program.
#ifndef BRX_INSTALL_CONFIGURATION_FILE_H_
#define BRX_INSTALL_CONFIGURATION_FILE_H_

class CPPkg;
namespace brxzip {
class ZIP_File;
}

#include <stdint.h>

#include <vector>

namespace brx {

// What WriteConfigurationFile does for a package: nothing (no config UI
// declared, no file name, no such entry: the extracted entry stays as
// stored), write the package's copy in *bytes over the extracted one, or
// fail because the package holds no usable copy.
enum class ConfigurationPlacement { kAsStored, kReplaced, kUnusable };
ConfigurationPlacement PlanConfigurationFile(const CPPkg& package, const brxzip::ZIP_File& archive,
                                             std::vector<uint8_t>* bytes);

// Replaces the configuration file that extraction wrote into directory with
// the package's usable copy (decoded when the package stores it enciphered).
// True when there is nothing to write (no config UI declared, no file name,
// no such entry in the archive) or the file was written.
bool WriteConfigurationFile(const CPPkg& package, const brxzip::ZIP_File& archive, const wchar_t* directory);

}  // namespace brx

#endif  // BRX_INSTALL_CONFIGURATION_FILE_H_
