// The one table of completion codes behind every deployment tool's settings
// must be the stub's: a table that counted 3 as installed, or missed the
// restart code, would misreport a fleet without any test of the stub noticing.
// The Ansible role's codes are generated from it and must stay so.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "base/completion_code.h"
#include "brxpack/deploy_codes.h"
#include "stub/run_stub.h"

namespace {

TEST(DeployCodes, TableAgreesWithTheStub) {
  ASSERT_EQ(brxpack::kDeployCodeCount, 4u);
  for (size_t i = 0; i < brxpack::kDeployCodeCount; ++i) {
    const brxpack::DeployCode& c = brxpack::kDeployCodes[i];
    EXPECT_EQ(c.code, static_cast<int32_t>(i));
    EXPECT_STREQ(c.name, brx::CompletionCodeName(c.code));
    EXPECT_EQ(c.outcome != brxpack::DeployOutcome::kFailed, brx::IsInstalledCode(c.code)) << c.code;
    EXPECT_EQ(c.outcome == brxpack::DeployOutcome::kSoftReboot, c.code == brx::kCompletionRebootNeeded) << c.code;
    // Raw codes reach the tools unchanged; under /dosretcode only 0 fails.
    EXPECT_EQ(brx::ExitCodeForCompletion(c.code, false), c.code);
    EXPECT_EQ(brx::ExitCodeForCompletion(c.code, true) == 0, c.code != brx::kCompletionFailed) << c.code;
  }
}

TEST(DeployCodes, RoleVarsAreGeneratedFromTheTable) {
  std::ifstream file(BRX_ANSIBLE_CODES, std::ios::binary);
  ASSERT_TRUE(file) << BRX_ANSIBLE_CODES;
  std::string yaml((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_EQ(yaml, brxpack::AnsibleRoleVars()) << "write this to " << BRX_ANSIBLE_CODES << ":\n"
                                              << brxpack::AnsibleRoleVars();
}

}  // namespace
