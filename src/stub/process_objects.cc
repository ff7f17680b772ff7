#include "stub/process_objects.h"

#include "stub/log_folder_win.h"

namespace brx {

ProcessObjects::ProcessObjects() : log(StubLogFolder()) {}

// One static aggregate: its members are constructed in declaration order
// (log, archive, package) during static initialisation, before the entry.
static ProcessObjects g_process;

ProcessObjects& Process() { return g_process; }

}  // namespace brx
