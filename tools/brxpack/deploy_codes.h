// The stub's completion codes as deployment tools must count them: the one
// table behind every tool's generated settings and the Ansible role's codes.
#ifndef BRX_TOOLS_BRXPACK_DEPLOY_CODES_H_
#define BRX_TOOLS_BRXPACK_DEPLOY_CODES_H_

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace brxpack {

// What a tool should make of a code. Tools without a "not applicable" type
// count code 3 as a failure: nothing was installed or recorded.
enum class DeployOutcome { kFailed, kSuccess, kSoftReboot };

struct DeployCode {
  int32_t code;
  const char* name;     // as brxlog and brxsetup.jsonl name it
  const char* meaning;  // for the administrator reading the settings
  DeployOutcome outcome;
};

extern const DeployCode kDeployCodes[];
extern const size_t kDeployCodeCount;

// The tools brxpack deploy-config writes settings for.
enum class DeployTool { kIntune, kConfigMgr, kWinget, kChocolatey, kDsc, kAnsible };

// "intune" ... "ansible"; false for anything else.
bool ParseDeployTool(const std::string& name, DeployTool* tool);

// The return-code type a tool's console offers for an outcome ("Soft reboot").
const char* ReturnCodeType(DeployTool tool, DeployOutcome outcome);

// The raw exit codes a tool must accept as success: every code whose outcome
// is not a failure, ascending.
std::vector<int32_t> SuccessCodes();

// The code that asks for a restart.
int32_t RestartCode();

// The Ansible role's vars/main.yml, generated from the table.
std::string AnsibleRoleVars();

}  // namespace brxpack

#endif  // BRX_TOOLS_BRXPACK_DEPLOY_CODES_H_
