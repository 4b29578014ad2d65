// Property and Properties: named values over a bag that an object fills and watches.
#include "platform/ado/objects_internal.h"

namespace platform::ado {

class PropertyImpl final : public ComObject<::Property> {
 public:
  PropertyImpl(std::shared_ptr<PropertyBag> bag, std::size_t index) : bag_(std::move(bag)), index_(index) {}
  STDMETHODIMP get_Value(VARIANT* v) override {
    if (!v) return E_POINTER;
    return VariantCopy(v, &bag_->entries[index_].value);
  }
  STDMETHODIMP put_Value(VARIANT v) override {
    return AdoBoundary(__uuidof(::Property), nullptr, [&]() -> HRESULT {
      auto& e = bag_->entries[index_];
      e.value = _variant_t(v);
      if (bag_->onPut) bag_->onPut(e.name, e.value);
      return S_OK;
    });
  }
  STDMETHODIMP get_Name(BSTR* b) override { return PutBstr(b, bag_->entries[index_].name); }
  STDMETHODIMP get_Type(DataTypeEnum* t) override { return PutOut(t, bag_->entries[index_].type); }
  STDMETHODIMP get_Attributes(LONG* a) override { return PutOut(a, LONG{0x200 | 0x400}); }  // read and write
  STDMETHODIMP put_Attributes(LONG) override { return S_OK; }

 private:
  std::shared_ptr<PropertyBag> bag_;
  std::size_t index_;
};

class PropertiesImpl final : public ComObject<::Properties> {
 public:
  explicit PropertiesImpl(std::shared_ptr<PropertyBag> bag) : bag_(std::move(bag)) {}
  STDMETHODIMP get_Count(LONG* c) override { return PutOut(c, static_cast<LONG>(bag_->entries.size())); }
  STDMETHODIMP get_Item(VARIANT index, ::Property** out) override {
    return AdoBoundary(__uuidof(::Properties), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      std::size_t i = ItemIndex(index, bag_->entries.size(), [&](std::size_t k) { return bag_->entries[k].name; });
      *out = (new PropertyImpl(bag_, i))->Interface();
      return S_OK;
    });
  }
  STDMETHODIMP raw_Refresh() override { return S_OK; }

 private:
  std::shared_ptr<PropertyBag> bag_;
};

::Properties* NewProperties(std::shared_ptr<PropertyBag> bag) {
  return (new PropertiesImpl(std::move(bag)))->Interface();
}

}  // namespace platform::ado
