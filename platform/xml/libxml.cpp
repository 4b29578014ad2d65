// libxml2 and libxslt set-up, diagnostics and the safe parse.
#include "platform/xml/libxml.h"

#include <libxml/SAX2.h>
#include <libxml/parserInternals.h>
#include <libxslt/documents.h>
#include <libxslt/security.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltutils.h>

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "platform/base/utf8.h"

namespace platform::xml {
namespace {

thread_local ErrorCapture* t_capture = nullptr;

std::string TrimLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

void OnStructured(void*, xmlErrorPtr error) {
  if (!t_capture || !error || error->level < XML_ERR_ERROR) return;
  Diagnostic d;
  d.code = error->code;
  d.line = error->line;
  d.column = error->int2;
  d.message = FromXml(reinterpret_cast<const xmlChar*>(TrimLine(error->message ? error->message : "").c_str()));
  t_capture->Add(std::move(d));
}

void OnGeneric(void*, const char* format, ...) {
  if (!t_capture || !format) return;
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  t_capture->AddText(buffer);
}

// Nothing outside the text given is ever read: external entities, DTDs and stylesheet modules.
xmlParserInputPtr RefuseExternalEntity(const char* url, const char*, xmlParserCtxtPtr) {
  if (t_capture) {
    Diagnostic d;
    d.code = -1;
    d.message = L"external resources are not loaded: " + FromXml(reinterpret_cast<const xmlChar*>(url ? url : ""));
    t_capture->Add(std::move(d));
  }
  return nullptr;
}

xmlDocPtr RefuseStylesheetDocument(const xmlChar* uri, xmlDictPtr, int, void*, xsltLoadType) {
  if (t_capture) {
    Diagnostic d;
    d.code = -1;
    d.message = L"stylesheets may not load documents: " + FromXml(uri);
    t_capture->Add(std::move(d));
  }
  return nullptr;
}

// ---- the parse ----

struct ParseState {
  int depth = 0;
  int maxDepth = 256;
  bool refused = false;
  Diagnostic reason;
  startElementNsSAX2Func start = nullptr;
  endElementNsSAX2Func end = nullptr;
};

void Refuse(void* ctx, const std::wstring& message) {
  auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
  auto* state = static_cast<ParseState*>(ctxt->_private);
  if (!state->refused) {
    state->refused = true;
    state->reason.code = -1;
    state->reason.line = xmlSAX2GetLineNumber(ctx);
    state->reason.column = xmlSAX2GetColumnNumber(ctx);
    state->reason.message = message;
  }
  ctxt->wellFormed = 0;
  xmlStopParser(ctxt);
}

void RefuseEntityDecl(void* ctx, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) {
  Refuse(ctx, L"entity declarations are not accepted");
}

void RefuseUnparsedEntityDecl(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*, const xmlChar*) {
  Refuse(ctx, L"entity declarations are not accepted");
}

void StartElementChecked(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri,
                         int namespaceCount, const xmlChar** namespaces, int attributeCount, int defaulted,
                         const xmlChar** attributes) {
  auto* state = static_cast<ParseState*>(static_cast<xmlParserCtxtPtr>(ctx)->_private);
  if (++state->depth > state->maxDepth) {
    Refuse(ctx, L"elements nest deeper than " + std::to_wstring(state->maxDepth) + L" levels");
    return;
  }
  state->start(ctx, localname, prefix, uri, namespaceCount, namespaces, attributeCount, defaulted, attributes);
}

void EndElementChecked(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri) {
  auto* state = static_cast<ParseState*>(static_cast<xmlParserCtxtPtr>(ctx)->_private);
  --state->depth;
  state->end(ctx, localname, prefix, uri);
}

bool IsBlank(const xmlChar* text) {
  if (!text) return true;
  for (; *text; ++text)
    if (*text != ' ' && *text != '\t' && *text != '\r' && *text != '\n') return false;
  return true;
}

bool IsXslText(xmlNodePtr element) {
  return element && element->type == XML_ELEMENT_NODE && element->ns &&
         xmlStrEqual(element->ns->href, BAD_CAST "http://www.w3.org/1999/XSL/Transform") &&
         xmlStrEqual(element->name, BAD_CAST "text");
}

// Drops whitespace-only text nodes, walking the tree without recursion.
void StripBlankText(xmlDocPtr doc) {
  xmlNodePtr node = doc->children;
  while (node) {
    xmlNodePtr next = nullptr;
    if (node->type == XML_ELEMENT_NODE && node->children) {
      next = node->children;
    } else {
      for (xmlNodePtr up = node; up && up != reinterpret_cast<xmlNodePtr>(doc); up = up->parent) {
        if (up->next) {
          next = up->next;
          break;
        }
      }
    }
    if (node->type == XML_TEXT_NODE && IsBlank(node->content) && !IsXslText(node->parent) &&
        xmlNodeGetSpacePreserve(node->parent) != 1) {
      // The walk goes on from the node after this one (it has no children).
      xmlUnlinkNode(node);
      xmlFreeNode(node);
    }
    node = next;
  }
}

}  // namespace

void InitLibraries() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    xmlSetExternalEntityLoader(&RefuseExternalEntity);
    xsltInit();
    xsltSetLoaderFunc(&RefuseStylesheetDocument);
    xsltSetGenericErrorFunc(nullptr, &OnGeneric);
    xsltSecurityPrefsPtr prefs = xsltNewSecurityPrefs();
    for (xsltSecurityOption option : {XSLT_SECPREF_READ_FILE, XSLT_SECPREF_WRITE_FILE, XSLT_SECPREF_CREATE_DIRECTORY,
                                      XSLT_SECPREF_READ_NETWORK, XSLT_SECPREF_WRITE_NETWORK})
      xsltSetSecurityPrefs(prefs, option, &xsltSecurityForbid);
    xsltSetDefaultSecurityPrefs(prefs);  // kept for the life of the process
  });
}

std::wstring FromXml(const xmlChar* text) {
  if (!text) return {};
  return utf8::ToWide(reinterpret_cast<const char*>(text));
}

std::wstring FromXml(const char* text, size_t bytes) {
  if (!text) return {};
  return utf8::ToWide(std::string_view(text, bytes));
}

std::string ToXml(std::wstring_view text) { return utf8::FromWide(text); }

ErrorCapture::ErrorCapture()
    : previous_(t_capture),
      savedStructured_(reinterpret_cast<void*>(xmlStructuredError)),
      savedStructuredContext_(xmlStructuredErrorContext),
      savedGeneric_(reinterpret_cast<void*>(xmlGenericError)),
      savedGenericContext_(xmlGenericErrorContext) {
  InitLibraries();
  t_capture = this;
  xmlSetStructuredErrorFunc(nullptr, &OnStructured);
  xmlSetGenericErrorFunc(nullptr, &OnGeneric);
}

ErrorCapture::~ErrorCapture() {
  if (!pending_.empty()) AddText("\n");
  xmlSetStructuredErrorFunc(savedStructuredContext_, reinterpret_cast<xmlStructuredErrorFunc>(savedStructured_));
  xmlSetGenericErrorFunc(savedGenericContext_, reinterpret_cast<xmlGenericErrorFunc>(savedGeneric_));
  t_capture = previous_;
}

std::wstring ErrorCapture::FirstMessage(const wchar_t* fallback) const {
  for (const Diagnostic& d : errors_)
    if (!d.message.empty()) return d.message;
  return fallback ? fallback : L"";
}

void ErrorCapture::Add(Diagnostic diagnostic) { errors_.push_back(std::move(diagnostic)); }

void ErrorCapture::AddText(const char* text) {
  pending_ += text;
  size_t end;
  while ((end = pending_.find('\n')) != std::string::npos) {
    std::string line = TrimLine(pending_.substr(0, end));
    pending_.erase(0, end + 1);
    if (line.empty()) continue;
    Diagnostic d;
    d.code = -1;
    d.message = FromXml(line.data(), line.size());
    errors_.push_back(std::move(d));
  }
}

DocHandle ParseXml(const char* data, size_t size, const ParseOptions& options, Diagnostic& error) {
  error = Diagnostic{};
  InitLibraries();
  if (size > static_cast<size_t>(INT_MAX)) {
    error.code = -1;
    error.message = L"the document is too large";
    return nullptr;
  }
  ErrorCapture capture;
  xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
  if (!ctxt || !ctxt->sax) {
    if (ctxt) xmlFreeParserCtxt(ctxt);
    error.code = -1;
    error.message = L"out of memory";
    return nullptr;
  }
  ParseState state;
  state.maxDepth = options.maxDepth;
  state.start = ctxt->sax->startElementNs ? ctxt->sax->startElementNs : &xmlSAX2StartElementNs;
  state.end = ctxt->sax->endElementNs ? ctxt->sax->endElementNs : &xmlSAX2EndElementNs;
  ctxt->_private = &state;
  ctxt->sax->entityDecl = &RefuseEntityDecl;
  ctxt->sax->unparsedEntityDecl = &RefuseUnparsedEntityDecl;
  ctxt->sax->startElementNs = &StartElementChecked;
  ctxt->sax->endElementNs = &EndElementChecked;

  int flags = XML_PARSE_NONET | XML_PARSE_HUGE | XML_PARSE_BIG_LINES;
  if (options.encoding) flags |= XML_PARSE_IGNORE_ENC;
  // An empty buffer is refused by the reader itself; give it one byte of nothing to report on.
  static const char kNothing[1] = {0};
  xmlDocPtr doc = xmlCtxtReadMemory(ctxt, size ? data : kNothing, static_cast<int>(size), options.url,
                                    options.encoding, flags);
  const bool wellFormed = doc && ctxt->wellFormed && !state.refused;
  xmlFreeParserCtxt(ctxt);
  if (!wellFormed) {
    if (doc) xmlFreeDoc(doc);
    if (state.refused) {
      error = state.reason;
    } else if (capture.Any()) {
      error = capture.Errors().front();
    } else {
      error.code = -1;
      error.message = L"the document could not be read";
    }
    if (error.message.empty()) error.message = L"the document could not be read";
    return nullptr;
  }
  if (!options.preserveWhiteSpace) StripBlankText(doc);
  return DocHandle(doc);
}

}  // namespace platform::xml
