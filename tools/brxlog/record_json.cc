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

// A text member's first 19 characters ("YYYY-MM-DDTHH:MM:SS" of a time), or
// the whole text; empty when the member is missing or no text.
std::string TextOf(const Json& from, const char* key, size_t max_chars) {
  auto it = from.find(key);
  if (it == from.end() || !it->is_string()) return std::string();
  const std::string& text = it->get_ref<const std::string&>();
  return text.size() < max_chars ? text : text.substr(0, max_chars);
}

}  // namespace

bool NestingWithin(const std::string& text, int max_depth) {
  int depth = 0;
  bool in_string = false, escaped = false;
  for (char c : text) {
    if (in_string) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      if (++depth > max_depth) return false;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return true;
}

bool RecordJson(const std::string& line, std::string* json, std::string* start, std::string* source,
                std::string* end) {
  // The parser builds nested values on its own stack and they are freed
  // recursively: 63,000 nested arrays in one line would overflow it.
  if (!NestingWithin(line, kMaxRecordDepth)) return false;
  Json r = Json::parse(line, nullptr, /*allow_exceptions=*/false);
  if (r.is_discarded() || !r.is_object()) return false;
  // Other writers' lines in the file (a bundle's record) say what they are.
  auto kind = r.find("record");
  if (kind != r.end() && *kind != "session") return false;
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
  if (source) *source = TextOf(r, record::kStubFile, 1024);
  if (end) *end = TextOf(r, record::kEnd, 19);
  *json = out.dump(-1, ' ', false, Json::error_handler_t::replace);
  return true;
}

}  // namespace brxlog
