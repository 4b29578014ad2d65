#pragma once
// The host application's and the framework's COM interfaces, declared once for every library.
//
// The interfaces belong to the host and to its framework; the system only calls them (and the host
// stand-in in host/ implements them). Callers in this system reach several methods by their place
// in the interface's method table, so every declaration below keeps each method at its fixed slot:
// slot 0 to 2 are IUnknown's, the first method declared here is slot 3. Slots the system never calls
// are declared as `SlotNN` placeholders that answer E_NOTIMPL, so an implementation overrides only
// what it serves. The slot of every named method is checked by the framework's tests.
//
// Recordsets cross these interfaces as IUnknown; callers assign them to `_RecordsetPtr`.
#include "platform/com/com.h"

// Declares a placeholder method at slot `n` that no caller uses.
#define ZEPHRA_SLOT(n) \
  virtual HRESULT STDMETHODCALLTYPE Slot##n() { return E_NOTIMPL; }

struct IFlgDataFactory;
struct IFlgDataSetup;
struct IFlgInstance;
struct IHxNavigation;

// ---------------------------------------------------------------------------------------------
// Framework instance, data factory and business objects.

// The framework instance that the host hands to the system.
struct IFlgInstance : public IUnknown {
  ZEPHRA_SLOT(3)
  ZEPHRA_SLOT(4)
  // 5: refresh of object lists. kind 0 refreshes the type's lists; 1, 2, 3 report an insert, an
  // update, a delete of the object `id`. The null class id stands for every list.
  STDMETHOD(RefreshObjectType)(REFGUID clsid, LONG kind, VARIANT id) = 0;
  // 6: numbered objects: 5000 the one-row recordset of data parameters (pd_), 5004 of program
  // parameters (pa_).
  STDMETHOD(GetObjectByNumber)(LONG number, IUnknown** object) = 0;
  // 7: S_OK when the current user holds the right, a negative HRESULT when the right is lacking.
  STDMETHOD(CheckRight)(LONG right, LONG reserved) = 0;
  // 8: as CheckRight, also giving the explanation of a refusal.
  STDMETHOD(CheckRightText)(LONG right, BSTR* explanation) = 0;
  // 9: tells the user that the right is missing.
  STDMETHOD(ShowRightRefused)(LONG right, LONG hwnd) = 0;
  // 10: a message to the user.
  STDMETHOD(ShowMessage)(BSTR caption, BSTR text, LONG hwnd) = 0;
  // 11: the host's main-window object, the parent of object dialogs.
  STDMETHOD(GetMainWindow)(IUnknown** window) = 0;
  ZEPHRA_SLOT(12)
  ZEPHRA_SLOT(13)
  ZEPHRA_SLOT(14)
  ZEPHRA_SLOT(15)
  ZEPHRA_SLOT(16)
  ZEPHRA_SLOT(17)
  ZEPHRA_SLOT(18)
  ZEPHRA_SLOT(19)
  ZEPHRA_SLOT(20)
  ZEPHRA_SLOT(21)
  ZEPHRA_SLOT(22)
  ZEPHRA_SLOT(23)
  ZEPHRA_SLOT(24)
  // 25: reads a host setting; `value` carries the default in and the stored value out.
  STDMETHOD(GetSetting)(BSTR section, BSTR key, VARIANT* value) = 0;
  // 26: writes a host setting.
  STDMETHOD(PutSetting)(BSTR section, BSTR key, VARIANT value) = 0;
  ZEPHRA_SLOT(27)
  // 28: the host's navigation between its lists and views (a host without one answers E_NOTIMPL).
  virtual HRESULT STDMETHODCALLTYPE GetNavigation(IHxNavigation** navigation) {
    if (navigation) *navigation = nullptr;
    return E_NOTIMPL;
  }
};
VANTOR_UUIDOF(IFlgInstance, "A77B4B28-58E5-46AC-9858-C4050FA96FC3");

// The framework's data factory over the product database.
struct IFlgDataFactory : public IUnknown {
  // 3: the open ADO connection (answers _Connection).
  STDMETHOD(GetDbConnection)(IDispatch** connection) = 0;
  // 4: connection objects by kind; kind 1 answers _Connection.
  STDMETHOD(GetConnectionObject)(LONG kind, IUnknown** object) = 0;
  // 5: `count` consecutive new keys of `table`, the first in `first`.
  STDMETHOD(ReserveIds)(BSTR table, LONG count, LONG* first) = 0;
  // 6 to 12: the operations a data object asks of the factory over its data-set description.
  STDMETHOD(AttachObject)(IFlgDataSetup* object) = 0;
  STDMETHOD(ReadObject)(IFlgDataSetup* object) = 0;
  STDMETHOD(ReadDataSet)(IFlgDataSetup* object, LONG index) = 0;
  STDMETHOD(InsertObject)(IFlgDataSetup* object) = 0;
  STDMETHOD(UpdateObject)(IFlgDataSetup* object) = 0;
  STDMETHOD(DeleteObject)(IFlgDataSetup* object) = 0;
  STDMETHOD(NotifyObject)(IFlgDataSetup* object) = 0;
};
VANTOR_UUIDOF(IFlgDataFactory, "86F7EE76-062A-4759-BE24-F39E504B926A");

// The factory's answer for the key that its last insert gave the object's main row.
struct IFlgNewKeySource : public IUnknown {
  STDMETHOD(GetNewKey)(IFlgDataSetup* object, VARIANT* key) = 0;
};
VANTOR_UUIDOF(IFlgNewKeySource, "761C717A-5104-4A80-9937-FA9673FA234C");

// Identity and state of a framework data object.
struct IFlgData : public IUnknown {
  // 3: the object's id, VT_I4 once it is read or saved.
  STDMETHOD(GetId)(VARIANT* id) = 0;
  // 4: the state as a VT_I4 (0 none, 1 new, 2 edited, 3 read).
  STDMETHOD(GetState)(VARIANT* state) = 0;
  // 5: the data format version of the object.
  STDMETHOD(GetFormat)(LONG* format) = 0;
  // 6: whether the object holds its edit lock.
  STDMETHOD(GetLocked)(VARIANT_BOOL* locked) = 0;
};
VANTOR_UUIDOF(IFlgData, "54E006F2-0D77-492C-B5F0-06A94539B14D");

// Data access to the data sets (main row, sub-rows) of a data object.
struct IFlgDataSet : public IFlgData {
  // 7: the recordset of data set `index`.
  STDMETHOD(GetDataSet)(LONG index, IUnknown** recordset) = 0;
  // 8: adds a row to sub data set `index` under the current row of its parent.
  STDMETHOD(AddSubRow)(LONG index) = 0;
  // 9: as 8, giving the new row's key.
  STDMETHOD(AddSubRowKey)(LONG index, VARIANT* key) = 0;
  // 10: as 11, failures returned rather than raised inside.
  STDMETHOD(AddRowChecked)(LONG index, VARIANT link, VARIANT* key) = 0;
  // 11: adds a row to data set `index` with the link value, giving its temporary key.
  STDMETHOD(AddRow)(LONG index, VARIANT link, VARIANT* key) = 0;
  // 12: completes a new row: temporary key and link value.
  STDMETHOD(CompleteRow)(LONG index, VARIANT link) = 0;
  // 13: deletes the row with key `key` of data set `index` and the child rows that belong to it.
  STDMETHOD(DeleteRow)(LONG index, LONG key) = 0;
};
VANTOR_UUIDOF(IFlgDataSet, "D70E0126-24E2-4C14-9114-2C7F5C6135A1");

// One data-set definition of a data object: how its rows are kept in the database.
struct FlgDataSetDef {
  LONG index;               // data-set index
  LONG level;               // 0 main row, 1 sub-rows of the main row
  LONG parent;              // parent data-set index
  const wchar_t* name;      // data-set name
  const wchar_t* table;     // table
  const wchar_t* key;       // key column
  const wchar_t* link;      // column linking a sub-row to its parent (empty for the main row)
  const wchar_t* columns;   // column list ("*")
  const wchar_t* extra;     // further text
  LONG flag;                // 0 for the main row, 1 for sub-rows
  LONG linkDirection;       // 1: sub-rows hold the parent's key; 0: the parent holds the sub-row's key
};

// The description that the data factory reads from a data object.
struct IFlgDataSetup : public IFlgData {
  STDMETHOD(SetDataSet)(LONG index, IUnknown* recordset) = 0;                // 7
  STDMETHOD(GetDefinition)(LONG index, const FlgDataSetDef** definition) = 0;  // 8
  STDMETHOD(GetDefinitionCount)(LONG* count) = 0;                            // 9
  STDMETHOD(GetTempKey)(LONG* key) = 0;                                      // 10
  STDMETHOD(SetTempKey)(LONG key) = 0;                                       // 11
  STDMETHOD(GetSecondDataSet)(LONG index, IUnknown** recordset) = 0;         // 12
  STDMETHOD(SetSecondDataSet)(LONG index, IUnknown* recordset) = 0;          // 13
  STDMETHOD(SetId)(VARIANT id) = 0;                                          // 14
  STDMETHOD(HasDataSet)(LONG index, VARIANT_BOOL* has) = 0;                  // 15
  STDMETHOD(SetPendingNotification)(LONG value) = 0;                         // 16
  STDMETHOD(GetPendingNotification)(LONG* value) = 0;                        // 17
};
VANTOR_UUIDOF(IFlgDataSetup, "0B1E5C0A-6F0D-4C63-9E1B-5A3E2F9C7D10");

// Notifications from the data factory to a data object.
struct IFlgDataCallback : public IFlgData {
  ZEPHRA_SLOT(7)
  ZEPHRA_SLOT(8)
  ZEPHRA_SLOT(9)
  STDMETHOD(OnSaved)() = 0;                     // 10
  STDMETHOD(RunPendingNotification)() = 0;      // 11
  ZEPHRA_SLOT(12)
  ZEPHRA_SLOT(13)
  ZEPHRA_SLOT(14)
};
VANTOR_UUIDOF(IFlgDataCallback, "0B1E5C0B-6F0D-4C63-9E1B-5A3E2F9C7D10");

// A framework business object: created by class id, loaded, edited, checked, saved, deleted.
struct IFlgItem : public IUnknown {
  STDMETHOD(GetClassID)(CLSID* clsid) = 0;                             // 3
  STDMETHOD(InitNew)(IFlgDataFactory* factory, VARIANT init) = 0;      // 4
  STDMETHOD(Load)(IFlgDataFactory* factory, VARIANT id) = 0;           // 5
  STDMETHOD(InitCopy)(IFlgDataFactory* factory, VARIANT id) = 0;       // 6
  STDMETHOD(BeginEdit)() = 0;                                          // 7
  STDMETHOD(EndEdit)() = 0;                                            // 8
  STDMETHOD(Save)() = 0;                                               // 9
  STDMETHOD(Check)() = 0;                                              // 10
  STDMETHOD(Delete)(IFlgDataFactory* factory, VARIANT id) = 0;         // 11
  STDMETHOD(GetErrorCount)(LONG* count) = 0;                           // 12
  STDMETHOD(GetErrorText)(LONG index, BSTR* text) = 0;                 // 13
  ZEPHRA_SLOT(14)
  ZEPHRA_SLOT(15)
  STDMETHOD(SetUseTransaction)(LONG use) = 0;                          // 16
  STDMETHOD(SetLockOnEdit)(LONG lock) = 0;                             // 17
  STDMETHOD(SetCheckRights)(LONG check) = 0;                           // 18
  STDMETHOD(SetCallbackValue)(LONG value) = 0;                         // 19
  STDMETHOD(GetCallbackValue)(LONG* value) = 0;                        // 20
};
VANTOR_UUIDOF(IFlgItem, "39A65F17-BBAD-4AF6-B271-3D780BF0B0DE");

// The window face of a framework object.
struct IFlgWnd : public IUnknown {
  STDMETHOD(GetWindow)(LONG* hwnd) = 0;                 // 3
  STDMETHOD(ContextSensitiveHelp)(BOOL enter) = 0;      // 4
};
VANTOR_UUIDOF(IFlgWnd, "0B1E5C0C-6F0D-4C63-9E1B-5A3E2F9C7D10");

// The view face of a data object (and of a template plug-in): its dialogs.
struct IFlgItemView : public IFlgWnd {
  STDMETHOD(ShowReadOnly)(IUnknown* window, IFlgInstance* instance) = 0;   // 5
  STDMETHOD(Show)(IUnknown* window, IFlgInstance* instance) = 0;           // 6
  STDMETHOD(ShowDelete)(IUnknown* window, IFlgInstance* instance) = 0;     // 7
  STDMETHOD(ShowExtra)(IUnknown* window, IFlgInstance* instance) = 0;      // 8
};
VANTOR_UUIDOF(IFlgItemView, "A9E0B474-2B93-4DDB-8E76-6AB03592F64A");
// The template plug-in's view is the same interface; slot 5 shows the template.
using IHxTemplateView = IFlgItemView;

// A parameter item: a data object that names itself.
struct IFlgParameterItem : public IUnknown {
  STDMETHOD(GetName)(BSTR* name) = 0;   // 3
};
VANTOR_UUIDOF(IFlgParameterItem, "0B1E5C11-6F0D-4C63-9E1B-5A3E2F9C7D10");

// A data object's SQL-backed value lookup.
struct IFlgText : public IUnknown {
  ZEPHRA_SLOT(3)
  STDMETHOD(GetLong)(VARIANT a, VARIANT b, VARIANT c, VARIANT d, IFlgDataFactory* factory,
                     LONG* value) = 0;                                              // 4
  STDMETHOD(GetSql)(VARIANT a, VARIANT b, VARIANT c, VARIANT d, BSTR* sql) = 0;      // 5
};
VANTOR_UUIDOF(IFlgText, "0B1E5C0D-6F0D-4C63-9E1B-5A3E2F9C7D10");

// An object told of a data object's save and delete.
struct IFlgObjectExtension : public IUnknown {
  STDMETHOD(OnInsert)(IFlgDataFactory* factory, VARIANT key, LONG param) = 0;                 // 3
  STDMETHOD(OnCopy)(IFlgDataFactory* factory, VARIANT source, VARIANT key, LONG param) = 0;   // 4
  STDMETHOD(OnUpdate)(IFlgDataFactory* factory, VARIANT key, LONG param) = 0;                 // 5
  STDMETHOD(OnDelete)(IFlgDataFactory* factory, VARIANT key, LONG param) = 0;                 // 6
};
VANTOR_UUIDOF(IFlgObjectExtension, "07797805-E6E5-4172-B70E-F2A6C03F17ED");

// The framework's skin: colours and bitmaps of the user interface.
struct IFlgSkin : public IUnknown {
  STDMETHOD(LoadBitmap)(LONG image, LONG variant, HBITMAP* bitmap) = 0;   // 3
  STDMETHOD(GetColor)(LONG index, COLORREF* color) = 0;                    // 4
};
VANTOR_UUIDOF(IFlgSkin, "0B1E5C0E-6F0D-4C63-9E1B-5A3E2F9C7D10");

// The host's navigation: which list and view its main window shows.
struct IHxNavigation : public IUnknown {
  ZEPHRA_SLOT(3)
  ZEPHRA_SLOT(4)
  ZEPHRA_SLOT(5)
  ZEPHRA_SLOT(6)
  ZEPHRA_SLOT(7)
  ZEPHRA_SLOT(8)
  // 9: shows the list of the view (a view GUID) in the context given (VT_I4).
  STDMETHOD(SwitchView)(REFGUID view, VARIANT context) = 0;
  // 10: the view object the main window shows now.
  STDMETHOD(GetActiveView)(IUnknown** view) = 0;
};
VANTOR_UUIDOF(IHxNavigation, "0B1E5C13-6F0D-4C63-9E1B-5A3E2F9C7D10");

// The customer list view of the host's main window.
struct IHxCustomerView : public IUnknown {
  // 3: brings the customer with that id into view.
  STDMETHOD(ShowCustomer)(LONG customerId) = 0;
};
VANTOR_UUIDOF(IHxCustomerView, "BBFFC18C-B995-4A99-885E-4943346ACEB4");

// The information face of a framework dialog: the text, title and icon type (64: information)
// the host shows beside it.
struct ITodayWindow : public IUnknown {
  STDMETHOD(GetInfoText)(BSTR* text) = 0;     // 3
  STDMETHOD(GetInfoTitle)(BSTR* title) = 0;   // 4
  STDMETHOD(GetInfoType)(LONG* type) = 0;     // 5
};
VANTOR_UUIDOF(ITodayWindow, "0B1E5C12-6F0D-4C63-9E1B-5A3E2F9C7D10");

// ---------------------------------------------------------------------------------------------
// The framework's extension library: an auction-site account as the host and the site
// connectors work with it. Both interfaces are dual, declared on IDispatch, so their own members
// start at slot 7 (callers bind early). The account's site list (SubData) is a recordset.

struct LotrixRegCustData;

struct LotrixRegistration : public IDispatch {
  STDMETHOD(GetUsername)(BSTR* value) = 0;                    // 7
  STDMETHOD(PutUsername)(BSTR value) = 0;                     // 8
  STDMETHOD(GetAccesskey)(BSTR* value) = 0;                   // 9: the password as typed
  STDMETHOD(PutAccesskey)(BSTR value) = 0;                    // 10
  STDMETHOD(GetDescription)(BSTR* value) = 0;                 // 11
  STDMETHOD(PutDescription)(BSTR value) = 0;                  // 12
  STDMETHOD(GetSvcProvId)(LONG* value) = 0;                   // 13
  STDMETHOD(GetServiceName)(BSTR* value) = 0;                 // 14
  STDMETHOD(GetSvcUserId)(LONGLONG* value) = 0;               // 15
  STDMETHOD(PutSvcUserId)(LONGLONG value) = 0;                // 16
  STDMETHOD(GetVersion)(BSTR* value) = 0;                     // 17
  STDMETHOD(PutVersion)(BSTR value) = 0;                      // 18
  STDMETHOD(GetCustData)(LotrixRegCustData** data) = 0;       // 19
  STDMETHOD(GetSubData)(IUnknown** sites) = 0;                // 20: site_id, site_name
  STDMETHOD(GetValid)(VARIANT_BOOL* valid) = 0;               // 21
  STDMETHOD(Save)() = 0;                                      // 22
  STDMETHOD(GetErrorList)(LONG* list) = 0;                    // 23
  STDMETHOD(GetActive)(BOOL* value) = 0;                      // 24
  STDMETHOD(PutActive)(BOOL value) = 0;                       // 25
  STDMETHOD(GetHasShop)(BOOL* value) = 0;                     // 26
  STDMETHOD(PutHasShop)(BOOL value) = 0;                      // 27
  STDMETHOD(GetConnectorValue)(BSTR* value) = 0;              // 28
  STDMETHOD(GetMyAuctionsUrl)(BSTR* url) = 0;                 // 29
  STDMETHOD(GetMyPageUrl)(BSTR* url) = 0;                     // 30
  STDMETHOD(GetName)(BSTR* value) = 0;                        // 31
  STDMETHOD(PutName)(BSTR value) = 0;                         // 32
  STDMETHOD(GetFullName)(BSTR* value) = 0;                    // 33
  STDMETHOD(PutFullName)(BSTR value) = 0;                     // 34
  STDMETHOD(GetEmailId)(LONG* value) = 0;                     // 35
  STDMETHOD(PutEmailId)(LONG value) = 0;                      // 36
};
VANTOR_UUIDOF(LotrixRegistration, "99BB1659-1441-48B5-B4B2-AAD0EA88535D");

// Typed values that a site connector keeps under names per account.
struct LotrixRegCustData : public IDispatch {
  STDMETHOD(GetCount)(LONG* count) = 0;                       // 7
  STDMETHOD(GetValue)(VARIANT name, VARIANT* value) = 0;      // 8
  STDMETHOD(SetValue)(VARIANT name, VARIANT value) = 0;       // 9
};
VANTOR_UUIDOF(LotrixRegCustData, "81DF2E2A-3095-4A57-8081-ACAFE462C64C");

// ---------------------------------------------------------------------------------------------
// Host services reached through the framework instance.

// The current user.
struct IHxUser : public IUnknown {
  STDMETHOD(GetUserName)(BSTR* name) = 0;   // 3
  STDMETHOD(GetUserId)(LONG* id) = 0;       // 4
};
VANTOR_UUIDOF(IHxUser, "2385D85D-1C9C-4D43-A1EB-7D38EFCE3C67");

// Rights of a framework user object.
struct IHxUserRights : public IUnknown {
  STDMETHOD(GrantAccount)(LONG account, LONG a, LONG b, LONG c, LONG d) = 0;   // 3
};
VANTOR_UUIDOF(IHxUserRights, "603D53ED-4205-4BED-B745-F45680E67F61");

// Application services: ERP availability, notifications, list refreshing, the picture repository.
struct IHxAppServices : public IUnknown {
  ZEPHRA_SLOT(3)
  ZEPHRA_SLOT(4)
  ZEPHRA_SLOT(5)
  ZEPHRA_SLOT(6)
  ZEPHRA_SLOT(7)
  ZEPHRA_SLOT(8)
  // 9: the host's image store (answers IHxImageStore).
  STDMETHOD(GetImageStore)(IUnknown** store) = 0;
  STDMETHOD(IsErpAvailable)(VARIANT_BOOL* available) = 0;   // 10
  STDMETHOD(NotifyError)() = 0;                             // 11
  STDMETHOD(NotifyWarning)() = 0;                           // 12
  STDMETHOD(GetImageRepository)(IUnknown** repository) = 0; // 13
  // 14: list refreshing and host state: 0 suspends; any other value (-1 from the refresh lock,
  // 1 from the seller-zone jobs) resumes.
  STDMETHOD(SetRefreshState)(LONG state) = 0;
};
VANTOR_UUIDOF(IHxAppServices, "33479410-0DEF-4CB7-95B6-33C65BB13C71");

// The host's status window: status line, summary line, cancel request.
struct IHxStatusWindow : public IUnknown {
  ZEPHRA_SLOT(3)
  ZEPHRA_SLOT(4)
  ZEPHRA_SLOT(5)
  ZEPHRA_SLOT(6)
  ZEPHRA_SLOT(7)
  ZEPHRA_SLOT(8)
  ZEPHRA_SLOT(9)
  ZEPHRA_SLOT(10)
  ZEPHRA_SLOT(11)
  ZEPHRA_SLOT(12)
  ZEPHRA_SLOT(13)
  ZEPHRA_SLOT(14)
  ZEPHRA_SLOT(15)
  ZEPHRA_SLOT(16)
  ZEPHRA_SLOT(17)
  ZEPHRA_SLOT(18)
  ZEPHRA_SLOT(19)
  // 20: clears the window and any cancel request of an earlier run.
  STDMETHOD(Reset)() = 0;
  STDMETHOD(IsCancelRequested)(VARIANT_BOOL* cancel) = 0;   // 21
  STDMETHOD(ShowLine)(BSTR text) = 0;                       // 22
  // 23: the window reads its lists again (-1: all of them), e.g. after the accounts changed.
  STDMETHOD(Refresh)(LONG what) = 0;
  ZEPHRA_SLOT(24)
  ZEPHRA_SLOT(25)
  ZEPHRA_SLOT(26)
  ZEPHRA_SLOT(27)
  ZEPHRA_SLOT(28)
  ZEPHRA_SLOT(29)
  ZEPHRA_SLOT(30)
  ZEPHRA_SLOT(31)
  ZEPHRA_SLOT(32)
  ZEPHRA_SLOT(33)
  ZEPHRA_SLOT(34)
  STDMETHOD(ShowSummary)(BSTR text) = 0;                    // 35
};
VANTOR_UUIDOF(IHxStatusWindow, "AAE71A5C-C1F4-477F-A8E7-5152FBED6479");

// The host's selection and readiness for a job.
struct IHxStartCheck : public IUnknown {
  // 3: the accounts with their sites: reg_id, reg_name (the login), site_id (the local site row),
  // site_name, subsite_id (the site's number at its service; NULL for an account without a site),
  // service_id, regsite_id (the account's site row).
  STDMETHOD(GetAccountSites)(IUnknown** recordset) = 0;
  STDMETHOD(GetSelectedAccount)(LONG* account) = 0;         // 4: 0 none
  STDMETHOD(GetSelectedSite)(LONG* site) = 0;               // 5: below 1 none
  STDMETHOD(GetSelectedAccountSite)(LONG* accountSite) = 0; // 6: 0 none
  STDMETHOD(GetOwnerFilter)(LONG* filter) = 0;              // 7: 1 current user, 2 no owner
  STDMETHOD(SetSelection)(LONG account, LONG accountSite) = 0;   // 8: (0, 0) clears
  ZEPHRA_SLOT(9)
  ZEPHRA_SLOT(10)
  ZEPHRA_SLOT(11)
  ZEPHRA_SLOT(12)
  ZEPHRA_SLOT(13)
  ZEPHRA_SLOT(14)
  // 15: whether a job may run now; a refusal is a failure code with the reason in `reason`.
  STDMETHOD(CheckReady)(BSTR* reason) = 0;
};
VANTOR_UUIDOF(IHxStartCheck, "E54742D9-7055-407C-9EA6-20011EC6B701");

// The host's progress bar (the progress notice).
struct IHxProgress : public IUnknown {
  STDMETHOD(Open)() = 0;                                       // 3
  STDMETHOD(Hide)() = 0;                                       // 4
  STDMETHOD(SetMode)(VARIANT text, LONG low, LONG high) = 0;   // 5: range
  STDMETHOD(Step)(LONG delta) = 0;                             // 6
  STDMETHOD(Stop)() = 0;                                       // 7
  STDMETHOD(SetText)(BSTR text, LONG reserved) = 0;            // 8
};
VANTOR_UUIDOF(IHxProgress, "51A08CB3-776A-4694-8C36-7CA84B6D953D");
using IHxProgressNotice = IHxProgress;

// The host's job log: jobs with dated lines.
struct IHxJobLogStore : public IUnknown {
  STDMETHOD(StartJob)(LONG type, LONG subtype) = 0;               // 3
  STDMETHOD(EndJob)(LONG count, LONG result) = 0;                 // 4
  STDMETHOD(AddString)(DATE time, BSTR text, LONG status) = 0;    // 5
  STDMETHOD(DeleteAll)() = 0;                                     // 6
  STDMETHOD(Started)(VARIANT_BOOL* started) = 0;                  // 7
};
VANTOR_UUIDOF(IHxJobLogStore, "5857D43B-D18F-4566-8F6C-C58964F8D53B");
// The class of the host's job-log store.
struct HxJobLogStore;
VANTOR_UUIDOF(HxJobLogStore, "CC0B65F2-74BB-43DC-A298-1649CECA6C3D");

// The host's image store: stores an image and answers its id.
struct IHxImageStore : public IUnknown {
  STDMETHOD(AddImage)(BSTR name, VARIANT image, LONG* id) = 0;   // 3
};
VANTOR_UUIDOF(IHxImageStore, "4082923C-7D6C-4D94-A779-B40FDBA7D9E3");

// The application's caption.
struct IHxAppCaption : public IUnknown {
  STDMETHOD(GetCaption)(LONG kind, BSTR* caption) = 0;   // 3
};
VANTOR_UUIDOF(IHxAppCaption, "08618196-2C4B-4E81-8A85-E37CCD95104A");

// The host's picture repository.
struct IHxImageRepository : public IUnknown {
  ZEPHRA_SLOT(3)
  ZEPHRA_SLOT(4)
  ZEPHRA_SLOT(5)
  ZEPHRA_SLOT(6)
  ZEPHRA_SLOT(7)
  ZEPHRA_SLOT(8)
  // 9: one picture by id.
  STDMETHOD(GetPicture)(LONG id, BSTR* name, IUnknown** stream, LONG* width, LONG* height,
                        LONG* size, VARIANT_BOOL* found) = 0;
  ZEPHRA_SLOT(10)
  ZEPHRA_SLOT(11)
  ZEPHRA_SLOT(12)
  ZEPHRA_SLOT(13)
  ZEPHRA_SLOT(14)
  ZEPHRA_SLOT(15)
  ZEPHRA_SLOT(16)
  ZEPHRA_SLOT(17)
  STDMETHOD(EndTransaction)(LONG state) = 0;      // 18
  ZEPHRA_SLOT(19)
  ZEPHRA_SLOT(20)
  ZEPHRA_SLOT(21)
  STDMETHOD(BeginTransaction)(LONG* state) = 0;   // 22
};
VANTOR_UUIDOF(IHxImageRepository, "0B1E5C0F-6F0D-4C63-9E1B-5A3E2F9C7D10");

// The host's connection settings (proxy).
struct IHxConnectionSettings : public IUnknown {
  STDMETHOD(GetProxyHost)(BSTR* host) = 0;                       // 3
  STDMETHOD(GetProxyPort)(LONG* port) = 0;                       // 4
  STDMETHOD(GetProxyUser)(BSTR* user) = 0;                       // 5
  STDMETHOD(GetProxyPassword)(BSTR* password) = 0;               // 6
  STDMETHOD(GetUseSystemSettings)(VARIANT_BOOL* use) = 0;        // 7
};
VANTOR_UUIDOF(IHxConnectionSettings, "410A54A1-4A6C-4959-92BC-44FE107BF10D");
struct HxConnectionSettings;
VANTOR_UUIDOF(HxConnectionSettings, "87E79EF4-605B-4537-BE68-01E6E4FD088F");

// The registration lookup: the account records the host keeps for the service connectors.
struct IHxRegistrationSource : public IUnknown {
  STDMETHOD(GetRegistrationTable)(IUnknown** table) = 0;   // 3
};
VANTOR_UUIDOF(IHxRegistrationSource, "8362F5BB-37DF-4291-B047-C5B4184E215D");
struct IHxRegistrationTable : public IUnknown {
  STDMETHOD(GetRecord)(VARIANT account, IUnknown** fields) = 0;   // 3
};
VANTOR_UUIDOF(IHxRegistrationTable, "2F5DD58D-1579-466B-9E6A-B4C2A7411E9D");

// The host's e-mail address object.
struct IHxMailAddress : public IUnknown {
  STDMETHOD(GetAddress)(BSTR* address) = 0;           // 3
  STDMETHOD(GetAddressName)(BSTR* name) = 0;          // 4
  STDMETHOD(GetLocked)(VARIANT_BOOL* locked) = 0;     // 5
  STDMETHOD(PutLocked)(VARIANT_BOOL locked) = 0;      // 6
};
VANTOR_UUIDOF(IHxMailAddress, "ACBE2ACF-DC2D-4762-AD59-2404DE15BE19");

// ---------------------------------------------------------------------------------------------
// The ERP connector, reached through the host.

// The host's door to its ERP connectors.
struct IHxErpHost : public IUnknown {
  STDMETHOD(GetActiveConnectorId)(VARIANT* id) = 0;                   // 3
  STDMETHOD(GetActiveConnector)(IUnknown** connector) = 0;            // 4
  STDMETHOD(GetConnectorEntry)(VARIANT id, IUnknown** entry) = 0;     // 5
  STDMETHOD(GetActiveEntry)(IUnknown** entry) = 0;                    // 6
};
VANTOR_UUIDOF(IHxErpHost, "1FA32E95-076E-472F-A790-B353EC7AAA5D");

// One connector entry of the ERP host.
struct IHxErpConnectorEntry : public IUnknown {
  STDMETHOD(GetConnector)(IUnknown** connector) = 0;          // 3
  STDMETHOD(GetConnectionParams)(IUnknown** params) = 0;      // 4
};
VANTOR_UUIDOF(IHxErpConnectorEntry, "0B1E5C10-6F0D-4C63-9E1B-5A3E2F9C7D10");

// The ERP connector and its objects.
struct DSIConnector : public IUnknown {
  STDMETHOD(GetConnected)(VARIANT_BOOL* connected) = 0;
  STDMETHOD(SetConnectorId)(VARIANT id) = 0;
  STDMETHOD(Connect)(IUnknown* params) = 0;
  STDMETHOD(Disconnect)() = 0;
  STDMETHOD(GetCurrentUser)(LONG* user) = 0;
  STDMETHOD(SetCurrentUser)(LONG user) = 0;
  STDMETHOD(GetDocuments)(IUnknown** documents) = 0;
  STDMETHOD(GetProducts)(IUnknown** products) = 0;
  STDMETHOD(GetCustomers)(IUnknown** customers) = 0;
  STDMETHOD(GetDefaults)(IUnknown** defaults) = 0;
};
VANTOR_UUIDOF(DSIConnector, "B8EA7B1F-C3FB-4A20-BBDA-23D9728D828E");
// The kinds of the ERP program's documents.
enum dsiDocType : int {
  dsiDocPreliminary = 1,   // preliminary documents (orders, pro-forma invoices)
  dsiDocFinal = 2,         // final documents (invoices, receipts)
};
// A collection of the ERP connector: whether it is empty, and the name of an entry by key. Its
// entries are walked by its enumerator, IHxPositionCursor (asked of the collection).
struct DSICollection : public IUnknown {
  STDMETHOD(GetIsEmpty)(VARIANT_BOOL* empty) = 0;           // 3
  STDMETHOD(GetName)(VARIANT key, BSTR* name) = 0;          // 4
};
VANTOR_UUIDOF(DSICollection, "310B95D8-7C23-48CB-9FEE-D37358A45F78");
// The ERP program's documents.
struct DSIDocuments : public IUnknown {
  // The document types of a kind, as a collection (DSICollection).
  STDMETHOD(GetDocTypes)(dsiDocType kind, IUnknown** collection) = 0;   // 3
  // The forms of payment, as a collection (DSICollection).
  STDMETHOD(GetPaymentForms)(IUnknown** collection) = 0;                // 4
};
VANTOR_UUIDOF(DSIDocuments, "C9D05847-E97F-4B36-957B-BC66FF2BEF6E");
struct DSIProducts : public IUnknown {};
VANTOR_UUIDOF(DSIProducts, "C3A6CEAD-92F0-4E1E-BA2F-16857C47524C");
struct DSICustomers : public IUnknown {};
VANTOR_UUIDOF(DSICustomers, "464BC857-7C07-4355-8C35-1FD3C70ECB82");
struct DSIDefaults : public IUnknown {};
VANTOR_UUIDOF(DSIDefaults, "1AC80DFA-D629-42A5-9F89-991CF33EE992");
// The connector answers 0x80044589 when it refuses to connect.
constexpr HRESULT DSI_E_CONNECT_REFUSED = static_cast<HRESULT>(0x80044589u);

// ---------------------------------------------------------------------------------------------
// The host's business objects (created by class id, loaded through IFlgItem).

// Transaction.
struct IHxTransaction : public IUnknown {
  STDMETHOD(GetIsGroup)(VARIANT_BOOL* group) = 0;                                        // 3
  ZEPHRA_SLOT(4) ZEPHRA_SLOT(5) ZEPHRA_SLOT(6) ZEPHRA_SLOT(7) ZEPHRA_SLOT(8)
  STDMETHOD(GetPayment)(CY* amount) = 0;                                                 // 9
  ZEPHRA_SLOT(10) ZEPHRA_SLOT(11) ZEPHRA_SLOT(12)
  STDMETHOD(GetCustomerId)(LONG* customer) = 0;                                          // 13
  // 14 to 20 and 23 to 32: what a purchase received from an auction site is written with.
  STDMETHOD(PutName)(BSTR name) = 0;                                                     // 14
  // 15: the delivery options of the auction (an object answering IHxDeliveryOptions; others
  // and null change nothing).
  STDMETHOD(PutDeliveryOptions)(IUnknown* options) = 0;
  STDMETHOD(PutCustomerId)(LONG customer) = 0;                                           // 16
  STDMETHOD(PutAuctionId)(LONG auction) = 0;                                             // 17
  STDMETHOD(PutRegId)(LONG account) = 0;                                                 // 18
  STDMETHOD(PutRegSiteId)(LONG accountSite) = 0;                                         // 19
  // 20: the purchase date (a date, or anything that converts to one; NULL and empty: none).
  STDMETHOD(PutDate)(VARIANT date) = 0;
  STDMETHOD(GetAddressLocked)(VARIANT_BOOL* locked) = 0;                                 // 21
  STDMETHOD(GetAllLocked)(VARIANT_BOOL* locked) = 0;                                     // 22
  STDMETHOD(PutCurrency)(BSTR currency) = 0;                                             // 23
  STDMETHOD(PutValueCurrency)(BSTR currency) = 0;                                        // 24
  // 25, 26: a position of a product of the host's list, or one named after the item.
  STDMETHOD(AddProductPosition)(LONG product, LONG quantity, CY price) = 0;
  STDMETHOD(AddNamedPosition)(BSTR name, LONG quantity, CY price) = 0;
  STDMETHOD(PutOriginal)(LONG original) = 0;                                             // 27
  STDMETHOD(PutOrigQuantity)(LONG quantity) = 0;                                         // 28
  STDMETHOD(PutKind)(LONG kind, LONG detail) = 0;                                        // 29
  // 30: the delivery method; the empty VARIANT leaves only collection in person.
  STDMETHOD(PutDeliveryMethod)(VARIANT method) = 0;
  STDMETHOD(PutAuctionOwnerId)(LONG user) = 0;                                           // 31
  STDMETHOD(PutRemainder)(VARIANT_BOOL remainder) = 0;                                   // 32
  STDMETHOD(GetRemittanceDate)(VARIANT* date) = 0;                                       // 33
  ZEPHRA_SLOT(34) ZEPHRA_SLOT(35) ZEPHRA_SLOT(36) ZEPHRA_SLOT(37)
  STDMETHOD(GetPaid)(VARIANT_BOOL* paid) = 0;                                            // 38
  ZEPHRA_SLOT(39)
  STDMETHOD(GetSentAll)(VARIANT_BOOL* sent) = 0;                                         // 40
  STDMETHOD(GetItemsSent)(VARIANT_BOOL* sent) = 0;                                       // 41
  STDMETHOD(GetCompletionState)(LONG* state) = 0;                                        // 42
  ZEPHRA_SLOT(43)
  STDMETHOD(GetBaseCurrency)(BSTR* currency) = 0;                                        // 44
  STDMETHOD(GetPaymentCurrency)(BSTR* currency) = 0;                                     // 45
  ZEPHRA_SLOT(46) ZEPHRA_SLOT(47) ZEPHRA_SLOT(48) ZEPHRA_SLOT(49) ZEPHRA_SLOT(50)
  ZEPHRA_SLOT(51) ZEPHRA_SLOT(52) ZEPHRA_SLOT(53) ZEPHRA_SLOT(54) ZEPHRA_SLOT(55)
  ZEPHRA_SLOT(56) ZEPHRA_SLOT(57)
  STDMETHOD(GetAccountId)(LONG* account) = 0;                                            // 58
  ZEPHRA_SLOT(59) ZEPHRA_SLOT(60) ZEPHRA_SLOT(61) ZEPHRA_SLOT(62) ZEPHRA_SLOT(63)
  ZEPHRA_SLOT(64) ZEPHRA_SLOT(65) ZEPHRA_SLOT(66) ZEPHRA_SLOT(67) ZEPHRA_SLOT(68)
  // 69: the address object of a kind (3 billing/document, 2 delivery); answers IHxAddress.
  STDMETHOD(GetAddress)(LONG kind, IUnknown** address) = 0;
  ZEPHRA_SLOT(70) ZEPHRA_SLOT(71)
  STDMETHOD(GetDocumentLink)(IUnknown** link) = 0;                                       // 72
  STDMETHOD(GetPositions)(IUnknown** positions) = 0;                                     // 73
  // 74: one position's data.
  STDMETHOD(GetPositionData)(VARIANT key, LONG mode, BSTR* name, VARIANT* extra1, VARIANT* extra2,
                             CY* quantity, CY* price) = 0;
  STDMETHOD(GetDisplayText)(BSTR* text) = 0;                                             // 75
  ZEPHRA_SLOT(76) ZEPHRA_SLOT(77) ZEPHRA_SLOT(78) ZEPHRA_SLOT(79) ZEPHRA_SLOT(80)
  ZEPHRA_SLOT(81) ZEPHRA_SLOT(82) ZEPHRA_SLOT(83) ZEPHRA_SLOT(84)
  STDMETHOD(GetBuyDate)(DATE* date) = 0;                                                 // 85
  ZEPHRA_SLOT(86) ZEPHRA_SLOT(87) ZEPHRA_SLOT(88) ZEPHRA_SLOT(89) ZEPHRA_SLOT(90)
  ZEPHRA_SLOT(91) ZEPHRA_SLOT(92) ZEPHRA_SLOT(93) ZEPHRA_SLOT(94) ZEPHRA_SLOT(95)
  STDMETHOD(GetAuctionLink)(VARIANT* auction) = 0;                                       // 96
  ZEPHRA_SLOT(97) ZEPHRA_SLOT(98) ZEPHRA_SLOT(99)
  STDMETHOD(GetStatusPageAddress)(BSTR* address) = 0;                                    // 100
  STDMETHOD(PutStatusPageAddress)(BSTR address) = 0;                                     // 101
  STDMETHOD(GetAddressText)(BSTR* text) = 0;                                             // 102
  STDMETHOD(GetStatusDataModified)(VARIANT_BOOL* modified) = 0;                          // 103
  STDMETHOD(PutStatusDataModified)(VARIANT_BOOL modified) = 0;                           // 104
  STDMETHOD(GetStatusPageId)(VARIANT* page) = 0;                                         // 105
  STDMETHOD(PutStatusPageId)(VARIANT page) = 0;                                          // 106
  STDMETHOD(GetBuyerDataTrusted)(VARIANT* trusted) = 0;                                  // 107
  STDMETHOD(PutBuyerDataTrusted)(VARIANT trusted) = 0;                                   // 108
  STDMETHOD(GetBuyerDataAcknowledged)(VARIANT* acknowledged) = 0;                        // 109
  STDMETHOD(PutBuyerDataAcknowledged)(VARIANT acknowledged) = 0;                         // 110
  STDMETHOD(GetBuyerEntryDate)(VARIANT* date) = 0;                                       // 111
  STDMETHOD(PutBuyerEntryDate)(VARIANT date) = 0;                                        // 112
  STDMETHOD(GetNotes)(VARIANT* notes) = 0;                                               // 113
  STDMETHOD(PutNotes)(VARIANT notes) = 0;                                                // 114
  ZEPHRA_SLOT(115) ZEPHRA_SLOT(116) ZEPHRA_SLOT(117) ZEPHRA_SLOT(118)
  STDMETHOD(GetStatusReceiveState)(LONG* state) = 0;                                     // 119
  STDMETHOD(PutStatusReceiveState)(LONG state) = 0;                                      // 120
  // 121: the automatic message to the buyer: S_OK, S_FALSE when mail is not set up.
  STDMETHOD(CreateBuyerMessage)() = 0;
  STDMETHOD(ClearStatusPageInfo)() = 0;                                                  // 122
  STDMETHOD(GetStatusSendState)(LONG* state) = 0;                                        // 123
  STDMETHOD(PutStatusSendState)(LONG state) = 0;                                         // 124
};
VANTOR_UUIDOF(IHxTransaction, "666878E6-4B5A-4167-B133-001239677D82");
// A transaction's check refuses its delivery method for want of the buyer's address.
constexpr HRESULT HX_E_DELIVERY_NEEDS_ADDRESS = static_cast<HRESULT>(0x80044532u);
struct HxTransaction;
VANTOR_UUIDOF(HxTransaction, "877954DB-3987-43A3-8B8B-71555EA5C698");

// Customer.
struct IHxCustomer : public IUnknown {
  // 3: the customer's address (answers IHxAddress).
  STDMETHOD(GetAddress)(IUnknown** address) = 0;
  // 4: the customer's phone numbers, a list answering IAuctionImages (Contains, Add) over texts.
  STDMETHOD(GetPhones)(IUnknown** phones) = 0;
  // 5, 6: the main e-mail address and phone; `flags` -1 keeps the earlier one in the lists.
  STDMETHOD(PutEmail)(BSTR email, LONG flags) = 0;
  STDMETHOD(PutPhone)(BSTR phone, LONG flags) = 0;
  ZEPHRA_SLOT(7)
  ZEPHRA_SLOT(8) ZEPHRA_SLOT(9) ZEPHRA_SLOT(10) ZEPHRA_SLOT(11) ZEPHRA_SLOT(12)
  ZEPHRA_SLOT(13) ZEPHRA_SLOT(14) ZEPHRA_SLOT(15)
  STDMETHOD(GetDisplayName)(BSTR* name) = 0;                                             // 16
  ZEPHRA_SLOT(17) ZEPHRA_SLOT(18) ZEPHRA_SLOT(19) ZEPHRA_SLOT(20) ZEPHRA_SLOT(21)
  ZEPHRA_SLOT(22) ZEPHRA_SLOT(23) ZEPHRA_SLOT(24) ZEPHRA_SLOT(25) ZEPHRA_SLOT(26)
  ZEPHRA_SLOT(27) ZEPHRA_SLOT(28) ZEPHRA_SLOT(29) ZEPHRA_SLOT(30) ZEPHRA_SLOT(31)
  ZEPHRA_SLOT(32) ZEPHRA_SLOT(33) ZEPHRA_SLOT(34) ZEPHRA_SLOT(35) ZEPHRA_SLOT(36)
  STDMETHOD(GetServiceUserId)(VARIANT* id) = 0;                                          // 37
};
VANTOR_UUIDOF(IHxCustomer, "27B8ADE0-3953-4B37-A852-234BE9EA602D");
struct HxCustomer;
VANTOR_UUIDOF(HxCustomer, "C882BE8A-7EB8-4F49-AF01-DA0E3D59E65B");

// Auction: the host's auction object, and the service provider's auction business object that
// the synchronisation receives into and sends from (IAuction, IAuctionObject). The number (17)
// and the service (64) are the host's; the operations from 12 to 42 are the provider object's,
// in its method order, and answer E_NOTIMPL where an object does not serve them.
struct IHxAuction : public IUnknown {
  ZEPHRA_SLOT(3) ZEPHRA_SLOT(4) ZEPHRA_SLOT(5) ZEPHRA_SLOT(6) ZEPHRA_SLOT(7)
  ZEPHRA_SLOT(8) ZEPHRA_SLOT(9) ZEPHRA_SLOT(10) ZEPHRA_SLOT(11)
  STDMETHOD(GetTitle)(BSTR* /*title*/) { return E_NOTIMPL; }                              // 12
  STDMETHOD(PutTitle)(BSTR /*title*/) { return E_NOTIMPL; }                               // 13
  STDMETHOD(PutOwnerUserId)(LONG /*userId*/) { return E_NOTIMPL; }                        // 14
  // 15: the auction's state after a send (1: not sent).
  STDMETHOD(GetState)(LONG* /*state*/) { return E_NOTIMPL; }
  // 16: 3 the start date has passed, 4 the auction has ended.
  STDMETHOD(PutState)(LONG /*state*/) { return E_NOTIMPL; }
  STDMETHOD(GetNumber)(BSTR* number) = 0;                                                // 17
  STDMETHOD(PutNumber)(BSTR /*number*/) { return E_NOTIMPL; }                             // 18
  STDMETHOD(PutCategory)(LONG /*category*/) { return E_NOTIMPL; }                         // 19
  STDMETHOD(PutQuantity)(LONG /*quantity*/) { return E_NOTIMPL; }                         // 20
  STDMETHOD(PutStartPrice)(CY /*price*/) { return E_NOTIMPL; }                            // 21
  STDMETHOD(PutMinimumPrice)(CY /*price*/) { return E_NOTIMPL; }                          // 22
  STDMETHOD(PutBuyNowPrice)(CY /*price*/) { return E_NOTIMPL; }                           // 23
  STDMETHOD(PutStartDate)(DATE /*date*/) { return E_NOTIMPL; }                            // 24
  STDMETHOD(PutDuration)(LONG /*duration*/) { return E_NOTIMPL; }                         // 25
  STDMETHOD(PutEndDate)(DATE /*date*/) { return E_NOTIMPL; }                              // 26
  STDMETHOD(PutHitCount)(LONG /*count*/) { return E_NOTIMPL; }                            // 27
  STDMETHOD(PutPrice)(CY /*price*/) { return E_NOTIMPL; }                                 // 28
  STDMETHOD(PutBidCount)(LONG /*count*/) { return E_NOTIMPL; }                            // 29
  STDMETHOD(PutFee)(CY /*fee*/) { return E_NOTIMPL; }                                     // 30
  STDMETHOD(PutCommission)(CY /*commission*/) { return E_NOTIMPL; }                       // 31
  STDMETHOD(PutLocation)(BSTR /*location*/) { return E_NOTIMPL; }                         // 32
  STDMETHOD(PutDescription)(BSTR /*description*/) { return E_NOTIMPL; }                   // 33
  STDMETHOD(PutWatcherCount)(LONG /*count*/) { return E_NOTIMPL; }                        // 34
  STDMETHOD(PutSoldCount)(LONG /*count*/) { return E_NOTIMPL; }                           // 35
  STDMETHOD(PutCountry)(VARIANT /*country*/) { return E_NOTIMPL; }                        // 36
  STDMETHOD(PutRegion)(VARIANT /*region*/) { return E_NOTIMPL; }                          // 37
  // 38: the auction's image list (an object answering IAuctionImages).
  STDMETHOD(GetImages)(IUnknown** /*images*/) { return E_NOTIMPL; }
  // 39: the auction's delivery options.
  STDMETHOD(GetDeliveryOptions)(IUnknown** /*options*/) { return E_NOTIMPL; }
  STDMETHOD(PutHeaderFlag)(LONG /*flag*/) { return E_NOTIMPL; }                           // 40
  STDMETHOD(PutPrivate)(VARIANT_BOOL /*isPrivate*/) { return E_NOTIMPL; }                 // 41
  STDMETHOD(GetShopItem)(VARIANT_BOOL* /*shopItem*/) { return E_NOTIMPL; }                // 42
  ZEPHRA_SLOT(43) ZEPHRA_SLOT(44) ZEPHRA_SLOT(45) ZEPHRA_SLOT(46) ZEPHRA_SLOT(47)
  ZEPHRA_SLOT(48) ZEPHRA_SLOT(49) ZEPHRA_SLOT(50) ZEPHRA_SLOT(51) ZEPHRA_SLOT(52)
  ZEPHRA_SLOT(53) ZEPHRA_SLOT(54) ZEPHRA_SLOT(55) ZEPHRA_SLOT(56) ZEPHRA_SLOT(57)
  ZEPHRA_SLOT(58) ZEPHRA_SLOT(59) ZEPHRA_SLOT(60) ZEPHRA_SLOT(61) ZEPHRA_SLOT(62)
  ZEPHRA_SLOT(63)
  STDMETHOD(GetServiceId)(LONG* service) = 0;                                            // 64
};
VANTOR_UUIDOF(IHxAuction, "0547694B-5950-4480-846F-98A03D148215");
struct HxAuction;
VANTOR_UUIDOF(HxAuction, "213CB894-493A-419C-884E-98C38EB9AED5");

// The sale type and options of a provider's auction object (queried from the auction).
struct IAuctionOptions : public IUnknown {
  // 3: 0 an auction with a start price, 1 buy-now, 2 a shop item.
  STDMETHOD(PutSaleType)(LONG saleType) = 0;
  STDMETHOD(PutEnhancements)(LONG options) = 0;        // 4: bit set
  STDMETHOD(PutPaymentOptions)(LONG options) = 0;      // 5: bit set
  STDMETHOD(PutShippingOptions)(LONG options) = 0;     // 6: bit set
  STDMETHOD(PutTransferCost)(CY cost) = 0;             // 7
  STDMETHOD(PutShippingCost)(CY cost) = 0;             // 8
  STDMETHOD(PutAdditionalInfo)(BSTR info) = 0;         // 9
  STDMETHOD(PutTransferCostSet)(LONG set) = 0;         // 10: 0 the cost is not given
  STDMETHOD(PutShippingCostSet)(LONG set) = 0;         // 11: 0 the cost is not given
};
VANTOR_UUIDOF(IAuctionOptions, "3CB0DB4F-38E8-4E5F-AFCA-20335D552D8E");

// The image list of a provider's auction object, by the ids of the host's image store (VT_I4).
struct IAuctionImages : public IUnknown {
  STDMETHOD(Contains)(VARIANT imageId, VARIANT_BOOL* contains) = 0;   // 3
  STDMETHOD(Add)(VARIANT imageId) = 0;                                // 4
  STDMETHOD(Clear)() = 0;                                             // 5
};
VANTOR_UUIDOF(IAuctionImages, "310B95D8-7C23-48CB-9FEE-D37358A45F78");

// The extra data of a provider's object before it is checked and sent or saved: the auction's
// before a send, a transaction comment's before its check (one interface, one id). Both callers
// pass a null value.
struct IAuctionObjectPrepare : public IUnknown {
  ZEPHRA_SLOT(3) ZEPHRA_SLOT(4)
  STDMETHOD(PutExtra)(IUnknown* extra) = 0;            // 5
};
VANTOR_UUIDOF(IAuctionObjectPrepare, "73FE2789-F1B8-4506-9ADD-62D50C694F5C");

// Package of a transaction.
struct IHxPackage : public IUnknown {
  ZEPHRA_SLOT(3) ZEPHRA_SLOT(4) ZEPHRA_SLOT(5) ZEPHRA_SLOT(6) ZEPHRA_SLOT(7) ZEPHRA_SLOT(8)
  STDMETHOD(GetChargePresent)(VARIANT_BOOL* present) = 0;                                // 9
  ZEPHRA_SLOT(10) ZEPHRA_SLOT(11) ZEPHRA_SLOT(12) ZEPHRA_SLOT(13) ZEPHRA_SLOT(14)
  STDMETHOD(GetCharge)(CY* charge) = 0;                                                  // 15
  STDMETHOD(GetItemCount)(LONG* count) = 0;                                              // 16
  ZEPHRA_SLOT(17)
  STDMETHOD(GetItemName)(LONG index, BSTR* name) = 0;                                    // 18
  STDMETHOD(GetItemPrice)(LONG index, CY* price) = 0;                                    // 19
  STDMETHOD(GetItemQuantity)(LONG index, LONG* quantity) = 0;                            // 20
  ZEPHRA_SLOT(21) ZEPHRA_SLOT(22) ZEPHRA_SLOT(23) ZEPHRA_SLOT(24) ZEPHRA_SLOT(25)
  STDMETHOD(Recompute)() = 0;                                                            // 26
  ZEPHRA_SLOT(27) ZEPHRA_SLOT(28) ZEPHRA_SLOT(29) ZEPHRA_SLOT(30) ZEPHRA_SLOT(31)
  ZEPHRA_SLOT(32) ZEPHRA_SLOT(33) ZEPHRA_SLOT(34)
  STDMETHOD(GetSendDate)(VARIANT* date) = 0;                                             // 35
  ZEPHRA_SLOT(36) ZEPHRA_SLOT(37) ZEPHRA_SLOT(38) ZEPHRA_SLOT(39) ZEPHRA_SLOT(40)
  ZEPHRA_SLOT(41) ZEPHRA_SLOT(42)
  STDMETHOD(GetSymbol)(BSTR* symbol) = 0;                                                // 43
  ZEPHRA_SLOT(44) ZEPHRA_SLOT(45) ZEPHRA_SLOT(46)
  STDMETHOD(GetChargeCurrency)(BSTR* currency) = 0;                                      // 47
  ZEPHRA_SLOT(48)
  STDMETHOD(GetTrackingLink)(BSTR* link) = 0;                                            // 49
  ZEPHRA_SLOT(50) ZEPHRA_SLOT(51) ZEPHRA_SLOT(52) ZEPHRA_SLOT(53) ZEPHRA_SLOT(54)
  ZEPHRA_SLOT(55) ZEPHRA_SLOT(56) ZEPHRA_SLOT(57) ZEPHRA_SLOT(58) ZEPHRA_SLOT(59)
  ZEPHRA_SLOT(60) ZEPHRA_SLOT(61) ZEPHRA_SLOT(62)
  STDMETHOD(GetModified)(VARIANT_BOOL* modified) = 0;                                    // 63
  STDMETHOD(PutModified)(LONG modified) = 0;                                             // 64
};
VANTOR_UUIDOF(IHxPackage, "444B53F7-830A-493F-B07D-3E8228353E30");
struct HxPackage;
VANTOR_UUIDOF(HxPackage, "1718D6A0-9A88-43FF-8B8B-DDD58186E3AB");

// Address of a transaction (billing/document or delivery).
struct IHxAddress : public IUnknown {
  STDMETHOD(GetSkipBilling)(VARIANT_BOOL* skip) = 0;     // 3: true: the billing address is not sent
  STDMETHOD(GetName)(BSTR* v) = 0;                       // 4
  STDMETHOD(PutName)(BSTR v) = 0;                        // 5
  STDMETHOD(GetFirstLine)(BSTR* v) = 0;                  // 6
  STDMETHOD(PutFirstLine)(BSTR v) = 0;                   // 7
  STDMETHOD(GetSecondLine)(BSTR* v) = 0;                 // 8
  STDMETHOD(PutSecondLine)(BSTR v) = 0;                  // 9
  STDMETHOD(GetZipCode)(BSTR* v) = 0;                    // 10
  STDMETHOD(PutZipCode)(BSTR v) = 0;                     // 11
  STDMETHOD(GetCity)(BSTR* v) = 0;                       // 12
  STDMETHOD(PutCity)(BSTR v) = 0;                        // 13
  STDMETHOD(GetCountry)(BSTR* v) = 0;                    // 14
  STDMETHOD(PutCountry)(BSTR v) = 0;                     // 15
  ZEPHRA_SLOT(16)
  STDMETHOD(GetCompany)(BSTR* v) = 0;                    // 17
  STDMETHOD(PutCompany)(BSTR v) = 0;                     // 18
  STDMETHOD(GetTaxNumber)(BSTR* v) = 0;                  // 19
  STDMETHOD(PutTaxNumber)(BSTR v) = 0;                   // 20
};
VANTOR_UUIDOF(IHxAddress, "E999209A-27C1-4F13-AEAA-E93E09D73C8E");

// The ERP document link of a transaction.
struct IHxDocumentLink : public IUnknown {
  ZEPHRA_SLOT(3) ZEPHRA_SLOT(4)
  STDMETHOD(GetDocumentId)(VARIANT* id) = 0;        // 5: VT_I4 when a document exists
  ZEPHRA_SLOT(6)
  STDMETHOD(GetDocumentKind)(VARIANT* kind) = 0;    // 7: NULL when none
};
VANTOR_UUIDOF(IHxDocumentLink, "BE50E0BE-B2CC-4D06-BC31-A57720E75F0A");

// The item positions of a transaction.
struct IHxPositionCursor : public IUnknown {
  STDMETHOD(MoveFirst)() = 0;                   // 3
  STDMETHOD(IsEOF)(VARIANT_BOOL* eof) = 0;      // 4
  STDMETHOD(MoveNext)() = 0;                    // 5
  STDMETHOD(GetKey)(VARIANT* key) = 0;          // 6
};
VANTOR_UUIDOF(IHxPositionCursor, "105DA789-1E1F-4C3B-92FA-739040EBE89C");

// The delivery options of an auction as a transaction takes them: the delivery method a new
// purchase gets (VT_I4, a row of sl_Delivery; NULL or empty: collection in person only).
struct IHxDeliveryOptions : public IUnknown {
  STDMETHOD(GetDeliveryMethod)(VARIANT* method) = 0;   // 3
};
VANTOR_UUIDOF(IHxDeliveryOptions, "5C0E6C1B-2B4F-4F0E-9C57-3D8A0E7B41A2");

// The comment record of a transaction: the comment its buyer gave (received) and the one given
// to the buyer (sent). Loaded by the transaction's id; data set 1 holds its comment row, none
// until a comment of the transaction has been saved.
struct ITransactionComment : public IUnknown {
  STDMETHOD(PutReceivedComment)(BSTR comment) = 0;     // 3
  STDMETHOD(PutReceivedDate)(DATE date) = 0;           // 4
  STDMETHOD(PutReceivedScore)(LONG score) = 0;         // 5
  STDMETHOD(PutSentComment)(BSTR comment) = 0;         // 6
  STDMETHOD(PutSentDate)(DATE date) = 0;               // 7
  STDMETHOD(PutSentScore)(LONG score) = 0;             // 8
  STDMETHOD(PutSentExternalId)(VARIANT id) = 0;        // 9: the comment's id at the site
};
VANTOR_UUIDOF(ITransactionComment, "BEBB1486-FD40-4740-96C4-F35A62049DDF");
struct HxTransactionComment;
VANTOR_UUIDOF(HxTransactionComment, "9E0F30A0-1EA9-43F1-BFEF-3159FC44BEF0");

// The receive path names the same interfaces after the service provider's objects: one
// declaration each (the auction keeps its slots 17 and 64; the others their named slots).
using ITransaction = IHxTransaction;
using ICustomer = IHxCustomer;
// A customer's address is the same interface: its street is the first line (slot 7), its
// postcode the zip code (11), its country name the country (15).
using ICustomerAddress = IHxAddress;
using IAuction = IHxAuction;
using IAuctionObject = IHxAuction;
using ICommentExtra = IAuctionObjectPrepare;

// Framework user object (its rights through IHxUserRights).
struct HxFrameworkUser;
VANTOR_UUIDOF(HxFrameworkUser, "6A136689-8CAA-4635-962B-A8A6177A0CB7");
// The host's e-mail address object.
struct HxMailAddress;
VANTOR_UUIDOF(HxMailAddress, "FE5A7604-0E9C-4590-A9AD-2E95FB2F49E0");
// The host's address object: one row of its address table (data set 0, the adr_ columns).
struct HxAddressRecord;
VANTOR_UUIDOF(HxAddressRecord, "3C90D695-C97C-4B40-94EC-B01C2A5AB623");

_COM_SMARTPTR_TYPEDEF(IFlgInstance, __uuidof(IFlgInstance));
_COM_SMARTPTR_TYPEDEF(IFlgDataFactory, __uuidof(IFlgDataFactory));
_COM_SMARTPTR_TYPEDEF(IFlgNewKeySource, __uuidof(IFlgNewKeySource));
_COM_SMARTPTR_TYPEDEF(IFlgData, __uuidof(IFlgData));
_COM_SMARTPTR_TYPEDEF(IFlgDataSet, __uuidof(IFlgDataSet));
_COM_SMARTPTR_TYPEDEF(IFlgDataSetup, __uuidof(IFlgDataSetup));
_COM_SMARTPTR_TYPEDEF(IFlgDataCallback, __uuidof(IFlgDataCallback));
_COM_SMARTPTR_TYPEDEF(IFlgItem, __uuidof(IFlgItem));
_COM_SMARTPTR_TYPEDEF(IFlgWnd, __uuidof(IFlgWnd));
_COM_SMARTPTR_TYPEDEF(IFlgItemView, __uuidof(IFlgItemView));
_COM_SMARTPTR_TYPEDEF(IFlgText, __uuidof(IFlgText));
_COM_SMARTPTR_TYPEDEF(IFlgObjectExtension, __uuidof(IFlgObjectExtension));
_COM_SMARTPTR_TYPEDEF(IFlgSkin, __uuidof(IFlgSkin));
_COM_SMARTPTR_TYPEDEF(ITodayWindow, __uuidof(ITodayWindow));
_COM_SMARTPTR_TYPEDEF(IHxUser, __uuidof(IHxUser));
_COM_SMARTPTR_TYPEDEF(IHxNavigation, __uuidof(IHxNavigation));
_COM_SMARTPTR_TYPEDEF(IHxCustomerView, __uuidof(IHxCustomerView));
_COM_SMARTPTR_TYPEDEF(IHxUserRights, __uuidof(IHxUserRights));
_COM_SMARTPTR_TYPEDEF(IHxAppServices, __uuidof(IHxAppServices));
_COM_SMARTPTR_TYPEDEF(IHxStatusWindow, __uuidof(IHxStatusWindow));
_COM_SMARTPTR_TYPEDEF(IHxStartCheck, __uuidof(IHxStartCheck));
_COM_SMARTPTR_TYPEDEF(IHxProgress, __uuidof(IHxProgress));
_COM_SMARTPTR_TYPEDEF(IHxJobLogStore, __uuidof(IHxJobLogStore));
_COM_SMARTPTR_TYPEDEF(IHxImageRepository, __uuidof(IHxImageRepository));
_COM_SMARTPTR_TYPEDEF(IHxImageStore, __uuidof(IHxImageStore));
_COM_SMARTPTR_TYPEDEF(IHxAppCaption, __uuidof(IHxAppCaption));
_COM_SMARTPTR_TYPEDEF(IFlgParameterItem, __uuidof(IFlgParameterItem));
_COM_SMARTPTR_TYPEDEF(IHxConnectionSettings, __uuidof(IHxConnectionSettings));
_COM_SMARTPTR_TYPEDEF(IHxRegistrationSource, __uuidof(IHxRegistrationSource));
_COM_SMARTPTR_TYPEDEF(IHxRegistrationTable, __uuidof(IHxRegistrationTable));
_COM_SMARTPTR_TYPEDEF(IHxMailAddress, __uuidof(IHxMailAddress));
_COM_SMARTPTR_TYPEDEF(IHxErpHost, __uuidof(IHxErpHost));
_COM_SMARTPTR_TYPEDEF(IHxErpConnectorEntry, __uuidof(IHxErpConnectorEntry));
_COM_SMARTPTR_TYPEDEF(DSIConnector, __uuidof(DSIConnector));
_COM_SMARTPTR_TYPEDEF(DSIDocuments, __uuidof(DSIDocuments));
_COM_SMARTPTR_TYPEDEF(DSICollection, __uuidof(DSICollection));
_COM_SMARTPTR_TYPEDEF(DSIProducts, __uuidof(DSIProducts));
_COM_SMARTPTR_TYPEDEF(DSICustomers, __uuidof(DSICustomers));
_COM_SMARTPTR_TYPEDEF(DSIDefaults, __uuidof(DSIDefaults));
_COM_SMARTPTR_TYPEDEF(IHxTransaction, __uuidof(IHxTransaction));
_COM_SMARTPTR_TYPEDEF(IHxCustomer, __uuidof(IHxCustomer));
_COM_SMARTPTR_TYPEDEF(IHxAuction, __uuidof(IHxAuction));
_COM_SMARTPTR_TYPEDEF(IAuctionOptions, __uuidof(IAuctionOptions));
_COM_SMARTPTR_TYPEDEF(IAuctionImages, __uuidof(IAuctionImages));
_COM_SMARTPTR_TYPEDEF(IAuctionObjectPrepare, __uuidof(IAuctionObjectPrepare));
_COM_SMARTPTR_TYPEDEF(IHxPackage, __uuidof(IHxPackage));
_COM_SMARTPTR_TYPEDEF(IHxAddress, __uuidof(IHxAddress));
_COM_SMARTPTR_TYPEDEF(IHxDocumentLink, __uuidof(IHxDocumentLink));
_COM_SMARTPTR_TYPEDEF(IHxPositionCursor, __uuidof(IHxPositionCursor));
_COM_SMARTPTR_TYPEDEF(IHxDeliveryOptions, __uuidof(IHxDeliveryOptions));
_COM_SMARTPTR_TYPEDEF(ITransactionComment, __uuidof(ITransactionComment));
_COM_SMARTPTR_TYPEDEF(LotrixRegistration, __uuidof(LotrixRegistration));
_COM_SMARTPTR_TYPEDEF(LotrixRegCustData, __uuidof(LotrixRegCustData));
