// What an XML document says, read with expat alone: every element with all of
// its text, and why a document does not parse. brxpack compares it with what
// the stub's reader takes from the same bytes, to name what the stub would
// silently lose.
#ifndef BRX_TOOLS_BRXPACK_XML_FACTS_H_
#define BRX_TOOLS_BRXPACK_XML_FACTS_H_

#include <stddef.h>

#include <string>
#include <vector>

class CBrxXMLNode;

namespace brxpack {

struct XmlElement {
  std::wstring name;
  std::wstring text;  // all character data directly inside, CDATA included
  std::vector<XmlElement> children;  // in document order
};

struct XmlFacts {
  bool well_formed = false;
  bool unsupported_encoding = false;
  std::string encoding;  // as the declaration names it; empty when it names none
  std::string error;     // "line 3, column 7: mismatched tag"
  XmlElement root;       // the document element
};

XmlFacts ReadXmlFacts(const void* bytes, size_t length);

// Why the stub's reader does not load these bytes, for a packager: the
// encoding, the parser's reason and position, or the entity rules.
std::string DescribeUnreadableXml(const void* bytes, size_t length);

// An element of the stub's tree with the children in document order (its
// lists hold the first child and then the rest reversed).
std::vector<const CBrxXMLNode*> ElementsInDocumentOrder(const CBrxXMLNode* parent);

}  // namespace brxpack

#endif  // BRX_TOOLS_BRXPACK_XML_FACTS_H_
