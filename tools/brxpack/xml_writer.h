// A small XML writer for the documents brxpack makes (a bundle's component
// definition): elements, attributes and text, every value escaped, so a
// name or version given on the command line is always text in the document
// and never markup.
#ifndef BRX_TOOLS_BRXPACK_XML_WRITER_H_
#define BRX_TOOLS_BRXPACK_XML_WRITER_H_

#include <string>
#include <utility>
#include <vector>

namespace brxpack {

class XmlWriter {
 public:
  using Attributes = std::vector<std::pair<const char*, std::string>>;

  // Starts a UTF-8 document with its declaration.
  XmlWriter();

  void Open(const char* name, const Attributes& attributes = {});
  // An element holding only text (or, with empty text, nothing).
  void Element(const char* name, const std::string& text, const Attributes& attributes = {});
  void Close();

  // The document with every element closed; false when a value held a
  // character XML 1.0 cannot carry (a control character, invalid UTF-8).
  bool Finish(std::string* document);

 private:
  void Indent();
  void Escape(const std::string& text, bool attribute);
  void Start(const char* name, const Attributes& attributes);

  std::string out_;
  std::vector<const char*> open_;
  bool ok_ = true;
};

}  // namespace brxpack

#endif  // BRX_TOOLS_BRXPACK_XML_WRITER_H_
