#pragma once
// Status numbers of the SOAP runtime as the seller-zone code reports them.
//
// The system's HRESULTs for transport and SOAP failures are 0x80044502 plus a runtime status
// number, and those numbers are the classic ones (out of memory 15, HTTP error 22, version
// mismatch 32, ...). The runtime linked today numbers several statuses differently; every
// status that leaves the protocol layer goes through ToLegacySoapStatus, the one place where
// the two numberings meet.

namespace vorlen::soapstatus {

// The classic numbering used by the binding's results and by the HRESULTs built from them.
inline constexpr int kEof = -1;
inline constexpr int kOk = 0;
inline constexpr int kClientFault = 1;
inline constexpr int kServerFault = 2;
inline constexpr int kTagMismatch = 3;
inline constexpr int kType = 4;
inline constexpr int kSyntaxError = 5;
inline constexpr int kNoTag = 6;
inline constexpr int kIndexOutOfBounds = 7;
inline constexpr int kMustUnderstand = 8;
inline constexpr int kNamespace = 9;
inline constexpr int kUserError = 10;
inline constexpr int kFatalError = 11;
inline constexpr int kFault = 12;
inline constexpr int kNoMethod = 13;
inline constexpr int kGetMethod = 14;
inline constexpr int kOutOfMemory = 15;
inline constexpr int kNull = 16;
inline constexpr int kDuplicateId = 17;
inline constexpr int kMissingId = 18;
inline constexpr int kHref = 19;
inline constexpr int kUdpError = 20;
inline constexpr int kTcpError = 21;
inline constexpr int kHttpError = 22;
inline constexpr int kSslError = 23;
inline constexpr int kZlibError = 24;
inline constexpr int kDimeError = 25;
inline constexpr int kDimeHref = 26;
inline constexpr int kDimeMismatch = 27;
inline constexpr int kDimeEnd = 28;
inline constexpr int kMimeError = 29;
inline constexpr int kMimeHref = 30;
inline constexpr int kMimeEnd = 31;
inline constexpr int kVersionMismatch = 32;
inline constexpr int kPluginError = 33;
inline constexpr int kDataEncodingUnknown = 34;
inline constexpr int kRequired = 35;
inline constexpr int kProhibited = 36;
inline constexpr int kOccurs = 37;
inline constexpr int kLength = 38;
inline constexpr int kFdExceeded = 39;

// Translates a status of the linked runtime into the classic numbering. HTTP status codes
// (100-599) and the runtime's special codes (1000 and above) pass unchanged.
int ToLegacySoapStatus(int runtimeStatus);

// The other way, for transport code that must hand the runtime its own number for a
// classic status (for example kHttpError from a transport hook).
int FromLegacySoapStatus(int legacyStatus);

}  // namespace vorlen::soapstatus
