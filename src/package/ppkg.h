// The package: the component definition (document element brx_package) and
// the optional package data file "zt_data.xml" (zt_pkg_data) read out of the
// payload archive, with the configuration file they name.
//
// Getters return text owned by the package, or null when the value is absent;
// it stays valid until the next LoadPackage or Clear.
#ifndef BRX_PACKAGE_PPKG_H_
#define BRX_PACKAGE_PPKG_H_

#include <stddef.h>
#include <stdint.h>

#include "base/bounded_string.h"
#include "package/config_data.h"
#include "package/xml_reader.h"

namespace brxzip {
class ZIP_File;
}  // namespace brxzip

namespace brx {
class PackageEntrySource;
}  // namespace brx

// Paths and file names the product stores have room for 260 characters.
typedef brx::BoundedString<260> PackagePath;

struct PackageConfiguration {
  PackagePath config_ui_file_name;  // configuration/configui/filename
  PackagePath config_file_name;     // configuration/config_file/filename
  bool encrypted = false;           // that filename's encrypt="1"
  bool virtualization_allowed = false;

  void Clear() {
    config_ui_file_name.Clear();
    config_file_name.Clear();
    encrypted = false;
    virtualization_allowed = false;
  }
};

class CPPkg {
 public:
  CPPkg();
  virtual ~CPPkg();
  CPPkg(const CPPkg&) = delete;
  CPPkg& operator=(const CPPkg&) = delete;

  // Language "en", no archive path, no configuration, both trees discarded.
  bool Clear();

  // Loads the definition entry `definitionEntryName` and, when present,
  // "zt_data.xml" and the configuration file it names, from the archive
  // appended to `archivePath` (opened with an archive object of its own).
  // `language` (optional) picks translations; a code longer than two letters
  // is cut to its first two. False when the package is unusable: missing
  // arguments, an archive path over 260 characters, no archive, no or
  // unparsable definition, an unreadable or undecipherable configuration file.
  bool LoadPackage(const wchar_t* archivePath, const wchar_t* definitionEntryName,
                   const wchar_t* language);
  // The same, read through `archive`, which the caller opened on
  // `archivePath` and keeps open as long as the package is in use: the
  // licence text and the package size are then read through it too. The stub
  // passes its process-wide archive, so the package file is opened once and
  // everything comes through that one handle: a file renamed into the
  // package's place while the stub runs (a user may write the download folder
  // an elevated stub runs from) is never read.
  bool LoadPackage(const brxzip::ZIP_File& archive, const wchar_t* archivePath,
                   const wchar_t* definitionEntryName, const wchar_t* language);
  // The loading steps over entries the caller provides; `archivePath` is
  // recorded as the package's archive on success.
  bool LoadPackageFrom(brx::PackageEntrySource* source, const wchar_t* archivePath,
                       const wchar_t* definitionEntryName, const wchar_t* language);

  // The first ".xml" entry of `archive`, in archive order, whose document
  // element is brx_package with version "2.0.1.0" or "2.0.2.0" (any case).
  bool FindDefinitionEntry(const brxzip::ZIP_File& archive, PackagePath* outName) const;

  // Component definition.
  const wchar_t* GetFileName() const;
  const wchar_t* GetName() const;
  const wchar_t* GetDescription() const;
  const wchar_t* GetVersion() const;
  const wchar_t* GetSwKeyName() const;
  const wchar_t* GetSwKeyExpectedPath() const;
  const wchar_t* GetInstallCommand() const;
  const wchar_t* GetInstallCommandParams() const;
  // Sum of the uncompressed sizes of the archive's entries; 0 when the
  // archive cannot be opened.
  // The uncompressed size of every entry; false (and 0) when it cannot be
  // known: the archive cannot be read, an entry cannot, or the sum overflows.
  bool GetPackageSize(uint64_t* outSize) const;

  // Package data.
  const wchar_t* GetSetting(const wchar_t* name) const;
  // Two calls: with *inOutSize below the entry size plus 5, stores that
  // size and answers true; with enough room, zeroes that many bytes of
  // `buffer` and reads the licence text into it.
  bool GetLicenseText(void* buffer, size_t* inOutSize) const;
  bool GetLicenseTextFrom(brx::PackageEntrySource* source, void* buffer, size_t* inOutSize) const;
  const wchar_t* MapCommandLineArg(const wchar_t* argument) const;
  int32_t MapReturnCode(int32_t code) const;
  bool ReadConfiguration(PackageConfiguration* record) const;
  const ConfigurationData& GetConfigurationData() const { return configuration_data_; }
  const wchar_t* GetConfigFileName() const { return configuration_.config_file_name.get(); }
  bool HasConfigUi() const { return !configuration_.config_ui_file_name.empty(); }
  bool IsVirtualizationAllowed() const { return configuration_.virtualization_allowed; }

  const wchar_t* language() const { return language_.get(); }
  const wchar_t* archive_path() const { return archive_path_.get(); }
  const CBrxXMLReader& definition() const { return definition_; }
  const CBrxXMLReader& package_data() const { return package_data_; }

 private:
  const CBrxXMLNode* FindTranslated(const wchar_t* parentName, const wchar_t* childName) const;
  const CBrxXMLNode* FindDefinitionPath(const wchar_t* const* path) const;
  const CBrxXMLNode* FindMapEntry(const wchar_t* mapName, const wchar_t* source) const;
  bool FillConfigurationData(const uint8_t* bytes, size_t length);

  // The open archive the package was loaded through, or null when it was
  // loaded by path (each read then opens the path again).
  const brxzip::ZIP_File* archive_ = nullptr;
  CBrxXMLReader definition_;
  CBrxXMLReader package_data_;
  brx::BoundedString<2> language_;
  PackagePath archive_path_;
  ConfigurationData configuration_data_;
  PackageConfiguration configuration_;
};

#endif  // BRX_PACKAGE_PPKG_H_
