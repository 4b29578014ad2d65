// setItemData with a page of 100 items, over HTTP on loopback against the test service:
// through StatusServiceBinding and through the bare generated call routine, interleaved in
// rounds so both see the same machine state. Prints calls/s of each and the binding's
// overhead. Usage: zone_protocol_bench [calls-per-round] [rounds]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "testing/zone_service/ZoneServer.h"
#include "zone/protocol/StatusServiceBinding.h"

namespace {

ss__RegisteredServiceUserInfo* User(struct soap* s) {
  auto* u = soap_new_ss__RegisteredServiceUserInfo(s);
  u->serviceUserId = 1000;
  u->serviceId = 1;
  u->registrationId = static_cast<char**>(soap_malloc(s, sizeof(char*)));
  *u->registrationId = soap_strdup(s, "REG-1000");
  return u;
}

ArrayOfItemInfo* HundredItems(struct soap* s) {
  auto* a = soap_new_ArrayOfItemInfo(s);
  a->__size = 100;
  a->__ptr = static_cast<ss__ItemInfo**>(soap_malloc(s, sizeof(ss__ItemInfo*) * 100));
  for (int i = 0; i < 100; ++i) {
    auto* it = soap_new_ss__ItemInfo(s);
    std::string name = "Pozycja \xC5\x82\xC3\xB3\xC5\xBC " + std::to_string(i);
    it->name = soap_strdup(s, name.c_str());
    it->quantity = 1 + i % 5;
    it->price = static_cast<double*>(soap_malloc(s, sizeof(double)));
    *it->price = 9.99 + i;
    it->sortOrder = i;
    a->__ptr[i] = it;
  }
  return a;
}

void Prepare(struct soap* s) {
  soap_set_imode(s, SOAP_C_UTFSTRING);
  soap_set_omode(s, SOAP_C_UTFSTRING | SOAP_XML_TREE);
}

template <class F>
double Seconds(int calls, F call) {
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < calls; ++i)
    if (call() != 0) {
      std::fprintf(stderr, "call failed\n");
      std::exit(1);
    }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  int calls = argc > 1 ? std::atoi(argv[1]) : 300;
  int rounds = argc > 2 ? std::atoi(argv[2]) : 5;

  zone_service::Model model;
  model.Seed(0);
  zone_service::Server server(model);
  std::string error;
  if (!server.Bind({}, &error)) {
    std::fprintf(stderr, "zone_protocol_bench: %s\n", error.c_str());
    return 1;
  }
  server.StartThread();
  std::string url = server.Url();

  StatusServiceBinding binding;
  binding.endpoint = url.c_str();
  Prepare(binding.soap);
  ss__openTrustedPageResponse opened;
  auto* bids = soap_new_ArrayOfAuctionBidInfo(binding.soap);
  bids->__size = 1;
  bids->__ptr = static_cast<ss__AuctionBidInfo**>(soap_malloc(binding.soap, sizeof(ss__AuctionBidInfo*)));
  bids->__ptr[0] = soap_new_ss__AuctionBidInfo(binding.soap);
  bids->__ptr[0]->auction.auctionId = soap_strdup(binding.soap, "1000-1");
  bids->__ptr[0]->auction.serviceId = 1;
  bids->__ptr[0]->buyerId = 501;
  if (binding.openTrustedPage(User(binding.soap), bids, false, opened) != 0 || !opened.openTrustedPageReturn) {
    std::fprintf(stderr, "zone_protocol_bench: cannot open a page\n");
    return 1;
  }
  const int page = opened.openTrustedPageReturn->pageId;
  ss__RegisteredServiceUserInfo* user = User(binding.soap);
  ArrayOfItemInfo* items = HundredItems(binding.soap);

  struct soap* bare = soap_new();
  Prepare(bare);
  ss__RegisteredServiceUserInfo* bareUser = User(bare);
  ArrayOfItemInfo* bareItems = HundredItems(bare);

  double bindingTime = 0, bareTime = 0;
  for (int r = 0; r < rounds; ++r) {
    bindingTime += Seconds(calls, [&] {
      ss__setItemDataResponse out;
      return binding.setItemData(user, page, items, out);
    });
    bareTime += Seconds(calls, [&] {
      ss__setItemDataResponse out;
      int rc = soap_call_ss__setItemData(bare, url.c_str(), "", bareUser, page, bareItems, out);
      return rc;
    });
  }
  const double total = static_cast<double>(calls) * rounds;
  const double bindingRate = total / bindingTime, bareRate = total / bareTime;
  std::printf("setItemData, 100 items, HTTP loopback, %d calls x %d rounds each\n", calls, rounds);
  std::printf("  StatusServiceBinding : %10.1f calls/s\n", bindingRate);
  std::printf("  bare generated client: %10.1f calls/s\n", bareRate);
  std::printf("  binding overhead     : %+9.1f %% (target < 10 %%)\n", (bareRate / bindingRate - 1.0) * 100.0);

  soap_destroy(bare);
  soap_end(bare);
  soap_free(bare);
  server.Stop();
  return 0;
}
