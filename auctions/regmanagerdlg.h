#pragma once
// The account list dialog and its list container with caption language support.
#include <deque>

#include "auctions/lotrix.h"
#include "framework/flgdialog.h"
#include "framework/listcnt.h"

// Grid captions held as string ids become Lotrix's texts. The texts loaded so far are kept for
// the object's life; their addresses never change while more are added.
class CHxGridLangSupp {
 public:
  CHxGridLangSupp() = default;
  virtual ~CHxGridLangSupp();
  CHxGridLangSupp(const CHxGridLangSupp&) = delete;
  CHxGridLangSupp& operator=(const CHxGridLangSupp&) = delete;

  // The four texts of every row (caption, short caption, hint, cell style).
  virtual void TranslateColumns(FlgColumnInfo* columns, LONG count);
  // An id (non-null, below 0x10000) becomes the address of its loaded text (empty without a
  // string); a null pointer or a real text is left as it is.
  virtual void TranslateText(LPCWSTR* text);

  size_t TextCount() const { return m_texts.size(); }

 private:
  std::deque<CString> m_texts;
};

// The framework list container with Lotrix's caption support.
class CHxListCnt : public CListCnt, public CHxGridLangSupp {
 public:
  CHxListCnt() = default;
  ~CHxListCnt() override = default;
};

// The templates of the account dialogs.
inline constexpr UINT kIddRegManager = 101;
inline constexpr UINT kIddRegStatuses = 106;

// The menu commands of adding an account: 0x3400 plus the service provider (0 to 15).
inline constexpr UINT kAddAccountFirst = 0x3400;
inline constexpr UINT kAddAccountLast = 0x340F;

class CRegManagerDlg : public CFlgDialog {
 public:
  CRegManagerDlg(IRegManager* manager, CWnd* parent = nullptr);
  ~CRegManagerDlg() override;

  CHxListCnt& List() { return m_list; }
  CMenu& ServicesMenu() { return m_services; }

  // The handlers (also reached through the dialog's commands).
  void AddAccount(UINT command);
  void EditAccount();
  void DeleteAccount();
  void ActivateAccount(bool activate);
  void EditStatuses();
  void UpdateEnabling();

 protected:
  BOOL OnInitDialog() override;
  void SubclassControls() override;
  void AddFlexConstraints() override;
  BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) override;
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  // The current row's account id; false without a current row.
  bool Selected(LONG& id);
  void Reload();
  void TellStatusWindow();
  void BuildServicesMenu();

  CHxListCnt m_list;
  CMenu m_services;
  IRegManagerPtr m_manager;
  HICON m_icon = nullptr;
};
