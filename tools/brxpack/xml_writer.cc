#include "brxpack/xml_writer.h"

namespace brxpack {
namespace {

// Length of the UTF-8 sequence at text[i], 0 when it is not one.
size_t Utf8Length(const std::string& text, size_t i) {
  unsigned char c = static_cast<unsigned char>(text[i]);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n == 0 || i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
  }
  return n;
}

}  // namespace

XmlWriter::XmlWriter() : out_("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") {}

void XmlWriter::Indent() { out_.append(open_.size() * 2, ' '); }

void XmlWriter::Escape(const std::string& text, bool attribute) {
  for (size_t i = 0; i < text.size();) {
    size_t n = Utf8Length(text, i);
    if (n == 0) {
      ok_ = false;
      return;
    }
    char c = text[i];
    if (n == 1) {
      if (c == '&') out_ += "&amp;";
      else if (c == '<') out_ += "&lt;";
      else if (c == '>') out_ += "&gt;";
      else if (attribute && c == '"') out_ += "&quot;";
      else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
        ok_ = false;
        return;
      } else {
        out_ += c;
      }
    } else {
      out_.append(text, i, n);
    }
    i += n;
  }
}

void XmlWriter::Start(const char* name, const Attributes& attributes) {
  Indent();
  out_ += '<';
  out_ += name;
  for (const auto& a : attributes) {
    out_ += ' ';
    out_ += a.first;
    out_ += "=\"";
    Escape(a.second, true);
    out_ += '"';
  }
}

void XmlWriter::Open(const char* name, const Attributes& attributes) {
  Start(name, attributes);
  out_ += ">\n";
  open_.push_back(name);
}

void XmlWriter::Element(const char* name, const std::string& text, const Attributes& attributes) {
  Start(name, attributes);
  if (text.empty()) {
    out_ += "/>\n";
    return;
  }
  out_ += '>';
  Escape(text, false);
  out_ += "</";
  out_ += name;
  out_ += ">\n";
}

void XmlWriter::Close() {
  if (open_.empty()) return;
  const char* name = open_.back();
  open_.pop_back();
  Indent();
  out_ += "</";
  out_ += name;
  out_ += ">\n";
}

bool XmlWriter::Finish(std::string* document) {
  while (!open_.empty()) Close();
  if (!ok_) return false;
  *document = out_;
  return true;
}

}  // namespace brxpack
