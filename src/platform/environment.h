// The process environment.
//
// Natively names are case-sensitive (Windows compares them ignoring case);
// ExpandEnvVars also tries the upper-case name so "%systemdrive%" finds
// SYSTEMDRIVE on both.
#ifndef BRX_PLATFORM_ENVIRONMENT_H_
#define BRX_PLATFORM_ENVIRONMENT_H_

#include <string>

namespace brx {
namespace platform {

// False when the variable is not set.
bool GetEnvVar(const wchar_t* name, std::wstring* value);
// Sets the variable in this process's environment (children inherit it); a
// null value removes it. False when the system refused.
bool SetEnvVar(const wchar_t* name, const wchar_t* value);
// text with every "%NAME%" of a set variable replaced by its value; unknown
// names stay as they are.
std::wstring ExpandEnvVars(const wchar_t* text);

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_ENVIRONMENT_H_
