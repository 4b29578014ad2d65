#pragma once
// Business-object tools (create, load, save, delete, identify framework objects) and the scope
// that suspends the host's list refreshing.
#include "shared/hxinstance.h"

class CHxObjTools {
 public:
  CHxObjTools() = delete;

  // 0 opens an object for editing; any other value opens it read only.
  enum ObjMode { omEdit = 0, omReadOnly = 1 };

  static bool IsUserAdminId(LONG id);
  static _variant_t GetUserAdminId();
  // The object's id when it is a VT_I4 above 0, else 0x80000000. Raises E_POINTER for null.
  static LONG ObjectId(IFlgDataPtr data);
  static IFlgItemPtr New(const GUID& type);
  static IFlgItemPtr Fetch(const GUID& type, LONG id, ObjMode mode);
  // Check, then save; the framework's unspecified database error is raised as E_FAIL.
  static void Save(IFlgItemPtr item);
  static void Delete(const GUID& type, LONG id);
};

class CHxRefreshLock {
 public:
  CHxRefreshLock();
  explicit CHxRefreshLock(GUID type);
  CHxRefreshLock(const CHxRefreshLock&) = delete;
  CHxRefreshLock& operator=(const CHxRefreshLock& other);
  ~CHxRefreshLock();

  void SetRefreshAtEndGuid(GUID type);

  // The process-wide nesting depth (for diagnostics and tests).
  static int Depth();

 private:
  void Enter();
  void Leave();

  GUID m_type;
  bool m_flag;
};
