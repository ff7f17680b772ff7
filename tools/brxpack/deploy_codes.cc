#include "brxpack/deploy_codes.h"

#include "base/completion_code.h"

namespace brxpack {

const DeployCode kDeployCodes[] = {
    {brx::kCompletionFailed, brx::CompletionCodeName(brx::kCompletionFailed),
     "failed; nothing was recorded in the inventory", DeployOutcome::kFailed},
    {brx::kCompletionInstalled, brx::CompletionCodeName(brx::kCompletionInstalled), "installed",
     DeployOutcome::kSuccess},
    {brx::kCompletionRebootNeeded, brx::CompletionCodeName(brx::kCompletionRebootNeeded),
     "installed; the host must restart to finish", DeployOutcome::kSoftReboot},
    {brx::kCompletionNotAttempted, brx::CompletionCodeName(brx::kCompletionNotAttempted),
     "not attempted; nothing installed (nothing to do here, e.g. no matching hardware, or the dialog was closed)",
     DeployOutcome::kFailed},
};
const size_t kDeployCodeCount = sizeof(kDeployCodes) / sizeof(kDeployCodes[0]);

bool ParseDeployTool(const std::string& name, DeployTool* tool) {
  static const struct {
    const char* name;
    DeployTool tool;
  } kTools[] = {{"intune", DeployTool::kIntune},         {"configmgr", DeployTool::kConfigMgr},
                {"winget", DeployTool::kWinget},         {"chocolatey", DeployTool::kChocolatey},
                {"dsc", DeployTool::kDsc},               {"ansible", DeployTool::kAnsible}};
  for (const auto& t : kTools) {
    if (name == t.name) {
      *tool = t.tool;
      return true;
    }
  }
  return false;
}

const char* ReturnCodeType(DeployTool tool, DeployOutcome outcome) {
  // The names exactly as the consoles list them.
  if (tool == DeployTool::kConfigMgr) {
    return outcome == DeployOutcome::kSuccess      ? "Success (no reboot)"
           : outcome == DeployOutcome::kSoftReboot ? "Soft Reboot"
                                                   : "Failure (no reboot)";
  }
  return outcome == DeployOutcome::kSuccess ? "Success" : outcome == DeployOutcome::kSoftReboot ? "Soft reboot" : "Failed";
}

std::vector<int32_t> SuccessCodes() {
  std::vector<int32_t> codes;
  for (size_t i = 0; i < kDeployCodeCount; ++i) {
    if (kDeployCodes[i].outcome != DeployOutcome::kFailed) codes.push_back(kDeployCodes[i].code);
  }
  return codes;
}

int32_t RestartCode() {
  for (size_t i = 0; i < kDeployCodeCount; ++i) {
    if (kDeployCodes[i].outcome == DeployOutcome::kSoftReboot) return kDeployCodes[i].code;
  }
  return -1;
}

std::string AnsibleRoleVars() {
  std::string out =
      "---\n"
      "# The stub's exit-code contract, generated from brxpack's table of completion\n"
      "# codes (tools/brxpack/deploy_codes.cc): the test DeployCodes.RoleVars... fails\n"
      "# and prints the new text when the two differ.\n";
  for (size_t i = 0; i < kDeployCodeCount; ++i) {
    out += "#   " + std::to_string(kDeployCodes[i].code) + " " + kDeployCodes[i].name + ": " + kDeployCodes[i].meaning +
           "\n";
  }
  out += "# Any other code is the setup program's own, passed on unmapped: a failure.\n";
  out += "brx_raw_success_codes: [";
  std::vector<int32_t> success = SuccessCodes();
  for (size_t i = 0; i < success.size(); ++i) out += (i ? ", " : "") + std::to_string(success[i]);
  out += "]\nbrx_raw_restart_code: " + std::to_string(RestartCode()) + "\n";
  out +=
      "# With /dosretcode (or under kelagent.exe): 0 for any code but 0, 1 for 0;\n"
      "# a restart request cannot be seen then.\n"
      "brx_dos_success_codes: [0]\n"
      "brx_code_names:\n";
  for (size_t i = 0; i < kDeployCodeCount; ++i) {
    out += "  " + std::to_string(kDeployCodes[i].code) + ": " + kDeployCodes[i].name + "\n";
  }
  return out;
}

}  // namespace brxpack
