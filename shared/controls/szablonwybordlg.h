#pragma once
// The auction-template chooser: the templates of one auction site (and, when given, of one
// seller account, together with the templates bound to no account) in a list; "&Pokaż" opens the
// chosen template in its plug-in's own window, OK takes it.
//
// The host sets the site and account before DoModal and reads the chosen template's id, note
// and title after it. The dialog also answers the framework window interface (IFlgWnd), handed to
// the template plug-in as the owner of its window; references to that face never delete the
// dialog, and once the dialog's window is gone the face answers E_FAIL.
#include <atomic>

#include "framework/flgdialog.h"
#include "framework/listcnt.h"
#include "framework/olewindow.h"

inline constexpr UINT kIddSzablonAukcjiWybor = 13030;

class CSzablonAukcjiWyborDlg : public CFlgDialog {
 public:
  enum { IDC_LIST = 103, IDC_SHOW = 3, IDC_BAND = 1001, IDC_HELP_BUTTON = 57670 };
  static constexpr LONG kNoValue = static_cast<LONG>(0x80000000);

  explicit CSzablonAukcjiWyborDlg(CWnd* parent = nullptr);
  ~CSzablonAukcjiWyborDlg() override;

  LONG m_siteId = kNoValue;       // au_SiteId
  LONG m_regId = kNoValue;        // au_RegId
  LONG m_templateId = kNoValue;   // au_Id, set by OK
  _bstr_t m_note;                 // au_Note, set by OK
  _bstr_t m_title;                // au_Title, set by OK
  CListCnt m_list;

  // The dialog's window face (IFlgWnd).
  IFlgWnd* GetOleWindow() { return &m_xOleWindow; }
  ULONG ExternalReferences() const { return m_externalRefs; }

  // Opens the current row's template in its plug-in's window ("&Pokaż").
  void OnPokaz();

  void OnLoadData(CFlgDataExchange&) override {}
  void OnSaveData(CFlgDataExchange&) override {}

 protected:
  void SubclassControls() override;
  void AddFlexConstraints() override;
  void OnOK() override;
  BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) override;

 private:
  // The current row's id when it is an integer above 0; 0 otherwise.
  LONG CurrentId(_variant_t& id) const;
  // The same; without one, the error tip with that caption over the list.
  LONG ChosenId(const wchar_t* caption, _variant_t& id) const;

  class XOleWindow : public IFlgWnd {
   public:
    explicit XOleWindow(CSzablonAukcjiWyborDlg* owner) : m_owner(owner) {}
    STDMETHOD(QueryInterface)(REFIID iid, void** out) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(GetWindow)(LONG* hwnd) override;
    STDMETHOD(ContextSensitiveHelp)(BOOL enter) override;

   private:
    CSzablonAukcjiWyborDlg* m_owner;
  };
  friend class XOleWindow;

  XOleWindow m_xOleWindow{this};
  CUtOleWindow m_oleWindow{this};
  std::atomic<ULONG> m_externalRefs{0};
};
