// The player's own small XML reader: one root element, nested elements with attributes and text,
// comments and a leading declaration. No entities, CDATA, document types or namespaces.
//
//   CXML xml;
//   xml.Load(answer);     // 8-bit text as it arrived; re-encoded by its declared encoding
//   xml.Parse();          // builds the tree; on an error the elements read so far stay
//   xml.Query("result\\mp3\\url\\item", AppendElementText, &urls);
//
// Every text inside the reader is 8-bit: after Load it is in code page 936, whatever the document
// declared (see CConvert). No <windows.h> here: the code-page work is behind ICharsetConverter.
#pragma once
#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <string>

#include "player/online/CharsetConverter.h"

class CXMLElement {
 public:
  CXMLElement() = default;
  explicit CXMLElement(std::string name) : m_strName(std::move(name)) {}
  virtual ~CXMLElement() = default;

  const std::string& GetName() const { return m_strName; }
  const std::string& GetText() const { return m_strText; }
  const std::map<std::string, std::string>& GetAttributes() const { return m_mapAttributes; }
  // False when the element has no attribute of that name.
  bool GetAttribute(const std::string& name, std::string& value) const;

  void SetName(std::string name) { m_strName = std::move(name); }
  void SetText(std::string text) { m_strText = std::move(text); }
  // A repeated attribute name keeps its first value.
  void AddAttribute(std::string name, std::string value);

 private:
  std::string m_strName;
  std::string m_strText;
  std::map<std::string, std::string> m_mapAttributes;
};

// One element's place in the tree. Children are kept in document order.
struct XMLNode {
  CXMLElement m_element;
  XMLNode* m_pNext = nullptr;
  XMLNode* m_pPrev = nullptr;
  XMLNode* m_pFirstChild = nullptr;
  XMLNode* m_pParent = nullptr;
  XMLNode* m_pLastChild = nullptr;  // so that appending stays cheap for long child lists
};

// The node tree. Its top node is a synthetic element "ROOT"; the document's root element becomes
// its first child. The tree owns every node; none is freed before the tree.
class CXMLTree {
 public:
  CXMLTree();
  virtual ~CXMLTree();
  CXMLTree(const CXMLTree&) = delete;
  CXMLTree& operator=(const CXMLTree&) = delete;

  XMLNode* GetTop() { return m_pTop; }
  const XMLNode* GetTop() const { return m_pTop; }
  // Appends a new node for the element at the end of the parent's children.
  XMLNode* AppendChild(XMLNode* parent, CXMLElement element);

 private:
  std::deque<XMLNode> m_nodes;  // a deque keeps node addresses stable as it grows
  XMLNode* m_pTop;
};

// The text scanner: turns the loaded text into a tree.
class CXMLParse {
 public:
  explicit CXMLParse(std::string text) : m_strText(std::move(text)) {}
  virtual ~CXMLParse() = default;

  // Builds the tree under the tree's top node. False on a structural error, with GetError() set
  // to one of the four error texts; the nodes read before the error stay in the tree.
  bool ParseDocument(CXMLTree& tree);
  const std::string& GetError() const { return m_strError; }

  // Next step of the scanner: skips white space, returns the text before the next "<" (without
  // leading blanks) and the text between that "<" and the next ">". False when either is missing.
  bool NextTag(std::string& segment, std::string& tag);
  // Name and attributes of a tag's text ("img name=\"x\""). False when an attribute's value is not
  // quoted or text is left over after the last attribute.
  static bool ReadNameAndAttributes(const std::string& tag, CXMLElement& element);

 private:
  bool ParseContent(const std::string& rootName, CXMLTree& tree);
  bool Fail(const std::string& error);

  std::size_t m_nPos = 0;
  std::string m_strText;
  std::string m_strError;
};

// The error texts (code page 936 bytes).
extern const char* const kXmlErrorNotXml;         // "Error: 不是一个XML文档."
extern const char* const kXmlErrorNoRoot;         // "Error: XML文档中没有根元素."
extern const char* const kXmlErrorRootMismatch;   // "Error: 根元素结束节点不匹配."
// "Error: 没有找到结束标签 </" + name + ">."
std::string XmlEndTagError(const std::string& elementName);

// Called once for every element whose full path matches a query, in document order.
// Returning kXmlQueryStopLevel skips the matched element's remaining siblings.
typedef int (*XmlQueryCallback)(void* context, const XMLNode* node);
constexpr int kXmlQueryStopLevel = 1;

class CXML {
 public:
  // Uses the program's converter, CConvert (defined with it in Convert.cpp: only the Windows
  // build has one).
  CXML();
  // The converter must outlive this object.
  explicit CXML(const ICharsetConverter& converter);
  virtual ~CXML();
  CXML(const CXML&) = delete;
  CXML& operator=(const CXML&) = delete;

  // Starts a new document: reads the declaration, re-encodes the text by its encoding. Always true.
  bool Load(const std::string& text);
  // Builds the tree. False on a structural error (GetLastError() tells which).
  bool Parse();
  // Calls callback(context, node) for every element whose full path is "\ROOT\" + path.
  // Components are separated by single backslashes and compared byte for byte.
  void Query(const std::string& path, XmlQueryCallback callback, void* context) const;

  const std::string& GetLastError() const { return m_strLastError; }
  const CXMLTree& GetTree() const { return *m_pTree; }
  const std::string& GetVersion() const { return m_strVersion; }
  const std::string& GetEncoding() const { return m_strEncoding; }

 private:
  void ReadDeclaration(const std::string& text);

  const ICharsetConverter* m_pConverter;
  std::unique_ptr<CXMLTree> m_pTree;
  std::unique_ptr<CXMLParse> m_pParse;  // only between Load and Parse
  std::string m_strLastError;
  std::string m_strVersion;
  std::string m_strEncoding;
};
