// What each deployment tool makes of the stub's completion codes under the
// settings deploy-config writes for it, read back from the generated text: a
// tool that counted 0 as success, or missed the restart, would report a fleet
// wrongly while the stub did everything right.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "brxpack/deploy_config.h"
#include "brxpack/detection_script.h"
#include "stub/run_stub.h"

namespace {

using brxpack::DeployTool;

brxpack::DeployPackage Sample() {
  brxpack::DeployPackage p;
  p.package_file = "cp0042.exe";
  p.definition = "cp0042.xml";
  p.file_name = "cp0042.exe";
  p.version = "2.10.0";
  p.sw_key = "CP0042";
  p.expected_path = "firmware:system";
  p.display_name = "System Firmware";
  return p;
}

struct Reading {
  std::set<int> success;
  int restart = -1;  // the code the tool restarts for; -1 when it cannot see one
};

std::set<int> Numbers(const std::string& list) {
  std::set<int> out;
  std::istringstream in(std::regex_replace(list, std::regex("[^0-9]+"), " "));
  for (int n; in >> n;) out.insert(n);
  return out;
}

std::string Find(const std::string& text, const char* pattern) {
  std::smatch m;
  return std::regex_search(text, m, std::regex(pattern)) ? m[1].str() : std::string("<missing>");
}

// How the tool reads each code, from the settings as an administrator pastes them.
Reading Read(DeployTool tool, const std::string& text) {
  Reading r;
  switch (tool) {
    case DeployTool::kIntune:
    case DeployTool::kConfigMgr: {
      std::regex row("\n  ([0-9]+) +(Success \\(no reboot\\)|Success|Soft [Rr]eboot|Failed|Failure \\(no reboot\\)) ");
      for (std::sregex_iterator it(text.begin(), text.end(), row), end; it != end; ++it) {
        std::string type = (*it)[2];
        int code = std::stoi((*it)[1]);
        if (type.rfind("Fail", 0) != 0) r.success.insert(code);
        if (type.rfind("Soft", 0) == 0) r.restart = code;
      }
      break;
    }
    case DeployTool::kWinget: {
      // winget succeeds on exit code 0 only; the stub's rule gives the exit code.
      bool dos = Find(text, "\n      Silent: \"([^\"]*)\"").find("/dosretcode") != std::string::npos;
      for (int code = 0; code <= 3; ++code) {
        if (brx::ExitCodeForCompletion(code, dos) == 0) r.success.insert(code);
      }
      break;
    }
    case DeployTool::kChocolatey:
      r.success = Numbers(Find(text, "validExitCodes = @\\(([^)]*)\\)"));
      r.restart = std::stoi("0" + Find(text, "ChocolateyExitCode -eq '([0-9]+)'\\) \\{ Set-PowerShellExitCode 3010"));
      break;
    case DeployTool::kDsc:
      r.success = Numbers(Find(text, "\\$succeeded = @\\(([^)]*)\\)"));
      r.restart = std::stoi("0" + Find(text, "if \\(\\$code -eq ([0-9]+)\\) \\{ \\$global:DSCMachineStatus = 1"));
      break;
    case DeployTool::kAnsible:
      r.success = Numbers(Find(brxpack::AnsibleRoleVars(), "brx_raw_success_codes: \\[([^\\]]*)\\]"));
      r.restart = std::stoi(Find(brxpack::AnsibleRoleVars(), "brx_raw_restart_code: ([0-9]+)"));
      break;
  }
  return r;
}

TEST(DeployConfig, EachToolCountsTheCompletionCodesAsTheStubMeansThem) {
  // success for 0..3 and the restart code. winget sees exit codes of
  // /dosretcode: "not attempted" is a success there and a restart invisible.
  const struct {
    DeployTool tool;
    const char* name;
    std::set<int> success;
    int restart;
  } kCases[] = {
      {DeployTool::kIntune, "intune", {1, 2}, 2},         {DeployTool::kConfigMgr, "configmgr", {1, 2}, 2},
      {DeployTool::kWinget, "winget", {1, 2, 3}, -1},     {DeployTool::kChocolatey, "chocolatey", {1, 2}, 2},
      {DeployTool::kDsc, "dsc", {1, 2}, 2},               {DeployTool::kAnsible, "ansible", {1, 2}, 2},
  };
  for (const auto& c : kCases) {
    std::string text, error;
    ASSERT_TRUE(brxpack::FormatDeployConfig(c.tool, Sample(), "cp0042.exe", &text, &error)) << error;
    Reading r = Read(c.tool, text);
    EXPECT_EQ(r.success, c.success) << c.name;
    EXPECT_EQ(r.restart, c.restart) << c.name;
    DeployTool parsed;
    EXPECT_TRUE(brxpack::ParseDeployTool(c.name, &parsed) && parsed == c.tool) << c.name;
  }
}

TEST(DeployConfig, PackageTextsStayLiteralsInTheLanguageTheyLandIn) {
  const struct {
    const char* text;
    const char* powershell;
    const char* comment;
  } kCases[] = {
      {"plain", "'plain'", "plain"},
      {"it's", "'it''s'", "it's"},
      // U+2019 is a single quote to PowerShell too.
      {"a\xE2\x80\x99" "b", "'a\xE2\x80\x99\xE2\x80\x99" "b'", "a\xE2\x80\x99" "b"},
      {"x\"; rm -r /", "'x\"; rm -r /'", "x\"; rm -r /"},
      {"line\nWrite-Host pwned", "'line\nWrite-Host pwned'", "line Write-Host pwned"},
      {"a\xE2\x80\xA8" "b", "'a\xE2\x80\xA8" "b'", "a b"},
      {"back\\slash", "'back\\slash'", "back\\slash"},
      // NEL and the other C1 characters end nothing in a comment either.
      {"a\xC2\x85" "b\xC2\x9B" "c\x7F", "'a\xC2\x85" "b\xC2\x9B" "c\x7F'", "a b c "},
      {"\xEF\xBF\xBF\xF0\x9F\x98\x80", "'\xEF\xBF\xBF\xF0\x9F\x98\x80'", " \xF0\x9F\x98\x80"},
      {"bad\xC3", "'bad\xC3'", "bad "},  // malformed UTF-8
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(brxpack::PowerShellLiteral(c.text), c.powershell) << c.text;
    EXPECT_EQ(brxpack::CommentText(c.text), c.comment) << c.text;
  }
}

TEST(DeployConfig, DetectionScriptTakesThePackageValuesAsLiteralsOnly) {
  brxpack::DeployPackage p = Sample();
  p.sw_key = "K'@VERSION@";  // a quote, and text that looks like a placeholder
  p.display_name = "Name\n$(Remove-Item C:\\)";
  std::string script = brxpack::DetectionScript(p);
  EXPECT_NE(script.find("  $swKey = 'K''@VERSION@'\n"), std::string::npos);
  EXPECT_NE(script.find("  $packageVersion = '2.10.0'\n"), std::string::npos);
  EXPECT_NE(script.find("# Detection rule for Name $(Remove-Item C:\\) 2.10.0"), std::string::npos);
}

}  // namespace
