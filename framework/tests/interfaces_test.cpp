// Callers reach host methods by their place in the method table: every method that a caller
// reaches by its slot number must sit at that slot, and the methods listed in an interface's
// order must keep that order. Slots that no caller counts on are free to move.
#include <gtest/gtest.h>

#include "framework/interfaces.h"
#include "testing/support/slots.h"

namespace {

using testutil::Slot;

TEST(HostInterfaceSlots, InstanceAndServices) {
  EXPECT_EQ(Slot(&IFlgInstance::RefreshObjectType), 5u);
  EXPECT_EQ(Slot(&IFlgInstance::GetObjectByNumber), 6u);
  EXPECT_LT(Slot(&IFlgInstance::GetObjectByNumber), Slot(&IFlgInstance::CheckRight));
  EXPECT_LT(Slot(&IFlgInstance::CheckRight), Slot(&IFlgInstance::ShowMessage));

  EXPECT_EQ(Slot(&IHxAppServices::GetImageRepository), 13u);
  EXPECT_EQ(Slot(&IHxAppServices::SetRefreshState), 14u);
  EXPECT_LT(Slot(&IHxAppServices::IsErpAvailable), Slot(&IHxAppServices::NotifyError));
  EXPECT_LT(Slot(&IHxAppServices::NotifyError), Slot(&IHxAppServices::NotifyWarning));
  EXPECT_LT(Slot(&IHxAppServices::NotifyWarning), Slot(&IHxAppServices::SetRefreshState));

  EXPECT_EQ(Slot(&IHxStatusWindow::IsCancelRequested), 21u);
  EXPECT_EQ(Slot(&IHxStatusWindow::ShowLine), 22u);
  EXPECT_EQ(Slot(&IHxStatusWindow::Refresh), 23u);
  EXPECT_EQ(Slot(&IHxStatusWindow::ShowSummary), 35u);

  EXPECT_EQ(Slot(&IHxStartCheck::GetAccountSites), 3u);
  EXPECT_EQ(Slot(&IHxStartCheck::CheckReady), 15u);
  EXPECT_LT(Slot(&IHxStartCheck::GetSelectedAccount), Slot(&IHxStartCheck::GetSelectedSite));
  EXPECT_LT(Slot(&IHxStartCheck::GetSelectedSite), Slot(&IHxStartCheck::GetSelectedAccountSite));
  EXPECT_LT(Slot(&IHxStartCheck::GetSelectedAccountSite), Slot(&IHxStartCheck::GetOwnerFilter));

  EXPECT_EQ(Slot(&IHxProgress::Open), 3u);
  EXPECT_EQ(Slot(&IHxProgress::Hide), 4u);
  EXPECT_EQ(Slot(&IHxProgress::SetMode), 5u);
  EXPECT_EQ(Slot(&IHxProgress::Step), 6u);
  EXPECT_EQ(Slot(&IHxProgress::Stop), 7u);
  EXPECT_EQ(Slot(&IHxProgress::SetText), 8u);

  EXPECT_LT(Slot(&IHxJobLogStore::StartJob), Slot(&IHxJobLogStore::EndJob));
  EXPECT_LT(Slot(&IHxJobLogStore::EndJob), Slot(&IHxJobLogStore::AddString));
  EXPECT_LT(Slot(&IHxJobLogStore::AddString), Slot(&IHxJobLogStore::DeleteAll));
  EXPECT_LT(Slot(&IHxJobLogStore::DeleteAll), Slot(&IHxJobLogStore::Started));
  EXPECT_LT(Slot(&IHxUser::GetUserName), Slot(&IHxUser::GetUserId));
  EXPECT_LT(Slot(&IFlgDataFactory::GetDbConnection), Slot(&IFlgDataFactory::GetConnectionObject));
  EXPECT_LT(Slot(&IFlgDataFactory::GetConnectionObject), Slot(&IFlgDataFactory::ReserveIds));
  EXPECT_EQ(Slot(&IHxImageRepository::GetPicture), 9u);
  EXPECT_EQ(Slot(&IHxImageRepository::EndTransaction), 18u);
  EXPECT_EQ(Slot(&IHxImageRepository::BeginTransaction), 22u);
  EXPECT_EQ(Slot(&IFlgSkin::LoadBitmap), 3u);
  EXPECT_EQ(Slot(&IFlgSkin::GetColor), 4u);
  EXPECT_EQ(Slot(&IFlgInstance::GetNavigation), 28u);
  EXPECT_EQ(Slot(&IHxNavigation::SwitchView), 9u);
  EXPECT_EQ(Slot(&IHxNavigation::GetActiveView), 10u);
  EXPECT_EQ(Slot(&IHxCustomerView::ShowCustomer), 3u);
  EXPECT_EQ(Slot(&ITodayWindow::GetInfoText), 3u);
  EXPECT_EQ(Slot(&ITodayWindow::GetInfoType), 5u);
}

TEST(HostInterfaceSlots, AccountExtensionInterfaces) {
  EXPECT_EQ(Slot(&LotrixRegistration::GetUsername), 7u);
  EXPECT_EQ(Slot(&LotrixRegistration::GetAccesskey), 9u);
  EXPECT_EQ(Slot(&LotrixRegistration::GetSvcProvId), 13u);
  EXPECT_EQ(Slot(&LotrixRegistration::GetSvcUserId), 15u);
  EXPECT_EQ(Slot(&LotrixRegistration::PutSvcUserId), 16u);
  EXPECT_EQ(Slot(&LotrixRegistration::GetCustData), 19u);
  EXPECT_EQ(Slot(&LotrixRegistration::GetSubData), 20u);
  EXPECT_EQ(Slot(&LotrixRegistration::GetValid), 21u);
  EXPECT_EQ(Slot(&LotrixRegistration::Save), 22u);
  EXPECT_EQ(Slot(&LotrixRegistration::GetErrorList), 23u);
  EXPECT_EQ(Slot(&LotrixRegistration::GetActive), 24u);
  EXPECT_EQ(Slot(&LotrixRegistration::GetConnectorValue), 28u);
  EXPECT_EQ(Slot(&LotrixRegistration::GetMyPageUrl), 30u);
  EXPECT_EQ(Slot(&LotrixRegistration::GetName), 31u);
  EXPECT_EQ(Slot(&LotrixRegistration::GetFullName), 33u);
  EXPECT_EQ(Slot(&LotrixRegistration::PutEmailId), 36u);
  EXPECT_EQ(Slot(&LotrixRegCustData::GetCount), 7u);
  EXPECT_EQ(Slot(&LotrixRegCustData::GetValue), 8u);
  EXPECT_EQ(Slot(&LotrixRegCustData::SetValue), 9u);
}

TEST(HostInterfaceSlots, FrameworkObjects) {
  EXPECT_EQ(Slot(&IFlgData::GetId), 3u);
  EXPECT_EQ(Slot(&IFlgDataSet::GetDataSet), 7u);
  EXPECT_EQ(Slot(&IFlgDataSet::AddSubRow), 8u);
  EXPECT_EQ(Slot(&IFlgDataSet::DeleteRow), 13u);
  EXPECT_EQ(Slot(&IFlgDataSetup::GetTempKey), 10u);
  EXPECT_EQ(Slot(&IFlgDataSetup::GetSecondDataSet), 12u);
  EXPECT_EQ(Slot(&IFlgDataSetup::SetSecondDataSet), 13u);
  EXPECT_EQ(Slot(&IFlgDataSetup::GetPendingNotification), 17u);
  EXPECT_EQ(Slot(&IFlgDataCallback::OnSaved), 10u);
  EXPECT_EQ(Slot(&IFlgDataCallback::RunPendingNotification), 11u);
  EXPECT_EQ(Slot(&IFlgItem::GetClassID), 3u);
  EXPECT_EQ(Slot(&IFlgItem::InitNew), 4u);
  EXPECT_EQ(Slot(&IFlgItem::Load), 5u);
  EXPECT_EQ(Slot(&IFlgItem::BeginEdit), 7u);
  EXPECT_EQ(Slot(&IFlgItem::EndEdit), 8u);
  EXPECT_EQ(Slot(&IFlgItem::Save), 9u);
  EXPECT_EQ(Slot(&IFlgItem::Check), 10u);
  EXPECT_EQ(Slot(&IFlgItem::Delete), 11u);
  EXPECT_EQ(Slot(&IFlgItem::GetErrorText), 13u);
  EXPECT_EQ(Slot(&IFlgItem::SetUseTransaction), 16u);
  EXPECT_EQ(Slot(&IFlgItem::GetCallbackValue), 20u);
  EXPECT_EQ(Slot(&IFlgItemView::ShowReadOnly), 5u);
  EXPECT_EQ(Slot(&IHxTemplateView::ShowReadOnly), 5u);
  EXPECT_EQ(Slot(&IFlgItemView::Show), 6u);
  EXPECT_EQ(Slot(&IFlgItemView::ShowExtra), 8u);
  EXPECT_EQ(Slot(&IFlgText::GetLong), 4u);
  EXPECT_EQ(Slot(&IFlgText::GetSql), 5u);
  EXPECT_EQ(Slot(&IFlgObjectExtension::OnInsert), 3u);
  EXPECT_EQ(Slot(&IFlgObjectExtension::OnCopy), 4u);
  EXPECT_EQ(Slot(&IFlgObjectExtension::OnUpdate), 5u);
  EXPECT_EQ(Slot(&IFlgObjectExtension::OnDelete), 6u);
}

TEST(HostInterfaceSlots, BusinessObjects) {
  EXPECT_EQ(Slot(&IHxTransaction::GetIsGroup), 3u);
  EXPECT_EQ(Slot(&IHxTransaction::GetPayment), 9u);
  EXPECT_EQ(Slot(&IHxTransaction::GetCustomerId), 13u);
  EXPECT_EQ(Slot(&IHxTransaction::GetAddressLocked), 21u);
  EXPECT_EQ(Slot(&IHxTransaction::GetAllLocked), 22u);
  EXPECT_EQ(Slot(&IHxTransaction::GetRemittanceDate), 33u);
  EXPECT_EQ(Slot(&IHxTransaction::GetPaid), 38u);
  EXPECT_EQ(Slot(&IHxTransaction::GetSentAll), 40u);
  EXPECT_EQ(Slot(&IHxTransaction::GetItemsSent), 41u);
  EXPECT_EQ(Slot(&IHxTransaction::GetCompletionState), 42u);
  EXPECT_EQ(Slot(&IHxTransaction::GetBaseCurrency), 44u);
  EXPECT_EQ(Slot(&IHxTransaction::GetPaymentCurrency), 45u);
  EXPECT_EQ(Slot(&IHxTransaction::GetAccountId), 58u);
  EXPECT_EQ(Slot(&IHxTransaction::GetAddress), 69u);
  EXPECT_EQ(Slot(&IHxTransaction::GetDocumentLink), 72u);
  EXPECT_EQ(Slot(&IHxTransaction::GetPositions), 73u);
  EXPECT_EQ(Slot(&IHxTransaction::GetPositionData), 74u);
  EXPECT_EQ(Slot(&IHxTransaction::GetDisplayText), 75u);
  EXPECT_EQ(Slot(&IHxTransaction::GetBuyDate), 85u);
  EXPECT_EQ(Slot(&IHxTransaction::GetAuctionLink), 96u);
  EXPECT_EQ(Slot(&IHxTransaction::PutStatusPageAddress), 101u);
  EXPECT_EQ(Slot(&IHxTransaction::GetAddressText), 102u);
  EXPECT_EQ(Slot(&IHxTransaction::PutStatusDataModified), 104u);
  EXPECT_EQ(Slot(&IHxTransaction::GetStatusPageId), 105u);
  EXPECT_EQ(Slot(&IHxTransaction::PutStatusPageId), 106u);
  EXPECT_EQ(Slot(&IHxTransaction::GetBuyerDataTrusted), 107u);
  EXPECT_EQ(Slot(&IHxTransaction::PutBuyerDataTrusted), 108u);
  EXPECT_EQ(Slot(&IHxTransaction::GetBuyerDataAcknowledged), 109u);
  EXPECT_EQ(Slot(&IHxTransaction::PutBuyerDataAcknowledged), 110u);
  EXPECT_EQ(Slot(&IHxTransaction::PutBuyerEntryDate), 112u);
  EXPECT_EQ(Slot(&IHxTransaction::GetNotes), 113u);
  EXPECT_EQ(Slot(&IHxTransaction::PutNotes), 114u);
  EXPECT_EQ(Slot(&IHxTransaction::PutStatusReceiveState), 120u);
  EXPECT_EQ(Slot(&IHxTransaction::CreateBuyerMessage), 121u);
  EXPECT_EQ(Slot(&IHxTransaction::ClearStatusPageInfo), 122u);
  EXPECT_EQ(Slot(&IHxTransaction::PutStatusSendState), 124u);

  // The purchase store's seventeen operations, in order, in the free slots 14 to 20 and 23 to 32.
  EXPECT_EQ(Slot(&ITransaction::PutName), 14u);
  EXPECT_EQ(Slot(&ITransaction::PutDeliveryOptions), 15u);
  EXPECT_EQ(Slot(&ITransaction::PutCustomerId), 16u);
  EXPECT_EQ(Slot(&ITransaction::PutAuctionId), 17u);
  EXPECT_EQ(Slot(&ITransaction::PutRegId), 18u);
  EXPECT_EQ(Slot(&ITransaction::PutRegSiteId), 19u);
  EXPECT_EQ(Slot(&ITransaction::PutDate), 20u);
  EXPECT_EQ(Slot(&ITransaction::PutCurrency), 23u);
  EXPECT_EQ(Slot(&ITransaction::PutValueCurrency), 24u);
  EXPECT_EQ(Slot(&ITransaction::AddProductPosition), 25u);
  EXPECT_EQ(Slot(&ITransaction::AddNamedPosition), 26u);
  EXPECT_EQ(Slot(&ITransaction::PutOriginal), 27u);
  EXPECT_EQ(Slot(&ITransaction::PutOrigQuantity), 28u);
  EXPECT_EQ(Slot(&ITransaction::PutKind), 29u);
  EXPECT_EQ(Slot(&ITransaction::PutDeliveryMethod), 30u);
  EXPECT_EQ(Slot(&ITransaction::PutAuctionOwnerId), 31u);
  EXPECT_EQ(Slot(&ITransaction::PutRemainder), 32u);

  EXPECT_EQ(Slot(&ICustomer::GetAddress), 3u);
  EXPECT_EQ(Slot(&ICustomer::GetPhones), 4u);
  EXPECT_EQ(Slot(&ICustomer::PutEmail), 5u);
  EXPECT_EQ(Slot(&ICustomer::PutPhone), 6u);
  EXPECT_EQ(Slot(&IHxCustomer::GetDisplayName), 16u);
  EXPECT_EQ(Slot(&IHxCustomer::GetServiceUserId), 37u);
  EXPECT_EQ(Slot(&IHxAuction::GetNumber), 17u);
  EXPECT_EQ(Slot(&IHxAuction::GetServiceId), 64u);
  // The provider's auction object: the state getter at 15 (read after a send) and the store's
  // operations in their order around it, 12 to 14 and 16, then 18 to 42.
  EXPECT_EQ(Slot(&IAuctionObject::GetState), 15u);
  EXPECT_EQ(Slot(&IAuction::GetTitle), 12u);
  EXPECT_EQ(Slot(&IAuction::PutTitle), 13u);
  EXPECT_EQ(Slot(&IAuction::PutOwnerUserId), 14u);
  EXPECT_EQ(Slot(&IAuction::PutState), 16u);
  {
    const std::size_t order[] = {
        Slot(&IAuction::PutNumber),      Slot(&IAuction::PutCategory),     Slot(&IAuction::PutQuantity),
        Slot(&IAuction::PutStartPrice),  Slot(&IAuction::PutMinimumPrice), Slot(&IAuction::PutBuyNowPrice),
        Slot(&IAuction::PutStartDate),   Slot(&IAuction::PutDuration),     Slot(&IAuction::PutEndDate),
        Slot(&IAuction::PutHitCount),    Slot(&IAuction::PutPrice),        Slot(&IAuction::PutBidCount),
        Slot(&IAuction::PutFee),         Slot(&IAuction::PutCommission),   Slot(&IAuction::PutLocation),
        Slot(&IAuction::PutDescription), Slot(&IAuction::PutWatcherCount), Slot(&IAuction::PutSoldCount),
        Slot(&IAuction::PutCountry),     Slot(&IAuction::PutRegion),       Slot(&IAuction::GetImages),
        Slot(&IAuction::GetDeliveryOptions), Slot(&IAuction::PutHeaderFlag), Slot(&IAuction::PutPrivate),
        Slot(&IAuction::GetShopItem)};
    for (std::size_t i = 0; i < sizeof(order) / sizeof(order[0]); ++i) EXPECT_EQ(order[i], 18u + i) << i;
  }
  EXPECT_EQ(Slot(&IAuctionOptions::PutSaleType), 3u);
  EXPECT_EQ(Slot(&IAuctionOptions::PutEnhancements), 4u);
  EXPECT_EQ(Slot(&IAuctionOptions::PutPaymentOptions), 5u);
  EXPECT_EQ(Slot(&IAuctionOptions::PutShippingOptions), 6u);
  EXPECT_EQ(Slot(&IAuctionOptions::PutTransferCost), 7u);
  EXPECT_EQ(Slot(&IAuctionOptions::PutShippingCost), 8u);
  EXPECT_EQ(Slot(&IAuctionOptions::PutAdditionalInfo), 9u);
  EXPECT_EQ(Slot(&IAuctionOptions::PutTransferCostSet), 10u);
  EXPECT_EQ(Slot(&IAuctionOptions::PutShippingCostSet), 11u);
  EXPECT_EQ(Slot(&IAuctionImages::Contains), 3u);
  EXPECT_EQ(Slot(&IAuctionImages::Add), 4u);
  EXPECT_EQ(Slot(&IAuctionImages::Clear), 5u);
  // The auction's prepare step and the comment's extra data are one interface.
  EXPECT_EQ(Slot(&IAuctionObjectPrepare::PutExtra), 5u);
  EXPECT_EQ(Slot(&ICommentExtra::PutExtra), 5u);

  EXPECT_EQ(Slot(&IHxPackage::GetChargePresent), 9u);
  EXPECT_EQ(Slot(&IHxPackage::GetCharge), 15u);
  EXPECT_EQ(Slot(&IHxPackage::GetItemCount), 16u);
  EXPECT_EQ(Slot(&IHxPackage::GetItemName), 18u);
  EXPECT_EQ(Slot(&IHxPackage::GetItemPrice), 19u);
  EXPECT_EQ(Slot(&IHxPackage::GetItemQuantity), 20u);
  EXPECT_EQ(Slot(&IHxPackage::Recompute), 26u);
  EXPECT_EQ(Slot(&IHxPackage::GetSendDate), 35u);
  EXPECT_EQ(Slot(&IHxPackage::GetSymbol), 43u);
  EXPECT_EQ(Slot(&IHxPackage::GetChargeCurrency), 47u);
  EXPECT_EQ(Slot(&IHxPackage::GetTrackingLink), 49u);
  EXPECT_EQ(Slot(&IHxPackage::GetModified), 63u);
  EXPECT_EQ(Slot(&IHxPackage::PutModified), 64u);

  // Getters at 4, 6, 8, 10, 12, 14, 17, 19 and the matching puts one slot later.
  EXPECT_EQ(Slot(&IHxAddress::GetSkipBilling), 3u);
  EXPECT_EQ(Slot(&IHxAddress::GetName), 4u);
  EXPECT_EQ(Slot(&IHxAddress::PutName), 5u);
  EXPECT_EQ(Slot(&IHxAddress::GetFirstLine), 6u);
  EXPECT_EQ(Slot(&IHxAddress::PutSecondLine), 9u);
  EXPECT_EQ(Slot(&IHxAddress::GetZipCode), 10u);
  EXPECT_EQ(Slot(&IHxAddress::GetCity), 12u);
  EXPECT_EQ(Slot(&IHxAddress::GetCountry), 14u);
  EXPECT_EQ(Slot(&IHxAddress::PutCountry), 15u);
  EXPECT_EQ(Slot(&IHxAddress::GetCompany), 17u);
  EXPECT_EQ(Slot(&IHxAddress::PutCompany), 18u);
  EXPECT_EQ(Slot(&IHxAddress::GetTaxNumber), 19u);
  EXPECT_EQ(Slot(&IHxAddress::PutTaxNumber), 20u);

  // A customer's address: name, street, postcode, city, country name, company.
  EXPECT_EQ(Slot(&ICustomerAddress::PutName), 5u);
  EXPECT_EQ(Slot(&ICustomerAddress::PutFirstLine), 7u);
  EXPECT_EQ(Slot(&ICustomerAddress::PutZipCode), 11u);
  EXPECT_EQ(Slot(&ICustomerAddress::PutCity), 13u);
  EXPECT_EQ(Slot(&ICustomerAddress::PutCountry), 15u);
  EXPECT_EQ(Slot(&ICustomerAddress::PutCompany), 18u);

  EXPECT_EQ(Slot(&ITransactionComment::PutReceivedComment), 3u);
  EXPECT_EQ(Slot(&ITransactionComment::PutReceivedScore), 5u);
  EXPECT_EQ(Slot(&ITransactionComment::PutSentComment), 6u);
  EXPECT_EQ(Slot(&ITransactionComment::PutSentExternalId), 9u);

  EXPECT_EQ(Slot(&IHxDocumentLink::GetDocumentId), 5u);
  EXPECT_EQ(Slot(&IHxDocumentLink::GetDocumentKind), 7u);
  EXPECT_EQ(Slot(&IHxPositionCursor::MoveFirst), 3u);
  EXPECT_EQ(Slot(&IHxPositionCursor::IsEOF), 4u);
  EXPECT_EQ(Slot(&IHxPositionCursor::MoveNext), 5u);
  EXPECT_EQ(Slot(&IHxPositionCursor::GetKey), 6u);
}

TEST(HostInterfaceIds, IdentitiesAsTheHostGivesThem) {
  wchar_t text[64];
  StringFromGUID2(__uuidof(IFlgInstance), text, 64);
  EXPECT_STREQ(text, L"{A77B4B28-58E5-46AC-9858-C4050FA96FC3}");
  StringFromGUID2(__uuidof(IHxCustomerView), text, 64);
  EXPECT_STREQ(text, L"{BBFFC18C-B995-4A99-885E-4943346ACEB4}");
  StringFromGUID2(__uuidof(HxJobLogStore), text, 64);
  EXPECT_STREQ(text, L"{CC0B65F2-74BB-43DC-A298-1649CECA6C3D}");
  StringFromGUID2(__uuidof(IHxProgressNotice), text, 64);
  EXPECT_STREQ(text, L"{51A08CB3-776A-4694-8C36-7CA84B6D953D}");
  StringFromGUID2(__uuidof(HxTransaction), text, 64);
  EXPECT_STREQ(text, L"{877954DB-3987-43A3-8B8B-71555EA5C698}");
  // The provider's auction object is the host's auction interface; the comment's extra data is
  // the auction's prepare interface.
  StringFromGUID2(__uuidof(IAuctionObject), text, 64);
  EXPECT_STREQ(text, L"{0547694B-5950-4480-846F-98A03D148215}");
  StringFromGUID2(__uuidof(ICommentExtra), text, 64);
  EXPECT_STREQ(text, L"{73FE2789-F1B8-4506-9ADD-62D50C694F5C}");
}

}  // namespace
