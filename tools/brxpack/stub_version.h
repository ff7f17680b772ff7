// The version information a stub carries in its version resource: its own
// version and the versions of the libraries linked into it, read from the
// PE image at the start of a package without running it.
#ifndef BRX_TOOLS_BRXPACK_STUB_VERSION_H_
#define BRX_TOOLS_BRXPACK_STUB_VERSION_H_

#include <string>
#include <utility>
#include <vector>

namespace brx {
namespace platform {
class File;
}  // namespace platform
}  // namespace brx

namespace brxpack {

struct StubVersion {
  bool found = false;  // the image has a version resource with strings
  std::string version;  // FileVersion
  // "Library <name>" strings: name and version, in resource order.
  std::vector<std::pair<std::string, std::string>> libraries;
};

StubVersion ReadStubVersion(brx::platform::File* file);

}  // namespace brxpack

#endif  // BRX_TOOLS_BRXPACK_STUB_VERSION_H_
