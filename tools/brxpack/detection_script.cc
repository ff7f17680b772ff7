#include "brxpack/detection_script.h"

#include <map>

namespace brxpack {
namespace {

const char kInventoryRoot[] = "SOFTWARE\\Orvane\\Version Control\\OVRevisionManagement\\";

// One function, filled with the package's values. Every value reaches the
// script as a quoted literal; nothing of the package is ever code.
const char kFunctionTemplate[] = R"PS(function @FUNCTION@ {
  # Returns the installed version when it is the package's or a later one,
  # else $null. Reads only what an ordinary user cannot write.
  $ErrorActionPreference = 'Stop'
  $swKey = @SW_KEY@
  $fileName = @FILE_NAME@
  $expectedPath = @EXPECTED_PATH@
  $definition = @DEFINITION@
  $packageVersion = @VERSION@
  # SYSTEM and Administrators: the only owners and writers trusted below.
  $trusted = @('S-1-5-18', 'S-1-5-32-544')
  # Rights that change a file or folder or what it holds: write data or add
  # file, append or add folder, extended attributes, delete child, attributes,
  # delete, change permissions, take ownership, generic all, generic write.
  $writeRights = 0x500D0156
  # Dot-separated parts: numbers as numbers, other parts as text ignoring
  # case, a missing part as "0". Negative, 0 or positive.
  $compare = {
    param([string]$Left, [string]$Right)
    $a = $Left.Split('.')
    $b = $Right.Split('.')
    for ($i = 0; $i -lt [Math]::Max($a.Count, $b.Count); $i++) {
      $x = if ($i -lt $a.Count) { $a[$i] } else { '0' }
      $y = if ($i -lt $b.Count) { $b[$i] } else { '0' }
      if ($x -cmatch '\A[0-9]{1,18}\z' -and $y -cmatch '\A[0-9]{1,18}\z') {
        $d = ([long]$x).CompareTo([long]$y)
      } else {
        $d = [string]::Compare($x, $y, [StringComparison]::OrdinalIgnoreCase)
      }
      if ($d -ne 0) { return [Math]::Sign($d) }
    }
    return 0
  }
  # A path an ordinary user could have planted or can change proves nothing:
  # it must be no link, belong to SYSTEM or Administrators and give nobody
  # else a right to change it.
  $isTrusted = {
    param([string]$Path)
    $item = Get-Item -LiteralPath $Path -Force
    if ($item.Attributes -band [IO.FileAttributes]::ReparsePoint) { return $false }
    $acl = Get-Acl -LiteralPath $Path
    if ($trusted -notcontains $acl.GetOwner([Security.Principal.SecurityIdentifier]).Value) { return $false }
    foreach ($rule in $acl.GetAccessRules($true, $true, [Security.Principal.SecurityIdentifier])) {
      if ($rule.AccessControlType -ne 'Allow') { continue }
      if ($rule.PropagationFlags -band [Security.AccessControl.PropagationFlags]::InheritOnly) { continue }
      if (([int]$rule.FileSystemRights -band $writeRights) -and ($trusted -notcontains $rule.IdentityReference.Value)) {
        return $false
      }
    }
    return $true
  }
  try {
    # The inventory record: HKLM in the 64-bit view, which only
    # administrators can write; a record matches as the installer matches it.
    $hklm = [Microsoft.Win32.RegistryKey]::OpenBaseKey('LocalMachine', 'Registry64')
    $component = $hklm.OpenSubKey(@INVENTORY_ROOT@ + $swKey)
    if ($null -eq $component) { return $null }
    $recorded = $false
    foreach ($name in $component.GetSubKeyNames()) {
      $record = $component.OpenSubKey($name)
      if ($null -eq $record) { continue }
      $file = $record.GetValue('ComponentFileName')
      $kind = $record.GetValue('ComponentKeyExpectedPath')
      $record.Close()
      if (($file -is [string] -and $file -ceq $fileName) -or
          ($expectedPath -ne '' -and $kind -is [string] -and $kind -ceq $expectedPath)) {
        $recorded = $true
      }
    }
    $component.Close()
    if (-not $recorded) { return $null }
    # The definition copy holds the version; the record holds none.
    $system = Join-Path $env:SystemDrive 'BRXSYSTEM'
    $folder = Join-Path $system 'ztxml'
    $copy = Join-Path $folder $definition
    foreach ($path in @($system, $folder, $copy)) {
      if (-not (& $isTrusted $path)) { return $null }
    }
    $settings = New-Object System.Xml.XmlReaderSettings
    $settings.DtdProcessing = [System.Xml.DtdProcessing]::Prohibit
    $settings.XmlResolver = $null
    $reader = [System.Xml.XmlReader]::Create($copy, $settings)
    try {
      $document = New-Object System.Xml.XmlDocument
      $document.Load($reader)
    } finally {
      $reader.Close()
    }
    $root = $document.DocumentElement
    if ($null -eq $root -or $root.Name -cne 'brx_package') { return $null }
    $node = $root.SelectSingleNode('version')
    if ($null -eq $node) { return $null }
    $installed = $node.GetAttribute('value')
    if ($installed -eq '' -or (& $compare $installed $packageVersion) -lt 0) { return $null }
    return $installed
  } catch {
    return $null
  }
}
)PS";

// Replaces each @NAME@ of the template in one pass, so that a value which
// itself looks like a placeholder is never filled in again.
std::string Fill(const std::string& text, const std::map<std::string, std::string>& values) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    size_t at = text.find('@', i);
    if (at == std::string::npos) break;
    size_t end = text.find('@', at + 1);
    auto value = end == std::string::npos ? values.end() : values.find(text.substr(at + 1, end - at - 1));
    if (value == values.end()) {
      out.append(text, i, at + 1 - i);
      i = at + 1;
      continue;
    }
    out.append(text, i, at - i);
    out += value->second;
    i = end + 1;
  }
  out.append(text, i, std::string::npos);
  return out;
}

}  // namespace

std::string InventoryKey(const DeployPackage& package) { return kInventoryRoot + package.sw_key; }

std::string DetectionFunction(const DeployPackage& package, const std::string& function_name) {
  if (!package.members.empty()) {
    // A bundle: one function per member, and the bundle's own answers with
    // its version only when each of them finds its member.
    std::string out, all;
    for (size_t i = 0; i < package.members.size(); ++i) {
      std::string member = function_name + "Member" + std::to_string(i + 1);
      out += DetectionFunction(package.members[i], member);
      all += "  if ($null -eq (" + member + ")) { return $null }\n";
    }
    return out + "function " + function_name + " {\n"
           "  # Installed when every member is installed at its version or a later one.\n" + all +
           "  return " + PowerShellLiteral(package.version) + "\n}\n";
  }
  return Fill(kFunctionTemplate, {{"FUNCTION", function_name},
                                  {"SW_KEY", PowerShellLiteral(package.sw_key)},
                                  {"FILE_NAME", PowerShellLiteral(package.file_name)},
                                  {"EXPECTED_PATH", PowerShellLiteral(package.expected_path)},
                                  {"DEFINITION", PowerShellLiteral(package.definition)},
                                  {"VERSION", PowerShellLiteral(package.version)},
                                  {"INVENTORY_ROOT", PowerShellLiteral(kInventoryRoot)}});
}

std::string DetectionScript(const DeployPackage& package) {
  std::string title = CommentText(package.display_name.empty() ? package.file_name : package.display_name);
  return "# Detection rule for " + title + " " + CommentText(package.version) + " (" +
         CommentText(package.package_file) + "), from brxpack deploy-config.\n"
         "# Prints one line and exits with 0 when the component is installed at this\n"
         "# version or a later one; prints nothing when it is not.\n" +
         DetectionFunction(package, "Test-BrxPackageInstalled") +
         "$installed = Test-BrxPackageInstalled\n"
         "if ($null -ne $installed) { Write-Output ('Installed: ' + " + PowerShellLiteral(package.sw_key) +
         " + ' ' + $installed) }\n"
         "exit 0\n";
}

}  // namespace brxpack
