#include "checks/wmi_client.h"

namespace brx {
namespace checks {
WmiClient::WmiClient() : WmiClient(MakeSystemWmiSource(), kWmiTimeoutMs) {}

WmiClient::WmiClient(std::unique_ptr<WmiSource> source, unsigned timeout_ms)
    : source_(std::move(source)), timeout_ms_(timeout_ms) {
  if (!source_) {
    Fail(kWmiNotAvailable);
    return;
  }
  WmiResult result = source_->Initialize();
  if (result < 0) {
    Fail(result);
    return;
  }
  usable_ = true;
}

WmiClient::~WmiClient() {
  if (source_) source_->Close();
}

int WmiClient::Fail(WmiResult result) {
  if (source_) source_->Close();
  usable_ = connected_ = has_results_ = false;
  last_result_ = result;
  last_error_ = WMI_ERROR_COM_INIT;
  last_error_text_.AssignCut(L"An error occurred initializing the COM environment.");
  return 0;
}

int WmiClient::ConnectNamespace(const wchar_t* namespace_path) {
  if (!usable_ || connected_ || !namespace_path) return 0;
  WmiResult result = source_->Connect(namespace_path, timeout_ms_);
  // A time-out is a success code to COM, but nothing is connected.
  if (result != kWmiOk) return Fail(result);
  connected_ = true;
  return 1;
}

int WmiClient::QueryClass(const wchar_t* class_name) {
  if (!connected_ || !class_name) return 0;
  BoundedString<255> query;
  // A cut class name would query some other class; refuse it instead.
  if (!query.Assign(L"SELECT * FROM ") || !query.Append(class_name)) return 0;
  ReleaseResults();
  WmiResult result = source_->ExecQuery(query.get());
  if (result != kWmiOk) {
    // Other success codes still count as a failed query; drop what came back.
    source_->ReleaseResults();
    last_result_ = result;
    return 0;
  }
  has_results_ = true;
  return 1;
}

int WmiClient::ReadProperty(const wchar_t* property, void* output, unsigned capacity) {
  if (!has_results_ || !property || !output) return 0;
  source_->Reset();
  for (;;) {
    bool got = false;
    WmiResult result = source_->Next(timeout_ms_, &got);
    if (result == kWmiFalse || (result == kWmiOk && !got)) return 1;
    if (result != kWmiOk) {
      // A failed or timed-out enumeration has not read anything.
      ReleaseResults();
      last_result_ = result;
      return 0;
    }
    result = source_->Get(property, output, capacity);
    if (result < 0) {
      ReleaseResults();
      last_result_ = result;
      return 0;
    }
  }
}

void WmiClient::ReleaseResults() {
  if (source_) source_->ReleaseResults();
  has_results_ = false;
}

}  // namespace checks
}  // namespace brx
