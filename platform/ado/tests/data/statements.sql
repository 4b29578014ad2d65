-- Every statement text that the system's code runs on the product database, with its
-- placeholders filled by sample values (numbers 7, texts quoted as the code quotes them) and
-- the statements that the code assembles from parts in their complete typical forms.
-- Entries are separated by lines that begin with "-- next"; the rest of such a line names
-- the caller. Blanks at the ends of lines are part of the statements.
-- next: row in use
SELECT ig_Id FROM sl_ItemGroup WHERE ig_Id=7
-- next: row count without condition
SELECT ?=CONVERT( int, COUNT(*)) FROM au__Auction  
-- next: row count with owner, account and site conditions
SELECT ?=CONVERT( int, COUNT(*)) FROM au__Auction WHERE (au_UserId = 7) AND (au_RegId = 7 OR au_RegId IS NULL) AND (au_RegId = 7 AND au_SiteId = 7)
-- next: row count with owner unset, exact account, account site
SELECT ?=CONVERT( int, COUNT(*)) FROM au__Auction WHERE (au_UserId IS NULL) AND (au_RegId = 7) AND (au_RegSiteId = 7)
-- next: counter read
SELECT cn_MaxNumber 
FROM kd_counter 
WHERE cn_Object=7 AND cn_Key = 7
-- next: counter update
UPDATE kd_counter 
SET cn_MaxNumber=8 WHERE cn_Object=7 AND cn_Key=7
-- next: counter insert
INSERT INTO kd_counter 
(cn_Object, cn_Key, cn_MaxNumber) VALUES (7, 7, 1)
-- next: provider class name
SELECT ss_ProgId FROM sl_ServiceProvider WHERE ss_Id=7
-- next: provider auction class name
SELECT ss_AuctionProgId FROM sl_ServiceProvider WHERE ss_Id=7
-- next: provider template class name
SELECT ss_TemplateProgId FROM sl_ServiceProvider WHERE ss_Id=7
-- next: auction class name by auction
SELECT ss_AuctionProgId FROM vw_AuctionProgId WHERE au_Id=7
-- next: template class name by auction
SELECT ss_TemplateProgId FROM vw_AuctionTemplateProgId WHERE au_Id=7
-- next: preview data definition
SELECT vxd_Definicja FROM vx_Definicja WHERE vxd_ObiektId = 7
-- next: preview stylesheet
SELECT vxt_Transformacja FROM vx_Transformacja WHERE vxt_ObiektId = 7 ORDER BY vxt_Id
-- next: payments list
SELECT pm_Id, pm_Name FROM sl_Payment
-- next: delivery list
SELECT dm_Id, dm_Name FROM sl_Delivery
-- next: staff list
SELECT usr_Id, usr_Name + ' ' + usr_SurName AS name FROM sl_User
-- next: item groups
SELECT ig_Id, ig_Name FROM sl_ItemGroup
-- next: customer groups
SELECT cg_Id, cg_Name FROM sl_CustomerGroup
-- next: auction groups
SELECT ag_Id, ag_Name FROM sl_AuctionGroup
-- next: auction template groups
SELECT atg_Id, atg_Name FROM sl_AuctionTemplateGroup
-- next: item properties
SELECT ip_Id, ip_Name FROM sl_ItemProperty
-- next: transaction properties
SELECT tp_Id, tp_Name FROM sl_TransProperty
-- next: customer properties
SELECT cp_Id, cp_Name FROM sl_CustProperty
-- next: currencies
SELECT cy_Id, cy_Symbol, cy_Name FROM sl_Currency
-- next: currency banks
SELECT cb_Id, cb_Name FROM sl_CurrencyBank
-- next: mail accounts that send
SELECT ea_Id, ea_UserAddress, ea_AccountName FROM em_Account
WHERE ea_Disabled = 0
AND ea_SMTP IS NOT NULL
-- next: mail accounts with key offset
SELECT ea_Id+7 as ID, ea_UserAddress, ea_AccountName FROM em_Account WHERE ea_Disabled = 0
-- next: mail groups
SELECT eg_Id, eg_Name FROM sl_EmailGroup
-- next: mail groups ordered
SELECT eg_Id, eg_Name FROM sl_EmailGroup ORDER BY eg_Name
-- next: comment templates
SELECT ct_Id, ct_Name FROM sl_CommentTemplate WHERE ct_Score=7
-- next: languages
SELECT ln_Id, ln_Symbol FROM sl_Language
-- next: deliverers
SELECT dr_Id,dr_Name FROM sl_Deliverer
-- next: deliverers keyed Id
SELECT dr_Id as Id,dr_Name FROM sl_Deliverer
-- next: deliveries with deliverers
SELECT dm_Id, dr_Name, dm_Name FROM sl_Delivery INNER JOIN sl_Deliverer ON dm_DelivererId = dr_Id
-- next: deliveries of a deliverer
SELECT dm_Id, dm_Name FROM sl_Delivery WHERE dm_DelivererId=7 AND dm_PayOnDelivery=1
-- next: service providers
SELECT ss_Id, ss_Name FROM sl_ServiceProvider
-- next: service providers with an account
SELECT ss_Id, ss_Name FROM sl_ServiceProvider
WHERE EXISTS( SElECT reg_Id FROM reg__Registration WHERE ss_Id = reg_SvcProvId )
-- next: instant messengers
SELECT im_Id, im_Name FROM sl_InstantMessenger 
-- next: history snapshot, current row
SELECT * FROM cs__Customer WHERE cs_Id=7
-- next: history snapshot, history rows
SELECT * FROM cs_History WHERE csh_CustomerId=7 ORDER BY csh_Date DESC
-- next: object lock taken
INSERT INTO kd_blokada (obid, obextra, obtype, workstation, username) VALUES (7, 7, 7, 'WS-07', 'O''Neil')
-- next: object lock released
DELETE FROM kd_blokada WHERE obid = 7 AND obextra = 7 AND obtype = 7
-- next: object lock holder
SELECT workstation, username FROM kd_blokada WHERE obid=7 AND obextra=7 AND obtype=7
-- next: site countries
SELECT sc_Id, sc_Name, sc_Code, sc_Ident, sc_Expired  FROM st_Country WHERE sc_SiteId=7 AND sc_SvcProvId=7 ORDER BY sc_Name
-- next: site countries for editing
SELECT sc_Id, sc_Name, sc_Code, sc_Ident, sc_Expired , sc_SvcProvId, sc_SiteId FROM st_Country WHERE sc_SiteId=7 AND sc_SvcProvId=7 ORDER BY sc_Name
-- next: site regions
SELECT sr_Id, sr_Name, sr_Code, sr_Ident, sr_Expired  FROM st_Region WHERE sr_SiteId=7 AND sr_SvcProvId=7 ORDER BY sr_Name
-- next: site regions for editing
SELECT sr_Id, sr_Name, sr_Code, sr_Ident, sr_Expired , sr_SvcProvId, sr_SiteId FROM st_Region WHERE sr_SiteId=7 AND sr_SvcProvId=7 ORDER BY sr_Name
-- next: site auction types
SELECT at_Id, at_Name, at_Code, at_Ident  FROM st_AuctionType WHERE at_SiteId=7 AND at_SvcProvId=7 ORDER BY at_Name
-- next: site auction types for editing
SELECT at_Id, at_Name, at_Code, at_Ident , at_SvcProvId, at_SiteId FROM st_AuctionType WHERE at_SiteId=7 AND at_SvcProvId=7 ORDER BY at_Name
-- next: site enhancements
SELECT se_Id, se_Name, se_Code, se_Ident, se_Expired  FROM st_Enhancement WHERE se_SiteId=7 AND se_SvcProvId=7 ORDER BY se_Id
-- next: site enhancements for editing
SELECT se_Id, se_Name, se_Code, se_Ident, se_Expired , se_SvcProvId, se_SiteId FROM st_Enhancement WHERE se_SiteId=7 AND se_SvcProvId=7 ORDER BY se_Id
-- next: site payments
SELECT sp_Id, sp_Name, sp_Code, sp_Ident, sp_Expired  FROM st_Payment WHERE sp_SiteId=7 AND sp_SvcProvId=7 ORDER BY sp_Id
-- next: site payments for editing
SELECT sp_Id, sp_Name, sp_Code, sp_Ident, sp_Expired , sp_SvcProvId, sp_SiteId FROM st_Payment WHERE sp_SiteId=7 AND sp_SvcProvId=7 ORDER BY sp_Id
-- next: site shipping
SELECT ss_Id, ss_Name, ss_Code, ss_Ident, ss_Expired  FROM st_Shipping WHERE ss_SiteId=7 AND ss_SvcProvId=7 ORDER BY ss_Id
-- next: site shipping for editing
SELECT ss_Id, ss_Name, ss_Code, ss_Ident, ss_Expired , ss_SvcProvId, ss_SiteId FROM st_Shipping WHERE ss_SiteId=7 AND ss_SvcProvId=7 ORDER BY ss_Id
-- next: site category children
SELECT Cat.cat_CatId, Cat.cat_Name, (SELECT Count(Cat2.cat_Id) FROM st_Category AS Cat2 WHERE Cat2.cat_ParentId=Cat.cat_CatId AND Cat2.cat_SiteId=Cat.cat_SiteId AND Cat2.cat_Expired=0 AND Cat2.cat_RegId IS NULL) AS ncount FROM st_Category AS Cat WHERE Cat.cat_SiteId=7 AND Cat.cat_ParentId=7 AND Cat.cat_Expired=0 AND Cat.cat_RegId IS NULL ORDER BY Cat.cat_Id
-- next: account shop category children
SELECT Cat.cat_CatId, Cat.cat_Name, (SELECT Count(Cat2.cat_Id) FROM st_Category AS Cat2 WHERE Cat2.cat_ParentId=Cat.cat_CatId AND Cat2.cat_SiteId=Cat.cat_SiteId AND Cat2.cat_Expired=0 AND Cat2.cat_RegId=Cat.cat_RegId) AS ncount FROM st_Category AS Cat WHERE Cat.cat_SiteId=7 AND Cat.cat_ParentId=7 AND Cat.cat_Expired=0 AND Cat.cat_RegId=7 ORDER BY Cat.cat_Id
-- next: site category parent
SELECT cat_ParentId FROM st_Category WHERE cat_SiteId=7 AND cat_CatId=7
-- next: site durations
SELECT sd_Id, sd_Name, sd_Code, sd_Ident, sd_Expired  FROM st_Duration WHERE sd_SiteId=7 AND sd_SvcProvId=7 ORDER BY sd_Id
-- next: site durations for editing
SELECT sd_Id, sd_Name, sd_Code, sd_Ident, sd_Expired , sd_SvcProvId, sd_SiteId FROM st_Duration WHERE sd_SiteId=7 AND sd_SvcProvId=7 ORDER BY sd_Id
-- next: site accounts
SELECT reg_Id, reg_Username, reg_HasShop FROM vw_ActiveRegistrationList WHERE rs_SiteId=7
-- next: category-specific fields
SELECT *  FROM st_CategorySpecific WHERE cs_SiteId=7 AND cs_SvcProvId=7  ORDER BY cs_Position
-- next: category-specific fields of a category
SELECT *  FROM st_CategorySpecific WHERE cs_SiteId=7 AND cs_SvcProvId=7 AND cs_CatId=7 ORDER BY cs_Position
-- next: category-specific fields of an item for editing
SELECT *  FROM st_CategorySpecific WHERE cs_SiteId=7 AND cs_SvcProvId=7 AND cs_ItemId=7 ORDER BY cs_Position
-- next: category-specific dictionary
SELECT csd_Ident, csd_Code, csd_Name, csd_Position  FROM st_CategorySpecificDict  ORDER BY csd_Position, csd_Name
-- next: category-specific dictionary of a field for editing
SELECT csd_Ident, csd_Code, csd_Name, csd_Position , csd_CatSpecId, csd_Id FROM st_CategorySpecificDict WHERE csd_CatSpecId=7 ORDER BY csd_Position, csd_Name
-- next: account shop category parent
SELECT cat_ParentId FROM st_Category WHERE cat_SiteId=7 AND cat_CatId=7 AND cat_RegId=7 
-- next: account sites
SELECT * FROM vw_RegSites
-- next: site number
SELECT st_SiteId FROM st__Site WHERE st_Id=7
-- next: site row
SELECT st_Id FROM st__Site WHERE st_SiteId=7 AND st_SvcProvId=7
-- next: provider name
SELECT ss_Name FROM sl_ServiceProvider WHERE ss_Id=7
-- next: account list
SELECT * FROM vw_RegManager
-- next: mail address used by another account
SELECT COUNT(reg_EmailId) FROM vw_Registration WHERE reg_id!=7 AND reg_EmailId=7
-- next: auctions to send
SELECT * FROM vw_AuctionsPrepared WHERE au_RegId=7 AND au_SiteId=7
-- next: comments to send
SELECT * FROM vw_CommentsPrepared WHERE au_RegId=7 AND au_SiteId=7
-- next: queued auctions to send
SELECT * FROM vw_AuctionsPrepared WHERE au_RegId=7 AND au_SiteId=7 AND au_Id IN (7,8,9)
-- next: queued comments to send
SELECT * FROM vw_CommentsPrepared WHERE au_RegId=7 AND au_SiteId=7 AND tr_Id IN (7)
-- next: received auction lookup
SELECT au_Id, au_UserId, au_RegId, au_SiteId, au_CatId FROM au__Auction WHERE au_Number='1234567890' AND au_RegId=7
-- next: received auction description
SELECT aal_Description FROM au_SiteDetail WHERE aal_AuctionId=7
-- next: sold quantity
SELECT ISNULL(SUM(tr_OrigQuantity), 0) AS sold_sum FROM tr__Transaction WHERE tr_AuctionId=7
-- next: customer by service id
SELECT cs_Id FROM cs__Customer WHERE cs_ExtServiceId=7 AND cs_SvcProvId=7
-- next: customer by nick
SELECT cs_Id, cs_Name + ' ' + cs_Surname As Name FROM cs__Customer WHERE cs_Nick='O''Neil' AND cs_SvcProvId=7
-- next: country name
SELECT sc_Name FROM st_Country INNER JOIN st__Site ON sc_SiteId=st_SiteId AND sc_SvcProvId=st_SvcProvId WHERE sc_Ident=7 AND sc_SvcProvId=7 AND st_Id=7
-- next: received transaction lookup
SELECT cs_Id, tr_Id, au_Id, au_UserId, au_RegId, au_RegSiteId, tr_OrigQuantity, au_ProductId FROM (cs__Customer INNER JOIN tr__Transaction ON cs_Id=tr_CustomerId AND cs_ExtServiceId=7) RIGHT JOIN au__Auction ON tr_AuctionId=au_Id WHERE au_Number='1234567890' AND au_SvcProvId=7 
-- next: customer of a transaction
SELECT cs_Id FROM cs__Customer WHERE cs_SvcProvId=7 AND cs_ExtServiceId=7
-- next: received bid lookup
SELECT tr_Id, au_Id FROM (cs__Customer INNER JOIN tr__Transaction ON cs_Id=tr_CustomerId AND cs_ExtServiceId=12345678901) RIGHT JOIN au__Auction ON tr_AuctionId=au_Id WHERE au_Number='1234567890' AND au_SvcProvId=7 
-- next: sites to update
SELECT * FROM vw_SubsitesParamsUpdate
-- next: accounts of a site
SELECT rs_RegId AS reg_id, reg_Username as name FROM reg_Site INNER JOIN reg__Registration ON rs_RegId=reg_Id WHERE rs_SiteId=7 
-- next: accounts of a site with a shop
SELECT rs_RegId AS reg_id, reg_Username as name FROM reg_Site INNER JOIN reg__Registration ON rs_RegId=reg_Id WHERE rs_SiteId=7 AND reg_HasShop=1
-- next: transaction list, all
SELECT tr_Id FROM   tr__Transaction 
-- next: transaction list, to send
SELECT tr_Id FROM   tr__Transaction  WHERE tr_StatusDisabled = 0 AND tr_StatusNotSupported = 0 AND tr_Grouped = 0 AND tr_StatusDataModified = 1 AND tr_StatusPageId IS NOT NULL AND ( (tr_Group = 0 AND tr_AuctionId IS NOT NULL) OR (tr_Group = 1 AND tr_AuctionId IS NULL) ) AND tr_RegId = 7
-- next: transaction list, to send again
SELECT tr_Id FROM   tr__Transaction  WHERE tr_StatusDisabled = 0 AND tr_StatusNotSupported = 0 AND tr_Grouped = 0 AND tr_StatusDataModified = 0 AND tr_StatusPageId IS NOT NULL AND ( (tr_Group = 0 AND tr_AuctionId IS NOT NULL) OR (tr_Group = 1 AND tr_AuctionId IS NULL) ) AND tr_RegId = 7
-- next: transaction list, pages no longer in use
SELECT tr_Id FROM   tr__Transaction  WHERE ( tr_StatusDisabled = 1 OR tr_StatusNotSupported = 1 ) AND tr_StatusPageId IS NOT NULL AND tr_RegId = 7
-- next: transaction list, old pages
SELECT tr_Id FROM   tr__Transaction  WHERE tr_Grouped = 0 AND tr_StatusPageId IS NOT NULL AND tr_RegId = 7 AND tr_Complete > 1 AND tr_LastModified < '20240105'
-- next: transaction list, pages to open
SELECT tr_Id FROM   tr__Transaction  WHERE tr_StatusDisabled = 0 AND tr_StatusNotSupported = 0 AND tr_Grouped = 0 AND tr_StatusPageId IS NULL AND tr_RegId = 7 AND tr_Complete < 2 AND tr_CreationDate > '20240105'
-- next: transactions with modified packages
 select distinct pc_Transid from pc__Package  join tr__Transaction on tr_id = pc_TransId  where pc_StatusDataModified = 1  and tr_StatusDisabled = 0  and tr_grouped = 0  and ( (tr_Group = 0 AND tr_AuctionId IS NOT NULL) OR (tr_Group = 1 AND tr_AuctionId IS NULL) )  and tr_statusPageId is not NULL  and pc_RegId = 7
-- next: pages to close
SELECT ts_PageId FROM tr_TransStatus WHERE ts_ClosePage = 1 and ts_TransRegId = 7 and not exists (select tr_id from tr__Transaction where tr_id = ts_TransId ) 
-- next: closed pages removed
DELETE FROM tr_TransStatus WHERE ts_PageId IN(7,8,9)
-- next: group members
SELECT tg_PrimaryTransId FROM tr_Group WHERE tg_TransId = 7 order by tg_Id
-- next: transaction of a page
SELECT tr_Id FROM tr__Transaction WHERE tr_StatusPageId = 7
-- next: packages of a transaction
SELECT pc_Id FROM pc__Package WHERE pc_TransId=7
-- next: page with a different buyer entry date
 select tr_id from tr__Transaction  WHERE tr_StatusPageId = 7  AND ( tr_StatusBuyerEntryDate != '20240105 10:20:30' OR tr_StatusBuyerEntryDate IS NULL ) 
-- next: bid transaction, provider 1
 select tr_id, tr_Grouped from tr__Transaction  inner join au__Auction on tr_AuctionId = au_Id  inner join cs__Customer on tr_CustomerId = cs_Id  WHERE (au_svcProvId = 1 OR au_svcProvId = 4)  AND au_Number like '1234567890' AND cs_ExtServiceId = 12345678901
-- next: bid transaction, other providers
 select tr_id, tr_Grouped from tr__Transaction  inner join au__Auction on tr_AuctionId = au_Id  inner join cs__Customer on tr_CustomerId = cs_Id  WHERE au_svcProvId = 7  AND au_Number like '1234567890' AND cs_ExtServiceId = 7
-- next: group of a primary transaction
SELECT tg_TransId FROM tr_Group WHERE tg_PrimaryTransId = 7
-- next: currencies by symbol
SELECT cy_Id, cy_Symbol, cy_Name FROM sl_Currency ORDER BY cy_Symbol
