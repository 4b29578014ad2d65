#include "host/joblog.h"

#include <ostream>

#include "host/host.h"

namespace host {
namespace {

_CommandPtr NewCommand(const _ConnectionPtr& connection, const wchar_t* sql) {
  _CommandPtr command;
  HRESULT hr = command.CreateInstance(__uuidof(Command));
  if (FAILED(hr)) _com_issue_error(hr);
  command->PutRefActiveConnection(connection);
  command->PutCommandText(_bstr_t(sql));
  command->PutCommandType(adCmdText);
  return command;
}

void Add(const _CommandPtr& command, DataTypeEnum type, LONG size, const _variant_t& value) {
  command->GetParameters()->Append(command->CreateParameter(_bstr_t(L""), type, adParamInput, size, value));
}

_variant_t Date(DATE d) {
  _variant_t v;
  v.vt = VT_DATE;
  v.date = d;
  return v;
}

std::wstring DateText(const _variant_t& value) {
  if (value.vt != VT_DATE) return L"";
  SYSTEMTIME st;
  if (!VariantTimeToSystemTime(value.date, &st)) return L"";
  CString text;
  text.Format(L"%04d-%02d-%02d %02d:%02d:%02d", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
  return text.GetString();
}

std::wstring LongText(const _variant_t& value) {
  if (value.vt == VT_NULL || value.vt == VT_EMPTY) return L"-";
  return std::to_wstring(static_cast<LONG>(value));
}

const wchar_t* StatusWord(LONG status) {
  switch (status) {
    case 0: return L"info";
    case 1: return L"ostrzeżenie";
    case 2: return L"błąd";
    default: return L"?";
  }
}

}  // namespace

CJobLogStore::CJobLogStore() {
  if (Host* current = Host::Current()) {
    _ConnectionPtr connection = current->Connection();
    m_connection = connection;
  }
}

CJobLogStore::~CJobLogStore() = default;

void* CJobLogStore::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IHxJobLogStore)) return static_cast<IHxJobLogStore*>(this);
  return nullptr;
}

STDMETHODIMP CJobLogStore::StartJob(LONG type, LONG subtype) {
  if (!m_connection) return E_UNEXPECTED;
  try {
    const LONG id = ReserveKeys(m_connection, L"kd_JobLog", 1, L"jl_Id");
    _CommandPtr command = NewCommand(
        m_connection,
        L"INSERT INTO kd_JobLog (jl_Id, jl_Type, jl_Subtype, jl_Start, jl_UserId) VALUES (?, ?, ?, ?, ?)");
    LONG user = 0;
    if (Host* current = Host::Current()) current->Object().GetUserId(&user);
    Add(command, adInteger, 4, _variant_t(id));
    Add(command, adInteger, 4, _variant_t(type));
    Add(command, adInteger, 4, _variant_t(subtype));
    Add(command, adDBTimeStamp, 8, Date(KdNow()));
    Add(command, adInteger, 4, _variant_t(user));
    command->Execute(nullptr, nullptr, kCmdTextNoRecords);
    m_job = id;
    return S_OK;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

STDMETHODIMP CJobLogStore::EndJob(LONG count, LONG result) {
  if (!m_connection || m_job == 0) return E_UNEXPECTED;
  try {
    _CommandPtr command =
        NewCommand(m_connection, L"UPDATE kd_JobLog SET jl_End = ?, jl_Count = ?, jl_Result = ? WHERE jl_Id = ?");
    Add(command, adDBTimeStamp, 8, Date(KdNow()));
    Add(command, adInteger, 4, _variant_t(count));
    Add(command, adInteger, 4, _variant_t(result));
    Add(command, adInteger, 4, _variant_t(m_job));
    command->Execute(nullptr, nullptr, kCmdTextNoRecords);
    m_job = 0;
    return S_OK;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

STDMETHODIMP CJobLogStore::AddString(DATE time, BSTR text, LONG status) {
  if (!m_connection || m_job == 0) return E_UNEXPECTED;
  try {
    const LONG id = ReserveKeys(m_connection, L"kd_JobLogLine", 1, L"jll_Id");
    _CommandPtr command = NewCommand(
        m_connection,
        L"INSERT INTO kd_JobLogLine (jll_Id, jll_JobId, jll_Time, jll_Status, jll_Text) VALUES (?, ?, ?, ?, ?)");
    Add(command, adInteger, 4, _variant_t(id));
    Add(command, adInteger, 4, _variant_t(m_job));
    Add(command, adDBTimeStamp, 8, Date(time));
    Add(command, adInteger, 4, _variant_t(status));
    Add(command, adVarWChar, 4000, _variant_t(text ? text : L""));
    command->Execute(nullptr, nullptr, kCmdTextNoRecords);
    return S_OK;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

STDMETHODIMP CJobLogStore::DeleteAll() {
  if (!m_connection) return E_UNEXPECTED;
  try {
    m_connection->BeginTrans();
    try {
      m_connection->Execute(_bstr_t(L"DELETE FROM kd_JobLogLine"), nullptr, kCmdTextNoRecords);
      m_connection->Execute(_bstr_t(L"DELETE FROM kd_JobLog"), nullptr, kCmdTextNoRecords);
      m_connection->CommitTrans();
    } catch (const _com_error&) {
      m_connection->RollbackTrans();
      throw;
    }
    m_job = 0;
    return S_OK;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

STDMETHODIMP CJobLogStore::Started(VARIANT_BOOL* started) {
  if (!started) return E_POINTER;
  *started = m_job != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

void ListJobs(const _ConnectionPtr& connection, std::wostream& out,
              const std::function<std::wstring(LONG subtype)>& describe) {
  _RecordsetPtr rs;
  HRESULT hr = OpenRS(rs, connection,
                      L"SELECT jl_Id, jl_Start, jl_End, jl_Subtype, jl_Count, jl_Result FROM kd_JobLog "
                      L"ORDER BY jl_Id DESC");
  if (FAILED(hr)) _com_issue_error(hr);
  if (rs->GetadoEOF()) {
    out << L"Brak zapisanych zadań.\n";
    return;
  }
  out << L"id\tpoczątek\tkoniec\ttyp\tliczba\twynik" << (describe ? L"\topis" : L"") << L"\n";
  for (; !rs->GetadoEOF(); rs->MoveNext()) {
    FieldsPtr f = rs->GetFields();
    out << LongText(f->GetItem(_variant_t(L"jl_Id"))->GetValue()) << L'\t'
        << DateText(f->GetItem(_variant_t(L"jl_Start"))->GetValue()) << L'\t'
        << DateText(f->GetItem(_variant_t(L"jl_End"))->GetValue()) << L'\t'
        << LongText(f->GetItem(_variant_t(L"jl_Subtype"))->GetValue()) << L'\t'
        << LongText(f->GetItem(_variant_t(L"jl_Count"))->GetValue()) << L'\t'
        << LongText(f->GetItem(_variant_t(L"jl_Result"))->GetValue());
    if (describe) {
      _variant_t subtype = f->GetItem(_variant_t(L"jl_Subtype"))->GetValue();
      out << L'\t' << (subtype.vt == VT_I4 ? describe(subtype.lVal) : std::wstring());
    }
    out << L'\n';
  }
}

bool ShowJob(const _ConnectionPtr& connection, LONG job, std::wostream& out) {
  CString sql;
  sql.Format(L"SELECT jl_Id FROM kd_JobLog WHERE jl_Id = %ld", job);
  if (exeExistSql(connection, sql) != 1) return false;
  sql.Format(L"SELECT jll_Time, jll_Status, jll_Text FROM kd_JobLogLine WHERE jll_JobId = %ld ORDER BY jll_Id", job);
  _RecordsetPtr rs;
  HRESULT hr = OpenRS(rs, connection, sql);
  if (FAILED(hr)) _com_issue_error(hr);
  for (; !rs->GetadoEOF(); rs->MoveNext()) {
    FieldsPtr f = rs->GetFields();
    _variant_t text = f->GetItem(_variant_t(L"jll_Text"))->GetValue();
    out << DateText(f->GetItem(_variant_t(L"jll_Time"))->GetValue()) << L'\t'
        << StatusWord(static_cast<LONG>(f->GetItem(_variant_t(L"jll_Status"))->GetValue())) << L'\t'
        << (text.vt == VT_BSTR && text.bstrVal ? text.bstrVal : L"") << L'\n';
  }
  return true;
}

}  // namespace host
