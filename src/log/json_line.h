// One JSON object on one line, built in memory up to a fixed size, for the
// session record. Texts are written as UTF-8 with quotes, backslashes and
// control characters escaped, so a value can never end the line or the
// object early.
#ifndef BRX_LOG_JSON_LINE_H_
#define BRX_LOG_JSON_LINE_H_

#include <stddef.h>
#include <stdint.h>

#include <string>

namespace brx {

class JsonLine {
 public:
  // capacity: the most bytes the finished line (its line feed included) may have.
  explicit JsonLine(size_t capacity);

  // Members of the object being built, in the order given. A text longer
  // than max_chars is cut to that many characters first.
  void Text(const char* key, const std::wstring& value, size_t max_chars);
  void TextOrNull(const char* key, const wchar_t* value, size_t max_chars);
  void Word(const char* key, const char* value);  // ASCII text known to need no escaping
  void Integer(const char* key, int64_t value);
  void Null(const char* key);
  // A nested object; its members follow until EndObject.
  void BeginObject(const char* key);
  void EndObject();

  // The finished line ending in "\n". False (and *line untouched) when a
  // member did not fit: the record is then not written cut in the middle.
  bool Finish(std::string* line);

 private:
  void Key(const char* key);
  void Raw(const char* data, size_t length);
  void Raw(const std::string& text) { Raw(text.data(), text.size()); }

  size_t capacity_;
  std::string line_;
  bool first_ = true;
  bool overflow_ = false;
  int depth_ = 1;
};

// value as the body of a JSON string (no quotes): UTF-8, with ", \ and the
// control characters escaped.
std::string JsonEscape(const std::wstring& value);

}  // namespace brx

#endif  // BRX_LOG_JSON_LINE_H_
