#pragma once
// Printing of the host's lists: CGridPrint turns a list container's grid into one HTML page (the
// title, a table with a "Lp." column and one column per grid column, styled from the columns'
// fonts and alignments) and prints it through the shared print dialog (CDrukowanie);
// CHtmlPrintGridSupport attaches the process-wide printer to a container.
//
// Every value and the title are escaped ("&", "<" and ">"), so text from the auction sites reaches
// the page as text; an empty cell prints "&nbsp;".
#include <vector>

#include "framework/listcnt.h"

class CGridPrint : public CPrintGridHelper {
 public:
  // Builds the page and, unless the user cancels, prints it with the page header "&b&D" and the
  // footer "Vantor, Kordel&bStrona &p z &P", without the print dialog. Raises the recordset's
  // COM errors.
  void Print(CBaseCnt* container) override;

  // 1 when the user cancelled (an empty list, and not Yes to the question), 0 when the page is
  // ready. Raises the recordset's COM errors.
  int GenerateHtml();
  // Rebuilds the style sheet and the columns' field types.
  void GenerateCSS();
  // The rule of a header (kind 1) or cell (kind 2) of grid column `column`.
  static CString ColCfg2CSS(int kind, LONG column, CString font, LONG alignment);
  // The CSS font of a "name,size,bold,italic,underline,strikeout" description.
  static CString ColFont2CSS(const CString& font);
  // "&", "<" and ">" as HTML entities.
  static CString Escape(const CString& text);
  // The same, appended to `out`.
  static void AppendEscaped(CString& out, const CString& text);

  void SetContainer(CBaseCnt* container) { m_container = container; }
  const CString& Page() const { return m_page; }
  const CString& Style() const { return m_style; }
  // The title line of the ".filters" class (prepared, not placed in the page).
  const CString& Filters() const { return m_filters; }
  const std::vector<LONG>& FieldTypes() const { return m_types; }

  static const wchar_t kEmptyListQuestion[];
  static const wchar_t kDefaultFont[];   // "Arial,10,0,0,0,0"

 private:
  CString CellValue(CBaseGrid& grid, ROWCOL row, ROWCOL col, const CString& decimal) const;

  CString m_page;
  CString m_style;
  CString m_filters;
  CString m_reserved;
  std::vector<LONG> m_types;
  CBaseCnt* m_container = nullptr;
};

class CHtmlPrintGridSupport {
 public:
  // Makes the process-wide printer the container's printer.
  explicit CHtmlPrintGridSupport(CBaseCnt* container);

  static CGridPrint m_stGridPrinter;
};
