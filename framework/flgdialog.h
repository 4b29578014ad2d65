#pragma once
// The framework's dialog base and its data exchange.
//
// A framework dialog loads its controls from its data in a load step and saves them back in a
// save step, both over a CFlgDataExchange that collects field errors (a control id with a text)
// into the dialog's error list. OK runs HandleApply: by default the save step, then, without
// errors, BeforeUpdate and OnUpdate; 1 closes the dialog. Field errors are shown (the first
// field gets the focus) and listed in the error tool window. Controls named as modifying set the
// dialog's modified state when the user changes them. A read-only dialog shows its data without
// letting it be changed. The dialog also answers ITodayWindow (information icon, no text).
#include <set>
#include <vector>

#include "framework/flexlayout.h"
#include "framework/interfaces.h"
#include "framework/objerrors.h"
#include "framework/skin.h"
#include "platform/gui/afxwin.h"
#include "platform/gui/olecurrency.h"

class CFlgDialog;

class CFlgDataExchange {
 public:
  CFlgDataExchange(CObjErrorInfoArray* errors, HWND dialog, LPCWSTR templateName, BOOL saveAndValidate);
  CFlgDataExchange(CFlgDialog* dialog, BOOL saveAndValidate);
  CFlgDataExchange(const CFlgDataExchange&) = default;
  CFlgDataExchange& operator=(const CFlgDataExchange&) = default;
  virtual ~CFlgDataExchange() = default;

  // The dialog's control of that id; null when there is none (the exchange then does nothing).
  HWND PrepareCtrl(UINT id) const;
  // Adds a field error for control `id` (unless an equal one is listed).
  void AddError(UINT id, LPCWSTR text, LONG kind = 0);
  int ErrorCount() const { return m_pErrors ? m_pErrors->GetSize() : 0; }

  BOOL m_bSaveAndValidate;
  HWND m_hDialog;
  CObjErrorInfoArray* m_pErrors;
  CString m_templateName;
};

// The framework's exchange functions (load: the value into the control; save: back).
void DSX_Text(CFlgDataExchange& dx, UINT id, CString& value);
void DSX_Check(CFlgDataExchange& dx, UINT id, BOOL& value);
void DSX_Check(CFlgDataExchange& dx, UINT id, bool& value);
// Identifier exchange of a combo or list box: the item data of its selected entry. Loading selects
// the entry with that item data (none when no entry has it); saving gives the selection's item
// data, or 0x80000000 when nothing is selected.
void DSX_CBIdent(CFlgDataExchange& dx, UINT id, LONG& ident);
void DSX_LBIdent(CFlgDataExchange& dx, UINT id, LONG& ident);
// Amount exchange of an amount edit (or any edit): loading shows the amount by the user's locale
// with the control's decimals (empty for a null value); saving reads it back, an empty text as
// the null value; a text that is no amount gets the field error "Niepoprawna kwota." and leaves
// the value as it was.
void DSX_Currency(CFlgDataExchange& dx, UINT id, COleCurrency& value);
extern const wchar_t kFlgBadAmountText[];
// The required-field check: when saving, a control whose text is empty or blank gets the error
// "Pole musi być wypełnione." (FALSE then).
BOOL DSX_Required(CFlgDataExchange& dx, UINT id);
extern const wchar_t kFlgRequiredFieldText[];

// The framework's error tool window: a tool window beside the dialog listing its errors.
class CFlgErrorWnd : public CWnd {
 public:
  // Shows the errors (created at the first call, owned by `owner`).
  void AddErrors(CWnd* owner, const CObjErrorInfoArray& errors);
  void Clear();
  const std::vector<CString>& Lines() const { return m_lines; }

 protected:
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override { return TRUE; }

 private:
  std::vector<CString> m_lines;
};

class CFlgDialog : public CDialog, public ITodayWindow {
 public:
  CFlgDialog(LPCWSTR templateName, CWnd* parent = nullptr);
  CFlgDialog(UINT templateId, CWnd* parent = nullptr);
  ~CFlgDialog() override;

  // The dialog's name in the framework.
  void SetFrameworkName(LPCWSTR name) { m_frameworkName = name ? name : L""; }
  const CString& GetFrameworkName() const { return m_frameworkName; }
  // The skin colours the dialog's background (stock colour 0) when set.
  void SetSkin(IFlgSkin* skin) { m_skin = skin; }
  IFlgSkin* GetSkin() const { return m_skin; }
  // The framework instance for messages; the host's registered instance when not set.
  void SetFlgInstance(IFlgInstance* instance) { m_instance = instance; }
  IFlgInstancePtr GetFlgInstance() const;
  void SetReadOnly(BOOL readOnly = TRUE) { m_readOnly = readOnly; }
  BOOL IsReadOnly() const { return m_readOnly; }
  void SetModified(BOOL modified = TRUE) { m_modified = modified; }
  BOOL IsModified() const { return m_modified; }
  // Changes of this control (edit changes, clicks, selection changes) set the modified state.
  void AddModifyingControl(UINT id) { m_modifying.insert(id); }
  // The control whose rectangle is painted in the window colour (a band behind the fields).
  void SetWindowColorControl(UINT id) { m_bandId = id; }
  UINT GetWindowColorControl() const { return m_bandId; }
  void SetHelpTopic(LPCWSTR topic) { m_helpTopic = topic ? topic : L""; }
  const CString& GetHelpTopic() const { return m_helpTopic; }

  // The field errors: the dialog's own list unless another one is set (null: own again).
  CObjErrorInfoArray* GetErrorList() const { return m_errors; }
  void SetErrorList(CObjErrorInfoArray* errors) { m_errors = errors ? errors : &m_ownErrors; }
  // Focuses the control of the first error naming a field and shows the errors' texts in a
  // message box with the first error's caption and icon. Nothing without errors.
  void ShowFieldErrors();
  void AddErrorsToToolWindow();
  CFlgErrorWnd& ErrorWindow() { return m_errorWindow; }

  // The load and save steps over a data exchange. SaveData raises the COM errors of the step.
  void LoadData();
  void SaveData();
  // The message of the framework: the instance's ShowMessage owned by the dialog (a message box
  // when there is no instance).
  void ShowMessage(LPCWSTR caption, LPCWSTR text);
  // A COM error of a step, shown with caption "Błąd": its description, else the message
  // library's text of its code.
  void ShowComError(const _com_error& error);

  virtual void SubclassControls() {}
  virtual void OnLoadData(CFlgDataExchange& dx) {}
  virtual void OnSaveData(CFlgDataExchange& dx) {}
  virtual BOOL BeforeUpdate() { return TRUE; }
  virtual HRESULT OnUpdate() { return S_OK; }
  // 1: saved, the dialog closes; 0: it stays open.
  virtual int HandleApply();

  // The flexible layout: AddFlexConstraints (called by the framework's initialisation, after the
  // controls are subclassed) names the controls that follow the right and bottom edges.
  virtual void AddFlexConstraints() {}
  BOOL AddFlexConstraint(UINT id, DWORD flags) { return m_flex.Add(id, flags); }
  CFlgFlexLayout& FlexLayout() { return m_flex; }

  // The framework's details of a data object, in a modal dialog.
  INT_PTR ShowObjectDetails(IFlgDataSetup* object);

  // ITodayWindow (the dialog's lifetime is its owner's: no reference counting).
  STDMETHOD(QueryInterface)(REFIID iid, void** out) override;
  STDMETHOD_(ULONG, AddRef)() override { return 1; }
  STDMETHOD_(ULONG, Release)() override { return 1; }
  STDMETHOD(GetInfoText)(BSTR* text) override;
  STDMETHOD(GetInfoTitle)(BSTR* title) override;
  STDMETHOD(GetInfoType)(LONG* type) override;

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) override;
  HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT ctlColor) override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnDestroy() override;
  void OnSize(UINT type, int cx, int cy) override;
  // Makes the controls read-only: edits read-only, other input controls disabled.
  void ApplyReadOnly();

  CObjErrorInfoArray m_ownErrors;
  CObjErrorInfoArray* m_errors = &m_ownErrors;

 private:
  CString m_frameworkName;
  CString m_helpTopic;
  IFlgSkinPtr m_skin;
  IFlgInstancePtr m_instance;
  BOOL m_readOnly = FALSE;
  BOOL m_modified = FALSE;
  bool m_loading = false;
  std::set<UINT> m_modifying;
  UINT m_bandId = 0;
  CBrush m_faceBrush;
  CFlgErrorWnd m_errorWindow;
  CFlgFlexLayout m_flex;
};

// The framework's help topics shown so far (the headless help viewer records them).
std::vector<CString> FlgShownHelpTopics();
