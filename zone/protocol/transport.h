#pragma once
// The HTTPS transport of the seller-zone SOAP runtime: a runtime plug-in that carries every
// request as one HTTP POST through the platform's internet client (platform/http/wininet.h).
//
// Register it once per runtime context, after the context's time-outs, proxy fields and test
// log are set: they are read at registration only. The runtime then connects, posts headers,
// sends and receives through the plug-in; it receives the answer's body only, decoded (never
// the HTTP status line or headers, which it is told not to look for), so a 401 or 407 page
// reaches the SOAP parser like any answer.
//
// Every exchange ends within its idle time-outs and within a deadline of connect + send +
// receive time-outs (the internet client's); a time-out in the send is resent under the
// resend policy like any listed error. An answer fails, never reaching the runtime as a whole
// one, when its transfer breaks off, times out or is malformed on the wire (status -1, the
// error number saying why: 12030, 12031, 12002, 12152), and when it is larger than the answer
// limit (status kLength of SoapStatus.h, error number 0).
#include "zone/protocol/transport_policy.h"

struct soap;

namespace vorlen::transport {

// The plug-in's id on the runtime context.
inline constexpr char kPluginId[] = "wininet-2.0";

// The answer limit's setting: key of the profile section StrefaVantor, in megabytes; the
// owner reads it and hands it over with SetMaxAnswerSize (0 or less = the default, 64 MB).
inline constexpr char kMaxAnswerSizeKey[] = "MaxAnswerSize";
inline constexpr uint64_t kDefaultMaxAnswerSize = kDefaultAnswerLimit;

// Registers the transport on `soap`. Returns a classic status (SoapStatus.h): 0, 15 when its
// state or the internet client's session cannot be had, 33 when the context has a transport
// already (which stays as it was).
int Register(struct soap* soap);

// The largest answer body the transport takes, in bytes (0 = the default); from the next
// answer on. MaxAnswerSize is 0 when the transport is not registered.
void SetMaxAnswerSize(struct soap* soap, uint64_t bytes);
uint64_t MaxAnswerSize(struct soap* soap);

// The resolve-send-error callback of the transport on `soap` (none after registration).
// Setting it writes a line to the test log.
ResolveSendErrorCallback GetResolveSendError(struct soap* soap);
void SetResolveSendError(struct soap* soap, ResolveSendErrorCallback callback);

// Names the runtime's test log (null = none), where the transport writes its diagnostic lines:
// the file is opened for appending on the first line and flushed after every line. The text
// must outlive the context (the connector passes a literal).
void SetTestLog(struct soap* soap, const char* path);

// The transport's state and its internet-client session on `soap`, for inspection; null when
// the transport is not registered.
TransportPolicy* Policy(struct soap* soap);
HINTERNET ClientHandle(struct soap* soap);

}  // namespace vorlen::transport
