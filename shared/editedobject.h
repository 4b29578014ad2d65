#pragma once
// What the object dialog base uses of the data object it edits. The framework data object of the
// auction-services library implements it (no menu, no information and nothing handled unless a
// derived object says otherwise), so that Vantor's dialogs never link that library; the dialog
// never owns the object.
#include "framework/interfaces.h"
#include "framework/objerrors.h"
#include "platform/com/com.h"

struct MSG;
struct AFX_CMDHANDLERINFO;

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
