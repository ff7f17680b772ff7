// The detection rule of brxpack's generated detection scripts, in C++: a
// component counts as installed at a version when the inventory record
// under HKLM names it and the definition copy in \BRXSYSTEM\ztxml, which
// only administrators may have written, holds that version or a later one.
#ifndef BRX_TOOLS_BRXBUNDLE_INSTALLED_WIN_H_
#define BRX_TOOLS_BRXBUNDLE_INSTALLED_WIN_H_

#include <string>

#include "brxbundle/bundle_manifest.h"

namespace brxbundle {

// The installed version when the member is installed at its version or a
// later one; empty when it is not (or that cannot be known for sure).
std::string InstalledVersionAtLeast(const ManifestMember& member);

}  // namespace brxbundle

#endif  // BRX_TOOLS_BRXBUNDLE_INSTALLED_WIN_H_
