#pragma once
// The framework data-object base: one main row and the rows of its sub-tables as a COM data object
// of the host's framework. The host's data factory reads and writes the rows; the object describes
// its tables to the factory, keeps the recordsets the factory fills, keeps its state (new, read,
// edited), locks itself between workstations while it is edited, checks the user's rights, collects
// validation errors, reports every failure as COM error information, and lets a derived class hook
// into each step through its virtual operations.
//
// A concrete class derives from CComFlgObject, sets its data-set definitions, object type and
// rights in its constructor, implements GetObjectClsid and is created as CFlgComObject<T> (through
// CFlgComClassFactory). Every interface method enters Lotrix's module state; the object keeps the
// library loaded while it lives.
#include <functional>
#include <new>
#include <unordered_map>
#include <vector>

#include "auctions/dberror.h"
#include "framework/comobject.h"
#include "framework/objerrors.h"
#include "framework/zephra.h"
#include "platform/resources/resources.h"
#include "shared/objectdlg.h"
#include "shared/objlock.h"

// A new object of the class (class context 23: in-process server and handler, local and remote
// server), started with OleRun. Raises the failure of either step.
IUnknownPtr FlgCreateRunning(REFCLSID clsid);
// The class object of the class, for creating many objects of it; raises the failure.
IClassFactoryPtr FlgClassObject(REFCLSID clsid);
// A new object made by the class object, started with OleRun. Raises the failure of either step.
IUnknownPtr FlgCreateRunning(IClassFactory* factory);

// Puts a recordset's filter back as it was when the scope began, also when an error ends it.
class CFlgFilterScope {
 public:
  explicit CFlgFilterScope(_RecordsetPtr rs);
  ~CFlgFilterScope();
  CFlgFilterScope(const CFlgFilterScope&) = delete;
  CFlgFilterScope& operator=(const CFlgFilterScope&) = delete;

 private:
  _RecordsetPtr m_rs;
  _variant_t m_filter;
};

// Holds the module state of the library, taken at construction, so that every interface method
// of the object can enter it.
class CRtBase {
 public:
  CRtBase();
  virtual ~CRtBase() = default;
  AFX_MODULE_STATE* GetModuleState() const { return m_pModuleState; }

 protected:
  AFX_MODULE_STATE* m_pModuleState;
};

// One extension object told of the object's saves and deletes: its class and a parameter.
struct FlgObjectExtension {
  GUID clsid;
  LONG param;
};

// One entry of the field-flag table of CheckFieldFlags.
struct FlgFieldFlags {
  const wchar_t* name;
  LONG flags;
};

// Old keys of copied rows and the keys their copies got, by table and key column.
class CFlgKeyMap {
 public:
  CFlgKeyMap() : m_map(10) {}
  void Set(const wchar_t* table, const wchar_t* column, LONG oldKey, LONG newKey);
  bool Lookup(const wchar_t* table, const wchar_t* column, LONG oldKey, LONG* newKey) const;

 private:
  static CString Key(const wchar_t* table, const wchar_t* column, LONG oldKey);
  std::unordered_map<std::wstring, LONG> m_map;
};

// The description of a failure the class library raised in an interface method.
inline constexpr wchar_t kFlgUndefinedError[] = L"Niezdefiniowany błąd";

class CComFlgObject : public CRtBase,
                      public IFlgDataSet,
                      public IFlgDataSetup,
                      public IFlgDataCallback,
                      public IFlgItem,
                      public IFlgItemView,
                      public IFlgText,
                      public ISupportErrorInfo,
                      public IHxEditedObject {
 public:
  // The object's states.
  enum { stNone = 0, stNew = 1, stEdited = 2, stRead = 3 };

  CComFlgObject();
  ~CComFlgObject() override;
  CComFlgObject(const CComFlgObject&) = delete;
  CComFlgObject& operator=(const CComFlgObject&) = delete;

  // The interface pointer for `iid` (for CFlgComObject), or null.
  void* FlgGetInterface(REFIID iid);

  // --- the derived class's operations
  virtual CLSID GetObjectClsid() = 0;
  // Named attributes of the object as rows of data set `dataSet` (the framework's attribute table).
  virtual HRESULT GetAttribute(LONG dataSet, const wchar_t* name, VARIANT* value);
  virtual HRESULT SetAttribute(LONG dataSet, const wchar_t* name, const VARIANT& value);
  // 0 without a field-flag mask; else the field's flags (in `flags`) masked. A field missing from
  // the table raises E_UNEXPECTED.
  virtual LONG CheckFieldFlags(const wchar_t* field, LONG* flags);
  // The object's name in messages.
  virtual CString GetDisplayName();
  // Shows the object (parent: the window of the window object, null for none); the dialog's result.
  virtual INT_PTR ShowEditDialog(CWnd* parent);
  virtual void AfterEditDialog(INT_PTR result, CWnd* parent);
  // Asks the user whether to delete the object; the button pressed.
  virtual int ConfirmDelete();
  // Fills a new main row; a non-zero result leaves the object in state 0.
  virtual HRESULT InitNewDefaults(const VARIANT& init);
  // After the factory has read the rows.
  virtual HRESULT OnLoad(const VARIANT& id);
  // Copies every data set from `source` into this new object.
  virtual HRESULT CopyFrom(IFlgItem* source, CFlgKeyMap& keys);
  virtual HRESULT OnCopied(const VARIANT& sourceId);
  virtual HRESULT OnBeginEdit();
  virtual HRESULT OnEndEdit();
  // Checks before saving; adds errors to the error list.
  virtual HRESULT Validate();
  // Appends a row to `historyTable` unless its newest row (by `orderColumn`) equals the object's
  // current row of `table`: history column k-1 holds current column k from column 3 on.
  virtual HRESULT SaveHistorySnapshot(const VARIANT& id, const wchar_t* table, const wchar_t* keyColumn,
                                      const wchar_t* historyTable, const wchar_t* orderColumn,
                                      const wchar_t* historyKeyColumn);

  // --- error list and required fields (for Validate)
  // Appends an entry unless an equal one is there; the first negative code is kept as the first error.
  void AddError(LONG fieldId, LONG kind, const wchar_t* text, HRESULT hr);
  // An error for an empty (VT_EMPTY, VT_NULL, "") column of the current row of `dataSet`: `hr`, else 0.
  HRESULT RequireField(const wchar_t* column, LONG fieldId, LONG kind, const wchar_t* message, LONG dataSet,
                       HRESULT hr);
  // The same with the message as a string-table id of the library.
  HRESULT RequireFieldRes(const wchar_t* column, LONG fieldId, LONG kind, UINT messageId, LONG dataSet, HRESULT hr);

  // --- the recordset of a data set (read on first use), for derived classes; raises
  _RecordsetPtr DataSet(LONG index);
  // --- the columns of the main row (the current row of data set 0) as the derived classes' members
  // read and write them: a text (null for NULL; a null text writes an empty one), a long (0 for
  // NULL). These raise; the Get/Set forms are whole COM members (`nullOut` for a null pointer).
  FieldPtr MainField(const wchar_t* column);
  _bstr_t MainText(const wchar_t* column);
  void PutMainText(const wchar_t* column, BSTR value);
  LONG MainLong(const wchar_t* column);
  void PutMainLong(const wchar_t* column, LONG value);
  HRESULT GetMainText(const wchar_t* column, BSTR* value, HRESULT nullOut);
  HRESULT SetMainText(const wchar_t* column, BSTR value);
  HRESULT GetMainLong(const wchar_t* column, LONG* value, HRESULT nullOut);
  HRESULT SetMainLong(const wchar_t* column, LONG value);
  LONG State() const { return m_lState; }
  const _variant_t& Id() const { return m_vId; }
  IFlgDataFactoryPtr Factory() const { return m_spFactory; }

  // --- IUnknown (CFlgComObject gives the implementation)

  // --- IFlgData (the same for IFlgDataSet, IFlgDataSetup and IFlgDataCallback)
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

  // --- IFlgDataSetup
  STDMETHOD(SetDataSet)(LONG index, IUnknown* recordset) override;
  STDMETHOD(GetDefinition)(LONG index, const FlgDataSetDef** definition) override;
  STDMETHOD(GetDefinitionCount)(LONG* count) override;
  STDMETHOD(GetTempKey)(LONG* key) override;
  STDMETHOD(SetTempKey)(LONG key) override;
  STDMETHOD(GetSecondDataSet)(LONG index, IUnknown** recordset) override;
  STDMETHOD(SetSecondDataSet)(LONG index, IUnknown* recordset) override;
  STDMETHOD(SetId)(VARIANT id) override;
  STDMETHOD(HasDataSet)(LONG index, VARIANT_BOOL* has) override;
  STDMETHOD(SetPendingNotification)(LONG value) override;
  STDMETHOD(GetPendingNotification)(LONG* value) override;

  // --- IFlgDataCallback (slots 7 to 10 and 12 to 14 answer 0)
  STDMETHOD(Slot7)() override { return S_OK; }
  STDMETHOD(Slot8)() override { return S_OK; }
  STDMETHOD(Slot9)() override { return S_OK; }
  STDMETHOD(OnSaved)() override { return S_OK; }
  STDMETHOD(RunPendingNotification)() override;
  STDMETHOD(Slot12)() override { return S_OK; }
  STDMETHOD(Slot13)() override { return S_OK; }
  // (also IFlgItem's slot 14)
  STDMETHOD(Slot14)() override { return S_OK; }

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
  STDMETHOD(Slot15)() override { return S_OK; }
  STDMETHOD(SetUseTransaction)(LONG use) override;
  STDMETHOD(SetLockOnEdit)(LONG lock) override;
  STDMETHOD(SetCheckRights)(LONG check) override;
  STDMETHOD(SetCallbackValue)(LONG value) override;
  STDMETHOD(GetCallbackValue)(LONG* value) override;

  // --- IFlgItemView
  STDMETHOD(GetWindow)(LONG* hwnd) override;
  STDMETHOD(ContextSensitiveHelp)(BOOL enter) override;
  STDMETHOD(ShowReadOnly)(IUnknown* window, IFlgInstance* instance) override;
  STDMETHOD(Show)(IUnknown* window, IFlgInstance* instance) override;
  STDMETHOD(ShowDelete)(IUnknown* window, IFlgInstance* instance) override;
  STDMETHOD(ShowExtra)(IUnknown* window, IFlgInstance* instance) override;

  // --- IFlgText
  STDMETHOD(GetLong)(VARIANT a, VARIANT b, VARIANT c, VARIANT d, IFlgDataFactory* factory, LONG* value) override;
  STDMETHOD(GetSql)(VARIANT a, VARIANT b, VARIANT c, VARIANT d, BSTR* sql) override;

  // --- ISupportErrorInfo
  STDMETHOD(InterfaceSupportsErrorInfo)(REFIID iid) override;

  // --- IHxEditedObject (what the object dialog uses)
  LONG GetOpenMode() override { return m_lState; }
  CObjErrorInfoArray* GetErrorList() override { return m_pErrors; }
  void SetWindowHandle(LONG hwnd) override { m_lHwnd = hwnd; }
  HMENU GetMenu() override { return nullptr; }
  IFlgItemPtr GetItem() override { return IFlgItemPtr(static_cast<IFlgItem*>(this)); }
  IFlgDataSetPtr GetDataSet() override { return IFlgDataSetPtr(static_cast<IFlgDataSet*>(this)); }
  IFlgDataSetupPtr GetDataSetup() override { return IFlgDataSetupPtr(static_cast<IFlgDataSetup*>(this)); }
  IFlgInstancePtr GetFlgInstance() override;
  CString GetErrorInformation(HRESULT hr) override;
  CString GetInfoText() override { return CString(); }
  CString GetInfoTitle() override { return CString(); }
  LONG GetInfoType() override { return 0; }
  BOOL PreTranslateMessage(MSG*) override { return FALSE; }
  BOOL OnCmdMsg(UINT, int, void*, AFX_CMDHANDLERINFO*) override { return FALSE; }

 protected:
  // What a derived class sets in its constructor.
  void SetDefinitions(const FlgDataSetDef* definitions, LONG count);
  void SetExtensions(const FlgObjectExtension* extensions, LONG count, bool enabled);
  void SetFieldFlags(const FlgFieldFlags* table, LONG count, LONG mask);
  // An interface of the derived class whose failures set error information (ISupportErrorInfo).
  void AddErrorInterface(REFIID iid) { m_errorInterfaces.push_back(iid); }
  // The COM error being handled (call inside its catch block) as the method's result: its error
  // information back on the thread; mapped with MapDbError and `insert` as the message's insert
  // when one is given (empty: no insert).
  HRESULT Failed(const wchar_t* insert);
  // An interface method's error boundary, run in the library's module state: a COM error is
  // mapped as Failed does when `insert` is given; memory exhaustion is E_OUTOFMEMORY; any other
  // failure (a class-library exception among them) is E_FAIL with the text "Niezdefiniowany błąd".
  template <class F>
  HRESULT FlgBoundary(const wchar_t* insert, F&& work) {
    AFX_MANAGE_STATE(m_pModuleState);
    return platform::com::Boundary([&]() -> HRESULT {
      try {
        return work();
      } catch (const _com_error&) {
        if (!insert) throw;
        platform::com::RaiseWithThreadInfo(Failed(insert));
      } catch (const std::bad_alloc&) {
        throw;
      } catch (CException* e) {
        e->Delete();
        RaiseUndefinedError();
      } catch (...) {
        RaiseUndefinedError();
      }
    });
  }
  // Raises E_FAIL with the text "Niezdefiniowany błąd".
  [[noreturn]] void RaiseUndefinedError();

  // The right numbers (0: no check) and the attribute owner (VT_NULL: no attributes).
  LONG m_lObjectType = -1;
  LONG m_lRightNew = 0;
  LONG m_lRightEdit = 0;
  LONG m_lRightDelete = 0;
  LONG m_lRightView = 0;   // ShowReadOnly
  LONG m_lRightExtra = 0;  // ShowExtra
  _variant_t m_vAttributeOwner;

 private:
  // The checks and steps the interface methods share.
  HRESULT CheckRight(IFlgInstance* instance, LONG right);
  HRESULT TakeFactory(IFlgDataFactory* factory, LONG right);
  HRESULT EnterEdit();
  HRESULT LeaveEdit();
  HRESULT RunExtensions(IFlgDataFactory* factory, LONG operation);
  bool ExtensionsEnabled(IFlgDataFactory* factory) const;
  HRESULT ShowDialog(IUnknown* window, IFlgInstance* instance, bool readOnly);
  // Runs `work` in a transaction on the factory's connection when the object uses one:
  // 0x80040F41 when it cannot begin; the work's failure mapped with `insert` and 0x80040F42 for a
  // failed commit, both after a rollback and `failed`.
  HRESULT InTransaction(IFlgDataFactory* factory, const wchar_t* insert, const std::function<void()>& work,
                        const std::function<void()>& failed);
  _ConnectionPtr Connection(IFlgDataFactory* factory) const;
  const FlgDataSetDef& Def(LONG index) const;
  void RequireIndex(LONG index) const;
  void SizeArrays();
  void ReadLazily(LONG index);
  LONG AddRowTo(LONG index, const _variant_t& link);
  // The key and link fields of data set `index` (field objects follow the current row).
  FieldPtr KeyField(LONG index);
  FieldPtr LinkField(LONG index);
  void CompleteNewRow(LONG index, const _variant_t& link);
  bool DeleteRowCascade(LONG index, LONG key, int depth);
  HRESULT CopyDataSet(IFlgDataSet* source, LONG index, CFlgKeyMap& keys);

  CObjErrorInfoArray m_errors;
  CObjErrorInfoArray* m_pErrors;
  CHxObjectLock m_lock;
  LONG m_lState = stNone;
  LONG m_lHwnd = 0;
  std::vector<_RecordsetPtr> m_sets;
  struct SetFields {
    _RecordsetPtr recordset;  // the recordset they belong to
    FieldPtr key, link;
  };
  std::vector<SetFields> m_setFields;
  std::vector<IUnknownPtr> m_secondSets;
  const FlgDataSetDef* m_pDefinitions = nullptr;
  LONG m_lDefinitionCount = 0;
  LONG m_lTempKey = -1;
  _variant_t m_vId;
  LONG m_bUseTransaction = 1;
  LONG m_bLockOnEdit = 1;
  LONG m_bCheckRights = 1;
  IFlgDataFactoryPtr m_spFactory;
  IUnknownPtr m_spParentWnd;
  IFlgInstancePtr m_spInstance;  // the instance a view operation was given
  LONG m_lCallbackValue = 0;
  CString m_text1;
  CString m_text2;
  LONG m_lFlags = 0x40;
  HRESULT m_hrFirstError = S_OK;
  LONG m_lPendingNotification = 0;
  LONG m_lFieldFlagMask = 0;
  const FlgFieldFlags* m_pFieldFlags = nullptr;
  LONG m_lFieldFlagCount = 0;
  const FlgObjectExtension* m_pExtensions = nullptr;
  LONG m_lExtensionCount = 0;
  bool m_bExtensionsEnabled = false;
  _variant_t m_vCopySource;
  std::vector<GUID> m_errorInterfaces;
};

