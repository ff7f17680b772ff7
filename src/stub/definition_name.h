// The name of the definition entry a package is expected to carry.
#ifndef BRX_STUB_DEFINITION_NAME_H_
#define BRX_STUB_DEFINITION_NAME_H_

#include "base/bounded_string.h"

namespace brx {

// "<base name of the stub's path>.xml": no directory, no extension. False when
// the name does not fit.
bool DefinitionNameForStub(const wchar_t* stub_path, BoundedString<260>* name);

}  // namespace brx

#endif  // BRX_STUB_DEFINITION_NAME_H_
