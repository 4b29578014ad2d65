// The DOM document, its nodes, node lists, attribute maps and parse error over libxml2 trees.
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <cctype>
#include <cstdio>
#include <cwctype>
#include <fstream>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/resources/resources.h"
#include "platform/xml/internal.h"

namespace platform::xml {

HRESULT Fail(HRESULT hr, const std::wstring& description, REFIID iid) {
  return platform::com::ReportError(hr, description.c_str(), kXmlSource, iid);
}

HRESULT PutText(BSTR* out, const std::wstring& text) {
  if (!out) return E_POINTER;
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

namespace {

constexpr size_t kMaxFileBytes = 256u << 20;  // the largest file `load` reads
constexpr size_t kXPathCacheSize = 64;         // compiled selections kept per document

HRESULT PutNode(IXMLDOMNode** out, IXMLDOMNode* node) {
  if (!out) {
    if (node) node->Release();
    return E_POINTER;
  }
  *out = node;
  return node ? S_OK : S_FALSE;
}

DOMNodeType TypeOf(xmlNodePtr n) {
  switch (n->type) {
    case XML_ELEMENT_NODE: return NODE_ELEMENT;
    case XML_ATTRIBUTE_NODE: return NODE_ATTRIBUTE;
    case XML_TEXT_NODE: return NODE_TEXT;
    case XML_CDATA_SECTION_NODE: return NODE_CDATA_SECTION;
    case XML_ENTITY_REF_NODE: return NODE_ENTITY_REFERENCE;
    case XML_ENTITY_NODE: case XML_ENTITY_DECL: return NODE_ENTITY;
    case XML_PI_NODE: return NODE_PROCESSING_INSTRUCTION;
    case XML_COMMENT_NODE: return NODE_COMMENT;
    case XML_DOCUMENT_NODE: case XML_HTML_DOCUMENT_NODE: return NODE_DOCUMENT;
    case XML_DOCUMENT_TYPE_NODE: case XML_DTD_NODE: return NODE_DOCUMENT_TYPE;
    case XML_DOCUMENT_FRAG_NODE: return NODE_DOCUMENT_FRAGMENT;
    case XML_NOTATION_NODE: return NODE_NOTATION;
    default: return NODE_INVALID;
  }
}

bool HasNamespace(xmlNodePtr n) {
  return (n->type == XML_ELEMENT_NODE || n->type == XML_ATTRIBUTE_NODE) && n->ns;
}

std::wstring QualifiedName(xmlNodePtr n) {
  std::wstring name = FromXml(n->name);
  if (HasNamespace(n) && n->ns->prefix) name = FromXml(n->ns->prefix) + L":" + name;
  return name;
}

// Whether the element or attribute is named `qname` ("prefix:name" or "name", UTF-8).
bool HasQualifiedName(xmlNodePtr n, std::string_view qname) {
  const char* name = reinterpret_cast<const char*>(n->name);
  if (HasNamespace(n) && n->ns->prefix) {
    const std::string_view prefix(reinterpret_cast<const char*>(n->ns->prefix));
    if (qname.size() <= prefix.size() || qname.compare(0, prefix.size(), prefix) != 0 || qname[prefix.size()] != ':')
      return false;
    qname.remove_prefix(prefix.size() + 1);
  }
  return qname == name;
}

// A selection that is one child step by element name ("name" or "prefix:name"): its prefix and
// local name; false for anything else.
bool IsChildNameStep(std::string_view query, std::string_view& prefix, std::string_view& local) {
  if (query.empty()) return false;
  size_t colon = std::string_view::npos;
  for (size_t i = 0; i < query.size(); ++i) {
    const auto c = static_cast<unsigned char>(query[i]);
    const bool start = std::isalpha(c) || c == '_' || c >= 0x80;
    const bool part = start || std::isdigit(c) || c == '-' || c == '.';
    const bool first = i == 0 || i == colon + 1;
    if (c == ':' && colon == std::string_view::npos && i > 0) {
      colon = i;
      continue;
    }
    if (first ? !start : !part) return false;
  }
  if (colon == query.size() - 1) return false;
  prefix = colon == std::string_view::npos ? std::string_view() : query.substr(0, colon);
  local = colon == std::string_view::npos ? query : query.substr(colon + 1);
  return true;
}

std::wstring NodeName(xmlNodePtr n) {
  switch (n->type) {
    case XML_ELEMENT_NODE: case XML_ATTRIBUTE_NODE: return QualifiedName(n);
    case XML_TEXT_NODE: return L"#text";
    case XML_CDATA_SECTION_NODE: return L"#cdata-section";
    case XML_COMMENT_NODE: return L"#comment";
    case XML_DOCUMENT_NODE: case XML_HTML_DOCUMENT_NODE: return L"#document";
    case XML_DOCUMENT_FRAG_NODE: return L"#document-fragment";
    default: return FromXml(n->name);
  }
}

bool IsContainer(xmlNodePtr n) {
  return n->type == XML_ELEMENT_NODE || n->type == XML_DOCUMENT_NODE || n->type == XML_HTML_DOCUMENT_NODE ||
         n->type == XML_DOCUMENT_FRAG_NODE;
}

std::wstring Content(xmlNodePtr n) {
  xmlChar* content = xmlNodeGetContent(n);
  std::wstring text = FromXml(content);
  xmlFree(content);
  return text;
}

std::wstring Trim(std::wstring text) {
  auto blank = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; };
  size_t end = text.size();
  while (end > 0 && blank(text[end - 1])) --end;
  size_t start = 0;
  while (start < end && blank(text[start])) ++start;
  text.resize(end);
  text.erase(0, start);
  return text;
}

std::wstring Serialize(xmlDocPtr doc, xmlNodePtr n) {
  xmlBufferPtr buffer = xmlBufferCreate();
  if (!buffer) throw std::bad_alloc();
  std::wstring text;
  if (n->type == XML_DOCUMENT_NODE || n->type == XML_HTML_DOCUMENT_NODE) {
    for (xmlNodePtr child = n->children; child; child = child->next) {
      xmlBufferEmpty(buffer);
      xmlNodeDump(buffer, doc, child, 0, 0);
      text += FromXml(xmlBufferContent(buffer)) + L"\r\n";
    }
  } else {
    xmlNodeDump(buffer, doc, n, 0, 0);
    text = FromXml(xmlBufferContent(buffer));
    if (n->type == XML_ATTRIBUTE_NODE && !text.empty() && text[0] == L' ') text.erase(0, 1);
  }
  xmlBufferFree(buffer);
  return text;
}

std::wstring BstrText(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); }

// "xmlns:a='uri' xmlns:b="uri"" into prefix/URI pairs; false for anything else.
bool ParseSelectionNamespaces(const std::wstring& text, std::vector<std::pair<std::string, std::string>>& out) {
  out.clear();
  size_t i = 0;
  auto skipBlank = [&] {
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t' || text[i] == L'\r' || text[i] == L'\n')) ++i;
  };
  for (skipBlank(); i < text.size(); skipBlank()) {
    if (text.compare(i, 5, L"xmlns") != 0) return false;
    i += 5;
    std::wstring prefix;
    if (i < text.size() && text[i] == L':') {
      size_t start = ++i;
      while (i < text.size() && text[i] != L'=' && text[i] != L' ') ++i;
      prefix = text.substr(start, i - start);
      if (prefix.empty()) return false;
    }
    skipBlank();
    if (i >= text.size() || text[i] != L'=') return false;
    ++i;
    skipBlank();
    if (i >= text.size() || (text[i] != L'\'' && text[i] != L'"')) return false;
    const wchar_t quote = text[i++];
    const size_t close = text.find(quote, i);
    if (close == std::wstring::npos) return false;
    out.emplace_back(ToXml(prefix), ToXml(text.substr(i, close - i)));
    i = close + 1;
  }
  return true;
}

TreePtr EmptyTree() {
  auto tree = std::make_shared<Tree>();
  tree->doc.reset(xmlNewDoc(BAD_CAST "1.0"));
  if (!tree->doc) throw std::bad_alloc();
  return tree;
}

class NodeList;

// The IXMLDOMNode members, shared by the document object and the node objects.
template <class Base>
class NodeOps : public Base {
 public:
  STDMETHODIMP get_nodeName(BSTR* out) override {
    return platform::com::Boundary([&]() -> HRESULT {
      return PutText(out, NodeName(Node()));
    }, {kXmlSource, __uuidof(IXMLDOMNode)});
  }
  STDMETHODIMP get_nodeValue(VARIANT* out) override {
    if (!out) return E_POINTER;
    return platform::com::Boundary([&]() -> HRESULT {
      VariantInit(out);
      xmlNodePtr n = Node();
      switch (n->type) {
        case XML_ATTRIBUTE_NODE: case XML_TEXT_NODE: case XML_CDATA_SECTION_NODE: case XML_COMMENT_NODE:
        case XML_PI_NODE:
          out->vt = VT_BSTR;
          return PutText(&out->bstrVal, Content(n));
        default:
          out->vt = VT_NULL;
          return S_FALSE;
      }
    }, {kXmlSource, __uuidof(IXMLDOMNode)});
  }
  STDMETHODIMP get_nodeType(DOMNodeType* out) override {
    if (!out) return E_POINTER;
    *out = TypeOf(Node());
    return S_OK;
  }
  STDMETHODIMP get_parentNode(IXMLDOMNode** out) override {
    xmlNodePtr n = Node();
    xmlNodePtr parent = n->type == XML_ATTRIBUTE_NODE ? nullptr : n->parent;
    return PutNode(out, parent ? WrapNode(Owner(), Tree(), parent) : nullptr);
  }
  STDMETHODIMP get_childNodes(IXMLDOMNodeList** out) override;
  STDMETHODIMP get_firstChild(IXMLDOMNode** out) override {
    xmlNodePtr n = Node();
    return PutNode(out, n->children ? WrapNode(Owner(), Tree(), n->children) : nullptr);
  }
  STDMETHODIMP get_lastChild(IXMLDOMNode** out) override {
    xmlNodePtr n = Node();
    return PutNode(out, n->last ? WrapNode(Owner(), Tree(), n->last) : nullptr);
  }
  STDMETHODIMP get_previousSibling(IXMLDOMNode** out) override {
    xmlNodePtr n = Node();
    return PutNode(out, n->prev && n->type != XML_ATTRIBUTE_NODE ? WrapNode(Owner(), Tree(), n->prev) : nullptr);
  }
  STDMETHODIMP get_nextSibling(IXMLDOMNode** out) override {
    xmlNodePtr n = Node();
    return PutNode(out, n->next && n->type != XML_ATTRIBUTE_NODE ? WrapNode(Owner(), Tree(), n->next) : nullptr);
  }
  STDMETHODIMP get_attributes(IXMLDOMNamedNodeMap** out) override;
  STDMETHODIMP raw_hasChildNodes(VARIANT_BOOL* out) override {
    if (!out) return E_POINTER;
    *out = Node()->children ? VARIANT_TRUE : VARIANT_FALSE;
    return *out ? S_OK : S_FALSE;
  }
  STDMETHODIMP get_ownerDocument(IXMLDOMDocument** out) override;
  STDMETHODIMP get_text(BSTR* out) override;
  STDMETHODIMP get_xml(BSTR* out) override {
    return platform::com::Boundary([&]() -> HRESULT {
      return PutText(out, Serialize(Tree()->doc.get(), Node()));
    }, {kXmlSource, __uuidof(IXMLDOMNode)});
  }
  STDMETHODIMP raw_transformNode(IXMLDOMNode* stylesheet, BSTR* out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!stylesheet) return E_INVALIDARG;
    return platform::com::Boundary([&]() -> HRESULT {
      INodeAccess* access = nullptr;
      if (FAILED(stylesheet->QueryInterface(__uuidof(INodeAccess), reinterpret_cast<void**>(&access))) || !access)
        return Fail(E_INVALIDARG, L"the stylesheet is not a node of this XML library", __uuidof(IXMLDOMNode));
      TreePtr styleTree = access->XmlTree();
      access->Release();
      std::wstring result, error;
      if (!Transform(*styleTree, *Tree(), Node(), result, error)) return Fail(E_FAIL, error, __uuidof(IXMLDOMNode));
      return PutText(out, result);
    }, {kXmlSource, __uuidof(IXMLDOMNode)});
  }
  STDMETHODIMP raw_selectNodes(BSTR query, IXMLDOMNodeList** out) override;
  STDMETHODIMP raw_selectSingleNode(BSTR query, IXMLDOMNode** out) override;
  STDMETHODIMP get_namespaceURI(BSTR* out) override {
    xmlNodePtr n = Node();
    return platform::com::Boundary([&]() -> HRESULT {
      return PutText(out, HasNamespace(n) ? FromXml(n->ns->href) : std::wstring());
    }, {kXmlSource, __uuidof(IXMLDOMNode)});
  }
  STDMETHODIMP get_prefix(BSTR* out) override {
    xmlNodePtr n = Node();
    return platform::com::Boundary([&]() -> HRESULT {
      return PutText(out, HasNamespace(n) && n->ns->prefix ? FromXml(n->ns->prefix) : std::wstring());
    }, {kXmlSource, __uuidof(IXMLDOMNode)});
  }
  STDMETHODIMP get_baseName(BSTR* out) override {
    xmlNodePtr n = Node();
    const bool named = n->type == XML_ELEMENT_NODE || n->type == XML_ATTRIBUTE_NODE || n->type == XML_PI_NODE;
    return platform::com::Boundary([&]() -> HRESULT {
      return PutText(out, named ? FromXml(n->name) : std::wstring());
    }, {kXmlSource, __uuidof(IXMLDOMNode)});
  }

 protected:
  virtual xmlNodePtr Node() = 0;
  virtual const TreePtr& Tree() = 0;
  virtual DocumentImpl* Owner() = 0;
};

}  // namespace

// ---- the document ----------------------------------------------------------------------------

class DocumentImpl final : public NodeOps<Object<IXMLDOMDocument2, INodeAccess>> {
 public:
  DocumentImpl() : tree_(EmptyTree()) {}
  ~DocumentImpl() override {
    ClearContext();
    ClearSelectionCache();
  }

  xmlNodePtr XmlNode() override { return reinterpret_cast<xmlNodePtr>(tree_->doc.get()); }
  const TreePtr& XmlTree() override { return tree_; }
  bool Preserve() const { return preserve_; }

  // The nodes that `query` selects from `context` of `tree`.
  HRESULT Select(const TreePtr& tree, xmlNodePtr context, BSTR query, std::vector<xmlNodePtr>& nodes);

  // ---- IXMLDOMDocument
  STDMETHODIMP get_documentElement(IXMLDOMElement** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    xmlNodePtr root = xmlDocGetRootElement(tree_->doc.get());
    if (!root) return S_FALSE;
    IXMLDOMNode* node = WrapNode(this, tree_, root);
    HRESULT hr = node->QueryInterface(__uuidof(IXMLDOMElement), reinterpret_cast<void**>(out));
    node->Release();
    return hr;
  }
  STDMETHODIMP get_readyState(LONG* out) override {
    if (!out) return E_POINTER;
    *out = readyState_;
    return S_OK;
  }
  STDMETHODIMP get_parseError(IXMLDOMParseError** out) override;
  STDMETHODIMP get_url(BSTR* out) override {
    return platform::com::Boundary([&]() -> HRESULT {
      return PutText(out, url_);
    }, {kXmlSource, __uuidof(IXMLDOMDocument)});
  }
  STDMETHODIMP get_async(VARIANT_BOOL* out) override {
    if (!out) return E_POINTER;
    *out = async_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  STDMETHODIMP put_async(VARIANT_BOOL async) override {
    async_ = async != VARIANT_FALSE;
    return S_OK;
  }
  STDMETHODIMP raw_load(VARIANT source, VARIANT_BOOL* loaded) override;
  STDMETHODIMP raw_loadXML(BSTR xml, VARIANT_BOOL* loaded) override {
    if (!loaded) return E_POINTER;
    *loaded = VARIANT_FALSE;
    return platform::com::Boundary([&]() -> HRESULT {
      std::wstring_view text(xml ? xml : L"", xml ? SysStringLen(xml) : 0);
      if (!text.empty() && text.front() == 0xFEFF) text.remove_prefix(1);
      const std::string bytes = ToXml(text);
      ParseOptions options;
      options.encoding = "UTF-8";
      options.preserveWhiteSpace = preserve_;
      url_.clear();
      return Finish(ParseXml(bytes.data(), bytes.size(), options, error_), loaded, L"");
    }, {kXmlSource, __uuidof(IXMLDOMDocument)});
  }
  STDMETHODIMP get_preserveWhiteSpace(VARIANT_BOOL* out) override {
    if (!out) return E_POINTER;
    *out = preserve_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  STDMETHODIMP put_preserveWhiteSpace(VARIANT_BOOL preserve) override {
    preserve_ = preserve != VARIANT_FALSE;
    return S_OK;
  }

  // ---- IXMLDOMDocument2
  STDMETHODIMP raw_setProperty(BSTR name, VARIANT value) override {
    return platform::com::Boundary([&]() -> HRESULT {
      const std::wstring property = BstrText(name);
      if (value.vt != VT_BSTR) return Fail(E_INVALIDARG, L"the property takes a text value", __uuidof(IXMLDOMDocument2));
      const std::wstring text = BstrText(value.bstrVal);
      if (property == L"SelectionLanguage") {
        if (text != L"XPath") return Fail(E_INVALIDARG, L"only XPath selections are supported", __uuidof(IXMLDOMDocument2));
        return S_OK;
      }
      if (property == L"SelectionNamespaces") {
        std::vector<std::pair<std::string, std::string>> parsed;
        if (!ParseSelectionNamespaces(text, parsed))
          return Fail(E_INVALIDARG, L"SelectionNamespaces takes xmlns:prefix='uri' declarations", __uuidof(IXMLDOMDocument2));
        namespaces_ = std::move(parsed);
        namespacesText_ = text;
        ClearContext();
        return S_OK;
      }
      return Fail(E_INVALIDARG, L"unknown document property: " + property, __uuidof(IXMLDOMDocument2));
    }, {kXmlSource, __uuidof(IXMLDOMDocument2)});
  }
  STDMETHODIMP raw_getProperty(BSTR name, VARIANT* out) override {
    if (!out) return E_POINTER;
    return platform::com::Boundary([&]() -> HRESULT {
      VariantInit(out);
      const std::wstring property = BstrText(name);
      if (property != L"SelectionLanguage" && property != L"SelectionNamespaces")
        return Fail(E_INVALIDARG, L"unknown document property: " + property, __uuidof(IXMLDOMDocument2));
      out->vt = VT_BSTR;
      return PutText(&out->bstrVal, property == L"SelectionLanguage" ? std::wstring(L"XPath") : namespacesText_);
    }, {kXmlSource, __uuidof(IXMLDOMDocument2)});
  }

 protected:
  void* Find(REFIID riid) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IXMLDOMNode) ||
        riid == __uuidof(IXMLDOMDocument) || riid == __uuidof(IXMLDOMDocument2))
      return static_cast<IXMLDOMDocument2*>(this);
    if (riid == __uuidof(INodeAccess)) return static_cast<INodeAccess*>(this);
    return nullptr;
  }
  xmlNodePtr Node() override { return XmlNode(); }
  const TreePtr& Tree() override { return tree_; }
  DocumentImpl* Owner() override { return this; }

 private:
  friend class ParseErrorImpl;

  HRESULT Finish(DocHandle doc, VARIANT_BOOL* loaded, const std::wstring& url) {
    readyState_ = 4;
    if (!doc) {
      tree_ = EmptyTree();
      *loaded = VARIANT_FALSE;
      return S_FALSE;
    }
    auto tree = std::make_shared<struct Tree>();
    tree->doc = std::move(doc);
    tree_ = std::move(tree);
    url_ = url;
    *loaded = VARIANT_TRUE;
    return S_OK;
  }
  void ClearContext() {
    if (context_) xmlXPathFreeContext(context_);
    context_ = nullptr;
    contextTree_ = nullptr;
    contextHolds_.reset();
  }
  void ClearSelectionCache() {
    for (auto& [text, compiled] : selections_) xmlXPathFreeCompExpr(compiled);
    selections_.clear();
  }

  TreePtr tree_;
  bool async_ = true;
  bool preserve_ = false;
  LONG readyState_ = 4;
  std::wstring url_;
  Diagnostic error_;
  std::vector<std::pair<std::string, std::string>> namespaces_;
  std::wstring namespacesText_;
  std::map<std::wstring, xmlXPathCompExprPtr> selections_;
  xmlXPathContextPtr context_ = nullptr;  // for contextTree_, with namespaces_ registered
  xmlDocPtr contextTree_ = nullptr;
  TreePtr contextHolds_;                  // keeps contextTree_ alive while the context points at it
};

namespace {

// ---- nodes, lists, maps and the parse error --------------------------------------------------

class NodeImpl final : public NodeOps<Object<IXMLDOMElement, IXMLDOMAttribute, INodeAccess>> {
 public:
  NodeImpl(DocumentImpl* owner, TreePtr tree, xmlNodePtr node) : owner_(owner), tree_(std::move(tree)), node_(node) {
    owner_->AddRef();
  }
  ~NodeImpl() override { static_cast<IXMLDOMDocument2*>(owner_)->Release(); }

  xmlNodePtr XmlNode() override { return node_; }
  const TreePtr& XmlTree() override { return tree_; }

  // ---- IXMLDOMElement
  STDMETHODIMP get_tagName(BSTR* out) override {
    return platform::com::Boundary([&]() -> HRESULT {
      return PutText(out, QualifiedName(node_));
    }, {kXmlSource, __uuidof(IXMLDOMElement)});
  }
  STDMETHODIMP raw_getAttribute(BSTR name, VARIANT* out) override {
    if (!out) return E_POINTER;
    return platform::com::Boundary([&]() -> HRESULT {
      VariantInit(out);
      out->vt = VT_NULL;
      const std::string wanted = ToXml(BstrText(name));
      for (xmlAttrPtr a = node_->type == XML_ELEMENT_NODE ? node_->properties : nullptr; a; a = a->next) {
        if (!HasQualifiedName(reinterpret_cast<xmlNodePtr>(a), wanted)) continue;
        out->vt = VT_BSTR;
        return PutText(&out->bstrVal, Content(reinterpret_cast<xmlNodePtr>(a)));
      }
      return S_FALSE;
    }, {kXmlSource, __uuidof(IXMLDOMElement)});
  }

  // ---- IXMLDOMAttribute
  STDMETHODIMP get_name(BSTR* out) override {
    return platform::com::Boundary([&]() -> HRESULT {
      return PutText(out, QualifiedName(node_));
    }, {kXmlSource, __uuidof(IXMLDOMAttribute)});
  }
  STDMETHODIMP get_value(VARIANT* out) override {
    if (!out) return E_POINTER;
    return platform::com::Boundary([&]() -> HRESULT {
      VariantInit(out);
      out->vt = VT_BSTR;
      return PutText(&out->bstrVal, Content(node_));
    }, {kXmlSource, __uuidof(IXMLDOMAttribute)});
  }

 protected:
  void* Find(REFIID riid) override {
    if (riid == __uuidof(INodeAccess)) return static_cast<INodeAccess*>(this);
    const bool attribute = node_->type == XML_ATTRIBUTE_NODE;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IXMLDOMNode))
      return attribute ? static_cast<void*>(static_cast<IXMLDOMAttribute*>(this))
                       : static_cast<void*>(static_cast<IXMLDOMElement*>(this));
    if (riid == __uuidof(IXMLDOMElement) && node_->type == XML_ELEMENT_NODE) return static_cast<IXMLDOMElement*>(this);
    if (riid == __uuidof(IXMLDOMAttribute) && attribute) return static_cast<IXMLDOMAttribute*>(this);
    return nullptr;
  }
  xmlNodePtr Node() override { return node_; }
  const TreePtr& Tree() override { return tree_; }
  DocumentImpl* Owner() override { return owner_; }

 private:
  DocumentImpl* owner_;  // one reference held
  TreePtr tree_;
  xmlNodePtr node_;
};

// Holds the document object (one reference) and the tree for lists and maps.
class OwnedByDocument {
 public:
  OwnedByDocument(DocumentImpl* owner, TreePtr tree) : owner_(owner), tree_(std::move(tree)) {
    static_cast<IXMLDOMDocument2*>(owner_)->AddRef();
  }
  ~OwnedByDocument() { static_cast<IXMLDOMDocument2*>(owner_)->Release(); }
  OwnedByDocument(const OwnedByDocument&) = delete;
  OwnedByDocument& operator=(const OwnedByDocument&) = delete;

 protected:
  DocumentImpl* owner_;
  TreePtr tree_;
};

class NodeList final : public Object<IXMLDOMNodeList>, private OwnedByDocument {
 public:
  NodeList(DocumentImpl* owner, TreePtr tree, std::vector<xmlNodePtr> nodes)
      : OwnedByDocument(owner, std::move(tree)), nodes_(std::move(nodes)) {}

  STDMETHODIMP get_item(LONG index, IXMLDOMNode** out) override {
    if (index < 0 || static_cast<size_t>(index) >= nodes_.size()) return PutNode(out, nullptr);
    return PutNode(out, WrapNode(owner_, tree_, nodes_[static_cast<size_t>(index)]));
  }
  STDMETHODIMP get_length(LONG* out) override {
    if (!out) return E_POINTER;
    *out = static_cast<LONG>(nodes_.size());
    return S_OK;
  }
  STDMETHODIMP raw_nextNode(IXMLDOMNode** out) override {
    if (position_ >= nodes_.size()) return PutNode(out, nullptr);
    return PutNode(out, WrapNode(owner_, tree_, nodes_[position_++]));
  }
  STDMETHODIMP raw_reset() override {
    position_ = 0;
    return S_OK;
  }

 protected:
  void* Find(REFIID riid) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IXMLDOMNodeList))
      return static_cast<IXMLDOMNodeList*>(this);
    return nullptr;
  }

 private:
  std::vector<xmlNodePtr> nodes_;
  size_t position_ = 0;
};

class AttributeMap final : public Object<IXMLDOMNamedNodeMap>, private OwnedByDocument {
 public:
  AttributeMap(DocumentImpl* owner, TreePtr tree, xmlNodePtr element)
      : OwnedByDocument(owner, std::move(tree)), element_(element) {}

  STDMETHODIMP raw_getNamedItem(BSTR name, IXMLDOMNode** out) override {
    return platform::com::Boundary([&]() -> HRESULT {
      const std::wstring wanted = BstrText(name);
      for (xmlAttrPtr a = element_->properties; a; a = a->next)
        if (QualifiedName(reinterpret_cast<xmlNodePtr>(a)) == wanted)
          return PutNode(out, WrapNode(owner_, tree_, reinterpret_cast<xmlNodePtr>(a)));
      return PutNode(out, nullptr);
    }, {kXmlSource, __uuidof(IXMLDOMNamedNodeMap)});
  }
  STDMETHODIMP get_item(LONG index, IXMLDOMNode** out) override {
    LONG i = 0;
    for (xmlAttrPtr a = element_->properties; a; a = a->next, ++i)
      if (i == index) return PutNode(out, WrapNode(owner_, tree_, reinterpret_cast<xmlNodePtr>(a)));
    return PutNode(out, nullptr);
  }
  STDMETHODIMP get_length(LONG* out) override {
    if (!out) return E_POINTER;
    *out = 0;
    for (xmlAttrPtr a = element_->properties; a; a = a->next) ++*out;
    return S_OK;
  }

 protected:
  void* Find(REFIID riid) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IXMLDOMNamedNodeMap))
      return static_cast<IXMLDOMNamedNodeMap*>(this);
    return nullptr;
  }

 private:
  xmlNodePtr element_;
};

}  // namespace

class ParseErrorImpl final : public Object<IXMLDOMParseError> {
 public:
  ParseErrorImpl(const Diagnostic& error, std::wstring url) : error_(error), url_(std::move(url)) {}

  STDMETHODIMP get_errorCode(LONG* out) override {
    if (!out) return E_POINTER;
    *out = error_.message.empty() ? 0 : static_cast<LONG>(E_FAIL);
    return S_OK;
  }
  STDMETHODIMP get_url(BSTR* out) override { return PutText(out, error_.message.empty() ? std::wstring() : url_); }
  STDMETHODIMP get_reason(BSTR* out) override { return PutText(out, error_.message); }
  STDMETHODIMP get_srcText(BSTR* out) override { return PutText(out, std::wstring()); }
  STDMETHODIMP get_line(LONG* out) override {
    if (!out) return E_POINTER;
    *out = error_.line;
    return S_OK;
  }
  STDMETHODIMP get_linepos(LONG* out) override {
    if (!out) return E_POINTER;
    *out = error_.column;
    return S_OK;
  }
  STDMETHODIMP get_filepos(LONG* out) override {
    if (!out) return E_POINTER;
    *out = 0;
    return S_OK;
  }

 protected:
  void* Find(REFIID riid) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IXMLDOMParseError))
      return static_cast<IXMLDOMParseError*>(this);
    return nullptr;
  }

 private:
  Diagnostic error_;
  std::wstring url_;
};

IXMLDOMNode* WrapNode(DocumentImpl* owner, const TreePtr& tree, xmlNodePtr node) {
  if (tree == owner->XmlTree() && node == owner->XmlNode()) {
    owner->AddRef();
    return static_cast<IXMLDOMDocument2*>(owner);
  }
  NodeImpl* impl = new NodeImpl(owner, tree, node);
  if (node->type == XML_ATTRIBUTE_NODE) return static_cast<IXMLDOMAttribute*>(impl);
  return static_cast<IXMLDOMElement*>(impl);
}

// ---- the node members that need the document -------------------------------------------------

template <class Base>
STDMETHODIMP NodeOps<Base>::get_childNodes(IXMLDOMNodeList** out) {
  if (!out) return E_POINTER;
  return platform::com::Boundary([&]() -> HRESULT {
    std::vector<xmlNodePtr> children;
    for (xmlNodePtr c = Node()->children; c; c = c->next) children.push_back(c);
    *out = new NodeList(Owner(), Tree(), std::move(children));
    return S_OK;
  }, {kXmlSource, __uuidof(IXMLDOMNode)});
}

template <class Base>
STDMETHODIMP NodeOps<Base>::get_attributes(IXMLDOMNamedNodeMap** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (Node()->type != XML_ELEMENT_NODE) return S_FALSE;
  return platform::com::Boundary([&]() -> HRESULT {
    *out = new AttributeMap(Owner(), Tree(), Node());
    return S_OK;
  }, {kXmlSource, __uuidof(IXMLDOMNode)});
}

template <class Base>
STDMETHODIMP NodeOps<Base>::get_ownerDocument(IXMLDOMDocument** out) {
  if (!out) return E_POINTER;
  DocumentImpl* owner = Owner();
  if (TypeOf(Node()) == NODE_DOCUMENT) {
    *out = nullptr;  // a document has no owner
    return S_FALSE;
  }
  owner->AddRef();
  *out = static_cast<IXMLDOMDocument2*>(owner);
  return S_OK;
}

template <class Base>
STDMETHODIMP NodeOps<Base>::get_text(BSTR* out) {
  return platform::com::Boundary([&]() -> HRESULT {
    xmlNodePtr n = Node();
    std::wstring text = Content(n);
    if (IsContainer(n) && !Owner()->Preserve()) text = Trim(std::move(text));
    return PutText(out, text);
  }, {kXmlSource, __uuidof(IXMLDOMNode)});
}

template <class Base>
STDMETHODIMP NodeOps<Base>::raw_selectNodes(BSTR query, IXMLDOMNodeList** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return platform::com::Boundary([&]() -> HRESULT {
    std::vector<xmlNodePtr> nodes;
    HRESULT hr = Owner()->Select(Tree(), Node(), query, nodes);
    if (FAILED(hr)) return hr;
    *out = new NodeList(Owner(), Tree(), std::move(nodes));
    return S_OK;
  }, {kXmlSource, __uuidof(IXMLDOMNode)});
}

template <class Base>
STDMETHODIMP NodeOps<Base>::raw_selectSingleNode(BSTR query, IXMLDOMNode** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return platform::com::Boundary([&]() -> HRESULT {
    std::vector<xmlNodePtr> nodes;
    HRESULT hr = Owner()->Select(Tree(), Node(), query, nodes);
    if (FAILED(hr)) return hr;
    return PutNode(out, nodes.empty() ? nullptr : WrapNode(Owner(), Tree(), nodes.front()));
  }, {kXmlSource, __uuidof(IXMLDOMNode)});
}

// ---- selection, loading and the parse error ---------------------------------------------------

HRESULT DocumentImpl::Select(const TreePtr& tree, xmlNodePtr context, BSTR query, std::vector<xmlNodePtr>& nodes) {
  const std::wstring text = BstrText(query);
  // A plain child step by name is answered by walking the children, as XPath would select them.
  const std::string utf8 = ToXml(text);
  std::string_view prefix, local;
  if (IsChildNameStep(utf8, prefix, local)) {
    const std::string* uri = nullptr;
    bool known = prefix.empty();
    for (const auto& [p, u] : namespaces_)
      if (!prefix.empty() && p == prefix) {
        uri = &u;
        known = true;
      }
    if (known) {
      for (xmlNodePtr c = context->type == XML_ATTRIBUTE_NODE ? nullptr : context->children; c; c = c->next) {
        if (c->type != XML_ELEMENT_NODE || local != reinterpret_cast<const char*>(c->name)) continue;
        const bool inNamespace = c->ns && c->ns->href;
        if (uri ? inNamespace && *uri == reinterpret_cast<const char*>(c->ns->href) : !inNamespace) nodes.push_back(c);
      }
      return S_OK;
    }
  }
  ErrorCapture capture;
  auto cached = selections_.find(text);
  xmlXPathCompExprPtr compiled = cached != selections_.end() ? cached->second : nullptr;
  if (!compiled) {
    compiled = xmlXPathCompile(BAD_CAST utf8.c_str());
    if (!compiled)
      return Fail(E_FAIL, L"invalid XPath expression \"" + text + L"\": " + capture.FirstMessage(L"syntax error"),
                  __uuidof(IXMLDOMNode));
    if (selections_.size() >= kXPathCacheSize) ClearSelectionCache();
    selections_.emplace(text, compiled);
  }
  // One evaluation context per tree and set of selection namespaces.
  if (!context_ || contextTree_ != tree->doc.get()) {
    if (context_) xmlXPathFreeContext(context_);
    contextTree_ = nullptr;
    context_ = xmlXPathNewContext(tree->doc.get());
    if (!context_) throw std::bad_alloc();
    contextTree_ = tree->doc.get();
    contextHolds_ = tree;
    for (const auto& [prefix, uri] : namespaces_)
      if (!prefix.empty()) xmlXPathRegisterNs(context_, BAD_CAST prefix.c_str(), BAD_CAST uri.c_str());
  }
  context_->node = context;
  xmlXPathObjectPtr result = xmlXPathCompiledEval(compiled, context_);
  if (!result)
    return Fail(E_FAIL, L"the XPath expression \"" + text + L"\" failed: " + capture.FirstMessage(L"evaluation error"),
                __uuidof(IXMLDOMNode));
  const bool isSet = result->type == XPATH_NODESET;
  if (isSet && result->nodesetval) {
    for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
      xmlNodePtr n = result->nodesetval->nodeTab[i];
      if (n && n->type != XML_NAMESPACE_DECL) nodes.push_back(n);
    }
  }
  xmlXPathFreeObject(result);
  if (!isSet)
    return Fail(E_FAIL, L"the XPath expression \"" + text + L"\" does not select nodes", __uuidof(IXMLDOMNode));
  return S_OK;
}

namespace {

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
  size_t i = 0;
  for (; prefix[i]; ++i)
    if (i >= text.size() || static_cast<wchar_t>(std::towlower(static_cast<wint_t>(text[i]))) != prefix[i]) return false;
  return true;
}

std::wstring PercentDecoded(const std::wstring& text) {
  std::string bytes = ToXml(text), out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '%' && i + 2 < bytes.size() && std::isxdigit(static_cast<unsigned char>(bytes[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(bytes[i + 2]))) {
      out.push_back(static_cast<char>(std::stoi(bytes.substr(i + 1, 2), nullptr, 16)));
      i += 2;
    } else {
      out.push_back(bytes[i]);
    }
  }
  return FromXml(out.data(), out.size());
}

// The bytes a load address names: a resource, a local file or a file URL; false with the reason.
bool ReadSource(const std::wstring& address, std::string& bytes, std::wstring& reason) {
  if (StartsWithNoCase(address, L"res://")) {
    std::vector<BYTE> data;
    if (!platform::ReadResourceUrl(address, data)) {
      reason = L"the resource was not found: " + address;
      return false;
    }
    bytes.assign(data.begin(), data.end());
    return true;
  }
  std::wstring path = address;
  if (StartsWithNoCase(address, L"file://")) {
    path = PercentDecoded(address.substr(7));
    if (path.compare(0, 10, L"localhost/") == 0) path.erase(0, 9);
  } else if (address.find(L"://") != std::wstring::npos) {
    reason = L"only local files and module resources can be loaded: " + address;
    return false;
  }
  std::ifstream file(ToXml(path), std::ios::binary);
  if (!file) {
    reason = L"the file cannot be opened: " + path;
    return false;
  }
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  if (size < 0 || static_cast<size_t>(size) > kMaxFileBytes) {
    reason = L"the file cannot be read or is too large: " + path;
    return false;
  }
  file.seekg(0);
  bytes.resize(static_cast<size_t>(size));
  if (size > 0 && !file.read(bytes.data(), size)) {
    reason = L"the file cannot be read: " + path;
    return false;
  }
  return true;
}

}  // namespace

STDMETHODIMP DocumentImpl::raw_load(VARIANT source, VARIANT_BOOL* loaded) {
  if (!loaded) return E_POINTER;
  *loaded = VARIANT_FALSE;
  return platform::com::Boundary([&]() -> HRESULT {
    if (source.vt != VT_BSTR)
      return Fail(E_INVALIDARG, L"load takes the address of a file or resource", __uuidof(IXMLDOMDocument));
    const std::wstring address = BstrText(source.bstrVal);
    readyState_ = 1;
    std::string bytes;
    std::wstring reason;
    if (!ReadSource(address, bytes, reason)) {
      error_ = Diagnostic{};
      error_.code = -1;
      error_.message = reason;
      url_ = address;
      return Finish(nullptr, loaded, address);
    }
    ParseOptions options;
    const std::string url = ToXml(address);
    options.url = url.c_str();
    options.preserveWhiteSpace = preserve_;
    url_ = address;
    return Finish(ParseXml(bytes.data(), bytes.size(), options, error_), loaded, address);
  }, {kXmlSource, __uuidof(IXMLDOMDocument)});
}

STDMETHODIMP DocumentImpl::get_parseError(IXMLDOMParseError** out) {
  if (!out) return E_POINTER;
  return platform::com::Boundary([&]() -> HRESULT {
    *out = new ParseErrorImpl(error_, url_);
    return S_OK;
  }, {kXmlSource, __uuidof(IXMLDOMDocument)});
}

HRESULT CreateDocument(IUnknown* outer, REFIID riid, void** ppv) { return CreateObject<DocumentImpl>(outer, riid, ppv); }

}  // namespace platform::xml
