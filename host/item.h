#pragma once
// A generic host business object over one row of one table: created by class id, loaded by key,
// edited through its recordset (IFlgDataSet data set 0), checked, saved and deleted. A loaded
// object saves its changes whether or not it was put into edit mode; a save runs in one
// transaction with what the object writes beside its row (BeforeWrite, AfterWrite).
#include <functional>
#include <string>

#include "framework/comobject.h"
#include "framework/zephra.h"

namespace host {

// Whether a column's value is NULL (or missing).
inline bool IsNullValue(const _variant_t& v) { return v.vt == VT_NULL || v.vt == VT_EMPTY; }
// A column's value as text without surrounding blanks; NULL gives the empty text.
inline CString TextOf(const _variant_t& v) {
  if (IsNullValue(v)) return CString();
  CString text(static_cast<const wchar_t*>(_bstr_t(v)));
  text.Trim();
  return text;
}
// The NULL a column is set to.
inline _variant_t NullValue() {
  _variant_t v;
  v.vt = VT_NULL;
  return v;
}

// Runs `work` in one transaction of `connection` (nested in the caller's when there is one):
// committed when it returns, rolled back when it raises, and what it raised is raised again.
void InTransaction(const _ConnectionPtr& connection, const std::function<void()>& work);

struct ItemClass {
  GUID clsid;
  std::wstring table;
  std::wstring key;
  // Columns that must hold a value for Check to pass (may be empty).
  std::vector<std::wstring> required;
  // The columns of the row the object reads and writes.
  std::wstring columns = L"*";
};

// A failing IFlgItem method (a save the database refused, say) carries error information: the
// database's own description.
class CHostItem : public IFlgItem, public IFlgDataSet, public ISupportErrorInfo {
 public:
  explicit CHostItem(ItemClass cls);
  virtual ~CHostItem() = default;
  void* FlgGetInterface(REFIID iid);

  // --- ISupportErrorInfo
  STDMETHOD(InterfaceSupportsErrorInfo)(REFIID iid) override;

  // --- IFlgItem
  STDMETHOD(GetClassID)(CLSID* clsid) override;
  STDMETHOD(InitNew)(IFlgDataFactory* factory, VARIANT init) override;
  STDMETHOD(Load)(IFlgDataFactory* factory, VARIANT id) override;
  STDMETHOD(InitCopy)(IFlgDataFactory* factory, VARIANT id) override;
  STDMETHOD(BeginEdit)() override;
  STDMETHOD(EndEdit)() override;
  STDMETHOD(Save)() override;
  STDMETHOD(Check)() override;
  STDMETHOD(Delete)(IFlgDataFactory* factory, VARIANT id) override;
  STDMETHOD(GetErrorCount)(LONG* count) override;
  STDMETHOD(GetErrorText)(LONG index, BSTR* text) override;
  STDMETHOD(SetUseTransaction)(LONG use) override;
  STDMETHOD(SetLockOnEdit)(LONG lock) override;
  STDMETHOD(SetCheckRights)(LONG check) override;
  STDMETHOD(SetCallbackValue)(LONG value) override;
  STDMETHOD(GetCallbackValue)(LONG* value) override;

  // --- IFlgData
  STDMETHOD(GetId)(VARIANT* id) override;
  STDMETHOD(GetState)(VARIANT* state) override;
  STDMETHOD(GetFormat)(LONG* format) override;
  STDMETHOD(GetLocked)(VARIANT_BOOL* locked) override;

  // --- IFlgDataSet
  STDMETHOD(GetDataSet)(LONG index, IUnknown** recordset) override;
  STDMETHOD(AddSubRow)(LONG index) override;
  STDMETHOD(AddSubRowKey)(LONG index, VARIANT* key) override;
  STDMETHOD(AddRowChecked)(LONG index, VARIANT link, VARIANT* key) override;
  STDMETHOD(AddRow)(LONG index, VARIANT link, VARIANT* key) override;
  STDMETHOD(CompleteRow)(LONG index, VARIANT link) override;
  STDMETHOD(DeleteRow)(LONG index, LONG key) override;

 protected:
  const _ConnectionPtr& Connection() const { return m_connection; }
  // The current value of a column of the row; raises without a row.
  FieldPtr Column(const wchar_t* name) const;
  // The object's key: VT_I4 once it is read or saved, else VT_NULL.
  const _variant_t& Key() const { return m_id; }

  // Typed access to columns of the row for the object's interface methods: a failure is returned
  // as the HRESULT; a NULL column reads as an empty text, false, 0 (the variant form keeps NULL).
  HRESULT GetText(const wchar_t* column, BSTR* out) const;
  HRESULT GetBool(const wchar_t* column, VARIANT_BOOL* out) const;
  HRESULT GetLong(const wchar_t* column, LONG* out) const;
  HRESULT GetMoney(const wchar_t* column, CY* out) const;
  HRESULT GetValue(const wchar_t* column, VARIANT* out) const;
  HRESULT PutValue(const wchar_t* column, const _variant_t& value);
  HRESULT PutBool(const wchar_t* column, bool value);
  // The validation messages of the last Check.
  void AddError(const std::wstring& text) { m_errors.push_back(text); }
  size_t ErrorCount() const { return m_errors.size(); }

  // Called inside the save's transaction: before the row is written (with `inserting` for a new
  // object, whose key is already set) and after it was written.
  virtual void BeforeWrite(bool inserting) {}
  virtual void AfterWrite(bool inserting) {}
  // Called inside the delete's transaction, before the row `id` is deleted on `connection`.
  virtual void BeforeDelete(const _ConnectionPtr& connection, LONG id) {}

 private:
  HRESULT Open(IFlgDataFactory* factory, const wchar_t* where);
  CString KeyWhere(LONG id) const;

  ItemClass m_class;
  IFlgDataFactoryPtr m_factory;
  _ConnectionPtr m_connection;
  _RecordsetPtr m_rs;
  _variant_t m_id;
  LONG m_state = 0;  // 0 none, 1 new, 2 edited, 3 read
  LONG m_callback = 0;
  std::vector<std::wstring> m_errors;
};

// Registers the generic object for `cls` in this process (revoked when the result ends).
CFlgClassRegistration RegisterItemClass(const ItemClass& cls);

// The framework's user object: a row of kd_User whose account rights are granted on save.
class CHostUser : public CHostItem, public IHxUserRights {
 public:
  CHostUser();
  void* FlgGetInterface(REFIID iid);

  STDMETHOD(Save)() override;
  // The rights per account: the account id shifted left by 16 bits and or'ed with 1, 2 and 3,
  // each granted when its flag is non-zero (the last flag is kept for the host's own use).
  STDMETHOD(GrantAccount)(LONG account, LONG receive, LONG send, LONG comments, LONG other) override;

 private:
  std::vector<LONG> m_granted;
};

CFlgClassRegistration RegisterUserClass();

// The host's e-mail address object: a row of kd_EmailAddress.
class CHostMailAddress : public CHostItem, public IHxMailAddress {
 public:
  CHostMailAddress();
  void* FlgGetInterface(REFIID iid);

  STDMETHOD(GetAddress)(BSTR* address) override;
  STDMETHOD(GetAddressName)(BSTR* name) override;
  STDMETHOD(GetLocked)(VARIANT_BOOL* locked) override;
  STDMETHOD(PutLocked)(VARIANT_BOOL locked) override;

};

CFlgClassRegistration RegisterMailAddressClass();

}  // namespace host
