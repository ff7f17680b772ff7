// The PowerShell detection script of a package, for the deployment tools that
// run one (Intune, Configuration Manager) and the scripts that wrap others.
#ifndef BRX_TOOLS_BRXPACK_DETECTION_SCRIPT_H_
#define BRX_TOOLS_BRXPACK_DETECTION_SCRIPT_H_

#include <string>

#include "brxpack/deploy_package.h"

namespace brxpack {

// The registry key of the inventory record, below HKEY_LOCAL_MACHINE.
std::string InventoryKey(const DeployPackage& package);

// The script: it prints one line and exits with 0 when the component is
// installed at the package's version or a later one, and prints nothing when
// it is not. Its decisions are the Ansible role's (filter_plugins/brx.py):
// an inventory record under HKLM whose ComponentFileName or
// ComponentKeyExpectedPath is the package's, and a definition copy, trusted
// only when it and its folders belong to SYSTEM or Administrators, grant
// nobody else write access and are no links, whose <version value> is at
// least the package's. Versions compare by dot-separated parts: numbers as
// numbers, other parts as text ignoring case, missing parts as "0".
std::string DetectionScript(const DeployPackage& package);

// The same as a function `Test-<Name>Installed` returning true or false,
// for scripts that decide before they install (Chocolatey, DSC).
std::string DetectionFunction(const DeployPackage& package, const std::string& function_name);

}  // namespace brxpack

#endif  // BRX_TOOLS_BRXPACK_DETECTION_SCRIPT_H_
