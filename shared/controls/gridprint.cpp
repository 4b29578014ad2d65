#include "shared/controls/gridprint.h"

#include <cwchar>
#include <string>

#include "platform/strings/locale.h"
#include "shared/browser.h"

const wchar_t CGridPrint::kEmptyListQuestion[] = L"Wybrana lista jest pusta. Czy kontynuować drukowanie?";
const wchar_t CGridPrint::kDefaultFont[] = L"Arial,10,0,0,0,0";

CGridPrint CHtmlPrintGridSupport::m_stGridPrinter;

CHtmlPrintGridSupport::CHtmlPrintGridSupport(CBaseCnt* container) {
  if (container) container->SetPrinter(&m_stGridPrinter);
}

namespace {

// The field of a comma-separated description at `index` (empty past the end).
CString Part(const CString& text, int index) {
  int start = 0;
  for (int i = 0; i < index; ++i) {
    const int comma = text.Find(L',', start);
    if (comma < 0) return CString();
    start = comma + 1;
  }
  const int end = text.Find(L',', start);
  return end < 0 ? text.Mid(start) : text.Mid(start, end - start);
}

int Number(const CString& text) { return static_cast<int>(std::wcstol(text.GetString(), nullptr, 10)); }

}  // namespace

CString CGridPrint::Escape(const CString& text) {
  CString out;
  for (int i = 0; i < text.GetLength(); ++i) {
    const wchar_t c = text[i];
    if (c == L'&')
      out += L"&amp;";
    else if (c == L'<')
      out += L"&lt;";
    else if (c == L'>')
      out += L"&gt;";
    else
      out += c;
  }
  return out;
}

CString CGridPrint::ColFont2CSS(const CString& font) {
  CString name;
  int size = 0;
  bool bold = false;
  bool italic = false;
  if (font.Find(L',') >= 0) {
    name = Part(font, 0).Left(32);
    size = Number(Part(font, 1));
    bold = Number(Part(font, 2)) != 0;
    italic = Number(Part(font, 3)) != 0;
    // Underline and strikeout (fields 5 and 6) have no place in the rule.
  }
  CString rule;
  rule.Format(L"font: %s %s %dpx %s;", italic ? L"italic" : L" ", bold ? L"bold" : L"normal", size, name.GetString());
  return rule;
}

CString CGridPrint::ColCfg2CSS(int kind, LONG column, CString font, LONG alignment) {
  CString rule;
  rule.Format(L" .%s%ld {%s ", kind == 1 ? L"h" : L"c", column, kind == 1 ? L" border-bottom: 2px solid black;" : L" ");
  rule += ColFont2CSS(font.IsEmpty() ? CString(kDefaultFont) : font);
  CString align;
  align.Format(L"text-align: %s;", alignment == 0 ? L"left" : alignment == 1 ? L"center" : L"right");
  rule += align + L"}";
  return rule;
}

void CGridPrint::GenerateCSS() {
  const CString font = ColFont2CSS(kDefaultFont);
  m_style = L"<style type=\"text/css\"> .header { text-align: center; font: normal 14px Arial; } "
            L".filters { text-align: center; font: normal 12px Arial; } "
            L".h0 {text-align: right; border-bottom: 2px solid black; ";
  m_style += font + L"} .c0 {text-align: right;" + font + L"}";
  m_types.clear();
  CBaseGrid* grid = m_container ? m_container->GetGrid() : nullptr;
  if (grid) {
    for (ROWCOL col = 1; col <= grid->GetColCount(); ++col) {
      const FlgColumnInfo* cfg = m_container->GetColumnConfig(grid->GetCfgIndexForColumn(col));
      FlgColumnInfo none;
      if (!cfg) cfg = &none;
      m_types.push_back(cfg->fieldType);
      m_style += ColCfg2CSS(1, static_cast<LONG>(col), FlgColumnText(cfg->headerFont), cfg->headerAlign);
      m_style += ColCfg2CSS(2, static_cast<LONG>(col), FlgColumnText(cfg->cellFont), cfg->cellAlign);
    }
  }
  m_style += L"</style>";
}

CString CGridPrint::CellValue(CBaseGrid& grid, ROWCOL row, ROWCOL col, const CString& decimal) const {
  CString value = grid.GetValueRowCol(row, col);
  const LONG type = col - 1 < m_types.size() ? m_types[col - 1] : kFlgFieldText;
  if (row > 0 && type == kFlgFieldAmount) {
    // A whole amount gets its cents; an empty one stays empty.
    if (!value.IsEmpty() && value.Find(decimal) < 0) value += decimal + L"00";
  } else if (row > 0 && type == kFlgFieldChoice) {
    CGXStyle style;
    grid.ComposeStyleRowCol(row, col, &style);
    CGXControl* control = grid.GetControl(row, col);
    CString text;
    if (!control || !control->GetControlText(text, row, col, nullptr, style)) text.Empty();
    value = text;
  }
  return value;
}

int CGridPrint::GenerateHtml() {
  if (!m_container) return 1;
  CBaseGrid* grid = m_container->GetGrid();
  _RecordsetPtr rs = m_container->GetRecordset();
  LONG count = rs != nullptr ? rs->GetRecordCount() : 0;
  if (grid) {
    if (count < 0) count = grid->GetRowCount();
    grid->SelectAllRows();
  }
  if (count == 0) {
    HWND owner = grid && grid->m_hWnd ? ::GetParent(grid->m_hWnd) : nullptr;
    if (::MessageBoxW(owner, kEmptyListQuestion, L"Drukowanie", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
      return 1;
  }
  m_page.Empty();
  GenerateCSS();
  const CString title = Escape(m_container->GetTitle());
  m_filters.Format(L"<div class=\"filters\">%s %s</div><br>", title.IsEmpty() ? L"&nbsp;" : title.GetString(), L"&nbsp;");
  m_page = L"<body id=\"KordelVX\">" + m_style;
  CString header;
  header.Format(L"<div class=\"header\">%s</div><hr noshade size=\"1\" style=\"color: black; border: none;\">",
                title.GetString());
  m_page += header;
  wchar_t separator[8] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) <= 0 || !separator[0]) wcscpy(separator, L",");
  const CString decimal(separator);
  // The table is written into one reserved string and taken as the page at the end.
  std::wstring page(m_page.GetString());
  if (count > 0 && grid) {
    const ROWCOL columns = grid->GetColCount();
    page.reserve(page.size() + (static_cast<size_t>(count) + 1) * (static_cast<size_t>(columns) + 1) * 48);
    page += L"<table border=\"1\" style=\"width: 98%; border-collapse: collapse\">";
    for (ROWCOL row = 0; row <= static_cast<ROWCOL>(count); ++row) {
      page += L"<tr>";
      const CString number = grid->GetValueRowCol(row, 0);
      if (row == 0) {
        page += L"<td class=\"h0\">";
        page += number.IsEmpty() ? L"Lp." : Escape(number).GetString();
      } else {
        page += L"<td class=\"c0\">";
        page += number.IsEmpty() ? std::to_wstring(row) : std::wstring(Escape(number).GetString());
      }
      page += L"</td>";
      for (ROWCOL col = 1; col <= columns; ++col) {
        const CString value = Escape(CellValue(*grid, row, col, decimal));
        page += row == 0 ? L"<td class=\"h" : L"<td class=\"c";
        page += std::to_wstring(col);
        page += L"\">";
        page += value.IsEmpty() ? L"&nbsp;" : value.GetString();
        page += L"</td>";
      }
      page += L"</tr>";
    }
    page += L"</table>";
  }
  page += L"</body>";
  m_page = page.c_str();
  return 0;
}

void CGridPrint::Print(CBaseCnt* container) {
  m_container = container;
  if (GenerateHtml() == 1) return;
  CDrukowanie print(m_page.GetString(), L"&b&D", L"Vantor, Kordel&bStrona &p z &P", nullptr);
  print.Print(0, 1);
}
