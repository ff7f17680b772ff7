// A minimal read-only document tree built from expat's callbacks.
//
// The tree deliberately holds less than the document: an element keeps text
// only from a first piece that does not start with whitespace, CDATA sections
// become "#CDATA" child nodes, and a new child is linked right after the first
// one, so children A, B, C, D are listed A, D, C, B. Package files in the field
// were written against exactly these rules (which duplicate wins, which text is
// seen), so they are kept as they are.
#ifndef BRX_PACKAGE_XML_READER_H_
#define BRX_PACKAGE_XML_READER_H_

#include <stddef.h>

#include <string>
#include <vector>

enum XmlNodeKind {
  XML_NODE_ELEMENT = 0,  // an element, and the document root
  XML_NODE_TEXT = 1,     // a "#TEXT" or "#CDATA" node
};

class CBrxXMLNode {
 public:
  CBrxXMLNode(int kind, const wchar_t* name);
  // Deletes the subtree and every sibling that follows this node.
  virtual ~CBrxXMLNode();

  CBrxXMLNode(const CBrxXMLNode&) = delete;
  CBrxXMLNode& operator=(const CBrxXMLNode&) = delete;

  int kind() const { return kind_; }
  const wchar_t* name() const { return name_.c_str(); }
  CBrxXMLNode* first_child() const { return first_child_; }
  CBrxXMLNode* next_sibling() const { return next_sibling_; }
  CBrxXMLNode* parent() const { return parent_; }

  // Value of the first attribute named exactly `name`, or null.
  const wchar_t* GetAttribute(const wchar_t* name) const;
  // The node's text, or null when it has none.
  const wchar_t* GetValue() const { return has_value_ ? value_.c_str() : nullptr; }
  void SetValue(const wchar_t* text, size_t length);
  void AppendValue(const wchar_t* text, size_t length);

  // First node of this node's child list (list order) named exactly `name`.
  CBrxXMLNode* FindFirstChild(const wchar_t* name) const;
  // First node after this one in its sibling list named exactly `name`.
  CBrxXMLNode* FindNextSibling(const wchar_t* name) const;

  void AddAttribute(const wchar_t* name, const wchar_t* value);
  // Links `child` under this node: first child when there is none, otherwise
  // directly after the first child (constant time, which gives the list order).
  void InsertChild(CBrxXMLNode* child);

 private:
  int kind_;
  std::wstring name_;
  std::vector<std::wstring> attributes_;  // name, value, name, value, ...
  std::wstring value_;
  bool has_value_ = false;
  CBrxXMLNode* next_sibling_ = nullptr;  // owned
  CBrxXMLNode* first_child_ = nullptr;   // owned
  CBrxXMLNode* parent_ = nullptr;
};

class CBrxXMLReader {
 public:
  enum { kLoadOk = 0, kLoadParseError = 5 };

  CBrxXMLReader();
  virtual ~CBrxXMLReader();

  CBrxXMLReader(const CBrxXMLReader&) = delete;
  CBrxXMLReader& operator=(const CBrxXMLReader&) = delete;

  // Discards the tree and starts over with an empty "#DOCROOT".
  void Reset();
  // Parses a whole document held in memory; its byte-order mark or
  // declaration chooses the encoding (UTF-8 when neither does). Returns 0, or
  // 5 on any parser error, in which case nothing can be found until the next
  // successful load.
  int Load(const void* bytes, size_t length);
  bool loaded() const { return loaded_; }

  // First child of `parent` (the document root when null) named
  // `elementName`; when both attribute arguments are given, the first such
  // child whose attribute equals `attributeValue` ignoring the case of A to Z.
  // A same-named child that lacks the attribute ends the search with null.
  CBrxXMLNode* FindChild(const CBrxXMLNode* parent, const wchar_t* elementName,
                         const wchar_t* attributeName = nullptr,
                         const wchar_t* attributeValue = nullptr) const;

  CBrxXMLNode* root() const { return root_; }

 private:
  CBrxXMLNode* root_ = nullptr;  // owned
  bool loaded_ = false;
};

namespace brx {
// Element text: the value of the element's first child when that child is a
// text node ("#TEXT" or "#CDATA"); null otherwise, and for a null element.
const wchar_t* ElementText(const CBrxXMLNode* element);

// Equality ignoring the case of the letters A to Z only; other characters,
// accented letters included, compare as they are.
bool EqualsIgnoringAsciiCase(const wchar_t* a, const wchar_t* b);

// The whitespace that makes a text piece count as blank. Kept to the ASCII
// set so that both builds judge a piece alike, whatever the C runtime thinks
// of other Unicode spaces.
inline bool IsXmlBlank(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f';
}
}  // namespace brx

#endif  // BRX_PACKAGE_XML_READER_H_
