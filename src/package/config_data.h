// The configuration file's bytes as the package holds them in memory. On
// Windows this is a VARIANT holding a one-dimensional VT_UI1 SAFEARRAY with
// lower bound 0 (what the automation-based consumers expect); natively it is
// a plain byte buffer behind the same interface.
#ifndef BRX_PACKAGE_CONFIG_DATA_H_
#define BRX_PACKAGE_CONFIG_DATA_H_

#include <stddef.h>
#include <stdint.h>

#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <oaidl.h>
#endif

class ConfigurationData {
 public:
  ConfigurationData();
  ~ConfigurationData();
  ConfigurationData(const ConfigurationData&) = delete;
  ConfigurationData& operator=(const ConfigurationData&) = delete;

  // Back to the empty state.
  void Clear();
  // Replaces the content with a byte array holding a copy of `count` bytes.
  // False, leaving the data empty, when the array cannot be made or filled.
  bool Assign(const uint8_t* bytes, size_t count);
  // True when the data is a one-dimensional byte array (possibly of length 0).
  bool IsByteArray() const;
  // Copies the array's bytes out; false when there is no byte array or its
  // data cannot be accessed.
  bool CopyBytes(std::vector<uint8_t>* out) const;

#ifdef _WIN32
  const VARIANT& variant() const { return variant_; }
#endif

 private:
#ifdef _WIN32
  VARIANT variant_;
#else
  std::vector<uint8_t> bytes_;
  bool is_array_ = false;
#endif
};

#endif  // BRX_PACKAGE_CONFIG_DATA_H_
