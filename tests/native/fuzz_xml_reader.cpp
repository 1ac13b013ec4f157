// Fuzz target for the XML reader: any input must load, parse and query without a crash, leak or
// undefined behaviour, report a failure only with one of its error texts, build a consistent tree,
// and answer a path query exactly as a plain walk over the tree does.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "player/online/XmlReader.h"

namespace {

// Stands in for the program's converter: "utf-8" documents are decoded and narrowed to Latin-1
// ('?' for anything beyond it or undecodable), so the parser sees text of another length than
// the input, as it does with the real conversion; every other name leaves the text alone.
class StandInConverter : public ICharsetConverter {
 public:
  std::string ConvertCharset(const char* bytes, std::size_t length, const std::string& encoding) const override {
    std::string name;
    for (char c : encoding) name += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    if (name != "utf-8") return std::string(bytes, length);
    std::string out;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    std::size_t i = 0;
    while (i < length) {
      unsigned c = p[i];
      std::size_t extra = c < 0x80 ? 0 : (c >= 0xC2 && c <= 0xDF) ? 1 : (c >= 0xE0 && c <= 0xEF) ? 2
                        : (c >= 0xF0 && c <= 0xF4) ? 3 : 99;
      if (extra == 99 || (extra > 0 && i + extra >= length)) {
        out += '?';
        ++i;
        continue;
      }
      unsigned cp = extra == 0 ? c : c & (0x3F >> extra);
      bool ok = true;
      for (std::size_t k = 1; k <= extra; ++k) {
        if ((p[i + k] & 0xC0) != 0x80) ok = false;
        cp = (cp << 6) | (p[i + k] & 0x3F);
      }
      if (!ok) {
        out += '?';
        ++i;
        continue;
      }
      out += cp <= 0xFF ? char(cp) : '?';
      i += extra + 1;
    }
    return out;
  }
};

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "broken invariant: %s\n", what);
    std::abort();
  }
}

bool IsKnownError(const std::string& error) {
  const std::string endTagPrefix = XmlEndTagError("").substr(0, XmlEndTagError("").size() - 2);
  return error == kXmlErrorNotXml || error == kXmlErrorNoRoot || error == kXmlErrorRootMismatch ||
         (error.compare(0, endTagPrefix.size(), endTagPrefix) == 0 && error.size() >= endTagPrefix.size() + 2 &&
          error.compare(error.size() - 2, 2, ">.") == 0);
}

struct NodeAndPath {
  const XMLNode* node;
  std::string path;  // "\ROOT\result\mp3" and so on
};

// Every node with its full path, in document order, checking the links on the way.
std::vector<NodeAndPath> AllNodes(const CXMLTree& tree) {
  std::vector<NodeAndPath> order;
  std::vector<NodeAndPath> stack{{tree.GetTop(), "\\" + tree.GetTop()->m_element.GetName()}};
  while (!stack.empty()) {
    NodeAndPath entry = std::move(stack.back());
    stack.pop_back();
    const XMLNode* node = entry.node;
    std::vector<NodeAndPath> children;
    const XMLNode* last = nullptr;
    for (const XMLNode* child = node->m_pFirstChild; child; child = child->m_pNext) {
      Require(child->m_pParent == node, "child's parent");
      Require(child->m_pPrev == last, "previous sibling");
      children.push_back({child, entry.path + "\\" + child->m_element.GetName()});
      last = child;
    }
    Require(node->m_pLastChild == last, "last child");
    for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back(std::move(*it));
    order.push_back(std::move(entry));
  }
  return order;
}

int Collect(void* context, const XMLNode* node) {
  static_cast<std::vector<const XMLNode*>*>(context)->push_back(node);
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const StandInConverter converter;
  CXML xml(converter);
  xml.Load(std::string(reinterpret_cast<const char*>(data), size));
  const bool ok = xml.Parse();
  Require(ok ? xml.GetLastError().empty() : IsKnownError(xml.GetLastError()), "error text");

  const std::vector<NodeAndPath> nodes = AllNodes(xml.GetTree());
  Require(nodes.size() >= 1 && nodes[0].path == "\\ROOT", "top node");
  if (ok) Require(nodes.size() >= 2, "a parsed document has a root element");

  // The query of one element's path must report exactly the elements with that path, in order.
  // (A descendant's path is always longer, so none is hidden under another match.)
  const std::size_t pick = nodes.size() > 1 ? 1 + size % (nodes.size() - 1) : 0;
  const std::string& wanted = nodes[pick].path;
  const std::string prefix = "\\ROOT\\";
  if (wanted.compare(0, prefix.size(), prefix) == 0) {
    std::vector<const XMLNode*> expected, found;
    for (const NodeAndPath& entry : nodes) {
      if (entry.path == wanted) expected.push_back(entry.node);
    }
    xml.Query(wanted.substr(prefix.size()), Collect, &found);
    Require(found == expected, "query result");
  }
  std::vector<const XMLNode*> ignored;
  xml.Query("result\\mp3\\url\\item", Collect, &ignored);
  xml.Query("", Collect, &ignored);

  // A second document on the same object starts afresh.
  xml.Load("<r><e>1</e></r>");
  Require(xml.Parse(), "reuse after any input");
  return 0;
}
