#include "player/online/XmlReader.h"

#include <algorithm>
#include <functional>
#include <vector>

// The error texts are code page 936 bytes, like every other text inside the reader.
// "Error: 不是一个XML文档."
const char* const kXmlErrorNotXml =
    "Error: \xB2\xBB\xCA\xC7\xD2\xBB\xB8\xF6" "XML" "\xCE\xC4\xB5\xB5.";
// "Error: XML文档中没有根元素."
const char* const kXmlErrorNoRoot =
    "Error: XML\xCE\xC4\xB5\xB5\xD6\xD0\xC3\xBB\xD3\xD0\xB8\xF9\xD4\xAA\xCB\xD8.";
// "Error: 根元素结束节点不匹配."
const char* const kXmlErrorRootMismatch =
    "Error: \xB8\xF9\xD4\xAA\xCB\xD8\xBD\xE1\xCA\xF8\xBD\xDA\xB5\xE3\xB2\xBB\xC6\xA5\xC5\xE4.";

std::string XmlEndTagError(const std::string& elementName) {
  // "Error: 没有找到结束标签 </"
  return "Error: \xC3\xBB\xD3\xD0\xD5\xD2\xB5\xBD\xBD\xE1\xCA\xF8\xB1\xEA\xC7\xA9 </" + elementName + ">.";
}

namespace {

const char kDefaultVersion[] = "1.0";
const char kDefaultEncoding[] = "GB2312";
const char kTopName[] = "ROOT";
const char kBlanks[] = " \t\r\n";

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string Strip(const std::string& s) {
  std::size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string::npos) return std::string();
  std::size_t last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

bool Contains(const std::string& text, const std::string& needle) {
  // A searcher rather than string::find: a long root name must not make this quadratic.
  return std::search(text.begin(), text.end(),
                     std::boyer_moore_horspool_searcher(needle.begin(), needle.end())) != text.end();
}

// Line breaks and tabs become blanks, and every comment goes, including the tags inside it.
// A comment without its "-->" takes the rest of the text with it. Removing a comment can join the
// text around it into a new "<!--", which opens a comment in its turn; this single pass gives the
// same result as erasing the first "<!--" ... "-->" again and again, in linear time.
std::string CleanText(const std::string& in) {
  static const char kOpen[] = "<!--";
  std::string out;
  out.reserve(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) {
    char c = in[i];
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    out.push_back(c);
    if (out.size() >= 4 && out.compare(out.size() - 4, 4, kOpen) == 0) {
      out.resize(out.size() - 4);
      std::size_t close = in.find("-->", i + 1);
      if (close == std::string::npos) break;
      i = close + 2;
    }
  }
  return out;
}

// Where the root element is looked for: after the processing instructions ("<?xml ...?>") that
// come before it. A "?>" later in the document (in a text or an attribute) does not count.
std::size_t SkipDeclarations(const std::string& text) {
  std::size_t start = 0;
  for (;;) {
    std::size_t lt = text.find('<', start);
    if (lt == std::string::npos || lt + 1 >= text.size() || text[lt + 1] != '?') return start;
    std::size_t end = text.find("?>", lt + 1);
    if (end == std::string::npos) return start;
    start = end + 2;
  }
}

// The text between the first quote after `from` and the next one at least two characters on,
// double quotes tried before single ones.
std::string QuotedValue(const std::string& s, std::size_t from, const char* fallback) {
  for (char quote : {'"', '\''}) {
    std::size_t open = s.find(quote, from);
    if (open == std::string::npos) continue;
    std::size_t close = s.find(quote, open + 2);
    if (close == std::string::npos) continue;
    return s.substr(open + 1, close - open - 1);
  }
  return fallback;
}

}  // namespace

bool CXMLElement::GetAttribute(const std::string& name, std::string& value) const {
  auto it = m_mapAttributes.find(name);
  if (it == m_mapAttributes.end()) return false;
  value = it->second;
  return true;
}

void CXMLElement::AddAttribute(std::string name, std::string value) {
  m_mapAttributes.emplace(std::move(name), std::move(value));  // keeps an existing value
}

CXMLTree::CXMLTree() {
  m_nodes.emplace_back();
  m_pTop = &m_nodes.back();
  m_pTop->m_element.SetName(kTopName);
}

CXMLTree::~CXMLTree() = default;

XMLNode* CXMLTree::AppendChild(XMLNode* parent, CXMLElement element) {
  m_nodes.emplace_back();
  XMLNode* node = &m_nodes.back();
  node->m_element = std::move(element);
  node->m_pParent = parent;
  if (parent->m_pLastChild) {
    parent->m_pLastChild->m_pNext = node;
    node->m_pPrev = parent->m_pLastChild;
  } else {
    parent->m_pFirstChild = node;
  }
  parent->m_pLastChild = node;
  return node;
}

bool CXMLParse::Fail(const std::string& error) {
  m_strError = error;
  return false;
}

bool CXMLParse::NextTag(std::string& segment, std::string& tag) {
  const std::size_t size = m_strText.size();
  while (m_nPos < size && IsSpace(m_strText[m_nPos])) ++m_nPos;
  if (m_nPos >= size) return false;
  std::size_t lt = m_strText.find('<', m_nPos);
  if (lt == std::string::npos) return false;
  std::size_t gt = m_strText.find('>', lt + 1);
  if (gt == std::string::npos) return false;
  segment.assign(m_strText, m_nPos, lt - m_nPos);
  tag.assign(m_strText, lt + 1, gt - lt - 1);
  m_nPos = gt + 1;
  return true;
}

bool CXMLParse::ReadNameAndAttributes(const std::string& tagText, CXMLElement& element) {
  const std::string tag = Strip(tagText);
  std::size_t nameEnd = tag.find_first_of(kBlanks);
  element.SetName(tag.substr(0, nameEnd));
  if (nameEnd == std::string::npos) return true;

  std::size_t pos = nameEnd;
  for (;;) {
    std::size_t eq = tag.find('=', pos);
    if (eq == std::string::npos) break;
    // A value closes with the kind of quote that opened it, so 'a "b"' reads whole.
    std::size_t open = tag.find_first_of("\"'", eq + 1);
    if (open == std::string::npos) return false;
    std::size_t close = tag.find(tag[open], open + 1);
    if (close == std::string::npos) return false;
    element.AddAttribute(Strip(tag.substr(pos, eq - pos)), Strip(tag.substr(open + 1, close - open - 1)));
    pos = close + 1;
  }
  return Strip(tag.substr(pos)).empty();
}

bool CXMLParse::ParseDocument(CXMLTree& tree) {
  m_strText = CleanText(m_strText);
  m_nPos = SkipDeclarations(m_strText);

  std::size_t lt = m_strText.find('<', m_nPos);
  if (lt == std::string::npos) return Fail(kXmlErrorNotXml);
  std::size_t gt = m_strText.find('>', lt + 1);
  if (gt == std::string::npos || gt == lt + 1) return Fail(kXmlErrorNoRoot);
  // The root's attributes are not read; an empty-element root keeps its "/" and fails below.
  std::string rootName = m_strText.substr(lt + 1, gt - lt - 1);
  rootName.erase(std::min(rootName.find(' '), rootName.size()));
  m_nPos = gt + 1;
  if (!Contains(m_strText, "/" + rootName)) return Fail(kXmlErrorRootMismatch);

  bool ok = ParseContent(rootName, tree);
  m_strText.clear();
  m_nPos = 0;
  return ok;
}

bool CXMLParse::ParseContent(const std::string& rootName, CXMLTree& tree) {
  // Open elements on a stack of our own rather than by recursion: the document decides the depth.
  std::vector<XMLNode*> open;
  open.push_back(tree.AppendChild(tree.GetTop(), CXMLElement(rootName)));
  std::string segment, tag;
  while (!open.empty()) {
    XMLNode* current = open.back();
    const std::string& name = current->m_element.GetName();
    if (!NextTag(segment, tag)) return Fail(XmlEndTagError(name));
    // With mixed content the last segment before a tag wins.
    if (!segment.empty()) current->m_element.SetText(segment);

    if (!tag.empty() && tag[0] == '/') {
      if (tag.compare(1, std::string::npos, name) != 0) return Fail(XmlEndTagError(name));
      open.pop_back();
    } else if (!tag.empty() && tag.back() == '/') {
      CXMLElement child;
      if (!ReadNameAndAttributes(tag.substr(0, tag.size() - 1), child)) return Fail(XmlEndTagError(name));
      tree.AppendChild(current, std::move(child));
    } else {
      CXMLElement child;
      if (!ReadNameAndAttributes(tag, child)) continue;  // an unreadable opening tag is skipped
      open.push_back(tree.AppendChild(current, std::move(child)));
    }
  }
  return true;
}

CXML::CXML(const ICharsetConverter& converter)
    : m_pConverter(&converter),
      m_pTree(new CXMLTree),
      m_strVersion(kDefaultVersion),
      m_strEncoding(kDefaultEncoding) {}

CXML::~CXML() = default;

bool CXML::Load(const std::string& text) {
  m_pTree.reset(new CXMLTree);
  m_strLastError.clear();
  // Every document starts from the defaults: one object may read several documents.
  m_strVersion = kDefaultVersion;
  m_strEncoding = kDefaultEncoding;
  ReadDeclaration(text);
  m_pParse.reset(new CXMLParse(m_pConverter->ConvertCharset(text.data(), text.size(), m_strEncoding)));
  return true;
}

void CXML::ReadDeclaration(const std::string& text) {
  // Only the leading "<?xml ... ?>" declares anything; the same words in the body do not.
  std::size_t lt = text.find('<');
  if (lt == std::string::npos || text.compare(lt, 5, "<?xml") != 0) return;
  std::size_t end = text.find("?>", lt + 5);
  if (end == std::string::npos) return;
  const std::string declaration = text.substr(lt, end - lt);

  static const char kVersion[] = "version";
  static const char kEncoding[] = "encoding";
  std::size_t at = declaration.find(kVersion);
  if (at == std::string::npos) return;
  m_strVersion = QuotedValue(declaration, at + sizeof kVersion - 1, kDefaultVersion);
  at = declaration.find(kEncoding);
  if (at == std::string::npos) return;
  m_strEncoding = QuotedValue(declaration, at + sizeof kEncoding - 1, kDefaultEncoding);
}

bool CXML::Parse() {
  if (!m_pParse) {  // nothing loaded, or this text was parsed already
    m_strLastError = kXmlErrorNotXml;
    return false;
  }
  bool ok = m_pParse->ParseDocument(*m_pTree);
  m_strLastError = m_pParse->GetError();
  m_pParse.reset();
  return ok;
}

void CXML::Query(const std::string& path, XmlQueryCallback callback, void* context) const {
  if (!callback) return;
  const std::string wanted = "\\" + std::string(kTopName) + "\\" + path;
  // A walk with a stack of sibling cursors, one per level; `current` is the path of the node
  // being looked at. Only nodes whose path leads towards the wanted one are entered.
  struct Level {
    const XMLNode* next;
    std::size_t pathLength;
  };
  const XMLNode* top = m_pTree->GetTop();
  std::string current = "\\" + top->m_element.GetName();
  std::vector<Level> levels{{top->m_pFirstChild, current.size()}};
  while (!levels.empty()) {
    Level& level = levels.back();
    const XMLNode* node = level.next;
    if (!node) {
      levels.pop_back();
      continue;
    }
    level.next = node->m_pNext;
    current.resize(level.pathLength);
    current += '\\';
    current += node->m_element.GetName();
    if (current == wanted) {
      // The matched element's own children are not searched.
      if (callback(context, node) == kXmlQueryStopLevel) level.next = nullptr;
    } else if (node->m_pFirstChild && wanted.size() > current.size() &&
               wanted.compare(0, current.size(), current) == 0 && wanted[current.size()] == '\\') {
      levels.push_back({node->m_pFirstChild, current.size()});
    }
  }
}
