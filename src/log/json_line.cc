#include "log/json_line.h"

#include <string.h>

#include "platform/utf8.h"

namespace brx {
namespace {

// A cut between the two halves of a surrogate pair would leave half a
// character, which the encoder turns into U+FFFD: cut before the pair.
std::wstring Cut(const std::wstring& value, size_t max_chars) {
  if (value.size() <= max_chars) return value;
  size_t n = max_chars;
  if (sizeof(wchar_t) == 2 && n > 0 && value[n - 1] >= 0xD800 && value[n - 1] <= 0xDBFF) --n;
  return value.substr(0, n);
}

}  // namespace

std::string JsonEscape(const std::wstring& value) {
  // UTF-8 bytes of characters beyond ASCII are all 0x80 or above, so the
  // escaping can look at bytes.
  std::string utf8 = platform::WideToUtf8(value);
  std::string out;
  out.reserve(utf8.size() + 8);
  for (unsigned char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          const char kHex[] = "0123456789ABCDEF";
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 0xF];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out;
}

JsonLine::JsonLine(size_t capacity) : capacity_(capacity) { Raw("{", 1); }

void JsonLine::Raw(const char* data, size_t length) {
  if (overflow_ || length > capacity_ || line_.size() > capacity_ - length) {
    overflow_ = true;
    return;
  }
  line_.append(data, length);
}

void JsonLine::Key(const char* key) {
  if (!first_) Raw(",", 1);
  first_ = false;
  Raw("\"", 1);
  Raw(key, strlen(key));
  Raw("\":", 2);
}

void JsonLine::Text(const char* key, const std::wstring& value, size_t max_chars) {
  Key(key);
  Raw("\"", 1);
  Raw(JsonEscape(Cut(value, max_chars)));
  Raw("\"", 1);
}

void JsonLine::TextOrNull(const char* key, const wchar_t* value, size_t max_chars) {
  if (!value || !*value) {
    Null(key);
    return;
  }
  Text(key, value, max_chars);
}

void JsonLine::Word(const char* key, const char* value) {
  Key(key);
  Raw("\"", 1);
  Raw(value, strlen(value));
  Raw("\"", 1);
}

void JsonLine::Integer(const char* key, int64_t value) {
  Key(key);
  // Digits from the end; the magnitude as unsigned so the lowest value works.
  char text[24];
  size_t at = sizeof text;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    text[--at] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude > 0);
  if (value < 0) text[--at] = '-';
  Raw(text + at, sizeof text - at);
}

void JsonLine::Null(const char* key) {
  Key(key);
  Raw("null", 4);
}

void JsonLine::BeginObject(const char* key) {
  Key(key);
  Raw("{", 1);
  first_ = true;
  ++depth_;
}

void JsonLine::EndObject() {
  Raw("}", 1);
  first_ = false;
  --depth_;
}

bool JsonLine::Finish(std::string* line) {
  while (depth_ > 0) EndObject();
  Raw("\n", 1);
  if (overflow_) return false;
  line->swap(line_);
  return true;
}

}  // namespace brx
