// A small synchronous WMI client: one namespace, one "SELECT * FROM" query at
// a time, one property of the result copied into the caller's buffer.
//
// Windows only. Each check creates its own client for one or two queries; the
// client joins the calling thread to the multithreaded COM apartment for its
// lifetime and balances that on destruction. A failure in construction or
// ConnectNamespace leaves the client unusable: every later call returns 0.
#ifndef BRX_CHECKS_WMI_CLIENT_H_
#define BRX_CHECKS_WMI_CLIENT_H_

#include <windows.h>
#include <wbemidl.h>

#include "base/bounded_string.h"

namespace brx {
namespace checks {

class WmiClient {
 public:
  static constexpr int WMI_ERROR_COM_INIT = 11;
  // A property text is cut to this many characters (plus the terminator).
  static constexpr unsigned kMaxTextLength = 255;

  WmiClient();
  ~WmiClient();
  WmiClient(const WmiClient&) = delete;
  WmiClient& operator=(const WmiClient&) = delete;

  // 1 connected (proxy security set), 0 failed.
  int ConnectNamespace(const wchar_t* namespace_path);
  // 1 only when the query answered exactly S_OK.
  int QueryClass(const wchar_t* class_name);
  // Copies `property` of every instance of the last query into `output`
  // (`capacity` bytes), so the last instance's value remains. VT_BSTR is
  // stored as a terminated wide text of at most kMaxTextLength characters,
  // VT_I4 as 4 bytes, VT_ARRAY|VT_UI1 byte by byte up to the capacity; other
  // types (VT_NULL) leave the output as it was. 1 read, also when there are no
  // instances; 0 without a query or when reading the property fails.
  int ReadProperty(const wchar_t* property, void* output, unsigned capacity);
  void ReleaseResults();

  int last_error() const { return last_error_; }
  const wchar_t* last_error_text() const { return last_error_text_.get(); }

 private:
  void Fail();
  void ReleaseAll();

  IWbemLocator* locator_ = nullptr;
  IWbemServices* services_ = nullptr;
  IEnumWbemClassObject* enumerator_ = nullptr;
  int last_error_ = 0;
  BoundedString<255> last_error_text_;
  bool com_initialized_ = false;
};

}  // namespace checks
}  // namespace brx

#endif  // BRX_CHECKS_WMI_CLIENT_H_
