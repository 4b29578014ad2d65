// Builds the printed page of a list of 10,000, 20,000 and 40,000 rows of 8 columns (texts, an
// amount and a choice among them) through CGridPrint::GenerateHtml, and beside it a plain loop
// that writes the same page from the same grid values into a reserved string. Prints the times,
// the ratio of the printer to the loop (goal: within 1.5) and of each size to the smallest (goal:
// linear, 2 and 4).
#include <chrono>
#include <cstdio>
#include <string>

#include "platform/gui/headless.h"
#include "shared/controls/gridprint.h"

namespace {

const FlgColumnInfo kColumns[] = {
    {L"id", L"Id", nullptr, nullptr, nullptr, 0, kFlgColHidden},
    {L"nick", L"Kupujący", nullptr, nullptr, nullptr, 10, 0},
    {L"title", L"Tytuł", nullptr, nullptr, nullptr, 30, 0},
    {L"price", L"Cena", nullptr, nullptr, nullptr, 10, 0, nullptr, nullptr, nullptr, nullptr, 2, 2, kFlgFieldAmount},
    {L"kind", L"Typ", nullptr, nullptr, nullptr, 10, 0, nullptr, nullptr, nullptr, nullptr, 0, 0, kFlgFieldChoice,
     L"1=Licytacja\n2=Kup teraz"},
    {L"city", L"Miejscowość", nullptr, nullptr, nullptr, 10, 0},
    {L"mail", L"E-mail", nullptr, nullptr, nullptr, 15, 0},
    {L"phone", L"Telefon", nullptr, nullptr, nullptr, 10, 0},
    {L"note", L"Uwagi", nullptr, nullptr, nullptr, 20, 0},
};

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

_RecordsetPtr Rows(LONG count) {
  _RecordsetPtr rs(__uuidof(Recordset));
  rs->Fields->Append(L"id", adInteger, 4, adFldIsNullable);
  for (const wchar_t* name : {L"nick", L"title", L"city", L"mail", L"phone", L"note"})
    rs->Fields->Append(name, adVarWChar, 255, adFldIsNullable);
  rs->Fields->Append(L"price", adCurrency, 8, adFldIsNullable);
  rs->Fields->Append(L"kind", adInteger, 4, adFldIsNullable);
  rs->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, 0);
  FieldsPtr f = rs->Fields;
  for (LONG i = 1; i <= count; ++i) {
    const std::wstring n = std::to_wstring(i);
    rs->AddNew();
    f->Item[L"id"]->Value = _variant_t(i);
    f->Item[L"nick"]->Value = _variant_t((L"kupujacy_" + n).c_str());
    f->Item[L"title"]->Value = _variant_t((L"Lampa stołowa mosiężna & klosz <" + n + L">").c_str());
    f->Item[L"city"]->Value = _variant_t(L"Warszawa");
    f->Item[L"mail"]->Value = _variant_t((L"kupujacy" + n + L"@example.pl").c_str());
    f->Item[L"phone"]->Value = _variant_t(L"+48 600 000 000");
    f->Item[L"note"]->Value = i % 3 ? _variant_t(L"wysyłka kurierem") : _variant_t();
    CY cy;
    cy.int64 = static_cast<LONGLONG>(i) * 1250;
    f->Item[L"price"]->Value = _variant_t(cy);
    f->Item[L"kind"]->Value = _variant_t(static_cast<LONG>(1 + i % 2));
    rs->Update();
  }
  return rs;
}

// The same page written directly: the values as the grid gives them, escaped, in a reserved string.
size_t Loop(CBaseGrid& grid, const CGridPrint& printer, LONG count) {
  std::wstring page;
  page.reserve(static_cast<size_t>(count) * 600);
  page += L"<body id=\"KordelVX\">";
  page += printer.Style().GetString();
  page += L"<div class=\"header\">Lista</div><hr noshade size=\"1\" style=\"color: black; border: none;\">";
  page += L"<table border=\"1\" style=\"width: 98%; border-collapse: collapse\">";
  const ROWCOL columns = grid.GetColCount();
  for (ROWCOL row = 0; row <= static_cast<ROWCOL>(count); ++row) {
    page += L"<tr><td class=\"";
    page += row ? L"c0\">" + std::to_wstring(row) : std::wstring(L"h0\">Lp.");
    page += L"</td>";
    for (ROWCOL col = 1; col <= columns; ++col) {
      CString value = grid.GetValueRowCol(row, col);
      if (row && col == 4) {
        CGXStyle style;
        grid.ComposeStyleRowCol(row, col, &style);
        CString text;
        grid.GetControl(row, col)->GetControlText(text, row, col, nullptr, style);
        value = text;
      }
      page += row ? L"<td class=\"c" : L"<td class=\"h";
      page += std::to_wstring(col) + L"\">";
      page += value.IsEmpty() ? CString(L"&nbsp;").GetString() : CGridPrint::Escape(value).GetString();
      page += L"</td>";
    }
    page += L"</tr>";
  }
  page += L"</table></body>";
  return page.size();
}

}  // namespace

int main() {
  CoInitialize(nullptr);
  platform::gui::SetEcho(false);
  const LONG sizes[] = {10000, 20000, 40000};
  double first = 0;
  std::printf("%8s %12s %12s %8s %10s\n", "wiersze", "GenerateHtml", "pętla", "stosunek", "liniowość");
  for (const LONG count : sizes) {
    CListCnt list;
    FlgListInfo info;
    info.key = L"id";
    list.SetConfig(info, kColumns, static_cast<int>(std::size(kColumns)));
    list.SetTitle(L"Lista");
    list.SetRecordset(Rows(count));
    CGridPrint printer;
    printer.SetContainer(&list);
    auto start = std::chrono::steady_clock::now();
    if (printer.GenerateHtml() != 0) return 1;
    const double generate = Seconds(start);
    start = std::chrono::steady_clock::now();
    const size_t written = Loop(list.Grid(), printer, count);
    const double loop = Seconds(start);
    if (first == 0) first = generate;
    std::printf("%8ld %11.3fs %11.3fs %8.2f %10.2f   (%zu / %d znaków)\n", static_cast<long>(count), generate, loop,
                generate / loop, generate / first, written, printer.Page().GetLength());
  }
  std::printf("cel: stosunek do pętli najwyżej 1,5; czas liniowy (1, 2, 4)\n");
  CoUninitialize();
  return 0;
}
