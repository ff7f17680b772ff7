// brxpack deploy-config: ready-to-paste settings for a deployment tool, from
// the package itself (found by inspect) and the one table of codes.
#ifndef BRX_TOOLS_BRXPACK_DEPLOY_CONFIG_H_
#define BRX_TOOLS_BRXPACK_DEPLOY_CONFIG_H_

#include <string>
#include <vector>

#include "brxpack/deploy_codes.h"
#include "brxpack/deploy_package.h"

namespace brxpack {

// The settings as text: the silent command line, the return codes with their
// meanings and the detection rule, in the tool's own terms. False, with the
// reason, for a package whose fields no setting can carry (CheckDeployFields).
// package_path (UTF-8) is the package as the command line named it.
bool FormatDeployConfig(DeployTool tool, const DeployPackage& package, const std::string& package_path,
                        std::string* text, std::string* error);

// deploy-config --tool TOOL PACKAGE: args and wide_args are the whole
// command line (program, "deploy-config", ...), narrow and wide. The settings
// go to standard output with exit 0; 1 for a package no settings can be made
// for; 2 for a wrong command line.
int RunDeployConfig(const std::vector<std::string>& args, const std::vector<std::wstring>& wide_args);

}  // namespace brxpack

#endif  // BRX_TOOLS_BRXPACK_DEPLOY_CONFIG_H_
