#include "support/HttpUrl.h"

#include <windows.h>
#include <wininet.h>

#include <cwchar>

#include "core/LibraryHandle.h"

namespace {

// Length of the scheme prefix "http://" or "https://", else 0.
unsigned SchemeLength(const wchar_t* url) {
  if (!url) return 0;
  if (_wcsnicmp(url, L"https://", 8) == 0) return 8;
  if (_wcsnicmp(url, L"http://", 7) == 0) return 7;
  return 0;
}

bool IsNameChar(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
         c == L'-' || c == L'.' || c == L'_';
}

bool IsIpv6Char(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F') ||
         c == L':';
}

// Splits a plain authority into its host (an IPv6 literal without its
// brackets) and port (defaultPort when none is given). Anything else than
// a name of letters, digits, '-', '.' and '_', a bracketed IPv6 literal of
// hexadecimal digits and colons, and a decimal port from 1 to 65535 is
// refused: user information, percent escapes, backslashes and the like are
// read differently by different parsers.
int ParseAuthority(const wchar_t* text, unsigned length, unsigned defaultPort, WideString& host,
                   unsigned* port) {
  unsigned i = 0;
  if (length && text[0] == L'[') {
    for (i = 1; i < length && text[i] != L']'; ++i)
      if (!IsIpv6Char(text[i])) return 0;
    if (i == length || i == 1) return 0;
    host.Assign(text + 1, i - 1);
    ++i;
  } else {
    while (i < length && IsNameChar(text[i])) ++i;
    if (i == 0) return 0;
    host.Assign(text, i);
  }
  *port = defaultPort;
  if (i == length) return 1;
  if (text[i] != L':' || i + 1 == length || length - i - 1 > 5) return 0;
  unsigned value = 0;
  for (++i; i < length; ++i) {
    if (text[i] < L'0' || text[i] > L'9') return 0;
    value = value * 10 + static_cast<unsigned>(text[i] - L'0');
  }
  if (value == 0 || value > 65535) return 0;
  *port = value;
  return 1;
}

// 1 when the Windows Internet functions of the library read the URL as the
// given scheme, host and port, without user information: the host they
// would connect to is the host that was checked.
int WinInetAgrees(const wchar_t* url, const wchar_t* library, bool https, const WideString& host,
                  unsigned port) {
  LibraryHandle wininet;
  if (!wininet.Load(library ? library : L"wininet.dll")) return 0;
  auto crack = wininet.ResolveAs<decltype(&::InternetCrackUrlW)>("InternetCrackUrlW");
  if (!crack) return 0;
  wchar_t name[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {};
  wchar_t user[INTERNET_MAX_USER_NAME_LENGTH + 1] = {};
  wchar_t password[INTERNET_MAX_PASSWORD_LENGTH + 1] = {};
  URL_COMPONENTSW parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.lpszHostName = name;
  parts.dwHostNameLength = INTERNET_MAX_HOST_NAME_LENGTH;
  parts.lpszUserName = user;
  parts.dwUserNameLength = INTERNET_MAX_USER_NAME_LENGTH;
  parts.lpszPassword = password;
  parts.dwPasswordLength = INTERNET_MAX_PASSWORD_LENGTH;
  if (!crack(url, 0, 0, &parts)) return 0;
  if (parts.nScheme != (https ? INTERNET_SCHEME_HTTPS : INTERNET_SCHEME_HTTP)) return 0;
  if (user[0] || password[0] || parts.nPort != port) return 0;
  WideString cracked(name);
  if (cracked.CharAt(0) == L'[' && cracked.RemoveTrailing(L']')) cracked.MidFrom(1);
  return cracked.CompareNoCase(host.CStr()) == 0 ? 1 : 0;
}

}  // namespace

int IsHttpsUrl(const wchar_t* url) { return url && _wcsnicmp(url, L"https://", 8) == 0; }

int IsLoopbackHost(const wchar_t* host) {
  if (!host) return 0;
  return _wcsicmp(host, L"127.0.0.1") == 0 || _wcsicmp(host, L"::1") == 0 ||
         _wcsicmp(host, L"[::1]") == 0 || _wcsicmp(host, L"localhost") == 0;
}

int UrlHost(const wchar_t* url, WideString& host, unsigned* port) {
  unsigned start = SchemeLength(url);
  host.Assign(L"");
  if (!start) return 0;
  const wchar_t* rest = url + start;
  // An '@' or '\' before the path starts is read as user information or as
  // part of the host by one parser and not by another ("?" and "#" do not
  // end the authority for all of them).
  size_t beforePath = wcscspn(rest, L"/");
  if (wmemchr(rest, L'@', beforePath) || wmemchr(rest, L'\\', beforePath)) return 0;
  unsigned end = static_cast<unsigned>(wcscspn(rest, L"/?#"));
  unsigned ignored = 0;
  if (!ParseAuthority(rest, end, start == 8 ? 443 : 80, host, port ? port : &ignored)) {
    host.Assign(L"");
    return 0;
  }
  return 1;
}

int IsAllowedUrl(const wchar_t* url, const wchar_t* library) {
  WideString host;
  unsigned port = 0;
  if (!UrlHost(url, host, &port)) return 0;
  bool https = IsHttpsUrl(url) != 0;
  if (!WinInetAgrees(url, library, https, host, port)) return 0;
  return https || IsLoopbackHost(host.CStr());
}

int RedirectTarget(const wchar_t* current, const wchar_t* location, WideString& out,
                   const wchar_t* library) {
  out.Assign(L"");
  if (!current || !location || !location[0]) return 0;
  if (SchemeLength(location)) {
    out.Assign(location);
  } else if (location[0] == L'/' && location[1] != L'/') {
    unsigned start = SchemeLength(current);
    if (!start) return 0;
    unsigned end = start + static_cast<unsigned>(wcscspn(current + start, L"/?#"));
    out.Assign(current, end);
    out.Append(location);
  } else {
    return 0;
  }
  if (IsHttpsUrl(current) && !IsHttpsUrl(out.CStr())) return 0;
  return IsAllowedUrl(out.CStr(), library);
}
