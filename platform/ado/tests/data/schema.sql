-- A scratch product database for the statement corpus: the tables and views that the
-- statements name, declared as the host's set-up script declares them, with a few rows.
-- Entries are separated by lines that begin with "-- next".
-- next
CREATE TABLE kd_counter (cn_Object int NOT NULL, cn_Key int NOT NULL, cn_MaxNumber int NOT NULL,
  CONSTRAINT PK_kd_counter PRIMARY KEY CLUSTERED (cn_Object, cn_Key))
-- next
CREATE TABLE kd_blokada (obid int NOT NULL, obextra int NOT NULL, obtype int NOT NULL,
  workstation nvarchar(16) NULL, username nvarchar(50) NULL,
  CONSTRAINT PK_kd_blokada PRIMARY KEY CLUSTERED (obid, obextra, obtype)) ON [PRIMARY]
-- next
CREATE TABLE sl_ServiceProvider (ss_Id int NOT NULL PRIMARY KEY, ss_Name nvarchar(100) NOT NULL,
  ss_ProgId nvarchar(100) NULL, ss_AuctionProgId nvarchar(100) NULL, ss_TemplateProgId nvarchar(100) NULL)
-- next
CREATE TABLE vx_Definicja (vxd_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, vxd_ObiektId int NOT NULL, vxd_Definicja ntext NULL)
-- next
CREATE TABLE vx_Transformacja (vxt_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, vxt_ObiektId int NOT NULL,
  vxt_Transformacja ntext NULL)
-- next
CREATE TABLE sl_Payment (pm_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, pm_Name nvarchar(50) NOT NULL)
-- next
CREATE TABLE sl_Deliverer (dr_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, dr_Name nvarchar(50) NOT NULL)
-- next
CREATE TABLE sl_Delivery (dm_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, dm_Name nvarchar(50) NOT NULL,
  dm_DelivererId int NULL REFERENCES sl_Deliverer (dr_Id), dm_PayOnDelivery bit NOT NULL DEFAULT (0))
-- next
CREATE TABLE sl_User (usr_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, usr_Name nvarchar(30) NOT NULL,
  usr_SurName nvarchar(50) NULL)
-- next
CREATE TABLE sl_ItemGroup (ig_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, ig_Name nvarchar(50) NOT NULL)
-- next
CREATE TABLE sl_CustomerGroup (cg_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, cg_Name nvarchar(50) NOT NULL)
-- next
CREATE TABLE sl_AuctionGroup (ag_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, ag_Name nvarchar(50) NOT NULL)
-- next
CREATE TABLE sl_AuctionTemplateGroup (atg_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, atg_Name nvarchar(50) NOT NULL)
-- next
CREATE TABLE sl_ItemProperty (ip_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, ip_Name nvarchar(50) NOT NULL)
-- next
CREATE TABLE sl_TransProperty (tp_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, tp_Name nvarchar(50) NOT NULL)
-- next
CREATE TABLE sl_CustProperty (cp_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, cp_Name nvarchar(50) NOT NULL)
-- next
CREATE TABLE sl_Currency (cy_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, cy_Symbol varchar(3) NOT NULL,
  cy_Name nvarchar(50) NOT NULL)
-- next
CREATE TABLE sl_CurrencyBank (cb_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, cb_Name nvarchar(50) NOT NULL)
-- next
CREATE TABLE em_Account (ea_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, ea_UserAddress nvarchar(255) NOT NULL,
  ea_AccountName nvarchar(100) NULL, ea_Disabled bit NOT NULL DEFAULT (0), ea_SMTP nvarchar(255) NULL)
-- next
CREATE TABLE sl_EmailGroup (eg_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, eg_Name nvarchar(50) NOT NULL)
-- next
CREATE TABLE sl_CommentTemplate (ct_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, ct_Name nvarchar(50) NOT NULL,
  ct_Score int NOT NULL)
-- next
CREATE TABLE sl_Language (ln_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, ln_Symbol varchar(5) NOT NULL)
-- next
CREATE TABLE sl_InstantMessenger (im_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, im_Name nvarchar(50) NOT NULL)
-- next
CREATE TABLE reg__Registration (reg_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, reg_Username nvarchar(50) NOT NULL,
  reg_SvcProvId int NOT NULL, reg_HasShop bit NOT NULL DEFAULT (0), reg_Active bit NOT NULL DEFAULT (1),
  reg_EmailId int NULL)
-- next
CREATE TABLE st__Site (st_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, st_SiteId int NOT NULL, st_SvcProvId int NOT NULL,
  st_Name nvarchar(50) NULL, st_Currency varchar(3) NULL)
-- next
CREATE TABLE reg_Site (rs_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, rs_RegId int NOT NULL, rs_SiteId int NOT NULL,
  rs_Name nvarchar(50) NULL)
-- next
CREATE TABLE st_Country (sc_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, sc_Name nvarchar(50) NOT NULL,
  sc_Code nvarchar(20) NULL, sc_Ident int NOT NULL, sc_Expired bit NOT NULL DEFAULT (0), sc_SvcProvId int NOT NULL,
  sc_SiteId int NOT NULL)
-- next
CREATE TABLE st_Region (sr_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, sr_Name nvarchar(50) NOT NULL,
  sr_Code nvarchar(20) NULL, sr_Ident int NOT NULL, sr_Expired bit NOT NULL DEFAULT (0), sr_SvcProvId int NOT NULL,
  sr_SiteId int NOT NULL)
-- next
CREATE TABLE st_AuctionType (at_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, at_Name nvarchar(50) NOT NULL,
  at_Code nvarchar(20) NULL, at_Ident int NOT NULL, at_SvcProvId int NOT NULL, at_SiteId int NOT NULL)
-- next
CREATE TABLE st_Enhancement (se_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, se_Name nvarchar(50) NOT NULL,
  se_Code nvarchar(20) NULL, se_Ident int NOT NULL, se_Expired bit NOT NULL DEFAULT (0), se_SvcProvId int NOT NULL,
  se_SiteId int NOT NULL)
-- next
CREATE TABLE st_Payment (sp_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, sp_Name nvarchar(50) NOT NULL,
  sp_Code nvarchar(20) NULL, sp_Ident int NOT NULL, sp_Expired bit NOT NULL DEFAULT (0), sp_SvcProvId int NOT NULL,
  sp_SiteId int NOT NULL)
-- next
CREATE TABLE st_Shipping (ss_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, ss_Name nvarchar(50) NOT NULL,
  ss_Code nvarchar(20) NULL, ss_Ident int NOT NULL, ss_Expired bit NOT NULL DEFAULT (0), ss_SvcProvId int NOT NULL,
  ss_SiteId int NOT NULL)
-- next
CREATE TABLE st_Duration (sd_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, sd_Name nvarchar(50) NOT NULL,
  sd_Code nvarchar(20) NULL, sd_Ident int NOT NULL, sd_Expired bit NOT NULL DEFAULT (0), sd_SvcProvId int NOT NULL,
  sd_SiteId int NOT NULL)
-- next
CREATE TABLE st_Category (cat_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, cat_CatId int NOT NULL,
  cat_Name nvarchar(100) NOT NULL, cat_ParentId int NOT NULL, cat_SiteId int NOT NULL,
  cat_Expired bit NOT NULL DEFAULT (0), cat_RegId int NULL)
-- next
CREATE TABLE st_CategorySpecific (cs_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, cs_SiteId int NOT NULL,
  cs_SvcProvId int NOT NULL, cs_CatId int NULL, cs_ItemId int NULL, cs_Name nvarchar(100) NULL, cs_Position int NOT NULL)
-- next
CREATE TABLE st_CategorySpecificDict (csd_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, csd_CatSpecId int NOT NULL,
  csd_Ident int NOT NULL, csd_Code nvarchar(20) NULL, csd_Name nvarchar(100) NULL, csd_Position int NOT NULL)
-- next
CREATE TABLE cs__Customer (cs_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, cs_Name nvarchar(50) NULL,
  cs_Surname nvarchar(50) NULL, cs_Nick nvarchar(50) NULL, cs_ExtServiceId bigint NULL, cs_SvcProvId int NULL)
-- next
CREATE TABLE cs_History (csh_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, csh_CustomerId int NOT NULL,
  csh_Date datetime NOT NULL DEFAULT (GETDATE()), csh_Name nvarchar(50) NULL)
-- next
CREATE TABLE au__Auction (au_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, au_Number varchar(32) NULL,
  au_Title nvarchar(100) NULL, au_UserId int NULL, au_RegId int NULL, au_SiteId int NULL, au_RegSiteId int NULL,
  au_CatId int NULL, au_SvcProvId int NULL, au_ProductId int NULL, au_Prepared bit NOT NULL DEFAULT (0))
-- next
CREATE TABLE au_SiteDetail (aal_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, aal_AuctionId int NOT NULL,
  aal_Description ntext NULL)
-- next
CREATE TABLE tr__Transaction (tr_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, tr_AuctionId int NULL,
  tr_CustomerId int NULL, tr_RegId int NULL, tr_OrigQuantity int NULL, tr_Group bit NOT NULL DEFAULT (0),
  tr_Grouped bit NOT NULL DEFAULT (0), tr_StatusDisabled bit NOT NULL DEFAULT (0),
  tr_StatusNotSupported bit NOT NULL DEFAULT (0), tr_StatusDataModified bit NOT NULL DEFAULT (0),
  tr_StatusPageId int NULL, tr_StatusBuyerEntryDate datetime NULL, tr_Comment nvarchar(255) NULL,
  tr_Complete int NOT NULL DEFAULT (0), tr_CreationDate datetime NOT NULL DEFAULT (GETDATE()), tr_LastModified datetime NULL)
-- next
CREATE TABLE tr_Group (tg_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, tg_TransId int NOT NULL,
  tg_PrimaryTransId int NOT NULL)
-- next
CREATE TABLE tr_TransStatus (ts_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, ts_PageId int NOT NULL,
  ts_TransId int NULL, ts_TransRegId int NOT NULL, ts_ClosePage bit NOT NULL DEFAULT (0))
-- next
CREATE TABLE pc__Package (pc_Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, pc_TransId int NOT NULL, pc_RegId int NULL,
  pc_StatusDataModified bit NOT NULL DEFAULT (0))
-- next
CREATE VIEW vw_AuctionProgId AS SELECT au_Id, ss_AuctionProgId FROM au__Auction INNER JOIN sl_ServiceProvider ON au_SvcProvId = ss_Id
-- next
CREATE VIEW vw_AuctionTemplateProgId AS SELECT au_Id, ss_TemplateProgId FROM au__Auction INNER JOIN sl_ServiceProvider ON au_SvcProvId = ss_Id
-- next
CREATE VIEW vw_Registration AS SELECT reg_Id, reg_Username, reg_SvcProvId, reg_HasShop, reg_Active, reg_EmailId FROM reg__Registration
-- next
CREATE VIEW vw_ActiveRegistrationList AS SELECT reg_Id, reg_Username, reg_HasShop, rs_SiteId FROM reg__Registration INNER JOIN reg_Site ON rs_RegId = reg_Id WHERE reg_Active = 1
-- next
CREATE VIEW vw_RegSites AS SELECT st_SiteId AS site_id, rs_Name AS site_name FROM reg_Site INNER JOIN st__Site ON rs_SiteId = st_Id
-- next
CREATE VIEW vw_RegManager AS SELECT reg_Id, reg_Username, reg_Active, reg_HasShop, ss_Name, reg_SvcProvId, reg_EmailId FROM reg__Registration LEFT JOIN sl_ServiceProvider ON reg_SvcProvId = ss_Id
-- next
CREATE VIEW vw_AuctionsPrepared AS SELECT au_Id, au_Number, au_Title, au_RegId, au_SiteId, au_SvcProvId FROM au__Auction WHERE au_Prepared = 1
-- next
CREATE VIEW vw_CommentsPrepared AS SELECT tr_Id, tr_Comment, au_Id, au_Number, au_RegId, au_SiteId FROM tr__Transaction INNER JOIN au__Auction ON tr_AuctionId = au_Id WHERE tr_Comment IS NOT NULL
-- next
CREATE VIEW vw_SubsitesParamsUpdate AS SELECT rs_RegId AS reg_id, st_SiteId AS site_id, st_SvcProvId AS service_id FROM reg_Site INNER JOIN st__Site ON rs_SiteId = st_Id
