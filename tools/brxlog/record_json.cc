#include "brxlog/record_json.h"

#include <nlohmann/json.hpp>

#include "log/session_record_fields.h"

namespace brxlog {
namespace {

namespace record = brx::record;
using Json = nlohmann::ordered_json;

// Copies a member under another name when the record has it with a value.
void Take(const Json& from, const char* key, Json& to, const char* as) {
  auto it = from.find(key);
  if (it != from.end() && !it->is_null()) to[as] = *it;
}

}  // namespace

bool RecordJson(const std::string& line, std::string* json, std::string* start) {
  Json r = Json::parse(line, nullptr, /*allow_exceptions=*/false);
  if (r.is_discarded() || !r.is_object()) return false;
  auto schema = r.find(record::kSchema);
  auto id = r.find(record::kSessionId);
  if (schema == r.end() || !schema->is_number_integer() || id == r.end() || !id->is_string()) return false;

  // A record is written once, when its run has ended: it is always complete.
  Json out;
  out["status"] = "complete";
  Take(r, record::kStubFile, out, "source");
  Take(r, record::kStubVersion, out, "version");
  Take(r, record::kStart, out, "start");
  Take(r, record::kEnd, out, "end_time");
  Take(r, record::kCompletionCode, out, "return_code");
  Take(r, record::kResult, out, "result");
  Take(r, record::kCommandLine, out, "command_line");
  Take(r, record::kChecks, out, "checks");
  Take(r, record::kFirstError, out, "first_error");
  for (auto it = r.begin(); it != r.end(); ++it) out[it.key()] = it.value();

  start->clear();
  auto begun = r.find(record::kStart);
  if (begun != r.end() && begun->is_string() && begun->get_ref<const std::string&>().size() >= 19) {
    *start = begun->get_ref<const std::string&>().substr(0, 19);
  }
  *json = out.dump(-1, ' ', false, Json::error_handler_t::replace);
  return true;
}

}  // namespace brxlog
