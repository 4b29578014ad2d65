#include "zone/protocol/SoapStatus.h"

#include <stdsoap2.h>

#include <utility>

namespace vorlen::soapstatus {
namespace {

// Runtime status -> classic status, for every status whose number differs. Statuses the
// classic runtime did not have map to the nearest classic one.
constexpr std::pair<int, int> kMap[] = {
    {SOAP_NO_DATA, kEof},               // empty answer: the classic runtime met end of file
    {SOAP_GET_METHOD, kGetMethod},
    {SOAP_PUT_METHOD, kGetMethod},
    {SOAP_PATCH_METHOD, kGetMethod},
    {SOAP_DEL_METHOD, kGetMethod},
    {SOAP_HTTP_METHOD, kGetMethod},
    {SOAP_EOM, kOutOfMemory},
    {SOAP_MOE, kOutOfMemory},
    {SOAP_HDR, kHttpError},             // HTTP header line too long
    {SOAP_NULL, kNull},
    {SOAP_DUPLICATE_ID, kDuplicateId},
    {SOAP_MISSING_ID, kMissingId},
    {SOAP_HREF, kHref},
    {SOAP_UDP_ERROR, kUdpError},
    {SOAP_TCP_ERROR, kTcpError},
    {SOAP_HTTP_ERROR, kHttpError},
    {SOAP_SSL_ERROR, kSslError},
    {SOAP_ZLIB_ERROR, kZlibError},
    {SOAP_DIME_ERROR, kDimeError},
    {SOAP_DIME_HREF, kDimeHref},
    {SOAP_DIME_MISMATCH, kDimeMismatch},
    {SOAP_DIME_END, kDimeEnd},
    {SOAP_MIME_ERROR, kMimeError},
    {SOAP_MIME_HREF, kMimeHref},
    {SOAP_MIME_END, kMimeEnd},
    {SOAP_VERSIONMISMATCH, kVersionMismatch},
    {SOAP_PLUGIN_ERROR, kPluginError},
    {SOAP_DATAENCODINGUNKNOWN, kDataEncodingUnknown},
    {SOAP_REQUIRED, kRequired},
    {SOAP_PROHIBITED, kProhibited},
    {SOAP_OCCURS, kOccurs},
    {SOAP_LENGTH, kLength},
    {SOAP_PATTERN, kLength},            // value constraint refused
    {SOAP_FD_EXCEEDED, kFdExceeded},
    {SOAP_UTF_ERROR, kSyntaxError},     // malformed UTF-8 in the answer
    {SOAP_NTLM_ERROR, kHttpError},
    {SOAP_LEVEL, kSyntaxError},         // nesting too deep
    {SOAP_FIXED, kType},
    {SOAP_EMPTY, kType},
    {SOAP_END_TAG, kTagMismatch},
    {SOAP_ERR, kEof},                   // the classic runtime's SOAP_ERR was end of file
};

// Classic -> runtime, where the reverse is not the identity. First match wins, so the
// table lists the runtime's own status first for every classic number.
constexpr std::pair<int, int> kReverse[] = {
    {kGetMethod, SOAP_GET_METHOD},   {kOutOfMemory, SOAP_EOM},         {kNull, SOAP_NULL},
    {kDuplicateId, SOAP_DUPLICATE_ID}, {kMissingId, SOAP_MISSING_ID}, {kHref, SOAP_HREF},
    {kUdpError, SOAP_UDP_ERROR},     {kTcpError, SOAP_TCP_ERROR},      {kHttpError, SOAP_HTTP_ERROR},
    {kSslError, SOAP_SSL_ERROR},     {kZlibError, SOAP_ZLIB_ERROR},    {kDimeError, SOAP_DIME_ERROR},
    {kDimeHref, SOAP_DIME_HREF},     {kDimeMismatch, SOAP_DIME_MISMATCH}, {kDimeEnd, SOAP_DIME_END},
    {kMimeError, SOAP_MIME_ERROR},   {kMimeHref, SOAP_MIME_HREF},      {kMimeEnd, SOAP_MIME_END},
    {kVersionMismatch, SOAP_VERSIONMISMATCH}, {kPluginError, SOAP_PLUGIN_ERROR},
    {kDataEncodingUnknown, SOAP_DATAENCODINGUNKNOWN}, {kRequired, SOAP_REQUIRED},
    {kProhibited, SOAP_PROHIBITED},  {kOccurs, SOAP_OCCURS},           {kLength, SOAP_LENGTH},
    {kFdExceeded, SOAP_FD_EXCEEDED},
};

}  // namespace

int ToLegacySoapStatus(int runtimeStatus) {
  if (runtimeStatus >= 100 && runtimeStatus < 600) return runtimeStatus;  // HTTP status
  if (runtimeStatus >= 1000) return runtimeStatus;
  for (const auto& [from, to] : kMap)
    if (from == runtimeStatus) return to;
  return runtimeStatus;  // -1 and 0 to 13 are numbered alike
}

int FromLegacySoapStatus(int legacyStatus) {
  if (legacyStatus >= 100) return legacyStatus;
  for (const auto& [from, to] : kReverse)
    if (from == legacyStatus) return to;
  return legacyStatus;
}

}  // namespace vorlen::soapstatus
