#include "install/configuration_file.h"

#include <stdint.h>
#include <wchar.h>

#include <limits>
#include <string>
#include <vector>

#include "archive/zip_file.h"
#include "package/ppkg.h"
#include "platform/file.h"

namespace brx {

ConfigurationPlacement PlanConfigurationFile(const CPPkg& package, const brxzip::ZIP_File& archive,
                                             std::vector<uint8_t>* bytes) {
  if (!package.HasConfigUi()) return ConfigurationPlacement::kAsStored;
  const wchar_t* name = package.GetConfigFileName();
  if (!name || !*name) return ConfigurationPlacement::kAsStored;
  if (!archive.FindEntry(name)) return ConfigurationPlacement::kAsStored;

  const ConfigurationData& data = package.GetConfigurationData();
  if (!data.IsByteArray() || !data.CopyBytes(bytes)) return ConfigurationPlacement::kUnusable;
  if (bytes->size() > std::numeric_limits<uint32_t>::max()) return ConfigurationPlacement::kUnusable;
  return ConfigurationPlacement::kReplaced;
}

bool WriteConfigurationFile(const CPPkg& package, const brxzip::ZIP_File& archive, const wchar_t* directory) {
  std::vector<uint8_t> bytes;
  switch (PlanConfigurationFile(package, archive, &bytes)) {
    case ConfigurationPlacement::kAsStored:
      return true;
    case ConfigurationPlacement::kUnusable:
      return false;
    case ConfigurationPlacement::kReplaced:
      break;
  }

  std::wstring path = directory ? directory : L"";
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  path += package.GetConfigFileName();

  platform::File file;
  // The extraction wrote this name a moment ago; a link or a second hard link
  // in its place now would have the configuration written into another file.
  if (!file.Open(path.c_str(), platform::FileMode::kReplaceLoneFile)) return false;
  bool written = bytes.empty() || file.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
  file.Close();
  return written;
}

}  // namespace brx
