#include "archive/extract_progress.h"

namespace brxzip {

bool UpdateExtractionProgress(void* progress_bar, const ExtractProgress* progress) { return true; }

}  // namespace brxzip
