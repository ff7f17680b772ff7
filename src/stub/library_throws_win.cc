// The C++ runtime's error exits for the containers, for the stub.
//
// The containers report misuse (an index out of range, a length beyond
// max_size) by calling these functions, which in the runtime throw
// std::logic_error and its kin. The stub catches none of those, so each
// would end in the terminate handler anyway; ending here instead keeps the
// runtime's exception classes, the copy-on-write string they carry and the
// formatting behind them (some 35 KiB) out of the executable. Only an
// allocation that cannot be met still throws, as the runtime does: the XML
// reader and the cipher catch std::bad_alloc and turn it into a failed load.
#include <new>

#include "stub/crash_exit_win.h"

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }

void __throw_bad_cast() { brx::EndAfterCrash("library_error: bad_cast"); }
void __throw_bad_typeid() { brx::EndAfterCrash("library_error: bad_typeid"); }
void __throw_bad_exception() { brx::EndAfterCrash("library_error: bad_exception"); }
void __throw_logic_error(const char*) { brx::EndAfterCrash("library_error: logic_error"); }
void __throw_domain_error(const char*) { brx::EndAfterCrash("library_error: domain_error"); }
void __throw_invalid_argument(const char*) { brx::EndAfterCrash("library_error: invalid_argument"); }
void __throw_length_error(const char*) { brx::EndAfterCrash("library_error: length_error"); }
void __throw_out_of_range(const char*) { brx::EndAfterCrash("library_error: out_of_range"); }
void __throw_out_of_range_fmt(const char*, ...) { brx::EndAfterCrash("library_error: out_of_range_fmt"); }
void __throw_runtime_error(const char*) { brx::EndAfterCrash("library_error: runtime_error"); }
void __throw_range_error(const char*) { brx::EndAfterCrash("library_error: range_error"); }
void __throw_overflow_error(const char*) { brx::EndAfterCrash("library_error: overflow_error"); }
void __throw_underflow_error(const char*) { brx::EndAfterCrash("library_error: underflow_error"); }

}  // namespace std
