// Address records: emptiness, the one-line text, loads and saves through data sets, the host's
// address object, copying host addresses and the edit dialog's rules.
#include <gtest/gtest.h>

#include "framework/messages.h"
#include "host/host.h"
#include "platform/gui/headless.h"
#include "shared/address.h"
#include "shared/hxinstance.h"
#include "shared/tests/fixture.h"
#include "testing/host_doubles/address_doubles.h"

namespace {

using platform::gui::ModalScript;

CHxAddress Full() {
  CHxAddress a;
  a.SetCompany(L"Antyki s.c.");
  a.SetName(L"Jan Nowak");
  a.SetAddress1(L"ul. Lipowa 1");
  a.SetAddress2(L"m. 2");
  a.SetZip(L"00-950");
  a.SetCity(L"Warszawa");
  a.SetCountry(L"Polska");
  a.SetNIP(L"521-000-11-22");
  return a;
}

// Reaches the row-set operations of the address.
class OpenAddress : public CHxAddress {
 public:
  using CHxAddress::Load;
  using CHxAddress::Save;
  HRESULT LoadRows(_RecordsetPtr rs) { return CHxAddress::Load(rs); }
  HRESULT SaveRows(_RecordsetPtr rs) { return CHxAddress::Save(rs); }
};

TEST(Address, EmptinessAndTheModifiedFlag) {
  CHxAddress a;
  a.SetName(L"Jan");
  a.SetCity(L"Kraków");
  EXPECT_TRUE(a.IsEmpty());   // no address line
  a.SetAddress2(L"ul. Długa 3");
  EXPECT_FALSE(a.IsEmpty());
  a.SetName(L"");
  EXPECT_TRUE(a.IsEmpty());   // neither name nor firm
  a.SetCompany(L"Firma");
  EXPECT_FALSE(a.IsEmpty());
  a.SetCity(L"");
  EXPECT_TRUE(a.IsEmpty());   // no city

  CHxAddress b;
  EXPECT_FALSE(b.Modified());
  b.SetCity(L"");
  EXPECT_FALSE(b.Modified());   // the same text changes nothing
  b.SetCity(L"Gdańsk");
  EXPECT_TRUE(b.Modified());
  b.SetModified(false);
  b.SetCity(L"Gdańsk");
  EXPECT_FALSE(b.Modified());
  b.SetName(L"  Ewa  ");
  b.SetModified(false);
  b.Trim();
  EXPECT_STREQ(b.Name(), L"Ewa");
  EXPECT_FALSE(b.Modified());
  b.SetModified(true);
  const CHxAddress copy = b;
  EXPECT_TRUE(copy.Modified());
  EXPECT_STREQ(copy.City(), L"Gdańsk");
  b.Empty();
  EXPECT_TRUE(b.City().IsEmpty());
  EXPECT_TRUE(b.Modified());
}

TEST(Address, FormatJoinsTheNonEmptyParts) {
  EXPECT_STREQ(Full().Format(), L"Antyki s.c. - Jan Nowak, ul. Lipowa 1, m. 2, 00-950 Warszawa, Polska");
  CHxAddress nameOnly;
  nameOnly.SetName(L"Jan Nowak");
  EXPECT_STREQ(nameOnly.Format(), L"Jan Nowak");
  CHxAddress noZip;
  noZip.SetName(L"Jan");
  noZip.SetAddress1(L"Rynek 5");
  noZip.SetCity(L"Kraków");
  EXPECT_STREQ(noZip.Format(), L"Jan, Rynek 5,  Kraków");
  CHxAddress firm;
  firm.SetCompany(L"Antyki s.c.");
  firm.SetAddress2(L"skr. 12");
  firm.SetZip(L"00-001");
  EXPECT_STREQ(firm.Format(), L"Antyki s.c., skr. 12, 00-001 ");
  CString out = L"stare";
  CHxAddress().Format(out);
  EXPECT_TRUE(out.IsEmpty());
}

class AddressData : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    book = doubles::FakeAddressBook::New(holder);
    rows = doubles::AddressRecordset();
    book->dataSets[2] = rows;
  }
  void TearDown() override {
    rows = nullptr;
    holder = nullptr;
    CoUninitialize();
  }
  std::wstring Column(const wchar_t* name) {
    _variant_t v = rows->Fields->Item[name]->Value;
    return v.vt == VT_BSTR ? std::wstring(v.bstrVal) : std::wstring(L"<null>");
  }
  IFlgDataSetPtr holder;
  doubles::FakeAddressBook* book = nullptr;
  _RecordsetPtr rows;
};

TEST_F(AddressData, LoadingWithoutRowsKeepsTheAddress) {
  CHxAddress a = Full();
  EXPECT_EQ(a.Load(holder, 2), S_OK);
  EXPECT_STREQ(a.City(), L"Warszawa");
  EXPECT_TRUE(a.Modified());
  EXPECT_EQ(a.Load(holder, 7), E_INVALIDARG);   // a data set the object has not
  OpenAddress open;
  EXPECT_EQ(open.LoadRows(nullptr), E_FAIL);
  EXPECT_EQ(open.LoadRows(rows), E_FAIL);
  EXPECT_EQ(open.SaveRows(rows), E_FAIL);
}

TEST_F(AddressData, LoadingReadsTheCurrentRowAndANullColumnAsEmpty) {
  doubles::AppendAddress(rows, 1, {L"Jan", L"ul. A 1", L"", L"30-001", L"Kraków", L"Polska", L"", L"123"});
  _variant_t null;
  null.vt = VT_NULL;
  rows->Fields->Item[L"adr_Address2"]->Value = null;
  rows->Update();
  CHxAddress a = Full();
  EXPECT_EQ(a.Load(holder, 2), S_OK);
  EXPECT_STREQ(a.Name(), L"Jan");
  EXPECT_STREQ(a.Address2(), L"");
  EXPECT_STREQ(a.Company(), L"");
  EXPECT_STREQ(a.NIP(), L"123");
  EXPECT_FALSE(a.Modified());
}

TEST_F(AddressData, AnEmptyAddressIsNotSaved) {
  CHxAddress a;
  a.SetName(L"Jan");
  a.SetCity(L"Kraków");
  EXPECT_EQ(a.Save(holder, 2), S_FALSE);
  EXPECT_TRUE(book->added.empty());
  EXPECT_TRUE(rows->GetBOF() && rows->GetadoEOF());
}

TEST_F(AddressData, SavingWritesTheFirstRowOrOneTheDataSetAdds) {
  EXPECT_EQ(Full().Save(holder, 2), S_OK);
  EXPECT_EQ(book->added, std::vector<LONG>{2});
  EXPECT_EQ(rows->GetRecordCount(), 1);
  EXPECT_EQ(Column(L"adr_City"), L"Warszawa");
  EXPECT_EQ(Column(L"adr_NIP"), L"521-000-11-22");

  CHxAddress other = Full();
  other.SetCity(L"Łódź");
  rows->MoveLast();
  EXPECT_EQ(other.Save(holder, 2), S_OK);
  EXPECT_EQ(book->added.size(), 1u);   // the row there is written, no new one
  EXPECT_EQ(rows->GetRecordCount(), 1);
  EXPECT_EQ(Column(L"adr_City"), L"Łódź");

  book->addFailure = static_cast<HRESULT>(0x80040F20);
  book->dataSets[3] = doubles::AddressRecordset();
  EXPECT_EQ(Full().Save(holder, 3), static_cast<HRESULT>(0x80040F20));
}

// The typed address reads and writes its own type through a clone: the data set's row set keeps
// its filter and position for its next reader.
TEST_F(AddressData, TypedAddressesLiveSideBySide) {
  doubles::AppendAddress(rows, 1, {L"Podstawowy", L"ul. A", L"", L"", L"Kraków", L"", L"", L""});
  doubles::AppendAddress(rows, 2, {L"Wysyłkowy", L"ul. B", L"", L"", L"Poznań", L"", L"", L""});
  rows->MoveFirst();
  CHxAddressWithType delivery(CHxAddressWithType::taWysylkowy);
  EXPECT_EQ(delivery.Load(holder, 2), S_OK);
  EXPECT_STREQ(delivery.Name(), L"Wysyłkowy");
  EXPECT_EQ(_variant_t(rows->GetFilter()).vt == VT_BSTR ? std::wstring(_variant_t(rows->GetFilter()).bstrVal) : L"",
            L"");
  EXPECT_EQ(rows->GetRecordCount(), 2);
  EXPECT_EQ(Column(L"adr_Name"), L"Podstawowy");   // still on its first row

  CHxAddressWithType documents(CHxAddressWithType::taDokumenty);
  documents.SetName(L"Do faktury");
  documents.SetAddress1(L"ul. C");
  documents.SetCity(L"Gdańsk");
  EXPECT_EQ(documents.Save(holder, 2), S_OK);
  EXPECT_EQ(book->added.size(), 1u);
  EXPECT_EQ(rows->GetRecordCount(), 3);
  _variant_t type = rows->Fields->Item[L"adr_Type"]->Value;
  EXPECT_EQ(type.vt, VT_I4);
  EXPECT_EQ(type.lVal, 3);
  EXPECT_EQ(Column(L"adr_City"), L"Gdańsk");

  // Saving an existing type writes its row, not another one.
  delivery.SetCity(L"Gniezno");
  EXPECT_EQ(delivery.Save(holder, 2), S_OK);
  EXPECT_EQ(rows->GetRecordCount(), 3);
  CHxAddressWithType again(CHxAddressWithType::taWysylkowy);
  again.Load(holder, 2);
  EXPECT_STREQ(again.City(), L"Gniezno");
  CHxAddressWithType basic(CHxAddressWithType::taPodstawowy);
  basic.Load(holder, 2);
  EXPECT_STREQ(basic.City(), L"Kraków");
}

TEST(AddressCopy, CopiesTheEightTextsInTheInterfacesOrder) {
  IHxAddressPtr fromHolder, toHolder;
  doubles::FakeAddress* from = doubles::FakeAddress::New(fromHolder);
  doubles::FakeAddress* to = doubles::FakeAddress::New(toHolder);
  from->values = {{L"Name", L"Jan"},     {L"FirstLine", L"ul. A"}, {L"SecondLine", L"m. 1"}, {L"ZipCode", L"00-001"},
                  {L"City", L"Warszawa"}, {L"Country", L"Polska"}, {L"Company", L"Firma"}, {L"TaxNumber", L"123"}};
  CHxAddress::Copy(toHolder, fromHolder);
  EXPECT_EQ(to->values, from->values);
  const std::vector<std::wstring> order = {L"PutName", L"PutFirstLine", L"PutSecondLine", L"PutZipCode",
                                           L"PutCity", L"PutCountry",   L"PutCompany",    L"PutTaxNumber"};
  EXPECT_EQ(to->calls, order);
  EXPECT_EQ(from->calls.front(), L"GetName");

  to->failOn = L"PutCity";
  try {
    CHxAddress::Copy(toHolder, fromHolder);
    ADD_FAILURE() << "no error raised";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_FAIL);
  }
  try {
    CHxAddress::Copy(nullptr, fromHolder);
    ADD_FAILURE() << "no error raised";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_POINTER);
  }
}

// The host's address object, loaded by class and id.
TEST(AddressHost, LoadsTheHostsAddressObjectById) {
  CoInitialize(nullptr);
  {
    testutil::TempDatabase db;
    host::Host h(db.Open());
    CHxInstance::SetInstance(h.Instance());
    testutil::Exec(h.Connection(),
                   L"INSERT INTO kd_Address (adr_Id, adr_Type, adr_Name, adr_Address1, adr_City, adr_ZipCode) "
                   L"VALUES (7, 1, 'Anna', 'ul. Polna 2', 'Lublin', '20-001')");
    CHxAddress a;
    EXPECT_EQ(a.Load(__uuidof(HxAddressRecord), 7), S_OK);
    EXPECT_STREQ(a.Format(), L"Anna, ul. Polna 2, 20-001 Lublin");
    EXPECT_FALSE(a.Modified());
    CHxAddress missing = a;
    EXPECT_TRUE(FAILED(missing.Load(__uuidof(HxAddressRecord), 8)));
    EXPECT_STREQ(missing.Name(), L"Anna");
    EXPECT_TRUE(FAILED(missing.Load(GUID_NULL, 7)));
    CHxInstance::SetInstance(nullptr);
  }
  CoUninitialize();
}

// --- the edit dialog

class AddressDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::gui::SetEcho(false);
    zephra::SetTipsPrinted(false);
    zephra::ClearTips();
  }
  void TearDown() override {
    zephra::ClearTips();
    platform::gui::ResetHeadless();
  }
  std::vector<std::wstring> Tips() {
    std::vector<std::wstring> texts;
    for (const auto& tip : zephra::RecordedTips()) {
      EXPECT_EQ(tip.caption, L"Adres");
      EXPECT_EQ(tip.flags, KD_TIP_ICONERROR);
      texts.push_back(tip.text);
    }
    return texts;
  }
};

TEST_F(AddressDialog, TheRulesAreCheckedInOrderBeforeTheAddressIsTaken) {
  CHxAddress a;
  platform::gui::QueueModal(ModalScript(L"#1003")
                                .Click(IDOK)
                                .Type(CHxAddressDlg::IDC_COMPANY, L"Antyki")
                                .Click(IDOK)
                                .Type(CHxAddressDlg::IDC_ADDRESS2, L"skr. poczt. 5")
                                .Click(IDOK)
                                .Type(CHxAddressDlg::IDC_CITY, L"  Toruń  ")
                                .Type(CHxAddressDlg::IDC_NIP, L"PL 879-000")
                                .Click(IDOK));
  EXPECT_EQ(a.Edit(nullptr), IDOK);
  EXPECT_EQ(Tips(), (std::vector<std::wstring>{L"Należy podać nazwisko lub nazwę firmy", L"Należy podać adres",
                                               L"Należy podać miejscowość"}));
  EXPECT_STREQ(a.Company(), L"Antyki");
  EXPECT_STREQ(a.Address2(), L"skr. poczt. 5");
  EXPECT_STREQ(a.City(), L"Toruń");
  EXPECT_STREQ(a.NIP(), L"PL 879-000");
  EXPECT_TRUE(a.Modified());
  ASSERT_FALSE(platform::gui::ModalRuns().back().refused.size());
}

TEST_F(AddressDialog, ACancelledEditLeavesTheAddressAsItWas) {
  CHxAddress a = Full();
  a.SetModified(false);
  platform::gui::QueueModal(ModalScript(L"#1003")
                                .Type(CHxAddressDlg::IDC_CITY, L"")
                                .Type(CHxAddressDlg::IDC_NAME, L"Ktoś inny")
                                .Click(IDOK)
                                .Click(IDCANCEL));
  EXPECT_EQ(a.Edit(nullptr), IDCANCEL);
  EXPECT_EQ(Tips(), std::vector<std::wstring>{L"Należy podać miejscowość"});
  EXPECT_STREQ(a.Name(), L"Jan Nowak");
  EXPECT_STREQ(a.City(), L"Warszawa");
  EXPECT_FALSE(a.Modified());
}

TEST_F(AddressDialog, ControlsShowTheAddressWithTheirLimits) {
  CHxAddress a = Full();
  a.SetModified(false);
  CHxAddressDlg dialog(&a);
  ASSERT_TRUE(dialog.Create(MAKEINTRESOURCEW(kIddAddressDlg)));
  CString text;
  dialog.GetDlgItemText(CHxAddressDlg::IDC_ZIP, text);
  EXPECT_STREQ(text, L"00-950");
  dialog.GetDlgItemText(CHxAddressDlg::IDC_NIP, text);
  EXPECT_STREQ(text, L"521-000-11-22");
  const std::pair<UINT, LRESULT> limits[] = {{CHxAddressDlg::IDC_NAME, 129}, {CHxAddressDlg::IDC_COMPANY, 255},
                                             {CHxAddressDlg::IDC_NIP, 20},   {CHxAddressDlg::IDC_ZIP, 32},
                                             {CHxAddressDlg::IDC_CITY, 64},  {CHxAddressDlg::IDC_COUNTRY, 50}};
  for (const auto& [id, limit] : limits) EXPECT_EQ(dialog.SendDlgItemMessage(id, EM_GETLIMITTEXT), limit) << id;
  // The tax-number edit takes no letters beyond a prefix's and no punctuation but hyphens.
  HWND nip = ::GetDlgItem(dialog.m_hWnd, CHxAddressDlg::IDC_NIP);
  ::SetWindowTextW(nip, L"");
  for (wchar_t c : std::wstring(L"PL 12-3;%"))
    ::SendMessageW(nip, WM_CHAR, c, 0);
  dialog.GetDlgItemText(CHxAddressDlg::IDC_NIP, text);
  EXPECT_STREQ(text, L"PL 12-3");
}

}  // namespace
