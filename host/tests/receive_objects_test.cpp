// The host's objects that received buyers, purchases and comments are stored through: the
// customer with its address and phones, the transaction with its positions and its delivery
// check, the comment record, and the image store.
#include <cstring>

#include "testing/support/test_database.h"
#include "host/objects.h"
#include "host/tests/host_fixture.h"
#include "shared/controls/hximage.h"
#include "shared/objtools.h"
#include "testing/pictures/pictures.h"

namespace {

using ICustomerPtr = IHxCustomerPtr;
using ICustomerAddressPtr = IHxAddressPtr;
using ITransactionPtr = IHxTransactionPtr;

class ReceiveObjects : public HostFixture {
 protected:
  void Exec(const wchar_t* sql) { host->Connection()->Execute(_bstr_t(sql), nullptr, kCmdTextNoRecords); }
  LONG Count(const wchar_t* sql) { return Long(host->Connection(), sql); }
  static _RecordsetPtr DataSet(const IFlgItemPtr& item, LONG index) { return DataSetOf(item, index); }
  static std::vector<std::wstring> Errors(const IFlgItemPtr& item) {
    LONG count = 0;
    item->GetErrorCount(&count);
    std::vector<std::wstring> out;
    for (LONG i = 0; i < count; ++i) {
      BSTR text = nullptr;
      item->GetErrorText(i, &text);
      out.push_back(text ? text : L"");
      SysFreeString(text);
    }
    return out;
  }
  static _variant_t Bytes(const std::string& bytes) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    void* data = nullptr;
    SafeArrayAccessData(array, &data);
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(array);
    _variant_t v;
    v.vt = VT_ARRAY | VT_UI1;
    v.parray = array;
    return v;
  }
  LONG NewCustomer(const wchar_t* nick, const wchar_t* street) {
    IFlgItemPtr item = CHxObjTools::New(__uuidof(HxCustomer));
    DataSet(item, 0)->GetFields()->GetItem(_variant_t(L"cs_Nick"))->PutValue(_variant_t(nick));
    if (street) {
      ICustomerPtr customer(item);
      IUnknown* raw = nullptr;
      EXPECT_EQ(customer->GetAddress(&raw), S_OK);
      IUnknownPtr unknown(raw, false);
      ICustomerAddressPtr address(unknown);
      address->PutFirstLine(_bstr_t(street));
      address->PutZipCode(_bstr_t(L"00-950"));
      address->PutCity(_bstr_t(L"Łódź"));
    }
    CHxObjTools::Save(item);
    return CHxObjTools::ObjectId(IFlgDataPtr(item));
  }
};

TEST_F(ReceiveObjects, CustomerKeepsAddressEmailAndPhonesInItsRowAndList) {
  IFlgItemPtr item = CHxObjTools::New(__uuidof(HxCustomer));
  IHxCustomerPtr customer(item);
  ASSERT_TRUE(customer);
  _RecordsetPtr row = DataSet(item, 0);
  row->GetFields()->GetItem(_variant_t(L"cs_Nick"))->PutValue(_variant_t(L"o'connor"));
  IUnknown* raw = nullptr;
  ASSERT_EQ(customer->GetAddress(&raw), S_OK);
  IUnknownPtr unknown(raw, false);
  IHxAddressPtr address(unknown);
  ASSERT_TRUE(address);
  ASSERT_EQ(address->PutName(_bstr_t(L"Zażółć Gęślą")), S_OK);
  ASSERT_EQ(address->PutFirstLine(_bstr_t(L"ul. Długa 1")), S_OK);
  ASSERT_EQ(address->PutZipCode(_bstr_t(L"00-950")), S_OK);
  ASSERT_EQ(address->PutCity(_bstr_t(L"Kraków")), S_OK);
  ASSERT_EQ(address->PutCountry(_bstr_t(L"Polska")), S_OK);
  ASSERT_EQ(address->PutCompany(_bstr_t(L"Firma 'A'")), S_OK);
  ASSERT_EQ(customer->PutEmail(_bstr_t(L" jan@example.com "), -1), S_OK);
  ASSERT_EQ(customer->PutPhone(_bstr_t(L"111"), -1), S_OK);
  // A new main phone keeps the earlier one among the customer's phones.
  ASSERT_EQ(customer->PutPhone(_bstr_t(L"222"), -1), S_OK);
  CHxObjTools::Save(item);
  const LONG id = CHxObjTools::ObjectId(IFlgDataPtr(item));
  ASSERT_GT(id, 0);

  EXPECT_EQ(Count(L"SELECT COUNT(*) FROM cs__Customer WHERE cs_Nick = 'o''connor' AND cs_AddressName = 'Zażółć Gęślą' "
                  L"AND cs_Street = 'ul. Długa 1' AND cs_Postcode = '00-950' AND cs_City = 'Kraków' "
                  L"AND cs_CountryName = 'Polska' AND cs_Company = 'Firma ''A''' AND cs_Email = 'jan@example.com' "
                  L"AND cs_Phone = '222'"),
            1);
  EXPECT_EQ(Count(L"SELECT COUNT(*) FROM cs_CustomerPhone WHERE cp_Number = '111'"), 1);

  // Loaded again: the address reads back, and the list's phone is not added twice.
  IFlgItemPtr again = CHxObjTools::Fetch(__uuidof(HxCustomer), id, CHxObjTools::omEdit);
  IHxCustomerPtr reloaded(again);
  ASSERT_EQ(reloaded->GetAddress(&raw), S_OK);
  IUnknownPtr second(raw, false);
  IHxAddressPtr readBack(second);
  BSTR text = nullptr;
  ASSERT_EQ(readBack->GetCity(&text), S_OK);
  EXPECT_EQ(std::wstring(text), L"Kraków");
  SysFreeString(text);
  ASSERT_EQ(reloaded->GetPhones(&raw), S_OK);
  IUnknownPtr list(raw, false);
  IAuctionImagesPtr phones(list);
  ASSERT_TRUE(phones);
  auto contains = [&](const wchar_t* phone) {
    VARIANT_BOOL answer = VARIANT_FALSE;
    EXPECT_EQ(phones->Contains(_variant_t(phone), &answer), S_OK);
    return answer != VARIANT_FALSE;
  };
  EXPECT_TRUE(contains(L"111"));
  EXPECT_TRUE(contains(L" 222"));
  EXPECT_FALSE(contains(L"333"));
  ASSERT_EQ(phones->Add(_variant_t(L"111")), S_OK);
  ASSERT_EQ(phones->Add(_variant_t(L"333")), S_OK);
  EXPECT_EQ(phones->Add(_variant_t(LONG{333})), E_INVALIDARG);
  CHxObjTools::Save(again);
  EXPECT_EQ(Count(L"SELECT COUNT(*) FROM cs_CustomerPhone"), 2);
  EXPECT_EQ(Count(L"SELECT COUNT(*) FROM cs_CustomerPhone WHERE cp_Number = '333'"), 1);
}

TEST_F(ReceiveObjects, CustomerCheckRefusesNoNameAndPhonesOverTheirSize) {
  IFlgItemPtr item = CHxObjTools::New(__uuidof(HxCustomer));
  EXPECT_EQ(item->Check(), E_INVALIDARG);
  EXPECT_EQ(Errors(item), std::vector<std::wstring>{L"Nie podano nazwy ani nicku klienta."});
  // A text over its column is cut by the row itself; a phone of the list over 50 characters is refused.
  DataSet(item, 0)->GetFields()->GetItem(_variant_t(L"cs_Nick"))->PutValue(_variant_t(std::wstring(51, L'ż').c_str()));
  auto* object = dynamic_cast<host::CHostCustomer*>(static_cast<IFlgItem*>(item.GetInterfacePtr()));
  ASSERT_NE(object, nullptr);
  object->AddPhone(std::wstring(51, L'5'));
  EXPECT_EQ(item->Check(), E_INVALIDARG);
  EXPECT_EQ(Errors(item), std::vector<std::wstring>{L"Numer telefonu " + std::wstring(51, L'5') + L" jest dłuższy niż 50 znaków."});
  EXPECT_THROW(CHxObjTools::Save(item), _com_error);
  EXPECT_EQ(Count(L"SELECT COUNT(*) FROM cs__Customer"), 0);
  EXPECT_EQ(Count(L"SELECT COUNT(*) FROM cs_CustomerPhone"), 0);
  object = nullptr;
  item = CHxObjTools::New(__uuidof(HxCustomer));
  DataSet(item, 0)->GetFields()->GetItem(_variant_t(L"cs_Surname"))->PutValue(_variant_t(L"Nowak"));
  EXPECT_EQ(item->Check(), S_OK);
}

// What a transaction's delivery options say: a delivery method of the auction.
class DeliveryOptions : public IHxDeliveryOptions {
 public:
  explicit DeliveryOptions(_variant_t method) : m_method(std::move(method)) {}
  virtual ~DeliveryOptions() = default;
  void* FlgGetInterface(REFIID iid) {
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IHxDeliveryOptions)) return static_cast<IHxDeliveryOptions*>(this);
    return nullptr;
  }
  STDMETHOD(GetDeliveryMethod)(VARIANT* method) override {
    VariantInit(method);
    return VariantCopy(method, &m_method);
  }

 private:
  _variant_t m_method;
};

TEST_F(ReceiveObjects, TransactionWithShippingNeedsTheBuyersAddressAndSavesItsPositionsWithIt) {
  AddAccounts({3});
  Exec(L"INSERT INTO au__Auction (au_Id, au_Number) VALUES (5, '1000')");
  const LONG homeless = NewCustomer(L"bezdomny", nullptr);
  const LONG housed = NewCustomer(L"z_adresem", L"ul. Krótka 2");

  IFlgItemPtr item = CHxObjTools::New(__uuidof(HxTransaction));
  ITransactionPtr t(item);
  ASSERT_TRUE(t);
  ASSERT_EQ(t->PutName(_bstr_t(L"Kubek (1000)")), S_OK);
  ASSERT_EQ(t->PutCustomerId(homeless), S_OK);
  ASSERT_EQ(t->PutAuctionId(5), S_OK);
  ASSERT_EQ(t->PutRegId(3), S_OK);
  ASSERT_EQ(t->PutRegSiteId(4), S_OK);
  _variant_t date;
  date.vt = VT_DATE;
  date.date = 45592.5;
  ASSERT_EQ(t->PutDate(date), S_OK);
  ASSERT_EQ(t->PutCurrency(_bstr_t(L"PLN")), S_OK);
  ASSERT_EQ(t->PutValueCurrency(_bstr_t(L"PLN")), S_OK);
  CY price{};
  price.int64 = 125000;  // 12.50
  ASSERT_EQ(t->AddNamedPosition(_bstr_t(L"Kubek"), 3, price), S_OK);
  ASSERT_EQ(t->AddProductPosition(77, 1, price), S_OK);
  EXPECT_EQ(t->AddProductPosition(0, 1, price), E_INVALIDARG);
  ASSERT_EQ(t->PutOriginal(1), S_OK);
  ASSERT_EQ(t->PutOrigQuantity(3), S_OK);
  ASSERT_EQ(t->PutKind(2, 1), S_OK);
  ASSERT_EQ(t->PutAuctionOwnerId(1), S_OK);
  ASSERT_EQ(t->PutRemainder(VARIANT_FALSE), S_OK);
  IHxDeliveryOptions* options = nullptr;
  ASSERT_EQ(CFlgComObject<DeliveryOptions>::Create(__uuidof(IHxDeliveryOptions), reinterpret_cast<void**>(&options),
                                                   _variant_t(LONG{2})),
            S_OK);
  IHxDeliveryOptionsPtr held(options, false);
  ASSERT_EQ(t->PutDeliveryOptions(options), S_OK);

  // Shipping to a buyer without an address: refused with the code the store looks for.
  EXPECT_EQ(item->Check(), HX_E_DELIVERY_NEEDS_ADDRESS);
  EXPECT_EQ(Errors(item).size(), 1u);
  // Collection in person needs no address.
  ASSERT_EQ(t->PutDeliveryMethod(_variant_t()), S_OK);
  EXPECT_EQ(item->Check(), S_OK);
  // A buyer with an address can have the parcel sent.
  ASSERT_EQ(t->PutDeliveryOptions(options), S_OK);
  ASSERT_EQ(t->PutCustomerId(housed), S_OK);
  EXPECT_EQ(item->Check(), S_OK);
  CHxObjTools::Save(item);
  const LONG id = CHxObjTools::ObjectId(IFlgDataPtr(item));

  CString sql;
  sql.Format(L"SELECT COUNT(*) FROM tr__Transaction WHERE tr_Id = %ld AND tr_Name = 'Kubek (1000)' AND tr_CustomerId = %ld "
             L"AND tr_AuctionId = 5 AND tr_RegId = 3 AND tr_RegSiteId = 4 AND tr_Currency = 'PLN' "
             L"AND tr_Original = 1 AND tr_OrigQuantity = 3 AND tr_Kind = 2 AND tr_KindDetail = 1 "
             L"AND tr_AuctionOwnerId = 1 AND tr_Remainder = 0 AND tr_DeliveryMethod = 2 AND tr_Date > '20241027'",
             id, housed);
  EXPECT_EQ(Count(sql), 1);
  sql.Format(L"SELECT COUNT(*) FROM tr_Position WHERE tp_TransId = %ld AND tp_Order = 1 AND tp_Name = 'Kubek' "
             L"AND tp_ProductId IS NULL AND tp_Quantity = 3 AND tp_Price = 12.5",
             id);
  EXPECT_EQ(Count(sql), 1);
  sql.Format(L"SELECT COUNT(*) FROM tr_Position WHERE tp_TransId = %ld AND tp_Order = 2 AND tp_ProductId = 77 "
             L"AND tp_Name = 'Kubek (1000)'",
             id);
  EXPECT_EQ(Count(sql), 1);
}

TEST_F(ReceiveObjects, ATransactionThatFailsToSaveLeavesNoPositionBehind) {
  AddAccounts({3});
  for (const std::wstring& sql : testdb::RefusingTrigger(
           L"CREATE TRIGGER test_NoPositions BEFORE INSERT ON tr_Position BEGIN SELECT RAISE(ABORT, 'odmowa'); END"))
    Exec(sql.c_str());
  IFlgItemPtr item = CHxObjTools::New(__uuidof(HxTransaction));
  ITransactionPtr t(item);
  t->PutRegId(3);
  CY price{};
  t->AddNamedPosition(_bstr_t(L"Kubek"), 1, price);
  EXPECT_THROW(CHxObjTools::Save(item), _com_error);
  EXPECT_EQ(Count(L"SELECT COUNT(*) FROM tr__Transaction"), 0);
  EXPECT_EQ(Count(L"SELECT COUNT(*) FROM tr_Position"), 0);
}

TEST_F(ReceiveObjects, CommentRecordHasNoRowUntilACommentIsSavedAndKeepsTheOtherSide) {
  AddAccounts({1});
  Exec(L"INSERT INTO tr__Transaction (tr_Id, tr_RegId) VALUES (9, 1)");
  IFlgItemPtr item = CHxObjTools::Fetch(__uuidof(HxTransactionComment), 9, CHxObjTools::omEdit);
  EXPECT_EQ(DataSet(item, 1)->GetRecordCount(), 0);
  ITransactionCommentPtr comment(item);
  ASSERT_TRUE(comment);
  ASSERT_EQ(comment->PutReceivedComment(_bstr_t(L"Polecam, 'super'")), S_OK);
  ASSERT_EQ(comment->PutReceivedDate(45592.5), S_OK);
  ASSERT_EQ(comment->PutReceivedScore(1), S_OK);
  CHxObjTools::Save(item);
  EXPECT_EQ(Count(L"SELECT COUNT(*) FROM tr_Comment WHERE tc_TransId = 9 AND tc_ReceivedComment = 'Polecam, ''super''' "
                  L"AND tc_ReceivedScore = 1 AND tc_ReceivedDate > '20241027' AND tc_SentComment IS NULL"),
            1);

  // The other side joins the same row; the received side stays.
  IFlgItemPtr again = CHxObjTools::Fetch(__uuidof(HxTransactionComment), 9, CHxObjTools::omEdit);
  EXPECT_EQ(DataSet(again, 1)->GetRecordCount(), 1);
  ITransactionCommentPtr sent(again);
  ASSERT_EQ(sent->PutSentComment(_bstr_t(L"Dziękuję")), S_OK);
  ASSERT_EQ(sent->PutSentScore(-1), S_OK);
  ASSERT_EQ(sent->PutSentExternalId(_variant_t(LONG{4711})), S_OK);
  CHxObjTools::Save(again);
  EXPECT_EQ(Count(L"SELECT COUNT(*) FROM tr_Comment"), 1);
  EXPECT_EQ(Count(L"SELECT COUNT(*) FROM tr_Comment WHERE tc_SentExternalId = 4711 AND tc_SentScore = -1 "
                  L"AND tc_ReceivedComment = 'Polecam, ''super'''"),
            1);
  // A record belongs to a stored transaction.
  EXPECT_THROW(CHxObjTools::Fetch(__uuidof(HxTransactionComment), 10, CHxObjTools::omEdit), _com_error);
}

TEST_F(ReceiveObjects, ImageStoreKeepsTheSameBytesOnce) {
  IHxAppServicesPtr services(host->Instance());
  IUnknown* raw = nullptr;
  ASSERT_EQ(services->GetImageStore(&raw), S_OK);
  IUnknownPtr unknown(raw, false);
  IHxImageStorePtr store(unknown);
  ASSERT_TRUE(store);
  LONG first = 0, again = 0, other = 0;
  ASSERT_EQ(store->AddImage(_bstr_t(L"Kubek 1"), Bytes(std::string("\x89PNG\0abc", 8)), &first), S_OK);
  ASSERT_EQ(store->AddImage(_bstr_t(L"Kubek 2"), Bytes(std::string("\x89PNG\0abc", 8)), &again), S_OK);
  ASSERT_EQ(store->AddImage(_bstr_t(L"Kubek 3"), Bytes(std::string("\x89PNG\0abd", 8)), &other), S_OK);
  EXPECT_GT(first, 0);
  EXPECT_EQ(again, first);
  EXPECT_NE(other, first);
  EXPECT_EQ(Count(L"SELECT COUNT(*) FROM kd_Image"), 2);
  CString sql;
  sql.Format(L"SELECT COUNT(*) FROM kd_Image WHERE im_Id = %ld AND im_Name = 'Kubek 1' AND im_Size = 8", first);
  EXPECT_EQ(Count(sql), 1);

  LONG id = 5;
  EXPECT_EQ(store->AddImage(_bstr_t(L"pusty"), Bytes(std::string()), &id), E_INVALIDARG);
  EXPECT_EQ(id, 0);
  EXPECT_EQ(store->AddImage(_bstr_t(L"tekst"), _variant_t(L"nie obraz"), &id), E_INVALIDARG);
  EXPECT_EQ(store->AddImage(_bstr_t(L"brak"), _variant_t(), &id), E_INVALIDARG);
  EXPECT_EQ(Count(L"SELECT COUNT(*) FROM kd_Image"), 2);
}

TEST_F(ReceiveObjects, ThePictureRepositoryReadsStoredPicturesByIdAndScopesTheirWork) {
  IHxAppServicesPtr services(host->Instance());
  IUnknown* raw = nullptr;
  ASSERT_EQ(services->GetImageStore(&raw), S_OK);
  IHxImageStorePtr store(IUnknownPtr(raw, false));
  const std::string png = testpictures::Quadrants("PNG", 64, 48);
  LONG id = 0;
  ASSERT_EQ(store->AddImage(_bstr_t(L"Kubek"), Bytes(png), &id), S_OK);
  LONG notPicture = 0;
  ASSERT_EQ(store->AddImage(_bstr_t(L"tekst"), Bytes("nie obraz"), &notPicture), S_OK);

  ASSERT_EQ(services->GetImageRepository(&raw), S_OK);
  IUnknownPtr first(raw, false);
  ASSERT_EQ(services->GetImageRepository(&raw), S_OK);
  IUnknownPtr second(raw, false);
  EXPECT_EQ(first.GetInterfacePtr(), second.GetInterfacePtr());   // one repository for the host
  IHxImageRepositoryPtr repository(first);
  ASSERT_TRUE(repository);

  BSTR name = nullptr;
  IUnknown* stream = nullptr;
  LONG width = 0, height = 0, size = 0;
  VARIANT_BOOL found = VARIANT_FALSE;
  ASSERT_EQ(repository->GetPicture(id, &name, &stream, &width, &height, &size, &found), S_OK);
  _bstr_t ownedName(name, false);
  IUnknownPtr ownedStream(stream, false);
  EXPECT_EQ(found, VARIANT_TRUE);
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(ownedName)), L"Kubek");
  EXPECT_EQ(width, 64);
  EXPECT_EQ(height, 48);
  EXPECT_EQ(size, static_cast<LONG>(png.size()));
  EXPECT_EQ(testpictures::BytesOf(IStreamPtr(ownedStream)), png);
  // Bytes that are no picture have no size; a missing id is not found.
  ASSERT_EQ(repository->GetPicture(notPicture, &name, &stream, &width, &height, &size, &found), S_OK);
  SysFreeString(name);
  if (stream) stream->Release();
  EXPECT_EQ(found, VARIANT_TRUE);
  EXPECT_EQ(width, 0);
  EXPECT_EQ(size, 9);
  ASSERT_EQ(repository->GetPicture(999, &name, &stream, &width, &height, &size, &found), S_OK);
  EXPECT_EQ(found, VARIANT_FALSE);
  EXPECT_EQ(stream, nullptr);
  EXPECT_EQ(repository->GetPicture(id, nullptr, &stream, &width, &height, &size, &found), E_POINTER);

  // The scope: work inside it is committed at its end; 0 ends nothing; an end that does not
  // match the newest beginning is refused.
  {
    CImaRepositoryTransStatus scope;
    Exec(L"UPDATE kd_Image SET im_Name = 'Kubek duży' WHERE im_Name = 'Kubek'");
  }
  EXPECT_EQ(Count(L"SELECT COUNT(*) FROM kd_Image WHERE im_Name = 'Kubek duży'"), 1);
  LONG level = 0;
  ASSERT_EQ(repository->BeginTransaction(&level), S_OK);
  EXPECT_GT(level, 0);
  EXPECT_EQ(repository->EndTransaction(0), S_OK);
  EXPECT_EQ(repository->EndTransaction(level + 1), E_INVALIDARG);
  EXPECT_EQ(repository->EndTransaction(level), S_OK);
  EXPECT_EQ(repository->EndTransaction(level), E_INVALIDARG);
}

TEST_F(ReceiveObjects, TheSkinGivesItsStateStrips) {
  IFlgSkinPtr skin(host->Instance());
  ASSERT_TRUE(skin);
  HBITMAP strip = nullptr;
  ASSERT_EQ(skin->LoadBitmap(501, -1, &strip), S_OK);
  BITMAP info{};
  ASSERT_TRUE(GetObjectW(strip, sizeof info, &info));
  EXPECT_EQ(info.bmWidth, 64);   // four frames of 16
  EXPECT_EQ(info.bmHeight, 16);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, strip);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 255));        // the transparent colour
  EXPECT_EQ(GetPixel(dc, 16 * 3 + 8, 8), RGB(40, 170, 60));   // the last frame's disc
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(strip);
  for (LONG image : {500L, 502L}) {
    EXPECT_EQ(skin->LoadBitmap(image, -1, &strip), S_OK);
    DeleteObject(strip);
  }
  EXPECT_EQ(skin->LoadBitmap(7, -1, &strip), E_INVALIDARG);
  EXPECT_EQ(strip, nullptr);
  EXPECT_EQ(skin->LoadBitmap(500, -1, nullptr), E_POINTER);
}

}  // namespace
