#include "brxpack/deploy_config.h"

#include <stdio.h>
#include <yaml-cpp/yaml.h>

#include "base/completion_code.h"
#include "brxpack/bundle_inspect.h"
#include "brxpack/detection_script.h"
#include "brxpack/inspect.h"
#include "platform/utf8.h"

namespace brxpack {
namespace {

const char kUsage[] = "usage: brxpack deploy-config --tool intune|configmgr|winget|chocolatey|dsc|ansible PACKAGE\n";

std::string CodeList(const std::vector<int32_t>& codes) {
  std::string out;
  for (size_t i = 0; i < codes.size(); ++i) out += (i ? ", " : "") + std::to_string(codes[i]);
  return out;
}

std::string Title(const DeployPackage& p) {
  return CommentText(p.display_name.empty() ? p.file_name : p.display_name) + " " + CommentText(p.version) + " (" +
         CommentText(p.package_file) + ")";
}

// The package's file name without its extension, for the files the settings name.
std::string Stem(const DeployPackage& p) {
  size_t dot = p.package_file.rfind('.');
  return CommentText(dot == std::string::npos ? p.package_file : p.package_file.substr(0, dot));
}

std::string DetectScriptName(const DeployPackage& p) { return Stem(p) + "-detect.ps1"; }

std::string SilentCommand(const DeployPackage& p) { return "\"" + p.package_file + "\" /silent"; }

const char kOtherCodes[] = "Any other code is the setup program's own, passed on unmapped: a failure.";

// The return-code rows of the tools with a console list (Intune, ConfigMgr).
std::string ReturnCodeRows(DeployTool tool) {
  std::string out;
  for (size_t i = 0; i < kDeployCodeCount; ++i) {
    char row[96];
    snprintf(row, sizeof(row), "  %-3d %-21s ", static_cast<int>(kDeployCodes[i].code),
             ReturnCodeType(tool, kDeployCodes[i].outcome));
    out += row + std::string(kDeployCodes[i].meaning) + "\n";
  }
  return out + "  " + kOtherCodes + "\n";
}

// The commented code list of the tools that take a list of success codes.
std::string CodeComments(const char* prefix) {
  std::string out;
  for (size_t i = 0; i < kDeployCodeCount; ++i) {
    out += std::string(prefix) + std::to_string(kDeployCodes[i].code) + " " + kDeployCodes[i].name + ": " +
           kDeployCodes[i].meaning + "\n";
  }
  return out + prefix + kOtherCodes + "\n";
}

std::string RegistryRuleNote() {
  return "    (the record holds no version, and this rule looks at the first record of the\n"
         "    component only: prefer the script)\n";
}

std::string Intune(const DeployPackage& p) {
  return "Microsoft Intune: Win32 app settings for " + Title(p) +
         "\n(wrap the package with the Win32 Content Prep Tool first)\n\n"
         "Program\n"
         "  Install command: " + SilentCommand(p) + "\n"
         "  Uninstall command: cmd.exe /c exit 1\n"
         "    (the package cannot be uninstalled; this makes an uninstall assignment fail visibly)\n"
         "  Install behavior: System\n"
         "  Device restart behavior: Determine behavior based on return codes\n\n"
         "Return codes (delete the default ones: 0, 1707, 3010, 1641 and 1618 mean something else here)\n" +
         ReturnCodeRows(DeployTool::kIntune) +
         "\nDetection rules\n"
         "  Rules format: Use a custom detection script\n"
         "  Script file: " + DetectScriptName(p) + " (below)\n"
         "  Run script as 32-bit process on 64-bit clients: No\n"
         "  Enforce script signature check and run script silently: No, unless you sign the script\n"
         "  Without the version: Manually configure detection rules, Rule type Registry\n"
         "    Key path: HKEY_LOCAL_MACHINE\\" + InventoryKey(p) + "\\0\n"
         "    Value name: ComponentFileName\n"
         "    Detection method: String comparison\n"
         "    Operator: Equals\n"
         "    Value: " + p.file_name + "\n"
         "    Associated with a 32-bit app on 64-bit clients: No\n" +
         RegistryRuleNote() + "\n----- " + DetectScriptName(p) + " -----\n" + DetectionScript(p);
}

std::string ConfigMgr(const DeployPackage& p) {
  return "Configuration Manager: application deployment type (Script Installer) for " + Title(p) +
         "\n\n"
         "Content: a folder holding " + CommentText(p.package_file) + "\n"
         "Programs\n"
         "  Installation program: " + SilentCommand(p) + "\n"
         "  Uninstall program: none (the package cannot be uninstalled)\n"
         "Detection Method\n"
         "  Use a custom script to detect the presence of this deployment type\n"
         "  Script type: PowerShell; script: " + DetectScriptName(p) + " (below)\n"
         "  Without the version: Configure rules, Setting Type Registry\n"
         "    Hive: HKEY_LOCAL_MACHINE\n"
         "    Key: " + InventoryKey(p) + "\\0\n"
         "    Value: ComponentFileName\n"
         "    This registry key is associated with a 32-bit application on 64-bit systems: cleared\n"
         "    This registry setting must satisfy the following rule: Data Type String, Operator Equals,\n"
         "    Value " + p.file_name + "\n" +
         RegistryRuleNote() +
         "User Experience\n"
         "  Installation behavior: Install for system\n"
         "  Logon requirement: Whether or not a user is logged on\n"
         "  Installation program visibility: Hidden\n"
         "Return Codes (delete the default ones: 0, 1707, 3010, 1641 and 1618 mean something else here)\n" +
         ReturnCodeRows(DeployTool::kConfigMgr) + "\n----- " + DetectScriptName(p) + " -----\n" +
         DetectionScript(p);
}

// A YAML emitter for settings files. Every value a package or a command line
// gave is written double-quoted with everything beyond printable ASCII
// escaped, so that no text can end the scalar, start a key or a line, or be
// refused by a YAML 1.1 reader (which takes NEL and U+2028 for line ends).
void StartYaml(YAML::Emitter* out) { out->SetOutputCharset(YAML::EscapeNonAscii); }

// The text, or empty when the emitter failed (it then names no reason a
// package could cause: every value is a string it can write).
std::string YamlText(const YAML::Emitter& out) { return out.good() ? std::string(out.c_str()) + "\n" : std::string(); }

// A block of comment lines; the emitter starts each line of the text with "# ".
YAML::_Comment Comment(std::string text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return YAML::Comment(text);
}

std::string Winget(const DeployPackage& p) {
  std::vector<int32_t> dos_success;
  for (size_t i = 0; i < kDeployCodeCount; ++i) {
    if (kDeployCodes[i].code != brx::kCompletionFailed) dos_success.push_back(kDeployCodes[i].code);
  }
  YAML::Emitter out;
  StartYaml(&out);
  out << Comment("winget: installer manifest fields for " + Title(p) +
                 ", from brxpack deploy-config.\n"
                 "winget counts exit code 0 as success whatever a manifest says, so the package runs\n"
                 "with /dosretcode: exit code 0 for completion codes " + CodeList(dos_success) +
                 ", 1 for 0 (failed).\n"
                 "A restart request (2) cannot be seen then, and not attempted (3) counts as success.\n"
                 "winget finds installs through Apps & Features entries, which the package does not\n"
                 "write: check hosts with the detection script of `brxpack deploy-config --tool intune`.\n"
                 "Add InstallerUrl and InstallerSha256 for your copy of the package.");
  out << YAML::BeginMap;
  out << YAML::Key << "PackageVersion" << YAML::Value << YAML::DoubleQuoted << p.version;
  out << YAML::Key << "Installers" << YAML::Value << YAML::BeginSeq << YAML::BeginMap;
  out << YAML::Key << "Architecture" << YAML::Value << "x64";
  out << YAML::Key << "InstallerType" << YAML::Value << "exe";
  out << YAML::Key << "Scope" << YAML::Value << "machine";
  out << YAML::Key << "ElevationRequirement" << YAML::Value << "elevatesSelf";
  out << YAML::Key << "InstallModes" << YAML::Value << YAML::BeginSeq << "silent" << YAML::EndSeq;
  out << YAML::Key << "InstallerSwitches" << YAML::Value << YAML::BeginMap;
  out << YAML::Key << "Silent" << YAML::Value << YAML::DoubleQuoted << "/silent /dosretcode";
  out << YAML::Key << "SilentWithProgress" << YAML::Value << YAML::DoubleQuoted << "/silent /dosretcode";
  out << YAML::EndMap;
  out << YAML::Key << "UpgradeBehavior" << YAML::Value << "install";
  out << YAML::EndMap << YAML::EndSeq << YAML::EndMap;
  return YamlText(out);
}

std::string Chocolatey(const DeployPackage& p) {
  return "# Chocolatey: tools\\chocolateyInstall.ps1 for " + Title(p) +
         ", from brxpack deploy-config.\n"
         "# Put " + CommentText(p.package_file) + " beside this script in the package's tools folder.\n"
         "$ErrorActionPreference = 'Stop'\n" +
         DetectionFunction(p, "Test-BrxPackageInstalled") +
         "if ($null -ne (Test-BrxPackageInstalled)) {\n"
         "  Write-Host ('Installed at this version or a later one: ' + " + PowerShellLiteral(p.sw_key) + ")\n"
         "  return\n"
         "}\n"
         "$toolsDir = Split-Path -Parent $MyInvocation.MyCommand.Definition\n"
         "$packageArgs = @{\n"
         "  packageName    = $env:ChocolateyPackageName\n"
         "  fileType       = 'exe'\n"
         "  file           = Join-Path $toolsDir " + PowerShellLiteral(p.package_file) + "\n"
         "  silentArgs     = '/silent'\n"
         "  # The stub's completion codes:\n" +
         CodeComments("  #   ") +
         "  validExitCodes = @(" + CodeList(SuccessCodes()) + ")\n"
         "}\n"
         "Install-ChocolateyInstallPackage @packageArgs\n"
         "# Chocolatey passes a package's exit code on as its own: report success as 0\n"
         "# and the restart request as 3010, the codes Chocolatey and its callers read.\n"
         "if ($env:ChocolateyExitCode -eq '" + std::to_string(RestartCode()) +
         "') { Set-PowerShellExitCode 3010 } else { Set-PowerShellExitCode 0 }\n";
}

std::string Dsc(const DeployPackage& p) {
  return "# PowerShell DSC: a configuration for " + Title(p) +
         ", from brxpack deploy-config.\n"
         "# The Package resource finds installs through Apps & Features entries, which the\n"
         "# package does not write, so it would install again at every check and fail after\n"
         "# each install. This Script resource tests with the detection rule and treats the\n"
         "# return codes as a Package resource's ReturnCode would list them:\n" +
         CodeComments("#   ") +
         "Configuration BrxPackage {\n"
         "  param([Parameter(Mandatory)] [string] $PackagePath)  # the package's full path on the node\n"
         "  Import-DscResource -ModuleName PSDesiredStateConfiguration\n"
         "  Node 'localhost' {\n"
         "    Script BrxPackage {\n"
         "      GetScript = { @{ Result = " + PowerShellLiteral(p.file_name + " " + p.version) + " } }\n"
         "      TestScript = {\n" +
         DetectionFunction(p, "Test-BrxPackageInstalled") +
         "        return ($null -ne (Test-BrxPackageInstalled))\n"
         "      }\n"
         "      SetScript = {\n"
         "        $process = Start-Process -FilePath $using:PackagePath -ArgumentList '/silent' -Wait -PassThru\n"
         "        $code = $process.ExitCode\n"
         "        $succeeded = @(" + CodeList(SuccessCodes()) + ")  # ReturnCode\n"
         "        if ($succeeded -notcontains $code) { throw \"The package ended with code $code (0 failed, 3 not attempted)\" }\n"
         "        if ($code -eq " + std::to_string(RestartCode()) + ") { $global:DSCMachineStatus = 1 }  # restart needed\n"
         "      }\n"
         "    }\n"
         "  }\n"
         "}\n";
}

std::string Ansible(const DeployPackage& p, const std::string& package_path) {
  YAML::Emitter out;
  StartYaml(&out);
  out << Comment(
      "Ansible: extra variables for deploy/ansible/site.yml (role brx_package) to roll out\n" + Title(p) +
      ", from brxpack deploy-config:\n"
      "  ansible-playbook -i inventory.ini site.yml -e @" + Stem(p) + "-deploy.yml [-e @secrets.vault.yml]\n"
      "The role learns these itself (brxpack inspect --json on the controller) and detects\n"
      "installs from the inventory record and the definition copy's version:\n"
      "  record HKLM\\" + CommentText(InventoryKey(p)) + ", ComponentFileName " + CommentText(p.file_name) + "\n"
      "  definition copy \\BRXSYSTEM\\ztxml\\" + CommentText(p.definition) + ", version " +
      CommentText(p.version) + " or later\n"
      "Exit codes (roles/brx_package/vars/main.yml):\n" + CodeComments("  "));
  out << YAML::BeginMap;
  // Tagged !unsafe: Ansible never evaluates a template in it, so a package
  // named "{{ lookup('pipe', ...) }}" runs nothing on the controller.
  out << YAML::Key << (p.members.empty() ? "brx_package_file" : "brx_bundle_file") << YAML::Value << YAML::LocalTag("unsafe") << YAML::DoubleQuoted
      << package_path;
  out << YAML::Key << "brx_serial" << YAML::Value << YAML::Flow << YAML::BeginSeq << 1 << YAML::DoubleQuoted << "10%"
      << YAML::DoubleQuoted << "25%" << YAML::EndSeq;
  out << YAML::Key << "brx_reboot_allowed" << YAML::Value << false;
  out << YAML::Key << "brx_arguments" << YAML::Value << YAML::Flow << YAML::BeginSeq << YAML::EndSeq;
  out << YAML::EndMap;
  return YamlText(out);
}

}  // namespace

bool FormatDeployConfig(DeployTool tool, const DeployPackage& package, const std::string& package_path,
                        std::string* text, std::string* error) {
  // Checked here, where the values are written, so that no caller can hand
  // the writers a field they were never meant to carry.
  if (!CheckDeployFields(package, error) || !CheckPackagePath(package_path, error)) return false;
  switch (tool) {
    case DeployTool::kIntune: *text = Intune(package); break;
    case DeployTool::kConfigMgr: *text = ConfigMgr(package); break;
    case DeployTool::kWinget: *text = Winget(package); break;
    case DeployTool::kChocolatey: *text = Chocolatey(package); break;
    case DeployTool::kDsc: *text = Dsc(package); break;
    case DeployTool::kAnsible: *text = Ansible(package, package_path); break;
  }
  if (text->empty()) {
    *error = "the YAML emitter failed";
    return false;
  }
  return true;
}

int RunDeployConfig(const std::vector<std::string>& args, const std::vector<std::wstring>& wide_args) {
  DeployTool tool = DeployTool::kIntune;
  bool have_tool = false;
  size_t package = 0;
  for (size_t i = 2; i < args.size(); ++i) {
    if (args[i] == "--tool" && i + 1 < args.size()) {
      have_tool = ParseDeployTool(args[++i], &tool);
      if (!have_tool) break;
    } else if (!args[i].empty() && args[i][0] == '-') {
      have_tool = false;
      break;
    } else if (package == 0) {
      package = i;
    } else {
      package = 0;
      break;
    }
  }
  if (!have_tool || package == 0 || package >= wide_args.size()) {
    fputs(kUsage, stderr);
    return 2;
  }
  InspectReport report = InspectPackage(wide_args[package], args[package], {});
  // The path as Unicode: the narrow argument is in the ANSI code page on Windows.
  const std::string path = brx::platform::WideToUtf8(wide_args[package]);
  DeployPackage deploy;
  std::string error;
  if (!DeployPackageFromReport(report, path, &deploy, &error)) {
    fprintf(stderr, "brxpack: %s\n", CommentText(error).c_str());
    return 1;
  }
  // Settings that roll out a package whose install fails would fail a fleet.
  if (report.ExitStatus() != 0) {
    for (const InspectWarning& w : report.warnings) {
      if (w.fails_install) fprintf(stderr, "brxpack: error: %s\n", CommentText(w.text).c_str());
    }
    fprintf(stderr, "brxpack: no settings: an install of %s fails (see brxpack inspect)\n", CommentText(path).c_str());
    return 1;
  }
  // A bundle is detected by its members, and only when they are the ones
  // its manifest names.
  BundlePlan plan = InspectBundle(wide_args[package], kServerCodePage);
  for (const std::string& problem : plan.problems) {
    fprintf(stderr, "brxpack: error: bundle: %s\n", CommentText(problem).c_str());
  }
  if (!plan.problems.empty()) return 1;
  for (const brxbundle::ManifestMember& m : plan.manifest.members) {
    DeployPackage member;
    member.package_file = m.file;
    member.definition = m.definition;
    member.file_name = m.file_name;
    member.version = m.version;
    member.sw_key = m.sw_key;
    member.expected_path = m.expected_path;
    member.display_name = m.name;
    deploy.members.push_back(member);
  }
  std::string text;
  if (!FormatDeployConfig(tool, deploy, path, &text, &error)) {
    fprintf(stderr, "brxpack: no settings: %s\n", error.c_str());
    return 1;
  }
  fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

}  // namespace brxpack
