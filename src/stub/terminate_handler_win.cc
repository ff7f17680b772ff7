// The stub's terminate handler.
//
// Every exception the stub can meet is caught where it arises; should one
// escape anyway, the process ends at once, as a failed run
// (stub/crash_exit_win.h), never with abort()'s code 3, which deployment
// tools read as "not attempted". Replacing the C++ runtime's verbose handler
// also keeps its demangler (about 45 KiB, used only to print the exception's
// type to a console this GUI program does not have) out of the executable.
#include "stub/crash_exit_win.h"

namespace __gnu_cxx {

void __verbose_terminate_handler() { brx::EndAfterCrash("terminate"); }

}  // namespace __gnu_cxx
