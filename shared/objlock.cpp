#include "shared/objlock.h"

#include "platform/resources/resources.h"
#include "shared/sqltools.h"

CHxObjectLock::CHxObjectLock(HRESULT errorCode) : m_message(L"Nie można zablokować obiektu."), m_errorCode(errorCode) {}

CHxObjectLock::~CHxObjectLock() { Release(); }

HRESULT CHxObjectLock::Acquire(IFlgDataFactory* factory, LONG obtype, LONG obid, LONG obextra) {
  if (!factory) _com_issue_error(E_POINTER);
  IUnknown* object = nullptr;
  HRESULT hr = factory->GetConnectionObject(1, &object);
  if (FAILED(hr)) _com_issue_errorex(hr, factory, __uuidof(IFlgDataFactory));
  IUnknownPtr connectionObject(object, false);
  if (!connectionObject) _com_issue_error(E_POINTER);
  _Connection* raw = nullptr;
  hr = connectionObject->QueryInterface(__uuidof(_Connection), reinterpret_cast<void**>(&raw));
  if (FAILED(hr)) _com_issue_error(hr);
  _ConnectionPtr connection(raw, false);

  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(computer, &size)) computer[0] = 0;

  _bstr_t userName;
  IHxUser* user = nullptr;
  hr = factory->QueryInterface(__uuidof(IHxUser), reinterpret_cast<void**>(&user));
  if (FAILED(hr) && hr != E_NOINTERFACE) _com_issue_error(hr);
  if (SUCCEEDED(hr) && user) {
    IHxUserPtr held(user, false);
    BSTR name = nullptr;
    hr = held->GetUserName(&name);
    if (FAILED(hr)) _com_issue_errorex(hr, held, __uuidof(IHxUser));
    userName.Attach(name);
  }
  return LockRow(connection, computer, userName.length() ? static_cast<const wchar_t*>(userName) : L"", obtype, obid,
                 obextra);
}

HRESULT CHxObjectLock::LockRow(_ConnectionPtr connection, const wchar_t* workstation, const wchar_t* userName,
                               LONG obtype, LONG obid, LONG obextra) {
  if (m_held) return S_OK;
  m_connection = connection;
  m_obtype = obtype;
  m_obid = obid;
  m_obextra = obextra;
  m_workstation = workstation ? workstation : L"";
  m_userName = userName ? userName : L"";
  // Both names are texts between apostrophes: an apostrophe inside them is doubled.
  CString sql;
  sql.Format(L"INSERT INTO kd_blokada (obid, obextra, obtype, workstation, username) VALUES (%ld, %ld, %ld, '%ls', '%ls')",
             obid, obextra, obtype, static_cast<const wchar_t*>(hxSqlQuote(workstation)),
             static_cast<const wchar_t*>(hxSqlQuote(userName)));
  try {
    if (!m_connection) _com_issue_error(E_POINTER);
    m_connection->Execute(_bstr_t(sql.GetString()), nullptr, kCmdTextNoRecords);
    m_held = 1;
    return S_OK;
  } catch (const _com_error& e) {
    m_held = 0;
    if (e.Error() != DB_E_ERRORSINCOMMAND) return e.Error();
    // The key is taken: another workstation holds the lock.
    const _bstr_t description = e.Description();
    m_message = description.length() ? static_cast<const wchar_t*>(description) : L"";
    return m_errorCode;
  }
}

HRESULT CHxObjectLock::Release() {
  if (!m_held) return S_OK;
  try {
    CString sql;
    sql.Format(L"DELETE FROM kd_blokada WHERE obid = %ld AND obextra = %ld AND obtype = %ld", m_obid, m_obextra,
               m_obtype);
    m_connection->Execute(_bstr_t(sql.GetString()), nullptr, adOptionUnspecified);
    m_held = 0;
    return S_OK;
  } catch (const _com_error& e) {
    return e.Error();
  }
}
