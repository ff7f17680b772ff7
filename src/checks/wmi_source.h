// What the WMI client asks of WMI, one call per step, each answering the
// HRESULT WMI gave. The stub's source speaks COM to the real service; tests
// hand the client sources that answer what they need, or never answer.
#ifndef BRX_CHECKS_WMI_SOURCE_H_
#define BRX_CHECKS_WMI_SOURCE_H_

#include <stdint.h>

#include <memory>

namespace brx {
namespace checks {

using WmiResult = int32_t;  // an HRESULT

constexpr WmiResult kWmiOk = 0;                                          // WBEM_S_NO_ERROR
constexpr WmiResult kWmiFalse = 1;                                       // WBEM_S_FALSE: no more instances
constexpr WmiResult kWmiTimedOut = 0x40004;                              // WBEM_S_TIMEDOUT
constexpr WmiResult kWmiNotAvailable = static_cast<WmiResult>(0x80004001);  // E_NOTIMPL

// How long the client waits for the connection and for each instance. A
// provider that never answers (a damaged repository, a stuck vendor
// provider) must not hang a silent install; a minute is far beyond what a
// healthy server needs.
constexpr unsigned kWmiTimeoutMs = 60 * 1000;

// A property text is cut to this many characters (plus the terminator).
constexpr unsigned kWmiMaxTextLength = 255;

class WmiSource {
 public:
  virtual ~WmiSource() = default;

  // Joins the calling thread to COM, sets process security, creates the
  // locator. The destructor balances what this did.
  virtual WmiResult Initialize() = 0;
  // Connects to a namespace and sets the proxy security; gives up with
  // kWmiTimedOut after timeout_ms.
  virtual WmiResult Connect(const wchar_t* namespace_path, unsigned timeout_ms) = 0;
  // Runs a WQL query returning immediately; the enumerator replaces the last.
  virtual WmiResult ExecQuery(const wchar_t* query) = 0;
  virtual void Reset() = 0;
  // Moves to the next instance: kWmiOk with *got true, kWmiFalse at the end,
  // kWmiTimedOut when none came within timeout_ms, or a failure.
  virtual WmiResult Next(unsigned timeout_ms, bool* got) = 0;
  // Stores a property of the current instance into `output` (`capacity`
  // bytes) by its type: text as a terminated wide text of at most
  // kWmiMaxTextLength characters, a 32-bit value as 4 bytes, a byte array
  // byte by byte up to the capacity; any other type (VT_NULL) leaves the
  // output as it was.
  virtual WmiResult Get(const wchar_t* property, void* output, unsigned capacity) = 0;
  virtual void ReleaseResults() = 0;
  // Releases every interface and the COM initialisation; later calls fail.
  virtual void Close() = 0;
};

// WMI of the running system (COM); natively a source that is never available.
std::unique_ptr<WmiSource> MakeSystemWmiSource();

// How a check reaches WMI: a source per client and the bound on every wait.
struct WmiAccess {
  std::unique_ptr<WmiSource> (*make_source)() = MakeSystemWmiSource;
  unsigned timeout_ms = kWmiTimeoutMs;
};

}  // namespace checks
}  // namespace brx

#endif  // BRX_CHECKS_WMI_SOURCE_H_
