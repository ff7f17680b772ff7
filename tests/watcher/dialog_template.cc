#include "dialog_template.h"

#include <cstring>

namespace brxwatch {

namespace {

constexpr uint32_t kSetFont = 0x40;  // DS_SETFONT (DS_SHELLFONT includes it)

// Bounds-checked cursor over the little-endian template bytes.
class Reader {
 public:
  Reader(const unsigned char* data, size_t size) : data_(data), size_(size) {}
  bool ok() const { return ok_; }

  uint16_t Word() {
    if (!Need(2)) return 0;
    uint16_t v = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
  }
  uint32_t Dword() {
    uint32_t lo = Word();
    return lo | (static_cast<uint32_t>(Word()) << 16);
  }
  void Skip(size_t n) {
    if (Need(n)) pos_ += n;
  }
  void AlignDword() { Skip((4 - pos_ % 4) % 4); }

  std::wstring String() {
    std::wstring s;
    for (uint16_t ch = Word(); ok_ && ch != 0; ch = Word()) s += static_cast<wchar_t>(ch);
    return s;
  }
  // A string or an ordinal (0xFFFF then a word); ordinals come back in *ordinal.
  std::wstring StringOrOrdinal(int* ordinal) {
    *ordinal = -1;
    if (!Need(2)) return std::wstring();
    if (data_[pos_] == 0xFF && data_[pos_ + 1] == 0xFF) {
      Word();
      *ordinal = Word();
      return std::wstring();
    }
    return String();
  }

 private:
  bool Need(size_t n) {
    if (!ok_ || size_ - pos_ < n) ok_ = false;
    return ok_;
  }
  const unsigned char* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

std::wstring PredefinedClass(int ordinal) {
  switch (ordinal) {
    case 0x80: return L"Button";
    case 0x81: return L"Edit";
    case 0x82: return L"Static";
    case 0x83: return L"ListBox";
    case 0x84: return L"ScrollBar";
    case 0x85: return L"ComboBox";
    default: return L"#" + std::to_wstring(ordinal);
  }
}

bool IsUnnamed(int id) { return id == -1 || id == 0xFFFF; }

bool SameClass(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (towlower(a[i]) != towlower(b[i])) return false;
  }
  return true;
}

}  // namespace

bool ParseDialogTemplate(const unsigned char* data, size_t size, DialogTemplate* out) {
  Reader r(data, size);
  *out = DialogTemplate();
  bool extended = size >= 4 && data[0] == 1 && data[1] == 0 && data[2] == 0xFF && data[3] == 0xFF;
  int count;
  if (extended) {
    r.Skip(4 + 4 + 4);  // version and signature, help id, extended style
    out->style = r.Dword();
  } else {
    out->style = r.Dword();
    r.Skip(4);  // extended style
  }
  count = r.Word();
  r.Skip(8);  // x, y, cx, cy
  int ordinal;
  r.StringOrOrdinal(&ordinal);  // menu
  r.StringOrOrdinal(&ordinal);  // window class
  out->caption = r.String();
  if (out->style & kSetFont) {
    r.Skip(extended ? 6 : 2);  // point size (+ weight, italic, charset)
    r.String();
  }
  for (int i = 0; i < count && r.ok(); ++i) {
    r.AlignDword();
    TemplateControl c;
    if (extended) {
      r.Skip(8);  // help id, extended style
      c.style = r.Dword();
      r.Skip(8);
      c.id = static_cast<int>(r.Dword());
    } else {
      c.style = r.Dword();
      r.Skip(4 + 8);
      c.id = r.Word();
    }
    c.window_class = r.StringOrOrdinal(&ordinal);
    if (ordinal >= 0) c.window_class = PredefinedClass(ordinal);
    c.text = r.StringOrOrdinal(&ordinal);  // an ordinal names an icon or bitmap: no text
    r.Skip(r.Word());  // creation data
    out->controls.push_back(std::move(c));
  }
  return r.ok();
}

bool MatchesTemplate(const DialogRecord& shown, const DialogTemplate& tmpl, std::wstring* why) {
  auto fail = [why](const std::wstring& reason) {
    if (why) *why = reason;
    return false;
  };
  if (shown.caption != tmpl.caption) {
    return fail(L"caption \"" + shown.caption + L"\" is not \"" + tmpl.caption + L"\"");
  }
  for (const TemplateControl& want : tmpl.controls) {
    bool found = false;
    for (const ControlRecord& have : shown.controls) {
      if (IsUnnamed(want.id)) {
        // Unnamed statics are told apart by their text only.
        found = !want.text.empty() && have.text == want.text;
      } else {
        found = have.id == want.id && SameClass(have.window_class, want.window_class) &&
                (want.text.empty() || have.text == want.text);
      }
      if (found) break;
    }
    if (!found && (!IsUnnamed(want.id) || !want.text.empty())) {
      return fail(L"no control " + std::to_wstring(want.id) + L" " + want.window_class + L" \"" +
                  want.text + L"\"");
    }
  }
  return true;
}

}  // namespace brxwatch
