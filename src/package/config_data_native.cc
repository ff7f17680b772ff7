#include "package/config_data.h"

ConfigurationData::ConfigurationData() = default;
ConfigurationData::~ConfigurationData() = default;

void ConfigurationData::Clear() {
  bytes_.clear();
  is_array_ = false;
}

bool ConfigurationData::Assign(const uint8_t* bytes, size_t count) {
  Clear();
  if (count && !bytes) return false;
  bytes_.assign(bytes, bytes + count);
  is_array_ = true;
  return true;
}

bool ConfigurationData::IsByteArray() const { return is_array_; }

bool ConfigurationData::CopyBytes(std::vector<uint8_t>* out) const {
  if (!is_array_ || !out) return false;
  *out = bytes_;
  return true;
}
