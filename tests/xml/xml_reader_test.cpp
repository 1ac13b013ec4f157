// The XML reader: content rules, path queries, declarations and errors. Documents here are ASCII
// without a declaration (read as GB2312, so not re-encoded) unless a case says otherwise.
#include <doctest/doctest.h>

#include <map>
#include <string>
#include <vector>

#include "XmlTestHelpers.h"
#include "player/online/XmlReader.h"

using Strings = std::vector<std::string>;

TEST_CASE("queries report every element at the full path, in document order") {
  struct Case {
    const char* name;
    const char* doc;
    const char* path;
    Strings expected;
  };
  const Case cases[] = {
      {"two items under url", "<result><mp3><url><item>a</item><item>b</item></url></mp3></result>",
       R"(result\mp3\url\item)", {"a", "b"}},
      {"paths are anchored at the document root", "<result><mp3><url><item>a</item></url></mp3></result>",
       "mp3", {}},
      {"an inner path alone finds nothing either", "<result><mp3><url><item>a</item></url></mp3></result>",
       R"(mp3\url\item)", {}},
      {"items under every mp3 element",
       "<result><mp3><url><item>a</item><item>b</item></url></mp3><x><item>no</item></x>"
       "<mp3><url><item>c</item></url><url><item>d</item></url></mp3></result>",
       R"(result\mp3\url\item)", {"a", "b", "c", "d"}},
      {"names compare case-sensitively", "<result><MP3><url><item>a</item></url></MP3></result>",
       R"(result\mp3\url\item)", {}},
      {"the document element itself", "<result><a>1</a></result>", "result", {""}},
      {"a matched element's children are not searched", "<r><r>x<r>y</r></r></r>", "r", {""}},
      {"an element of the same name one level down", "<r><r>x<r>y</r></r></r>", R"(r\r)", {"x"}},
      {"last text segment wins with mixed content", "<r><e>x<c/>y</e></r>", R"(r\e)", {"y"}},
      {"a segment keeps trailing blanks, loses leading ones", "<r><e>   x  <c/></e></r>", R"(r\e)", {"x  "}},
      {"text before a child element stays when nothing follows it", "<r><e>x<c>z</c></e></r>", R"(r\e)", {"x"}},
      {"an empty element has no text", "<r><e/><e>t</e></r>", R"(r\e)", {"", "t"}},
      {"an empty element with attributes", "<r><img src=\"a.png\" /></r>", R"(r\img)", {""}},
      {"line breaks and tabs become blanks", "<r>\r\n\t<e>a\tb\r\nc</e>\r\n</r>", R"(r\e)", {"a b  c"}},
      {"a comment goes with the tags inside it", "<r><e>a<!-- <e>b</e> --></e></r>", R"(r\e)", {"a"}},
      {"several comments", "<!--x--><r><!--<e>0</e>--><e>1</e><!----><e>2</e></r><!-- -->", R"(r\e)",
       {"1", "2"}},
      {"a comment that spans elements", "<r><e>1</e><!-- <e>2</e> --><e>3</e></r>", R"(r\e)", {"1", "3"}},
      {"removing a comment can join a new one", "<r><e>a<!<!-- x -->-- <e>b</e> --></e></r>", R"(r\e)",
       {"a"}},
      {"\"<!-->\" does not close itself", "<r><e>a<!--> <e>b</e> --></e></r>", R"(r\e)", {"a"}},
      {"an unreadable opening tag is skipped", "<r><e>1</e><bad a=x><e>2</e></r>", R"(r\e)", {"1", "2"}},
      {"the root's attributes are not read", "<result code=\"0\" x><a>1</a></result>", R"(result\a)", {"1"}},
      {"declaration and other processing instructions before the root",
       "<?xml version=\"1.0\"?> <?style x?>\r\n<r><e>v</e></r>", R"(r\e)", {"v"}},
      {"\"?>\" inside the body is text", "<?xml version=\"1.0\"?><r><e>a?>b</e><e>c</e></r>", R"(r\e)",
       {"a?>b", "c"}},
      {"anything after the root is ignored", "<r><e>1</e></r><e>2</e>", R"(r\e)", {"1"}},
      {"a backslash path into deeper levels", "<a><b><c><d>deep</d></c></b></a>", R"(a\b\c\d)", {"deep"}},
  };
  for (const Case& c : cases) {
    CAPTURE(std::string(c.name));
    ParsedXml p(c.doc);
    CHECK(p.ok);
    CHECK(Texts(p.xml, c.path) == c.expected);
  }
}

TEST_CASE("a callback returning 1 skips the rest of its level, other branches go on") {
  ParsedXml p(
      "<result><mp3><url><item>a</item><item>b</item></url><url><item>c</item></url></mp3>"
      "<mp3><url><item>d</item><item>e</item></url></mp3></result>");
  REQUIRE(p.ok);
  Strings seen;
  p.xml.Query(R"(result\mp3\url\item)",
              [](void* context, const XMLNode* node) {
                static_cast<Strings*>(context)->push_back(node->m_element.GetText());
                return kXmlQueryStopLevel;
              },
              &seen);
  CHECK(seen == Strings{"a", "c", "d"});

  // A null callback is ignored.
  p.xml.Query(R"(result\mp3\url\item)", nullptr, nullptr);
}

TEST_CASE("matched nodes give their place in the tree") {
  ParsedXml p("<result><mp3 id=\"7\"><name>n</name><url><item>a</item><item>b</item></url></mp3></result>");
  REQUIRE(p.ok);
  std::vector<const XMLNode*> nodes;
  p.xml.Query(R"(result\mp3\url\item)",
              [](void* context, const XMLNode* node) {
                static_cast<std::vector<const XMLNode*>*>(context)->push_back(node);
                return 0;
              },
              &nodes);
  REQUIRE(nodes.size() == 2);
  CHECK(nodes[0]->m_pNext == nodes[1]);
  CHECK(nodes[1]->m_pPrev == nodes[0]);
  CHECK(nodes[0]->m_pPrev == nullptr);
  CHECK(nodes[1]->m_pNext == nullptr);
  const XMLNode* url = nodes[0]->m_pParent;
  CHECK(url->m_element.GetName() == "url");
  CHECK(url->m_pFirstChild == nodes[0]);
  const XMLNode* mp3 = url->m_pParent;
  std::string id;
  CHECK(mp3->m_element.GetAttribute("id", id));
  CHECK(id == "7");
  CHECK(mp3->m_pParent->m_element.GetName() == "result");
  CHECK(mp3->m_pParent->m_pParent->m_element.GetName() == "ROOT");
  CHECK(mp3->m_pParent->m_pParent->m_pParent == nullptr);
}

TEST_CASE("name and attributes of a tag") {
  using Attributes = std::map<std::string, std::string>;
  struct Case {
    const char* tag;
    bool ok;
    const char* name;
    Attributes attributes;
  };
  const Case cases[] = {
      {"img", true, "img", {}},
      {"  img  ", true, "img", {}},
      {"img src=\"a.png\"", true, "img", {{"src", "a.png"}}},
      {"img  src = \" a b \"   alt='x' ", true, "img", {{"src", "a b"}, {"alt", "x"}}},
      {"a x=\"1\" x=\"2\"", true, "a", {{"x", "1"}}},  // the first value of a repeated name stays
      {"a z=\"1\" b=\"2\" m=\"3\"", true, "a", {{"b", "2"}, {"m", "3"}, {"z", "1"}}},
      {"a x=\"1\"y=\"2\"", true, "a", {{"x", "1"}, {"y", "2"}}},
      {"a x='say \"hi\"'", true, "a", {{"x", "say \"hi\""}}},
      {"a x=\"it's\" y='z'", true, "a", {{"x", "it's"}, {"y", "z"}}},
      {"a x=\"\"", true, "a", {{"x", ""}}},
      {"a x=\"a=b\"", true, "a", {{"x", "a=b"}}},
      {"a x=1", false, "a", {}},          // unquoted value
      {"a x=\"1", false, "a", {}},        // value not closed
      {"a x='1\"", false, "a", {}},       // closed with the other quote
      {"a x=\"1\" junk", false, "a", {}}, // text left after the last pair
      {"a junk", false, "a", {}},
  };
  for (const Case& c : cases) {
    CAPTURE(std::string(c.tag));
    CXMLElement element;
    CHECK(CXMLParse::ReadNameAndAttributes(c.tag, element) == c.ok);
    CHECK(element.GetName() == c.name);
    if (c.ok) CHECK(element.GetAttributes() == c.attributes);
  }
}

TEST_CASE("attributes read from a document, first value of a repeated name wins") {
  ParsedXml p("<Skin><MainDlg><img name='b' name=\"c\" file=\"x.png\" /><img  /></MainDlg></Skin>");
  REQUIRE(p.ok);
  std::vector<std::map<std::string, std::string>> seen;
  p.xml.Query(R"(Skin\MainDlg\img)",
              [](void* context, const XMLNode* node) {
                static_cast<std::vector<std::map<std::string, std::string>>*>(context)->push_back(
                    node->m_element.GetAttributes());
                return 0;
              },
              &seen);
  REQUIRE(seen.size() == 2);
  CHECK(seen[0] == std::map<std::string, std::string>{{"file", "x.png"}, {"name", "b"}});
  CHECK(seen[1].empty());
}

TEST_CASE("structural errors give one of the four texts and keep the elements read before") {
  const std::wstring notXml = L"Error: 不是一个XML文档.";
  const std::wstring noRoot = L"Error: XML文档中没有根元素.";
  const std::wstring mismatch = L"Error: 根元素结束节点不匹配.";
  auto endTag = [](const wchar_t* name) { return std::wstring(L"Error: 没有找到结束标签 </") + name + L">."; };
  struct Case {
    const char* doc;
    std::wstring error;
    Strings items;  // texts at r\e that survive the error
  };
  const Case cases[] = {
      {"", notXml, {}},
      {"just some text", notXml, {}},
      {"<?xml version=\"1.0\" encoding=\"gb2312\"?>  ", notXml, {}},
      {"<!-- <r><e>1</e></r> -->", notXml, {}},
      {"<r", noRoot, {}},
      {"<>", noRoot, {}},
      {"<?xml version=\"1.0\"?><>", noRoot, {}},
      {"<r/>", mismatch, {}},  // the root's name keeps its "/"
      {"<r><e>1</e></x>", mismatch, {}},
      {"<r><e>1</e>", mismatch, {}},            // "/r" nowhere in the text
      {"<r><e>1</e><!-- </r>", mismatch, {}},   // an open comment takes the rest, "</r>" with it
      {"<r><e>1</e><e>2</r", endTag(L"e"), {"1", ""}},  // "2" is no segment: its tag never closes
      {"<r><e>1</e><e>2</e></r", endTag(L"r"), {"1", "2"}},
      {"<r><e>1</e><e>2</x></r>", endTag(L"e"), {"1", "2"}},
      {"<r><e>1</e></r >", endTag(L"r"), {"1"}},
      {"<r><e>1</e><e x=\"1></e></r>", endTag(L"r"), {"1"}},  // opening tag skipped, "</e>" then ends r
      {"<r><e>1</e><img src=\"a/></r>", endTag(L"r"), {"1"}},  // an unreadable empty element fails
      {"<r><e>1</e>trailing /r text", endTag(L"r"), {"1"}},
      {"<r><e>1<e>2</e></r>", endTag(L"e"), {"1"}},
      {"<r></></r>", endTag(L"r"), {}},
  };
  for (const Case& c : cases) {
    CAPTURE(std::string(c.doc));
    ParsedXml p(c.doc);
    CHECK_FALSE(p.ok);
    CHECK(FromGbk(p.xml.GetLastError()) == c.error);
    CHECK(Texts(p.xml, R"(r\e)") == c.items);
  }
}

TEST_CASE("the error texts are code page 936 bytes") {
  CHECK(std::string(kXmlErrorNotXml) == Gbk(L"Error: 不是一个XML文档."));
  CHECK(std::string(kXmlErrorNoRoot) == Gbk(L"Error: XML文档中没有根元素."));
  CHECK(std::string(kXmlErrorRootMismatch) == Gbk(L"Error: 根元素结束节点不匹配."));
  CHECK(XmlEndTagError("item") == Gbk(L"Error: 没有找到结束标签 </item>."));
}

TEST_CASE("a successful parse leaves no error") {
  ParsedXml p("<r><e>1</e></r>");
  CHECK(p.ok);
  CHECK(p.xml.GetLastError().empty());
}

TEST_CASE("parse order: without a load, twice, and a new load after a failure") {
  CXML xml;
  CHECK_FALSE(xml.Parse());  // nothing loaded
  CHECK(xml.GetLastError() == kXmlErrorNotXml);
  CHECK(Texts(xml, "r").empty());

  CHECK(xml.Load("<r><e>1</e></r"));
  CHECK_FALSE(xml.Parse());
  CHECK(Texts(xml, R"(r\e)") == Strings{"1"});

  CHECK(xml.Load("<r><e>2</e></r>"));
  CHECK(xml.Parse());
  CHECK(xml.GetLastError().empty());
  CHECK(Texts(xml, R"(r\e)") == Strings{"2"});  // the old tree is gone

  // The text is used up by the first parse; a second one adds nothing to the tree.
  CHECK_FALSE(xml.Parse());
  CHECK(Texts(xml, R"(r\e)") == Strings{"2"});
}

TEST_CASE("the declaration gives version and encoding") {
  struct Case {
    const char* doc;
    const char* version;
    const char* encoding;
  };
  const Case cases[] = {
      {"<r></r>", "1.0", "GB2312"},
      {"<?xml version=\"1.0\" encoding=\"utf-8\"?><r></r>", "1.0", "utf-8"},
      {"<?xml version='1.1' encoding='UTF-8' ?><r></r>", "1.1", "UTF-8"},
      {"<?xml version=\"1.0\" encoding='gb2312'?><r></r>", "1.0", "gb2312"},
      {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?><r></r>", "1.0", "utf-8"},  // byte-order mark
      {"\r\n <?xml version=\"1.0\"\r\n encoding=\"big5\"?><r></r>", "1.0", "big5"},
      {"<?xml version=\"1.0\"?><r></r>", "1.0", "GB2312"},
      {"<?xml encoding=\"utf-8\"?><r></r>", "1.0", "GB2312"},  // read only after a version
      {"<?xml version=1.0 encoding=utf-8?><r></r>", "1.0", "GB2312"},  // unquoted
      {"<?xml version=\"2\" encoding=\"utf-8\"?><r></r>", "2", "utf-8"},
      // The same words in the body declare nothing.
      {"<r version=\"9\"><e encoding=\"utf-8\"></e></r>", "1.0", "GB2312"},
      {"<?xml version=\"1.0\"?><r><e encoding=\"utf-8\"></e></r>", "1.0", "GB2312"},
      {"<?xml version=\"1.0\" encoding=\"utf-8\"", "1.0", "GB2312"},  // never closed
  };
  for (const Case& c : cases) {
    CAPTURE(std::string(c.doc));
    CXML xml;
    xml.Load(c.doc);
    CHECK(xml.GetVersion() == c.version);
    CHECK(xml.GetEncoding() == c.encoding);
  }
}

TEST_CASE("each load starts from the default version and encoding") {
  CXML xml;
  xml.Load("<?xml version=\"1.1\" encoding=\"utf-8\"?><r></r>");
  CHECK(xml.GetEncoding() == "utf-8");
  xml.Load("<r></r>");
  CHECK(xml.GetVersion() == "1.0");
  CHECK(xml.GetEncoding() == "GB2312");
}

TEST_CASE("every cut of a service answer parses safely") {
  const std::string doc =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<result>\r\n <!-- song -->\r\n <mp3 id=\"12\">\r\n"
      "  <musicName>Moon</musicName>\r\n  <musicSize>3:45</musicSize>\r\n  <url>\r\n"
      "   <item>http://127.0.0.1/a.mp3</item>\r\n   <item>http://127.0.0.1/b.mp3</item>\r\n"
      "  </url>\r\n  <img src='x' />\r\n </mp3>\r\n</result>\r\n";
  const std::string errors[] = {kXmlErrorNotXml, kXmlErrorNoRoot, kXmlErrorRootMismatch};
  for (size_t cut = 0; cut <= doc.size(); ++cut) {
    CAPTURE(cut);
    ParsedXml p(doc.substr(0, cut));
    if (p.ok) {
      CHECK(p.xml.GetLastError().empty());
    } else {
      const std::string& e = p.xml.GetLastError();
      bool known = e == errors[0] || e == errors[1] || e == errors[2] ||
                   e.rfind(XmlEndTagError("").substr(0, XmlEndTagError("").size() - 2), 0) == 0;
      CHECK(known);
    }
    CHECK(Texts(p.xml, R"(result\mp3\url\item)").size() <= 2);
  }
  ParsedXml whole(doc);
  CHECK(whole.ok);
  CHECK(Texts(whole.xml, R"(result\mp3\url\item)") == Strings{"http://127.0.0.1/a.mp3", "http://127.0.0.1/b.mp3"});
}

TEST_CASE("hostile shapes: deep nesting, long sibling lists, odd bytes") {
  const int depth = 200000;
  std::string deep;
  for (int i = 0; i < depth; ++i) deep += "<a>";
  deep += "x";
  const std::string unclosed = deep + "</a";

  SUBCASE("deeply nested, never closed") {
    ParsedXml p(unclosed);
    CHECK_FALSE(p.ok);
    CHECK(p.xml.GetLastError() == XmlEndTagError("a"));
  }
  SUBCASE("deeply nested and closed") {
    std::string closed = deep;
    for (int i = 0; i < depth; ++i) closed += "</a>";
    ParsedXml p(closed);
    CHECK(p.ok);
    std::string path = "a";
    for (int i = 1; i < depth; ++i) path += "\\a";
    CHECK(Texts(p.xml, path) == Strings{"x"});
  }
  SUBCASE("many siblings") {
    std::string wide = "<r>";
    for (int i = 0; i < depth; ++i) wide += "<e>" + std::to_string(i) + "</e>";
    wide += "</r>";
    ParsedXml p(wide);
    CHECK(p.ok);
    Strings texts = Texts(p.xml, R"(r\e)");
    REQUIRE(texts.size() == (size_t)depth);
    CHECK(texts.front() == "0");
    CHECK(texts.back() == std::to_string(depth - 1));
  }
  SUBCASE("zero bytes and high bytes") {
    const std::string odd[] = {
        std::string("<r><e>a\0b</e></r>", 17), std::string("\0\0\0", 3), "<\xFF\xFE>\x80</\xFF\xFE>",
        "<r><e>\x81</e></r>", "<<<<>>>>", "</r>", "<r></r></r>", "<r>>>><e>1</e></r>", "<r <e>1</e></r>",
    };
    for (const std::string& doc : odd) {
      CAPTURE(doc);
      ParsedXml p(doc);
      (void)Texts(p.xml, R"(r\e)");
    }
  }
}
