// The WMI service check and the preinstallation-environment test.
#ifndef BRX_CHECKS_WMI_SERVICE_H_
#define BRX_CHECKS_WMI_SERVICE_H_

#include "checks/check_log.h"
#include "checks/check_ui.h"
#include "log/cmp_log2.h"

namespace brx {
namespace checks {

// True when the service "winmgmt" is running (see platform::IsServiceRunning
// for what counts as running; without administrator rights it never does).
bool IsWmiServiceRunning();

// Logs the check and answers true to continue. When the service is not
// running: logs message 1051 and the failure line, shows 1051 through the presenter,
// and answers false. `install` is accepted for the driver's sake and unused.
// cause, when given, says why it is not running (service_not_running,
// access_denied, no_such_service, query_failed) with the Win32 error.
bool CheckWmiService(bool install, Presenter& presenter, MessageOwner owner, CCmpLog2& log, const CheckUi& ui,
                     CheckCause* cause = nullptr);

// CheckWmiService with the service state given; what it logs and shows.
bool ReportWmiServiceState(bool running, Presenter& presenter, MessageOwner owner, CCmpLog2& log, const CheckUi& ui);

// True inside a Windows preinstallation environment: the key
// HKLM\SYSTEM\CurrentControlSet\Control\MiniNT exists (32-bit view).
bool IsPreinstallEnvironment();

}  // namespace checks
}  // namespace brx

#endif  // BRX_CHECKS_WMI_SERVICE_H_
