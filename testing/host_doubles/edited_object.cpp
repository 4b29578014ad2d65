#include "testing/host_doubles/edited_object.h"

#include "framework/comobject.h"

namespace doubles {
namespace {

const FlgDataSetDef kDefinitions[] = {
    {0, 0, 0, L"MAIN", L"tb__Main", L"tb_Id", L"", L"*", L"", 0, 0},
    {1, 1, 0, L"SUB", L"tb_Sub", L"ts_Id", L"ts_MainId", L"*", L"", 1, 1},
};

// The COM faces of the edited object.
class EditedItem : public IFlgItem, public IFlgDataSet, public IFlgDataSetup, public IFlgParameterItem {
 public:
  explicit EditedItem(FakeEditedObject* owner) : m_owner(owner) {}
  virtual ~EditedItem() = default;
  void Detach() { m_owner = nullptr; }
  void* FlgGetInterface(REFIID iid) {
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IFlgItem)) return static_cast<IFlgItem*>(this);
    if (iid == __uuidof(IFlgDataSet) || iid == __uuidof(IFlgData)) return static_cast<IFlgDataSet*>(this);
    if (iid == __uuidof(IFlgDataSetup)) return static_cast<IFlgDataSetup*>(this);
    if (iid == __uuidof(IFlgParameterItem) && m_owner && m_owner->parameterItem)
      return static_cast<IFlgParameterItem*>(this);
    return nullptr;
  }

  // IFlgItem
  STDMETHOD(GetClassID)(CLSID* clsid) override {
    if (clsid) *clsid = GUID_NULL;
    return S_OK;
  }
  STDMETHOD(InitNew)(IFlgDataFactory*, VARIANT) override { return E_NOTIMPL; }
  STDMETHOD(Load)(IFlgDataFactory*, VARIANT) override { return E_NOTIMPL; }
  STDMETHOD(InitCopy)(IFlgDataFactory*, VARIANT) override { return E_NOTIMPL; }
  STDMETHOD(BeginEdit)() override { return E_NOTIMPL; }
  STDMETHOD(EndEdit)() override { return E_NOTIMPL; }
  STDMETHOD(Save)() override {
    if (!m_owner) return E_UNEXPECTED;
    m_owner->recorder->Call(L"IFlgItem::Save");
    return m_owner->saveResult;
  }
  STDMETHOD(Check)() override {
    if (!m_owner) return E_UNEXPECTED;
    m_owner->recorder->Call(L"IFlgItem::Check");
    for (const FLG_OBJECT_ERROR_INFO& e : m_owner->checkErrors) m_owner->errors.AddUnique(e);
    return m_owner->checkResult;
  }
  STDMETHOD(Delete)(IFlgDataFactory*, VARIANT) override { return E_NOTIMPL; }
  STDMETHOD(GetErrorCount)(LONG* count) override {
    if (!count) return E_INVALIDARG;
    *count = m_owner ? m_owner->errors.GetSize() : 0;
    return S_OK;
  }
  STDMETHOD(GetErrorText)(LONG, BSTR* text) override {
    if (text) *text = nullptr;
    return E_NOTIMPL;
  }
  STDMETHOD(SetUseTransaction)(LONG) override { return S_OK; }
  STDMETHOD(SetLockOnEdit)(LONG) override { return S_OK; }
  STDMETHOD(SetCheckRights)(LONG) override { return S_OK; }
  STDMETHOD(SetCallbackValue)(LONG) override { return S_OK; }
  STDMETHOD(GetCallbackValue)(LONG* value) override {
    if (value) *value = 0;
    return S_OK;
  }

  // IFlgData
  STDMETHOD(GetId)(VARIANT* id) override {
    if (!id) return E_INVALIDARG;
    VariantInit(id);
    id->vt = VT_I4;
    id->lVal = 7;
    return S_OK;
  }
  STDMETHOD(GetState)(VARIANT* state) override {
    if (!state) return E_INVALIDARG;
    VariantInit(state);
    state->vt = VT_I4;
    state->lVal = m_owner ? m_owner->mode : 0;
    return S_OK;
  }
  STDMETHOD(GetFormat)(LONG* format) override {
    if (format) *format = 1;
    return S_OK;
  }
  STDMETHOD(GetLocked)(VARIANT_BOOL* locked) override {
    if (locked) *locked = VARIANT_FALSE;
    return S_OK;
  }

  // IFlgDataSet
  STDMETHOD(GetDataSet)(LONG index, IUnknown** recordset) override {
    if (!recordset) return E_INVALIDARG;
    *recordset = nullptr;
    if (!m_owner) return E_UNEXPECTED;
    m_owner->recorder->Call(L"IFlgDataSet::GetDataSet", std::to_wstring(index));
    auto it = m_owner->dataSets.find(index);
    if (it == m_owner->dataSets.end()) return E_INVALIDARG;
    return it->second->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(recordset));
  }
  STDMETHOD(AddSubRow)(LONG) override { return E_NOTIMPL; }
  STDMETHOD(AddSubRowKey)(LONG, VARIANT*) override { return E_NOTIMPL; }
  STDMETHOD(AddRowChecked)(LONG, VARIANT, VARIANT*) override { return E_NOTIMPL; }
  STDMETHOD(AddRow)(LONG, VARIANT, VARIANT*) override { return E_NOTIMPL; }
  STDMETHOD(CompleteRow)(LONG, VARIANT) override { return E_NOTIMPL; }
  STDMETHOD(DeleteRow)(LONG, LONG) override { return E_NOTIMPL; }

  // IFlgDataSetup
  STDMETHOD(SetDataSet)(LONG, IUnknown*) override { return E_NOTIMPL; }
  STDMETHOD(GetDefinition)(LONG index, const FlgDataSetDef** definition) override {
    if (!definition) return E_INVALIDARG;
    if (index < 0 || index >= 2) return E_INVALIDARG;
    *definition = &kDefinitions[index];
    return S_OK;
  }
  STDMETHOD(GetDefinitionCount)(LONG* count) override {
    if (!count) return E_INVALIDARG;
    *count = 2;
    return S_OK;
  }
  STDMETHOD(GetTempKey)(LONG* key) override {
    if (key) *key = -1;
    return S_OK;
  }
  STDMETHOD(SetTempKey)(LONG) override { return S_OK; }
  STDMETHOD(GetSecondDataSet)(LONG, IUnknown** rs) override {
    if (rs) *rs = nullptr;
    return E_NOTIMPL;
  }
  STDMETHOD(SetSecondDataSet)(LONG, IUnknown*) override { return E_NOTIMPL; }
  STDMETHOD(SetId)(VARIANT) override { return S_OK; }
  STDMETHOD(HasDataSet)(LONG index, VARIANT_BOOL* has) override {
    if (has) *has = m_owner && m_owner->dataSets.count(index) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  STDMETHOD(SetPendingNotification)(LONG) override { return S_OK; }
  STDMETHOD(GetPendingNotification)(LONG* value) override {
    if (value) *value = 0;
    return S_OK;
  }

  // IFlgParameterItem
  STDMETHOD(GetName)(BSTR* name) override {
    if (!name) return E_INVALIDARG;
    *name = nullptr;
    if (!m_owner) return E_UNEXPECTED;
    if (FAILED(m_owner->nameResult)) return m_owner->nameResult;
    *name = SysAllocString(m_owner->parameterName.c_str());
    return S_OK;
  }

 private:
  FakeEditedObject* m_owner;
};

}  // namespace

FakeEditedObject::FakeEditedObject(std::shared_ptr<Recorder> r, IFlgInstance* i)
    : recorder(std::move(r)), instance(i) {
  IUnknown* raw = nullptr;
  CFlgComObject<EditedItem>::Create(__uuidof(IUnknown), reinterpret_cast<void**>(&raw), this);
  m_item.Attach(raw);
}

FakeEditedObject::~FakeEditedObject() {
  IFlgItemPtr item = m_item;
  if (item) static_cast<EditedItem*>(static_cast<IFlgItem*>(item))->Detach();
}

void FakeEditedObject::SetWindowHandle(LONG hwnd) {
  windowHandle = hwnd;
  windowHandles.push_back(hwnd);
}

IFlgItemPtr FakeEditedObject::GetItem() { return m_item; }
IFlgDataSetPtr FakeEditedObject::GetDataSet() { return m_item; }
IFlgDataSetupPtr FakeEditedObject::GetDataSetup() { return m_item; }

CString FakeEditedObject::GetErrorInformation(HRESULT hr) {
  recorder->Call(L"GetErrorInformation", std::to_wstring(static_cast<unsigned>(hr)));
  return errorInformation;
}

BOOL FakeEditedObject::PreTranslateMessage(MSG* msg) {
  if (msg && msg->message == WM_KEYDOWN && handledKeys.count(msg->wParam)) {
    recorder->Call(L"PreTranslateMessage", std::to_wstring(msg->wParam));
    return TRUE;
  }
  return FALSE;
}

BOOL FakeEditedObject::OnCmdMsg(UINT id, int code, void*, AFX_CMDHANDLERINFO*) {
  if (!handledCommands.count(id)) return FALSE;
  recorder->Call(L"OnCmdMsg", std::to_wstring(id) + L"," + std::to_wstring(code));
  return TRUE;
}

_RecordsetPtr OneRowRecordset(const std::vector<std::pair<std::wstring, DataTypeEnum>>& columns) {
  _RecordsetPtr rs;
  if (FAILED(rs.CreateInstance(__uuidof(Recordset)))) return nullptr;
  for (const auto& [name, type] : columns) {
    const LONG size = type == adBoolean ? 1 : type == adInteger ? 4 : 50;
    rs->Fields->Append(name.c_str(), type, size, adFldIsNullable);
  }
  rs->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, 0);
  rs->AddNew();
  rs->Update();
  return rs;
}

}  // namespace doubles
