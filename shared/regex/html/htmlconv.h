#pragma once
// Vantor's HTML-to-text conversions, which the host uses to show and store auction descriptions
// written in HTML.
#include "platform/strings/strings.h"

// The plain text of an HTML fragment or page: no tags, scripts, styles or head; table cells as
// " | ", line-structure tags as line breaks, character references replaced. A null pointer is
// taken as empty text.
CString hxConvertToPlaintext(const wchar_t* html);

// The page without its document wrapper (doctype, html, head, meta, script, style and body
// tags), so that the body's markup can be embedded elsewhere. A null pointer is taken as empty.
CString hxRemoveHTMLHeader(const wchar_t* html);

// A minimal HTML page showing text: "<" and ">" escaped, each LF as "<br>"; html is overwritten.
void hxConvertToPlainHTML(const CString& text, CString& html);
