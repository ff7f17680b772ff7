// The Ansible role's exit-code contract must be the stub's: a role that
// counted 3 as installed, or missed the restart code, would report a fleet
// wrongly without any test of the stub noticing.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/completion_code.h"
#include "stub/run_stub.h"

namespace {

// The integers of the line "key: [a, b]" or "key: a" in the role's variables.
std::vector<int> CodesOf(const std::string& yaml, const std::string& key) {
  std::istringstream lines(yaml);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.compare(0, key.size() + 1, key + ":") != 0) continue;
    std::string values = line.substr(key.size() + 1);
    std::replace_if(values.begin(), values.end(), [](char c) { return c == '[' || c == ']' || c == ','; }, ' ');
    std::istringstream in(values);
    std::vector<int> codes;
    for (int code; in >> code;) codes.push_back(code);
    return codes;
  }
  return {};
}

bool Has(const std::vector<int>& codes, int code) {
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

TEST(DeployRecipe, ReturnCodesAgreeWithTheStub) {
  std::ifstream file(BRX_ANSIBLE_CODES, std::ios::binary);
  ASSERT_TRUE(file) << BRX_ANSIBLE_CODES;
  std::string yaml((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<int> raw = CodesOf(yaml, "brx_raw_success_codes");
  std::vector<int> dos = CodesOf(yaml, "brx_dos_success_codes");
  ASSERT_FALSE(raw.empty());
  ASSERT_FALSE(dos.empty());
  EXPECT_EQ(CodesOf(yaml, "brx_raw_restart_code"), std::vector<int>{brx::kCompletionRebootNeeded});
  for (int32_t code = -1; code <= 4; ++code) {
    EXPECT_EQ(Has(raw, brx::ExitCodeForCompletion(code, false)), brx::IsInstalledCode(code)) << code;
    EXPECT_EQ(Has(dos, brx::ExitCodeForCompletion(code, true)), code != brx::kCompletionFailed) << code;
  }
}

}  // namespace
