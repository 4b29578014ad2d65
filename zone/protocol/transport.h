#pragma once
// The HTTPS transport of the seller-zone SOAP runtime: a runtime plug-in that carries every
// request as one HTTP POST through the platform's internet client (platform/http/wininet.h).
//
// Register it once per runtime context, after the context's time-outs, proxy fields and test
// log are set: they are read at registration only. The runtime then connects, posts headers,
// sends and receives through the plug-in; it receives the answer's body only (never the HTTP
// status line or headers), so a 401 or 407 page reaches the SOAP parser like any answer.
#include "zone/protocol/transport_policy.h"

struct soap;

namespace vorlen::transport {

// The plug-in's id on the runtime context.
inline constexpr char kPluginId[] = "wininet-2.0";

// Registers the transport on `soap`. Returns the runtime's SOAP_OK, or SOAP_EOM when its state
// or the internet client's session cannot be had.
int Register(struct soap* soap);

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
