#pragma once
// The navigation of the host's main window: the catalogue of views (a GUID and a context number
// with a key and a label), a row of selectable view items, and the switch to one customer.
#include <list>
#include <vector>

#include "platform/gui/afxwin.h"

class CHxViewList;
class CHxMenuItem;   // the host's menu entry of a view item (opaque here)

// The views the host knows, in a fixed order, each context with its key and label.
class CHxViewTranslator {
 public:
  CHxViewTranslator();
  virtual ~CHxViewTranslator() = default;
  // The context of the first entry of the view with exactly that key (case counts); 0 when none.
  LONG GetCtx(const GUID& view, const wchar_t* key) const;
  // The label of the first entry of the view with that context; null when none.
  const wchar_t* GetLabel(const GUID& view, int context) const;
  int GetCount() const { return static_cast<int>(m_entries.size()); }

 protected:
  void Add(const GUID& view, const wchar_t* key, const wchar_t* label, LONG context);
  void AddViews();

 private:
  struct Entry {
    GUID view;
    CString key;
    CString label;
    LONG context;
  };
  std::list<Entry> m_entries;
};

// One selector of a view list; the host derives the concrete items with their windows.
class CHxViewItem {
 public:
  CHxViewItem(int id, const wchar_t* text, CHxViewList* list, CHxMenuItem* menuItem, const GUID& view,
              LONG context);
  CHxViewItem(const CHxViewItem&) = default;
  CHxViewItem& operator=(const CHxViewItem&) = default;
  virtual ~CHxViewItem() = default;
  virtual BOOL Create(const CRect& rect, CWnd* parent) = 0;
  virtual HWND GetHWND() = 0;
  virtual void Invalidate(bool erase) = 0;
  virtual void Select(bool select) = 0;
  // Asks the list to select this item's view and context.
  virtual void OnSelect();
  virtual void GetSize(CSize& size) = 0;

  int Id() const { return m_id; }
  const GUID& CLSID() const { return m_view; }
  CHxMenuItem* MenuItem() const { return m_menuItem; }
  LONG Context() const { return m_context; }
  const CString& Text() const { return m_text; }
  CHxViewList* List() const { return m_list; }

 protected:
  friend class CHxViewList;
  int m_id;
  CString m_text;
  CHxViewList* m_list;
  CHxMenuItem* m_menuItem;
  GUID m_view;
  LONG m_context;
};

// A row of view items with one selection. The owner window is asked (message 1025) before a
// selection changes; a zero answer keeps the old one.
class CHxViewList {
 public:
  enum : UINT { kSelecting = WM_USER + 1 };   // 1025
  explicit CHxViewList(CWnd* owner);
  virtual ~CHxViewList();
  CHxViewList(const CHxViewList&) = delete;
  CHxViewList& operator=(const CHxViewList&) = delete;

  // Takes the item (and becomes its list).
  void AddItem(CHxViewItem* item);
  int GetCount() const { return static_cast<int>(m_items.size()); }
  CHxViewItem* GetItem(int index) const;
  int GetSelectedIndex() const { return m_selected; }

  // Item i's window in (100 i, 0, 100 i + 100, 30) of the owner; false when one failed.
  BOOL Create();
  // The items' windows left to right from (20, 0), each at its own size, in one deferred move.
  void LineLayout();
  void InvalidateWindows();
  void Clean();
  bool SelectItem(const GUID& view, LONG context);
  void SelectDefaultItem();
  // The view and context of the selected item; the null GUID and 0 when the list is empty.
  GUID SelectedView() const;
  LONG SelectedViewCtx() const;
  // Shows as selected exactly the items of that view and context; asks nobody, keeps the index.
  bool ChooseSelected(const GUID& view, LONG context);

 private:
  bool SelectIndex(int index);
  std::vector<CHxViewItem*> m_items;
  CWnd* m_owner;
  int m_selected = 0;
};

class CHxSwitcher {
 public:
  // Switches the host to its customer list (context 0) and shows that customer; every failure
  // is dropped.
  static void SwitchOnCustomer(LONG customerId);
};
