#pragma once
// Vantor's dialog templates (resource scripts kept as RT_DIALOG resources of the module).

// One line of text: label, edit, optional check box on the window-colour band.
inline constexpr char kOneFieldDlgScript[] = R"(DIALOGEX 0, 0, 251, 65
STYLE DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION ""
FONT 8, "MS Shell Dlg", 400, 0
BEGIN
  CONTROL         "", 1001, "Static", SS_BLACKFRAME, 0, 0, 251, 37
  LTEXT           "<<LABEL>>", 1010, 7, 9, 54, 8
  EDITTEXT        1008, 64, 7, 180, 12, ES_AUTOHSCROLL
  CONTROL         "<CHECKBOX LABEL>", 1004, "Button", BS_AUTOCHECKBOX | WS_TABSTOP | NOT WS_VISIBLE, 64, 23, 180, 10
  DEFPUSHBUTTON   "OK", IDOK, 88, 44, 50, 14
  PUSHBUTTON      "Anuluj", IDCANCEL, 141, 44, 50, 14
  PUSHBUTTON      "Pomoc", IDHELP, 194, 44, 50, 14
END
)";

// Several lines of text.
inline constexpr char kOneBigFieldDlgScript[] = R"(DIALOGEX 0, 0, 251, 103
STYLE DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION ""
FONT 8, "MS Shell Dlg", 400, 0
BEGIN
  CONTROL         "", 1001, "Static", SS_BLACKFRAME, 0, 0, 251, 75
  LTEXT           "<<LABEL>>", 1010, 7, 11, 55, 8
  EDITTEXT        1008, 65, 9, 180, 48, ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL
  CONTROL         "<CHECKBOX LABEL>", 1004, "Button", BS_AUTOCHECKBOX | WS_TABSTOP | NOT WS_VISIBLE, 65, 61, 180, 10
  DEFPUSHBUTTON   "OK", IDOK, 88, 82, 50, 14
  PUSHBUTTON      "Anuluj", IDCANCEL, 141, 82, 50, 14
  PUSHBUTTON      "Pomoc", IDHELP, 194, 82, 50, 14
END
)";

// The please-wait window: no caption, one centred text.
inline constexpr char kStdPleaseWaitScript[] = R"(DIALOGEX 0, 0, 186, 70
STYLE DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP
FONT 8, "MS Shell Dlg", 400, 0
BEGIN
  CTEXT           "Operacja w toku. Proszę czekać...", 1007, 7, 22, 172, 41
END
)";

// The embedded browser: a page with a title, a loading notice and a print button.
inline constexpr char kHtmlInnerBrowserScript[] = R"(DIALOGEX 0, 0, 578, 359
STYLE DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX
CAPTION "Brak nazwy"
FONT 8, "MS Shell Dlg", 400, 0
BEGIN
  CTEXT           "Trwa ładowanie strony. Proszę czekać...", 5033, 7, 170, 563, 10, NOT WS_VISIBLE
  CONTROL         "", 5032, "Static", SS_BLACKFRAME, 7, 7, 563, 323
  PUSHBUTTON      "&Drukuj", 5034, 7, 338, 50, 14
  DEFPUSHBUTTON   "&Zamknij", IDOK, 467, 338, 50, 14
  PUSHBUTTON      "&Pomoc", IDHELP, 521, 338, 50, 14
END
)";

// Printing through an invisible browser: the window is never shown.
inline constexpr char kDrukDlgScript[] = R"(DIALOGEX 0, 0, 389, 147
STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Drukowanie"
FONT 8, "MS Shell Dlg", 400, 0
BEGIN
  DEFPUSHBUTTON   "OK", IDOK, 224, 126, 50, 14
  PUSHBUTTON      "Cancel", IDCANCEL, 278, 126, 50, 14
  PUSHBUTTON      "Drukuj", 105, 332, 126, 50, 14
END
)";

// The address: name or firm, tax number, two address lines, zip code, city and country.
inline constexpr char kAddressDlgScript[] = R"(DIALOGEX 0, 0, 271, 186
STYLE DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Adres"
FONT 8, "MS Shell Dlg", 400, 0
BEGIN
  CONTROL         "", 1002, "Static", SS_BLACKFRAME, 0, 0, 271, 158
  LTEXT           "Imię i &nazwisko:", 1110, 7, 10, 72, 8
  EDITTEXT        117, 82, 8, 182, 12, ES_AUTOHSCROLL
  LTEXT           "&Firma:", 1111, 7, 28, 72, 8
  EDITTEXT        1003, 82, 26, 182, 12, ES_AUTOHSCROLL
  LTEXT           "N&IP:", 1112, 7, 46, 72, 8
  CONTROL         "", 152, "kd_nipedit", ES_AUTOHSCROLL | WS_TABSTOP, 82, 44, 100, 12, WS_EX_CLIENTEDGE
  LTEXT           "&Adres:", 1113, 7, 66, 72, 8
  EDITTEXT        118, 82, 64, 182, 12, ES_AUTOHSCROLL
  EDITTEXT        119, 82, 80, 182, 12, ES_AUTOHSCROLL
  LTEXT           "&Kod pocztowy:", 1114, 7, 100, 72, 8
  EDITTEXT        107, 82, 98, 60, 12, ES_AUTOHSCROLL
  LTEXT           "&Miejscowość:", 1115, 7, 118, 72, 8
  EDITTEXT        120, 82, 116, 182, 12, ES_AUTOHSCROLL
  LTEXT           "&Państwo:", 1116, 7, 136, 72, 8
  EDITTEXT        121, 82, 134, 182, 12, ES_AUTOHSCROLL
  DEFPUSHBUTTON   "OK", IDOK, 108, 165, 50, 14
  PUSHBUTTON      "Anuluj", IDCANCEL, 161, 165, 50, 14
  PUSHBUTTON      "Pomoc", IDHELP, 214, 165, 50, 14
END
)";

// The full-size preview of a picture: no controls; the window is sized to the picture.
inline constexpr char kBmpViewScript[] = R"(DIALOGEX 0, 0, 200, 150
STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION ""
FONT 8, "MS Shell Dlg", 400, 0
BEGIN
END
)";

// The summary of a batch operation: an icon, the summary text and the list of results.
inline constexpr char kSummaryDlgScript[] = R"(DIALOGEX 0, 0, 358, 199
STYLE DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME
CAPTION "Podsumowanie"
FONT 8, "MS Shell Dlg", 400, 0
BEGIN
  CONTROL         "", 1001, "Static", SS_BLACKFRAME, 0, 0, 34, 199
  CONTROL         "", 1006, "Static", SS_ICON, 7, 7, 20, 20
  LTEXT           "", 1005, 40, 7, 311, 28
  CONTROL         "", 103, "Static", SS_BLACKFRAME, 7, 40, 344, 126
  DEFPUSHBUTTON   "Zamknij", IDCANCEL, 247, 178, 50, 14
  PUSHBUTTON      "Pomoc", IDHELP, 301, 178, 50, 14
END
)";

// The progress window: a status text above the progress bar, no caption.
inline constexpr char kProgressDlgScript[] = R"(DIALOGEX 0, 0, 234, 38
STYLE DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_BORDER
FONT 8, "MS Shell Dlg", 400, 0
BEGIN
  LTEXT           "", 13140, 7, 5, 220, 9, SS_ENDELLIPSIS
  CONTROL         "", 13138, "msctls_progress32", WS_BORDER, 7, 17, 220, 14
END
)";

// The change of currency: the new currency only.
inline constexpr char kZmianaWalutyDlgScript[] = R"(DIALOGEX 0, 0, 285, 58
STYLE DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Zmiana waluty"
FONT 8, "MS Shell Dlg", 400, 0
BEGIN
  CONTROL         "", 1002, "Static", SS_BLACKFRAME, 0, 0, 285, 30
  LTEXT           "Nowa waluta:", 1003, 7, 10, 60, 8
  COMBOBOX        12080, 70, 8, 208, 120, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP
  DEFPUSHBUTTON   "OK", IDOK, 121, 37, 50, 14
  PUSHBUTTON      "Anuluj", IDCANCEL, 175, 37, 50, 14
  PUSHBUTTON      "Pomoc", IDHELP, 228, 37, 50, 14
END
)";

// The auction-template chooser: the list of templates and the button that shows one.
inline constexpr char kSzablonAukcjiWyborDlgScript[] = R"(DIALOGEX 0, 0, 415, 310
STYLE DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME
CAPTION "Wybierz szablon aukcji"
FONT 8, "MS Shell Dlg", 400, 0
BEGIN
  CONTROL         "", 1001, "Static", SS_BLACKFRAME, 0, 0, 4, 282
  CONTROL         "", 103, "Static", SS_BLACKFRAME, 7, 7, 401, 268
  PUSHBUTTON      "&Pokaż", 3, 7, 288, 50, 14
  DEFPUSHBUTTON   "OK", IDOK, 251, 288, 50, 14
  PUSHBUTTON      "Anuluj", IDCANCEL, 305, 288, 50, 14
  PUSHBUTTON      "Pomoc", 57670, 358, 288, 50, 14
END
)";
