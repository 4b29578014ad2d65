#include "host/joblog.h"

#include <ostream>

#include "host/host.h"
#include "host/item.h"
#include "platform/ado/ado.h"

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

void Bind(const _CommandPtr& command, DataTypeEnum type, LONG size, const _variant_t& value) {
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

// A job's result (and a line's status): 0 ok, 1 warning, 2 error.
constexpr LONG kResultError = 2;

const wchar_t* StatusWord(LONG status) {
  switch (status) {
    case 0: return L"info";
    case 1: return L"ostrzeżenie";
    case 2: return L"błąd";
    default: return L"?";
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// JobLogWriter

JobLogWriter::JobLogWriter(_ConnectionPtr product, std::function<void(const std::wstring&)> report)
    : m_product(std::move(product)), m_report(std::move(report)) {}

JobLogWriter::~JobLogWriter() { Close(); }

void JobLogWriter::Close() {
  Flush();
  if (!m_waiting.empty() && m_report) {
    CString text;
    text.Format(L"Dziennik zadań: nie zapisano wpisów (%d), bo baza danych była zajęta.", static_cast<int>(m_waiting.size()));
    m_report(text.GetString());
  }
  m_waiting.clear();
  m_report = nullptr;
  m_product = nullptr;
}

_ConnectionPtr JobLogWriter::Connection() {
  if (!m_connection) {
    if (!m_product) _com_issue_error(E_UNEXPECTED);  // closed with its host
    _ConnectionPtr connection;
    HRESULT hr = connection.CreateInstance(__uuidof(::Connection));
    if (FAILED(hr)) _com_issue_error(hr);
    // The same file with the same options (busy timeout, read-only mode) as the product's.
    connection->Open(m_product->GetConnectionString(), _bstr_t(L""), _bstr_t(L""), adConnectUnspecified);
    m_connection = connection;
  }
  return m_connection;
}

HRESULT JobLogWriter::Add(Write write) {
  m_waiting.push_back(std::move(write));
  return Flush();
}

HRESULT JobLogWriter::Flush() {
  if (m_waiting.empty()) return S_OK;
  // The product connection's transaction holds the write lock until it ends; waiting for it here
  // would only keep the caller from ending it.
  if (platform::ado::TransactionDepth(m_product) > 0) return S_OK;
  std::vector<Job*> numbered;
  try {
    _ConnectionPtr connection = Connection();
    InTransaction(connection, [&] {
      for (Write& write : m_waiting) write(connection, numbered);
    });
    m_waiting.clear();
    return S_OK;
  } catch (const _com_error& e) {
    for (Job* job : numbered) job->id = 0;
    if (e.Error() == DB_E_ABORTLIMITREACHED) return S_OK;  // another process holds the lock: next time
    if (m_report) {
      _bstr_t description = e.Description();
      CString text;
      text.Format(L"Dziennik zadań: nie zapisano wpisów (%d).\nSzczegóły: %ls", static_cast<int>(m_waiting.size()),
                  static_cast<const wchar_t*>(description) ? static_cast<const wchar_t*>(description) : L"");
      m_report(text.GetString());
    }
    m_waiting.clear();
    return platform::com::AnswerCurrentException();
  }
}

HRESULT JobLogWriter::Start(const std::shared_ptr<Job>& job, LONG type, LONG subtype, LONG user) {
  const DATE start = KdNow();
  return Add([job, type, subtype, user, start](const _ConnectionPtr& connection, std::vector<Job*>& numbered) {
    const LONG id = ReserveKeys(connection, L"kd_JobLog", 1, L"jl_Id");
    _CommandPtr command = NewCommand(
        connection, L"INSERT INTO kd_JobLog (jl_Id, jl_Type, jl_Subtype, jl_Start, jl_UserId) VALUES (?, ?, ?, ?, ?)");
    Bind(command, adInteger, 4, _variant_t(id));
    Bind(command, adInteger, 4, _variant_t(type));
    Bind(command, adInteger, 4, _variant_t(subtype));
    Bind(command, adDBTimeStamp, 8, Date(start));
    Bind(command, adInteger, 4, _variant_t(user));
    command->Execute(nullptr, nullptr, kCmdTextNoRecords);
    job->id = id;
    numbered.push_back(job.get());
  });
}

HRESULT JobLogWriter::Line(const std::shared_ptr<Job>& job, DATE time, LONG status, const std::wstring& text) {
  return Add([job, time, status, text](const _ConnectionPtr& connection, std::vector<Job*>&) {
    if (job->id == 0) return;  // its start was not written
    const LONG id = ReserveKeys(connection, L"kd_JobLogLine", 1, L"jll_Id");
    _CommandPtr command = NewCommand(
        connection,
        L"INSERT INTO kd_JobLogLine (jll_Id, jll_JobId, jll_Time, jll_Status, jll_Text) VALUES (?, ?, ?, ?, ?)");
    Bind(command, adInteger, 4, _variant_t(id));
    Bind(command, adInteger, 4, _variant_t(job->id));
    Bind(command, adDBTimeStamp, 8, Date(time));
    Bind(command, adInteger, 4, _variant_t(status));
    Bind(command, adVarWChar, 4000, _variant_t(text.c_str()));
    command->Execute(nullptr, nullptr, kCmdTextNoRecords);
  });
}

HRESULT JobLogWriter::End(const std::shared_ptr<Job>& job, LONG count, LONG result) {
  const DATE end = KdNow();
  if (result == kResultError) ++m_failedJobs;
  return Add([job, count, result, end](const _ConnectionPtr& connection, std::vector<Job*>&) {
    if (job->id == 0) return;
    _CommandPtr command =
        NewCommand(connection, L"UPDATE kd_JobLog SET jl_End = ?, jl_Count = ?, jl_Result = ? WHERE jl_Id = ?");
    Bind(command, adDBTimeStamp, 8, Date(end));
    Bind(command, adInteger, 4, _variant_t(count));
    Bind(command, adInteger, 4, _variant_t(result));
    Bind(command, adInteger, 4, _variant_t(job->id));
    command->Execute(nullptr, nullptr, kCmdTextNoRecords);
  });
}

HRESULT JobLogWriter::DeleteAll() {
  return Add([](const _ConnectionPtr& connection, std::vector<Job*>&) {
    connection->Execute(_bstr_t(L"DELETE FROM kd_JobLogLine"), nullptr, kCmdTextNoRecords);
    connection->Execute(_bstr_t(L"DELETE FROM kd_JobLog"), nullptr, kCmdTextNoRecords);
  });
}

// ---------------------------------------------------------------------------------------------
// CJobLogStore

CJobLogStore::CJobLogStore() {
  if (Host* current = Host::Current()) m_writer = current->JobLog();
}

CJobLogStore::~CJobLogStore() = default;

void* CJobLogStore::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IHxJobLogStore)) return static_cast<IHxJobLogStore*>(this);
  return nullptr;
}

STDMETHODIMP CJobLogStore::StartJob(LONG type, LONG subtype) {
  if (!m_writer) return E_UNEXPECTED;
  LONG user = 0;
  if (Host* current = Host::Current()) current->Object().GetUserId(&user);
  auto job = std::make_shared<JobLogWriter::Job>();
  HRESULT hr = m_writer->Start(job, type, subtype, user);
  if (SUCCEEDED(hr)) m_job = job;
  return hr;
}

STDMETHODIMP CJobLogStore::EndJob(LONG count, LONG result) {
  if (!m_writer || !m_job) return E_UNEXPECTED;
  HRESULT hr = m_writer->End(m_job, count, result);
  if (SUCCEEDED(hr)) m_job = nullptr;
  return hr;
}

STDMETHODIMP CJobLogStore::AddString(DATE time, BSTR text, LONG status) {
  if (!m_writer || !m_job) return E_UNEXPECTED;
  return m_writer->Line(m_job, time, status, text ? text : L"");
}

STDMETHODIMP CJobLogStore::DeleteAll() {
  if (!m_writer) return E_UNEXPECTED;
  HRESULT hr = m_writer->DeleteAll();
  if (SUCCEEDED(hr)) m_job = nullptr;
  return hr;
}

STDMETHODIMP CJobLogStore::Started(VARIANT_BOOL* started) {
  if (!started) return E_POINTER;
  *started = m_job ? VARIANT_TRUE : VARIANT_FALSE;
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
