#include "stub/log_folder_win.h"

#include "log/cmp_log2.h"

namespace brx {

const wchar_t* StubLogFolder() { return kProductLogDirectory; }

}  // namespace brx
