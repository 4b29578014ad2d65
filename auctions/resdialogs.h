#pragma once
// Lotrix's dialog templates (resource scripts kept as RT_DIALOG resources of the module).

// 101: the account list.
inline constexpr char kRegManagerDlgScript[] = R"dlg(DIALOGEX 0, 0, 454, 269
STYLE DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME
CAPTION "Konta serwisów aukcyjnych"
FONT 8, "MS Shell Dlg", 400, 0
BEGIN
  LTEXT           "Konta z serwisów aukcyjnych:", -1, 7, 7, 97, 8
  LTEXT           "grid", 1024, 7, 17, 374, 217
  CONTROL         "Dodaj konto", 132, "kd_hyperlink", WS_TABSTOP, 388, 78, 59, 10
  CONTROL         "Dane konta", 133, "kd_hyperlink", WS_TABSTOP, 388, 91, 59, 10
  CONTROL         "Usuń konto", 134, "kd_hyperlink", WS_TABSTOP, 388, 104, 59, 10
  CONTROL         "Aktywuj konto", 138, "kd_hyperlink", WS_TABSTOP, 388, 125, 59, 10
  CONTROL         "Dezaktywuj konto", 139, "kd_hyperlink", WS_TABSTOP, 388, 137, 59, 10
  CONTROL         "Strefa Vantor", 140, "kd_hyperlink", WS_TABSTOP, 388, 157, 59, 10
  DEFPUSHBUTTON   "Zamknij", IDOK, 344, 248, 50, 14
  PUSHBUTTON      "Pomoc", 57670, 397, 248, 50, 14
  CONTROL         "", 1023, "Static", SS_BLACKFRAME, 0, 0, 3, 241
END
)dlg";

// 106: the account's seller-zone settings.
inline constexpr char kRegStatusesDlgScript[] = R"dlg(DIALOGEX 0, 0, 270, 266
STYLE DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Konfiguracja Strefy Vantor dla konta"
FONT 8, "MS Shell Dlg", 400, 0
BEGIN
  CONTROL         "&Używaj Strefy Vantor  dla wybranego konta", 1027, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, 7, 28, 179, 10
  CONTROL         "Udostępnij formularz zmiany adresu &wysyłki", 1028, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, 23, 41, 155, 10
  CONTROL         "Udostępnij formularz zmiany adresu do &dokumentu", 1029, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, 23, 53, 177, 10
  LTEXT           "Wizytówka &sprzedawcy widoczna w Strefie Vantor:", -1, 7, 70, 157, 8
  CONTROL         "", 1030, "RichEdit20A", ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_BORDER | WS_VSCROLL | WS_TABSTOP, 23, 82, 240, 60
  LTEXT           "&Adres www sprzedawcy:", -1, 7, 147, 80, 8
  CONTROL         "", 1025, "kd_wwwedit", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 100, 145, 163, 12
  CONTROL         "Zaawansowane", 1034, "kd_hyperlink", WS_TABSTOP, 212, 163, 51, 12
  CONTROL         "", 1041, "Static", SS_ETCHEDHORZ, 7, 179, 256, 1
  LTEXT           "Jednorazowe ustawienie awaryjnej synchronizacji", 1042, 7, 184, 160, 8
  CONTROL         "Wymuś pobranie wszystkich danych ze Strefy Vantor", 1035, "kd_hyperlink", WS_TABSTOP, 23, 197, 169, 12
  CONTROL         "Wymuś wysłanie wszystkich danych do Strefy Vantor", 1036, "kd_hyperlink", WS_TABSTOP, 23, 212, 169, 12
  DEFPUSHBUTTON   "OK", IDOK, 107, 245, 50, 14
  PUSHBUTTON      "Anuluj", IDCANCEL, 160, 245, 50, 14
  PUSHBUTTON      "Pomoc", IDHELP, 213, 245, 50, 14
  CONTROL         "Pobierz ustawienia z se&rwera", 1032, "kd_hyperlink", WS_TABSTOP, 7, 7, 97, 12
  CONTROL         "Pokaż ustawienia &lokalne", 1033, "kd_hyperlink", WS_TABSTOP, 164, 7, 97, 12
  CONTROL         "", 1026, "Static", SS_BLACKFRAME, 0, 0, 7, 238
  CONTROL         "", -1, "Static", SS_ETCHEDHORZ, 7, 23, 256, 2
  LTEXT           "(ustawiono)", 1043, 193, 197, 39, 8
  LTEXT           "(ustawiono)", 1044, 193, 212, 39, 8
END
)dlg";

// 108: the options of a receive run.
inline constexpr char kAuctServReceiveParamsDlgScript[] = R"dlg(DIALOGEX 0, 0, 262, 200
STYLE DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Odbieranie danych z serwisu aukcyjnego"
FONT 8, "MS Shell Dlg", 400, 0
BEGIN
  CONTROL         "Zakres pobieranych informacji o aukcjach", 13053, "Static", SS_LEFT, 14, 7, 241, 10, WS_EX_CLIENTEDGE
  CONTROL         "Transakcje i klientów", 1037, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, 21, 22, 200, 10
  CONTROL         "Tylko na podstawie zmian w historii", 5088, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, 33, 34, 200, 10
  CONTROL         "Komentarze", 1040, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, 21, 48, 200, 10
  CONTROL         "Tylko ostatnie:", 1044, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, 33, 61, 66, 10
  COMBOBOX        1039, 101, 59, 50, 100, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP
  CONTROL         "Tylko dane z bieżącego konta", 1045, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, 21, 77, 200, 10
  CONTROL         "Aukcje trwające", 1038, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, 21, 93, 200, 10
  CONTROL         "Aukcje ze sprzedażą", 1041, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, 21, 105, 200, 10
  CONTROL         "Aukcje bez sprzedaży", 1042, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, 21, 117, 200, 10
  CONTROL         "Pełne informacje o aukcjach (niezbędne", 1043, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, 21, 133, 230, 10
  LTEXT           "do ponownego wystawienia aukcji)", -1, 33, 143, 200, 8
  CONTROL         "Tylko dla niekompletnych aukcji", 5091, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, 33, 156, 200, 10
  DEFPUSHBUTTON   "OK", IDOK, 99, 179, 50, 14
  PUSHBUTTON      "Anuluj", IDCANCEL, 152, 179, 50, 14
  PUSHBUTTON      "Pomoc", 57670, 205, 179, 50, 14
  CONTROL         "", 1023, "Static", SS_BLACKFRAME, 0, 0, 7, 172
END
)dlg";

// 109: the options of a send run.
inline constexpr char kAuctServSendParamsDlgScript[] = R"dlg(DIALOGEX 0, 0, 232, 62
STYLE DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Wysyłanie danych na serwis aukcyjny"
FONT 8, "MS Shell Dlg", 400, 0
BEGIN
  CONTROL         "Wysyłaj dane tylko z bieżącego konta", 1040, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, 21, 12, 200, 10
  DEFPUSHBUTTON   "OK", IDOK, 69, 41, 50, 14
  PUSHBUTTON      "Anuluj", IDCANCEL, 122, 41, 50, 14
  PUSHBUTTON      "Pomoc", 57670, 175, 41, 50, 14
  CONTROL         "", 1023, "Static", SS_BLACKFRAME, 0, 0, 7, 34
END
)dlg";
