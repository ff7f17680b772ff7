#include "archive/extract_progress.h"

#include <windows.h>
#include <commctrl.h>

namespace brxzip {

bool UpdateExtractionProgress(void* progress_bar, const ExtractProgress* progress) {
  if (!progress_bar || !progress) return true;
  SendMessageW(static_cast<HWND>(progress_bar), PBM_SETPOS,
               static_cast<WPARAM>(ExtractionPercent(*progress)), 0);
  return true;
}

}  // namespace brxzip
