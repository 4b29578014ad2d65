// setItemData with a page of 100 items, over HTTP on loopback against the test service:
// StatusServiceBinding through the transport plug-in (as the connector sets it up), beside the
// bare generated call routine on the runtime's own transport. After a warm-up round of each,
// the two alternate which goes first in every round; the median of the rounds is reported,
// with the plug-in path's time per call as a ratio of the bare client's (target: at most 1.25).
// Usage: bench_zone [calls-per-round] [rounds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "testing/zone_service/ZoneServer.h"
#include "zone/protocol/StatusServiceBinding.h"
#include "zone/protocol/transport.h"

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

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double ThreadCpu() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}
double gCpu = 0;  // the calling thread's CPU time in the last Seconds()

template <class F>
double Seconds(int calls, F call) {
  const double cpu = ThreadCpu();
  struct CpuOnExit {
    double start;
    ~CpuOnExit() { gCpu = ThreadCpu() - start; }
  } cpuOnExit{cpu};
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
  int calls = argc > 1 ? std::atoi(argv[1]) : 200;
  int rounds = argc > 2 ? std::atoi(argv[2]) : 9;
  if (calls < 1 || rounds < 1) {
    std::fprintf(stderr, "usage: bench_zone [calls-per-round] [rounds]\n");
    return 2;
  }

  zone_service::Model model;
  model.Seed(0);
  zone_service::Server server(model);
  std::string error;
  if (!server.Bind({}, &error)) {
    std::fprintf(stderr, "bench_zone: %s\n", error.c_str());
    return 1;
  }
  server.StartThread();
  std::string url = server.Url();

  // The binding as the connector sets it up: modes, time-outs, then the transport.
  StatusServiceBinding binding;
  binding.endpoint = url.c_str();
  Prepare(binding.soap);
  binding.soap->connect_timeout = binding.soap->recv_timeout = binding.soap->send_timeout = 5;
  if (vorlen::transport::Register(binding.soap) != 0) {
    std::fprintf(stderr, "bench_zone: cannot register the transport\n");
    return 1;
  }
  ss__openTrustedPageResponse opened;
  auto* bids = soap_new_ArrayOfAuctionBidInfo(binding.soap);
  bids->__size = 1;
  bids->__ptr = static_cast<ss__AuctionBidInfo**>(soap_malloc(binding.soap, sizeof(ss__AuctionBidInfo*)));
  bids->__ptr[0] = soap_new_ss__AuctionBidInfo(binding.soap);
  bids->__ptr[0]->auction.auctionId = soap_strdup(binding.soap, "1000-1");
  bids->__ptr[0]->auction.serviceId = 1;
  bids->__ptr[0]->buyerId = 501;
  if (binding.openTrustedPage(User(binding.soap), bids, false, opened) != 0 || !opened.openTrustedPageReturn) {
    std::fprintf(stderr, "bench_zone: cannot open a page\n");
    return 1;
  }
  const int page = opened.openTrustedPageReturn->pageId;
  ss__RegisteredServiceUserInfo* user = User(binding.soap);
  ArrayOfItemInfo* items = HundredItems(binding.soap);

  struct soap* bare = soap_new();
  Prepare(bare);
  ss__RegisteredServiceUserInfo* bareUser = User(bare);
  ArrayOfItemInfo* bareItems = HundredItems(bare);

  auto pluginRound = [&] {
    return Seconds(calls, [&] {
      ss__setItemDataResponse out;
      return binding.setItemData(user, page, items, out);
    });
  };
  auto bareRound = [&] {
    return Seconds(calls, [&] {
      ss__setItemDataResponse out;
      return soap_call_ss__setItemData(bare, url.c_str(), "", bareUser, page, bareItems, out);
    });
  };
  pluginRound();  // warm-up: connections, caches, allocator
  bareRound();
  std::vector<double> plugin, plain, ratios, pluginCpu, bareCpu;
  for (int r = 0; r < rounds; ++r) {
    double p, b, pc, bc;
    if (r % 2 == 0) {
      p = pluginRound(), pc = gCpu;
      b = bareRound(), bc = gCpu;
    } else {
      b = bareRound(), bc = gCpu;
      p = pluginRound(), pc = gCpu;
    }
    plugin.push_back(p / calls);
    plain.push_back(b / calls);
    pluginCpu.push_back(pc / calls);
    bareCpu.push_back(bc / calls);
    ratios.push_back(p / b);
  }
  const double pluginCall = Median(plugin), bareCall = Median(plain);
  std::printf("setItemData, 100 items, HTTP loopback, %d calls x %d rounds each, median of the rounds\n", calls,
              rounds);
  std::printf("  binding through the plug-in : %8.1f us/call  %8.1f calls/s\n", pluginCall * 1e6, 1 / pluginCall);
  std::printf("  bare client, own transport  : %8.1f us/call  %8.1f calls/s\n", bareCall * 1e6, 1 / bareCall);
  std::printf("  client thread CPU per call  : %8.1f us plug-in, %8.1f us bare\n", Median(pluginCpu) * 1e6,
              Median(bareCpu) * 1e6);
  std::printf("  plug-in path ratio          : %8.2f (rounds %.2f to %.2f; target <= 1.25)\n", Median(ratios),
              *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()));

  soap_destroy(bare);
  soap_end(bare);
  soap_free(bare);
  server.Stop();
  return 0;
}
