// The stub's terminate handler.
//
// Every exception the stub can meet is caught where it arises; should one
// escape anyway, the process ends at once. Replacing the C++ runtime's
// verbose handler keeps its demangler (about 45 KiB, used only to print the
// exception's type to a console this GUI program does not have) out of the
// executable.
#include <stdlib.h>

namespace __gnu_cxx {

void __verbose_terminate_handler() { abort(); }

}  // namespace __gnu_cxx
