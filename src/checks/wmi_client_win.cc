#include "checks/wmi_client.h"

#include <objbase.h>
#include <oleauto.h>
#include <string.h>

namespace brx {
namespace checks {
namespace {

// {4590F811-1D3A-11D0-891F-00AA004B2E24} and {DC12A687-737F-11CF-884D-00AA004B2E24};
// spelled out so the client does not depend on which uuid library links them.
const CLSID kClsidWbemLocator = {0x4590F811, 0x1D3A, 0x11D0, {0x89, 0x1F, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};
const IID kIidWbemLocator = {0xDC12A687, 0x737F, 0x11CF, {0x88, 0x4D, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};

// A BSTR owned for the length of one call. A failed allocation leaves it null,
// which the caller reports as a failed step.
class ScopedBstr {
 public:
  explicit ScopedBstr(const wchar_t* text) : bstr_(text ? SysAllocString(text) : nullptr) {}
  ~ScopedBstr() { SysFreeString(bstr_); }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;
  BSTR get() const { return bstr_; }

 private:
  BSTR bstr_;
};

class ScopedVariant {
 public:
  ScopedVariant() { VariantInit(&v_); }
  ~ScopedVariant() { VariantClear(&v_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
  VARIANT* get() { return &v_; }

 private:
  VARIANT v_;
};

template <typename T>
void ReleaseInterface(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

void StoreValue(VARIANT* value, void* output, unsigned capacity) {
  BYTE* out = static_cast<BYTE*>(output);
  switch (V_VT(value)) {
    case VT_BSTR: {
      if (capacity < sizeof(wchar_t)) return;
      unsigned room = capacity / sizeof(wchar_t) - 1;
      if (room > WmiClient::kMaxTextLength) room = WmiClient::kMaxTextLength;
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

}  // namespace

WmiClient::WmiClient() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
    last_error_ = WMI_ERROR_COM_INIT;
    last_error_text_.AssignCut(L"An error occurred initializing the COM environment.");
    return;
  }
  com_initialized_ = true;
  // Process security can be set once; a second client in the same process
  // gets RPC_E_TOO_LATE and works with what the first one set.
  HRESULT hr = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                    RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
  if (FAILED(hr) && hr != RPC_E_TOO_LATE) {
    Fail();
    return;
  }
  if (FAILED(CoCreateInstance(kClsidWbemLocator, nullptr, CLSCTX_INPROC_SERVER, kIidWbemLocator,
                              reinterpret_cast<void**>(&locator_)))) {
    locator_ = nullptr;
    Fail();
  }
}

WmiClient::~WmiClient() {
  ReleaseAll();
  if (com_initialized_) CoUninitialize();
}

void WmiClient::ReleaseAll() {
  ReleaseInterface(enumerator_);
  ReleaseInterface(services_);
  ReleaseInterface(locator_);
}

void WmiClient::Fail() {
  ReleaseAll();
  if (com_initialized_) {
    CoUninitialize();
    com_initialized_ = false;
  }
  last_error_ = WMI_ERROR_COM_INIT;
  last_error_text_.AssignCut(L"An error occurred initializing the COM environment.");
}

int WmiClient::ConnectNamespace(const wchar_t* namespace_path) {
  if (!locator_ || services_) return 0;
  ScopedBstr path(namespace_path);
  if (!path.get()) {
    Fail();
    return 0;
  }
  HRESULT hr = locator_->ConnectServer(path.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services_);
  if (FAILED(hr) || !services_) {
    services_ = nullptr;
    Fail();
    return 0;
  }
  hr = CoSetProxyBlanket(services_, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                         RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
  if (FAILED(hr)) {
    Fail();
    return 0;
  }
  return 1;
}

int WmiClient::QueryClass(const wchar_t* class_name) {
  if (!services_ || !class_name) return 0;
  BoundedString<255> query;
  // A cut class name would query some other class; refuse it instead.
  if (!query.Assign(L"SELECT * FROM ") || !query.Append(class_name)) return 0;
  ScopedBstr language(L"WQL");
  ScopedBstr text(query.get());
  if (!language.get() || !text.get()) return 0;
  ReleaseInterface(enumerator_);
  HRESULT hr = services_->ExecQuery(language.get(), text.get(), WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, &enumerator_);
  if (hr != S_OK) {
    // Other success codes still count as a failed query; drop what came back.
    ReleaseInterface(enumerator_);
    return 0;
  }
  return enumerator_ ? 1 : 0;
}

int WmiClient::ReadProperty(const wchar_t* property, void* output, unsigned capacity) {
  if (!enumerator_ || !property || !output) return 0;
  enumerator_->Reset();
  for (;;) {
    IWbemClassObject* instance = nullptr;
    ULONG returned = 0;
    enumerator_->Next(WBEM_INFINITE, 1, &instance, &returned);
    if (returned == 0 || !instance) {
      if (instance) instance->Release();
      break;
    }
    ScopedVariant value;
    HRESULT hr = instance->Get(property, 0, value.get(), nullptr, nullptr);
    instance->Release();
    if (FAILED(hr)) {
      ReleaseInterface(enumerator_);
      return 0;
    }
    StoreValue(value.get(), output, capacity);
  }
  return 1;
}

void WmiClient::ReleaseResults() { ReleaseInterface(enumerator_); }

}  // namespace checks
}  // namespace brx
