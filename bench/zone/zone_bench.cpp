// The seller-zone client on loopback against the test service, three comparisons:
// 1. setItemData with 100 items over HTTP: StatusServiceBinding through the transport plug-in (as
//    the connector sets it up) beside the bare generated call routine on the runtime's own
//    transport;
// 2. the same over HTTPS: IVorlenConnector::SetItemData with an item container (credentials
//    looked up, the container read, the answer freed) beside the binding through the plug-in;
// 3. a whole synchronisation: IStatusMgr::Synchronize(sjAll) of one account's N transactions
//    (customers, auctions, addresses, positions and a package with items each; the host stand-in's
//    product database) that opens and fills N pages, beside the same service calls made with the
//    bare generated client over HTTPS (open, buyer data, packages, page data, items, constraints
//    per page, then one query of changes): pages per second of both and the ratio of their times
//    (target: at most 2).
// For 1 and 2, after a warm-up round of each, the two alternate which goes first in every round;
// the median of the rounds is reported, with the first path's time per call as a ratio of the
// second's (target: at most 1.25 for both).
// Usage: bench_zone [calls-per-round] [rounds] [transactions]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include <filesystem>
#include <memory>

#include "host/host.h"
#include "platform/base/utf8.h"
#include "platform/http/wininet.h"
#include "platform/registry/registry.h"
#include "shared/hxinstance.h"
#include "testing/host_doubles/host_doubles.h"
#include "testing/net/net.h"
#include "testing/zone_service/ZoneServer.h"
#include "zone/connector.h"
#include "zone/containers.h"
#include "zone/protocol/StatusServiceBinding.h"
#include "zone/protocol/transport.h"
#include "zone/vorlen.h"
#include "bench/support/zone_sync.h"

namespace {

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


// Runs both paths in alternating order and prints the medians and the ratio of the first to the
// second.
template <class A, class B>
void Compare(const char* title, const char* first, const char* second, int calls, int rounds, A firstRound,
             B secondRound) {
  firstRound();  // warm-up: connections, caches, allocator
  secondRound();
  std::vector<double> a, b, ratios, aCpu, bCpu;
  for (int r = 0; r < rounds; ++r) {
    double ta, tb, ca, cb;
    if (r % 2 == 0) {
      ta = firstRound(), ca = gCpu;
      tb = secondRound(), cb = gCpu;
    } else {
      tb = secondRound(), cb = gCpu;
      ta = firstRound(), ca = gCpu;
    }
    a.push_back(ta / calls);
    b.push_back(tb / calls);
    aCpu.push_back(ca / calls);
    bCpu.push_back(cb / calls);
    ratios.push_back(ta / tb);
  }
  const double aCall = Median(a), bCall = Median(b);
  std::printf("%s, %d calls x %d rounds each, median of the rounds\n", title, calls, rounds);
  std::printf("  %-28s: %8.1f us/call  %8.1f calls/s\n", first, aCall * 1e6, 1 / aCall);
  std::printf("  %-28s: %8.1f us/call  %8.1f calls/s\n", second, bCall * 1e6, 1 / bCall);
  std::printf("  client thread CPU per call  : %8.1f us, %8.1f us\n", Median(aCpu) * 1e6, Median(bCpu) * 1e6);
  std::printf("  ratio                       : %8.2f (rounds %.2f to %.2f; target <= 1.25)\n", Median(ratios),
              *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()));
}

// The connector beside the binding it owns, both over HTTPS through the transport plug-in.
bool CompareConnector(int calls, int rounds) {
  platform::registry::UseMemoryStore();
  testing_net::Certificates certificates;
  InternetSetTrustedCertificates(certificates.CaFile().c_str());
  benchsupport::HttpsService service(certificates, 0);
  if (!service.ok) return false;
  zone_service::Server& server = service.server;
  benchsupport::UseZoneService(service);
  CoInitialize(nullptr);
  bool ok = false;
  {
    doubles::HostDoubles doubles;
    doubles.instance->registrations[5] = {_variant_t(LONGLONG{1000}), _variant_t(LONG{1}), _variant_t(L"REG-1000")};
    CHxInstance::SetInstance(doubles.instancePtr);
    IVorlenConnector* raw = nullptr;
    if (FAILED(vorlen::CreateConnector(nullptr, __uuidof(IVorlenConnector), reinterpret_cast<void**>(&raw)))) {
      std::fprintf(stderr, "bench_zone: cannot create the connector\n");
    } else {
      IVorlenConnectorPtr connector(raw, false);
      _RecordsetPtr bids = vorlen::CreateAuctionBidInfoContainer();
      bids->AddNew();
      vorlen::PutRecordsetField(bids, L"auction_id", L"1000-1");
      vorlen::PutRecordsetField(bids, L"buyer_id", LONG{501});
      vorlen::PutRecordsetField(bids, L"service_id", LONG{1});
      _Recordset *pageRaw = nullptr, *buyers = nullptr, *bidRows = nullptr;
      const HRESULT opened = connector->OpenTrustedPage(5, bids, FALSE, &pageRaw, &buyers, &bidRows);
      _RecordsetPtr pageInfo(pageRaw, false);
      if (opened != S_OK || !pageInfo) {
        std::fprintf(stderr, "bench_zone: cannot open a page (0x%08X)\n", static_cast<unsigned>(opened));
      } else {
        pageInfo->MoveFirst();
        const LONG page = pageInfo->GetFields()->GetItem(_variant_t(L"page_id"))->GetValue();
        _RecordsetPtr items = vorlen::CreateItemInfoContainer();
        for (int i = 0; i < 100; ++i) {
          items->AddNew();
          vorlen::PutRecordsetField(items, L"name", (L"Pozycja łóż " + std::to_wstring(i)).c_str());
          vorlen::PutRecordsetField(items, L"quantity", static_cast<LONG>(1 + i % 5));
          CY price{};
          price.int64 = (99900 + i * 10000LL);
          vorlen::PutRecordsetField(items, L"price", price);
          vorlen::PutRecordsetField(items, L"sort_order", static_cast<LONG>(i));
        }
        // The binding, set up as the connector sets up its own.
        const std::string url = "https://127.0.0.1:" + std::to_string(server.port()) + "/rpcrouter";
        StatusServiceBinding binding;
        binding.endpoint = url.c_str();
        benchsupport::PrepareZoneSoap(binding.soap);
        binding.soap->connect_timeout = binding.soap->recv_timeout = binding.soap->send_timeout = 5;
        vorlen::transport::Register(binding.soap);
        ss__RegisteredServiceUserInfo* user = benchsupport::ZoneUser(binding.soap);
        ArrayOfItemInfo* array = HundredItems(binding.soap);
        auto connectorRound = [&] {
          return Seconds(calls, [&] { return connector->SetItemData(5, page, items) == S_OK ? 0 : 1; });
        };
        auto bindingRound = [&] {
          return Seconds(calls, [&] {
            ss__setItemDataResponse out;
            return binding.setItemData(user, page, array, out);
          });
        };
        Compare("setItemData, 100 items, HTTPS loopback", "connector, item container", "binding through the plug-in",
                calls, rounds, connectorRound, bindingRound);
        ok = true;
      }
    }
    CHxInstance::SetInstance(nullptr);
  }
  CoUninitialize();
  InternetSetTrustedCertificates(nullptr);
  return ok;
}

// --- 3. A whole synchronisation beside the bare client's calls.

std::wstring LibraryPath(const char* path) {
  return platform::utf8::ToWide(std::filesystem::canonical(path).string());
}

// Synchronize(sjAll) of the seeded account: its seconds, or a negative value when it failed.
double TimeSynchronize(const testing_net::Certificates& certificates, int transactions, int* pages) {
  benchsupport::HttpsService service(certificates, transactions);
  if (!service.ok) return -1;
  benchsupport::UseZoneService(service);
  for (const char* library : {VANTOR_VORLEN_LIBRARY, VANTOR_LOTRIX_LIBRARY, VANTOR_ACCESS_KEY_LIBRARY})
    if (FAILED(platform::com::RegisterServerLibrary(LibraryPath(library)))) {
      std::fprintf(stderr, "bench_zone: cannot register %s\n", library);
      return -1;
    }
  const std::string file = "/tmp/bench-zone-" + std::to_string(::getpid()) + ".db";
  double seconds = -1;
  {
    host::Host product(platform::utf8::ToWide(file));
    CHxInstance::SetInstance(product.Instance());
    benchsupport::SeedZoneAccount(product.Connection());
    benchsupport::SeedZonePurchases(product.Connection(), 0, transactions);
    IUnknown* raw = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_CoStatusMgr, nullptr, CLSCTX_ALL, __uuidof(IUnknown),
                                   reinterpret_cast<void**>(&raw)))) {
      IUnknownPtr object(raw, false);
      IStatusMgrPtr manager(object);
      if (manager && SUCCEEDED(OleRun(object))) {
        const auto start = std::chrono::steady_clock::now();
        const HRESULT hr = manager->Synchronize(sjAll);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (hr != S_OK) {
          std::fprintf(stderr, "bench_zone: the synchronisation failed (0x%08X)\n", static_cast<unsigned>(hr));
          seconds = -1;
        }
      }
    }
    _RecordsetPtr rs;
    if (SUCCEEDED(OpenRS(rs, product.Connection(),
                         L"SELECT COUNT(*) FROM tr__Transaction WHERE tr_StatusPageId IS NOT NULL AND "
                         L"tr_StatusDataModified = 0")))
      *pages = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
    CHxInstance::SetInstance(nullptr);
  }
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::remove((file + suffix).c_str());
  return seconds;
}

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool CompareSynchronize(int transactions) {
  platform::registry::UseMemoryStore();
  testing_net::Certificates certificates;
  InternetSetTrustedCertificates(certificates.CaFile().c_str());
  CoInitialize(nullptr);
  int pages = 0;
  const double sync = TimeSynchronize(certificates, transactions, &pages);
  CoUninitialize();
  InternetSetTrustedCertificates(nullptr);
  if (sync < 0) return false;
  if (pages != transactions) {
    std::fprintf(stderr, "bench_zone: %d of %d pages were opened and filled\n", pages, transactions);
    return false;
  }
  const double bare = benchsupport::TimeBareCalls(certificates, transactions, SteadySeconds);
  if (bare < 0) return false;
  std::printf("Synchronize(sjAll), %d transactions, HTTPS loopback: %d pages, %d service calls each way\n",
              transactions, pages, transactions * 6 + 1);
  std::printf("  %-28s: %8.2f s  %8.1f pages/s\n", "status manager", sync, pages / sync);
  std::printf("  %-28s: %8.2f s  %8.1f pages/s\n", "bare client, same calls", bare, pages / bare);
  std::printf("  ratio                       : %8.2f (target <= 2)\n", sync / bare);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int calls = argc > 1 ? std::atoi(argv[1]) : 200;
  int rounds = argc > 2 ? std::atoi(argv[2]) : 9;
  int transactions = argc > 3 ? std::atoi(argv[3]) : 1000;
  if (calls < 1 || rounds < 1 || transactions < 1) {
    std::fprintf(stderr, "usage: bench_zone [calls-per-round] [rounds] [transactions]\n");
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
  benchsupport::PrepareZoneSoap(binding.soap);
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
  if (binding.openTrustedPage(benchsupport::ZoneUser(binding.soap), bids, false, opened) != 0 || !opened.openTrustedPageReturn) {
    std::fprintf(stderr, "bench_zone: cannot open a page\n");
    return 1;
  }
  const int page = opened.openTrustedPageReturn->pageId;
  ss__RegisteredServiceUserInfo* user = benchsupport::ZoneUser(binding.soap);
  ArrayOfItemInfo* items = HundredItems(binding.soap);

  struct soap* bare = soap_new();
  benchsupport::PrepareZoneSoap(bare);
  ss__RegisteredServiceUserInfo* bareUser = benchsupport::ZoneUser(bare);
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
  Compare("setItemData, 100 items, HTTP loopback", "binding through the plug-in", "bare client, own transport", calls,
          rounds, pluginRound, bareRound);
  if (!CompareConnector(calls, rounds)) return 1;
  if (!CompareSynchronize(transactions)) return 1;

  soap_destroy(bare);
  soap_end(bare);
  soap_free(bare);
  server.Stop();
  return 0;
}
