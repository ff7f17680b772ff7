#include "checks/wmi_service.h"

#include "checks/check_log.h"
#include "platform/registry_key.h"
#include "platform/service_state.h"

namespace brx {
namespace checks {

bool IsWmiServiceRunning() { return platform::IsServiceRunning(L"winmgmt"); }

bool CheckWmiService(bool install, Presenter& presenter, MessageOwner owner, CCmpLog2& log, const CheckUi& ui,
                     CheckCause* cause) {
  uint32_t error = 0;
  platform::ServiceQuery state = platform::QueryServiceRunning(L"winmgmt", &error);
  if (cause) {
    cause->code = error;
    cause->kind = record::ErrorKind::kWin32;
    switch (state) {
      case platform::ServiceQuery::kRunning: cause->reason = nullptr; break;
      case platform::ServiceQuery::kNotRunning: cause->reason = L"service_not_running"; break;
      case platform::ServiceQuery::kAccessDenied: cause->reason = L"access_denied"; break;
      case platform::ServiceQuery::kNoSuchService: cause->reason = L"no_such_service"; break;
      case platform::ServiceQuery::kQueryFailed: cause->reason = L"query_failed"; break;
    }
  }
  return ReportWmiServiceState(state == platform::ServiceQuery::kRunning, presenter, owner, log, ui);
}

bool ReportWmiServiceState(bool running, Presenter& presenter, MessageOwner owner, CCmpLog2& log, const CheckUi& ui) {
  LogLine(log, LEVEL_INFO, 1021, L"Validating WMI service is available...\r\n\r\n");
  if (running) {
    LogLine(log, LEVEL_INFO, 1025, L"WMI service is available.\r\n\r\n");
    return true;
  }
  MessageText text;
  LoadMessageText(ui, kMessageNoWmi, text);
  LogMessageText(log, LEVEL_ERROR, kLogModule, 1033, text.get());
  LogLine(log, LEVEL_ERROR, 1034,
          L"No WMI Service Available...Installation Software requires WMI Service Availability...FAILURE CODE (0) "
          L"...\r\n\r\n");
  ShowMessage(presenter, owner, kMessageNoWmi, kStyleError);
  return false;
}

bool IsPreinstallEnvironment() {
  return platform::LocalMachineKeyExists32(L"SYSTEM\\CurrentControlSet\\Control\\MiniNT");
}

}  // namespace checks
}  // namespace brx
