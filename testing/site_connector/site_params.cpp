// The reference site's parameters: the data file's sections written into the exchange containers.
#include "testing/site_connector/site_params.h"

#include <signal.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "platform/base/utf8.h"
#include "testing/site_connector/reference_connector.h"

namespace reference_site {

namespace {

using nlohmann::json;

// A refusal of the data file: the call fails with `hr` and the text as its error information.
struct Refusal {
  HRESULT hr;
  std::wstring text;
};

[[noreturn]] void Refuse(const std::wstring& text) { throw Refusal{E_INVALIDARG, text}; }

std::wstring Wide(const std::string& text) { return platform::utf8::ToWide(text); }

HRESULT Fail(const Refusal& r) {
  return platform::com::ReportError(r.hr, (L"Łącznik wzorcowy: " + r.text).c_str(), kReferenceConnectorProgId,
                                    __uuidof(IAuctionSiteConnector));
}

// Runs `work`, turning a refusal or a container's error into the call's failure.
template <class Work>
HRESULT Guarded(Work&& work) {
  try {
    work();
    return S_OK;
  } catch (const Refusal& r) {
    return Fail(r);
  } catch (const _com_error& e) {
    const _bstr_t description = e.Description();
    return Fail({e.Error(), description.length() ? std::wstring(static_cast<const wchar_t*>(description))
                                                 : std::wstring(L"błąd kontenera")});
  } catch (const json::exception& e) {
    return Fail({E_INVALIDARG, Wide(e.what())});
  }
}

// The value of a data file's entry as a variant: null, a truth value, a number or a text.
_variant_t ValueOf(const json& v, const std::string& key) {
  switch (v.type()) {
    case json::value_t::null: return _variant_t(VT_NULL, 0);
    case json::value_t::boolean: return _variant_t(v.get<bool>());
    case json::value_t::number_integer:
    case json::value_t::number_unsigned: {
      if (v.is_number_unsigned() && v.get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX))
        Refuse(L"liczba poza zakresem w polu " + Wide(key));
      const std::int64_t n = v.get<std::int64_t>();
      if (n >= INT32_MIN && n <= INT32_MAX) return _variant_t(static_cast<LONG>(n));
      return _variant_t(static_cast<LONGLONG>(n));
    }
    case json::value_t::number_float: return _variant_t(v.get<double>());
    case json::value_t::string: return _variant_t(Wide(v.get<std::string>()).c_str());
    default: Refuse(L"niedozwolona wartość w polu " + Wide(key));
  }
}

// Whether a row belongs to site `site`: it names none, or that one.
bool OnSite(const json& row, LONG site) {
  if (!row.is_object() || !row.contains("site")) return true;
  const json& named = row.at("site");
  if (!named.is_number_integer()) Refuse(L"pole site nie jest liczbą");
  return named.get<std::int64_t>() == site;
}

// Adds a row for each object of `rows` on site `site`; the keys of `skip` are not the
// container's.
void AddRows(const json& rows, const _RecordsetPtr& rs, LONG site, std::initializer_list<const char*> skip = {},
             const std::function<void(const json&)>& extra = {}) {
  if (rows.is_null()) return;
  if (!rows.is_array()) Refuse(L"oczekiwano listy wierszy");
  FieldsPtr fields = rs->GetFields();
  for (const json& row : rows) {
    if (!row.is_object()) Refuse(L"wiersz nie jest obiektem");
    if (!OnSite(row, site)) continue;
    rs->AddNew();
    for (const auto& [key, value] : row.items()) {
      bool skipped = key == "site";
      for (const char* s : skip) skipped = skipped || key == s;
      if (skipped) continue;
      Field* raw = nullptr;
      if (FAILED(fields->get_Item(_variant_t(Wide(key).c_str()), &raw)) || !raw) Refuse(L"nieznane pole " + Wide(key));
      FieldPtr field(raw, false);
      field->PutValue(ValueOf(value, key));
    }
    if (extra) extra(row);
    rs->Update();
  }
}

// A version text of the section: a null text when it is missing or null.
BSTR VersionText(const json& section, const char* key) {
  if (!section.is_object() || !section.contains(key) || section.at(key).is_null()) return nullptr;
  if (!section.at(key).is_string()) Refuse(L"wersja " + Wide(key) + L" nie jest tekstem");
  return SysAllocString(Wide(section.at(key).get<std::string>()).c_str());
}

const json& Member(const json& section, const char* key) {
  static const json none;
  if (!section.is_object() || !section.contains(key)) return none;
  return section.at(key);
}

// The entry of site `site` in the "sites" section (null when there is none).
const json& SiteEntry(const json& doc, LONG site) {
  static const json none;
  const json& sites = Member(doc, "sites");
  if (!sites.is_array()) return none;
  for (const json& entry : sites) {
    const json& number = Member(entry, "number");
    if (number.is_number_integer() && number.get<std::int64_t>() == site) return entry;
  }
  return none;
}

// The versions of site `site`: its own when its entry has them, else the document's.
const json& VersionsOf(const json& doc, LONG site) {
  const json& own = Member(SiteEntry(doc, site), "versions");
  return own.is_null() ? Member(doc, "versions") : own;
}

// The account's entry in the "accounts" section, by its login (null when there is none).
const json& AccountEntry(const json& doc, const std::wstring& login) {
  static const json none;
  const json& accounts = Member(doc, "accounts");
  if (!accounts.is_array()) return none;
  const std::string wanted = platform::utf8::FromWide(login);
  for (const json& entry : accounts) {
    const json& named = Member(entry, "login");
    if (named.is_string() && named.get<std::string>() == wanted) return entry;
  }
  return none;
}

// The version as a VARIANT text (VT_NULL when there is none).
void PutVersion(BSTR text, VARIANT* out) {
  VariantInit(out);
  if (!text) {
    out->vt = VT_NULL;
    return;
  }
  out->vt = VT_BSTR;
  out->bstrVal = text;
}

}  // namespace

HRESULT ParamVersions(const json& doc, LONG site, BSTR* categories, BSTR* attributes, BSTR* form) {
  if (!categories || !attributes || !form) return E_POINTER;
  *categories = *attributes = *form = nullptr;
  return Guarded([&] {
    const json& versions = VersionsOf(doc, site);
    _bstr_t c(VersionText(versions, "categories"), false), a(VersionText(versions, "attributes"), false),
        f(VersionText(versions, "form"), false);
    *categories = c.Detach();
    *attributes = a.Detach();
    *form = f.Detach();
  });
}

HRESULT Currency(const json& doc, LONG site, BSTR* currency) {
  if (!currency) return E_POINTER;
  *currency = nullptr;
  return Guarded([&] { *currency = VersionText(SiteEntry(doc, site), "currency"); });
}

HRESULT ReceiveCategories(const json& doc, LONG site, _Recordset* categories, LotrixSync* sync, BSTR* version) {
  if (!categories || !version) return E_POINTER;
  *version = nullptr;
  return Guarded([&] {
    const json& rows = Member(doc, "categories");
    if (!rows.is_null() && !rows.is_array()) Refuse(L"kategorie nie są listą");
    _RecordsetPtr rs(categories);
    const std::size_t total = rows.is_array() ? rows.size() : 0;
    LONG told = -1;
    for (std::size_t i = 0; i < total; ++i) {
      AddRows(json::array({rows[i]}), rs, site);
      const LONG percent = static_cast<LONG>((i + 1) * 100 / total);
      if (sync && percent / 10 != told / 10) {
        told = percent;
        sync->CategoriesProgress(percent);
        VARIANT_BOOL stop = VARIANT_FALSE;
        if (SUCCEEDED(sync->IsTerminated(&stop)) && stop != VARIANT_FALSE) break;
      }
    }
    *version = VersionText(VersionsOf(doc, site), "categories");
  });
}

HRESULT ReceiveSpecificData(const json& doc, LONG site, LONG kind, _Recordset* dictionary, VARIANT* version) {
  if (!dictionary || !version) return E_POINTER;
  VariantInit(version);
  // "kill_at_kind": the process ends at once (SIGKILL) when that kind is asked for, as an update
  // killed midway.
  const json& kill = Member(doc, "kill_at_kind");
  if (kill.is_number_integer() && kill.get<std::int64_t>() == kind) {
    std::fflush(nullptr);
    ::kill(::getpid(), SIGKILL);
  }
  return Guarded([&] {
    if (kind < 0 || kind > 5) Refuse(L"nieznany rodzaj słownika " + std::to_wstring(kind));
    AddRows(Member(Member(doc, "dictionaries"), std::to_string(kind).c_str()), _RecordsetPtr(dictionary), site);
    PutVersion(VersionText(VersionsOf(doc, site), "form"), version);
  });
}

HRESULT ReceiveCatSpecific(const json& doc, LONG site, _Recordset* fields, _Recordset* values, VARIANT* version) {
  if (!fields || !values || !version) return E_POINTER;
  VariantInit(version);
  return Guarded([&] {
    _RecordsetPtr valueRows(values);
    AddRows(Member(doc, "category_fields"), _RecordsetPtr(fields), site, {"values"}, [&](const json& field) {
      const json& list = Member(field, "values");
      if (list.is_null()) return;
      if (!list.is_array()) Refuse(L"wartości pola nie są listą");
      const json id = Member(field, "id");
      for (json value : list) {
        if (!value.is_object()) Refuse(L"wartość pola nie jest obiektem");
        value["field_id"] = id;
        AddRows(json::array({value}), valueRows, site);
      }
    });
    PutVersion(VersionText(VersionsOf(doc, site), "attributes"), version);
  });
}

HRESULT ReceiveRegCategories(const json& doc, const std::wstring& login, _Recordset* categories, BSTR* version,
                             bool& shopGone) {
  shopGone = false;
  if (!categories || !version) return E_POINTER;
  *version = nullptr;
  const json& account = AccountEntry(doc, login);
  const json& shop = Member(account, "shop");
  if (shop.is_boolean() && !shop.get<bool>()) {
    shopGone = true;
    return Fail({E_FAIL, L"konto " + login + L" nie ma sklepu w serwisie."});
  }
  return Guarded([&] {
    AddRows(Member(account, "shop_categories"), _RecordsetPtr(categories), 0);
    *version = VersionText(account, "shop_version");
  });
}

}  // namespace reference_site
