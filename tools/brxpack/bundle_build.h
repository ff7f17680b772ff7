// brxpack bundle: several component packages made into one maintenance
// window, itself an ordinary package whose setup program is the runner
// brxbundle.exe and whose manifest says what each member is.
#ifndef BRX_TOOLS_BRXPACK_BUNDLE_BUILD_H_
#define BRX_TOOLS_BRXPACK_BUNDLE_BUILD_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "brxbundle/bundle_manifest.h"

namespace brxpack {

struct BundleMemberSpec {
  std::string path;
  brxbundle::MemberPolicy policy;
};

// PKG.exe, optionally followed by ":continue" and ":restart-first" (in
// either order); false for another suffix given as one of these would be.
bool ParseBundleMember(const std::string& argument, BundleMemberSpec* member, std::string* error);

struct BundleSpec {
  std::string output;
  std::string stub;    // the stub the bundle is built on
  std::string runner;  // brxbundle.exe
  std::string name;     // empty: the output's name without extension
  std::string version;  // empty: 1.0.0.0
  std::vector<BundleMemberSpec> members;
  uint32_t code_page = 1252;
};

// Builds the bundle; false with the reason. Each member must be a package
// the stub installs (inspect's checks) and that a detection rule can find
// (sw_key, filename and version); the manifest holds what inspect read.
bool BuildBundle(const BundleSpec& spec, std::string* error);

// bundle -o OUT [--name TEXT] [--version V] [--stub STUB] [--runner RUNNER] MEMBER...
// (arguments after the command). Exit 0, 1 when no bundle was built, 2 for
// a wrong command line.
int RunBundleCommand(const std::vector<std::string>& args, uint32_t code_page);

}  // namespace brxpack

#endif  // BRX_TOOLS_BRXPACK_BUNDLE_BUILD_H_
