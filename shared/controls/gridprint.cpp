#include "shared/controls/gridprint.h"

#include <climits>
#include <cwchar>
#include <string>
#include <vector>

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

void CGridPrint::AppendEscaped(CString& out, const CString& text) {
  const wchar_t* p = text.GetString();
  const int n = text.GetLength();
  int plain = 0;  // the start of the run not yet written
  for (int i = 0; i < n; ++i) {
    const wchar_t* entity = p[i] == L'&' ? L"&amp;" : p[i] == L'<' ? L"&lt;" : p[i] == L'>' ? L"&gt;" : nullptr;
    if (!entity) continue;
    out.Append(p + plain, i - plain);
    out.Append(entity);
    plain = i + 1;
  }
  out.Append(p + plain, n - plain);
}

CString CGridPrint::Escape(const CString& text) {
  CString out;
  AppendEscaped(out, text);
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
  if (count > 0 && grid) {
    const ROWCOL columns = grid->GetColCount();
    // The cells' openings, made once: "<td class=\"h3\">" in the header row, "c3" below it.
    std::vector<CString> heads, cells;
    for (ROWCOL col = 1; col <= columns; ++col) {
      heads.push_back(CString(L"<td class=\"h") + std::to_wstring(col).c_str() + L"\">");
      cells.push_back(CString(L"<td class=\"c") + std::to_wstring(col).c_str() + L"\">");
    }
    m_page += L"<table border=\"1\" style=\"width: 98%; border-collapse: collapse\">";
    int rowStart = m_page.GetLength();
    for (ROWCOL row = 0; row <= static_cast<ROWCOL>(count); ++row) {
      // Once the first rows are written, the page takes the room of all rows like them.
      if (row == 2) {
        const long long room = m_page.GetLength() + (m_page.GetLength() - rowStart) * (count - 1LL) * 11 / 10;
        if (room < INT_MAX) m_page.Preallocate(static_cast<int>(room));
      }
      if (row == 1) rowStart = m_page.GetLength();
      m_page += L"<tr>";
      const CString number = grid->GetValueRowCol(row, 0);
      m_page += row == 0 ? L"<td class=\"h0\">" : L"<td class=\"c0\">";
      if (!number.IsEmpty()) AppendEscaped(m_page, number);
      else if (row == 0) m_page += L"Lp.";
      else m_page += std::to_wstring(row).c_str();
      m_page += L"</td>";
      for (ROWCOL col = 1; col <= columns; ++col) {
        const CString value = CellValue(*grid, row, col, decimal);
        m_page += row == 0 ? heads[col - 1] : cells[col - 1];
        if (value.IsEmpty()) m_page += L"&nbsp;";
        else AppendEscaped(m_page, value);
        m_page += L"</td>";
      }
      m_page += L"</tr>";
    }
    m_page += L"</table>";
  }
  m_page += L"</body>";
  return 0;
}

void CGridPrint::Print(CBaseCnt* container) {
  m_container = container;
  if (GenerateHtml() == 1) return;
  CDrukowanie print(m_page.GetString(), L"&b&D", L"Vantor, Kordel&bStrona &p z &P", nullptr);
  print.Print(0, 1);
}
