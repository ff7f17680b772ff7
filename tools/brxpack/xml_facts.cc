#include "brxpack/xml_facts.h"

#include <expat.h>

#include <algorithm>

#include "package/xml_reader.h"
#include "platform/utf8.h"

namespace brxpack {
namespace {

// expat speaks UTF-16 in the Windows build and UTF-8 natively.
template <typename Char>
std::wstring ToWide(const Char* s, size_t length) {
  if (sizeof(Char) == sizeof(wchar_t)) return std::wstring(reinterpret_cast<const wchar_t*>(s), length);
  std::wstring out;
  if (!brx::platform::Utf8ToWide(reinterpret_cast<const char*>(s), length, &out)) out.assign(length, L'?');
  return out;
}

template <typename Char>
std::wstring ToWide(const Char* s) {
  size_t n = 0;
  while (s && s[n]) ++n;
  return ToWide(s, n);
}

struct Builder {
  XmlFacts* facts;
  std::vector<XmlElement*> open;
};

void XMLCALL OnStart(void* user, const XML_Char* name, const XML_Char**) {
  Builder* b = static_cast<Builder*>(user);
  XmlElement* parent = b->open.empty() ? nullptr : b->open.back();
  XmlElement* element = parent ? (parent->children.emplace_back(), &parent->children.back()) : &b->facts->root;
  element->name = ToWide(name);
  b->open.push_back(element);
}

void XMLCALL OnEnd(void* user, const XML_Char*) {
  Builder* b = static_cast<Builder*>(user);
  if (!b->open.empty()) b->open.pop_back();
}

void XMLCALL OnText(void* user, const XML_Char* s, int length) {
  Builder* b = static_cast<Builder*>(user);
  if (!b->open.empty()) b->open.back()->text += ToWide(s, static_cast<size_t>(length));
}

// The encoding the declaration names, read from the raw bytes (ASCII-
// compatible documents only: UTF-16 ones name nothing the reader lacks).
std::string DeclaredEncoding(const void* bytes, size_t length) {
  std::string head(static_cast<const char*>(bytes), std::min<size_t>(length, 200));
  if (head.compare(0, 5, "<?xml") != 0) return std::string();
  size_t end = head.find("?>");
  size_t at = head.find("encoding");
  if (at == std::string::npos || (end != std::string::npos && at > end)) return std::string();
  size_t quote = head.find_first_of("\"'", at);
  if (quote == std::string::npos) return std::string();
  size_t close = head.find(head[quote], quote + 1);
  if (close == std::string::npos) return std::string();
  return head.substr(quote + 1, close - quote - 1);
}

}  // namespace

XmlFacts ReadXmlFacts(const void* bytes, size_t length) {
  XmlFacts facts;
  facts.encoding = DeclaredEncoding(bytes, length);
  Builder builder{&facts, {}};
  XML_Parser parser = XML_ParserCreate(nullptr);
  if (!parser) {
    facts.error = "out of memory";
    return facts;
  }
  XML_SetUserData(parser, &builder);
  XML_SetElementHandler(parser, OnStart, OnEnd);
  XML_SetCharacterDataHandler(parser, OnText);
  if (XML_Parse(parser, static_cast<const char*>(bytes), static_cast<int>(length), XML_TRUE) == XML_STATUS_OK) {
    facts.well_formed = true;
  } else {
    XML_Error code = XML_GetErrorCode(parser);
    facts.unsupported_encoding = code == XML_ERROR_UNKNOWN_ENCODING || code == XML_ERROR_INCORRECT_ENCODING;
    facts.error = "line " + std::to_string(XML_GetCurrentLineNumber(parser)) + ", column " +
                  std::to_string(XML_GetCurrentColumnNumber(parser) + 1) + ": " +
                  brx::platform::WideToUtf8(ToWide(XML_ErrorString(code)));
  }
  XML_ParserFree(parser);
  return facts;
}

std::string DescribeUnreadableXml(const void* bytes, size_t length) {
  XmlFacts facts = ReadXmlFacts(bytes, length);
  if (facts.unsupported_encoding) {
    return "its encoding " + (facts.encoding.empty() ? std::string("(undeclared)") : "\"" + facts.encoding + "\"") +
           " is not one the stub reads (UTF-8, UTF-16, ISO-8859-1, US-ASCII)";
  }
  if (!facts.well_formed) return "it is not well-formed XML (" + facts.error + ")";
  return "the stub's reader refuses its entity declarations (an external or parameter entity, an entity "
         "that refers to another, or one that expands too far)";
}

std::vector<const CBrxXMLNode*> ElementsInDocumentOrder(const CBrxXMLNode* parent) {
  std::vector<const CBrxXMLNode*> all;
  for (const CBrxXMLNode* n = parent ? parent->first_child() : nullptr; n; n = n->next_sibling()) all.push_back(n);
  if (all.size() > 1) std::reverse(all.begin() + 1, all.end());
  std::vector<const CBrxXMLNode*> elements;
  for (const CBrxXMLNode* n : all) {
    if (n->kind() == XML_NODE_ELEMENT) elements.push_back(n);
  }
  return elements;
}

}  // namespace brxpack
