#pragma once
// Shared pieces of the XML classes: the object base, the parsed tree that a document and its
// nodes share, the private interface that reaches the tree behind a node, and the failure
// reporting of raw methods.
#include <atomic>
#include <memory>
#include <new>
#include <string>
#include <type_traits>

#include "platform/com/server.h"
#include "platform/xml/libxml.h"
#include "platform/xml/msxml.h"

namespace platform::xml {

// Reference counting, IDispatch without type information (DispatchFace) and ISupportErrorInfo
// for the interfaces listed; the derived class answers QueryInterface through Find.
template <class I>
using WithDispatch = std::conditional_t<std::is_base_of_v<IDispatch, I>, platform::com::DispatchFace<I>, I>;

template <class... Interfaces>
class Object : public WithDispatch<Interfaces>..., public ISupportErrorInfo {
 public:
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() = default;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = riid == IID_ISupportErrorInfo ? static_cast<ISupportErrorInfo*>(this) : Find(riid);
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG n = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (n == 0) delete this;
    return n;
  }
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID) override { return S_OK; }

 protected:
  // The interface pointer for riid (no AddRef), or null.
  virtual void* Find(REFIID riid) = 0;

 private:
  std::atomic<ULONG> refs_{1};
};

// One parsed document, shared by the document object and every node, list and map taken from
// it; a new load gives the document object a new tree and leaves the old one to its nodes.
struct Tree {
  DocHandle doc;
  // The stylesheet compiled from this tree, made on first use (null until then).
  std::shared_ptr<void> compiled;
  bool compileTried = false;
  std::wstring compileError;
};
using TreePtr = std::shared_ptr<Tree>;

class DocumentImpl;

// What a node object stands for, reached through QueryInterface on any node of this library.
struct INodeAccess : IUnknown {
  virtual xmlNodePtr XmlNode() = 0;
  virtual const TreePtr& XmlTree() = 0;
};
VANTOR_UUIDOF(INodeAccess, "6B1F5D0E-3A52-4C8B-9E47-2D05C1A7B913");

// A node object for `node` of `tree` (the document object itself for its own document node);
// one new reference.
IXMLDOMNode* WrapNode(DocumentImpl* owner, const TreePtr& tree, xmlNodePtr node);

// Applies the stylesheet held by styleTree to `node` of `tree`; the result text, or false with
// the reason.
bool Transform(Tree& styleTree, Tree& tree, xmlNodePtr node, std::wstring& result, std::wstring& error);

// A class factory's creation of T (no aggregation).
template <class T>
HRESULT CreateObject(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  T* object = new (std::nothrow) T();
  if (!object) return E_OUTOFMEMORY;
  HRESULT hr = object->QueryInterface(riid, ppv);
  object->Release();
  return hr;
}

// The creation functions of the three classes.
HRESULT CreateDocument(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateWriter(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateAttributes(IUnknown* outer, REFIID riid, void** ppv);

// The source of this library's error information.
inline constexpr wchar_t kXmlSource[] = L"Vantor XML";

// Sets the thread's error information and returns hr.
HRESULT Fail(HRESULT hr, const std::wstring& description, REFIID iid);
// Returns a copy of text as a new BSTR in *out (E_POINTER for a null out).
HRESULT PutText(BSTR* out, const std::wstring& text);

}  // namespace platform::xml
