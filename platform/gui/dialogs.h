#pragma once
// Dialog templates of the headless window layer.
//
// A module keeps each template as a resource of type RT_DIALOG, named by text or by number,
// whose bytes are a UTF-8 resource script of this form:
//
//   DIALOGEX 0, 0, 251, 65
//   STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
//   EXSTYLE WS_EX_CONTROLPARENT
//   CAPTION "Tytuł"
//   FONT 8, "MS Shell Dlg", 400, 0
//   BEGIN
//     LTEXT           "Etykieta:", 1010, 7, 9, 55, 8
//     EDITTEXT        1008, 64, 7, 180, 12, ES_AUTOHSCROLL
//     CONTROL         "Pole", 1004, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, 64, 23, 180, 10
//     DEFPUSHBUTTON   "OK", IDOK, 88, 44, 50, 14
//   END
//
// Statements: STYLE, EXSTYLE, CAPTION, FONT (points, face[, weight[, italic]]), CLASS, MENU.
// Controls: CONTROL text, id, class, style, x, y, cx, cy[, exstyle]; LTEXT, CTEXT, RTEXT,
// PUSHBUTTON, DEFPUSHBUTTON, CHECKBOX, AUTOCHECKBOX, RADIOBUTTON, AUTORADIOBUTTON, GROUPBOX:
// text, id, x, y, cx, cy[, style[, exstyle]]; EDITTEXT, COMBOBOX, LISTBOX: id, x, y, cx, cy[,
// style[, exstyle]]. Styles are names and numbers joined by "|", "NOT name" removes a bit. Ids
// are numbers or IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO, IDHELP, IDC_STATIC,
// ID_HELP. Texts are in double quotes ("" is one quote; \n, \t, \\ and \" are escapes). Lines
// starting with "//" are comments. Positions and sizes are dialog units: x × 6 / 4 and
// y × 13 / 8 pixels (the fixed base units).
#include <string>
#include <vector>

#include "platform/gui/windows.h"

namespace platform::gui {

struct DialogItem {
  std::wstring className;   // "Static", "Button", "Edit", "ComboBox", "ListBox" or a registered class
  std::wstring text;
  int id = 0;
  DWORD style = 0;          // WS_CHILD is always added; WS_VISIBLE unless NOT WS_VISIBLE
  DWORD exStyle = 0;
  RECT units{};             // x, y, x + cx, y + cy in dialog units
};

struct DialogTemplate {
  RECT units{};             // position and client size in dialog units
  DWORD style = 0;
  DWORD exStyle = 0;
  std::wstring caption;
  std::wstring className;   // empty: the dialog class
  std::wstring menu;
  WORD pointSize = 8;
  std::wstring face = L"MS Shell Dlg";
  WORD weight = FW_NORMAL;
  bool italic = false;
  std::vector<DialogItem> items;
};

// Parses a resource script; false with a message naming the line when it is malformed.
bool ParseDialogTemplate(std::string_view script, DialogTemplate& out, std::wstring* error = nullptr);
// The template kept by a module (parsed once); null when the module has none or it is malformed.
const DialogTemplate* FindDialogTemplate(HINSTANCE module, LPCWSTR name);

// Dialog units to pixels by the fixed base units.
RECT DialogUnitsToPixels(const RECT& units);

// Creates a dialog from a template in memory (the counterpart of the indirect creation calls);
// `name` is what the modal records and scripts know it by.
HWND CreateDialogFromTemplate(HINSTANCE module, const DialogTemplate& dialog, HWND parent, DLGPROC proc,
                              LPARAM param, const std::wstring& name = L"");
INT_PTR DialogBoxFromTemplate(HINSTANCE module, const DialogTemplate& dialog, HWND parent, DLGPROC proc,
                              LPARAM param, const std::wstring& name = L"");

}  // namespace platform::gui
