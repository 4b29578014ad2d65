#pragma once
// The class library's URL parser: an address split into scheme, user name, password, host,
// port, path and extra part (query and fragment, with their leading "?" or "#").
//
// CrackUrl takes "scheme://[user[:password]@]host[:port][/path][?query][#fragment]" and also
// "scheme:path" (mailto:, news:). A missing port is the scheme's default (ftp 21, gopher 70,
// http 80, https 443, socks 1080). It refuses a text without a scheme, a port that is not a
// number from 1 to 65535, and a host of more than 255 characters or with blanks, control
// characters or any of < > " { } | \ ^ `; the parser is then left empty.
#include "platform/strings/cstring.h"

enum ATL_URL_SCHEME {
  ATL_URL_SCHEME_UNKNOWN = -1,
  ATL_URL_SCHEME_FTP = 0,
  ATL_URL_SCHEME_GOPHER = 1,
  ATL_URL_SCHEME_HTTP = 2,
  ATL_URL_SCHEME_HTTPS = 3,
  ATL_URL_SCHEME_FILE = 4,
  ATL_URL_SCHEME_NEWS = 5,
  ATL_URL_SCHEME_MAILTO = 6,
  ATL_URL_SCHEME_SOCKS = 7,
};
using ATL_URL_PORT = WORD;
constexpr ATL_URL_PORT ATL_URL_INVALID_PORT_NUMBER = 0;
constexpr ATL_URL_PORT ATL_URL_DEFAULT_FTP_PORT = 21;
constexpr ATL_URL_PORT ATL_URL_DEFAULT_GOPHER_PORT = 70;
constexpr ATL_URL_PORT ATL_URL_DEFAULT_HTTP_PORT = 80;
constexpr ATL_URL_PORT ATL_URL_DEFAULT_HTTPS_PORT = 443;
constexpr ATL_URL_PORT ATL_URL_DEFAULT_SOCKS_PORT = 1080;
constexpr int ATL_URL_MAX_HOST_NAME_LENGTH = 255;

class CUrl {
 public:
  CUrl() = default;
  CUrl(const CUrl&) = default;
  CUrl& operator=(const CUrl&) = default;

  // Parses `url`; FALSE (and an empty parser) when it is not an address.
  BOOL CrackUrl(LPCWSTR url, DWORD flags = 0);
  void Clear();

  ATL_URL_SCHEME GetScheme() const { return m_scheme; }
  LPCWSTR GetSchemeName() const { return m_schemeName; }
  DWORD GetSchemeNameLength() const { return static_cast<DWORD>(m_schemeName.GetLength()); }
  LPCWSTR GetUserName() const { return m_user; }
  DWORD GetUserNameLength() const { return static_cast<DWORD>(m_user.GetLength()); }
  LPCWSTR GetPassword() const { return m_password; }
  DWORD GetPasswordLength() const { return static_cast<DWORD>(m_password.GetLength()); }
  LPCWSTR GetHostName() const { return m_host; }
  DWORD GetHostNameLength() const { return static_cast<DWORD>(m_host.GetLength()); }
  ATL_URL_PORT GetPortNumber() const { return m_port; }
  LPCWSTR GetUrlPath() const { return m_path; }
  DWORD GetUrlPathLength() const { return static_cast<DWORD>(m_path.GetLength()); }
  LPCWSTR GetExtraInfo() const { return m_extra; }
  DWORD GetExtraInfoLength() const { return static_cast<DWORD>(m_extra.GetLength()); }

  // Setting a known scheme also sets its name (and the reverse); the port is left as it is.
  BOOL SetScheme(ATL_URL_SCHEME scheme);
  BOOL SetSchemeName(LPCWSTR name);
  BOOL SetUserName(LPCWSTR user);
  BOOL SetPassword(LPCWSTR password);
  BOOL SetHostName(LPCWSTR host);
  BOOL SetPortNumber(ATL_URL_PORT port);
  BOOL SetUrlPath(LPCWSTR path);
  BOOL SetExtraInfo(LPCWSTR extra);

  // The scheme's default port (ATL_URL_INVALID_PORT_NUMBER for a scheme without one).
  static ATL_URL_PORT DefaultPort(ATL_URL_SCHEME scheme);

 private:
  ATL_URL_SCHEME m_scheme = ATL_URL_SCHEME_UNKNOWN;
  CString m_schemeName;
  CString m_user;
  CString m_password;
  CString m_host;
  ATL_URL_PORT m_port = ATL_URL_INVALID_PORT_NUMBER;
  CString m_path;
  CString m_extra;
};
