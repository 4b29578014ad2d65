// The raising wrappers of the XML interfaces: each calls its raw method and raises the failure
// as a _com_error carrying the object's error information.
#include <type_traits>

#include "platform/xml/msxml.h"

namespace {

template <class I>
void Check(HRESULT hr, I* self) {
  if (FAILED(hr)) _com_issue_errorex(hr, self, __uuidof(I));
}

template <class I, class F>
_bstr_t Text(I* self, F call) {
  BSTR out = nullptr;
  Check(call(&out), self);
  return _bstr_t(out, false);
}

template <class I, class T>
T Value(I* self, HRESULT (I::*get)(T*)) {
  T out{};
  Check(((*self).*get)(&out), self);
  return out;
}

template <class P, class I, class F>
P Pointer(I* self, F call) {
  typename P::Interface* out = nullptr;
  Check(call(&out), self);
  return P(out, false);
}

template <class I, class F>
_variant_t Variant(I* self, F call) {
  VARIANT out;
  VariantInit(&out);
  Check(call(&out), self);
  return _variant_t(out, false);
}

template <class I>
HRESULT Raw(I* self, HRESULT hr) {
  Check(hr, self);
  return hr;
}

}  // namespace

// ---- IXMLDOMNode
_bstr_t IXMLDOMNode::GetnodeName() { return Text(this, [&](BSTR* o) { return get_nodeName(o); }); }
_variant_t IXMLDOMNode::GetnodeValue() { return Variant(this, [&](VARIANT* o) { return get_nodeValue(o); }); }
DOMNodeType IXMLDOMNode::GetnodeType() { return Value(this, &IXMLDOMNode::get_nodeType); }
IXMLDOMNodePtr IXMLDOMNode::GetparentNode() { return Pointer<IXMLDOMNodePtr>(this, [&](auto** o) { return get_parentNode(o); }); }
IXMLDOMNodeListPtr IXMLDOMNode::GetchildNodes() { return Pointer<IXMLDOMNodeListPtr>(this, [&](auto** o) { return get_childNodes(o); }); }
IXMLDOMNodePtr IXMLDOMNode::GetfirstChild() { return Pointer<IXMLDOMNodePtr>(this, [&](auto** o) { return get_firstChild(o); }); }
IXMLDOMNodePtr IXMLDOMNode::GetlastChild() { return Pointer<IXMLDOMNodePtr>(this, [&](auto** o) { return get_lastChild(o); }); }
IXMLDOMNodePtr IXMLDOMNode::GetpreviousSibling() {
  return Pointer<IXMLDOMNodePtr>(this, [&](auto** o) { return get_previousSibling(o); });
}
IXMLDOMNodePtr IXMLDOMNode::GetnextSibling() { return Pointer<IXMLDOMNodePtr>(this, [&](auto** o) { return get_nextSibling(o); }); }
IXMLDOMNamedNodeMapPtr IXMLDOMNode::Getattributes() {
  return Pointer<IXMLDOMNamedNodeMapPtr>(this, [&](auto** o) { return get_attributes(o); });
}
VARIANT_BOOL IXMLDOMNode::hasChildNodes() { return Value(this, &IXMLDOMNode::raw_hasChildNodes); }
IXMLDOMDocumentPtr IXMLDOMNode::GetownerDocument() {
  return Pointer<IXMLDOMDocumentPtr>(this, [&](auto** o) { return get_ownerDocument(o); });
}
_bstr_t IXMLDOMNode::Gettext() { return Text(this, [&](BSTR* o) { return get_text(o); }); }
_bstr_t IXMLDOMNode::Getxml() { return Text(this, [&](BSTR* o) { return get_xml(o); }); }
_bstr_t IXMLDOMNode::transformNode(IXMLDOMNode* stylesheet) {
  return Text(this, [&](BSTR* o) { return raw_transformNode(stylesheet, o); });
}
IXMLDOMNodeListPtr IXMLDOMNode::selectNodes(_bstr_t query) {
  return Pointer<IXMLDOMNodeListPtr>(this, [&](auto** o) { return raw_selectNodes(query, o); });
}
IXMLDOMNodePtr IXMLDOMNode::selectSingleNode(_bstr_t query) {
  return Pointer<IXMLDOMNodePtr>(this, [&](auto** o) { return raw_selectSingleNode(query, o); });
}
_bstr_t IXMLDOMNode::GetnamespaceURI() { return Text(this, [&](BSTR* o) { return get_namespaceURI(o); }); }
_bstr_t IXMLDOMNode::Getprefix() { return Text(this, [&](BSTR* o) { return get_prefix(o); }); }
_bstr_t IXMLDOMNode::GetbaseName() { return Text(this, [&](BSTR* o) { return get_baseName(o); }); }

// ---- IXMLDOMNodeList, IXMLDOMNamedNodeMap
IXMLDOMNodePtr IXMLDOMNodeList::Getitem(LONG index) {
  return Pointer<IXMLDOMNodePtr>(this, [&](auto** o) { return get_item(index, o); });
}
LONG IXMLDOMNodeList::Getlength() { return Value(this, &IXMLDOMNodeList::get_length); }
IXMLDOMNodePtr IXMLDOMNodeList::nextNode() { return Pointer<IXMLDOMNodePtr>(this, [&](auto** o) { return raw_nextNode(o); }); }
HRESULT IXMLDOMNodeList::reset() { return Raw(this, raw_reset()); }

IXMLDOMNodePtr IXMLDOMNamedNodeMap::getNamedItem(_bstr_t name) {
  return Pointer<IXMLDOMNodePtr>(this, [&](auto** o) { return raw_getNamedItem(name, o); });
}
IXMLDOMNodePtr IXMLDOMNamedNodeMap::Getitem(LONG index) {
  return Pointer<IXMLDOMNodePtr>(this, [&](auto** o) { return get_item(index, o); });
}
LONG IXMLDOMNamedNodeMap::Getlength() { return Value(this, &IXMLDOMNamedNodeMap::get_length); }

// ---- IXMLDOMElement, IXMLDOMAttribute, IXMLDOMParseError
_bstr_t IXMLDOMElement::GettagName() { return Text(this, [&](BSTR* o) { return get_tagName(o); }); }
_variant_t IXMLDOMElement::getAttribute(_bstr_t name) {
  return Variant(this, [&](VARIANT* o) { return raw_getAttribute(name, o); });
}
_bstr_t IXMLDOMAttribute::Getname() { return Text(this, [&](BSTR* o) { return get_name(o); }); }
_variant_t IXMLDOMAttribute::Getvalue() { return Variant(this, [&](VARIANT* o) { return get_value(o); }); }

LONG IXMLDOMParseError::GeterrorCode() { return Value(this, &IXMLDOMParseError::get_errorCode); }
_bstr_t IXMLDOMParseError::Geturl() { return Text(this, [&](BSTR* o) { return get_url(o); }); }
_bstr_t IXMLDOMParseError::Getreason() { return Text(this, [&](BSTR* o) { return get_reason(o); }); }
_bstr_t IXMLDOMParseError::GetsrcText() { return Text(this, [&](BSTR* o) { return get_srcText(o); }); }
LONG IXMLDOMParseError::Getline() { return Value(this, &IXMLDOMParseError::get_line); }
LONG IXMLDOMParseError::Getlinepos() { return Value(this, &IXMLDOMParseError::get_linepos); }
LONG IXMLDOMParseError::Getfilepos() { return Value(this, &IXMLDOMParseError::get_filepos); }

// ---- IXMLDOMDocument, IXMLDOMDocument2
IXMLDOMElementPtr IXMLDOMDocument::GetdocumentElement() {
  return Pointer<IXMLDOMElementPtr>(this, [&](auto** o) { return get_documentElement(o); });
}
LONG IXMLDOMDocument::GetreadyState() { return Value(this, &IXMLDOMDocument::get_readyState); }
IXMLDOMParseErrorPtr IXMLDOMDocument::GetparseError() {
  return Pointer<IXMLDOMParseErrorPtr>(this, [&](auto** o) { return get_parseError(o); });
}
_bstr_t IXMLDOMDocument::Geturl() { return Text(this, [&](BSTR* o) { return get_url(o); }); }
VARIANT_BOOL IXMLDOMDocument::Getasync() { return Value(this, &IXMLDOMDocument::get_async); }
void IXMLDOMDocument::Putasync(VARIANT_BOOL async) { Check(put_async(async), this); }
VARIANT_BOOL IXMLDOMDocument::load(const _variant_t& source) {
  VARIANT_BOOL loaded = VARIANT_FALSE;
  Check(raw_load(source, &loaded), this);
  return loaded;
}
VARIANT_BOOL IXMLDOMDocument::loadXML(_bstr_t xml) {
  VARIANT_BOOL loaded = VARIANT_FALSE;
  Check(raw_loadXML(xml, &loaded), this);
  return loaded;
}
VARIANT_BOOL IXMLDOMDocument::GetpreserveWhiteSpace() { return Value(this, &IXMLDOMDocument::get_preserveWhiteSpace); }
void IXMLDOMDocument::PutpreserveWhiteSpace(VARIANT_BOOL preserve) { Check(put_preserveWhiteSpace(preserve), this); }

HRESULT IXMLDOMDocument2::setProperty(_bstr_t name, const _variant_t& value) {
  return Raw(this, raw_setProperty(name, value));
}
_variant_t IXMLDOMDocument2::getProperty(_bstr_t name) {
  return Variant(this, [&](VARIANT* o) { return raw_getProperty(name, o); });
}

// ---- the SAX writer and attribute list
void IMXWriter::Putoutput(const _variant_t& destination) { Check(put_output(destination), this); }
_variant_t IMXWriter::Getoutput() { return Variant(this, [&](VARIANT* o) { return get_output(o); }); }
_bstr_t IMXWriter::Getencoding() { return Text(this, [&](BSTR* o) { return get_encoding(o); }); }
void IMXWriter::Putindent(VARIANT_BOOL indent) { Check(put_indent(indent), this); }
VARIANT_BOOL IMXWriter::Getindent() { return Value(this, &IMXWriter::get_indent); }
void IMXWriter::Putstandalone(VARIANT_BOOL standalone) { Check(put_standalone(standalone), this); }
VARIANT_BOOL IMXWriter::Getstandalone() { return Value(this, &IMXWriter::get_standalone); }
void IMXWriter::PutomitXMLDeclaration(VARIANT_BOOL omit) { Check(put_omitXMLDeclaration(omit), this); }
VARIANT_BOOL IMXWriter::GetomitXMLDeclaration() { return Value(this, &IMXWriter::get_omitXMLDeclaration); }
HRESULT IMXWriter::flush() { return Raw(this, raw_flush()); }

HRESULT IVBSAXContentHandler::startDocument() { return Raw(this, raw_startDocument()); }
HRESULT IVBSAXContentHandler::endDocument() { return Raw(this, raw_endDocument()); }
HRESULT IVBSAXContentHandler::startElement(BSTR* namespaceUri, BSTR* localName, BSTR* qName,
                                           IVBSAXAttributes* attributes) {
  return Raw(this, raw_startElement(namespaceUri, localName, qName, attributes));
}
HRESULT IVBSAXContentHandler::endElement(BSTR* namespaceUri, BSTR* localName, BSTR* qName) {
  return Raw(this, raw_endElement(namespaceUri, localName, qName));
}
HRESULT IVBSAXContentHandler::characters(BSTR* chars) { return Raw(this, raw_characters(chars)); }

HRESULT IMXAttributes::addAttribute(_bstr_t uri, _bstr_t localName, _bstr_t qName, _bstr_t type, _bstr_t value) {
  return Raw(this, raw_addAttribute(uri, localName, qName, type, value));
}
HRESULT IMXAttributes::clear() { return Raw(this, raw_clear()); }

int IVBSAXAttributes::Getlength() { return Value(this, &IVBSAXAttributes::get_length); }
_bstr_t IVBSAXAttributes::getURI(int index) { return Text(this, [&](BSTR* o) { return raw_getURI(index, o); }); }
_bstr_t IVBSAXAttributes::getLocalName(int index) {
  return Text(this, [&](BSTR* o) { return raw_getLocalName(index, o); });
}
_bstr_t IVBSAXAttributes::getQName(int index) {
  return Text(this, [&](BSTR* o) { return raw_getQName(index, o); });
}
_bstr_t IVBSAXAttributes::getValue(int index) {
  return Text(this, [&](BSTR* o) { return raw_getValue(index, o); });
}
_bstr_t IVBSAXAttributes::getValueFromQName(_bstr_t qName) {
  return Text(this, [&](BSTR* o) { return raw_getValueFromQName(qName, o); });
}
