#pragma once
// The internet client API (sessions, connections, HTTP requests, options, error codes and
// their texts) with its Windows names and semantics, carried by libcurl.
//
// Differences from the Windows client, by design:
// - no redirect is ever followed: a 3xx answer is returned to the caller as it came;
// - no proxy is read from the environment: the proxy comes from InternetOpen's arguments,
//   the handles' INTERNET_OPTION_PROXY, or the process-wide setting (InternetSetOption with a
//   null handle), which starts as "direct";
// - server certificates are checked against the system's trusted authorities, or against the
//   file named by InternetSetTrustedCertificates;
// - there is no connection-error dialog: InternetErrorDlg answers ERROR_CANCELLED;
// - nothing is cached, so the cache flags of HttpOpenRequest have no effect; a request handle
//   may be sent again, each send being a new exchange;
// - besides the idle time-outs (connect, send, receive), every exchange has a deadline: from
//   HttpSendRequest on, the sum of its connect, send and receive time-outs. A peer that keeps
//   the exchange alive with a byte now and then is cut off there with ERROR_INTERNET_TIMEOUT,
//   whether it drips the headers (the send fails) or the body (the read fails);
// - with INTERNET_OPTION_HTTP_DECODING set, the request itself offers "gzip, deflate" and the
//   body is read decoded (deflate with or without its zlib wrapper); an encoding the client
//   cannot decode, or a body that does not decode, fails with ERROR_HTTP_INVALID_SERVER_RESPONSE.
//   HTTP_QUERY_CONTENT_LENGTH still gives the length on the wire.
//
// Every call sets the calling thread's last error (GetLastError) when it fails.
#include "platform/base/wintypes.h"

using HINTERNET = void*;
using INTERNET_PORT = WORD;
using LPDWORD = DWORD*;

// Access types (InternetOpen, INTERNET_PROXY_INFO).
#define INTERNET_OPEN_TYPE_PRECONFIG 0
#define INTERNET_OPEN_TYPE_DIRECT 1
#define INTERNET_OPEN_TYPE_PROXY 3

#define INTERNET_DEFAULT_HTTP_PORT 80
#define INTERNET_DEFAULT_HTTPS_PORT 443
#define INTERNET_INVALID_PORT_NUMBER 0
#define INTERNET_SERVICE_HTTP 3

// Request flags.
#define INTERNET_FLAG_RELOAD 0x80000000u
#define INTERNET_FLAG_SECURE 0x00800000u
#define INTERNET_FLAG_KEEP_CONNECTION 0x00400000u
#define INTERNET_FLAG_NO_AUTO_REDIRECT 0x00200000u
#define INTERNET_FLAG_NO_CACHE_WRITE 0x04000000u
#define INTERNET_FLAG_PRAGMA_NOCACHE 0x00000100u
#define INTERNET_FLAG_NO_UI 0x00000200u

// HttpAddRequestHeaders modifiers.
#define HTTP_ADDREQ_FLAG_ADD_IF_NEW 0x10000000u
#define HTTP_ADDREQ_FLAG_ADD 0x20000000u
#define HTTP_ADDREQ_FLAG_REPLACE 0x80000000u

// HttpQueryInfo levels and modifiers.
#define HTTP_QUERY_CONTENT_TYPE 1
#define HTTP_QUERY_CONTENT_LENGTH 5
#define HTTP_QUERY_STATUS_CODE 19
#define HTTP_QUERY_STATUS_TEXT 20
#define HTTP_QUERY_RAW_HEADERS 21
#define HTTP_QUERY_RAW_HEADERS_CRLF 22
#define HTTP_QUERY_CUSTOM 65535
#define HTTP_QUERY_FLAG_NUMBER 0x20000000u
#define HTTP_QUERY_MODIFIER_FLAGS_MASK 0xF0000000u
#define HTTP_QUERY_HEADER_MASK 0x0000FFFFu

#define HTTP_STATUS_OK 200
#define HTTP_STATUS_DENIED 401
#define HTTP_STATUS_PROXY_AUTH_REQ 407

// Options (InternetSetOption / InternetQueryOption).
#define INTERNET_OPTION_CONNECT_TIMEOUT 2
#define INTERNET_OPTION_SEND_TIMEOUT 5
#define INTERNET_OPTION_RECEIVE_TIMEOUT 6
#define INTERNET_OPTION_HANDLE_TYPE 9
#define INTERNET_OPTION_USERNAME 28
#define INTERNET_OPTION_PASSWORD 29
#define INTERNET_OPTION_PROXY 38
#define INTERNET_OPTION_USER_AGENT 41
#define INTERNET_OPTION_PROXY_USERNAME 43
#define INTERNET_OPTION_PROXY_PASSWORD 44
#define INTERNET_OPTION_HTTP_DECODING 65  // BOOL: read bodies decoded (see above)

// InternetErrorDlg flags and answers.
#define FLAGS_ERROR_UI_FILTER_FOR_ERRORS 0x01
#define FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS 0x02
#define FLAGS_ERROR_UI_FLAGS_GENERATE_DATA 0x04

// Error codes of the internet client.
#define INTERNET_ERROR_BASE 12000
#define ERROR_INTERNET_OUT_OF_HANDLES 12001
#define ERROR_INTERNET_TIMEOUT 12002
#define ERROR_INTERNET_EXTENDED_ERROR 12003
#define ERROR_INTERNET_INTERNAL_ERROR 12004
#define ERROR_INTERNET_INVALID_URL 12005
#define ERROR_INTERNET_UNRECOGNIZED_SCHEME 12006
#define ERROR_INTERNET_NAME_NOT_RESOLVED 12007
#define ERROR_INTERNET_INVALID_OPTION 12009
#define ERROR_INTERNET_BAD_OPTION_LENGTH 12010
#define ERROR_INTERNET_OPTION_NOT_SETTABLE 12011
#define ERROR_INTERNET_INCORRECT_PASSWORD 12014
#define ERROR_INTERNET_INCORRECT_HANDLE_TYPE 12018
#define ERROR_INTERNET_INCORRECT_HANDLE_STATE 12019
#define ERROR_INTERNET_CANNOT_CONNECT 12029
#define ERROR_INTERNET_CONNECTION_ABORTED 12030
#define ERROR_INTERNET_CONNECTION_RESET 12031
#define ERROR_INTERNET_FORCE_RETRY 12032
#define ERROR_INTERNET_SEC_CERT_DATE_INVALID 12037
#define ERROR_INTERNET_SEC_CERT_CN_INVALID 12038
#define ERROR_INTERNET_HTTP_TO_HTTPS_ON_REDIR 12039
#define ERROR_INTERNET_POST_IS_NON_SECURE 12043
#define ERROR_INTERNET_INVALID_CA 12045
#define ERROR_HTTP_HEADER_NOT_FOUND 12150
#define ERROR_HTTP_INVALID_SERVER_RESPONSE 12152
#define ERROR_HTTP_INVALID_HEADER 12153
#define ERROR_HTTP_INVALID_QUERY_REQUEST 12154
#define ERROR_INTERNET_SECURITY_CHANNEL_ERROR 12157
#define ERROR_INTERNET_SEC_CERT_ERRORS 12055
#define INTERNET_ERROR_LAST 12175

// FormatMessage-style flags accepted by InternetFormatMessage (the same values as the string
// layer's FormatMessage flags, defined once whichever header comes first).
#ifndef FORMAT_MESSAGE_IGNORE_INSERTS
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#endif
#ifndef FORMAT_MESSAGE_FROM_HMODULE
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#endif
#ifndef FORMAT_MESSAGE_FROM_SYSTEM
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#endif

struct INTERNET_PROXY_INFOA {
  DWORD dwAccessType;
  LPCSTR lpszProxy;
  LPCSTR lpszProxyBypass;
};
struct INTERNET_PROXY_INFOW {
  DWORD dwAccessType;
  LPCWSTR lpszProxy;
  LPCWSTR lpszProxyBypass;
};
using INTERNET_PROXY_INFO = INTERNET_PROXY_INFOW;
using LPINTERNET_PROXY_INFO = INTERNET_PROXY_INFO*;

// Body passed to HttpSendRequestEx (only the total length is used).
struct INTERNET_BUFFERSA {
  DWORD dwStructSize;
  INTERNET_BUFFERSA* Next;
  LPCSTR lpcszHeader;
  DWORD dwHeadersLength;
  DWORD dwHeadersTotal;
  LPVOID lpvBuffer;
  DWORD dwBufferLength;
  DWORD dwBufferTotal;
  DWORD dwOffsetLow;
  DWORD dwOffsetHigh;
};
using LPINTERNET_BUFFERSA = INTERNET_BUFFERSA*;

DWORD GetLastError();
void SetLastError(DWORD error);

HINTERNET InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR proxyBypass, DWORD flags);
HINTERNET InternetOpenW(LPCWSTR agent, DWORD accessType, LPCWSTR proxy, LPCWSTR proxyBypass, DWORD flags);
HINTERNET InternetConnectA(HINTERNET session, LPCSTR serverName, INTERNET_PORT port, LPCSTR userName,
                           LPCSTR password, DWORD service, DWORD flags, DWORD_PTR context);
HINTERNET InternetConnectW(HINTERNET session, LPCWSTR serverName, INTERNET_PORT port, LPCWSTR userName,
                           LPCWSTR password, DWORD service, DWORD flags, DWORD_PTR context);
HINTERNET HttpOpenRequestA(HINTERNET connection, LPCSTR verb, LPCSTR objectName, LPCSTR version,
                           LPCSTR referrer, LPCSTR* acceptTypes, DWORD flags, DWORD_PTR context);
HINTERNET HttpOpenRequestW(HINTERNET connection, LPCWSTR verb, LPCWSTR objectName, LPCWSTR version,
                           LPCWSTR referrer, LPCWSTR* acceptTypes, DWORD flags, DWORD_PTR context);
// `length` is the header text's length in characters, or (DWORD)-1 for a NUL-terminated text.
BOOL HttpAddRequestHeadersA(HINTERNET request, LPCSTR headers, DWORD length, DWORD modifiers);
BOOL HttpAddRequestHeadersW(HINTERNET request, LPCWSTR headers, DWORD length, DWORD modifiers);
// Sends the request and waits for the answer's status line and headers; the body is then read
// with InternetReadFile.
BOOL HttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headersLength, LPVOID optional,
                      DWORD optionalLength);
BOOL HttpSendRequestW(HINTERNET request, LPCWSTR headers, DWORD headersLength, LPVOID optional,
                      DWORD optionalLength);
BOOL HttpSendRequestExA(HINTERNET request, LPINTERNET_BUFFERSA buffersIn, LPINTERNET_BUFFERSA buffersOut,
                        DWORD flags, DWORD_PTR context);
BOOL InternetWriteFile(HINTERNET request, LPCVOID buffer, DWORD toWrite, LPDWORD written);
BOOL HttpEndRequestA(HINTERNET request, LPINTERNET_BUFFERSA buffersOut, DWORD flags, DWORD_PTR context);
BOOL InternetReadFile(HINTERNET request, LPVOID buffer, DWORD toRead, LPDWORD read);
// The buffer length is in bytes for both forms; on success it receives the bytes written
// without the terminating NUL; too small a buffer gives ERROR_INSUFFICIENT_BUFFER and the bytes needed.
BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD bufferLength, LPDWORD index);
BOOL HttpQueryInfoW(HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD bufferLength, LPDWORD index);
BOOL InternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD bufferLength);
BOOL InternetSetOptionW(HINTERNET handle, DWORD option, LPVOID buffer, DWORD bufferLength);
BOOL InternetQueryOptionA(HINTERNET handle, DWORD option, LPVOID buffer, LPDWORD bufferLength);
BOOL InternetQueryOptionW(HINTERNET handle, DWORD option, LPVOID buffer, LPDWORD bufferLength);
BOOL InternetCloseHandle(HINTERNET handle);
// No dialog exists here: the answer is always ERROR_CANCELLED (nothing resolved).
DWORD InternetErrorDlg(HWND parent, HINTERNET request, DWORD error, DWORD flags, LPVOID* data);

// The text of an internet-client error (or of a common system error), ending in "\r\n" as the
// system's message texts do. Returns the characters written without the NUL, 0 when the code has
// no text or the buffer (size in characters) is too small.
DWORD InternetFormatMessageA(DWORD error, LPSTR buffer, DWORD size);
DWORD InternetFormatMessageW(DWORD error, LPWSTR buffer, DWORD size);

// Platform extension: the PEM file of the certificate authorities that server certificates are
// checked against, for the whole process; null restores the system's authorities.
void InternetSetTrustedCertificates(LPCSTR pemFile);

#define InternetOpen InternetOpenW
#define InternetConnect InternetConnectW
#define HttpOpenRequest HttpOpenRequestW
#define HttpAddRequestHeaders HttpAddRequestHeadersW
#define HttpSendRequest HttpSendRequestW
#define HttpSendRequestEx HttpSendRequestExA
#define HttpEndRequest HttpEndRequestA
#define HttpQueryInfo HttpQueryInfoW
#define InternetSetOption InternetSetOptionW
#define InternetQueryOption InternetQueryOptionW
