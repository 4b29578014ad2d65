#pragma once
// What the program's commands share to show the system's data objects: an object loaded by its
// ProgID and id.
#include "framework/zephra.h"
#include "host/command.h"
#include "host/host.h"

namespace host {

// The object of the class `progId` read with key `id` through the host's data factory; null when
// the database has no such object. Other failures are raised.
inline IUnknownPtr LoadObject(Host& host, const wchar_t* progId, LONG id) {
  CLSID clsid = GUID_NULL;
  Check(CLSIDFromProgID(progId, &clsid));
  IUnknown* raw = nullptr;
  Check(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, __uuidof(IUnknown), reinterpret_cast<void**>(&raw)));
  IUnknownPtr object(raw, false);
  IFlgItemPtr item(object);
  if (!item) _com_issue_error(E_NOINTERFACE);
  // A missing row: the data object's code for "no current record".
  constexpr HRESULT kNoRow = static_cast<HRESULT>(0x80040F2Fu);
  const HRESULT hr = item->Load(IFlgDataFactoryPtr(host.Instance()), _variant_t(id));
  if (hr == kNoRow) return nullptr;
  Check(hr);
  return object;
}

}  // namespace host
