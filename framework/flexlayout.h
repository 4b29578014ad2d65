#pragma once
// The flexible layout of a framework dialog: controls that move with the right or bottom edge,
// or grow with it, when the dialog's client area changes size. Each control keeps the
// rectangle it had when it was added; on every size change it gets that rectangle shifted or
// stretched by how far the client area's width and height differ from their size at Attach. A
// control is found by its id each time, so a control made later under the same id (one that
// replaces a placeholder) follows the placeholder's rules.
#include <vector>

#include "platform/gui/windows.h"

enum FlgFlexFlags : DWORD {
  kFlexMoveRight = 0x1,    // left and right edges follow the dialog's right edge
  kFlexMoveDown = 0x2,     // top and bottom edges follow the bottom edge
  kFlexGrowRight = 0x4,    // the right edge follows the right edge
  kFlexGrowDown = 0x8,     // the bottom edge follows the bottom edge
};

class CFlgFlexLayout {
 public:
  // Takes the dialog's current client size as the reference; forgets earlier constraints.
  void Attach(HWND dialog);
  // The control's current rectangle and its flags; FALSE when the dialog has no such control.
  BOOL Add(UINT id, DWORD flags);
  // Lays the controls out for a client area of cx x cy.
  void Apply(int cx, int cy);
  void Clear();
  bool Empty() const { return m_items.empty(); }

 private:
  struct Item {
    UINT id;
    DWORD flags;
    RECT rect;   // in the dialog's client coordinates, at the reference size
  };
  HWND m_dialog = nullptr;
  SIZE m_reference{};
  std::vector<Item> m_items;
};
