#pragma once
// The object dialog base: a framework dialog bound to the data object it edits, and the
// ready-made one-value dialogs built on it.
#include "framework/flgdialog.h"
#include "framework/interfaces.h"
#include "framework/objerrors.h"
#include "platform/ado/ado.h"
#include "platform/com/com.h"

// What the object dialog uses of the data object it edits. The framework data object of the
// auction-services library implements it (no menu, no information and nothing handled unless a
// derived object says otherwise); the dialog never owns the object.
class IHxEditedObject {
 public:
  virtual ~IHxEditedObject() = default;
  // The object's state: 0 none, 1 new, 2 edited, 3 read. 0 and 3 are view modes.
  virtual LONG GetOpenMode() = 0;
  // The object's list of validation and save errors.
  virtual CObjErrorInfoArray* GetErrorList() = 0;
  // The object's window-handle slot: the dialog's window while it exists, 0 after.
  virtual void SetWindowHandle(LONG hwnd) = 0;
  // The object's menu (null: none); the object keeps it.
  virtual HMENU GetMenu() = 0;
  virtual IFlgItemPtr GetItem() = 0;
  virtual IFlgDataSetPtr GetDataSet() = 0;
  virtual IFlgDataSetupPtr GetDataSetup() = 0;
  virtual IFlgInstancePtr GetFlgInstance() = 0;
  // The text of the object's error information for a failure it returned.
  virtual CString GetErrorInformation(HRESULT hr) = 0;
  virtual CString GetInfoText() = 0;
  virtual CString GetInfoTitle() = 0;
  virtual LONG GetInfoType() = 0;
  // The object handles messages and commands before its dialog: TRUE when it did.
  virtual BOOL PreTranslateMessage(MSG* msg) = 0;
  virtual BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) = 0;
};

class CFlgObjectDlg : public CFlgDialog {
 public:
  CFlgObjectDlg(IHxEditedObject* object, LPCWSTR templateName, CWnd* parent = nullptr);
  CFlgObjectDlg(IHxEditedObject* object, UINT templateId, CWnd* parent = nullptr);
  // Destroys a window still open here, so that the object's window slot is cleared.
  ~CFlgObjectDlg() override;

  // Binds the object: its error list, read-only for view modes, the skin of its framework
  // instance. A null object leaves the dialog its own error list.
  virtual void SetObject(IHxEditedObject* object);
  // IFlgItem::Check of the object (S_OK without one).
  virtual HRESULT CheckObject();
  // The object's error information for hr through its framework instance's ShowMessage,
  // caption "Błąd", owned by the dialog.
  virtual void ShowErrorForHr(HRESULT hr);
  // The framework's details dialog over the object (-1 without one).
  virtual INT_PTR ShowDetails();
  // "%s (%s)" of the caption and the name of a parameter item.
  virtual void ExtendCaption();
  virtual void DisableDialog() { EnableWindow(FALSE); }
  virtual void EnableDialog() { EnableWindow(TRUE); }

  IHxEditedObject* GetObject() const { return m_pObject; }

  // IFlgItem::Save of the object under the wait cursor.
  HRESULT OnUpdate() override;
  int HandleApply() override;
  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) override;

  STDMETHOD(GetInfoText)(BSTR* text) override;
  STDMETHOD(GetInfoTitle)(BSTR* title) override;
  STDMETHOD(GetInfoType)(LONG* type) override;

 protected:
  BOOL OnInitDialog() override;
  void OnContextMenu(CWnd* window, CPoint point) override;
  void OnDestroy() override;
  void PostNcDestroy() override;
  // Field errors shown and listed in the error window: 0 for HandleApply.
  int RefuseWithErrors();

  IHxEditedObject* m_pObject = nullptr;

 private:
  bool m_menuAttached = false;
};

// The templates of the one-value dialogs.
extern const wchar_t kIddOneFieldDlg[];      // "IDD_ONE_FIELD_DLG"
extern const wchar_t kIddOneBigFieldDlg[];   // "IDD_ONE_BIG_FIELD_DLG"

// One column of one data set of the edited object, with an optional check box on a second column.
class COneFieldObjDlg : public CFlgObjectDlg {
 public:
  COneFieldObjDlg(DWORD dataSetId, const wchar_t* caption, const wchar_t* label, const wchar_t* name,
                  const wchar_t* column, IHxEditedObject* object, CWnd* parent = nullptr, bool big = false,
                  bool withCheck = false, const wchar_t* checkLabel = nullptr, const wchar_t* checkColumn = nullptr,
                  bool checkDisabled = false);

  void SubclassControls() override;
  void OnLoadData(CFlgDataExchange& dx) override;
  void OnSaveData(CFlgDataExchange& dx) override;

 protected:
  _RecordsetPtr DataSetRecordset();

  CString m_caption;
  CString m_label;
  CString m_column;
  CString m_checkLabel;
  CString m_checkColumn;
  DWORD m_dataSetId;
  BYTE m_withCheck;
  BYTE m_checkDisabled;
};

// One text (and an optional check box) without an object: OK keeps what was entered.
class COneFieldSimpleDlg : public CFlgObjectDlg {
 public:
  COneFieldSimpleDlg(const wchar_t* caption, const wchar_t* label, const wchar_t* name, const wchar_t* value,
                     CWnd* parent = nullptr, bool big = false, bool withCheck = false,
                     const wchar_t* checkLabel = nullptr, bool checked = false, bool checkDisabled = false);

  void SubclassControls() override;
  void OnLoadData(CFlgDataExchange& dx) override;
  void OnSaveData(CFlgDataExchange& dx) override;

  const CString& GetValue() const { return m_value; }
  bool IsChecked() const { return m_checked != 0; }

 protected:
  CString m_caption;
  CString m_label;
  CString m_checkLabel;
  BYTE m_withCheck;
  BYTE m_checkDisabled;
  CString m_value;
  BYTE m_checked;
};
