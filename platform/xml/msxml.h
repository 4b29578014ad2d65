#pragma once
// The XML services of the platform, in the shape that importing the 4.0 XML type library gives:
// the DOM document with XPath selection and XSLT, its nodes, node lists, attribute maps and
// parse error; the SAX writer with its content handler, and the SAX attribute list. Built on
// libxml2 and libxslt (platform/xml/libxml.h holds the plumbing that other components reuse).
//
// Calling conventions (as in the ADO layer):
// - raw methods (`get_x`, `put_x`, `raw_y`) return an HRESULT and set the thread's error
//   information on failure;
// - wrapper methods (`Getx`, `Putx`, `y`) raise `_com_error` carrying that error information
//   and return the value.
//
// Behaviour:
// - Text is wide inside and UTF-8 at the libxml2 edge. `loadXML` of a wide string ignores the
//   encoding its declaration names (the text is already decoded), so the writer's string output,
//   which declares "UTF-16", loads back. `load` reads bytes (a file, "file://" URL or
//   "res://<module file>/<type>/<name>" resource) and honours the declared encoding.
// - Parsing never touches the network and never loads an external entity or DTD; entity
//   declarations are refused (no expansion bombs); elements nest at most 256 deep. A failed
//   parse leaves an empty document, answers VARIANT_FALSE and fills `parseError`.
// - Whitespace-only text between elements is dropped on load unless `preserveWhiteSpace` is set
//   (kept inside xml:space="preserve" and xsl:text); `text` of an element or document is its
//   descendants' text with the outer whitespace trimmed.
// - `load` runs to completion whatever `async` says: `readyState` is 4 (complete) when it returns.
// - Selections are XPath 1.0 ("SelectionLanguage" accepts only "XPath"); "SelectionNamespaces"
//   takes "xmlns:p='uri'" declarations separated by white space.
// - `transformNode` applies the stylesheet with file, directory and network access forbidden
//   (no document(), xsl:include or xsl:import of anything outside the stylesheet) and gives the
//   text its output method asks for: an "xml" result declares encoding "UTF-16", an "html" result
//   carries the serializer's UTF-8 content-type line.
#include "platform/com/com.h"

// ---- node types -------------------------------------------------------------------------------
enum DOMNodeType {
  NODE_INVALID = 0,
  NODE_ELEMENT = 1,
  NODE_ATTRIBUTE = 2,
  NODE_TEXT = 3,
  NODE_CDATA_SECTION = 4,
  NODE_ENTITY_REFERENCE = 5,
  NODE_ENTITY = 6,
  NODE_PROCESSING_INSTRUCTION = 7,
  NODE_COMMENT = 8,
  NODE_DOCUMENT = 9,
  NODE_DOCUMENT_TYPE = 10,
  NODE_DOCUMENT_FRAGMENT = 11,
  NODE_NOTATION = 12,
};

struct IXMLDOMNode;
struct IXMLDOMNodeList;
struct IXMLDOMNamedNodeMap;
struct IXMLDOMElement;
struct IXMLDOMAttribute;
struct IXMLDOMParseError;
struct IXMLDOMDocument;
struct IXMLDOMDocument2;
struct IMXWriter;
struct IVBSAXContentHandler;
struct IMXAttributes;
struct IVBSAXAttributes;
struct DOMDocument40;
struct MXXMLWriter40;
struct SAXAttributes40;

VANTOR_UUIDOF(IXMLDOMNode, "2933BF80-7B36-11D2-B20E-00C04F983E60");
VANTOR_UUIDOF(IXMLDOMDocument, "2933BF81-7B36-11D2-B20E-00C04F983E60");
VANTOR_UUIDOF(IXMLDOMNodeList, "2933BF82-7B36-11D2-B20E-00C04F983E60");
VANTOR_UUIDOF(IXMLDOMNamedNodeMap, "2933BF83-7B36-11D2-B20E-00C04F983E60");
VANTOR_UUIDOF(IXMLDOMAttribute, "2933BF85-7B36-11D2-B20E-00C04F983E60");
VANTOR_UUIDOF(IXMLDOMElement, "2933BF86-7B36-11D2-B20E-00C04F983E60");
VANTOR_UUIDOF(IXMLDOMDocument2, "2933BF95-7B36-11D2-B20E-00C04F983E60");
VANTOR_UUIDOF(IXMLDOMParseError, "3EFAA426-272F-11D2-836F-0000F87A7782");
VANTOR_UUIDOF(IMXWriter, "4D7FF4BA-1565-4EA8-94E1-6E724A46F98D");
VANTOR_UUIDOF(IVBSAXContentHandler, "2ED7290A-4DD5-4B46-BB26-4E4155E77FAA");
VANTOR_UUIDOF(IMXAttributes, "F10D27CC-3EC0-415C-8ED8-77AB1C5E7262");
VANTOR_UUIDOF(IVBSAXAttributes, "10DC0586-132B-4CAC-8BB3-DB00AC8B7EE0");
// The creatable classes (version 4.0).
VANTOR_UUIDOF(DOMDocument40, "88D969C0-F192-11D4-A65F-0040963251E5");
VANTOR_UUIDOF(MXXMLWriter40, "FC220AD8-A72A-4EE8-926E-0B7AD152A020");
VANTOR_UUIDOF(SAXAttributes40, "4DD441AD-526D-4A77-9F1B-9841ED802FB0");

_COM_SMARTPTR_TYPEDEF(IXMLDOMNode, __uuidof(IXMLDOMNode));
_COM_SMARTPTR_TYPEDEF(IXMLDOMNodeList, __uuidof(IXMLDOMNodeList));
_COM_SMARTPTR_TYPEDEF(IXMLDOMNamedNodeMap, __uuidof(IXMLDOMNamedNodeMap));
_COM_SMARTPTR_TYPEDEF(IXMLDOMElement, __uuidof(IXMLDOMElement));
_COM_SMARTPTR_TYPEDEF(IXMLDOMAttribute, __uuidof(IXMLDOMAttribute));
_COM_SMARTPTR_TYPEDEF(IXMLDOMParseError, __uuidof(IXMLDOMParseError));
_COM_SMARTPTR_TYPEDEF(IXMLDOMDocument, __uuidof(IXMLDOMDocument));
_COM_SMARTPTR_TYPEDEF(IXMLDOMDocument2, __uuidof(IXMLDOMDocument2));
_COM_SMARTPTR_TYPEDEF(IMXWriter, __uuidof(IMXWriter));
_COM_SMARTPTR_TYPEDEF(IVBSAXContentHandler, __uuidof(IVBSAXContentHandler));
_COM_SMARTPTR_TYPEDEF(IMXAttributes, __uuidof(IMXAttributes));
_COM_SMARTPTR_TYPEDEF(IVBSAXAttributes, __uuidof(IVBSAXAttributes));

// ---- DOM --------------------------------------------------------------------------------------
struct IXMLDOMNode : IDispatch {
  STDMETHOD(get_nodeName)(BSTR* name) = 0;
  STDMETHOD(get_nodeValue)(VARIANT* value) = 0;
  STDMETHOD(get_nodeType)(DOMNodeType* type) = 0;
  STDMETHOD(get_parentNode)(IXMLDOMNode** parent) = 0;
  STDMETHOD(get_childNodes)(IXMLDOMNodeList** children) = 0;
  STDMETHOD(get_firstChild)(IXMLDOMNode** child) = 0;
  STDMETHOD(get_lastChild)(IXMLDOMNode** child) = 0;
  STDMETHOD(get_previousSibling)(IXMLDOMNode** sibling) = 0;
  STDMETHOD(get_nextSibling)(IXMLDOMNode** sibling) = 0;
  STDMETHOD(get_attributes)(IXMLDOMNamedNodeMap** attributes) = 0;
  STDMETHOD(raw_hasChildNodes)(VARIANT_BOOL* has) = 0;
  STDMETHOD(get_ownerDocument)(IXMLDOMDocument** document) = 0;
  STDMETHOD(get_text)(BSTR* text) = 0;
  STDMETHOD(get_xml)(BSTR* xml) = 0;
  STDMETHOD(raw_transformNode)(IXMLDOMNode* stylesheet, BSTR* result) = 0;
  STDMETHOD(raw_selectNodes)(BSTR query, IXMLDOMNodeList** nodes) = 0;
  STDMETHOD(raw_selectSingleNode)(BSTR query, IXMLDOMNode** node) = 0;
  STDMETHOD(get_namespaceURI)(BSTR* uri) = 0;
  STDMETHOD(get_prefix)(BSTR* prefix) = 0;
  STDMETHOD(get_baseName)(BSTR* name) = 0;

  _bstr_t GetnodeName();
  _variant_t GetnodeValue();
  DOMNodeType GetnodeType();
  IXMLDOMNodePtr GetparentNode();
  IXMLDOMNodeListPtr GetchildNodes();
  IXMLDOMNodePtr GetfirstChild();
  IXMLDOMNodePtr GetlastChild();
  IXMLDOMNodePtr GetpreviousSibling();
  IXMLDOMNodePtr GetnextSibling();
  IXMLDOMNamedNodeMapPtr Getattributes();
  VARIANT_BOOL hasChildNodes();
  IXMLDOMDocumentPtr GetownerDocument();
  _bstr_t Gettext();
  _bstr_t Getxml();
  _bstr_t transformNode(IXMLDOMNode* stylesheet);
  IXMLDOMNodeListPtr selectNodes(_bstr_t query);
  IXMLDOMNodePtr selectSingleNode(_bstr_t query);  // null when nothing matches
  _bstr_t GetnamespaceURI();
  _bstr_t Getprefix();
  _bstr_t GetbaseName();
};

struct IXMLDOMNodeList : IDispatch {
  STDMETHOD(get_item)(LONG index, IXMLDOMNode** node) = 0;  // S_FALSE and null past the end
  STDMETHOD(get_length)(LONG* length) = 0;
  STDMETHOD(raw_nextNode)(IXMLDOMNode** node) = 0;  // S_FALSE and null at the end
  STDMETHOD(raw_reset)() = 0;

  IXMLDOMNodePtr Getitem(LONG index);
  LONG Getlength();
  IXMLDOMNodePtr nextNode();
  HRESULT reset();
};

struct IXMLDOMNamedNodeMap : IDispatch {
  STDMETHOD(raw_getNamedItem)(BSTR name, IXMLDOMNode** node) = 0;  // S_FALSE and null when absent
  STDMETHOD(get_item)(LONG index, IXMLDOMNode** node) = 0;
  STDMETHOD(get_length)(LONG* length) = 0;

  IXMLDOMNodePtr getNamedItem(_bstr_t name);
  IXMLDOMNodePtr Getitem(LONG index);
  LONG Getlength();
};

struct IXMLDOMElement : IXMLDOMNode {
  STDMETHOD(get_tagName)(BSTR* name) = 0;
  STDMETHOD(raw_getAttribute)(BSTR name, VARIANT* value) = 0;  // VT_NULL and S_FALSE when absent

  _bstr_t GettagName();
  _variant_t getAttribute(_bstr_t name);
};

struct IXMLDOMAttribute : IXMLDOMNode {
  STDMETHOD(get_name)(BSTR* name) = 0;
  STDMETHOD(get_value)(VARIANT* value) = 0;

  _bstr_t Getname();
  _variant_t Getvalue();
};

struct IXMLDOMParseError : IDispatch {
  STDMETHOD(get_errorCode)(LONG* code) = 0;  // 0 when the last load succeeded
  STDMETHOD(get_url)(BSTR* url) = 0;
  STDMETHOD(get_reason)(BSTR* reason) = 0;
  STDMETHOD(get_srcText)(BSTR* text) = 0;
  STDMETHOD(get_line)(LONG* line) = 0;
  STDMETHOD(get_linepos)(LONG* position) = 0;
  STDMETHOD(get_filepos)(LONG* position) = 0;

  LONG GeterrorCode();
  _bstr_t Geturl();
  _bstr_t Getreason();
  _bstr_t GetsrcText();
  LONG Getline();
  LONG Getlinepos();
  LONG Getfilepos();
};

struct IXMLDOMDocument : IXMLDOMNode {
  STDMETHOD(get_documentElement)(IXMLDOMElement** element) = 0;
  STDMETHOD(get_readyState)(LONG* state) = 0;
  STDMETHOD(get_parseError)(IXMLDOMParseError** error) = 0;
  STDMETHOD(get_url)(BSTR* url) = 0;
  STDMETHOD(get_async)(VARIANT_BOOL* async) = 0;
  STDMETHOD(put_async)(VARIANT_BOOL async) = 0;
  STDMETHOD(raw_load)(VARIANT source, VARIANT_BOOL* loaded) = 0;
  STDMETHOD(raw_loadXML)(BSTR xml, VARIANT_BOOL* loaded) = 0;
  STDMETHOD(get_preserveWhiteSpace)(VARIANT_BOOL* preserve) = 0;
  STDMETHOD(put_preserveWhiteSpace)(VARIANT_BOOL preserve) = 0;

  IXMLDOMElementPtr GetdocumentElement();  // null for an empty document
  LONG GetreadyState();
  IXMLDOMParseErrorPtr GetparseError();
  _bstr_t Geturl();
  VARIANT_BOOL Getasync();
  void Putasync(VARIANT_BOOL async);
  VARIANT_BOOL load(const _variant_t& source);
  VARIANT_BOOL loadXML(_bstr_t xml);
  VARIANT_BOOL GetpreserveWhiteSpace();
  void PutpreserveWhiteSpace(VARIANT_BOOL preserve);
};

struct IXMLDOMDocument2 : IXMLDOMDocument {
  STDMETHOD(raw_setProperty)(BSTR name, VARIANT value) = 0;
  STDMETHOD(raw_getProperty)(BSTR name, VARIANT* value) = 0;

  HRESULT setProperty(_bstr_t name, const _variant_t& value);
  _variant_t getProperty(_bstr_t name);
};

// ---- SAX writer and attribute list ------------------------------------------------------------
// The writer's output is a string (set `output` to an empty string or VT_EMPTY to start one);
// it declares encoding "UTF-16". Text escapes "&", "<" and ">", attribute values also '"'.
// With `indent` every element starts a line (CR LF) indented by one tab per level; an element
// holding only text stays on its line and an empty one is written "<name/>". Element and
// attribute names must be XML names and an element's attribute names distinct (E_INVALIDARG).
struct IMXWriter : IDispatch {
  STDMETHOD(put_output)(VARIANT destination) = 0;
  STDMETHOD(get_output)(VARIANT* destination) = 0;
  STDMETHOD(get_encoding)(BSTR* encoding) = 0;
  STDMETHOD(put_indent)(VARIANT_BOOL indent) = 0;
  STDMETHOD(get_indent)(VARIANT_BOOL* indent) = 0;
  STDMETHOD(put_standalone)(VARIANT_BOOL standalone) = 0;
  STDMETHOD(get_standalone)(VARIANT_BOOL* standalone) = 0;
  STDMETHOD(put_omitXMLDeclaration)(VARIANT_BOOL omit) = 0;
  STDMETHOD(get_omitXMLDeclaration)(VARIANT_BOOL* omit) = 0;
  STDMETHOD(raw_flush)() = 0;

  void Putoutput(const _variant_t& destination);
  _variant_t Getoutput();
  _bstr_t Getencoding();
  void Putindent(VARIANT_BOOL indent);
  VARIANT_BOOL Getindent();
  void Putstandalone(VARIANT_BOOL standalone);
  VARIANT_BOOL Getstandalone();
  void PutomitXMLDeclaration(VARIANT_BOOL omit);
  VARIANT_BOOL GetomitXMLDeclaration();
  HRESULT flush();
};

struct IVBSAXContentHandler : IDispatch {
  STDMETHOD(raw_startDocument)() = 0;
  STDMETHOD(raw_endDocument)() = 0;
  STDMETHOD(raw_startElement)(BSTR* namespaceUri, BSTR* localName, BSTR* qName, IVBSAXAttributes* attributes) = 0;
  STDMETHOD(raw_endElement)(BSTR* namespaceUri, BSTR* localName, BSTR* qName) = 0;
  STDMETHOD(raw_characters)(BSTR* chars) = 0;

  HRESULT startDocument();
  HRESULT endDocument();
  HRESULT startElement(BSTR* namespaceUri, BSTR* localName, BSTR* qName, IVBSAXAttributes* attributes);
  HRESULT endElement(BSTR* namespaceUri, BSTR* localName, BSTR* qName);
  HRESULT characters(BSTR* chars);
};

struct IMXAttributes : IDispatch {
  STDMETHOD(raw_addAttribute)(BSTR uri, BSTR localName, BSTR qName, BSTR type, BSTR value) = 0;
  STDMETHOD(raw_clear)() = 0;

  HRESULT addAttribute(_bstr_t uri, _bstr_t localName, _bstr_t qName, _bstr_t type, _bstr_t value);
  HRESULT clear();
};

struct IVBSAXAttributes : IDispatch {
  STDMETHOD(get_length)(int* length) = 0;
  STDMETHOD(raw_getURI)(int index, BSTR* uri) = 0;
  STDMETHOD(raw_getLocalName)(int index, BSTR* localName) = 0;
  STDMETHOD(raw_getQName)(int index, BSTR* qName) = 0;
  STDMETHOD(raw_getValue)(int index, BSTR* value) = 0;
  STDMETHOD(raw_getValueFromQName)(BSTR qName, BSTR* value) = 0;  // E_INVALIDARG when absent

  int Getlength();
  _bstr_t getURI(int index);
  _bstr_t getLocalName(int index);
  _bstr_t getQName(int index);
  _bstr_t getValue(int index);
  _bstr_t getValueFromQName(_bstr_t qName);
};

namespace platform::xml {
// Registers the creatable classes (DOMDocument40, MXXMLWriter40, SAXAttributes40) as
// in-process class objects. Runs when the library loads; calling it again does nothing.
void RegisterXmlClasses();
// Every program that includes this header uses the library, so its classes are registered
// before main (and the library is never dropped by the linker).
inline const bool kXmlClassesRegistered = (RegisterXmlClasses(), true);
}  // namespace platform::xml
