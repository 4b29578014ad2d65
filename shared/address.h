#pragma once
// Address records: one postal address as the product database keeps it in its address columns
// (adr_Name, adr_Address1, adr_Address2, adr_ZipCode, adr_City, adr_Country, adr_Company,
// adr_NIP), loaded from and saved into the row set of a framework data object, formatted as one
// line and edited in a modal dialog. CHxAddressWithType adds the address type (adr_Type), so
// that one data object holds several addresses side by side.
#include "framework/flgdialog.h"
#include "framework/interfaces.h"
#include "platform/ado/ado.h"

extern const UINT kIddAddressDlg;   // 1003

class CHxAddress {
 public:
  CHxAddress() = default;
  CHxAddress(const CHxAddress&) = default;
  CHxAddress& operator=(const CHxAddress&) = default;
  virtual ~CHxAddress() = default;

 protected:
  // The eight columns of the current row; E_FAIL for a null row set or one without rows. A
  // NULL column reads as an empty text. Clears the modified flag.
  virtual HRESULT Load(_RecordsetPtr rowset);

 public:
  // The business object of that class, loaded by id through the host's data factory: its data
  // set's row set of data set 0.
  virtual HRESULT Load(const GUID& clsid, LONG id);
  // The row set of data set `key`; without rows the address stays as it was (S_OK).
  virtual HRESULT Load(IFlgDataSetPtr dataSet, DWORD key);

 protected:
  // The eight texts into the current row; E_FAIL for a null row set or one without rows.
  virtual HRESULT Save(_RecordsetPtr rowset);

 public:
  // An empty address (IsEmpty) is not saved: S_FALSE. Otherwise the first row of the row set of
  // data set `key`, or, when it has none, a row the data set adds (IFlgDataSet::AddSubRow).
  virtual HRESULT Save(IFlgDataSetPtr dataSet, DWORD key);
  // Runs the edit dialog on this address; the dialog's result.
  virtual INT_PTR Edit(CWnd* parent);
  virtual void Empty();
  virtual void Trim();
  virtual void Format(CString& out) const;
  // Name and company both empty, or no city, or no address line.
  virtual BOOL IsEmpty() const;
  virtual BOOL Modified() const { return m_modified; }
  virtual void SetModified(bool modified) { m_modified = modified; }

 protected:
  // The data set's row set of data set `key`. Raises.
  virtual _RecordsetPtr GetRecordset(const IFlgDataSetPtr& dataSet, DWORD key);

 public:
  CString Format() const {
    CString out;
    Format(out);
    return out;
  }

  const CString& Name() const { return m_name; }
  const CString& Address1() const { return m_address1; }
  const CString& Address2() const { return m_address2; }
  const CString& Zip() const { return m_zip; }
  const CString& City() const { return m_city; }
  const CString& Country() const { return m_country; }
  const CString& Company() const { return m_company; }
  const CString& NIP() const { return m_nip; }
  // A setter stores a different text and sets the modified flag; the same text changes nothing.
  void SetName(const wchar_t* v) { Set(m_name, v); }
  void SetAddress1(const wchar_t* v) { Set(m_address1, v); }
  void SetAddress2(const wchar_t* v) { Set(m_address2, v); }
  void SetZip(const wchar_t* v) { Set(m_zip, v); }
  void SetCity(const wchar_t* v) { Set(m_city, v); }
  void SetCountry(const wchar_t* v) { Set(m_country, v); }
  void SetCompany(const wchar_t* v) { Set(m_company, v); }
  void SetNIP(const wchar_t* v) { Set(m_nip, v); }

  // Copies the eight texts of one host address object into another, in the interface's order.
  // Raises the failures (E_POINTER for a null object).
  static void Copy(IHxAddressPtr to, IHxAddressPtr from);

 protected:
  // Save(dataSet, key); a row the data set adds gets adr_Type = *type when `type` is given.
  HRESULT SaveTo(const IFlgDataSetPtr& dataSet, DWORD key, const LONG* type);

 private:
  void Set(CString& field, const wchar_t* value);

  bool m_modified = false;
  CString m_name;
  CString m_address1;
  CString m_address2;
  CString m_zip;
  CString m_city;
  CString m_country;
  CString m_company;
  CString m_nip;
};

class CHxAddressWithType : public CHxAddress {
 public:
  // The host's address types (the class keeps whatever value it is given).
  enum tagTypAdresu : LONG { taPodstawowy = 1, taWysylkowy = 2, taDokumenty = 3 };

  explicit CHxAddressWithType(tagTypAdresu type) : m_type(type) {}
  CHxAddressWithType(const CHxAddressWithType&) = default;
  CHxAddressWithType& operator=(const CHxAddressWithType&) = default;
  ~CHxAddressWithType() override = default;

  // As the base; a row the data set adds gets adr_Type (VT_I4) first.
  HRESULT Save(IFlgDataSetPtr dataSet, DWORD key) override;
  using CHxAddress::Load;
  using CHxAddress::Save;

  tagTypAdresu Type() const { return m_type; }
  static LONG TypAdresu2Long(tagTypAdresu type) { return static_cast<LONG>(type); }

 protected:
  // The data set's row set seen through a clone filtered by "adr_Type=<type>": the clone shares
  // the rows, the data set's own row set keeps its filter and position.
  _RecordsetPtr GetRecordset(const IFlgDataSetPtr& dataSet, DWORD key) override;

 private:
  tagTypAdresu m_type;
};

// The edit dialog of an address (template 1003, "Adres").
class CHxAddressDlg : public CFlgDialog {
 public:
  enum {
    IDC_NAME = 117,
    IDC_COMPANY = 1003,
    IDC_NIP = 152,
    IDC_ADDRESS1 = 118,
    IDC_ADDRESS2 = 119,
    IDC_ZIP = 107,
    IDC_CITY = 120,
    IDC_COUNTRY = 121,
    IDC_BAND = 1002,
  };

  CHxAddressDlg(CHxAddress* address, CWnd* parent = nullptr);

  // The address the dialog is editing (a copy, given back to the address when OK is accepted).
  const CHxAddress& Edited() const { return m_edited; }

 protected:
  void OnLoadData(CFlgDataExchange& dx) override;
  void OnSaveData(CFlgDataExchange& dx) override;
  // Trims the address and checks its rules in order; the first that fails is shown at its
  // control and refuses the update.
  BOOL BeforeUpdate() override;
  HRESULT OnUpdate() override;

 private:
  CHxAddress* m_address;
  CHxAddress m_edited;
};
