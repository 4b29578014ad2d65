#pragma once
// The libxml2 and libxslt plumbing of the platform, for every component that parses markup:
// the one-time set-up with the process's safety policy, wide text at the xmlChar edge, the
// libraries' diagnostics captured per operation, and the safe XML parse.
//
// The policy, set once by InitLibraries: no external entity, DTD or stylesheet module is ever
// loaded (the external entity loader and libxslt's document loader refuse everything), and
// stylesheets may not read or write files, create directories or use the network.
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::xml {

// Initialises both libraries and installs the policy; safe to call often and from any thread.
void InitLibraries();

// UTF-8 from the libraries as wide text (null gives an empty text); invalid bytes become U+FFFD.
std::wstring FromXml(const xmlChar* text);
std::wstring FromXml(const char* text, size_t bytes);
// Wide text as UTF-8 for the libraries.
std::string ToXml(std::wstring_view text);

// One error the libraries reported.
struct Diagnostic {
  int code = 0;          // the library's error code; -1 for the platform's own refusals
  int line = 0;          // 1-based, 0 when unknown
  int column = 0;        // 1-based, 0 when unknown
  std::wstring message;  // one line, without the trailing line break
};

// Collects what libxml2 and libxslt report on this thread while it lives, and keeps it from the
// standard error stream. Captures nest: the innermost one receives the reports.
class ErrorCapture {
 public:
  ErrorCapture();
  ~ErrorCapture();
  ErrorCapture(const ErrorCapture&) = delete;
  ErrorCapture& operator=(const ErrorCapture&) = delete;

  bool Any() const { return !errors_.empty(); }
  const std::vector<Diagnostic>& Errors() const { return errors_; }
  // The first error's message, or `fallback` when nothing was reported.
  std::wstring FirstMessage(const wchar_t* fallback) const;

  // Used by the libraries' callbacks.
  void Add(Diagnostic diagnostic);
  void AddText(const char* text);  // generic reports arrive in pieces; a line break ends one

 private:
  ErrorCapture* previous_;
  void* savedStructured_;
  void* savedStructuredContext_;
  void* savedGeneric_;
  void* savedGenericContext_;
  std::string pending_;
  std::vector<Diagnostic> errors_;
};

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using DocHandle = std::unique_ptr<xmlDoc, DocFree>;

struct ParseOptions {
  const char* url = nullptr;       // the document's URL (messages and base), may be null
  const char* encoding = nullptr;  // the encoding of the bytes when known (the declaration is then ignored)
  bool preserveWhiteSpace = false; // keep whitespace-only text between elements
  int maxDepth = 256;              // deepest element nesting accepted
};

// Parses XML bytes. No network, no external entity or DTD; an entity declaration, nesting
// deeper than maxDepth or any well-formedness error gives null with the reason in `error`.
// Text of any size is accepted. Whitespace-only text is dropped as ParseOptions says, except
// under xml:space="preserve" and inside xsl:text.
DocHandle ParseXml(const char* data, size_t size, const ParseOptions& options, Diagnostic& error);

}  // namespace platform::xml
