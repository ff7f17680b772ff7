// Placing the package's configuration file beside the setup program.
#ifndef BRX_INSTALL_CONFIGURATION_FILE_H_
#define BRX_INSTALL_CONFIGURATION_FILE_H_

class CPPkg;
namespace brxzip {
class ZIP_File;
}

namespace brx {

// Replaces the configuration file that extraction wrote into directory with
// the package's usable copy (decoded when the package stores it enciphered).
// True when there is nothing to write (no config UI declared, no file name,
// no such entry in the archive) or the file was written.
bool WriteConfigurationFile(const CPPkg& package, const brxzip::ZIP_File& archive, const wchar_t* directory);

}  // namespace brx

#endif  // BRX_INSTALL_CONFIGURATION_FILE_H_
