#pragma once
// The vtable face of LotrixRegistration for Lotrix's account classes: every member answers
// E_NOTIMPL until a class serves it. Its Save reaches the class as SaveAccount, since the data
// objects that serve it also serve IFlgItem, whose Save is another method.
#include "framework/interfaces.h"
#include "platform/com/server.h"

class CLotrixRegistrationFace : public platform::com::DispatchFace<LotrixRegistration> {
 public:
  STDMETHODIMP GetUsername(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP PutUsername(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP GetAccesskey(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP PutAccesskey(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP GetDescription(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP PutDescription(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP GetSvcProvId(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP GetServiceName(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP GetSvcUserId(LONGLONG*) override { return E_NOTIMPL; }
  STDMETHODIMP PutSvcUserId(LONGLONG) override { return E_NOTIMPL; }
  STDMETHODIMP GetVersion(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP PutVersion(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP GetCustData(LotrixRegCustData**) override { return E_NOTIMPL; }
  STDMETHODIMP GetSubData(IUnknown**) override { return E_NOTIMPL; }
  STDMETHODIMP GetValid(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP Save() final { return SaveAccount(); }
  STDMETHODIMP GetErrorList(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP GetActive(BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP PutActive(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP GetHasShop(BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP PutHasShop(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP GetConnectorValue(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP GetMyAuctionsUrl(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP GetMyPageUrl(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP GetName(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP PutName(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP GetFullName(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP PutFullName(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP GetEmailId(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP PutEmailId(LONG) override { return E_NOTIMPL; }

 protected:
  // LotrixRegistration's Save.
  virtual HRESULT SaveAccount() { return E_NOTIMPL; }
};
