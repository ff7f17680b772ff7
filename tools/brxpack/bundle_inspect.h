// brxpack inspect of a bundle: its plan (members in order, versions,
// policies, and on Windows what this server would skip), and whether the
// manifest and the members the bundle carries agree.
#ifndef BRX_TOOLS_BRXPACK_BUNDLE_INSPECT_H_
#define BRX_TOOLS_BRXPACK_BUNDLE_INSPECT_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "brxbundle/bundle_manifest.h"

namespace brxpack {

struct BundlePlan {
  bool is_bundle = false;  // the package carries a bundle manifest
  brxbundle::Manifest manifest;
  // Per member, in order: the version installed here when it is the
  // member's or a later one (the runner would skip it); empty when it would
  // run, or when this is no Windows server.
  std::vector<std::string> installed_here;
  bool decided_here = false;  // installed_here holds this machine's answers
  // Where the manifest and the members disagree; an install then fails.
  std::vector<std::string> problems;
};

BundlePlan InspectBundle(const std::wstring& package_path, uint32_t code_page);

// The plan after inspect's own report: a text block, or a JSON value.
std::string FormatBundlePlanText(const BundlePlan& plan);
std::string FormatBundlePlanJson(const BundlePlan& plan);  // one JSON object
// inspect's JSON document with the plan added as "bundle".
std::string AddBundlePlanToJson(const std::string& document, const BundlePlan& plan);

}  // namespace brxpack

#endif  // BRX_TOOLS_BRXPACK_BUNDLE_INSPECT_H_
