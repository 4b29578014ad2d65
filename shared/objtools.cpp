#include "shared/objtools.h"

#include "shared/hxcheck.h"

namespace {

IFlgItemPtr Create(const GUID& type) {
  IUnknown* raw = nullptr;
  HRESULT hr = CoCreateInstance(type, nullptr, CLSCTX_ALL, __uuidof(IUnknown), reinterpret_cast<void**>(&raw));
  if (FAILED(hr)) _com_issue_error(hr);
  IUnknownPtr object(raw, false);
  hr = OleRun(object);
  if (FAILED(hr)) _com_issue_error(hr);
  IFlgItem* item = nullptr;
  hr = object->QueryInterface(__uuidof(IFlgItem), reinterpret_cast<void**>(&item));
  if (hr == E_NOINTERFACE || !item) _com_issue_error(E_POINTER);
  if (FAILED(hr)) _com_issue_error(hr);
  return IFlgItemPtr(item, false);
}

using hx::Check;

int g_depth = 0;

}  // namespace

bool CHxObjTools::IsUserAdminId(LONG id) { return id == 1; }

_variant_t CHxObjTools::GetUserAdminId() { return _variant_t(static_cast<LONG>(1)); }

LONG CHxObjTools::ObjectId(IFlgDataPtr data) {
  if (!data) _com_issue_error(E_POINTER);
  _variant_t id;
  Check(data->GetId(&id));
  if (id.vt == VT_I4 && id.lVal > 0) return id.lVal;
  return kNoLongValue;
}

IFlgItemPtr CHxObjTools::New(const GUID& type) {
  IFlgItemPtr item = Create(type);
  _variant_t null;
  null.vt = VT_NULL;
  Check(item->InitNew(CHxInstance::GetDataFactory(), null));
  return item;
}

IFlgItemPtr CHxObjTools::Fetch(const GUID& type, LONG id, ObjMode mode) {
  IFlgItemPtr item = Create(type);
  Check(item->Load(CHxInstance::GetDataFactory(), _variant_t(id)));
  if (mode == omEdit) Check(item->BeginEdit());
  return item;
}

void CHxObjTools::Save(IFlgItemPtr item) {
  if (!item) _com_issue_error(E_POINTER);
  Check(item->Check());
  HRESULT hr = item->Save();
  if (hr == zephra::KD_E_DB_UNSPECIFIED) _com_issue_error(E_FAIL);
  Check(hr);
}

void CHxObjTools::Delete(const GUID& type, LONG id) {
  IFlgItemPtr item = Create(type);
  IFlgDataFactoryPtr factory = CHxInstance::GetDataFactory();
  Check(item->Load(factory, _variant_t(id)));
  Check(item->Delete(factory, _variant_t(id)));
}

CHxRefreshLock::CHxRefreshLock() : m_type(GUID_NULL), m_flag(false) { Enter(); }

CHxRefreshLock::CHxRefreshLock(GUID type) : m_type(type), m_flag(false) { Enter(); }

CHxRefreshLock& CHxRefreshLock::operator=(const CHxRefreshLock& other) {
  m_type = other.m_type;
  m_flag = other.m_flag;
  return *this;
}

CHxRefreshLock::~CHxRefreshLock() { Leave(); }

void CHxRefreshLock::SetRefreshAtEndGuid(GUID type) { m_type = type; }

int CHxRefreshLock::Depth() { return g_depth; }

void CHxRefreshLock::Enter() {
  ++g_depth;
  try {
    IHxAppServicesPtr services(CHxInstance::GetInstance());
    Check(services->SetRefreshState(0));
  } catch (const _com_error&) {
  }
}

void CHxRefreshLock::Leave() {
  --g_depth;
  if (g_depth < 0) g_depth = 0;
  if (g_depth > 0) return;
  try {
    IFlgInstancePtr instance = CHxInstance::GetInstance();
    IHxAppServicesPtr services(instance);
    Check(services->SetRefreshState(-1));
    if (m_type != GUID_NULL) {
      _variant_t null;
      null.vt = VT_NULL;
      Check(instance->RefreshObjectType(m_type, 0, null));
    }
  } catch (const _com_error&) {
  }
}
