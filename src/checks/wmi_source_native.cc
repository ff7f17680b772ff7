#include "checks/wmi_source.h"

namespace brx {
namespace checks {
namespace {

// No WMI off Windows: every step fails as not available.
class UnavailableWmiSource : public WmiSource {
 public:
  WmiResult Initialize() override { return kWmiNotAvailable; }
  WmiResult Connect(const wchar_t*, unsigned) override { return kWmiNotAvailable; }
  WmiResult ExecQuery(const wchar_t*) override { return kWmiNotAvailable; }
  void Reset() override {}
  WmiResult Next(unsigned, bool* got) override {
    *got = false;
    return kWmiNotAvailable;
  }
  WmiResult Get(const wchar_t*, void*, unsigned) override { return kWmiNotAvailable; }
  void ReleaseResults() override {}
  void Close() override {}
};

}  // namespace

std::unique_ptr<WmiSource> MakeSystemWmiSource() { return std::unique_ptr<WmiSource>(new UnavailableWmiSource); }

}  // namespace checks
}  // namespace brx
