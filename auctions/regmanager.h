#pragma once
// The account manager CoRegManager: how the host lists, adds, edits, deletes, activates and
// deactivates the seller's accounts and opens their seller-zone settings. Every account is a
// CoRegistration created by class id for one call and driven through its COM interfaces; the
// manager keeps no state between calls.
#include "auctions/flgobject.h"
#include "platform/com/server.h"
#include "auctions/lotrix.h"

// The rights of the manager and of the accounts it adds.
inline constexpr LONG kRightAccountManager = 100;

class CCoRegManager : public CRtBase, public platform::com::DispatchFace<IRegManager>, public ISupportErrorInfo {
 public:
  CCoRegManager();
  virtual ~CCoRegManager();
  CCoRegManager(const CCoRegManager&) = delete;
  CCoRegManager& operator=(const CCoRegManager&) = delete;

  void* FlgGetInterface(REFIID iid);

  // --- IRegManager
  STDMETHOD(Show)(LONG hwndParent) override;
  STDMETHOD(RegAdd)(LONG hwndParent, LONG lServiceId, LONG* pOut) override;
  STDMETHOD(RegEdit)(LONG hwndParent, LONG lRegId) override;
  STDMETHOD(RegDelete)(LONG hwndParent, LONG lRegId) override;
  STDMETHOD(GetRegList)(_Recordset** pVal) override;
  STDMETHOD(RegActivate)(LONG lRegId, VARIANT_BOOL bActive) override;
  STDMETHOD(RegEditStatuses)(LONG hwndParent, LONG lRegId) override;

  // --- ISupportErrorInfo
  STDMETHOD(InterfaceSupportsErrorInfo)(REFIID iid) override;

 private:
  HRESULT AddAccount(HWND parent, LONG service, LONG* out);
  HRESULT Activate(LONG id, bool activate);
};

// A window handle that crossed COM as a 32-bit long.
inline HWND HwndFromLong(LONG hwnd) { return reinterpret_cast<HWND>(static_cast<INT_PTR>(hwnd)); }
inline LONG LongFromHwnd(HWND hwnd) { return static_cast<LONG>(reinterpret_cast<INT_PTR>(hwnd)); }
