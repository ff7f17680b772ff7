// The free-space check before extraction.
#ifndef BRX_INSTALL_DISK_SPACE_H_
#define BRX_INSTALL_DISK_SPACE_H_

#include <stdint.h>

#include "install/install_driver.h"
#include "install/step_result.h"

class CCmpLog2;

namespace brx {

// True when free is strictly greater than required. Otherwise fills the
// message template (string 1003: three "%lu", the low 32 bits of required,
// free and the shortfall), shows it in a warning box through the presenter,
// and returns false.
// logging adds the check's log lines (installs log; extract-only runs do not).
bool CheckDiskSpace(CCmpLog2& log, uint64_t required, uint64_t free_bytes, OwnerWindow owner, bool logging,
                    Presenter& presenter, const wchar_t* message_template);

// The check when the space needed or free is not known: logged as a stop of
// its own (never as a full disk, which would send the administrator to
// clean a disk that has room), and `why` returned not ok with its reason.
StepResult DiskSpaceUnknown(CCmpLog2& log, bool logging, StepResult why);

}  // namespace brx

#endif  // BRX_INSTALL_DISK_SPACE_H_
