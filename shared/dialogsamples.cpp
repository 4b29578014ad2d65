// Vantor's dialogs with sample contents, for the program's dialog lister and renderer.
#include <memory>

#include "platform/gui/gallery.h"
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
