#pragma once
// The site object CoSite: one row of st__Site with the site's categories, and the site's
// dictionaries (countries, regions, auction types, enhancements, payments, shipping, durations,
// categories, category form fields and their dictionaries, the accounts active on the site) as
// recordsets by kind (lotrixSpecificDataType).
#include <array>

#include "auctions/flgobject.h"
#include "auctions/lotrix.h"

class CCoSite : public CComFlgObject, public ISite {
 public:
  CCoSite();
  ~CCoSite() override;

  void* FlgGetInterface(REFIID iid);
  CLSID GetObjectClsid() override { return CLSID_CoSite; }

  // --- ISite
  using CComFlgObject::GetId;
  STDMETHOD(GetId)(LONG* id) override;
  STDMETHOD(PutSiteId)(LONG siteId) override;
  STDMETHOD(GetSiteId)(LONG* siteId) override;
  STDMETHOD(PutSvcProvId)(LONG svcProvId) override;
  STDMETHOD(GetSvcProvId)(LONG* svcProvId) override;
  STDMETHOD(PutCurrency)(BSTR currency) override;
  STDMETHOD(GetCurrency)(BSTR* currency) override;
  STDMETHOD(GetSpecificData)(lotrixSpecificDataType kind, _Recordset** data) override;
  STDMETHOD(GetSpecificDataExt)(lotrixSpecificDataType kind, LONG ident, _Recordset** data) override;
  STDMETHOD(GetSpecificRegDataExt)(lotrixSpecificDataType kind, LONG ident, LONG regId, _Recordset** data) override;
  STDMETHOD(GetSpecificDataForEdit)(lotrixSpecificDataType kind, _Recordset** data) override;
  STDMETHOD(GetSpecificDataExtForEdit)(lotrixSpecificDataType kind, LONG ident, _Recordset** data) override;

 private:
  // The dictionary of `kind` without a restriction (read-only form: kept in the cache).
  HRESULT Dictionary(LONG kind, bool forEdit, _Recordset** data);
  // The dictionary of `kind` restricted by `ident`.
  HRESULT DictionaryOf(LONG kind, LONG ident, bool forEdit, _Recordset** data);
  // Opens a statement on the product database: read-only and connected, or for editing detached.
  static _RecordsetPtr Open(const CString& sql, bool forEdit);
  static HRESULT HandOut(const _RecordsetPtr& rs, _Recordset** data);

  std::array<_RecordsetPtr, lotrixSpecificDataLast> m_cache;
};
