#include "brxpack/package_format.h"

namespace brxpack {

const FormatItem kFormatItems[] = {
    {FormatDocument::kDefinition, "brx_package", "version", TextUse::kNone,
     "2.0.1.0 or 2.0.2.0 (any case): needed only when the definition entry is not named after the package, "
     "for the search that then takes the first such .xml entry"},
    {FormatDocument::kDefinition, "brx_package/filename", nullptr, TextUse::kInstall,
     "the package's own file name: the inventory records the component under it, and its first 8 bytes key "
     "an enciphered configuration file"},
    {FormatDocument::kDefinition, "brx_package/version", "value", TextUse::kNone,
     "the version shown in the dialog, logged and recorded in the inventory"},
    {FormatDocument::kDefinition, "brx_package/name/name_xlate", nullptr, TextUse::kDisplay,
     "the product name shown in the dialog and logged"},
    {FormatDocument::kDefinition, "brx_package/name/name_xlate", "lang", TextUse::kNone,
     "the language of that name (en, fr, es, de, it, ja, zh); the server's language, else en"},
    {FormatDocument::kDefinition, "brx_package/description/description_xlate", nullptr, TextUse::kDisplay,
     "the description shown in the dialog (a CDATA section is taken whole)"},
    {FormatDocument::kDefinition, "brx_package/description/description_xlate", "lang", TextUse::kNone,
     "the language of that description, chosen as for the name"},
    {FormatDocument::kDefinition, "brx_package/sw_keys/sw_keys_and/sw_key", "name", TextUse::kNone,
     "the inventory key's name under HKLM (no record without it)"},
    {FormatDocument::kDefinition, "brx_package/sw_keys/sw_keys_and/sw_key/sw_key_expectedpath", nullptr,
     TextUse::kInstall,
     "the kind of component, recorded in the inventory; a firmware kind (firmware:system, firmware:nic, "
     "firmware:SAS, ...) makes the TPM check stop on an active TPM"},
    {FormatDocument::kDefinition, "brx_package/installation/install/command", nullptr, TextUse::kInstall,
     "the setup program, an entry of the archive, run in the extraction directory; none: nothing installs"},
    {FormatDocument::kDefinition, "brx_package/installation/install/command_params", nullptr, TextUse::kInstall,
     "fixed parameters put before the stub's translated arguments"},
    {FormatDocument::kPackageData, "zt_pkg_data/settings/value", "name", TextUse::kNone,
     "a setting's name (any case); see the settings below"},
    {FormatDocument::kPackageData, "zt_pkg_data/settings/value", "value", TextUse::kNone,
     "exactly \"1\" turns the setting on; anything else leaves it off"},
    {FormatDocument::kPackageData, "zt_pkg_data/license/filename", nullptr, TextUse::kInstall,
     "the licence text's entry (ANSI text), shown for acceptance before the dialog installs or extracts"},
    {FormatDocument::kPackageData, "zt_pkg_data/license/filename", "lang", TextUse::kNone,
     "the licence's language; the server's language, else en"},
    {FormatDocument::kPackageData, "zt_pkg_data/installation/install/commandline_arg_map/map", "source",
     TextUse::kNone, "one of the stub's arguments, as given (any case)"},
    {FormatDocument::kPackageData, "zt_pkg_data/installation/install/commandline_arg_map/map", "dest",
     TextUse::kNone, "what the setup program receives instead of that argument"},
    {FormatDocument::kPackageData, "zt_pkg_data/installation/install/returncode_map/map", "source",
     TextUse::kNone, "a setup program's exit code written in plain decimal (3010, -1)"},
    {FormatDocument::kPackageData, "zt_pkg_data/installation/install/returncode_map/map", "dest", TextUse::kNone,
     "the completion code it becomes, in decimal (0 failed, 1 installed, 2 restart needed, 3 not attempted)"},
    {FormatDocument::kPackageData, "zt_pkg_data/configuration/configui/filename", nullptr, TextUse::kInstall,
     "marks the package as carrying a configuration the stub places itself: with it, the deciphered "
     "configuration file replaces the extracted entry"},
    {FormatDocument::kPackageData, "zt_pkg_data/configuration/configui/filename", "lang", TextUse::kNone,
     "the language of that name; the server's language, else en"},
    {FormatDocument::kPackageData, "zt_pkg_data/configuration/config_file/filename", nullptr, TextUse::kInstall,
     "the configuration file's entry, read when the package loads and written beside the setup program"},
    {FormatDocument::kPackageData, "zt_pkg_data/configuration/config_file/filename", "encrypt", TextUse::kNone,
     "exactly \"1\": the entry is enciphered (brxpack build --encipher) and deciphered on load"},
    {FormatDocument::kPackageData, "zt_pkg_data/virtualization", "allow", TextUse::kNone,
     "exactly \"1\": the package may install in a virtual machine (the check for one is skipped)"},
};
const size_t kFormatItemCount = sizeof(kFormatItems) / sizeof(kFormatItems[0]);

std::string FormatKey(const FormatItem& item) {
  std::string key = item.path;
  if (item.attribute) key += std::string("/@") + item.attribute;
  return key;
}

const FormatSetting kFormatSettings[] = {
    {"DISABLE_VIEW_CONTENTS", "the dialog's system menu offers no view of the package's contents"},
    {"DISABLE_EXTRACT_BUTTON", "the dialog hides its Extract button while it offers installing"},
    {"DISABLE_INSTALL_BUTTON", "the dialog offers no installation, and every install (also /silent) fails"},
    {"LARGE_WINDOW", "the dialog starts in its large variant"},
};
const size_t kFormatSettingCount = sizeof(kFormatSettings) / sizeof(kFormatSettings[0]);

}  // namespace brxpack
