#include "package/xml_reader.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

int LoadText(CBrxXMLReader* reader, const std::string& doc) {
  return reader->Load(doc.data(), doc.size());
}

// Text of the element `name` directly under the document element.
std::wstring TextOf(const CBrxXMLReader& reader, const wchar_t* parent, const wchar_t* name) {
  const CBrxXMLNode* p = reader.FindChild(nullptr, parent);
  const CBrxXMLNode* e = name ? reader.FindChild(p, name) : p;
  const wchar_t* t = brx::ElementText(e);
  return t ? t : L"<none>";
}

std::wstring ChildOrder(const CBrxXMLNode* parent) {
  std::wstring names;
  for (const CBrxXMLNode* c = parent->first_child(); c; c = c->next_sibling()) {
    names += c->name();
    names += L' ';
  }
  return names;
}

TEST(XmlReaderTest, TextIsTakenFromNonBlankPiecesOnly) {
  CBrxXMLReader r;
  ASSERT_EQ(0, LoadText(&r,
                        "<d><a>Hello</a><b>  Hello</b><c>\nHello</c><e>one\ntwo</e>"
                        "<f>one\n  two</f><g>A &amp; B</g><h/><i></i></d>"));
  EXPECT_EQ(L"Hello", TextOf(r, L"d", L"a"));
  EXPECT_EQ(L"<none>", TextOf(r, L"d", L"b"));
  EXPECT_EQ(L"<none>", TextOf(r, L"d", L"c"));
  EXPECT_EQ(L"onetwo", TextOf(r, L"d", L"e"));
  EXPECT_EQ(L"one", TextOf(r, L"d", L"f"));
  // The reference is a piece of its own; " B" starts blank and is dropped.
  EXPECT_EQ(L"A &", TextOf(r, L"d", L"g"));
  EXPECT_EQ(nullptr, r.FindChild(nullptr, L"d")->FindFirstChild(L"h")->first_child());
  EXPECT_EQ(nullptr, r.FindChild(nullptr, L"d")->FindFirstChild(L"i")->first_child());
}

TEST(XmlReaderTest, TextAfterAChildIsLostOrGoesToTheLatestTextNode) {
  CBrxXMLReader r;
  ASSERT_EQ(0, LoadText(&r, "<d><a><b/>text</a><c><e>x</e>y</c></d>"));
  const CBrxXMLNode* a = r.FindChild(r.FindChild(nullptr, L"d"), L"a");
  EXPECT_EQ(L"b ", ChildOrder(a));
  // "y" follows e's end tag and is appended to e's text.
  const CBrxXMLNode* c = r.FindChild(r.FindChild(nullptr, L"d"), L"c");
  EXPECT_EQ(L"xy", std::wstring(brx::ElementText(c->FindFirstChild(L"e"))));
}

TEST(XmlReaderTest, CdataKeepsEveryCharacter) {
  CBrxXMLReader r;
  ASSERT_EQ(0, LoadText(&r, "<a>\n  <![CDATA[ x\n y <&> ]]>  \n</a>"));
  const CBrxXMLNode* a = r.FindChild(nullptr, L"a");
  ASSERT_NE(nullptr, a->first_child());
  EXPECT_STREQ(L"#CDATA", a->first_child()->name());
  EXPECT_EQ(XML_NODE_TEXT, a->first_child()->kind());
  EXPECT_STREQ(L" x\n y <&> ", brx::ElementText(a));
  EXPECT_EQ(a, a->first_child()->parent());
}

TEST(XmlReaderTest, ChildrenAreListedFirstThenNewestFirst) {
  CBrxXMLReader r;
  ASSERT_EQ(0, LoadText(&r, "<r><A/><B/><C/><D/></r>"));
  EXPECT_EQ(L"A D C B ", ChildOrder(r.FindChild(nullptr, L"r")));
}

TEST(XmlReaderTest, FindChildMatchesValuesIgnoringAsciiCaseAndStopsAtMissingAttribute) {
  CBrxXMLReader r;
  ASSERT_EQ(0, LoadText(&r,
                        "<r><dup><m k='1'/><m k='2' n='first'/><m k='2' n='last'/></dup>"
                        "<two><m k='2' n='first'/><m k='2' n='second'/></two>"
                        "<gap><m k='x'/><m/><m k='y'/></gap>"
                        "<case><m k='EN' Name='v'/><m k='\xC3\x89'/></case></r>"));
  const CBrxXMLNode* root = r.FindChild(nullptr, L"r");
  // After a first child, the last duplicate in document order comes first.
  EXPECT_STREQ(L"last", r.FindChild(r.FindChild(root, L"dup"), L"m", L"k", L"2")->GetAttribute(L"n"));
  EXPECT_STREQ(L"first", r.FindChild(r.FindChild(root, L"two"), L"m", L"k", L"2")->GetAttribute(L"n"));
  // List order is x, y, (none): y is found before the bare m, x is not.
  const CBrxXMLNode* gap = r.FindChild(root, L"gap");
  EXPECT_NE(nullptr, r.FindChild(gap, L"m", L"k", L"Y"));
  EXPECT_EQ(nullptr, r.FindChild(gap, L"m", L"k", L"z"));
  EXPECT_NE(nullptr, r.FindChild(gap, L"m", L"k", L"X"));  // x is the first child
  const CBrxXMLNode* c = r.FindChild(root, L"case");
  EXPECT_NE(nullptr, r.FindChild(c, L"m", L"k", L"en"));
  EXPECT_EQ(nullptr, r.FindChild(c, L"M"));
  EXPECT_EQ(nullptr, r.FindChild(c, L"m")->GetAttribute(L"name"));
  // Only A to Z fold: U+00C9 does not match U+00E9.
  EXPECT_EQ(nullptr, r.FindChild(c, L"m", L"k", L"\x00E9"));
  EXPECT_NE(nullptr, r.FindChild(c, L"m", L"k", L"\x00C9"));
  // Without both attribute arguments the match is by name alone.
  EXPECT_NE(nullptr, r.FindChild(gap, L"m", L"k", nullptr));
}

TEST(XmlReaderTest, EncodingsFollowTheDocument) {
  CBrxXMLReader r;
  // UTF-8 without a declaration.
  ASSERT_EQ(0, LoadText(&r, "<a>caf\xC3\xA9</a>"));
  EXPECT_EQ(L"caf\x00E9", TextOf(r, L"a", nullptr));

  const char16_t* text = u"<a v='\u00E9'>\u65E5\u672C</a>";
  std::string le = "\xFF\xFE", be = "\xFE\xFF";
  for (const char16_t* p = text; *p; ++p) {
    le += static_cast<char>(*p & 0xFF);
    le += static_cast<char>(*p >> 8);
    be += static_cast<char>(*p >> 8);
    be += static_cast<char>(*p & 0xFF);
  }
  for (const std::string& doc : {le, be}) {
    ASSERT_EQ(0, LoadText(&r, doc));
    EXPECT_EQ(L"\x65E5\x672C", TextOf(r, L"a", nullptr));
    EXPECT_STREQ(L"\x00E9", r.FindChild(nullptr, L"a")->GetAttribute(L"v"));
  }
  // Declared UTF-16LE without a byte-order mark.
  std::string decl;
  for (char c : std::string("<?xml version='1.0' encoding='UTF-16LE'?><a>x</a>")) {
    decl += c;
    decl += '\0';
  }
  ASSERT_EQ(0, LoadText(&r, decl));
  EXPECT_EQ(L"x", TextOf(r, L"a", nullptr));

  ASSERT_EQ(0, LoadText(&r, "<?xml version='1.0' encoding='ISO-8859-1'?><a>caf\xE9</a>"));
  EXPECT_EQ(L"caf\x00E9", TextOf(r, L"a", nullptr));
  ASSERT_EQ(0, LoadText(&r, "<?xml version='1.0' encoding='US-ASCII'?><a>x</a>"));
  EXPECT_EQ(5, LoadText(&r, "<?xml version='1.0' encoding='windows-1252'?><a>x</a>"));
}

TEST(XmlReaderTest, MalformedInputLeavesNothingToFind) {
  CBrxXMLReader r;
  for (const char* doc : {"<a><b></a>", "<a><![CDATA[x</a>", "", "<a>\xFF</a>", "<a/><b/>"}) {
    EXPECT_EQ(5, LoadText(&r, doc)) << doc;
    EXPECT_FALSE(r.loaded());
    EXPECT_EQ(nullptr, r.FindChild(nullptr, L"a"));
  }
  // The reader recovers with the next good document.
  ASSERT_EQ(0, LoadText(&r, "<a>ok</a>"));
  EXPECT_EQ(L"ok", TextOf(r, L"a", nullptr));
  r.Reset();
  EXPECT_EQ(nullptr, r.FindChild(nullptr, L"a"));
}

// Flat internal entities (text such as "&#174;") load; what could expand
// beyond a few times the document, read files or rewrite the DTD does not.
TEST(XmlReaderTest, FlatInternalEntitiesLoadOthersAreRefused) {
  // Nested deep enough to overflow the stack of a parser build that expands
  // entities recursively.
  std::string nested = "<!DOCTYPE a [<!ENTITY e0 \"x\">";
  for (int i = 1; i < 10000; ++i) {
    nested += "<!ENTITY e" + std::to_string(i) + " \"&e" + std::to_string(i - 1) + ";\">";
  }
  nested += "]><a>&e9999;</a>";
  const std::string big = "<!DOCTYPE a [<!ENTITY big \"" + std::string(100000, 'x') + "\">]><a>";
  auto references = [](int n) {
    std::string refs;
    for (int i = 0; i < n; ++i) refs += "&big;";
    return refs + "</a>";
  };
  struct Case {
    std::string doc;
    int result;
    std::wstring text;  // of a, when loaded
  } cases[] = {
      {"<!DOCTYPE brx_package [<!ENTITY reg \"&#174;\">]><a>Orvane&reg;</a>", 0, L"Orvane\u00ae"},
      {"<!DOCTYPE a [<!ENTITY co \"Orvane&amp;Co\">]><a>&co;</a>", 0, L"Orvane&Co"},
      {"<!DOCTYPE a [<!ELEMENT a (#PCDATA)><!ENTITY x \"y\">]><a>&x;&x;</a>", 0, L"yy"},
      {big + references(3), 0, std::wstring(300000, L'x')},
      // Linear expansion far past the document's own size.
      {big + references(200), 5, L""},
      {nested, 5, L""},
      {"<!DOCTYPE a [<!ENTITY x \"y\"><!ENTITY z \"&x;\">]><a>&z;</a>", 5, L""},
      {"<!DOCTYPE a [<!ENTITY z \"&#38;z;\">]><a>&z;</a>", 5, L""},
      {"<!DOCTYPE a [<!ENTITY % p \"<!ENTITY x 'y'>\"> %p;]><a/>", 5, L""},
      {"<!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><a>&x;</a>", 5, L""},
      {"<!DOCTYPE a [<!NOTATION n SYSTEM \"n\"><!ENTITY u SYSTEM \"u\" NDATA n>]><a/>", 5, L""},
  };
  CBrxXMLReader r;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.doc.substr(0, 70));
    ASSERT_EQ(c.result, LoadText(&r, c.doc));
    if (c.result == 0) {
      EXPECT_EQ(c.text, TextOf(r, L"a", nullptr));
    } else {
      EXPECT_EQ(nullptr, r.FindChild(nullptr, L"a"));
    }
  }
  // A document type without declarations still loads.
  ASSERT_EQ(0, LoadText(&r, "<?xml version=\"1.0\"?><!DOCTYPE a><a>ok</a>"));
  EXPECT_EQ(L"ok", TextOf(r, L"a", nullptr));
}

TEST(XmlReaderTest, LargeTreesAreFreedWithoutRecursion) {
  // Deep nesting and long sibling lists would overflow a recursive teardown.
  std::string doc;
  for (int i = 0; i < 200000; ++i) doc += "<n>";
  for (int i = 0; i < 200000; ++i) doc += "</n>";
  doc = "<r>" + doc;
  for (int i = 0; i < 200000; ++i) doc += "<s/>";
  doc += "</r>";
  CBrxXMLReader r;
  ASSERT_EQ(0, LoadText(&r, doc));
  EXPECT_NE(nullptr, r.FindChild(r.FindChild(nullptr, L"r"), L"s"));
}

}  // namespace
