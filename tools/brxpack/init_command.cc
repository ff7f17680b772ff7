#include "brxpack/init_command.h"

#include <stdio.h>

#include "archive/entry_name.h"
#include "brxpack/package_writer.h"
#include "platform/dir.h"
#include "platform/file.h"
#include "platform/path_info.h"
#include "platform/utf8.h"

namespace brxpack {

const char kInitHelp[] =
    "usage: brxpack init DIR\n"
    "\n"
    "Writes a skeleton package into DIR (created when missing; files already there are never\n"
    "overwritten): the definition DIR.xml, the package data zt_data.xml and a sample setup\n"
    "program setup.cmd, each commented. The package is named after DIR's last component. It\n"
    "builds and installs as it stands:\n"
    "  brxpack build --stub dist/bin/brxstub.exe -o NAME.exe DIR\n";

namespace {

// Placeholders: @NAME@ the package's name.
const char kDefinition[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!-- The definition of the package @NAME@: what the stub installs and how.\n"
    "     Every element and attribute: docs/package-format.md.\n"
    "     Keep each text on one line right after its start tag: the stub drops text\n"
    "     that starts with a blank or follows a line break (brxpack build says so). -->\n"
    "<brx_package version=\"2.0.2.0\">\n"
    "  <!-- The package's file name: build it as @NAME@.exe. The inventory records the\n"
    "       component under it, and it keys an enciphered configuration file. -->\n"
    "  <filename>@NAME@.exe</filename>\n"
    "  <!-- Shown in the dialog, logged and recorded in the inventory. -->\n"
    "  <version value=\"1.0.0.0\"/>\n"
    "  <name>\n"
    "    <!-- One per language (en, fr, es, de, it, ja, zh); en is the fallback. -->\n"
    "    <name_xlate lang=\"en\">@NAME@ component</name_xlate>\n"
    "  </name>\n"
    "  <description>\n"
    "    <description_xlate lang=\"en\"><![CDATA[What @NAME@ installs, shown in the setup dialog.]]></description_xlate>\n"
    "  </description>\n"
    "  <sw_keys>\n"
    "    <sw_keys_and>\n"
    "      <!-- The inventory key under HKLM, and the kind of component. A firmware kind\n"
    "           (firmware:system, firmware:nic, ...) makes the install stop on an active TPM. -->\n"
    "      <sw_key name=\"@NAME@\">\n"
    "        <sw_key_expectedpath>software:@NAME@</sw_key_expectedpath>\n"
    "      </sw_key>\n"
    "    </sw_keys_and>\n"
    "  </sw_keys>\n"
    "  <installation>\n"
    "    <install>\n"
    "      <!-- The setup program (an entry of the package) and its fixed parameters;\n"
    "           the stub's own arguments follow them, translated by zt_data.xml. -->\n"
    "      <command>setup.cmd</command>\n"
    "      <command_params>/component @NAME@</command_params>\n"
    "    </install>\n"
    "  </installation>\n"
    "</brx_package>\n";

const char kPackageData[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!-- The package data of @NAME@: how the stub treats this one package. The file\n"
    "     and each element are optional. Reference: docs/package-format.md. -->\n"
    "<zt_pkg_data>\n"
    "  <settings>\n"
    "    <!-- DISABLE_VIEW_CONTENTS, DISABLE_EXTRACT_BUTTON, DISABLE_INSTALL_BUTTON and\n"
    "         LARGE_WINDOW: value=\"1\" turns one on. -->\n"
    "    <value name=\"LARGE_WINDOW\" value=\"0\"/>\n"
    "  </settings>\n"
    "  <installation>\n"
    "    <install>\n"
    "      <!-- The stub's arguments as the setup program receives them. -->\n"
    "      <commandline_arg_map>\n"
    "        <map source=\"/f\" dest=\"/force\"/>\n"
    "      </commandline_arg_map>\n"
    "      <!-- The setup program's exit codes, in decimal, and the completion codes they\n"
    "           become: 0 failed, 1 installed, 2 installed and a restart is needed,\n"
    "           3 not attempted. Other codes pass unchanged. -->\n"
    "      <returncode_map>\n"
    "        <map source=\"0\" dest=\"1\"/>\n"
    "        <map source=\"3010\" dest=\"2\"/>\n"
    "      </returncode_map>\n"
    "    </install>\n"
    "  </installation>\n"
    "  <!-- A configuration file placed beside the setup program (add it as an entry),\n"
    "       and permission to install in a virtual machine:\n"
    "  <configuration>\n"
    "    <config_file>\n"
    "      <filename encrypt=\"0\">site.cfg</filename>\n"
    "    </config_file>\n"
    "  </configuration>\n"
    "  <virtualization allow=\"1\"/>\n"
    "  -->\n"
    "</zt_pkg_data>\n";

const char kSetup[] =
    "@echo off\r\n"
    "rem The setup program of @NAME@. The stub runs it in the folder it extracted\r\n"
    "rem the package to, as: setup.cmd /component @NAME@ [the stub's arguments],\r\n"
    "rem and turns its exit code into the completion code (see zt_data.xml).\r\n"
    "rem Replace it with the component's installer, or call the installer from here.\r\n"
    "echo Installing @NAME@ with the arguments: %*\r\n"
    "exit /b 0\r\n";

std::string Fill(const char* text, const std::string& name) {
  std::string out = text;
  for (size_t at = out.find("@NAME@"); at != std::string::npos; at = out.find("@NAME@", at + name.size())) {
    out.replace(at, 6, name);
  }
  return out;
}

bool IsPlainName(const std::wstring& name) {
  if (name.empty() || name.size() > 64) return false;
  for (wchar_t c : name) {
    bool ok = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-' ||
              c == L'_' || c == L'.';
    if (!ok) return false;
  }
  return brxzip::CheckEntryName((name + L".xml").c_str()) == brxzip::EntryRefusal::kNone;
}

}  // namespace

int RunInit(const std::vector<std::wstring>& args) {
  if (args.size() == 1 && (args[0] == L"--help" || args[0] == L"-h")) {
    fputs(kInitHelp, stdout);
    return 0;
  }
  if (args.size() != 1 || args[0].empty() || args[0][0] == L'-') {
    fputs("brxpack init: give one folder (brxpack init --help)\n", stderr);
    return 2;
  }
  std::wstring dir = args[0];
  while (dir.size() > 1 && (dir.back() == L'/' || dir.back() == L'\\')) dir.pop_back();
  size_t slash = dir.find_last_of(L"/\\");
  std::wstring name = slash == std::wstring::npos ? dir : dir.substr(slash + 1);
  std::string display = brx::platform::WideToUtf8(dir);
  if (!IsPlainName(name)) {
    fprintf(stderr,
            "brxpack init: the package is named after the folder, so its last component must be a plain file "
            "name (letters, digits, '-', '_', '.'), not \"%s\"\n",
            brx::platform::WideToUtf8(name).c_str());
    return 1;
  }
  brx::platform::MakeDirectoryResult made = brx::platform::MakeDirectory(dir.c_str());
  if (made != brx::platform::MakeDirectoryResult::kCreated &&
      !(made == brx::platform::MakeDirectoryResult::kExists &&
        brx::platform::KindOf(dir.c_str()) == brx::platform::PathKind::kDirectory)) {
    fprintf(stderr, "brxpack init: cannot create the folder %s (its parent missing, a file in the way, or no right)\n",
            display.c_str());
    return 1;
  }
  std::string narrow = brx::platform::WideToUtf8(name);
  const struct {
    std::wstring file;
    const char* text;
  } files[] = {{name + L".xml", kDefinition}, {L"zt_data.xml", kPackageData}, {L"setup.cmd", kSetup}};
  for (const auto& f : files) {
    std::wstring path = dir + L"/" + f.file;
    if (brx::platform::KindOf(path.c_str()) != brx::platform::PathKind::kMissing) {
      fprintf(stderr, "brxpack init: %s exists already; nothing written\n", brx::platform::WideToUtf8(path).c_str());
      return 1;
    }
  }
  for (const auto& f : files) {
    std::wstring path = dir + L"/" + f.file;
    std::string text = Fill(f.text, narrow);
    brx::platform::File out;
    // Not kCreateAlways: a link planted after the check above would have it
    // write through to the link's target; a lone file of its own is refused.
    if (!out.Open(path.c_str(), brx::platform::FileMode::kReplaceLoneFile) ||
        !out.Write(text.data(), static_cast<uint32_t>(text.size()))) {
      fprintf(stderr, "brxpack init: cannot write %s: %s\n", brx::platform::WideToUtf8(path).c_str(),
              SystemErrorText(out.last_error()).c_str());
      return 1;
    }
  }
  printf("brxpack: wrote %s/%s.xml, %s/zt_data.xml and %s/setup.cmd\n"
         "build the package with:\n"
         "  brxpack build --stub dist/bin/brxstub.exe -o %s.exe %s\n",
         display.c_str(), narrow.c_str(), display.c_str(), display.c_str(), narrow.c_str(), display.c_str());
  return 0;
}

}  // namespace brxpack
