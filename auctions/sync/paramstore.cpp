// The site parameter store: categories, form fields with their dictionaries, generic site
// dictionaries. Each merge works on one recordset per table, filters on the disconnected
// container (its equality indexes answer them), one id reservation per table and call and one
// batch per table.
#include "auctions/sync/paramstore.h"

#include <cinttypes>
#include <cstdio>
#include <set>
#include <string>
#include <unordered_set>
#include <utility>

#include "auctions/dberror.h"
#include "auctions/sync/storetools.h"

namespace lotrix {

namespace {

// Raises E_FAIL with `text` as the error's description.
[[noreturn]] void Refuse(const std::wstring& text) {
  platform::com::RaiseWithThreadInfo(ReportErrorText(CLSID_CoAuctServMgr, __uuidof(IAuctServMgr), E_FAIL, text.c_str()));
}

std::wstring Format(const wchar_t* format, auto... args) {
  wchar_t buffer[512];
  std::swprintf(buffer, std::size(buffer), format, args...);
  return buffer;
}

// The fields of a recordset by name, looked up once.
class Fields {
 public:
  explicit Fields(const _RecordsetPtr& rs) : m_fields(rs->GetFields()) {}
  FieldPtr operator[](const wchar_t* name) const { return m_fields->GetItem(_variant_t(name)); }

 private:
  FieldsPtr m_fields;
};

using stores::IsNull;

// A long of a value; raises for a value that is none.
LONG Long(const _variant_t& v) {
  _variant_t copy(v);
  copy.ChangeType(VT_I4);
  return copy.lVal;
}

bool Empty(const _RecordsetPtr& rs) { return rs->GetBOF() && rs->GetadoEOF(); }

void Filter(const _RecordsetPtr& rs, const std::wstring& criteria) { rs->PutFilter(_variant_t(criteria.c_str())); }

// "name=123", or "name=NULL" for a value that is none.
std::wstring Equals(const wchar_t* name, const _variant_t& v) {
  return std::wstring(name) + L"=" + (IsNull(v) ? std::wstring(L"NULL") : std::to_wstring(Long(v)));
}

// Refuses a container whose rows lack the key of `fields` or repeat it.
void RequireUniqueKeys(const _RecordsetPtr& rs, std::initializer_list<const wchar_t*> fields, const wchar_t* missing,
                       const wchar_t* repeated) {
  if (Empty(rs)) return;
  std::vector<FieldPtr> keys;
  for (const wchar_t* name : fields) keys.push_back(rs->GetFields()->GetItem(_variant_t(name)));
  std::set<std::vector<LONG>> seen;
  for (rs->MoveFirst(); !rs->GetadoEOF(); rs->MoveNext()) {
    std::vector<LONG> key;
    for (const FieldPtr& f : keys) {
      _variant_t v = f->GetValue();
      if (IsNull(v)) Refuse(missing);
      key.push_back(Long(v));
    }
    if (!seen.insert(key).second)
      Refuse(key.size() == 1 ? Format(repeated, static_cast<long>(key[0]))
                             : Format(repeated, static_cast<long>(key[0]), static_cast<long>(key[1])));
  }
  rs->MoveFirst();
}

_RecordsetPtr ForEdit(const ISitePtr& site, lotrixSpecificDataType kind) {
  _Recordset* raw = nullptr;
  hx::Check(site->GetSpecificDataForEdit(kind, &raw));
  _RecordsetPtr rs(raw, false);
  if (!rs) _com_issue_error(E_POINTER);
  return rs;
}

// Writes a detached recordset back through the host's connection in one batch.
void SaveBatch(const _RecordsetPtr& rs) {
  _ConnectionPtr connection = CHxInstance::GetConnection();
  if (!connection) _com_issue_error(E_POINTER);
  rs->PutRefActiveConnection(connection);
  rs->UpdateBatch(adAffectAll);
}

// Consecutive ids of a table from one reservation, taken when the first is needed.
class IdBlock {
 public:
  explicit IdBlock(const wchar_t* table) : m_table(table) {}
  // Whether the next id takes a reservation.
  bool Spent() const { return m_left == 0; }
  // The next id; when the block is spent, `count` ids are reserved first.
  LONG Next(LONG count) {
    if (m_left == 0) {
      IFlgDataFactoryPtr factory = CHxInstance::GetDataFactory();
      if (!factory) _com_issue_error(E_POINTER);
      hx::Check(factory->ReserveIds(_bstr_t(m_table), count, &m_next));
      m_left = count;
    }
    --m_left;
    return m_next++;
  }

 private:
  const wchar_t* m_table;
  LONG m_next = 0;
  LONG m_left = 0;
};

void Progress(LONG percent, CategoryProgress* progress) {
  if (progress && !progress->siteName.IsEmpty() && progress->Due(percent))
    ShowCategoryProgress(percent, progress->siteName.GetString());
}

}  // namespace

bool IsSyncTerminated() {
  try {
    IHxStatusWindowPtr window(CHxInstance::GetInstance());
    VARIANT_BOOL cancel = VARIANT_FALSE;
    return window && window->IsCancelRequested(&cancel) == S_OK && cancel != VARIANT_FALSE;
  } catch (const _com_error&) {
    return false;
  }
}

void ShowCategoryProgress(LONG percent, const wchar_t* siteName) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  try {
    IHxStatusWindowPtr window(CHxInstance::GetInstance());
    if (!window) return;
    const CString text = stores::Formatted(122, siteName ? siteName : L"", static_cast<int>(percent));
    window->ShowLine(_bstr_t(text.GetString()));
  } catch (const _com_error&) {  // a progress line that cannot be shown stops nothing
  }
}

bool CategoryProgress::Due(LONG percent) {
  if (percent < lastShown) lastShown = percent;
  if (percent < lastShown + 10 && percent != 100) return false;
  lastShown = percent;
  return true;
}

LONG ComposeDictionaryId(LONG provider, LONG siteNumber, LONG counter) {
  const std::int64_t id = static_cast<std::int64_t>(provider) * 100000000 + std::int64_t{siteNumber} * 100000 + counter;
  if (provider < 0 || siteNumber < 0 || siteNumber > 999 || counter < 0 || counter > 99999 || id > 2147483647)
    Refuse(Format(L"Numer nowej pozycji słownika serwisu nie mieści się w zakresie (dostawca %ld, serwis %ld, "
                  L"pozycja %ld).",
                  static_cast<long>(provider), static_cast<long>(siteNumber), static_cast<long>(counter)));
  return static_cast<LONG>(id);
}

// ---------------------------------------------------------------------------------------------
// Categories

namespace {

// The seven columns of a category and the container fields they come from.
constexpr std::pair<const wchar_t*, const wchar_t*> kCategoryColumns[] = {
    {L"cat_CatId", L"id"},         {L"cat_Name", L"name"},       {L"cat_ParentId", L"parent_id"},
    {L"cat_Position", L"position"}, {L"cat_Expired", L"expired"}, {L"cat_Leaf", L"leaf"},
    {L"cat_Virtual", L"virtual"},
};

class CategoryMerge {
 public:
  CategoryMerge(const _RecordsetPtr& stored, const _RecordsetPtr& container)
      : m_stored(stored), m_container(container), m_s(stored), m_c(container) {}

  // Copies the container's current row into the stored current row, then the leaf rule.
  void Copy() {
    for (const auto& [column, field] : kCategoryColumns) {
      _variant_t v = m_c[field]->GetValue();
      // Columns the table keeps without NULL: a root has parent 0, a category is not expired.
      if (IsNull(v) && std::wstring_view(column) == L"cat_ParentId") v = _variant_t(0L);
      if (IsNull(v) && std::wstring_view(column) == L"cat_Expired") v = _variant_t(false);
      m_s[column]->PutValue(v);
    }
    if (IsNull(m_s[L"cat_Leaf"]->GetValue())) {
      // A leaf exactly when no delivered category names it as its parent.
      _RecordsetPtr clone = m_container->Clone(adLockReadOnly);
      clone->Find(_bstr_t(Equals(L"parent_id", m_c[L"id"]->GetValue()).c_str()), 0, adSearchForward);
      m_s[L"cat_Leaf"]->PutValue(_variant_t(static_cast<bool>(clone->GetadoEOF())));
    }
  }
  Fields& Stored() { return m_s; }
  Fields& Container() { return m_c; }

 private:
  _RecordsetPtr m_stored, m_container;
  Fields m_s, m_c;
};

}  // namespace

void StoreCategories(IUnknown* dataObject, _Recordset* categories, CategoryProgress* progress, LONG regId) {
  IFlgDataSetPtr data(dataObject);
  _RecordsetPtr container(categories);
  if (!data || !container) _com_issue_error(E_POINTER);
  IUnknown* raw = nullptr;
  hx::Check(data->GetDataSet(1, &raw));
  _RecordsetPtr stored(raw);
  if (raw) raw->Release();
  if (!stored) _com_issue_error(E_POINTER);
  RequireUniqueKeys(container, {L"id"}, L"Dane serwisu zawierają kategorię bez numeru.",
                    L"Dane serwisu zawierają kategorię %ld więcej niż raz.");
  // The site's categories, or the account's: the others of data set 1 stay as they are.
  Filter(stored, regId ? Format(L"cat_RegId=%ld", static_cast<long>(regId)) : std::wstring(L"cat_RegId=NULL"));
  Filter(container, L"");
  const LONG total = stored->GetRecordCount() + container->GetRecordCount();
  CategoryMerge merge(stored, container);
  LONG done = 0, updated = 0;
  if (!Empty(stored)) {
    for (stored->MoveFirst(); !stored->GetadoEOF(); stored->MoveNext()) {
      if (IsSyncTerminated()) return;
      const _variant_t catId = merge.Stored()[L"cat_CatId"]->GetValue();
      Filter(container, Equals(L"id", catId));
      if (container->GetadoEOF()) {
        merge.Stored()[L"cat_Expired"]->PutValue(_variant_t(static_cast<short>(-1)));
      } else {
        merge.Container()[L"cat_id"]->PutValue(catId);  // matched
        merge.Copy();
        ++updated;
      }
      ++done;
      if (total > 0) Progress(static_cast<LONG>((std::int64_t{done} + updated) * 100 / total), progress);
    }
  }
  Filter(container, L"cat_id=NULL");
  std::int64_t sum = (std::int64_t{done} + updated) * 100;
  while (!container->GetadoEOF()) {
    if (IsSyncTerminated()) return;
    hx::Check(data->AddSubRow(1));
    merge.Copy();
    if (regId) merge.Stored()[L"cat_RegId"]->PutValue(_variant_t(regId));
    container->MoveNext();
    sum += 100;
    if (total > 0) Progress(static_cast<LONG>(sum / total), progress);
  }
  Filter(container, L"");
  Filter(stored, L"");
}

// ---------------------------------------------------------------------------------------------
// Form fields and their dictionaries

namespace {

constexpr std::pair<const wchar_t*, const wchar_t*> kFieldColumns[] = {
    {L"cs_ItemId", L"id"},
    {L"cs_Title", L"title"},
    {L"cs_CatId", L"cat_id"},
    {L"cs_InputType", L"input_type"},
    {L"cs_DataType", L"data_type"},
    {L"cs_Default", L"default"},
    {L"cs_Required", L"required"},
    {L"cs_Position", L"position"},
    {L"cs_Length", L"length"},
    {L"cs_MinVal", L"min_val"},
    {L"cs_MaxVal", L"max_val"},
    {L"cs_Description", L"description"},
    {L"cs_Help", L"help"},
};

constexpr std::pair<const wchar_t*, const wchar_t*> kValueColumns[] = {
    {L"csd_Ident", L"ident"}, {L"csd_Code", L"code"}, {L"csd_Name", L"name"}, {L"csd_Position", L"position"}};

class FieldMerge {
 public:
  FieldMerge(const _RecordsetPtr& stored, const _RecordsetPtr& values, const _RecordsetPtr& fields,
             const _RecordsetPtr& dictionary, LONG provider, LONG siteNumber)
      : m_stored(stored), m_values(values), m_fields(fields), m_dictionary(dictionary), m_s(stored), m_v(values),
        m_f(fields), m_d(dictionary), m_provider(provider), m_siteNumber(siteNumber) {}

  // Whether the merge went to its end (false: cancelled).
  bool Run() {
    // Fields the service no longer delivers go, with their values.
    if (!Empty(m_stored)) {
      for (m_stored->MoveFirst(); !m_stored->GetadoEOF(); m_stored->MoveNext()) {
        Filter(m_fields, Equals(L"id", m_s[L"cs_ItemId"]->GetValue()));
        if (m_fields->GetadoEOF()) {
          DeleteValuesOf(m_s[L"cs_Id"]->GetValue());
          m_stored->Delete(adAffectCurrent);
        }
        if (IsSyncTerminated()) return false;
      }
    }
    // Fields delivered again.
    if (m_stored->GetRecordCount() > 0) {
      for (m_stored->MoveFirst(); !m_stored->GetadoEOF(); m_stored->MoveNext()) {
        Filter(m_fields, Equals(L"id", m_s[L"cs_ItemId"]->GetValue()));
        if (!m_fields->GetadoEOF()) {
          CopyField();
          if (!StoreValues(Long(m_s[L"cs_Id"]->GetValue()), Long(m_f[L"id"]->GetValue()))) return false;
          m_fields->Delete(adAffectCurrent);
        }
        if (IsSyncTerminated()) return false;
      }
    }
    // New fields.
    Filter(m_fields, L"internal_id=NULL");
    if (!m_fields->GetadoEOF()) {
      IdBlock ids(L"st_CategorySpecific");
      const LONG count = m_fields->GetRecordCount();
      while (!m_fields->GetadoEOF()) {
        m_stored->AddNew();
        const LONG id = ids.Next(count);
        m_s[L"cs_Id"]->PutValue(_variant_t(id));
        CopyField();
        if (!StoreValues(id, Long(m_f[L"id"]->GetValue()))) return false;
        m_fields->Delete(adAffectCurrent);
        m_fields->MoveNext();
        if (IsSyncTerminated()) return false;
      }
    }
    Filter(m_fields, L"");
    return true;
  }

 private:
  void CopyField() {
    m_s[L"cs_SvcProvId"]->PutValue(_variant_t(m_provider));
    m_s[L"cs_SiteId"]->PutValue(_variant_t(m_siteNumber));
    for (const auto& [column, field] : kFieldColumns) m_s[column]->PutValue(m_f[field]->GetValue());
  }

  void DeleteValuesOf(const _variant_t& fieldId) {
    Filter(m_values, Equals(L"csd_CatSpecId", fieldId));
    while (!m_values->GetadoEOF()) {
      m_values->Delete(adAffectCurrent);
      m_values->MoveNext();
    }
    Filter(m_values, L"");
  }

  void CopyValue() {
    for (const auto& [column, field] : kValueColumns) m_v[column]->PutValue(m_d[field]->GetValue());
  }

  // The dictionary values of field `fieldId` (its service id `itemId`); false when cancelled.
  bool StoreValues(LONG fieldId, LONG itemId) {
    Filter(m_values, Format(L"csd_CatSpecId=%ld", static_cast<long>(fieldId)));
    while (!m_values->GetadoEOF()) {
      Filter(m_dictionary,
             Equals(L"ident", m_v[L"csd_Ident"]->GetValue()) + Format(L" AND field_id=%ld", static_cast<long>(itemId)));
      if (m_dictionary->GetadoEOF()) {
        m_values->Delete(adAffectCurrent);
      } else {
        CopyValue();
        m_dictionary->Delete(adAffectCurrent);
      }
      m_values->MoveNext();
      if (IsSyncTerminated()) return false;
    }
    Filter(m_dictionary, Format(L"internal_id=NULL AND field_id=%ld", static_cast<long>(itemId)));
    if (!m_dictionary->GetadoEOF()) {
      // One reservation for the call: every row left in the container may still be new.
      LONG left = 0;
      if (m_valueIds.Spent()) {
        Filter(m_dictionary, L"internal_id=NULL");
        left = m_dictionary->GetRecordCount();
        Filter(m_dictionary, Format(L"internal_id=NULL AND field_id=%ld", static_cast<long>(itemId)));
      }
      while (!m_dictionary->GetadoEOF()) {
        m_values->AddNew();
        m_v[L"csd_Id"]->PutValue(_variant_t(m_valueIds.Next(left)));
        m_v[L"csd_CatSpecId"]->PutValue(_variant_t(fieldId));
        CopyValue();
        m_dictionary->Delete(adAffectCurrent);
        m_dictionary->MoveNext();
        if (IsSyncTerminated()) return false;
      }
    }
    Filter(m_values, L"");
    return true;
  }

  _RecordsetPtr m_stored, m_values, m_fields, m_dictionary;
  Fields m_s, m_v, m_f, m_d;
  LONG m_provider, m_siteNumber;
  IdBlock m_valueIds{L"st_CategorySpecificDict"};
};

}  // namespace

void StoreCategorySpecific(IUnknown* siteObject, _Recordset* fieldsContainer, _Recordset* dictionaryContainer) {
  ISitePtr site(siteObject);
  _RecordsetPtr fields(fieldsContainer), dictionary(dictionaryContainer);
  if (!site || !fields || !dictionary) _com_issue_error(E_POINTER);
  RequireUniqueKeys(fields, {L"id"}, L"Dane serwisu zawierają pole formularza bez numeru.",
                    L"Dane serwisu zawierają pole formularza %ld więcej niż raz.");
  RequireUniqueKeys(dictionary, {L"ident", L"field_id"}, L"Dane serwisu zawierają wartość pola formularza bez numeru.",
                    L"Dane serwisu zawierają wartość %ld pola formularza %ld więcej niż raz.");
  _RecordsetPtr stored = ForEdit(site, lotrixSpecificDataCatSpecific);
  _RecordsetPtr values = ForEdit(site, lotrixSpecificDataCatSpecificDict);
  LONG provider = 0, siteNumber = 0;
  hx::Check(site->GetSvcProvId(&provider));
  hx::Check(site->GetSiteId(&siteNumber));
  FieldMerge merge(stored, values, fields, dictionary, provider, siteNumber);
  if (!merge.Run()) return;
  if (IsSyncTerminated()) return;
  SaveBatch(stored);
  if (IsSyncTerminated()) return;
  // The values of deleted fields go with this batch too.
  SaveBatch(values);
}

// ---------------------------------------------------------------------------------------------
// Generic site dictionaries

void StoreSiteDictionary(LONG kind, IUnknown* siteObject, _Recordset* dictionaryContainer) {
  struct Kind {
    const wchar_t* prefix;
    lotrixSpecificDataType type;
  };
  static const Kind kKinds[] = {{L"sd", lotrixSpecificDataDuration},    {L"se", lotrixSpecificDataEnhancement},
                                {L"sp", lotrixSpecificDataPayment},     {L"sr", lotrixSpecificDataRegion},
                                {L"ss", lotrixSpecificDataShipping},    {L"sc", lotrixSpecificDataCountry}};
  if (kind < 0 || kind > 5) return;
  ISitePtr site(siteObject);
  _RecordsetPtr container(dictionaryContainer);
  if (!site || !container) _com_issue_error(E_POINTER);
  RequireUniqueKeys(container, {L"ident"}, L"Dane serwisu zawierają pozycję słownika bez numeru.",
                    L"Dane serwisu zawierają pozycję słownika %ld więcej niż raz.");
  const std::wstring p = kKinds[kind].prefix;
  const std::wstring idColumn = p + L"_Id", identColumn = p + L"_Ident", provColumn = p + L"_SvcProvId",
                     siteColumn = p + L"_SiteId", nameColumn = p + L"_Name", codeColumn = p + L"_Code",
                     expiredColumn = p + L"_Expired";
  _RecordsetPtr stored = ForEdit(site, kKinds[kind].type);
  LONG provider = 0, siteNumber = 0;
  hx::Check(site->GetSvcProvId(&provider));
  hx::Check(site->GetSiteId(&siteNumber));
  Fields s(stored), c(container);
  auto write = [&] {
    s[provColumn.c_str()]->PutValue(_variant_t(provider));
    s[siteColumn.c_str()]->PutValue(_variant_t(siteNumber));
    s[identColumn.c_str()]->PutValue(c[L"ident"]->GetValue());
    s[nameColumn.c_str()]->PutValue(c[L"name"]->GetValue());
    s[codeColumn.c_str()]->PutValue(c[L"code"]->GetValue());
    s[expiredColumn.c_str()]->PutValue(_variant_t(static_cast<short>(0)));
  };
  LONG largest = 0;
  bool any = false;
  if (!Empty(stored)) {
    for (stored->MoveFirst(); !stored->GetadoEOF(); stored->MoveNext()) {
      const _variant_t id = s[idColumn.c_str()]->GetValue();
      if (!IsNull(id) && (!any || Long(id) > largest)) {
        largest = Long(id);
        any = true;
      }
      Filter(container, Equals(L"ident", s[identColumn.c_str()]->GetValue()));
      if (container->GetadoEOF()) {
        s[expiredColumn.c_str()]->PutValue(_variant_t(static_cast<short>(-1)));
      } else {
        c[L"internal_id"]->PutValue(id);
        write();
      }
      if (IsSyncTerminated()) return;
    }
  }
  Filter(container, L"internal_id=NULL");
  // The counter goes on from the last five digits of the largest id stored.
  LONG counter = 1;
  if (any) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%09ld", static_cast<long>(largest));
    const std::string text = digits;
    counter = std::stol(text.substr(text.size() - 5)) + 1;
  }
  while (!container->GetadoEOF()) {
    stored->AddNew();
    s[idColumn.c_str()]->PutValue(_variant_t(ComposeDictionaryId(provider, siteNumber, counter++)));
    write();
    container->MoveNext();
    if (IsSyncTerminated()) return;
  }
  Filter(container, L"");
  SaveBatch(stored);
}

}  // namespace lotrix
