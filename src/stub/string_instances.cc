// The stub's own copy of std::string's and std::wstring's members. libstdc++
// declares them instantiated in the library (explicit instantiation
// declarations), where they are built for speed (47 KB of the stub); defined
// here they are built for size, each in its own section, and the linker
// keeps only the members the stub calls, taking these before the library's.
// The code is the same template from the same headers, so behaviour is too.
#include <string>

template class std::basic_string<char>;
template class std::basic_string<wchar_t>;
