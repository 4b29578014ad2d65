#pragma once
// Builders of request values for the binding tests; every value lives in the given context.
#include <initializer_list>
#include <string>
#include <utility>

#include "zone/protocol/StatusServiceBinding.h"

namespace vorlen::test {

inline char** TextPtr(struct soap* s, const char* text) {
  auto** p = static_cast<char**>(soap_malloc(s, sizeof(char*)));
  *p = soap_strdup(s, text);
  return p;
}

template <class T>
T* ValuePtr(struct soap* s, T value) {
  auto* p = static_cast<T*>(soap_malloc(s, sizeof(T)));
  *p = value;
  return p;
}

inline ss__RegisteredServiceUserInfo* User(struct soap* s, LONG64 id, const char* registration, char service = 1) {
  auto* u = soap_new_ss__RegisteredServiceUserInfo(s);
  u->serviceUserId = id;
  u->serviceId = service;
  if (registration) u->registrationId = TextPtr(s, registration);
  return u;
}

inline ArrayOfAuctionBidInfo* Bids(struct soap* s, std::initializer_list<std::pair<const char*, LONG64>> bids) {
  auto* a = soap_new_ArrayOfAuctionBidInfo(s);
  a->__size = static_cast<int>(bids.size());
  a->__ptr = static_cast<ss__AuctionBidInfo**>(soap_malloc(s, sizeof(ss__AuctionBidInfo*) * bids.size()));
  int i = 0;
  for (const auto& [auction, buyer] : bids) {
    auto* b = soap_new_ss__AuctionBidInfo(s);
    b->auction.auctionId = soap_strdup(s, auction);
    b->auction.serviceId = 1;
    b->buyerId = buyer;
    a->__ptr[i++] = b;
  }
  return a;
}

inline ArrayOf_xsd_int* PageIds(struct soap* s, std::initializer_list<int> ids) {
  auto* a = soap_new_ArrayOf_xsd_int(s);
  a->__size = static_cast<int>(ids.size());
  a->__ptr = static_cast<int*>(soap_malloc(s, sizeof(int) * (ids.size() + 1)));
  int i = 0;
  for (int id : ids) a->__ptr[i++] = id;
  return a;
}

inline ss__ItemInfo* Item(struct soap* s, const char* name, int quantity, double* price, int sortOrder) {
  auto* it = soap_new_ss__ItemInfo(s);
  it->name = name ? soap_strdup(s, name) : nullptr;
  it->quantity = quantity;
  it->price = price;
  it->sortOrder = sortOrder;
  return it;
}

inline ArrayOfItemInfo* Items(struct soap* s, std::initializer_list<ss__ItemInfo*> items) {
  auto* a = soap_new_ArrayOfItemInfo(s);
  a->__size = static_cast<int>(items.size());
  a->__ptr = static_cast<ss__ItemInfo**>(soap_malloc(s, sizeof(ss__ItemInfo*) * (items.size() + 1)));
  int i = 0;
  for (auto* it : items) a->__ptr[i++] = it;
  return a;
}

}  // namespace vorlen::test
