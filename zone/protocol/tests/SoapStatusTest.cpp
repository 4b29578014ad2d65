#include <gtest/gtest.h>
#include <stdsoap2.h>

#include "zone/protocol/SoapStatus.h"

using namespace vorlen::soapstatus;

namespace {

// The status numbers the service's clients know, each beside the linked runtime's name for it.
struct Classic {
  int runtime;
  int classic;
  const char* name;
};
constexpr Classic kClassic[] = {
    {SOAP_EOF, -1, "end of file"},
    {SOAP_OK, 0, "success"},
    {SOAP_CLI_FAULT, 1, "client fault"},
    {SOAP_SVR_FAULT, 2, "server fault"},
    {SOAP_TAG_MISMATCH, 3, "tag mismatch"},
    {SOAP_TYPE, 4, "type"},
    {SOAP_SYNTAX_ERROR, 5, "XML syntax error"},
    {SOAP_NO_TAG, 6, "no tag"},
    {SOAP_MUSTUNDERSTAND, 8, "must understand"},
    {SOAP_FAULT, 12, "SOAP fault"},
    {SOAP_EOM, 15, "out of memory"},
    {SOAP_TCP_ERROR, 21, "TCP error"},
    {SOAP_HTTP_ERROR, 22, "HTTP error"},
    {SOAP_SSL_ERROR, 23, "SSL error"},
    {SOAP_VERSIONMISMATCH, 32, "version mismatch"},
    {SOAP_PLUGIN_ERROR, 33, "plug-in error"},
    {SOAP_LENGTH, 38, "length"},
};

}  // namespace

// Each pair both ways: a pair wrong in both directions would still round-trip.
TEST(SoapStatus, EachClassicNumberAndItsRuntimeStatus) {
  for (const auto& c : kClassic) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ToLegacySoapStatus(c.runtime), c.classic);
    EXPECT_EQ(FromLegacySoapStatus(c.classic), c.runtime);
  }
  // The named constants are the same numbers.
  EXPECT_EQ(kEof, -1);
  EXPECT_EQ(kTagMismatch, 3);
  EXPECT_EQ(kSyntaxError, 5);
  EXPECT_EQ(kFault, 12);
  EXPECT_EQ(kOutOfMemory, 15);
  EXPECT_EQ(kHttpError, 22);
  EXPECT_EQ(kVersionMismatch, 32);
  EXPECT_EQ(kPluginError, 33);
  EXPECT_EQ(kLength, 38);
}

TEST(SoapStatus, StatusesTheClassicRuntimeDidNotHaveTakeTheNearestOne) {
  EXPECT_EQ(ToLegacySoapStatus(SOAP_NO_DATA), kEof);
  EXPECT_EQ(ToLegacySoapStatus(SOAP_ERR), kEof);
  EXPECT_EQ(ToLegacySoapStatus(SOAP_UTF_ERROR), kSyntaxError);
  EXPECT_EQ(ToLegacySoapStatus(SOAP_LEVEL), kSyntaxError);
  EXPECT_EQ(ToLegacySoapStatus(SOAP_END_TAG), kTagMismatch);
  EXPECT_EQ(ToLegacySoapStatus(SOAP_MOE), kOutOfMemory);
  EXPECT_EQ(ToLegacySoapStatus(SOAP_HDR), kHttpError);
  EXPECT_EQ(ToLegacySoapStatus(404), 404);
  EXPECT_EQ(ToLegacySoapStatus(500), 500);
}

TEST(SoapStatus, EveryRuntimeStatusBelowHttpMapsIntoTheClassicRange) {
  for (int s = -1; s <= SOAP_ERR; ++s) {
    if (s > SOAP_END_TAG && s < SOAP_ERR) continue;  // unassigned
    int legacy = ToLegacySoapStatus(s);
    EXPECT_GE(legacy, -1) << s;
    EXPECT_LE(legacy, kFdExceeded) << s;
  }
}
