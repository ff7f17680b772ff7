// WMI of the running system through COM.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>

#include <string.h>

#include <new>

#include "checks/wmi_source.h"
#include "platform/scoped_bstr_win.h"
#include "platform/scoped_handle_win.h"
#include "platform/scoped_variant_win.h"

namespace brx {
namespace checks {
namespace {

// {4590F811-1D3A-11D0-891F-00AA004B2E24} and {DC12A687-737F-11CF-884D-00AA004B2E24};
// spelled out so the client does not depend on which uuid library links them.
const CLSID kClsidWbemLocator = {0x4590F811, 0x1D3A, 0x11D0, {0x89, 0x1F, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};
const IID kIidWbemLocator = {0xDC12A687, 0x737F, 0x11CF, {0x88, 0x4D, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};

template <typename T>
void ReleaseInterface(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

void StoreValue(const VARIANT* value, void* output, unsigned capacity) {
  BYTE* out = static_cast<BYTE*>(output);
  switch (V_VT(value)) {
    case VT_BSTR: {
      if (capacity < sizeof(wchar_t)) return;
      unsigned room = capacity / sizeof(wchar_t) - 1;
      if (room > kWmiMaxTextLength) room = kWmiMaxTextLength;
      const wchar_t* text = V_BSTR(value) ? V_BSTR(value) : L"";
      unsigned n = 0;
      wchar_t* dest = static_cast<wchar_t*>(output);
      for (; n < room && text[n] != L'\0'; ++n) dest[n] = text[n];
      dest[n] = L'\0';
      return;
    }
    case VT_I4: {
      if (capacity < sizeof(LONG)) return;
      LONG v = V_I4(value);
      memcpy(out, &v, sizeof v);
      return;
    }
    case VT_ARRAY | VT_UI1: {
      SAFEARRAY* array = V_ARRAY(value);
      if (!array) return;
      for (LONG i = 0; static_cast<unsigned>(i) < capacity; ++i) {
        BYTE b = 0;
        if (FAILED(SafeArrayGetElement(array, &i, &b))) break;
        out[i] = b;
      }
      return;
    }
    default:
      return;
  }
}

// ConnectServer has no time-out of its own, so it runs on a worker thread
// the caller waits for. The call is shared by both threads; whichever lets
// go last releases it. A worker that outlives its wait releases what it got
// on its own thread, while it is still in the COM apartment.
struct ConnectCall {
  LONG owners = 2;
  IWbemLocator* locator = nullptr;  // a reference of its own
  platform::ScopedBstr path;
  IWbemServices* services = nullptr;
  HRESULT result = E_FAIL;
  platform::ScopedHandle done;
};

void LetGo(ConnectCall* call) {
  if (InterlockedDecrement(&call->owners) != 0) return;
  ReleaseInterface(call->services);
  ReleaseInterface(call->locator);
  delete call;
}

DWORD WINAPI ConnectWorker(void* param) {
  ConnectCall* call = static_cast<ConnectCall*>(param);
  HRESULT joined = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  call->result = call->locator->ConnectServer(call->path.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                              &call->services);
  SetEvent(call->done.get());
  LetGo(call);
  if (SUCCEEDED(joined)) CoUninitialize();
  return 0;
}

class ComWmiSource : public WmiSource {
 public:
  ~ComWmiSource() override { Close(); }

  WmiResult Initialize() override {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(hr)) return hr;
    com_initialized_ = true;
    // Process security can be set once; a second client in the same process
    // gets RPC_E_TOO_LATE and works with what the first one set.
    hr = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE,
                              nullptr, EOAC_NONE, nullptr);
    if (FAILED(hr) && hr != RPC_E_TOO_LATE) return hr;
    hr = CoCreateInstance(kClsidWbemLocator, nullptr, CLSCTX_INPROC_SERVER, kIidWbemLocator,
                          reinterpret_cast<void**>(&locator_));
    if (FAILED(hr)) locator_ = nullptr;
    return FAILED(hr) ? hr : S_OK;
  }

  WmiResult Connect(const wchar_t* namespace_path, unsigned timeout_ms) override {
    if (!locator_ || services_) return E_UNEXPECTED;
    ConnectCall* call = new (std::nothrow) ConnectCall;
    if (!call) return E_OUTOFMEMORY;
    *call->path.receive() = namespace_path ? SysAllocString(namespace_path) : nullptr;
    *call->done.receive() = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!call->path.valid() || !call->done.valid()) {
      call->owners = 1;
      LetGo(call);
      return E_OUTOFMEMORY;
    }
    call->locator = locator_;
    locator_->AddRef();
    platform::ScopedHandle thread(CreateThread(nullptr, 0, ConnectWorker, call, 0, nullptr));
    if (!thread.valid()) {
      HRESULT error = HRESULT_FROM_WIN32(GetLastError());
      call->owners = 1;
      LetGo(call);
      return error;
    }
    HRESULT hr = WBEM_S_TIMEDOUT;
    if (WaitForSingleObject(call->done.get(), timeout_ms) == WAIT_OBJECT_0) {
      hr = call->result;
      if (SUCCEEDED(hr)) {
        services_ = call->services;
        call->services = nullptr;
      }
    }
    LetGo(call);
    if (hr != S_OK || !services_) {
      ReleaseInterface(services_);
      return hr == S_OK ? E_FAIL : hr;
    }
    return CoSetProxyBlanket(services_, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                             RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
  }

  WmiResult ExecQuery(const wchar_t* query) override {
    if (!services_) return E_UNEXPECTED;
    platform::ScopedBstr language(SysAllocString(L"WQL"));
    platform::ScopedBstr text(query ? SysAllocString(query) : nullptr);
    if (!language.valid() || !text.valid()) return E_OUTOFMEMORY;
    ReleaseResults();
    HRESULT hr = services_->ExecQuery(language.get(), text.get(), WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                      &enumerator_);
    if (hr == S_OK && !enumerator_) return E_FAIL;
    return hr;
  }

  void Reset() override {
    ReleaseInterface(instance_);
    if (enumerator_) enumerator_->Reset();
  }

  WmiResult Next(unsigned timeout_ms, bool* got) override {
    *got = false;
    ReleaseInterface(instance_);
    if (!enumerator_) return E_UNEXPECTED;
    ULONG returned = 0;
    HRESULT hr = enumerator_->Next(static_cast<long>(timeout_ms), 1, &instance_, &returned);
    if (returned == 0) ReleaseInterface(instance_);
    *got = instance_ != nullptr;
    return hr;
  }

  WmiResult Get(const wchar_t* property, void* output, unsigned capacity) override {
    if (!instance_) return E_UNEXPECTED;
    platform::ScopedVariant v;
    HRESULT hr = instance_->Get(property, 0, v.receive(), nullptr, nullptr);
    if (SUCCEEDED(hr)) StoreValue(v.get(), output, capacity);
    return hr;
  }

  void ReleaseResults() override {
    ReleaseInterface(instance_);
    ReleaseInterface(enumerator_);
  }

  void Close() override {
    ReleaseResults();
    ReleaseInterface(services_);
    ReleaseInterface(locator_);
    if (com_initialized_) CoUninitialize();
    com_initialized_ = false;
  }

 private:
  IWbemLocator* locator_ = nullptr;
  IWbemServices* services_ = nullptr;
  IEnumWbemClassObject* enumerator_ = nullptr;
  IWbemClassObject* instance_ = nullptr;
  bool com_initialized_ = false;
};

}  // namespace

std::unique_ptr<WmiSource> MakeSystemWmiSource() { return std::unique_ptr<WmiSource>(new ComWmiSource); }

}  // namespace checks
}  // namespace brx
