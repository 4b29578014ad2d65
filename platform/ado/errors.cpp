// Error and Errors: the provider errors of a connection's last failure.
#include "platform/ado/objects_internal.h"

namespace platform::ado {

class ErrorImpl final : public ComObject<::Error> {
 public:
  explicit ErrorImpl(DbError e) : e_(std::move(e)) {}
  STDMETHODIMP get_Number(LONG* pl) override { return PutOut(pl, static_cast<LONG>(e_.hr)); }
  STDMETHODIMP get_Source(BSTR* b) override { return PutBstr(b, e_.source); }
  STDMETHODIMP get_Description(BSTR* b) override { return PutBstr(b, e_.description); }
  STDMETHODIMP get_HelpFile(BSTR* b) override { return PutBstr(b, L""); }
  STDMETHODIMP get_HelpContext(LONG* pl) override { return PutOut(pl, LONG{0}); }
  STDMETHODIMP get_SQLState(BSTR* b) override { return PutBstr(b, e_.sqlState); }
  STDMETHODIMP get_NativeError(LONG* pl) override { return PutOut(pl, e_.native); }

 private:
  DbError e_;
};

class ErrorsImpl final : public ComObject<::Errors> {
 public:
  explicit ErrorsImpl(std::shared_ptr<std::vector<DbError>> list) : list_(std::move(list)) {}
  STDMETHODIMP get_Count(LONG* c) override { return PutOut(c, static_cast<LONG>(list_->size())); }
  STDMETHODIMP get_Item(VARIANT index, ::Error** out) override {
    return AdoBoundary(__uuidof(::Errors), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      std::size_t i = ItemIndex(index, list_->size(), [&](std::size_t k) { return std::to_wstring(k); });
      *out = (new ErrorImpl((*list_)[i]))->Interface();
      return S_OK;
    });
  }
  STDMETHODIMP raw_Clear() override {
    list_->clear();
    return S_OK;
  }
  STDMETHODIMP raw_Refresh() override { return S_OK; }

 private:
  std::shared_ptr<std::vector<DbError>> list_;
};

::Errors* NewErrors(std::shared_ptr<std::vector<DbError>> list) {
  return (new ErrorsImpl(std::move(list)))->Interface();
}

}  // namespace platform::ado
