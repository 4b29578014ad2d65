#pragma once
// A data object that an object dialog edits, for the dialog tests: its mode, menu, information,
// the errors its check adds, the results of Check and Save, its data sets and the messages and
// commands it takes first are set by the test; its IFlgItem calls are recorded.
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "shared/objectdlg.h"
#include "testing/host_doubles/host_doubles.h"

namespace doubles {

class FakeEditedObject : public IHxEditedObject {
 public:
  FakeEditedObject(std::shared_ptr<Recorder> recorder, IFlgInstance* instance);
  ~FakeEditedObject() override;

  // --- settings of the double
  std::shared_ptr<Recorder> recorder;
  IFlgInstancePtr instance;
  LONG mode = 2;                                // the open mode (2: edited)
  HMENU menu = nullptr;
  std::vector<FLG_OBJECT_ERROR_INFO> checkErrors;  // added to the error list by Check
  HRESULT checkResult = S_OK;
  HRESULT saveResult = S_OK;
  std::map<LONG, _RecordsetPtr> dataSets;       // IFlgDataSet::GetDataSet
  bool parameterItem = false;                   // answers IFlgParameterItem
  HRESULT nameResult = S_OK;
  std::wstring parameterName = L"Parametr";
  CString errorInformation = L"Nie można zapisać obiektu.";
  CString infoText, infoTitle;
  LONG infoType = 64;
  std::set<UINT> handledCommands;               // OnCmdMsg takes these ids
  std::set<WPARAM> handledKeys;                 // PreTranslateMessage takes these keys
  CObjErrorInfoArray errors;
  LONG windowHandle = 0;
  std::vector<LONG> windowHandles;              // every value the slot was given

  // --- IHxEditedObject
  LONG GetOpenMode() override { return mode; }
  CObjErrorInfoArray* GetErrorList() override { return &errors; }
  void SetWindowHandle(LONG hwnd) override;
  HMENU GetMenu() override { return menu; }
  IFlgItemPtr GetItem() override;
  IFlgDataSetPtr GetDataSet() override;
  IFlgDataSetupPtr GetDataSetup() override;
  IFlgInstancePtr GetFlgInstance() override { return instance; }
  CString GetErrorInformation(HRESULT hr) override;
  CString GetInfoText() override { return infoText; }
  CString GetInfoTitle() override { return infoTitle; }
  LONG GetInfoType() override { return infoType; }
  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) override;

 private:
  IUnknownPtr m_item;
};

// A recordset of one row with the named text and boolean columns (client-side, no source).
_RecordsetPtr OneRowRecordset(const std::vector<std::pair<std::wstring, DataTypeEnum>>& columns);

}  // namespace doubles
