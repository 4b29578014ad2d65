#pragma once
// Dialogs around batch operations: the summary that lists, object by object, the result of a
// batch operation (CHxSummaryDlg, and CHxSimpleSummaryDlg that keeps its rows in a recordset of
// its own), and the progress window (CProgressDlg).
#include <list>

#include "framework/flgdialog.h"
#include "framework/listcnt.h"
#include "platform/gui/progress.h"

extern const wchar_t kIddSummaryDlg[];   // "IDD_SUMMARY_DLG"
inline constexpr UINT kIddProgressDlg = 13019;

class CHxSummaryDlg : public CFlgDialog {
 public:
  enum { IDC_BAND = 1001, IDC_ICON = 1006, IDC_SUMMARY = 1005, IDC_LIST = 103 };

  explicit CHxSummaryDlg(CWnd* parent = nullptr);

  // Configures the list from ListInfo, ColInfo and ColCount (no table description), titles it
  // GridName, gives it the Recordset and attaches it to the list control.
  virtual void SetupGrid();
  virtual CString WindowText() = 0;
  virtual CString HelpTopic() = 0;
  // The list's description: named and titled GridName, rows keyed by "Id".
  virtual FlgListInfo ListInfo();
  virtual const FlgColumnInfo* ColInfo() = 0;
  virtual int ColCount() = 0;
  virtual CString GridName() = 0;
  virtual _RecordsetPtr Recordset() = 0;
  virtual CString SummaryText() = 0;
  // A system icon resource (IDI_...), or null for none.
  virtual LPCWSTR Icon() = 0;
  // The recordset's record count; 0 without recordset (or when it cannot be counted).
  virtual LONG RecordCount();

  CListCnt& List() { return m_list; }

 protected:
  void SubclassControls() override;
  void AddFlexConstraints() override;

  CListCnt m_list;
};

class CHxSimpleSummaryDlg : public CHxSummaryDlg {
 public:
  // Builds the recordset at once (raises when it cannot be made).
  explicit CHxSimpleSummaryDlg(CWnd* parent = nullptr);

  // A row with the next id (1, 2, 3, ...), the object and the result text (each cut to its field's
  // size; null as empty).
  void AddRecord(const wchar_t* object, const wchar_t* result);
  // The result "Ok" when `hr` is not negative, else the error text of `hr`.
  void AddRecord(const wchar_t* object, LONG hr);

  void SetOk() { m_ok = true; }
  void SetError() { m_ok = false; }
  bool Ok() const { return m_ok; }
  bool Error() const { return !m_ok; }
  void SetIcon(const wchar_t* icon) { m_icon = icon; }
  void SetTitle(const wchar_t* title) { m_title = title ? title : L""; }
  void SetSummary(const wchar_t* summary) { m_summary = summary ? summary : L""; }
  void SetHelpTopic(const wchar_t* topic);
  // Replaces the caption of column 0, 1 or 2 (others are ignored).
  void SetColumnName(UINT column, const wchar_t* caption);

  CString WindowText() override { return m_title; }
  CString HelpTopic() override { return m_helpTopic; }
  const FlgColumnInfo* ColInfo() override;
  int ColCount() override { return 3; }
  CString GridName() override { return m_helpTopic; }
  _RecordsetPtr Recordset() override { return m_rs; }
  CString SummaryText() override { return m_summary; }
  // The icon set, else IDI_INFORMATION when ok and IDI_HAND otherwise.
  LPCWSTR Icon() override;

  static constexpr long kObjectSize = 100;
  static constexpr long kResultSize = 200;

 private:
  void CopyColumns();

  LONG m_lastId = 0;
  _RecordsetPtr m_rs;
  CString m_helpTopic;
  CString m_summary;
  CString m_title;
  const wchar_t* m_icon = nullptr;
  FlgColumnInfo m_columns[3];
  bool m_columnsCopied = false;
  std::list<CString> m_captions;
  bool m_ok = true;
};

class CProgressDlg : public CFlgDialog {
 public:
  enum { IDC_PROGRESS = 13138, IDC_STATUS = 13140 };

  explicit CProgressDlg(CWnd* parent = nullptr);

  // Range 0 to 100, position 0, the total kept, the title "Postęp operacji"; repainted at once.
  void Init(DWORD total);
  // Adds `n` steps of the total: the position is the part of the total added since Init, in
  // whole percent (0 while the total is 0).
  void IncProgressAll(DWORD n);
  void SetStatus(const CString& status);

  DWORD GetTotal() const { return m_total; }
  int GetPos() const;

 protected:
  void SubclassControls() override;

 private:
  DWORD m_total = 0;
  unsigned long long m_done = 0;
  CProgressCtrl m_progress;
};
