#include "package/config_data.h"

#include <oleauto.h>
#include <string.h>

ConfigurationData::ConfigurationData() { VariantInit(&variant_); }

ConfigurationData::~ConfigurationData() { VariantClear(&variant_); }

void ConfigurationData::Clear() {
  VariantClear(&variant_);
  VariantInit(&variant_);
}

bool ConfigurationData::Assign(const uint8_t* bytes, size_t count) {
  Clear();
  if ((count && !bytes) || count > 0xFFFFFFFFu) return false;
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(count));
  if (!array) return false;
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) {
    SafeArrayDestroy(array);
    return false;
  }
  if (count) memcpy(data, bytes, count);
  SafeArrayUnaccessData(array);
  variant_.vt = VT_ARRAY | VT_UI1;
  variant_.parray = array;
  return true;
}

bool ConfigurationData::IsByteArray() const {
  return variant_.vt == (VT_ARRAY | VT_UI1) && variant_.parray &&
         SafeArrayGetDim(variant_.parray) == 1;
}

bool ConfigurationData::CopyBytes(std::vector<uint8_t>* out) const {
  if (!IsByteArray() || !out) return false;
  LONG lower = 0, upper = -1;
  if (FAILED(SafeArrayGetLBound(variant_.parray, 1, &lower)) ||
      FAILED(SafeArrayGetUBound(variant_.parray, 1, &upper)))
    return false;
  LONG count = upper - lower + 1;
  if (count < 0) return false;
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(variant_.parray, &data))) return false;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  out->assign(bytes, bytes + count);
  SafeArrayUnaccessData(variant_.parray);
  return true;
}
