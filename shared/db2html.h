#pragma once
// The HTML preview of one database record: the object type's data definition (vx_Definicja) is
// run through the XML data extractor with the record's id, and its XML is transformed with the
// type's stylesheet (vx_Transformacja, the lowest vxt_Id) or the host's default stylesheet, the
// resource "XML" / "STD_PREVIEW_XSLT" of the application module.
#include "platform/strings/strings.h"
#include "platform/xml/msxml.h"

class CDB2html {
 public:
  CDB2html() = default;
  CDB2html(const CDB2html&) = default;
  CDB2html& operator=(const CDB2html&) = default;
  ~CDB2html() = default;

  // The HTML of record `recordId` of object type `objectId`; `financial` is passed to the
  // definition as "upr_fin" ("-1" or "0"). Empty when the definition, the stylesheet or the
  // render fails; never raises.
  CString Transform2Html(LONG objectId, LONG recordId, bool financial);

 protected:
  // The definition of the object type; a failed load leaves none.
  HRESULT LoadDefinition();
  // The object type's stylesheet, or else the default one; a failed load leaves none.
  HRESULT LoadTransformation();
  // The stylesheet of object `id` (its row of lowest vxt_Id), or for an id below 1 the default.
  HRESULT SetXSLT(LONG id);
  // Extracts and transforms into the HTML result, which stays empty unless this succeeds.
  void Render();

  LONG m_recordId = 0;
  LONG m_objectId = 0;
  CString m_html;
  bool m_financial = false;
  IXMLDOMDocument2Ptr m_definition;
  IXMLDOMDocument2Ptr m_stylesheet;
  IXMLDOMDocumentPtr m_output;
};
