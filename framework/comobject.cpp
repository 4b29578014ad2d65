#include "framework/comobject.h"

namespace zephra {
LONG& LiveObjects() {
  static LONG count = 0;
  return count;
}
}  // namespace zephra

CFlgClassRegistration::CFlgClassRegistration(REFCLSID clsid, CFlgComClassFactory* factory) {
  factory->AddRef();
  m_hr = CoRegisterClassObject(clsid, static_cast<IClassFactory*>(factory), CLSCTX_INPROC_SERVER,
                               REGCLS_MULTIPLEUSE, &m_cookie);
  factory->Release();
}

CFlgClassRegistration::CFlgClassRegistration(CFlgClassRegistration&& other) noexcept
    : m_cookie(other.m_cookie), m_hr(other.m_hr) {
  other.m_cookie = 0;
  other.m_hr = E_FAIL;
}

CFlgClassRegistration& CFlgClassRegistration::operator=(CFlgClassRegistration&& other) noexcept {
  if (this != &other) {
    Revoke();
    m_cookie = other.m_cookie;
    m_hr = other.m_hr;
    other.m_cookie = 0;
    other.m_hr = E_FAIL;
  }
  return *this;
}

CFlgClassRegistration::~CFlgClassRegistration() { Revoke(); }

void CFlgClassRegistration::Revoke() {
  if (SUCCEEDED(m_hr) && m_cookie) CoRevokeClassObject(m_cookie);
  m_cookie = 0;
  m_hr = E_FAIL;
}
