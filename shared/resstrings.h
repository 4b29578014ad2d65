#pragma once
// Resource strings: texts loaded by id from the string tables of the system's libraries.
#include "platform/com/com.h"
#include "platform/resources/resources.h"
#include "platform/strings/strings.h"

// A string loaded by the class library: the current module's resources first, then the chain
// of extension libraries. A missing string is empty.
class CHxResString {
 public:
  explicit CHxResString(UINT id);
  CHxResString(const CHxResString& other) = default;
  CHxResString& operator=(const CHxResString& other) = default;
  ~CHxResString() = default;
  operator const wchar_t*() const { return m_text.GetString(); }
  const CString& Text() const { return m_text; }

 private:
  CString m_text;
};

// An automation string loaded from the resources of the module whose resource handle is current
// in the caller's module state. Null when the entry is missing or empty.
class CHxResBSTR {
 public:
  explicit CHxResBSTR(UINT id);
  CHxResBSTR(const CHxResBSTR& other);
  CHxResBSTR& operator=(const CHxResBSTR& other);
  ~CHxResBSTR();
  // A copy of the string; empty for a null string.
  operator _bstr_t() const;
  BSTR Get() const { return m_bstr; }

 private:
  BSTR m_bstr = nullptr;
};

// Vantor's own dictionary words.
enum HxString {
  hxsPaid = 0,
  hxsUnpaid,
  hxsTransaction,
  hxsNew,
  hxsCancelled,
  hxsFinished,
  hxsInProgress,
  hxsUnknownState,
  hxsToApprove,
  hxsChangedUntrusted,
  hxsAllInPackages,
  hxsNotAllInPackages,
  hxsAllDelivered,
  hxsNotAllDelivered,
  hxsCashOnDelivery,
  hxsPrepaid,
  hxsPositive,
  hxsNeutral,
  hxsNegative,
  hxsPersonalPickup,
  hxsAny,
  hxsAnyShipping,
  hxsNoAutoSync,
  hxsReceiveOnly,
  hxsSendAndReceive,
  hxsSyncInterrupted,
};

// One of Vantor's own words, loaded from Vantor's resources whatever module is current.
class CHxString {
 public:
  explicit CHxString(HxString which);
  CHxString(const CHxString& other) = default;
  CHxString& operator=(const CHxString& other) = default;
  virtual ~CHxString() = default;
  operator const wchar_t*() const { return m_text.GetString(); }
  const CString& Text() const { return m_text; }
  // The string id of a word; 0 (nothing) for a value outside the enumeration.
  static UINT IdOf(int which);

 private:
  CString m_text;
};

// Loads id from Vantor's own resources.
void hxLoadString(CString& out, UINT id);
// Loads id as the class library does (current module, then the extension chain).
CString hxLoadString(UINT id);

// Vantor's module handle (its resources).
HINSTANCE hxVantorModule();

// What a regular library calls from its InitInstance, with its own module state current: joins
// Vantor's resources (its string table) to that state's chain, once per state.
class CHxHookProc {
 public:
  CHxHookProc() = delete;
  static void InitCtrlsDll();
};
