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

bool WriteConfigurationFile(const CPPkg& package, const brxzip::ZIP_File& archive, const wchar_t* directory) {
  if (!package.HasConfigUi()) return true;
  const wchar_t* name = package.GetConfigFileName();
  if (!name || !*name) return true;
  if (!archive.FindEntry(name)) return true;

  const ConfigurationData& data = package.GetConfigurationData();
  if (!data.IsByteArray()) return false;
  std::vector<uint8_t> bytes;
  if (!data.CopyBytes(&bytes)) return false;
  if (bytes.size() > std::numeric_limits<uint32_t>::max()) return false;

  std::wstring path = directory ? directory : L"";
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  path += name;

  platform::File file;
  if (!file.Open(path.c_str(), platform::FileMode::kCreateAlways)) return false;
  bool written = bytes.empty() || file.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
  file.Close();
  return written;
}

}  // namespace brx
