// Progress reporting of ExtractAll to a progress bar.
#ifndef BRX_ARCHIVE_EXTRACT_PROGRESS_H_
#define BRX_ARCHIVE_EXTRACT_PROGRESS_H_

#include "archive/zip_file.h"

namespace brxzip {

// The bar position for a progress record: index / total in single precision,
// times 100, truncated (so the 7th of 10 entries shows 69). 0 when total is 0.
int ExtractionPercent(const ExtractProgress& progress);

// An ExtractProgressCallback: `progress_bar` is the bar's window handle (a
// progress bar with its default range 0..100) or null when there is no user
// interface. Always returns true. Natively there is no bar; the call only
// answers true.
bool UpdateExtractionProgress(void* progress_bar, const ExtractProgress* progress);

}  // namespace brxzip

#endif  // BRX_ARCHIVE_EXTRACT_PROGRESS_H_
