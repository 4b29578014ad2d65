#include "shared/satools.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "shared/sqltools.h"

extern char** environ;

CString CHxSaTools::GetProgid(LONG id, const wchar_t* column) { return GetProgidEx(id, column, nullptr); }

CString CHxSaTools::GetProgidEx(LONG id, const wchar_t* column, const wchar_t* view) {
  CString sql;
  if (view)
    sql.Format(L"SELECT %ls FROM %ls WHERE au_Id=%ld", column, view, id);
  else
    sql.Format(L"SELECT %ls FROM sl_ServiceProvider WHERE ss_Id=%ld", column, id);
  _variant_t value;
  if (FAILED(hxGetValueFromSql(sql, value)) || value.vt != VT_BSTR) return CString();
  return CString(value.bstrVal);
}

GUID CHxSaTools::GetClsid(LONG id, const wchar_t* column, const wchar_t* view) {
  GUID clsid = GUID_NULL;
  CString progid = GetProgidEx(id, column, view);
  if (progid.IsEmpty()) return clsid;
  if (FAILED(CLSIDFromProgID(progid, &clsid))) clsid = GUID_NULL;
  return clsid;
}

IUnknownPtr CHxSaTools::Create(const GUID& clsid) {
  IUnknown* raw = nullptr;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, __uuidof(IUnknown), reinterpret_cast<void**>(&raw));
  if (hr == E_NOINTERFACE) return nullptr;
  if (FAILED(hr)) _com_issue_error(hr);
  IUnknownPtr object(raw, false);
  hr = OleRun(object);
  if (FAILED(hr)) _com_issue_error(hr);
  return object;
}

CString CHxSaTools::GetConnectorProgid(LONG ssId) { return GetProgid(ssId, L"ss_ProgId"); }
CString CHxSaTools::GetAuctionProgid(LONG ssId) { return GetProgid(ssId, L"ss_AuctionProgId"); }
CString CHxSaTools::GetAuctionProgidEx(LONG auId) { return GetProgidEx(auId, L"ss_AuctionProgId", L"vw_AuctionProgId"); }
CString CHxSaTools::GetAuTemplProgid(LONG ssId) { return GetProgid(ssId, L"ss_TemplateProgId"); }
CString CHxSaTools::GetAuTemplProgidEx(LONG auId) {
  return GetProgidEx(auId, L"ss_TemplateProgId", L"vw_AuctionTemplateProgId");
}

GUID CHxSaTools::GetConnectorClsid(LONG ssId) { return GetClsid(ssId, L"ss_ProgId", nullptr); }
GUID CHxSaTools::GetAuctionClsid(LONG ssId) { return GetClsid(ssId, L"ss_AuctionProgId", nullptr); }
GUID CHxSaTools::GetAuctionClsidEx(LONG auId) { return GetClsid(auId, L"ss_AuctionProgId", L"vw_AuctionProgId"); }
GUID CHxSaTools::GetAuTemplClsid(LONG ssId) { return GetClsid(ssId, L"ss_TemplateProgId", nullptr); }
GUID CHxSaTools::GetAuTemplClsidEx(LONG auId) {
  return GetClsid(auId, L"ss_TemplateProgId", L"vw_AuctionTemplateProgId");
}

IUnknownPtr CHxSaTools::GetConnector(LONG ssId) { return Create(GetConnectorClsid(ssId)); }
IUnknownPtr CHxSaTools::GetAuction(LONG ssId) { return Create(GetAuctionClsid(ssId)); }
IUnknownPtr CHxSaTools::GetAuctionEx(LONG auId) { return Create(GetAuctionClsidEx(auId)); }
IUnknownPtr CHxSaTools::GetAuTempl(LONG ssId) { return Create(GetAuTemplClsid(ssId)); }
IUnknownPtr CHxSaTools::GetAuTemplEx(LONG auId) { return Create(GetAuTemplClsidEx(auId)); }

void CHxSaTools::OpenUrl(const wchar_t* address) {
  // The desktop's opener, given the address as its one argument (no shell in between). It takes
  // no "--", so an address that it would read as an option is not passed at all.
  if (!address || !*address || *address == L'-') return;
  _bstr_t narrow(address);
  char opener[] = "xdg-open";
  char* argv[] = {opener, const_cast<char*>(static_cast<const char*>(narrow)), nullptr};
  // The opener runs as a grandchild that nobody waits for: the child in between spawns it and
  // ends at once, and is reaped here, so no call leaves a finished child behind.
  const pid_t child = fork();
  if (child < 0) return;
  if (child == 0) {
    pid_t opened = 0;
    _exit(posix_spawnp(&opened, opener, nullptr, nullptr, argv, environ) == 0 ? 0 : 127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}
