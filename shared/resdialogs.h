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
