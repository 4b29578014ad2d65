// Message texts of the internet client's error codes and of the few system codes it reports.
#include <cstring>
#include <string>

#include "platform/http/internal.h"

namespace {

struct Message {
  DWORD code;
  const char* text;
};

constexpr Message kMessages[] = {
    {ERROR_SUCCESS, "The operation completed successfully."},
    {ERROR_INVALID_HANDLE, "The handle is invalid."},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough memory resources are available to process this command."},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
    {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small."},
    {ERROR_CANCELLED, "The operation was canceled by the user."},
    {ERROR_INTERNET_OUT_OF_HANDLES, "No more internet handles can be allocated"},
    {ERROR_INTERNET_TIMEOUT, "The operation timed out"},
    {ERROR_INTERNET_EXTENDED_ERROR, "The server sent further error information"},
    {ERROR_INTERNET_INTERNAL_ERROR, "An internal error occurred in the internet client"},
    {ERROR_INTERNET_INVALID_URL, "The URL is invalid"},
    {ERROR_INTERNET_UNRECOGNIZED_SCHEME, "The URL does not use a recognized protocol"},
    {ERROR_INTERNET_NAME_NOT_RESOLVED, "The server name or address could not be resolved"},
    {ERROR_INTERNET_INVALID_OPTION, "The option is invalid"},
    {ERROR_INTERNET_BAD_OPTION_LENGTH, "The length is incorrect for the option type"},
    {ERROR_INTERNET_OPTION_NOT_SETTABLE, "The option value cannot be set"},
    {ERROR_INTERNET_INCORRECT_PASSWORD, "The password was not allowed"},
    {ERROR_INTERNET_INCORRECT_HANDLE_TYPE, "The type of handle supplied is incorrect for this operation"},
    {ERROR_INTERNET_INCORRECT_HANDLE_STATE, "The handle is not in a state that allows this operation"},
    {ERROR_INTERNET_CANNOT_CONNECT, "A connection with the server could not be established"},
    {ERROR_INTERNET_CONNECTION_ABORTED, "The connection with the server was terminated abnormally"},
    {ERROR_INTERNET_CONNECTION_RESET, "The connection with the server was reset"},
    {ERROR_INTERNET_FORCE_RETRY, "The action must be retried"},
    {ERROR_INTERNET_SEC_CERT_DATE_INVALID, "The date in the certificate is invalid or has expired"},
    {ERROR_INTERNET_SEC_CERT_CN_INVALID, "The host name in the certificate is invalid or does not match"},
    {ERROR_INTERNET_HTTP_TO_HTTPS_ON_REDIR, "A redirection from HTTP to HTTPS needs the user's consent"},
    {ERROR_INTERNET_POST_IS_NON_SECURE, "Data sent over a secure connection would go over a connection that is not secure"},
    {ERROR_INTERNET_INVALID_CA, "The certificate authority is invalid or incorrect"},
    {ERROR_INTERNET_SEC_CERT_ERRORS, "The server's certificate has errors"},
    {ERROR_HTTP_HEADER_NOT_FOUND, "The requested header was not found"},
    {ERROR_HTTP_INVALID_SERVER_RESPONSE, "The server returned an invalid or unrecognized response"},
    {ERROR_HTTP_INVALID_HEADER, "The supplied HTTP header is invalid"},
    {ERROR_HTTP_INVALID_QUERY_REQUEST, "The request for a HTTP header is invalid"},
    {ERROR_INTERNET_SECURITY_CHANNEL_ERROR, "An error occurred in the secure channel support"},
};

const char* Lookup(DWORD code) {
  for (const auto& m : kMessages)
    if (m.code == code) return m.text;
  return nullptr;
}

}  // namespace

DWORD InternetFormatMessageA(DWORD error, LPSTR buffer, DWORD size) {
  const char* text = Lookup(error);
  if (!text || !buffer) return 0;
  std::string full = std::string(text) + "\r\n";
  if (full.size() + 1 > size) return 0;
  std::memcpy(buffer, full.c_str(), full.size() + 1);
  return static_cast<DWORD>(full.size());
}

DWORD InternetFormatMessageW(DWORD error, LPWSTR buffer, DWORD size) {
  const char* text = Lookup(error);
  if (!text || !buffer) return 0;
  std::wstring full = platform::http::Widen(std::string(text) + "\r\n");
  if (full.size() + 1 > size) return 0;
  std::wmemcpy(buffer, full.c_str(), full.size() + 1);
  return static_cast<DWORD>(full.size());
}
