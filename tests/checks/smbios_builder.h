// Builds raw SMBIOS structure tables for tests.
#ifndef BRX_TESTS_CHECKS_SMBIOS_BUILDER_H_
#define BRX_TESTS_CHECKS_SMBIOS_BUILDER_H_

#include <stdint.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace brx {
namespace checks {

class TableBuilder {
 public:
  // A structure whose formatted area holds type, length, a zero handle and
  // `body`; then the strings, each zero-ended, and the set's final zero (two
  // zeros when there are none).
  TableBuilder& Add(uint8_t type, std::initializer_list<uint8_t> body,
                    std::initializer_list<const char*> strings = {}) {
    bytes_.push_back(type);
    bytes_.push_back(static_cast<uint8_t>(4 + body.size()));
    bytes_.push_back(0);
    bytes_.push_back(0);
    bytes_.insert(bytes_.end(), body);
    for (const char* s : strings) {
      bytes_.insert(bytes_.end(), s, s + std::string(s).size());
      bytes_.push_back(0);
    }
    if (strings.size() == 0) bytes_.push_back(0);
    bytes_.push_back(0);
    return *this;
  }
  TableBuilder& End() { return Add(127, {}); }
  TableBuilder& Raw(std::initializer_list<uint8_t> raw) {
    bytes_.insert(bytes_.end(), raw);
    return *this;
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace checks
}  // namespace brx

#endif  // BRX_TESTS_CHECKS_SMBIOS_BUILDER_H_
