// Resource ids of showdialogs.exe, shared with the watcher's tests.
#ifndef BRX_TOOLS_TESTPROGS_SHOWDIALOGS_H_
#define BRX_TOOLS_TESTPROGS_SHOWDIALOGS_H_

#define IDD_DEMO 200
#define IDC_DEMO_LATE 1002
#define IDC_DEMO_RETRY 1001
#define DEMO_LATE_TEXT L"Set while the dialog starts"

#endif  // BRX_TOOLS_TESTPROGS_SHOWDIALOGS_H_
