#include "checks/virtual_guest.h"

namespace brx {
namespace checks {

// No WMI here: the manufacturers stay unknown, which matches no signature.
void FillVirtualGuestDetector(VirtualGuestDetector&) {}

}  // namespace checks
}  // namespace brx
