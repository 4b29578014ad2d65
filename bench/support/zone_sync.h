#pragma once
// A whole seller-zone synchronisation for the benchmarks: the test service over HTTPS with a
// seller whose auctions "B-i" each have a buyer, an account and its purchases in the product
// database (a delivery address, two positions and a package of two items each), and the same
// service calls made with the bare generated client, the synchronisation's baseline.
#include <string>

#include "platform/ado/ado.h"
#include "testing/net/net.h"
#include "testing/zone_service/ZoneServer.h"

struct soap;
class ss__RegisteredServiceUserInfo;

namespace benchsupport {

// The client's modes of the seller-zone runtime as the connector sets them, and seller 1000's
// credentials.
void PrepareZoneSoap(struct soap* s);
ss__RegisteredServiceUserInfo* ZoneUser(struct soap* s);

inline constexpr LONGLONG kSeller = 1000;
inline constexpr LONGLONG kFirstBuyer = 100000;

// The auction of the i-th purchase (from 1): "B-i", bought by kFirstBuyer + i.
std::string AuctionOf(int i);

// The test service over HTTPS (the certificates' good pair) whose seller 1000 has the auctions of
// `transactions` purchases.
struct HttpsService {
  HttpsService(const testing_net::Certificates& certificates, int transactions);
  ~HttpsService();
  zone_service::Model model;
  zone_service::Server server;
  bool ok = false;
};

// The connector's profile pointed at the service.
void UseZoneService(const HttpsService& service);

// Account 1 (seller 1000, the seller zone on) with site row 1 of site 1.
void SeedZoneAccount(const _ConnectionPtr& cn);
// The purchases 1 to `transactions` of account 1, made yesterday, without pages: customer, auction
// and transaction ids from firstId + 1, position and item ids from twice that.
void SeedZonePurchases(const _ConnectionPtr& cn, long firstId, int transactions);

// What a synchronisation of those purchases calls, made with the bare generated client over
// HTTPS (open, buyer data, packages, page data, items, constraints per page, then one query of
// changes): its seconds, or a negative value when a call failed. `clock` gives the time.
double TimeBareCalls(const testing_net::Certificates& certificates, int transactions, double (*clock)());

}  // namespace benchsupport
