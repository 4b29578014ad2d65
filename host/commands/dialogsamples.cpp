// Vantor's dialogs with sample contents, which `vantor dialog` lists and renders.
#include <memory>

#include "platform/base/utf8.h"
#include "platform/gui/gallery.h"
#include "shared/address.h"
#include "shared/browser.h"
#include "shared/controls/hxsummarydlg.h"
#include "shared/controls/zmianawalutydlg.h"
#include "shared/objectdlg.h"
#include "shared/pleasewait.h"

namespace {

std::unique_ptr<CWnd> Shown(std::unique_ptr<CFlgDialog> dialog, const wchar_t* name) {
  if (!dialog->Create(name)) return nullptr;
  dialog->ShowWindow(SW_SHOW);
  return dialog;
}

}  // namespace

VANTOR_DIALOG_SAMPLE(L"IDD_ONE_FIELD_DLG", L"Vantor", L"jedna wartość w jednym wierszu (COneFieldSimpleDlg)", [] {
  return Shown(std::make_unique<COneFieldSimpleDlg>(L"Nazwa konta", L"Nazwa:", L"OneFieldSample", L"Sklep pod Lipami",
                                                    nullptr, false, true, L"Konto aktywne", true, false),
               kIddOneFieldDlg);
});

VANTOR_DIALOG_SAMPLE(L"IDD_ONE_BIG_FIELD_DLG", L"Vantor", L"jedna wartość w kilku wierszach (COneFieldSimpleDlg)", [] {
  return Shown(std::make_unique<COneFieldSimpleDlg>(
                   L"Opis konta", L"Opis:", L"OneBigFieldSample",
                   L"Wysyłka w ciągu 24 godzin od zaksięgowania wpłaty.\r\nOdbiór osobisty po uzgodnieniu.", nullptr,
                   true, true, L"Pokazuj kupującym", false, false),
               kIddOneBigFieldDlg);
});

VANTOR_DIALOG_SAMPLE(L"IDD_STD_PLEASE_WAIT", L"Vantor", L"okno oczekiwania (CHxStdPleaseWaitDlg)", [] {
  return std::unique_ptr<CWnd>(std::make_unique<CHxStdPleaseWaitDlg>(CString(L"Pobieranie ustawień z serwera.")));
});

namespace {

constexpr char kSamplePage[] =
    "<html><body><h1>Status zamówienia</h1>"
    "<p>Aukcja 1234567890: Lampa stołowa mosiężna, 1 szt.</p>"
    "<p>Wpłata zaksięgowana 12.03, paczka nadana 13.03 (przesyłka polecona priorytetowa).</p>"
    "<p>Dziękujemy za zakupy!</p></body></html>";

// The embedded browser on a page of the seller zone, its text given to the document directly.
class SampleBrowserDlg : public CHxInnerHtmlBrowserDlg {
 public:
  SampleBrowserDlg() {
    SetTitle(L"Strona Strefy Vantor");
    SetUrl(L"https://strefa.vantor.example/status/1234567890");
  }
  bool Show() {
    if (!Create(kIddHtmlInnerBrowser)) return false;
    IDispatch* raw = nullptr;
    if (GetBrowser()) GetBrowser()->get_Document(&raw);
    IDispatchPtr document(raw, false);
    IPersistStreamInitPtr persist;
    if (document) persist = document;
    IStream* stream = nullptr;
    if (persist && SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) {
      IStreamPtr held(stream, false);
      ULONG written = 0;
      held->Write(kSamplePage, sizeof kSamplePage - 1, &written);
      LARGE_INTEGER start{};
      held->Seek(start, STREAM_SEEK_SET, nullptr);
      persist->Load(held);
    }
    DispatchPostedMessages();
    ShowWindow(SW_SHOW);
    return true;
  }
};

}  // namespace

VANTOR_DIALOG_SAMPLE(L"IDD_HTML_INNER_BROWSER", L"Vantor", L"wewnętrzna przeglądarka (CHxInnerHtmlBrowserDlg)", [] {
  auto dialog = std::make_unique<SampleBrowserDlg>();
  if (!dialog->Show()) return std::unique_ptr<CWnd>();
  return std::unique_ptr<CWnd>(std::move(dialog));
});

VANTOR_DIALOG_SAMPLE(L"IDD_DRUK_DLG", L"Vantor", L"okno drukowania (CDrukowanie; w programie nigdy nie jest pokazywane)",
                     [] { return Shown(std::make_unique<CFlgDialog>(kIddDrukDlg), kIddDrukDlg); });

VANTOR_DIALOG_SAMPLE(L"#1003", L"Vantor", L"edycja adresu (CHxAddressDlg)", [] {
  static CHxAddress address;
  address.SetName(L"Anna Kowalska");
  address.SetCompany(L"Antyki pod Lipami s.c.");
  address.SetNIP(L"PL 521-000-11-22");
  address.SetAddress1(L"ul. Lipowa 12 m. 4");
  address.SetZip(L"00-950");
  address.SetCity(L"Warszawa");
  address.SetCountry(L"Polska");
  auto dialog = std::make_unique<CHxAddressDlg>(&address);
  if (!dialog->Create(MAKEINTRESOURCEW(kIddAddressDlg))) return std::unique_ptr<CWnd>();
  dialog->ShowWindow(SW_SHOW);
  return std::unique_ptr<CWnd>(std::move(dialog));
});

VANTOR_DIALOG_SAMPLE(L"IDD_SUMMARY_DLG", L"Vantor", L"podsumowanie operacji zbiorczej (CHxSimpleSummaryDlg)", [] {
  auto dialog = std::make_unique<CHxSimpleSummaryDlg>();
  dialog->SetTitle(L"Wystawianie aukcji");
  dialog->SetSummary(L"Wystawiono 3 z 4 aukcji. Aukcji, której nie wystawiono, nie zmieniono.");
  dialog->SetHelpTopic(L"Okno_Podsumowanie");
  dialog->SetColumnName(1, L"Aukcja");
  dialog->AddRecord(L"Lampa stołowa mosiężna", LONG{0});
  dialog->AddRecord(L"Kubek porcelanowy z monogramem", LONG{0});
  dialog->AddRecord(L"Zestaw sztućców dla 6 osób", LONG{0});
  dialog->AddRecord(L"Obraz olejny \"Pejzaż\"", L"Błąd: serwis odrzucił kategorię aukcji.");
  dialog->SetError();
  return Shown(std::move(dialog), kIddSummaryDlg);
});

VANTOR_DIALOG_SAMPLE(L"#13019", L"Vantor", L"postęp operacji (CProgressDlg)", [] {
  auto dialog = std::make_unique<CProgressDlg>();
  if (!dialog->Create(MAKEINTRESOURCEW(kIddProgressDlg))) return std::unique_ptr<CWnd>();
  dialog->Init(8);
  dialog->IncProgressAll(3);
  dialog->SetStatus(L"Wysyłanie aukcji 4 z 8: Lampa stołowa mosiężna");
  dialog->ShowWindow(SW_SHOW);
  return std::unique_ptr<CWnd>(std::move(dialog));
});

namespace {

std::unique_ptr<CWnd> CurrencySample(bool simple) {
  auto dialog = std::make_unique<CZmianaWalutyDlg>(simple);
  dialog->SetStaraWaluta(L"PLN");
  dialog->SetNowaWaluta(L"EUR");
  CY amount;
  amount.int64 = 1249900;
  dialog->SetStareDoZaplaty(COleCurrency(amount));
  if (!dialog->Create(MAKEINTRESOURCEW(simple ? kIddZmianaWalutySimple : kIddZmianaWaluty)))
    return std::unique_ptr<CWnd>();
  if (!simple) dialog->SetDlgItemText(CZmianaWalutyDlg::IDC_RATE, L"4,3125");
  dialog->ShowWindow(SW_SHOW);
  return std::unique_ptr<CWnd>(std::move(dialog));
}

}  // namespace

VANTOR_DIALOG_SAMPLE(L"#1004", L"Vantor", L"wybór nowej waluty (CZmianaWalutyDlg, prosty)", [] { return CurrencySample(true); });

VANTOR_DIALOG_SAMPLE(L"#122", L"VantorHost", L"zmiana waluty z kursem (CZmianaWalutyDlg na szablonie programu)",
                     [] { return CurrencySample(false); });
