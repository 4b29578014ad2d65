#pragma once
// What the connector's tests share: the host doubles set into the gateway, the seller-zone
// profile in a memory registry, the test authority's certificates, the test service and the raw
// responder over HTTPS, and readers of containers.
#include <gtest/gtest.h>

#include <stdsoap2.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "platform/http/wininet.h"
#include "platform/registry/registry.h"
#include "shared/hxinstance.h"
#include "testing/host_doubles/host_doubles.h"
#include "testing/net/net.h"
#include "testing/zone_service/RawResponder.h"
#include "testing/zone_service/ZoneServer.h"
#include "zone/connector.h"
#include "zone/containers.h"
#include "zone/mapping.h"

namespace vorlen::test {

// The account that the test service's Seed(0) knows, as the host's lookup gives it.
// A loopback port where nothing listens, held by this process so that no other can take it.
int ClosedPort();

inline constexpr LONG kAccount = 5;
inline constexpr LONGLONG kSeller = 1000;

// The certificates of one test program (made once).
testing_net::Certificates& Certificates();

// Dates are local: every test runs in Warsaw's time zone (with its daylight saving changes).
void PinTimeZone();

// A local OLE date.
DATE Date(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
// The seconds since 1970 of a local time, as the C library makes them.
time_t LocalSeconds(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// Writes a value of the connector's profile section StrefaVantor (Vorlen's settings key).
void SetProfile(const wchar_t* key, const std::wstring& text);
void SetProfile(const wchar_t* key, DWORD value);

// The test service over HTTPS with the test authority's certificate, serving `model` on its own
// thread (null, with the test failed, when it cannot listen).
std::unique_ptr<zone_service::Server> StartService(zone_service::Model& model);

// A field's value of the current row.
_variant_t Value(const _RecordsetPtr& rs, const wchar_t* field);
std::wstring Text(const _RecordsetPtr& rs, const wchar_t* field);
LONG Long(const _RecordsetPtr& rs, const wchar_t* field);
// Rows of a container from the first (0 when it has none).
LONG Rows(const _RecordsetPtr& rs);

// The host doubles in the gateway, a memory registry with the seller-zone profile pointed at
// `Host`, and the authority trusted; the connector is made by its creation function.
class ConnectorTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Points the profile at 127.0.0.1:port.
  void UseService(int port);
  // A new connector (the test fails when it cannot be made).
  IVorlenConnectorPtr NewConnector();
  HRESULT TryNewConnector(IVorlenConnectorPtr& connector);
  // The object behind the interface (for its binding).
  static CCoVorlenConnector& Impl(const IVorlenConnectorPtr& connector);
  // The description of the thread's error information ("" without one).
  static std::wstring ErrorDescription();

  std::unique_ptr<doubles::HostDoubles> host;
};

// ConnectorTest with the test service over HTTPS (accounts of Seed(0)).
class ConnectorServiceTest : public ConnectorTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  zone_service::Model model;
  std::unique_ptr<zone_service::Server> server;
};

// ConnectorTest with the raw responder over HTTPS.
class ConnectorRawTest : public ConnectorTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::unique_ptr<zone_service::RawResponder> raw;
};

// A bid container with one row.
_RecordsetPtr OneBid(const wchar_t* auction, LONG buyer, LONG service = 1);

}  // namespace vorlen::test
