// The SAX writer with string output and the SAX attribute list.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xml/internal.h"

namespace platform::xml {
namespace {

struct Attribute {
  std::wstring uri, localName, qName, type, value;
};

// The attribute list behind an IVBSAXAttributes of this library.
struct IAttributeAccess : IUnknown {
  virtual const std::vector<Attribute>& Items() = 0;
};
VANTOR_UUIDOF(IAttributeAccess, "0D3C7A52-91E4-4F6B-A8D2-5E17B3C94F60");

std::wstring Text(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); }

std::wstring_view View(BSTR* b) { return b && *b ? std::wstring_view(*b, SysStringLen(*b)) : std::wstring_view(); }
// An element's qualified name, else its local name.
std::wstring_view Name(BSTR* qName, BSTR* localName) {
  const std::wstring_view name = View(qName);
  return name.empty() ? View(localName) : name;
}

bool NameStart(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_' || (c >= 0xC0 && c <= 0xD6) ||
         (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
         (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
         (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
         (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool NameChar(wchar_t c) {
  return NameStart(c) || c == L'-' || c == L'.' || (c >= L'0' && c <= L'9') || c == 0xB7 ||
         (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

// An XML name with at most one colon, neither first nor last.
bool IsQName(std::wstring_view name) {
  bool start = true;
  int colons = 0;
  for (wchar_t c : name) {
    if (c == L':') {
      if (start || ++colons > 1) return false;
      start = true;
      continue;
    }
    if (start ? !NameStart(c) : !NameChar(c)) return false;
    start = false;
  }
  return !name.empty() && !start;
}

// The writer's text, kept in chunks so that a long output never moves what it holds. The chunks
// of a text cleared go to the thread's spares, up to kSpares of them, for the next text to write
// into: memory fresh from the system costs more than the writing.
class ChunkedText {
 public:
  ChunkedText() = default;
  ChunkedText(const ChunkedText&) = delete;
  ChunkedText& operator=(const ChunkedText&) = delete;
  ~ChunkedText() { Clear(); }
  void Append(std::wstring_view text) {
    Room(text.size()).append(text);
    size_ += text.size();
  }
  void Append(size_t count, wchar_t c) {
    Room(count).append(count, c);
    size_ += count;
  }
  void Append(wchar_t c) {
    Room(1).push_back(c);
    ++size_;
  }
  bool Empty() const { return size_ == 0; }
  wchar_t Back() const { return chunks_.empty() || chunks_.back().empty() ? L'\0' : chunks_.back().back(); }
  void Clear() {
    std::vector<std::wstring>& spares = Spares();
    for (std::wstring& chunk : chunks_) {
      if (spares.size() >= kSpares || chunk.capacity() >= 2 * kChunk) continue;
      chunk.clear();
      spares.push_back(std::move(chunk));
    }
    chunks_.clear();
    size_ = 0;
  }
  HRESULT CopyTo(BSTR* out) const {
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(nullptr, static_cast<UINT>(size_));
    if (!*out) return E_OUTOFMEMORY;
    wchar_t* at = *out;
    for (const std::wstring& chunk : chunks_) at = std::copy(chunk.begin(), chunk.end(), at);
    return S_OK;
  }

 private:
  static constexpr size_t kChunk = 1u << 16;
  static constexpr size_t kSpares = 64;  // 16 MB
  static std::vector<std::wstring>& Spares() {
    thread_local std::vector<std::wstring> spares;
    return spares;
  }
  std::wstring& Room(size_t count) {
    if (chunks_.empty() || chunks_.back().size() + count > chunks_.back().capacity()) {
      std::vector<std::wstring>& spares = Spares();
      if (count <= kChunk && !spares.empty()) {
        chunks_.push_back(std::move(spares.back()));
        spares.pop_back();
      } else {
        chunks_.emplace_back();
        chunks_.back().reserve(std::max(count, kChunk));
      }
    }
    return chunks_.back();
  }
  std::vector<std::wstring> chunks_;
  size_t size_ = 0;
};

void AppendEscaped(ChunkedText& out, std::wstring_view text, bool attribute) {
  size_t plain = 0;  // the start of the run of characters that need no escape
  auto flush = [&](size_t end) {
    if (end > plain) out.Append(text.substr(plain, end - plain));
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t* entity = nullptr;
    switch (text[i]) {
      case L'&': entity = L"&amp;"; break;
      case L'<': entity = L"&lt;"; break;
      case L'>': entity = L"&gt;"; break;
      case L'"':
        if (attribute) entity = L"&quot;";
        break;
      default: break;
    }
    if (!entity) continue;
    flush(i);
    out.Append(std::wstring_view(entity));
    plain = i + 1;
  }
  flush(text.size());
}

class Writer final : public Object<IMXWriter, IVBSAXContentHandler> {
 public:
  // ---- IMXWriter
  STDMETHODIMP put_output(VARIANT destination) override {
    if (destination.vt != VT_EMPTY && destination.vt != VT_BSTR)
      return Fail(E_INVALIDARG, L"the writer writes to a string only", __uuidof(IMXWriter));
    Reset();
    return S_OK;
  }
  STDMETHODIMP get_output(VARIANT* destination) override {
    if (!destination) return E_POINTER;
    return platform::com::Boundary([&]() -> HRESULT {
      VariantInit(destination);
      destination->vt = VT_BSTR;
      return out_.CopyTo(&destination->bstrVal);
    }, {kXmlSource, __uuidof(IMXWriter)});
  }
  STDMETHODIMP get_encoding(BSTR* encoding) override { return PutText(encoding, L"UTF-16"); }
  STDMETHODIMP put_indent(VARIANT_BOOL indent) override {
    indent_ = indent != VARIANT_FALSE;
    return S_OK;
  }
  STDMETHODIMP get_indent(VARIANT_BOOL* indent) override { return Flag(indent, indent_); }
  STDMETHODIMP put_standalone(VARIANT_BOOL standalone) override {
    standalone_ = standalone != VARIANT_FALSE;
    return S_OK;
  }
  STDMETHODIMP get_standalone(VARIANT_BOOL* standalone) override { return Flag(standalone, standalone_); }
  STDMETHODIMP put_omitXMLDeclaration(VARIANT_BOOL omit) override {
    omitDeclaration_ = omit != VARIANT_FALSE;
    return S_OK;
  }
  STDMETHODIMP get_omitXMLDeclaration(VARIANT_BOOL* omit) override { return Flag(omit, omitDeclaration_); }
  STDMETHODIMP raw_flush() override { return S_OK; }

  // ---- IVBSAXContentHandler
  STDMETHODIMP raw_startDocument() override {
    return platform::com::Boundary([&]() -> HRESULT {
      if (!omitDeclaration_) {
        out_.Append(L"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"");
        out_.Append(standalone_ ? L"yes" : L"no");
        out_.Append(L"\"?>\r\n");
      }
      return S_OK;
    }, {kXmlSource, __uuidof(IVBSAXContentHandler)});
  }
  STDMETHODIMP raw_endDocument() override { return S_OK; }
  STDMETHODIMP raw_startElement(BSTR* namespaceUri, BSTR* localName, BSTR* qName,
                                IVBSAXAttributes* attributes) override {
    return platform::com::Boundary([&]() -> HRESULT {
      const std::wstring_view name = Name(qName, localName);
      // A name that its element's place held before was checked then.
      const bool known = depth_ < open_.size() && open_[depth_] == name;
      if (!known && !IsQName(name))
        return Fail(E_INVALIDARG, L"not an XML element name: \"" + std::wstring(name) + L"\"", __uuidof(IVBSAXContentHandler));
      std::vector<Attribute> copied;
      const std::vector<Attribute>* list = &copied;
      if (attributes) {
        IAttributeAccess* access = nullptr;
        if (SUCCEEDED(attributes->QueryInterface(__uuidof(IAttributeAccess), reinterpret_cast<void**>(&access))) && access) {
          list = &access->Items();
          access->Release();  // the list object outlives this call: the caller holds it
        } else {
          HRESULT hr = CopyAttributes(attributes, copied);
          if (FAILED(hr)) return hr;
        }
      }
      for (size_t i = 0; i < list->size(); ++i) {
        const std::wstring& an = (*list)[i].qName.empty() ? (*list)[i].localName : (*list)[i].qName;
        if (!IsQName(an))
          return Fail(E_INVALIDARG, L"not an XML attribute name: \"" + an + L"\"", __uuidof(IVBSAXContentHandler));
        for (size_t k = 0; k < i; ++k) {
          const std::wstring& other = (*list)[k].qName.empty() ? (*list)[k].localName : (*list)[k].qName;
          if (other == an)
            return Fail(E_INVALIDARG, L"attribute \"" + an + L"\" given twice for element \"" + std::wstring(name) + L"\"",
                        __uuidof(IVBSAXContentHandler));
        }
      }
      CloseStartTag();
      if (indent_ && !afterText_) NewLine(depth_);
      out_.Append(L'<');
      out_.Append(name);
      for (const Attribute& a : *list) {
        out_.Append(L' ');
        out_.Append(a.qName.empty() ? a.localName : a.qName);
        out_.Append(L"=\"");
        AppendEscaped(out_, a.value, true);
        out_.Append(L'"');
      }
      if (depth_ == open_.size()) open_.emplace_back(name);
      else if (!known) open_[depth_].assign(name);
      ++depth_;
      startOpen_ = true;
      afterText_ = false;
      return S_OK;
    }, {kXmlSource, __uuidof(IVBSAXContentHandler)});
  }
  STDMETHODIMP raw_endElement(BSTR* namespaceUri, BSTR* localName, BSTR* qName) override {
    return platform::com::Boundary([&]() -> HRESULT {
      const std::wstring_view name = Name(qName, localName);
      if (depth_ == 0 || open_[depth_ - 1] != name)
        return Fail(E_INVALIDARG, L"the element \"" + std::wstring(name) + L"\" being ended is not the one open",
                    __uuidof(IVBSAXContentHandler));
      --depth_;
      if (startOpen_) {
        out_.Append(L"/>");
        startOpen_ = false;
      } else {
        if (indent_ && !afterText_) NewLine(depth_);
        out_.Append(L"</");
        out_.Append(name);
        out_.Append(L'>');
      }
      afterText_ = false;
      return S_OK;
    }, {kXmlSource, __uuidof(IVBSAXContentHandler)});
  }
  STDMETHODIMP raw_characters(BSTR* chars) override {
    return platform::com::Boundary([&]() -> HRESULT {
      const std::wstring_view text = chars && *chars ? std::wstring_view(*chars, SysStringLen(*chars)) : std::wstring_view();
      if (text.empty()) return S_OK;
      CloseStartTag();
      AppendEscaped(out_, text, false);
      afterText_ = true;
      return S_OK;
    }, {kXmlSource, __uuidof(IVBSAXContentHandler)});
  }

 protected:
  void* Find(REFIID riid) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IMXWriter)) return static_cast<IMXWriter*>(this);
    if (riid == __uuidof(IVBSAXContentHandler)) return static_cast<IVBSAXContentHandler*>(this);
    return nullptr;
  }

 private:
  static HRESULT Flag(VARIANT_BOOL* out, bool value) {
    if (!out) return E_POINTER;
    *out = value ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  static HRESULT CopyAttributes(IVBSAXAttributes* attributes, std::vector<Attribute>& out) {
    int count = 0;
    HRESULT hr = attributes->get_length(&count);
    if (FAILED(hr)) return hr;
    for (int i = 0; i < count; ++i) {
      BSTR qName = nullptr, value = nullptr;
      hr = attributes->raw_getQName(i, &qName);
      if (SUCCEEDED(hr)) hr = attributes->raw_getValue(i, &value);
      Attribute a;
      a.qName = Text(qName);
      a.value = Text(value);
      SysFreeString(qName);
      SysFreeString(value);
      if (FAILED(hr)) return hr;
      out.push_back(std::move(a));
    }
    return S_OK;
  }
  void Reset() {
    out_.Clear();
    depth_ = 0;
    startOpen_ = false;
    afterText_ = false;
  }
  void CloseStartTag() {
    if (!startOpen_) return;
    out_.Append(L'>');
    startOpen_ = false;
  }
  void NewLine(size_t depth) {
    if (!out_.Empty() && out_.Back() != L'\n') out_.Append(L"\r\n");
    if (depth) out_.Append(depth, L'\t');
  }

  ChunkedText out_;
  // The names of the elements open, the first depth_ of them; the places after keep the names
  // last held there.
  std::vector<std::wstring> open_;
  size_t depth_ = 0;
  bool startOpen_ = false;  // the last start tag still takes attributes' closing ">" or "/>"
  bool afterText_ = false;  // the last thing written was character data
  bool indent_ = false;
  bool standalone_ = false;
  bool omitDeclaration_ = false;
};

class Attributes final : public Object<IMXAttributes, IVBSAXAttributes, IAttributeAccess> {
 public:
  const std::vector<Attribute>& Items() override { return items_; }

  // ---- IMXAttributes
  STDMETHODIMP raw_addAttribute(BSTR uri, BSTR localName, BSTR qName, BSTR type, BSTR value) override {
    return platform::com::Boundary([&]() -> HRESULT {
      items_.push_back(Attribute{Text(uri), Text(localName), Text(qName), Text(type), Text(value)});
      return S_OK;
    }, {kXmlSource, __uuidof(IMXAttributes)});
  }
  STDMETHODIMP raw_clear() override {
    items_.clear();
    return S_OK;
  }

  // ---- IVBSAXAttributes
  STDMETHODIMP get_length(int* length) override {
    if (!length) return E_POINTER;
    *length = static_cast<int>(items_.size());
    return S_OK;
  }
  STDMETHODIMP raw_getURI(int index, BSTR* out) override { return Field(index, &Attribute::uri, out); }
  STDMETHODIMP raw_getLocalName(int index, BSTR* out) override { return Field(index, &Attribute::localName, out); }
  STDMETHODIMP raw_getQName(int index, BSTR* out) override { return Field(index, &Attribute::qName, out); }
  STDMETHODIMP raw_getValue(int index, BSTR* out) override { return Field(index, &Attribute::value, out); }
  STDMETHODIMP raw_getValueFromQName(BSTR qName, BSTR* out) override {
    const std::wstring wanted = Text(qName);
    for (const Attribute& a : items_)
      if (a.qName == wanted) return PutText(out, a.value);
    return Fail(E_INVALIDARG, L"no attribute \"" + wanted + L"\"", __uuidof(IVBSAXAttributes));
  }

 protected:
  void* Find(REFIID riid) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IMXAttributes))
      return static_cast<IMXAttributes*>(this);
    if (riid == __uuidof(IVBSAXAttributes)) return static_cast<IVBSAXAttributes*>(this);
    if (riid == __uuidof(IAttributeAccess)) return static_cast<IAttributeAccess*>(this);
    return nullptr;
  }

 private:
  HRESULT Field(int index, std::wstring Attribute::*member, BSTR* out) {
    if (index < 0 || static_cast<size_t>(index) >= items_.size())
      return Fail(E_INVALIDARG, L"attribute index out of range", __uuidof(IVBSAXAttributes));
    return PutText(out, items_[static_cast<size_t>(index)].*member);
  }

  std::vector<Attribute> items_;
};

}  // namespace

HRESULT CreateWriter(IUnknown* outer, REFIID riid, void** ppv) { return CreateObject<Writer>(outer, riid, ppv); }
HRESULT CreateAttributes(IUnknown* outer, REFIID riid, void** ppv) { return CreateObject<Attributes>(outer, riid, ppv); }

}  // namespace platform::xml
