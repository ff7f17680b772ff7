// A small synchronous WMI client: one namespace, one "SELECT * FROM" query at
// a time, one property of the result copied into the caller's buffer.
//
// Each check creates its own client for one or two queries. The source (the
// system's WMI unless a test gives another) joins the calling thread to COM
// for the client's lifetime and balances that on destruction. A failure in
// construction or ConnectNamespace leaves the client unusable: every later
// call returns 0. No step waits longer than the client's time-out; a step
// that runs out of time fails like any other, with kWmiTimedOut as its result.
#ifndef BRX_CHECKS_WMI_CLIENT_H_
#define BRX_CHECKS_WMI_CLIENT_H_

#include <memory>

#include "base/bounded_string.h"
#include "checks/wmi_source.h"

namespace brx {
namespace checks {

class WmiClient {
 public:
  static constexpr int WMI_ERROR_COM_INIT = 11;
  // A property text is cut to this many characters (plus the terminator).
  static constexpr unsigned kMaxTextLength = kWmiMaxTextLength;

  WmiClient();
  WmiClient(std::unique_ptr<WmiSource> source, unsigned timeout_ms);
  explicit WmiClient(const WmiAccess& access) : WmiClient(access.make_source(), access.timeout_ms) {}
  ~WmiClient();
  WmiClient(const WmiClient&) = delete;
  WmiClient& operator=(const WmiClient&) = delete;

  // 1 connected (proxy security set), 0 failed.
  int ConnectNamespace(const wchar_t* namespace_path);
  // 1 only when the query answered exactly S_OK.
  int QueryClass(const wchar_t* class_name);
  // Copies `property` of every instance of the last query into `output`
  // (`capacity` bytes), so the last instance's value remains. Text is stored
  // as a terminated wide text of at most kMaxTextLength characters, a 32-bit
  // value as 4 bytes, a byte array byte by byte up to the capacity; other
  // types (VT_NULL) leave the output as it was. 1 read, also when there are no
  // instances; 0 without a query, or when moving to an instance or reading
  // the property fails (a failed enumeration is not a read).
  int ReadProperty(const wchar_t* property, void* output, unsigned capacity);
  void ReleaseResults();

  int last_error() const { return last_error_; }
  const wchar_t* last_error_text() const { return last_error_text_.get(); }
  // The HRESULT of the last step that failed; kWmiOk while none has.
  WmiResult last_result() const { return last_result_; }

 private:
  int Fail(WmiResult result);

  std::unique_ptr<WmiSource> source_;
  unsigned timeout_ms_;
  bool usable_ = false;     // initialised and not failed since
  bool connected_ = false;
  bool has_results_ = false;
  int last_error_ = 0;
  BoundedString<255> last_error_text_;
  WmiResult last_result_ = kWmiOk;
};

}  // namespace checks
}  // namespace brx

#endif  // BRX_CHECKS_WMI_CLIENT_H_
