// The package data file "zt_data.xml": settings, licence, argument and
// return-code maps, configuration file and virtualization permission.
#include <string.h>
#include <wchar.h>

#include <limits>

#include "package/entry_source.h"
#include "package/ppkg.h"

namespace {

const wchar_t kDataElement[] = L"zt_pkg_data";

// "%d" of a 32-bit signed value, the form in which return codes are mapped.
void FormatDecimal(int32_t value, wchar_t out[16]) {
  wchar_t digits[16];
  int n = 0;
  int64_t v = value;
  bool negative = v < 0;
  if (negative) v = -v;
  do {
    digits[n++] = static_cast<wchar_t>(L'0' + v % 10);
    v /= 10;
  } while (v);
  int at = 0;
  if (negative) out[at++] = L'-';
  while (n) out[at++] = digits[--n];
  out[at] = L'\0';
}

// Leading blanks and a sign, then digits up to the first non-digit; no digits
// give 0 and values beyond the 32-bit range saturate.
int32_t ParseDecimal(const wchar_t* text) {
  while (brx::IsXmlBlank(*text)) ++text;
  bool negative = false;
  if (*text == L'+' || *text == L'-') negative = *text++ == L'-';
  const int64_t limit = negative ? -static_cast<int64_t>(std::numeric_limits<int32_t>::min())
                                 : std::numeric_limits<int32_t>::max();
  int64_t value = 0;
  for (; *text >= L'0' && *text <= L'9'; ++text) {
    value = value * 10 + (*text - L'0');
    if (value > limit) {
      value = limit;
      // Keep consuming digits; the result is already saturated.
    }
  }
  return static_cast<int32_t>(negative ? -value : value);
}

}  // namespace

const wchar_t* CPPkg::GetSetting(const wchar_t* name) const {
  if (!package_data_.loaded() || !name) return nullptr;
  const CBrxXMLNode* data = package_data_.FindChild(nullptr, kDataElement);
  const CBrxXMLNode* settings = data ? data->FindFirstChild(L"settings") : nullptr;
  if (!settings) return nullptr;
  const CBrxXMLNode* value = package_data_.FindChild(settings, L"value", L"name", name);
  return value ? value->GetAttribute(L"value") : nullptr;
}

const CBrxXMLNode* CPPkg::FindMapEntry(const wchar_t* mapName, const wchar_t* source) const {
  const CBrxXMLNode* node = package_data_.FindChild(nullptr, kDataElement);
  static const wchar_t* const kPath[] = {L"installation", L"install"};
  for (const wchar_t* step : kPath) node = node ? node->FindFirstChild(step) : nullptr;
  node = node ? node->FindFirstChild(mapName) : nullptr;
  if (!node) return nullptr;
  return package_data_.FindChild(node, L"map", L"source", source);
}

const wchar_t* CPPkg::MapCommandLineArg(const wchar_t* argument) const {
  if (!package_data_.loaded() || !argument) return argument;
  const CBrxXMLNode* map = FindMapEntry(L"commandline_arg_map", argument);
  const wchar_t* dest = map ? map->GetAttribute(L"dest") : nullptr;
  return dest ? dest : argument;
}

int32_t CPPkg::MapReturnCode(int32_t code) const {
  if (!package_data_.loaded()) return code;
  wchar_t source[16];
  FormatDecimal(code, source);
  const CBrxXMLNode* map = FindMapEntry(L"returncode_map", source);
  const wchar_t* dest = map ? map->GetAttribute(L"dest") : nullptr;
  return dest ? ParseDecimal(dest) : code;
}

bool CPPkg::GetLicenseTextFrom(brx::PackageEntrySource* source, void* buffer,
                               size_t* inOutSize) const {
  if (!package_data_.loaded() || !inOutSize || !source) return false;
  const CBrxXMLNode* data = package_data_.FindChild(nullptr, kDataElement);
  const CBrxXMLNode* license = data ? package_data_.FindChild(data, L"license") : nullptr;
  if (!license) return false;
  const CBrxXMLNode* file = package_data_.FindChild(license, L"filename", L"lang", language_.get());
  if (!file) file = package_data_.FindChild(license, L"filename", L"lang", L"en");
  const wchar_t* name = brx::ElementText(file);
  if (!name) return false;

  uint64_t size = 0;
  if (!source->FindEntry(name, &size)) return false;
  // The five zero bytes after the text end it for callers that treat it as
  // a string; a size that cannot carry them is refused.
  if (size > std::numeric_limits<size_t>::max() - 5) return false;
  size_t needed = static_cast<size_t>(size) + 5;
  if (*inOutSize < needed) {
    *inOutSize = needed;
    return true;
  }
  if (!buffer) return false;
  memset(buffer, 0, needed);
  return size == 0 || source->ReadEntry(name, buffer, size);
}

bool CPPkg::ReadConfiguration(PackageConfiguration* record) const {
  if (!package_data_.loaded() || !record) return false;
  const CBrxXMLNode* data = package_data_.FindChild(nullptr, kDataElement);
  if (!data) return false;
  const CBrxXMLNode* configuration = data->FindFirstChild(L"configuration");
  const CBrxXMLNode* virtualization = data->FindFirstChild(L"virtualization");
  bool result = false;

  const CBrxXMLNode* configui = configuration ? configuration->FindFirstChild(L"configui") : nullptr;
  if (configui) {
    const CBrxXMLNode* file = package_data_.FindChild(configui, L"filename", L"lang", language_.get());
    if (!file) file = package_data_.FindChild(configui, L"filename", L"lang", L"en");
    const wchar_t* text = brx::ElementText(file);
    // A name that does not fit is refused rather than cut into another name.
    if (text && record->config_ui_file_name.Assign(text)) result = true;
  }

  // Only config_file names a configuration file. (A configui file name is a
  // tool to be extracted, not a configuration to be rewritten, and its
  // encrypt attribute has no meaning.)
  const CBrxXMLNode* config_file =
      configuration ? configuration->FindFirstChild(L"config_file") : nullptr;
  const CBrxXMLNode* file = config_file ? config_file->FindFirstChild(L"filename") : nullptr;
  if (file) {
    const wchar_t* encrypt = file->GetAttribute(L"encrypt");
    record->encrypted = encrypt && wcscmp(encrypt, L"1") == 0;
    const wchar_t* text = brx::ElementText(file);
    if (text && record->config_file_name.Assign(text)) result = true;
  }

  if (virtualization) {
    const wchar_t* allow = virtualization->GetAttribute(L"allow");
    record->virtualization_allowed = allow && wcscmp(allow, L"1") == 0;
  }
  return result;
}
