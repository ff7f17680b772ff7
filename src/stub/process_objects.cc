#include "stub/process_objects.h"

namespace brx {

// One static aggregate: its members are constructed in declaration order
// (log, archive, package) during static initialisation, before the entry.
static ProcessObjects g_process;

ProcessObjects& Process() { return g_process; }

}  // namespace brx
