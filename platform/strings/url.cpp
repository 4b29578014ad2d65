#include "platform/strings/url.h"

#include <string>

#include "platform/strings/casemap.h"

namespace {

struct Known {
  const wchar_t* name;
  ATL_URL_SCHEME scheme;
};
const Known kSchemes[] = {
    {L"ftp", ATL_URL_SCHEME_FTP},     {L"gopher", ATL_URL_SCHEME_GOPHER}, {L"http", ATL_URL_SCHEME_HTTP},
    {L"https", ATL_URL_SCHEME_HTTPS}, {L"file", ATL_URL_SCHEME_FILE},     {L"news", ATL_URL_SCHEME_NEWS},
    {L"mailto", ATL_URL_SCHEME_MAILTO}, {L"socks", ATL_URL_SCHEME_SOCKS},
};

ATL_URL_SCHEME SchemeOf(const std::wstring& name) {
  for (const Known& k : kSchemes)
    if (platform::CompareNoCase(name, k.name) == 0) return k.scheme;
  return ATL_URL_SCHEME_UNKNOWN;
}

bool SchemeChar(wchar_t c, bool first) {
  const bool letter = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
  if (first) return letter;
  return letter || (c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.';
}

bool HostChar(wchar_t c) {
  if (c <= 0x20 || c == 0x7F) return false;
  switch (c) {
    case L'<': case L'>': case L'"': case L'{': case L'}': case L'|': case L'\\': case L'^': case L'`':
      return false;
    default:
      return true;
  }
}

}  // namespace

ATL_URL_PORT CUrl::DefaultPort(ATL_URL_SCHEME scheme) {
  switch (scheme) {
    case ATL_URL_SCHEME_FTP: return ATL_URL_DEFAULT_FTP_PORT;
    case ATL_URL_SCHEME_GOPHER: return ATL_URL_DEFAULT_GOPHER_PORT;
    case ATL_URL_SCHEME_HTTP: return ATL_URL_DEFAULT_HTTP_PORT;
    case ATL_URL_SCHEME_HTTPS: return ATL_URL_DEFAULT_HTTPS_PORT;
    case ATL_URL_SCHEME_SOCKS: return ATL_URL_DEFAULT_SOCKS_PORT;
    default: return ATL_URL_INVALID_PORT_NUMBER;
  }
}

void CUrl::Clear() { *this = CUrl(); }

BOOL CUrl::CrackUrl(LPCWSTR url, DWORD) {
  Clear();
  if (!url) return FALSE;
  const std::wstring text(url);
  size_t colon = 0;
  while (colon < text.size() && SchemeChar(text[colon], colon == 0)) ++colon;
  if (colon == 0 || colon >= text.size() || text[colon] != L':') return FALSE;
  CUrl parsed;
  parsed.m_schemeName = CString(text.substr(0, colon).c_str());
  parsed.m_scheme = SchemeOf(text.substr(0, colon));
  size_t pos = colon + 1;
  if (text.compare(pos, 2, L"//") == 0) {
    pos += 2;
    const size_t authorityEnd = text.find_first_of(L"/?#", pos);
    std::wstring authority = text.substr(pos, authorityEnd == std::wstring::npos ? std::wstring::npos : authorityEnd - pos);
    pos = authorityEnd == std::wstring::npos ? text.size() : authorityEnd;
    const size_t at = authority.rfind(L'@');
    if (at != std::wstring::npos) {
      const std::wstring userInfo = authority.substr(0, at);
      authority.erase(0, at + 1);
      const size_t sep = userInfo.find(L':');
      parsed.m_user = CString(userInfo.substr(0, sep).c_str());
      if (sep != std::wstring::npos) parsed.m_password = CString(userInfo.substr(sep + 1).c_str());
    }
    std::wstring host = authority;
    std::wstring port;
    const size_t bracket = authority.rfind(L']');
    const size_t portColon = authority.rfind(L':');
    if (portColon != std::wstring::npos && (bracket == std::wstring::npos || portColon > bracket)) {
      host = authority.substr(0, portColon);
      port = authority.substr(portColon + 1);
    }
    if (host.size() > static_cast<size_t>(ATL_URL_MAX_HOST_NAME_LENGTH)) return FALSE;
    for (wchar_t c : host)
      if (!HostChar(c)) return FALSE;
    parsed.m_host = CString(host.c_str());
    parsed.m_port = DefaultPort(parsed.m_scheme);
    if (!port.empty()) {
      if (port.size() > 5) return FALSE;
      unsigned value = 0;
      for (wchar_t c : port) {
        if (c < L'0' || c > L'9') return FALSE;
        value = value * 10 + static_cast<unsigned>(c - L'0');
      }
      if (value == 0 || value > 65535) return FALSE;
      parsed.m_port = static_cast<ATL_URL_PORT>(value);
    }
  }
  const size_t extra = text.find_first_of(L"?#", pos);
  parsed.m_path = CString(text.substr(pos, extra == std::wstring::npos ? std::wstring::npos : extra - pos).c_str());
  if (extra != std::wstring::npos) parsed.m_extra = CString(text.substr(extra).c_str());
  *this = parsed;
  return TRUE;
}

BOOL CUrl::SetScheme(ATL_URL_SCHEME scheme) {
  for (const Known& k : kSchemes)
    if (k.scheme == scheme) {
      m_scheme = scheme;
      m_schemeName = k.name;
      return TRUE;
    }
  return FALSE;
}

BOOL CUrl::SetSchemeName(LPCWSTR name) {
  if (!name) return FALSE;
  m_schemeName = name;
  m_scheme = SchemeOf(name);
  return TRUE;
}

BOOL CUrl::SetUserName(LPCWSTR user) {
  if (!user) return FALSE;
  m_user = user;
  return TRUE;
}

BOOL CUrl::SetPassword(LPCWSTR password) {
  if (!password) return FALSE;
  m_password = password;
  return TRUE;
}

BOOL CUrl::SetHostName(LPCWSTR host) {
  if (!host || std::wstring(host).size() > static_cast<size_t>(ATL_URL_MAX_HOST_NAME_LENGTH)) return FALSE;
  m_host = host;
  return TRUE;
}

BOOL CUrl::SetPortNumber(ATL_URL_PORT port) {
  m_port = port;
  return TRUE;
}

BOOL CUrl::SetUrlPath(LPCWSTR path) {
  if (!path) return FALSE;
  m_path = path;
  return TRUE;
}

BOOL CUrl::SetExtraInfo(LPCWSTR extra) {
  if (!extra) return FALSE;
  m_extra = extra;
  return TRUE;
}
