#pragma once
// The headless side of the window layer: what tests and the program use to drive windows,
// answer modal runs, message boxes and pop-up menus, read what was shown, and save windows as
// PNG images.
//
// Modal runs. DialogBox*, CDialog::DoModal and the like take the first queued ModalScript whose
// dialog name matches (the template's resource name, "#108" for a numbered one, or the caption)
// and play its steps in order, delivering posted messages after each. When the dialog has not
// ended after the last step, or no script matches, it takes its default answer: it is closed as
// the Escape key closes it (IDCANCEL through the dialog's own command handling; when that does
// not end it, the run ends with IDCANCEL). A step on a control that is missing, hidden or
// disabled does nothing and is listed in the run's record.
//
// Message boxes take the next queued answer, else their default button (MB_DEFBUTTONn of the
// box's buttons; the first when out of range). Pop-up menus take the next queued command, else
// 0 (dismissed). Everything is recorded; unscripted ones are also echoed to stderr unless echo
// is switched off.
#include <functional>
#include <string>
#include <vector>

#include "platform/gui/windows.h"

namespace platform::gui {

class ModalScript {
 public:
  struct Step {
    enum Kind { Type, Check, Select, SelectText, Click, Key, Action } kind;
    int id = 0;
    std::wstring text;
    int value = 0;
    std::function<void(HWND)> action;
  };

  // `dialog` names the dialog this script answers; empty answers any.
  explicit ModalScript(std::wstring dialog = L"") : m_dialog(std::move(dialog)) {}
  // Types into an edit control as the user does: replaces its text, within its text limit.
  ModalScript& Type(int id, std::wstring text);
  // Clicks the check box when its state is not `checked`.
  ModalScript& Check(int id, bool checked = true);
  // Selects the item of a combo or list box by index or by exact text, and notifies its parent.
  ModalScript& Select(int id, int index);
  ModalScript& Select(int id, std::wstring text);
  // Clicks the button `id`; when the dialog has no such control, sends it the command.
  ModalScript& Click(int id);
  // Presses a key in the focused control (the dialog's keyboard handling applies).
  ModalScript& Key(UINT virtualKey);
  // Runs any code on the dialog's window.
  ModalScript& Do(std::function<void(HWND dialog)> action);

  const std::wstring& Dialog() const { return m_dialog; }
  const std::vector<Step>& Steps() const { return m_steps; }

 private:
  std::wstring m_dialog;
  std::vector<Step> m_steps;
};

void QueueModal(ModalScript script);
void QueueMessageBoxAnswer(int button);
void QueuePopupCommand(UINT command);
// Holds a key down (GetKeyState's high bit) until released.
void SetKeyDown(int virtualKey, bool down);
// Forgets every queued script, answer, command and held key.
void ClearScripts();

struct ModalRun {
  std::wstring dialog;    // the template's name
  std::wstring caption;   // the window text when the run ended
  HWND owner = nullptr;
  INT_PTR result = 0;
  bool scripted = false;
  std::vector<std::wstring> refused;   // steps that found no usable control
};
struct MessageBoxCall {
  HWND owner = nullptr;
  std::wstring text;
  std::wstring caption;
  UINT type = 0;
  int answer = 0;
  bool scripted = false;
};
struct PopupMenuCall {
  HWND owner = nullptr;
  POINT at{};
  UINT flags = 0;
  std::vector<std::wstring> items;   // the texts of the menu's items ("-" for a separator)
  UINT command = 0;
  bool scripted = false;
};
std::vector<ModalRun> ModalRuns();
std::vector<MessageBoxCall> MessageBoxes();
std::vector<PopupMenuCall> PopupMenus();
// The sounds of MessageBeep, their types in order.
std::vector<UINT> MessageBeeps();
void ClearRecords();
// Whether unscripted boxes, menus and modal runs are echoed to stderr (on by default).
void SetEcho(bool on);
// The desktop's work area (SPI_GETWORKAREA): (0, 0, 1024, 740) until set; ResetHeadless puts
// that back.
void SetWorkArea(const RECT& area);
// Whether GDI+'s codec list can be read (true until set; ResetHeadless makes it readable).
void SetImageCodecsReadable(bool readable);
// The pixels decoded from pictures' bytes since the process started: a picture's whole size, or
// what a reduced decode (Image::ThumbnailFromFile) made.
unsigned long long DecodedPixels();

// Whether the window's bar (SB_HORZ, SB_VERT) has any arrow enabled.
bool ScrollBarEnabled(HWND window, int bar);
// The latest text a tooltip window holds for the control (a tool added with TTF_IDISHWND);
// empty when none does.
std::wstring TooltipText(HWND control);

// A picture of a window: 32-bit RGB pixels.
class Image {
 public:
  Image() = default;
  Image(int width, int height) : m_width(width), m_height(height), m_pixels(static_cast<size_t>(width) * height) {}
  int Width() const { return m_width; }
  int Height() const { return m_height; }
  // CLR_INVALID outside the image.
  COLORREF Pixel(int x, int y) const;
  void SetPixel(int x, int y, COLORREF color);
  bool SavePng(const std::wstring& path) const;

 private:
  int m_width = 0;
  int m_height = 0;
  std::vector<DWORD> m_pixels;   // 0x00RRGGBB
};

// Paints the window with its children (its non-client area too) and gives it: (0, 0) is the
// window rectangle's top-left corner. An empty image for no window.
Image CaptureWindow(HWND window);
// The client area only: (0, 0) is the client's top-left corner.
Image CaptureClient(HWND window);
bool SaveWindowPng(HWND window, const std::wstring& path);

// Destroys every window, menu and GDI object still alive and forgets the scripts and records
// (between tests). Returns the number of windows that were alive.
size_t ResetHeadless();
size_t LiveWindowCount();

}  // namespace platform::gui
