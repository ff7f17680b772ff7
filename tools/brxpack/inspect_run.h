// The stub's run for given arguments, predicted by running its own run modes
// and install driver against hosts that answer every machine step (checks,
// directories, dialogs, the launch) from the package alone.
#ifndef BRX_TOOLS_BRXPACK_INSPECT_RUN_H_
#define BRX_TOOLS_BRXPACK_INSPECT_RUN_H_

#include <string>
#include <vector>

#include "brxpack/inspect.h"

class CPPkg;
namespace brxzip {
class ZIP_File;
}  // namespace brxzip

namespace brxpack {

// What the extraction directory is called in a predicted command line when
// the stub would make a fresh one: its real name is a new GUID in the temporary folder.
extern const wchar_t kTemporaryExtractionDir[];

// loaded: the stub loads a definition; extraction_succeeds: every entry can
// be written. The arguments are the stub's, without its program path.
InspectedRun PredictRun(const CPPkg& package, const brxzip::ZIP_File& archive, bool loaded,
                        bool extraction_succeeds, const std::wstring& stub_file_name,
                        const std::vector<std::wstring>& arguments);

}  // namespace brxpack

#endif  // BRX_TOOLS_BRXPACK_INSPECT_RUN_H_
