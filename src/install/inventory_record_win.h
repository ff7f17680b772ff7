// The component inventory: after a successful install, a copy of the
// component definition under "%SystemDrive%\BRXSYSTEM\ztxml\" and a record
// under HKLM "Software\Orvane\Version Control\OVRevisionManagement\<sw_key>"
// (64-bit view) that other tools read to learn what is installed.
#ifndef BRX_INSTALL_INVENTORY_RECORD_WIN_H_
#define BRX_INSTALL_INVENTORY_RECORD_WIN_H_

#include <windows.h>
#include <stdint.h>

#include <string>

#include "install/step_result.h"

class CCmpLog2;
class CPPkg;

namespace brx {

// The component keys' parent below HKEY_LOCAL_MACHINE.
extern const wchar_t kInventoryKeyPath[];

// Writes one registry value of the record; RegSetValueExW's result.
using SetRegistryText = LSTATUS (*)(HKEY key, const wchar_t* name, const std::wstring& value);

// Records the component for completion codes 1 and 2 (any other code records
// nothing and answers true). The definition file is copied from the current
// directory, where the installation extracted it; a copy that fails is
// logged and the registry record is still written. One record per component:
// an existing record with the same file name or expected path is rewritten
// and any further duplicates are removed; a new component takes the smallest
// free number. Records nothing, and logs the failure, when the definition
// lacks its software key name, file name or expected path, SystemDrive is
// unset or the copy folder cannot be trusted: a record without them would
// land on the wrong key or path. Not ok after a logged failure, with its
// Windows error and reason. writes: the value writer, null for the
// registry's own (tests make it fail).
StepResult UpdateComponentData(CCmpLog2& log, const CPPkg& package, const wchar_t* definition_file_name,
                               int32_t completion_code, SetRegistryText writes = nullptr);

}  // namespace brx

#endif  // BRX_INSTALL_INVENTORY_RECORD_WIN_H_
