// XSLT over libxslt: stylesheets compiled once per tree, applied under the process's security
// policy, results given as text.
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include "platform/xml/internal.h"

namespace platform::xml {
namespace {

// The deepest template nesting a transformation may reach: ends runaway recursion well before
// the stack runs out.
constexpr int kMaxTemplateDepth = 1000;

xsltStylesheetPtr Compiled(Tree& style, std::wstring& error) {
  if (style.compiled) return static_cast<xsltStylesheetPtr>(style.compiled.get());
  if (style.compileTried) {
    error = style.compileError;
    return nullptr;
  }
  style.compileTried = true;
  ErrorCapture capture;
  xmlDocPtr copy = xmlCopyDoc(style.doc.get(), 1);
  if (!copy) throw std::bad_alloc();
  xsltStylesheetPtr sheet = xsltParseStylesheetDoc(copy);
  if (!sheet || sheet->errors > 0) {
    if (sheet) xsltFreeStylesheet(sheet);  // frees the copy with it
    else xmlFreeDoc(copy);                 // a refused document stays the caller's
    style.compileError = L"the stylesheet cannot be used: " + capture.FirstMessage(L"it is not an XSLT stylesheet");
    error = style.compileError;
    return nullptr;
  }
  // Results are serialised as UTF-8 and decoded, whatever encoding the stylesheet names.
  if (sheet->encoding) xmlFree(sheet->encoding);
  sheet->encoding = xmlStrdup(BAD_CAST "UTF-8");
  style.compiled = std::shared_ptr<void>(sheet, [](void* p) { xsltFreeStylesheet(static_cast<xsltStylesheetPtr>(p)); });
  return sheet;
}

// A string result of the "xml" method declares the encoding of a wide string.
void DeclareWideEncoding(std::wstring& text) {
  if (text.compare(0, 6, L"<?xml ") != 0) return;
  const size_t end = text.find(L"?>");
  const size_t at = text.find(L"encoding=\"UTF-8\"");
  if (end == std::wstring::npos || at == std::wstring::npos || at > end) return;
  text.replace(at, 16, L"encoding=\"UTF-16\"");
}

}  // namespace

bool Transform(Tree& styleTree, Tree& tree, xmlNodePtr node, std::wstring& result, std::wstring& error) {
  xsltStylesheetPtr sheet = Compiled(styleTree, error);
  if (!sheet) return false;
  xmlDocPtr input = tree.doc.get();
  DocHandle fragment;
  if (node->type == XML_ELEMENT_NODE) {
    // An element is transformed as the root of a document of its own.
    fragment.reset(xmlNewDoc(BAD_CAST "1.0"));
    xmlNodePtr copy = fragment ? xmlDocCopyNode(node, fragment.get(), 1) : nullptr;
    if (!copy) throw std::bad_alloc();
    xmlDocSetRootElement(fragment.get(), copy);
    input = fragment.get();
  } else if (node->type != XML_DOCUMENT_NODE) {
    error = L"only a document or an element can be transformed";
    return false;
  }
  ErrorCapture capture;
  xsltTransformContextPtr ctxt = xsltNewTransformContext(sheet, input);
  if (!ctxt) throw std::bad_alloc();
  xsltSetCtxtSecurityPrefs(xsltGetDefaultSecurityPrefs(), ctxt);
  ctxt->maxTemplateDepth = kMaxTemplateDepth;
  xmlDocPtr output = xsltApplyStylesheetUser(sheet, input, nullptr, nullptr, nullptr, ctxt);
  const bool ok = output && ctxt->state == XSLT_STATE_OK;
  xsltFreeTransformContext(ctxt);
  if (!ok) {
    if (output) xmlFreeDoc(output);
    error = L"the transformation failed: " + capture.FirstMessage(L"the stylesheet stopped");
    return false;
  }
  xmlChar* bytes = nullptr;
  int size = 0;
  const int saved = xsltSaveResultToString(&bytes, &size, output, sheet);
  xmlFreeDoc(output);
  if (saved < 0) {
    if (bytes) xmlFree(bytes);
    error = L"the transformation result cannot be written: " + capture.FirstMessage(L"serialisation error");
    return false;
  }
  result = FromXml(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size));
  if (bytes) xmlFree(bytes);
  DeclareWideEncoding(result);
  return true;
}

}  // namespace platform::xml
