#pragma once
// The lock of one database object between workstations: a row of kd_blokada. Inserting the row
// for a key takes the lock (the table's key refuses a second row), deleting it releases it. The
// object that needs the lock owns it; the destructor releases what it still holds.
#include "framework/zephra.h"

class CHxObjectLock {
 public:
  // `errorCode` is what a refusal returns; every user in the system passes 0x80040F19.
  explicit CHxObjectLock(HRESULT errorCode);
  ~CHxObjectLock();
  CHxObjectLock(const CHxObjectLock&) = delete;
  CHxObjectLock& operator=(const CHxObjectLock&) = delete;

  // Takes the lock of (obtype, obid, obextra) on the factory's connection for this computer and
  // the factory's current user. 0 when the lock is held afterwards; the error code when another
  // workstation holds the key (GetErrorMessage then gives the database's explanation); the
  // HRESULT of any other failure of the insert. Raises E_POINTER for a null factory and the
  // failures of the connection and user requests; nothing is inserted then.
  HRESULT Acquire(IFlgDataFactory* factory, LONG obtype, LONG obid, LONG obextra);
  // The test-and-set itself on `connection`; 0 at once when the lock is already held.
  HRESULT LockRow(_ConnectionPtr connection, const wchar_t* workstation, const wchar_t* userName, LONG obtype,
                  LONG obid, LONG obextra);
  // Deletes the row when held. 0 on success or when nothing is held; a failed delete returns its
  // HRESULT and the lock stays held, so that the destructor tries again.
  HRESULT Release();
  // The text that explains the last refusal ("Nie można zablokować obiektu." until one).
  CString GetErrorMessage() const { return m_message; }
  // Whether this object holds its row.
  bool IsHeld() const { return m_held != 0; }

 private:
  _ConnectionPtr m_connection;
  LONG m_obtype = 0;
  LONG m_obid = 0;
  LONG m_obextra = 0;
  _bstr_t m_workstation;
  _bstr_t m_userName;
  LONG m_held = 0;
  CString m_message;
  HRESULT m_errorCode;
};
