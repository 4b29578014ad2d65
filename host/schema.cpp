// The product database schema in SQL Server's dialect; the ADO layer reads it on SQLite as well.
// Keys come from the key table (ReserveIds), so no column depends on server-side numbering.
#include "host/schema.h"

#include <string>

namespace host {
namespace {

const std::vector<SchemaStep> kSteps = {
    {1,
     {
         L"CREATE TABLE kd_SchemaVersion (sv_Version int NOT NULL PRIMARY KEY, "
         L"sv_Applied datetime NULL)",
         // Consecutive keys per table, handed out by the data factory's ReserveIds.
         L"CREATE TABLE kd_keys (ki_Table nvarchar(128) NOT NULL PRIMARY KEY, ki_NextId int NOT NULL)",
         // Per-key counters of CHxAutoNumberList.
         L"CREATE TABLE kd_counter (cn_Object int NOT NULL, cn_Key int NOT NULL, "
         L"cn_MaxNumber int NOT NULL, PRIMARY KEY (cn_Object, cn_Key))",
         // Auction-service providers and the ProgIDs of their plug-in objects.
         L"CREATE TABLE sl_ServiceProvider (ss_Id int NOT NULL PRIMARY KEY, ss_Name nvarchar(100) NULL, "
         L"ss_ProgId nvarchar(255) NULL, ss_AuctionProgId nvarchar(255) NULL, "
         L"ss_TemplateProgId nvarchar(255) NULL)",
         // Users of the host and their rights; user 1, the administrator, holds every right.
         L"CREATE TABLE kd_User (us_Id int NOT NULL PRIMARY KEY, us_Name nvarchar(50) NOT NULL)",
         L"CREATE TABLE kd_UserRight (ur_UserId int NOT NULL, ur_Right int NOT NULL, "
         L"PRIMARY KEY (ur_UserId, ur_Right))",
         L"INSERT INTO kd_User (us_Id, us_Name) VALUES (1, 'Szef')",
         L"INSERT INTO kd_keys (ki_Table, ki_NextId) VALUES ('kd_User', 2)",
         // Data parameters (object 5000) and program parameters (object 5004): one row each.
         L"CREATE TABLE kd_DataParams (pd_Id int NOT NULL PRIMARY KEY, "
         L"pd_BaseCurrency nvarchar(3) NULL, pd_IR_ThumbnailCX int NULL, pd_IR_ThumbnailCY int NULL)",
         L"INSERT INTO kd_DataParams (pd_Id, pd_BaseCurrency, pd_IR_ThumbnailCX, pd_IR_ThumbnailCY) "
         L"VALUES (1, 'PLN', 150, 150)",
         L"CREATE TABLE kd_ProgramParams (pa_Id int NOT NULL PRIMARY KEY, "
         L"pa_AuctionsReceiveDialog bit NOT NULL DEFAULT 1, pa_AuctionsSendDialog bit NOT NULL DEFAULT 1, "
         L"pa_AuctSyncTransaction bit NOT NULL DEFAULT 1, pa_AuctSyncFeedback bit NOT NULL DEFAULT 1, "
         L"pa_AuctSyncFeedbackMax int NOT NULL DEFAULT 0, pa_AuctSyncSellAuction bit NOT NULL DEFAULT 1, "
         L"pa_AuctSyncSoldAuction bit NOT NULL DEFAULT 1, pa_AuctSyncNotSoldAuction bit NOT NULL DEFAULT 1, "
         L"pa_AuctSyncFullAuctionData int NOT NULL DEFAULT 1, "
         L"pa_AuctSyncReceiveCurReg bit NOT NULL DEFAULT 0, pa_AuctSyncUseJournal bit NOT NULL DEFAULT 0, "
         L"pa_AuctSyncSendCurReg bit NOT NULL DEFAULT 0, pa_AuctSyncSendImgMaxSize int NOT NULL DEFAULT 0, "
         L"pa_AuctSyncSendImgMaxLen int NOT NULL DEFAULT 0)",
         L"INSERT INTO kd_ProgramParams (pa_Id) VALUES (1)",
     }},
    {2,
     {
         // The job log: one row per job, its dated lines beside it.
         L"CREATE TABLE kd_JobLog (jl_Id int NOT NULL PRIMARY KEY, jl_Type int NOT NULL, "
         L"jl_Subtype int NOT NULL, jl_Start datetime NOT NULL, jl_End datetime NULL, "
         L"jl_Count int NULL, jl_Result int NULL, jl_UserId int NULL)",
         L"CREATE TABLE kd_JobLogLine (jll_Id int NOT NULL PRIMARY KEY, jll_JobId int NOT NULL, "
         L"jll_Time datetime NOT NULL, jll_Status int NOT NULL, jll_Text nvarchar(4000) NULL)",
         L"CREATE INDEX ix_JobLogLine_Job ON kd_JobLogLine (jll_JobId, jll_Id)",
         // Locks of database objects between workstations: a row per held lock.
         L"CREATE TABLE kd_blokada (obid int NOT NULL, obextra int NOT NULL, obtype int NOT NULL, "
         L"workstation nvarchar(16) NULL, username nvarchar(50) NULL, "
         L"PRIMARY KEY (obid, obextra, obtype))",
         // Host settings by section and key.
         L"CREATE TABLE kd_Setting (st_Section nvarchar(100) NOT NULL, st_Key nvarchar(100) NOT NULL, "
         L"st_Value nvarchar(4000) NULL, PRIMARY KEY (st_Section, st_Key))",
     }},
    {3,
     {
         // The host's e-mail addresses (accounts may name one); a locked address is not handled.
         L"CREATE TABLE kd_EmailAddress (em_Id int NOT NULL PRIMARY KEY, em_Address nvarchar(255) NOT NULL, "
         L"em_Name nvarchar(255) NULL, em_Locked bit NOT NULL DEFAULT 0)",
     }},
    {4,
     {
         // Data definitions of the HTML preview (object type, definition XML) and their
         // stylesheets; a type without a stylesheet row is shown through the default one.
         L"CREATE TABLE vx_Definicja (vxd_Id int NOT NULL PRIMARY KEY, vxd_ObiektId int NOT NULL, "
         L"vxd_Definicja ntext NULL)",
         L"CREATE INDEX ix_Definicja_Obiekt ON vx_Definicja (vxd_ObiektId)",
         L"CREATE TABLE vx_Transformacja (vxt_Id int NOT NULL PRIMARY KEY, vxt_ObiektId int NOT NULL, "
         L"vxt_Transformacja ntext NULL)",
         L"CREATE INDEX ix_Transformacja_Obiekt ON vx_Transformacja (vxt_ObiektId, vxt_Id)",
         // Object 1: a user with the rights granted to it, shown by a stylesheet of its own.
         L"INSERT INTO vx_Definicja (vxd_Id, vxd_ObiektId, vxd_Definicja) VALUES (1, 1, N'"
         L"<def:schema xmlns:def=\"http://www.vantor.example/VXSchemas/xml-def.xsd\">\n"
         L"  <def:name>Użytkownik</def:name>\n"
         L"  <def:data>\n"
         L"    <def:sql>SELECT us_Id, us_Name, CASE WHEN us_Id = 1 THEN 1 ELSE 0 END AS us_Admin "
         L"FROM kd_User WHERE us_Id = %1</def:sql>\n"
         L"    <def:param idx=\"1\" name=\"id\">0</def:param>\n"
         L"    <def:element name=\"uzytkownik\">\n"
         L"      <def:attribute name=\"id\" src=\"us_Id\"/>\n"
         L"      <def:element name=\"nazwa\" src=\"us_Name\"/>\n"
         L"      <def:element name=\"administrator\" cond=\"us_Admin\" val=\"tak\"/>\n"
         L"      <def:element name=\"uprawnienia\">\n"
         L"        <def:data>\n"
         L"          <def:sql>SELECT ur_Right FROM kd_UserRight WHERE ur_UserId = %1 ORDER BY ur_Right</def:sql>\n"
         L"          <def:param idx=\"1\">us_Id</def:param>\n"
         L"          <def:element name=\"prawo\" src=\"ur_Right\"/>\n"
         L"        </def:data>\n"
         L"      </def:element>\n"
         L"    </def:element>\n"
         L"  </def:data>\n"
         L"</def:schema>')",
         L"INSERT INTO vx_Transformacja (vxt_Id, vxt_ObiektId, vxt_Transformacja) VALUES (1, 1, N'"
         L"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">\n"
         L"  <xsl:output method=\"html\" encoding=\"UTF-8\"/>\n"
         L"  <xsl:template match=\"/\">\n"
         L"    <html>\n"
         L"      <head><title>Użytkownik</title></head>\n"
         L"      <body style=\"font-family: Tahoma, Arial, sans-serif; font-size: 10pt\">\n"
         L"        <xsl:for-each select=\"uzytkownik\">\n"
         L"          <h1>Użytkownik <xsl:value-of select=\"nazwa\"/></h1>\n"
         L"          <p>Numer: <xsl:value-of select=\"@id\"/></p>\n"
         L"          <xsl:if test=\"administrator\"><p>Administrator programu: ma wszystkie uprawnienia.</p></xsl:if>\n"
         L"          <xsl:choose>\n"
         L"            <xsl:when test=\"uprawnienia/prawo\">\n"
         L"              <p>Nadane uprawnienia:</p>\n"
         L"              <ul><xsl:for-each select=\"uprawnienia/prawo\"><li><xsl:value-of select=\".\"/></li></xsl:for-each></ul>\n"
         L"            </xsl:when>\n"
         L"            <xsl:otherwise><p>Brak osobno nadanych uprawnień.</p></xsl:otherwise>\n"
         L"          </xsl:choose>\n"
         L"        </xsl:for-each>\n"
         L"        <xsl:if test=\"not(uzytkownik)\"><p>Nie ma takiego użytkownika.</p></xsl:if>\n"
         L"      </body>\n"
         L"    </html>\n"
         L"  </xsl:template>\n"
         L"</xsl:stylesheet>')",
         // Object 2: a job of the job log with its lines, shown by the default stylesheet.
         L"INSERT INTO vx_Definicja (vxd_Id, vxd_ObiektId, vxd_Definicja) VALUES (2, 2, N'"
         L"<def:schema xmlns:def=\"http://www.vantor.example/VXSchemas/xml-def.xsd\">\n"
         L"  <def:name>Zadanie dziennika</def:name>\n"
         L"  <def:data>\n"
         L"    <def:sql>SELECT jl_Id, jl_Type, jl_Subtype, CONVERT(varchar(19), jl_Start, 120) AS jl_Start, "
         L"CONVERT(varchar(19), jl_End, 120) AS jl_End, jl_Count, jl_Result FROM kd_JobLog WHERE jl_Id = %1</def:sql>\n"
         L"    <def:param idx=\"1\" name=\"id\">0</def:param>\n"
         L"    <def:element name=\"zadanie\">\n"
         L"      <def:attribute name=\"numer\" src=\"jl_Id\"/>\n"
         L"      <def:element name=\"rodzaj\" src=\"jl_Type\"/>\n"
         L"      <def:element name=\"podrodzaj\" src=\"jl_Subtype\"/>\n"
         L"      <def:element name=\"poczatek\" src=\"jl_Start\"/>\n"
         L"      <def:element name=\"koniec\" src=\"jl_End\"/>\n"
         L"      <def:element name=\"liczba\" src=\"jl_Count\"/>\n"
         L"      <def:element name=\"wynik\" src=\"jl_Result\"/>\n"
         L"      <def:element name=\"wiersze\">\n"
         L"        <def:data>\n"
         L"          <def:sql>SELECT CONVERT(varchar(19), jll_Time, 120) AS jll_Time, jll_Status, jll_Text "
         L"FROM kd_JobLogLine WHERE jll_JobId = %1 ORDER BY jll_Id</def:sql>\n"
         L"          <def:param idx=\"1\">jl_Id</def:param>\n"
         L"          <def:element name=\"wiersz\">\n"
         L"            <def:attribute name=\"status\" src=\"jll_Status\"/>\n"
         L"            <def:element name=\"czas\" src=\"jll_Time\"/>\n"
         L"            <def:element name=\"tekst\" src=\"jll_Text\"/>\n"
         L"          </def:element>\n"
         L"        </def:data>\n"
         L"      </def:element>\n"
         L"    </def:element>\n"
         L"  </def:data>\n"
         L"</def:schema>')",
         L"INSERT INTO kd_keys (ki_Table, ki_NextId) VALUES ('vx_Definicja', 3)",
         L"INSERT INTO kd_keys (ki_Table, ki_NextId) VALUES ('vx_Transformacja', 2)",
     }},
    {5,
     {
         // Auction-site accounts, and the seller-zone registration id of those that have one.
         L"CREATE TABLE reg__Registration (reg_Id int NOT NULL PRIMARY KEY, reg_SvcProvId int NULL, "
         L"reg_SvcUserId bigint NULL, reg_Username nvarchar(100) NOT NULL, reg_Accesskey nvarchar(255) NULL, "
         L"reg_Description nvarchar(255) NULL, reg_Version nvarchar(50) NULL, reg_Active bit NOT NULL DEFAULT 1, "
         L"reg_HasShop bit NOT NULL DEFAULT 0, reg_Name nvarchar(100) NULL, reg_FullName nvarchar(255) NULL, "
         L"reg_EmailId int NULL, reg_ST_StatusesServiceActive bit NOT NULL DEFAULT 0, "
         L"reg_ST_ShowDocumentAddressForm bit NOT NULL DEFAULT 0, reg_ST_ShowDeliveryAddressForm bit NOT NULL DEFAULT 0, "
         L"reg_ST_Description nvarchar(500) NULL, reg_ST_WWW nvarchar(255) NULL, reg_ST_LastSynch datetime NULL)",
         L"CREATE TABLE kd_SellerZoneAccount (sz_RegId int NOT NULL PRIMARY KEY, sz_RegistrationId nvarchar(100) NULL)",
         // Buyers.
         L"CREATE TABLE cs__Customer (cs_Id int NOT NULL PRIMARY KEY, cs_Name nvarchar(129) NULL, "
         L"cs_Surname nvarchar(64) NULL, cs_Nick nvarchar(50) NULL, cs_Company nvarchar(255) NULL, "
         L"cs_ExtServiceId bigint NULL, cs_Rank int NULL, cs_SvcProvId int NULL, cs_Activated bit NULL, "
         L"cs_Email nvarchar(255) NULL, cs_Phone nvarchar(50) NULL, cs_AddressName nvarchar(129) NULL, "
         L"cs_Street nvarchar(64) NULL, cs_Postcode nvarchar(32) NULL, cs_City nvarchar(64) NULL, "
         L"cs_CountryName nvarchar(50) NULL)",
         L"CREATE INDEX ix_Customer_Service ON cs__Customer (cs_SvcProvId, cs_ExtServiceId)",
         // Auctions.
         L"CREATE TABLE au__Auction (au_Id int NOT NULL PRIMARY KEY, au_Number nvarchar(50) NULL, "
         L"au_Title nvarchar(255) NULL, au_UserId int NULL, au_RegId int NULL, au_SiteId int NULL, "
         L"au_RegSiteId int NULL, au_SvcProvId int NULL, au_CatId int NULL, au_ProductId int NULL, "
         L"au_State int NULL, au_Quantity int NULL, au_SoldCount int NULL, au_StartPrice money NULL, "
         L"au_MinPrice money NULL, au_BuyNowPrice money NULL, au_Price money NULL, au_Fee money NULL, "
         L"au_Commission money NULL, au_StartDate datetime NULL, au_Duration int NULL, au_EndDate datetime NULL, "
         L"au_BidCount int NULL, au_HitCount int NULL, au_WatcherCount int NULL, au_Location nvarchar(100) NULL, "
         L"au_Country int NULL, au_Region int NULL, au_Private bit NULL, au_ShopItem bit NULL, "
         L"au_Description ntext NULL)",
         L"CREATE INDEX ix_Auction_Number ON au__Auction (au_Number, au_RegId)",
         // Transactions: the purchase, its seller-zone status page and what the page exchanges.
         L"CREATE TABLE tr__Transaction (tr_Id int NOT NULL PRIMARY KEY, tr_Name nvarchar(255) NULL, "
         L"tr_CustomerId int NULL, tr_AuctionId int NULL, tr_RegId int NULL, tr_RegSiteId int NULL, "
         L"tr_AuctionOwnerId int NULL, tr_Date datetime NULL, tr_CreationDate datetime NULL, "
         L"tr_LastModified datetime NULL, tr_Currency nvarchar(3) NULL, tr_ValueCurrency nvarchar(3) NULL, "
         L"tr_Kind int NULL, tr_KindDetail int NULL, tr_Original int NULL, tr_OrigQuantity int NULL, "
         L"tr_Remainder bit NOT NULL DEFAULT 0, tr_DeliveryMethod int NULL, tr_Payment money NULL, "
         L"tr_Paid bit NOT NULL DEFAULT 0, tr_RemittanceDate datetime NULL, tr_SentAll bit NOT NULL DEFAULT 0, "
         L"tr_ItemsSent bit NOT NULL DEFAULT 0, tr_Complete int NOT NULL DEFAULT 0, "
         L"tr_AddressLocked bit NOT NULL DEFAULT 0, tr_AllLocked bit NOT NULL DEFAULT 0, "
         L"tr_ErpDocumentId int NULL, tr_ErpDocumentKind int NULL, tr_Group bit NOT NULL DEFAULT 0, "
         L"tr_Grouped bit NOT NULL DEFAULT 0, tr_StatusPageId int NULL, tr_StatusPageAddress nvarchar(255) NULL, "
         L"tr_StatusDisabled bit NOT NULL DEFAULT 0, tr_StatusNotSupported bit NOT NULL DEFAULT 0, "
         L"tr_StatusDataModified bit NOT NULL DEFAULT 0, tr_StatusBuyerEntryDate datetime NULL, "
         L"tr_StatusBuyerDataTrusted smallint NULL, tr_StatusBuyerDataAcknowledged bit NULL, "
         L"tr_StatusNotes nvarchar(4000) NULL, tr_StatusReceiveState int NOT NULL DEFAULT 0, "
         L"tr_StatusSendState int NOT NULL DEFAULT 0)",
         L"CREATE INDEX ix_Transaction_Account ON tr__Transaction (tr_RegId, tr_StatusPageId)",
         L"CREATE INDEX ix_Transaction_Auction ON tr__Transaction (tr_AuctionId, tr_CustomerId)",
         // A transaction's billing/document (kind 3) and delivery (kind 2) addresses.
         L"CREATE TABLE tr_Address (ta_Id int NOT NULL PRIMARY KEY, ta_TransId int NOT NULL, ta_Kind int NOT NULL, "
         L"ta_Name nvarchar(129) NULL, ta_FirstLine nvarchar(64) NULL, ta_SecondLine nvarchar(64) NULL, "
         L"ta_ZipCode nvarchar(16) NULL, ta_City nvarchar(64) NULL, ta_Country nvarchar(50) NULL, "
         L"ta_Company nvarchar(255) NULL, ta_TaxNumber nvarchar(15) NULL, ta_SkipBilling bit NOT NULL DEFAULT 0)",
         L"CREATE INDEX ix_Address_Transaction ON tr_Address (ta_TransId, ta_Kind)",
         // A transaction's item positions.
         L"CREATE TABLE tr_Position (tp_Id int NOT NULL PRIMARY KEY, tp_TransId int NOT NULL, tp_Order int NULL, "
         L"tp_ProductId int NULL, tp_Name nvarchar(255) NULL, tp_Quantity money NULL, tp_Price money NULL)",
         L"CREATE INDEX ix_Position_Transaction ON tr_Position (tp_TransId, tp_Order)",
         // Transaction groups: the group's members.
         L"CREATE TABLE tr_Group (tg_Id int NOT NULL PRIMARY KEY, tg_TransId int NOT NULL, "
         L"tg_PrimaryTransId int NOT NULL)",
         // The status pages of transactions, kept so that the page of a deleted one can be closed.
         L"CREATE TABLE tr_TransStatus (ts_Id int NOT NULL PRIMARY KEY, ts_TransId int NOT NULL, "
         L"ts_TransRegId int NULL, ts_PageId int NOT NULL, ts_ClosePage int NOT NULL DEFAULT 1)",
         // Packages of a transaction and their items.
         L"CREATE TABLE pc__Package (pc_Id int NOT NULL PRIMARY KEY, pc_TransId int NOT NULL, pc_RegId int NULL, "
         L"pc_Symbol nvarchar(50) NULL, pc_TrackingLink nvarchar(255) NULL, pc_Charge money NULL, "
         L"pc_ChargeCurrency nvarchar(3) NULL, pc_SendDate datetime NULL, pc_Value money NULL, "
         L"pc_StatusDataModified bit NOT NULL DEFAULT 0)",
         L"CREATE INDEX ix_Package_Transaction ON pc__Package (pc_TransId)",
         L"CREATE TABLE pc_PackageItem (pi_Id int NOT NULL PRIMARY KEY, pi_PackageId int NOT NULL, pi_Order int NULL, "
         L"pi_Name nvarchar(255) NULL, pi_Quantity int NULL, pi_Price money NULL)",
         // The host's connection settings (record 1): the system's proxy unless told otherwise.
         L"CREATE TABLE kd_ConnectionSettings (cn_Id int NOT NULL PRIMARY KEY, cn_UseSystem bit NOT NULL DEFAULT 1, "
         L"cn_ProxyHost nvarchar(255) NULL, cn_ProxyPort int NULL, cn_ProxyUser nvarchar(100) NULL, "
         L"cn_ProxyPassword nvarchar(100) NULL)",
         L"INSERT INTO kd_ConnectionSettings (cn_Id, cn_UseSystem) VALUES (1, 1)",
     }},
    {6,
     {
         // Auction sites as this database knows them: the site's own number at its service beside
         // the local key that the other tables name.
         L"CREATE TABLE st__Site (st_Id int NOT NULL PRIMARY KEY, st_SiteId int NOT NULL, st_SvcProvId int NOT NULL, "
         L"st_Name nvarchar(100) NULL, st_Currency nvarchar(3) NULL)",
         L"CREATE UNIQUE INDEX ix_Site_Service ON st__Site (st_SiteId, st_SvcProvId)",
         // A site's categories (cat_SiteId: the local site row), the account's own ones with cat_RegId.
         L"CREATE TABLE st_Category (cat_Id int NOT NULL PRIMARY KEY, cat_CatId int NOT NULL, cat_Name nvarchar(100) NULL, "
         L"cat_ParentId int NOT NULL DEFAULT 0, cat_SiteId int NOT NULL, cat_Position int NULL, "
         L"cat_Expired bit NOT NULL DEFAULT 0, cat_Leaf bit NULL, cat_Virtual bit NULL, cat_RegId int NULL)",
         L"CREATE INDEX ix_Category_Parent ON st_Category (cat_SiteId, cat_ParentId)",
         L"CREATE INDEX ix_Category_Category ON st_Category (cat_SiteId, cat_CatId)",
         // The site dictionaries, by the site's own number and its service provider.
         L"CREATE TABLE st_Country (sc_Id int NOT NULL PRIMARY KEY, sc_Name nvarchar(255) NULL, sc_Code nvarchar(50) NULL, "
         L"sc_Ident int NULL, sc_Expired bit NOT NULL DEFAULT 0, sc_SvcProvId int NOT NULL, sc_SiteId int NOT NULL)",
         L"CREATE INDEX ix_Country_Site ON st_Country (sc_SiteId, sc_SvcProvId)",
         L"CREATE TABLE st_Region (sr_Id int NOT NULL PRIMARY KEY, sr_Name nvarchar(255) NULL, sr_Code nvarchar(50) NULL, "
         L"sr_Ident int NULL, sr_Expired bit NOT NULL DEFAULT 0, sr_SvcProvId int NOT NULL, sr_SiteId int NOT NULL)",
         L"CREATE INDEX ix_Region_Site ON st_Region (sr_SiteId, sr_SvcProvId)",
         L"CREATE TABLE st_AuctionType (at_Id int NOT NULL PRIMARY KEY, at_Name nvarchar(255) NULL, at_Code nvarchar(50) NULL, "
         L"at_Ident int NULL, at_SvcProvId int NOT NULL, at_SiteId int NOT NULL)",
         L"CREATE INDEX ix_AuctionType_Site ON st_AuctionType (at_SiteId, at_SvcProvId)",
         L"CREATE TABLE st_Enhancement (se_Id int NOT NULL PRIMARY KEY, se_Name nvarchar(255) NULL, se_Code nvarchar(50) NULL, "
         L"se_Ident int NULL, se_Expired bit NOT NULL DEFAULT 0, se_SvcProvId int NOT NULL, se_SiteId int NOT NULL)",
         L"CREATE INDEX ix_Enhancement_Site ON st_Enhancement (se_SiteId, se_SvcProvId)",
         L"CREATE TABLE st_Payment (sp_Id int NOT NULL PRIMARY KEY, sp_Name nvarchar(255) NULL, sp_Code nvarchar(50) NULL, "
         L"sp_Ident int NULL, sp_Expired bit NOT NULL DEFAULT 0, sp_SvcProvId int NOT NULL, sp_SiteId int NOT NULL)",
         L"CREATE INDEX ix_Payment_Site ON st_Payment (sp_SiteId, sp_SvcProvId)",
         L"CREATE TABLE st_Shipping (ss_Id int NOT NULL PRIMARY KEY, ss_Name nvarchar(255) NULL, ss_Code nvarchar(50) NULL, "
         L"ss_Ident int NULL, ss_Expired bit NOT NULL DEFAULT 0, ss_SvcProvId int NOT NULL, ss_SiteId int NOT NULL)",
         L"CREATE INDEX ix_Shipping_Site ON st_Shipping (ss_SiteId, ss_SvcProvId)",
         L"CREATE TABLE st_Duration (sd_Id int NOT NULL PRIMARY KEY, sd_Name nvarchar(255) NULL, sd_Code nvarchar(50) NULL, "
         L"sd_Ident int NULL, sd_Expired bit NOT NULL DEFAULT 0, sd_SvcProvId int NOT NULL, sd_SiteId int NOT NULL)",
         L"CREATE INDEX ix_Duration_Site ON st_Duration (sd_SiteId, sd_SvcProvId)",
         // Form fields of categories and the dictionaries of their values.
         L"CREATE TABLE st_CategorySpecific (cs_Id int NOT NULL PRIMARY KEY, cs_SvcProvId int NOT NULL, "
         L"cs_SiteId int NOT NULL, cs_ItemId int NULL, cs_Title nvarchar(100) NULL, cs_CatId int NULL, "
         L"cs_InputType int NULL, cs_DataType int NULL, cs_Default int NULL, cs_Required bit NULL, cs_Position int NULL, "
         L"cs_Length int NULL, cs_MinVal float NULL, cs_MaxVal float NULL, cs_Description nvarchar(1000) NULL, "
         L"cs_Help ntext NULL)",
         L"CREATE INDEX ix_CategorySpecific_Category ON st_CategorySpecific (cs_SiteId, cs_SvcProvId, cs_CatId)",
         L"CREATE INDEX ix_CategorySpecific_Item ON st_CategorySpecific (cs_ItemId)",
         L"CREATE TABLE st_CategorySpecificDict (csd_Id int NOT NULL PRIMARY KEY, csd_CatSpecId int NOT NULL, "
         L"csd_Ident int NULL, csd_Code nvarchar(50) NULL, csd_Name nvarchar(255) NULL, csd_Position int NULL)",
         L"CREATE INDEX ix_CategorySpecificDict_Field ON st_CategorySpecificDict (csd_CatSpecId)",
         // The accounts (step 5), their typed custom values and the sites they work on.
         L"CREATE INDEX ix_Registration_Provider ON reg__Registration (reg_SvcProvId)",
         L"CREATE TABLE reg_Data (rd_Id int NOT NULL PRIMARY KEY, "
         L"rd_RegId int NOT NULL REFERENCES reg__Registration (reg_Id), rd_Name nvarchar(100) NOT NULL, "
         L"rd_vint int NULL, rd_vbigint bigint NULL, rd_vmoney money NULL, rd_vdatetime datetime NULL, "
         L"rd_vvarchar nvarchar(4000) NULL, rd_vbinary image NULL)",
         L"CREATE INDEX ix_Data_Registration ON reg_Data (rd_RegId, rd_Name)",
         L"CREATE TABLE reg_Site (rs_Id int NOT NULL PRIMARY KEY, "
         L"rs_RegId int NOT NULL REFERENCES reg__Registration (reg_Id), "
         L"rs_SiteId int NOT NULL REFERENCES st__Site (st_Id), rs_Name nvarchar(100) NULL)",
         L"CREATE INDEX ix_RegSite_Registration ON reg_Site (rs_RegId)",
         L"CREATE INDEX ix_RegSite_Site ON reg_Site (rs_SiteId)",
         // The active accounts of each site row.
         L"CREATE VIEW vw_ActiveRegistrationList AS SELECT reg_Id, reg_Username, reg_HasShop, rs_SiteId "
         L"FROM reg__Registration INNER JOIN reg_Site ON rs_RegId = reg_Id WHERE reg_Active = 1",
         // The empty start of every account's site list: the list's columns, typed as the tables
         // type them, and no row (a row here would be saved into every account's sites).
         L"CREATE VIEW vw_RegSites AS SELECT st_SiteId AS site_id, rs_Name AS site_name "
         L"FROM reg_Site INNER JOIN st__Site ON rs_SiteId = st_Id WHERE 1 = 0",
     }},
    {7,
     {
         // The dictionaries that the dialogs' combo and list boxes show, keyed through kd_keys.
         L"CREATE TABLE sl_Payment (pm_Id int NOT NULL PRIMARY KEY, pm_Name nvarchar(50) NOT NULL)",
         L"CREATE TABLE sl_Deliverer (dr_Id int NOT NULL PRIMARY KEY, dr_Name nvarchar(50) NOT NULL)",
         L"CREATE TABLE sl_Delivery (dm_Id int NOT NULL PRIMARY KEY, dm_Name nvarchar(50) NOT NULL, "
         L"dm_DelivererId int NULL REFERENCES sl_Deliverer (dr_Id), dm_PayOnDelivery bit NOT NULL DEFAULT 0)",
         L"CREATE TABLE sl_User (usr_Id int NOT NULL PRIMARY KEY, usr_Name nvarchar(30) NOT NULL, "
         L"usr_SurName nvarchar(50) NULL)",
         L"CREATE TABLE sl_ItemGroup (ig_Id int NOT NULL PRIMARY KEY, ig_Name nvarchar(50) NOT NULL)",
         L"CREATE TABLE sl_CustomerGroup (cg_Id int NOT NULL PRIMARY KEY, cg_Name nvarchar(50) NOT NULL)",
         L"CREATE TABLE sl_AuctionGroup (ag_Id int NOT NULL PRIMARY KEY, ag_Name nvarchar(50) NOT NULL)",
         L"CREATE TABLE sl_AuctionTemplateGroup (atg_Id int NOT NULL PRIMARY KEY, "
         L"atg_Name nvarchar(50) NOT NULL)",
         L"CREATE TABLE sl_ItemProperty (ip_Id int NOT NULL PRIMARY KEY, ip_Name nvarchar(50) NOT NULL)",
         L"CREATE TABLE sl_TransProperty (tp_Id int NOT NULL PRIMARY KEY, tp_Name nvarchar(50) NOT NULL)",
         L"CREATE TABLE sl_CustProperty (cp_Id int NOT NULL PRIMARY KEY, cp_Name nvarchar(50) NOT NULL)",
         L"CREATE TABLE sl_Currency (cy_Id int NOT NULL PRIMARY KEY, cy_Symbol varchar(3) NOT NULL, "
         L"cy_Name nvarchar(50) NOT NULL)",
         L"CREATE TABLE sl_CurrencyBank (cb_Id int NOT NULL PRIMARY KEY, cb_Name nvarchar(50) NOT NULL)",
         L"CREATE TABLE em_Account (ea_Id int NOT NULL PRIMARY KEY, ea_UserAddress nvarchar(255) NOT NULL, "
         L"ea_AccountName nvarchar(100) NULL, ea_Disabled bit NOT NULL DEFAULT 0, ea_SMTP nvarchar(255) NULL)",
         L"CREATE TABLE sl_EmailGroup (eg_Id int NOT NULL PRIMARY KEY, eg_Name nvarchar(50) NOT NULL)",
         L"CREATE TABLE sl_CommentTemplate (ct_Id int NOT NULL PRIMARY KEY, ct_Name nvarchar(50) NOT NULL, "
         L"ct_Score int NOT NULL)",
         L"CREATE TABLE sl_Language (ln_Id int NOT NULL PRIMARY KEY, ln_Symbol varchar(5) NOT NULL)",
         L"CREATE TABLE sl_InstantMessenger (im_Id int NOT NULL PRIMARY KEY, im_Name nvarchar(50) NOT NULL)",
         // The auction services in use: those with an active account.
         L"CREATE VIEW vw_ActiveSites AS SELECT ss_Id AS IDENT, ss_Name AS NAZWA_STRONY FROM sl_ServiceProvider "
         L"WHERE EXISTS (SELECT reg_Id FROM reg__Registration WHERE reg_SvcProvId = ss_Id AND reg_Active = 1)",
         // Addresses of the host's objects (the address object, one row each; adr_Type tells kinds apart).
         L"CREATE TABLE kd_Address (adr_Id int NOT NULL PRIMARY KEY, adr_Type int NOT NULL DEFAULT 1, "
         L"adr_Name nvarchar(129) NULL, adr_Address1 nvarchar(64) NULL, adr_Address2 nvarchar(64) NULL, "
         L"adr_ZipCode nvarchar(32) NULL, adr_City nvarchar(64) NULL, adr_Country nvarchar(50) NULL, "
         L"adr_Company nvarchar(255) NULL, adr_NIP nvarchar(20) NULL)",
         L"INSERT INTO kd_keys (ki_Table, ki_NextId) VALUES ('sl_Payment', 1), ('sl_Deliverer', 1), "
         L"('sl_Delivery', 1), ('sl_User', 1), ('sl_ItemGroup', 1), ('sl_CustomerGroup', 1), "
         L"('sl_AuctionGroup', 1), ('sl_AuctionTemplateGroup', 1), ('sl_ItemProperty', 1), "
         L"('sl_TransProperty', 1), ('sl_CustProperty', 1), ('sl_Currency', 1), ('sl_CurrencyBank', 1), "
         L"('em_Account', 1), ('sl_EmailGroup', 1), ('sl_CommentTemplate', 1), ('sl_Language', 1), "
         L"('sl_InstantMessenger', 1), ('kd_Address', 1)",
     }},
    {8,
     {
         // The automatic messages to buyers waiting to be sent: the buyer, the transaction and
         // the address of its status page.
         L"CREATE TABLE kd_MessageOutbox (mo_Id int NOT NULL PRIMARY KEY, mo_CustomerId int NULL, "
         L"mo_TransId int NOT NULL, mo_PageAddress nvarchar(255) NULL, mo_Created datetime NOT NULL)",
         L"CREATE INDEX ix_MessageOutbox_Transaction ON kd_MessageOutbox (mo_TransId)",
         L"CREATE INDEX ix_TransStatus_Account ON tr_TransStatus (ts_TransRegId, ts_ClosePage)",
         // The host's list of account sites: a row for every site an active account works on (the
         // account's own name for the site first, the site's otherwise).
         L"CREATE VIEW vw_HostAccountSites AS SELECT reg_Id AS reg_id, ISNULL(reg_Name, reg_Username) AS reg_name, "
         L"st_Id AS site_id, ISNULL(rs_Name, st_Name) AS site_name, rs_Id AS subsite_id, rs_Id AS regsite_id, "
         L"reg_SvcProvId AS service_id FROM reg__Registration INNER JOIN reg_Site ON rs_RegId = reg_Id "
         L"INNER JOIN st__Site ON rs_SiteId = st_Id WHERE reg_Active = 1",
     }},
    {9,
     {
         // The host's list of account sites: a row for every site an active account works on,
         // and one for an active account without a site (its site columns NULL). reg_name is the
         // login (the demonstration login is told by it), subsite_id the site's number at its
         // service, site_id the local site row, regsite_id the account's site row.
         L"DROP VIEW vw_HostAccountSites",
         L"CREATE VIEW vw_HostAccountSites AS SELECT reg_Id AS reg_id, reg_Username AS reg_name, "
         L"st_Id AS site_id, ISNULL(rs_Name, st_Name) AS site_name, st_SiteId AS subsite_id, rs_Id AS regsite_id, "
         L"reg_SvcProvId AS service_id FROM reg__Registration LEFT JOIN reg_Site ON rs_RegId = reg_Id "
         L"LEFT JOIN st__Site ON rs_SiteId = st_Id WHERE reg_Active = 1",
     }},
    {10,
     {
         // What the receive path stores. A customer's address lives in its row (the second line
         // and tax number join it); its further phone numbers beside it (cs_Phone is the main one).
         L"ALTER TABLE cs__Customer ADD cs_Street2 nvarchar(64) NULL",
         L"ALTER TABLE cs__Customer ADD cs_TaxNumber nvarchar(15) NULL",
         L"CREATE TABLE cs_CustomerPhone (cp_Id int NOT NULL PRIMARY KEY, "
         L"cp_CustomerId int NOT NULL, cp_Number nvarchar(50) NOT NULL)",
         L"CREATE INDEX ix_CustomerPhone_Customer ON cs_CustomerPhone (cp_CustomerId)",
         L"CREATE INDEX ix_Customer_Nick ON cs__Customer (cs_Nick, cs_SvcProvId)",
         L"CREATE INDEX ix_Auction_Provider ON au__Auction (au_Number, au_SvcProvId)",
         // The service provider's details of an auction, beside its row.
         L"CREATE TABLE au_SiteDetail (aal_AuctionId int NOT NULL PRIMARY KEY, "
         L"aal_Description ntext NULL, aal_SaleType int NULL, aal_Enhancements int NULL, aal_PaymentOptions int NULL, "
         L"aal_ShippingOptions int NULL, aal_TransferCost money NULL, aal_ShippingCost money NULL, "
         L"aal_AdditionalInfo nvarchar(255) NULL, aal_HeaderFlag int NULL)",
         // The host's images, each kept once (the same bytes have one row), and an auction's
         // images in their order.
         L"CREATE TABLE kd_Image (im_Id int NOT NULL PRIMARY KEY, im_Name nvarchar(255) NULL, im_Size int NOT NULL, "
         L"im_Hash bigint NOT NULL, im_Data image NOT NULL, im_Added datetime NULL)",
         L"CREATE INDEX ix_Image_Hash ON kd_Image (im_Hash, im_Size)",
         L"CREATE TABLE au_Image (ai_Id int NOT NULL PRIMARY KEY, ai_AuctionId int NOT NULL, "
         L"ai_ImageId int NOT NULL, ai_Order int NOT NULL)",
         L"CREATE INDEX ix_AuctionImage_Auction ON au_Image (ai_AuctionId, ai_Order)",
         // The comment record of a transaction: the comment its buyer gave and the one given to them.
         L"CREATE TABLE tr_Comment (tc_Id int NOT NULL PRIMARY KEY, "
         L"tc_TransId int NOT NULL, tc_ReceivedComment nvarchar(255) NULL, "
         L"tc_ReceivedDate datetime NULL, tc_ReceivedScore int NULL, tc_SentComment nvarchar(255) NULL, "
         L"tc_SentDate datetime NULL, tc_SentScore int NULL, tc_SentExternalId int NULL)",
         L"CREATE UNIQUE INDEX ix_Comment_Transaction ON tr_Comment (tc_TransId)",
     }},
    {11,
     {
         // The versions of a site's parameters as last stored, when they were last checked and
         // whether the site waits for an update.
         L"ALTER TABLE st__Site ADD st_CategoriesVersion nvarchar(100) NULL",
         L"ALTER TABLE st__Site ADD st_FormVersion nvarchar(100) NULL",
         L"ALTER TABLE st__Site ADD st_AttributesVersion nvarchar(100) NULL",
         L"ALTER TABLE st__Site ADD st_Checked datetime NULL",
         L"ALTER TABLE st__Site ADD st_UpdateNeeded bit NOT NULL DEFAULT 0",
         // The account sites whose parameters the update takes, a row per active account and
         // site, by account: need_upd when the site waits for an update or misses a version.
         L"CREATE VIEW vw_SubsitesParamsUpdate AS SELECT reg_Id AS reg_id, st_Id AS site_id, "
         L"st_SiteId AS subsite_id, ISNULL(rs_Name, st_Name) AS site_name, "
         L"CAST(CASE WHEN st_UpdateNeeded = 1 OR ISNULL(st_CategoriesVersion, '') = '' "
         L"OR ISNULL(st_FormVersion, '') = '' OR ISNULL(st_AttributesVersion, '') = '' THEN 1 ELSE 0 END AS bit) "
         L"AS need_upd FROM reg__Registration INNER JOIN reg_Site ON rs_RegId = reg_Id "
         L"INNER JOIN st__Site ON rs_SiteId = st_Id WHERE reg_Active = 1 ORDER BY reg_Id, st_Id",
     }},
    {12,
     {
         // The account manager's list (every account with its provider's name) and the accounts'
         // own columns that it looks at (e-mail addresses shared between accounts).
         L"CREATE VIEW vw_RegManager AS SELECT reg_Id, reg_Username, ss_Name, reg_Active, reg_HasShop, "
         L"reg_SvcUserId, reg_SvcProvId FROM reg__Registration LEFT JOIN sl_ServiceProvider ON ss_Id = reg_SvcProvId",
         L"CREATE VIEW vw_Registration AS SELECT reg_Id, reg_Username, reg_SvcProvId, reg_SvcUserId, reg_Active, "
         L"reg_HasShop, reg_EmailId FROM reg__Registration",
     }},
    {13,
     {
         // What the send job sends: the auctions in the prepared state (au_State 1) with the ProgID
         // of their provider's auction object (NULL for an auction without a known provider, so
         // that the send names it), and the transactions whose comment record holds a comment
         // to give that has not gone out yet, with their auction's account, local site and
         // number and the buyer's id and nick at the service (NULL without a buyer).
         L"CREATE VIEW vw_AuctionsPrepared AS SELECT au_Id, au_RegId, au_SiteId, au_Title, au_Number, au_SvcProvId, "
         L"ss_AuctionProgId FROM au__Auction LEFT JOIN sl_ServiceProvider ON ss_Id = au_SvcProvId "
         L"WHERE au_State = 1 ORDER BY au_Id",
         L"CREATE VIEW vw_CommentsPrepared AS SELECT tr_Id, au_RegId, au_SiteId, au_Number, cs_ExtServiceId, cs_Nick, "
         L"tc_SentComment, tc_SentScore FROM tr__Transaction INNER JOIN tr_Comment ON tc_TransId = tr_Id "
         L"INNER JOIN au__Auction ON au_Id = tr_AuctionId LEFT JOIN cs__Customer ON cs_Id = tr_CustomerId "
         L"WHERE tc_SentComment IS NOT NULL AND tc_SentComment <> '' AND tc_SentDate IS NULL ORDER BY tr_Id",
     }},
    {14,
     {
         // The currencies offered by the change of currency, unless the database has them (by id
         // or symbol); the currency keys continue after them.
         L"INSERT INTO sl_Currency (cy_Id, cy_Symbol, cy_Name) SELECT 1, 'PLN', N'złoty polski' "
         L"WHERE NOT EXISTS (SELECT cy_Id FROM sl_Currency WHERE cy_Id = 1 OR cy_Symbol = 'PLN')",
         L"INSERT INTO sl_Currency (cy_Id, cy_Symbol, cy_Name) SELECT 2, 'EUR', N'euro' "
         L"WHERE NOT EXISTS (SELECT cy_Id FROM sl_Currency WHERE cy_Id = 2 OR cy_Symbol = 'EUR')",
         L"INSERT INTO sl_Currency (cy_Id, cy_Symbol, cy_Name) SELECT 3, 'USD', N'dolar amerykański' "
         L"WHERE NOT EXISTS (SELECT cy_Id FROM sl_Currency WHERE cy_Id = 3 OR cy_Symbol = 'USD')",
         L"INSERT INTO sl_Currency (cy_Id, cy_Symbol, cy_Name) SELECT 4, 'GBP', N'funt szterling' "
         L"WHERE NOT EXISTS (SELECT cy_Id FROM sl_Currency WHERE cy_Id = 4 OR cy_Symbol = 'GBP')",
         L"INSERT INTO sl_Currency (cy_Id, cy_Symbol, cy_Name) SELECT 5, 'CZK', N'korona czeska' "
         L"WHERE NOT EXISTS (SELECT cy_Id FROM sl_Currency WHERE cy_Id = 5 OR cy_Symbol = 'CZK')",
         L"UPDATE kd_keys SET ki_NextId = (SELECT MAX(cy_Id) + 1 FROM sl_Currency) "
         L"WHERE ki_Table = 'sl_Currency' AND ki_NextId <= (SELECT MAX(cy_Id) FROM sl_Currency)",
     }},
    {15,
     {
         // Auction templates are auctions marked as templates, with their name (au_Note), their
         // duration and auction type from the site's dictionaries.
         L"ALTER TABLE au__Auction ADD au_Template bit NOT NULL DEFAULT 0",
         L"ALTER TABLE au__Auction ADD au_Note nvarchar(255) NULL",
         L"ALTER TABLE au__Auction ADD au_DurationId int NULL",
         L"ALTER TABLE au__Auction ADD au_TypeId int NULL",
         L"CREATE VIEW vw_AuctionTemplate AS SELECT au_Id, au_RegId, au_SiteId, au_SvcProvId, au_Note, au_Title, "
         L"au_StartDate, au_DurationId, au_TypeId FROM au__Auction WHERE au_Template = 1",
         // The template plug-in of a template's service provider.
         L"CREATE VIEW vw_AuctionTemplateProgId AS SELECT au_Id, ss_TemplateProgId FROM au__Auction "
         L"INNER JOIN sl_ServiceProvider ON ss_Id = au_SvcProvId WHERE au_Template = 1",
     }},
    {16,
     {
         // The records that name an account keep it: auctions (templates among them) and
         // transactions (and through them their comments). An account that has them cannot be
         // deleted; one without them is. Rows that already name a missing account stay as they
         // are (and are told by the upgrade); the key is checked when a row's account changes.
         L"ALTER TABLE au__Auction WITH NOCHECK ADD CONSTRAINT fk_Auction_Registration FOREIGN KEY (au_RegId) "
         L"REFERENCES reg__Registration (reg_Id)",
         L"ALTER TABLE tr__Transaction WITH NOCHECK ADD CONSTRAINT fk_Transaction_Registration FOREIGN KEY (tr_RegId) "
         L"REFERENCES reg__Registration (reg_Id)",
     },
     {
         {L"SELECT au_Id, au_RegId FROM au__Auction WHERE au_RegId IS NOT NULL AND au_RegId NOT IN "
          L"(SELECT reg_Id FROM reg__Registration) ORDER BY au_Id",
          L"aukcje (au__Auction), które wskazują konto nieobecne w bazie danych, zostają bez zmian"},
         {L"SELECT tr_Id, tr_RegId FROM tr__Transaction WHERE tr_RegId IS NOT NULL AND tr_RegId NOT IN "
          L"(SELECT reg_Id FROM reg__Registration) ORDER BY tr_Id",
          L"transakcje (tr__Transaction), które wskazują konto nieobecne w bazie danych, zostają bez zmian"},
     }},
    {17,
     {
         // The lookups of the receive, send and seller-zone jobs search these instead of reading
         // the years of a seller's history: buyers by their id at the service, transactions by
         // buyer, by status page and (for the pages to open) by account, page and creation date,
         // the groups, the pages to close, an account's modified packages and the items of a
         // package, the comments not yet sent, the prepared auctions and the templates.
         L"CREATE INDEX ix_Customer_ExtService ON cs__Customer (cs_ExtServiceId)",
         L"CREATE INDEX ix_Transaction_Customer ON tr__Transaction (tr_CustomerId)",
         L"CREATE INDEX ix_Transaction_Page ON tr__Transaction (tr_StatusPageId)",
         L"DROP INDEX ix_Transaction_Account ON tr__Transaction",
         L"CREATE INDEX ix_Transaction_Account ON tr__Transaction (tr_RegId, tr_StatusPageId, tr_CreationDate)",
         L"CREATE INDEX ix_Group_Transaction ON tr_Group (tg_TransId)",
         L"CREATE INDEX ix_Group_Primary ON tr_Group (tg_PrimaryTransId)",
         L"CREATE INDEX ix_TransStatus_Page ON tr_TransStatus (ts_PageId)",
         L"CREATE INDEX ix_Package_Account ON pc__Package (pc_RegId, pc_StatusDataModified)",
         L"CREATE INDEX ix_PackageItem_Package ON pc_PackageItem (pi_PackageId, pi_Order)",
         L"CREATE INDEX ix_Comment_Sent ON tr_Comment (tc_SentDate, tc_SentComment)",
         L"CREATE INDEX ix_Auction_State ON au__Auction (au_State, au_RegId, au_SiteId)",
         L"CREATE INDEX ix_Auction_Template ON au__Auction (au_Template, au_SiteId)",
     }},
};

bool HasVersionTable(const _ConnectionPtr& connection) {
  try {
    _RecordsetPtr rs = connection->Execute(_bstr_t(L"SELECT MAX(sv_Version) FROM kd_SchemaVersion"),
                                           nullptr, adCmdText);
    rs->Close();
    return true;
  } catch (const _com_error&) {
    return false;
  }
}

// What a step's check finds: "<text> (<count>): <key column> <key> (<column> <value>), ..."; empty
// when no row breaks it. The first rows are named, the rest counted.
std::wstring CheckRows(const _ConnectionPtr& connection, LONG version, const SchemaCheck& check) {
  constexpr LONG kNamed = 20;
  _RecordsetPtr rs = connection->Execute(_bstr_t(check.query), nullptr, adCmdText);
  FieldsPtr fields = rs->GetFields();
  std::wstring rows;
  LONG count = 0;
  for (; !rs->GetadoEOF(); rs->MoveNext(), ++count) {
    if (count >= kNamed) continue;
    std::wstring row;
    for (LONG i = 0; i < 2; ++i) {
      FieldPtr field = fields->GetItem(_variant_t(i));
      const _variant_t value = field->GetValue();
      const std::wstring text = value.vt == VT_NULL ? L"NULL" : static_cast<const wchar_t*>(_bstr_t(value));
      row += (i ? L" (" : L"") + std::wstring(static_cast<const wchar_t*>(field->GetName())) + L" " + text + (i ? L")" : L"");
    }
    rows += (rows.empty() ? L"" : L", ") + row;
  }
  rs->Close();
  if (count == 0) return std::wstring();
  if (count > kNamed) rows += L" i " + std::to_wstring(count - kNamed) + L" dalszych";
  return L"Uaktualnienie schematu bazy danych do wersji " + std::to_wstring(version) + L": " + check.text + L" (" +
         std::to_wstring(count) + L"): " + rows + L".";
}

// Raises E_FAIL with the host's explanation of a schema version it cannot work with.
[[noreturn]] void RefuseSchema(const std::wstring& text) { platform::com::Raise(E_FAIL, text.c_str(), L"Vantor.Host"); }

[[noreturn]] void RefuseNewer(LONG stored) {
  RefuseSchema(L"Baza danych ma schemat w wersji " + std::to_wstring(stored) + L", nowszej niż obsługiwana przez program (" +
               std::to_wstring(CurrentSchemaVersion()) + L").");
}

}  // namespace

const std::vector<SchemaStep>& SchemaSteps() { return kSteps; }

LONG CurrentSchemaVersion() { return kSteps.back().version; }

LONG StoredSchemaVersion(const _ConnectionPtr& connection) {
  if (!HasVersionTable(connection)) return 0;
  _RecordsetPtr rs = connection->Execute(_bstr_t(L"SELECT MAX(sv_Version) FROM kd_SchemaVersion"),
                                         nullptr, adCmdText);
  LONG version = 0;
  if (!rs->GetadoEOF()) {
    _variant_t v = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
    if (v.vt != VT_NULL && v.vt != VT_EMPTY) version = static_cast<LONG>(v);
  }
  rs->Close();
  return version;
}

LONG UpgradeSchemaTo(const _ConnectionPtr& connection, LONG target, std::vector<std::wstring>* report) {
  const LONG before = StoredSchemaVersion(connection);
  if (before > CurrentSchemaVersion()) {
    // A database of a newer program: refused with an explanation, never touched.
    RefuseNewer(before);
  }
  for (const SchemaStep& step : kSteps) {
    if (step.version <= before || step.version > target) continue;
    connection->BeginTrans();
    std::vector<std::wstring> found;
    try {
      for (const wchar_t* sql : step.statements)
        connection->Execute(_bstr_t(sql), nullptr, kCmdTextNoRecords);
      for (const SchemaCheck& check : step.checks) {
        std::wstring text = CheckRows(connection, step.version, check);
        if (!text.empty()) found.push_back(std::move(text));
      }
      const std::wstring record = L"INSERT INTO kd_SchemaVersion (sv_Version, sv_Applied) VALUES (" +
                                  std::to_wstring(step.version) + L", GETDATE())";
      connection->Execute(_bstr_t(record.c_str()), nullptr, kCmdTextNoRecords);
      connection->CommitTrans();
    } catch (...) {
      connection->RollbackTrans();
      throw;
    }
    if (report) report->insert(report->end(), found.begin(), found.end());
  }
  return before;
}

void CheckSchemaCurrent(const _ConnectionPtr& connection) {
  const LONG stored = StoredSchemaVersion(connection);
  if (stored > CurrentSchemaVersion()) RefuseNewer(stored);
  if (stored < CurrentSchemaVersion())
    RefuseSchema(L"Baza danych ma schemat w wersji " + std::to_wstring(stored) + L", starszej niż obsługiwana (" +
                 std::to_wstring(CurrentSchemaVersion()) + L"); uaktualnia go program uruchomiony bez polecenia.");
}

LONG UpgradeSchema(const _ConnectionPtr& connection, std::vector<std::wstring>* report) {
  return UpgradeSchemaTo(connection, CurrentSchemaVersion(), report);
}

}  // namespace host
