#include "shared/hxlog.h"

#include "shared/hxcheck.h"

namespace {

struct SubtypeInfo {
  CHxLog::JobType type;
  const wchar_t* descr;
  const wchar_t* summary;
};

const SubtypeInfo kSubtypes[] = {
    {CHxLog::jtAuctions, L"wysyłanie aukcji", L"Wysłano aukcji: %d"},
    {CHxLog::jtAuctions, L"odbieranie aukcji", L"Odebrano aukcji: %d"},
    {CHxLog::jtAuctions, L"odbieranie klientów", L"Pobrano klientów: %d"},
    {CHxLog::jtAuctions, L"odbieranie transakcji", L"Odebrano transakcji: %d"},
    {CHxLog::jtAuctions, L"wysyłanie komentarzy", L"Wysłano komentarzy: %d"},
    {CHxLog::jtAuctions, L"odbieranie komentarzy", L"Odebrano komentarzy: %d"},
    {CHxLog::jtAuctions, L"odbieranie parametrów", L"Odebrano parametry"},
    {CHxLog::jtMessages, L"wysyłanie wiadomości", L"Wysłano wiadomości: %d"},
    {CHxLog::jtMessages, L"odbieranie wiadomości", L"Odebrano wiadomości: %d"},
    {CHxLog::jtErp, L"tworzenie dokumentów początkowych", L"Utworzono dokumentów początkowych: %d"},
    {CHxLog::jtErp, L"aktualizacja dokumentów początkowych", L"Zaktualizowano dokumentów początkowych: %d"},
    {CHxLog::jtErp, L"tworzenie dokumentów końcowych", L"Utworzono dokumentów końcowych: %d"},
    {CHxLog::jtErp, L"synchronizacja towarów", L"Zaktualizowano towarów: %d"},
    {CHxLog::jtErp, L"wykonywanie innych operacji w Handlarze VX", L"Wykonano inne operacje w Handlarze VX"},
    {CHxLog::jtSellerZone, L"zamykanie stron", L"Zamknięto stron: %d"},
    {CHxLog::jtSellerZone, L"otwieranie nowych stron", L"Otworzono nowych stron: %d"},
    {CHxLog::jtSellerZone, L"odbieranie nowych informacji ze stron", L"Odebrano informacji ze stron: %d"},
    {CHxLog::jtSellerZone, L"wysyłanie danych na strony", L"Zaktualizowano stron: %d"},
};

const SubtypeInfo* Info(CHxLog::JobSubtype subtype) {
  const int i = static_cast<int>(subtype);
  if (i < 1 || i > 18) return nullptr;
  return &kSubtypes[i - 1];
}

using hx::Check;
using hx::Instance;

// Shows a text in the host's status window: its status line or its summary line.
void Show(HRESULT (IHxStatusWindow::*line)(BSTR), const wchar_t* text) {
  IHxStatusWindowPtr window(Instance());
  if (!window) _com_issue_error(E_NOINTERFACE);
  Check((window.GetInterfacePtr()->*line)(_bstr_t(text)));
}

IHxJobLogStorePtr CreateStore() {
  IUnknown* raw = nullptr;
  Check(CoCreateInstance(__uuidof(HxJobLogStore), nullptr, CLSCTX_ALL, __uuidof(IUnknown),
                         reinterpret_cast<void**>(&raw)));
  IUnknownPtr object(raw, false);
  Check(OleRun(object));
  IHxJobLogStore* store = nullptr;
  Check(object->QueryInterface(__uuidof(IHxJobLogStore), reinterpret_cast<void**>(&store)));
  return IHxJobLogStorePtr(store, false);
}

}  // namespace

CString hxSystemMessage(LONG hr) {
  CKdSmartMessage messages;
  CString text = messages.FormatMessage(hr, KdGetUserDefaultLangID(), {L"??", L"???"});
  if (text.IsEmpty()) text = messages.SystemMessage(hr, KdGetUserDefaultLangID());
  return text;
}

CString hxFormatError(LONG hr) {
  CString text;
  if (hr >= 0) return text;
  if (std::optional<CString> description = hx::TakeErrorDescription()) return *description;
  if (hr == zephra::KD_E_DB_UNSPECIFIED) return CString(L"Nieznany błąd");
  CString message = hxSystemMessage(hr);
  text.Format(L"Błąd: %s", static_cast<const wchar_t*>(message));
  return text;
}

CHxLog::CHxLog(JobSubtype subtype) : m_subtype(subtype), m_result(jrOk) {}

CHxLog::CHxLog(const CHxLog& other) : m_store(other.m_store), m_subtype(other.m_subtype), m_result(other.m_result) {}

CHxLog& CHxLog::operator=(const CHxLog& other) {
  m_store = other.m_store;
  m_subtype = other.m_subtype;
  m_result = other.m_result;
  return *this;
}

CHxLog::~CHxLog() {
  try {
    if (m_store) EndJob(0, jrError);
    m_store = nullptr;
  } catch (...) {
  }
}

void CHxLog::StartJob() {
  try {
    if (!m_store) {
      IHxJobLogStorePtr created = CreateStore();
      m_store = created;
    }
    Check(m_store->StartJob(TypeFromSubtype(m_subtype), m_subtype));
  } catch (const _com_error&) {
  }
}

bool CHxLog::Started() {
  if (!m_store) return false;
  try {
    VARIANT_BOOL started = VARIANT_FALSE;
    if (FAILED(m_store->Started(&started))) return false;
    return started != VARIANT_FALSE;
  } catch (const _com_error&) {
    return false;
  }
}

void CHxLog::AddString(const wchar_t* text, MsgDest destination, MsgStatus status) {
  if (!m_store) return;
  // The worst status follows every warning and error, also when the store refuses the line:
  // a job with errors must never end as successful.
  if (status == msWarning && m_result == jrOk) m_result = jrWarning;
  if (status == msError) m_result = jrError;
  try {
    Check(m_store->AddString(KdNow(), _bstr_t(text ? text : L""), status));
    if (destination == mdShow) Show(&IHxStatusWindow::ShowLine, text ? text : L"");
    if (status == msWarning || status == msError) {
      IHxAppServicesPtr services(Instance());
      if (!services) _com_issue_error(E_NOINTERFACE);
      Check(status == msWarning ? services->NotifyWarning() : services->NotifyError());
    }
  } catch (const _com_error&) {
  }
}

void CHxLog::Error(LONG hr) {
  if (hr >= 0) return;
  try {
    if (std::optional<CString> description = hx::TakeErrorDescription()) {
      Error(description->GetString());
      return;
    }
    if (hr == zephra::KD_E_DB_UNSPECIFIED) {
      Error(L"Nieznany błąd");
      return;
    }
    CString message = hxSystemMessage(hr);
    CString text;
    text.Format(L"Błąd: %s", static_cast<const wchar_t*>(message));
    Error(static_cast<const wchar_t*>(text));
  } catch (const _com_error&) {
  }
}

void CHxLog::EndJob(LONG count, JobResult result) {
  if (!m_store) return;
  try {
    Check(m_store->EndJob(count, result));
    m_store = nullptr;
    if (!ShowSummary(m_subtype)) return;
    CString text;
    if (result == jrError) {
      text.Format(L"%s zakończone błędem", static_cast<const wchar_t*>(Descr(m_subtype)));
    } else if (result == jrOk && count > 0) {
      text.Format(SummaryText(m_subtype), count);
    }
    if (!text.IsEmpty()) Show(&IHxStatusWindow::ShowSummary, text);
  } catch (const _com_error&) {
  }
}

void CHxLog::EndJobNoAffected() {
  if (!m_store) return;
  try {
    Check(m_store->EndJob(0, jrOk));
    m_store = nullptr;
  } catch (const _com_error&) {
  }
}

void CHxLog::EndJobTerminated(LONG count) {
  if (!m_store) return;
  Warning(L"Użytkownik przerwał działanie operacji lub zamknął aplikację");
  EndJobAutoResult(count);
  m_store = nullptr;
}

void CHxLog::ShowStartMsg() {
  try {
    CString text;
    text.Format(L"%s %s", static_cast<const wchar_t*>(StartWord()), static_cast<const wchar_t*>(Descr(m_subtype)));
    Echo(text);
  } catch (const _com_error&) {
  }
}

void CHxLog::ShowEndMsg() {
  try {
    CString text;
    text.Format(L"%s: %s", static_cast<const wchar_t*>(EndWord()), static_cast<const wchar_t*>(Descr(m_subtype)));
    Echo(text);
  } catch (const _com_error&) {
  }
}

CString CHxLog::Descr(JobSubtype subtype) {
  const SubtypeInfo* info = Info(subtype);
  return CString(info ? info->descr : L"");
}

CString CHxLog::Descr(JobType type) {
  switch (type) {
    case jtAuctions: return CString(L"Serwisy aukcyjne");
    case jtMessages: return CString(L"Wiadomości");
    case jtErp: return CString(L"Handlar VX");
    case jtSellerZone: return CString(L"Strefa Vantor");
    default: return CString(L"???");
  }
}

CString CHxLog::SummaryText(JobSubtype subtype) {
  const SubtypeInfo* info = Info(subtype);
  return CString(info ? info->summary : L"");
}

CHxLog::JobType CHxLog::TypeFromSubtype(JobSubtype subtype) {
  const SubtypeInfo* info = Info(subtype);
  return info ? info->type : jtOther;
}

bool CHxLog::ShowSummary(JobSubtype subtype) { return subtype != jsSendMessages && subtype != jsOtherErpOperations; }

void CHxLog::DeleteAll() {
  try {
    IHxJobLogStorePtr store = CreateStore();
    Check(store->DeleteAll());
  } catch (const _com_error&) {
  }
}
