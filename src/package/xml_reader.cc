#include "package/xml_reader.h"

// expat declares its amplification limits only for builds with DTD
// support, which both the Debian and the cross-built library have.
#ifndef XML_DTD
#define XML_DTD 1
#endif
#include <expat.h>
#include <limits.h>
#include <wchar.h>

#include <memory>
#include <new>
#include <utility>

#ifdef _WIN32
static_assert(sizeof(XML_Char) == 2, "the Windows build needs expat's UTF-16 interface");
#endif

namespace {

const wchar_t kDocRoot[] = L"#DOCROOT";
const wchar_t kTextName[] = L"#TEXT";
const wchar_t kCdataName[] = L"#CDATA";

// expat hands over UTF-16 in the Windows build and UTF-8 natively. Each call
// converts exactly one piece, so whitespace is judged per piece in both builds.
#ifdef _WIN32
std::wstring ToWide(const XML_Char* s, size_t length) { return std::wstring(s, length); }
#else
std::wstring ToWide(const XML_Char* s, size_t length) {
  // expat has validated the input and never splits a character across
  // pieces; a malformed sequence still ends as U+FFFD rather than a misread.
  std::wstring out;
  out.reserve(length);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
  const unsigned char* end = p + length;
  while (p < end) {
    unsigned c = *p++;
    int more = 0;
    if (c >= 0xF8) {
      out.push_back(0xFFFD);
      continue;
    } else if (c >= 0xF0) {
      c &= 0x07;
      more = 3;
    } else if (c >= 0xE0) {
      c &= 0x0F;
      more = 2;
    } else if (c >= 0xC0) {
      c &= 0x1F;
      more = 1;
    } else if (c >= 0x80) {
      out.push_back(0xFFFD);
      continue;
    }
    if (end - p < more) {
      out.push_back(0xFFFD);
      break;
    }
    for (int i = 0; i < more; ++i) c = (c << 6) | (*p++ & 0x3F);
    out.push_back(static_cast<wchar_t>(c));
  }
  return out;
}
#endif

std::wstring ToWide(const XML_Char* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return ToWide(s, n);
}

struct ParseState {
  XML_Parser parser = nullptr;
  CBrxXMLNode* current = nullptr;
  bool accepting_text = true;
  bool in_cdata = false;
  bool awaiting_first_piece = false;
  CBrxXMLNode* last_text = nullptr;
  // "#TEXT" nodes that found their element's first child taken: attached
  // nowhere, their text is lost, but continuation pieces may still go there.
  std::vector<std::unique_ptr<CBrxXMLNode>> orphans;
};

// Running out of memory inside a callback stops the parse, which then fails
// like any malformed document, instead of unwinding through the parser.
template <typename Body>
void Guarded(ParseState* state, Body body) {
  try {
    body();
  } catch (const std::bad_alloc&) {
    XML_StopParser(state->parser, XML_FALSE);
  }
}

void OnStartElementBody(ParseState* state, const XML_Char* name, const XML_Char** attributes) {
  state->accepting_text = true;
  state->awaiting_first_piece = true;
  std::unique_ptr<CBrxXMLNode> node(new CBrxXMLNode(XML_NODE_ELEMENT, ToWide(name).c_str()));
  for (const XML_Char** a = attributes; a && a[0] && a[1]; a += 2)
    node->AddAttribute(ToWide(a[0]).c_str(), ToWide(a[1]).c_str());
  state->current->InsertChild(node.get());
  state->current = node.release();
}

void XMLCALL OnStartElement(void* user, const XML_Char* name, const XML_Char** attributes) {
  ParseState* state = static_cast<ParseState*>(user);
  Guarded(state, [&] { OnStartElementBody(state, name, attributes); });
}

void XMLCALL OnEndElement(void* user, const XML_Char* name) {
  ParseState* state = static_cast<ParseState*>(user);
  if (state->current->parent()) state->current = state->current->parent();
}

void OnStartCdataBody(ParseState* state) {
  state->accepting_text = true;
  state->in_cdata = true;
  CBrxXMLNode* node = new CBrxXMLNode(XML_NODE_TEXT, kCdataName);
  state->current->InsertChild(node);
  state->current = node;
}

void XMLCALL OnStartCdata(void* user) {
  ParseState* state = static_cast<ParseState*>(user);
  Guarded(state, [&] { OnStartCdataBody(state); });
}

void XMLCALL OnEndCdata(void* user) {
  ParseState* state = static_cast<ParseState*>(user);
  state->accepting_text = false;
  state->in_cdata = false;
  if (state->current->parent()) state->current = state->current->parent();
}

void OnCharacterDataBody(ParseState* state, const XML_Char* s, int length) {
  if (length <= 0) return;
  std::wstring piece = ToWide(s, static_cast<size_t>(length));
  if (piece.empty()) return;

  if (state->in_cdata) {
    state->current->AppendValue(piece.data(), piece.size());
    return;
  }
  if (!state->accepting_text) return;

  bool blank = brx::IsXmlBlank(piece[0]);
  if (state->awaiting_first_piece) {
    if (blank) {
      state->accepting_text = false;
      return;
    }
    std::unique_ptr<CBrxXMLNode> text(new CBrxXMLNode(XML_NODE_TEXT, kTextName));
    text->SetValue(piece.data(), piece.size());
    CBrxXMLNode* node = text.get();
    if (!state->current->first_child()) {
      state->current->InsertChild(text.release());
    } else {
      state->orphans.push_back(std::move(text));
    }
    state->last_text = node;
    state->awaiting_first_piece = false;
    return;
  }
  if (blank || !state->last_text) return;
  state->last_text->AppendValue(piece.data(), piece.size());
}

void XMLCALL OnCharacterData(void* user, const XML_Char* s, int length) {
  ParseState* state = static_cast<ParseState*>(user);
  Guarded(state, [&] { OnCharacterDataBody(state, s, length); });
}

// Amplification limits for entity expansion: past 1 MiB of output a document
// may expand to at most ten times its own size. Package files are tens of
// kilobytes; an entity referenced a million times is an attack on memory.
constexpr float kMaximumAmplification = 10.0f;
constexpr unsigned long long kAmplificationThreshold = 1024 * 1024;

#if XML_MAJOR_VERSION > 2 || (XML_MAJOR_VERSION == 2 && XML_MINOR_VERSION >= 4)
#define BRX_EXPAT_LIMITS_AMPLIFICATION 1
#else
#define BRX_EXPAT_LIMITS_AMPLIFICATION 0
#endif

// A reference in a replacement text that is a character reference or one of
// the five predefined entities: text, never another expansion.
bool IsFlatReference(const XML_Char* name, int length) {
  static const char* const kPredefined[] = {"lt", "gt", "amp", "apos", "quot"};
  if (length > 0 && name[0] == '#') return true;
  for (const char* predefined : kPredefined) {
    int i = 0;
    while (i < length && predefined[i] && name[i] == static_cast<XML_Char>(predefined[i])) ++i;
    if (i == length && !predefined[i]) return true;
  }
  return false;
}

// Package definitions may declare internal entities for text such as
// <!ENTITY reg "&#174;">. What is refused, stopping the parse so the document
// does not load: external entities (the parser would be asked to read files
// or URLs named by the package), parameter entities (they rewrite the DTD),
// and a replacement text that references another entity: nesting is what
// lets a few bytes expand exponentially ("billion laughs") and, in some
// parser builds, exhaust the stack in recursive expansion. Flat entities
// expand at most linearly, which the amplification limits bound. Without
// those limits (an old expat) no entity is accepted.
void XMLCALL OnEntityDeclaration(void* user, const XML_Char*, int is_parameter_entity, const XML_Char* value,
                                 int value_length, const XML_Char*, const XML_Char*, const XML_Char*,
                                 const XML_Char* notation) {
  XML_Parser parser = static_cast<ParseState*>(user)->parser;
  bool flat = BRX_EXPAT_LIMITS_AMPLIFICATION && !is_parameter_entity && value && !notation;
  for (int i = 0; flat && i < value_length; ++i) {
    if (value[i] != '&') continue;
    int start = i + 1, end = start;
    while (end < value_length && value[end] != ';') ++end;
    flat = IsFlatReference(value + start, end - start);
    i = end;
  }
  if (!flat) XML_StopParser(parser, XML_FALSE);
}

}  // namespace

// ---------------------------------------------------------------------------
// CBrxXMLNode

CBrxXMLNode::CBrxXMLNode(int kind, const wchar_t* name) : kind_(kind), name_(name ? name : L"") {}

CBrxXMLNode::~CBrxXMLNode() {
  // Iterative rather than recursive: a document of many siblings or deep
  // nesting must not exhaust the stack when its tree is freed.
  std::vector<CBrxXMLNode*> pending;
  if (first_child_) pending.push_back(first_child_);
  if (next_sibling_) pending.push_back(next_sibling_);
  first_child_ = next_sibling_ = nullptr;
  while (!pending.empty()) {
    CBrxXMLNode* node = pending.back();
    pending.pop_back();
    if (node->first_child_) pending.push_back(node->first_child_);
    if (node->next_sibling_) pending.push_back(node->next_sibling_);
    node->first_child_ = node->next_sibling_ = nullptr;
    delete node;
  }
}

const wchar_t* CBrxXMLNode::GetAttribute(const wchar_t* name) const {
  if (!name) return nullptr;
  for (size_t i = 0; i + 1 < attributes_.size(); i += 2) {
    if (attributes_[i] == name) return attributes_[i + 1].c_str();
  }
  return nullptr;
}

void CBrxXMLNode::SetValue(const wchar_t* text, size_t length) {
  value_.assign(text ? text : L"", text ? length : 0);
  has_value_ = true;
}

void CBrxXMLNode::AppendValue(const wchar_t* text, size_t length) {
  if (!has_value_) value_.clear();
  value_.append(text, length);
  has_value_ = true;
}

CBrxXMLNode* CBrxXMLNode::FindFirstChild(const wchar_t* name) const {
  if (!name) return nullptr;
  for (CBrxXMLNode* n = first_child_; n; n = n->next_sibling_) {
    if (n->name_ == name) return n;
  }
  return nullptr;
}

CBrxXMLNode* CBrxXMLNode::FindNextSibling(const wchar_t* name) const {
  if (!name) return nullptr;
  for (CBrxXMLNode* n = next_sibling_; n; n = n->next_sibling_) {
    if (n->name_ == name) return n;
  }
  return nullptr;
}

void CBrxXMLNode::AddAttribute(const wchar_t* name, const wchar_t* value) {
  attributes_.emplace_back(name);
  attributes_.emplace_back(value);
}

void CBrxXMLNode::InsertChild(CBrxXMLNode* child) {
  child->parent_ = this;
  if (!first_child_) {
    first_child_ = child;
    return;
  }
  child->next_sibling_ = first_child_->next_sibling_;
  first_child_->next_sibling_ = child;
}

// ---------------------------------------------------------------------------
// CBrxXMLReader

CBrxXMLReader::CBrxXMLReader() : root_(new CBrxXMLNode(XML_NODE_ELEMENT, kDocRoot)) {}

CBrxXMLReader::~CBrxXMLReader() { delete root_; }

void CBrxXMLReader::Reset() {
  delete root_;
  loaded_ = false;
  root_ = new CBrxXMLNode(XML_NODE_ELEMENT, kDocRoot);
}

int CBrxXMLReader::Load(const void* bytes, size_t length) {
  Reset();
  // expat takes an int length; a larger buffer is refused, not cut.
  if (length > INT_MAX || (!bytes && length != 0)) return kLoadParseError;

  XML_Parser parser = XML_ParserCreate(nullptr);
  if (!parser) return kLoadParseError;
  ParseState state;
  state.parser = parser;
  state.current = root_;
  XML_SetUserData(parser, &state);
  XML_SetElementHandler(parser, OnStartElement, OnEndElement);
  XML_SetCharacterDataHandler(parser, OnCharacterData);
  XML_SetCdataSectionHandler(parser, OnStartCdata, OnEndCdata);
  XML_SetEntityDeclHandler(parser, OnEntityDeclaration);
#if BRX_EXPAT_LIMITS_AMPLIFICATION
  if (!XML_SetBillionLaughsAttackProtectionMaximumAmplification(parser, kMaximumAmplification) ||
      !XML_SetBillionLaughsAttackProtectionActivationThreshold(parser, kAmplificationThreshold)) {
    XML_ParserFree(parser);
    return kLoadParseError;
  }
#endif
  XML_Status status =
      XML_Parse(parser, static_cast<const char*>(bytes), static_cast<int>(length), XML_TRUE);
  XML_ParserFree(parser);
  if (status != XML_STATUS_OK) return kLoadParseError;
  loaded_ = true;
  return kLoadOk;
}

CBrxXMLNode* CBrxXMLReader::FindChild(const CBrxXMLNode* parent, const wchar_t* elementName,
                                      const wchar_t* attributeName,
                                      const wchar_t* attributeValue) const {
  if (!loaded_ || !elementName) return nullptr;
  if (!parent) parent = root_;
  for (CBrxXMLNode* child = parent->first_child(); child; child = child->next_sibling()) {
    if (wcscmp(child->name(), elementName) != 0) continue;
    if (!attributeName || !attributeValue) return child;
    const wchar_t* value = child->GetAttribute(attributeName);
    if (!value) return nullptr;
    if (brx::EqualsIgnoringAsciiCase(value, attributeValue)) return child;
  }
  return nullptr;
}

namespace brx {

const wchar_t* ElementText(const CBrxXMLNode* element) {
  if (!element) return nullptr;
  const CBrxXMLNode* first = element->first_child();
  if (!first || first->kind() != XML_NODE_TEXT) return nullptr;
  return first->GetValue();
}

bool EqualsIgnoringAsciiCase(const wchar_t* a, const wchar_t* b) {
  for (;; ++a, ++b) {
    wchar_t ca = *a, cb = *b;
    if (ca >= L'A' && ca <= L'Z') ca = ca - L'A' + L'a';
    if (cb >= L'A' && cb <= L'Z') cb = cb - L'A' + L'a';
    if (ca != cb) return false;
    if (ca == L'\0') return true;
  }
}

}  // namespace brx
