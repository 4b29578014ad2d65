#include <gtest/gtest.h>
#include <stdsoap2.h>

#include "zone/protocol/SoapStatus.h"

using namespace vorlen::soapstatus;

TEST(SoapStatus, RenumberedStatusesTakeTheirClassicNumbers) {
  EXPECT_EQ(ToLegacySoapStatus(SOAP_EOM), 15);
  EXPECT_EQ(ToLegacySoapStatus(SOAP_HTTP_ERROR), 22);
  EXPECT_EQ(ToLegacySoapStatus(SOAP_VERSIONMISMATCH), 32);
  EXPECT_EQ(ToLegacySoapStatus(SOAP_TCP_ERROR), kTcpError);
  EXPECT_EQ(ToLegacySoapStatus(SOAP_SSL_ERROR), kSslError);
  EXPECT_EQ(ToLegacySoapStatus(SOAP_NULL), kNull);
  EXPECT_EQ(ToLegacySoapStatus(SOAP_ERR), kEof);
  EXPECT_EQ(ToLegacySoapStatus(SOAP_NO_DATA), kEof);
}

TEST(SoapStatus, SharedNumbersAndHttpStatusesPassUnchanged) {
  for (int s : {SOAP_EOF, SOAP_OK, SOAP_CLI_FAULT, SOAP_SVR_FAULT, SOAP_TAG_MISMATCH, SOAP_TYPE, SOAP_SYNTAX_ERROR,
                SOAP_NO_TAG, SOAP_IOB, SOAP_MUSTUNDERSTAND, SOAP_NAMESPACE, SOAP_FAULT, SOAP_NO_METHOD})
    EXPECT_EQ(ToLegacySoapStatus(s), s);
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

TEST(SoapStatus, ClassicNumbersTranslateBackForTransportHooks) {
  for (int legacy = -1; legacy <= kFdExceeded; ++legacy) {
    if (legacy == kUserError || legacy == kFatalError) continue;
    EXPECT_EQ(ToLegacySoapStatus(FromLegacySoapStatus(legacy)), legacy) << legacy;
  }
  EXPECT_EQ(FromLegacySoapStatus(kHttpError), SOAP_HTTP_ERROR);
  EXPECT_EQ(FromLegacySoapStatus(kOutOfMemory), SOAP_EOM);
}
