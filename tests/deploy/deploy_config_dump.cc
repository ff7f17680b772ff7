// deploy-config's writers over packages given as JSON, for the hostile-text
// test: each standard input line is {"package": {field: text...}, "path": text};
// each output line is {"settings": {tool: text...}} or {"refused": reason}.
#include <stdio.h>

#include <iostream>
#include <nlohmann/json.hpp>
#include <string>

#include "brxpack/deploy_config.h"

int main() {
  const struct {
    brxpack::DeployTool tool;
    const char* name;
  } kTools[] = {{brxpack::DeployTool::kIntune, "intune"},         {brxpack::DeployTool::kConfigMgr, "configmgr"},
                {brxpack::DeployTool::kWinget, "winget"},         {brxpack::DeployTool::kChocolatey, "chocolatey"},
                {brxpack::DeployTool::kDsc, "dsc"},               {brxpack::DeployTool::kAnsible, "ansible"}};
  std::string line;
  while (std::getline(std::cin, line)) {
    nlohmann::json in = nlohmann::json::parse(line, nullptr, false);
    if (in.is_discarded()) return 2;
    const nlohmann::json& f = in["package"];
    brxpack::DeployPackage p;
    p.package_file = f.value("package_file", "");
    p.definition = f.value("definition", "");
    p.file_name = f.value("file_name", "");
    p.version = f.value("version", "");
    p.sw_key = f.value("sw_key", "");
    p.expected_path = f.value("expected_path", "");
    p.display_name = f.value("display_name", "");
    nlohmann::json out;
    for (const auto& t : kTools) {
      std::string text, error;
      if (!brxpack::FormatDeployConfig(t.tool, p, in.value("path", ""), &text, &error)) {
        out = {{"refused", error}};
        break;
      }
      out["settings"][t.name] = text;
    }
    // Texts as they are: invalid UTF-8 would be replaced, never hidden.
    std::string dumped = out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    fwrite(dumped.data(), 1, dumped.size(), stdout);
    fputc('\n', stdout);
  }
  return 0;
}
