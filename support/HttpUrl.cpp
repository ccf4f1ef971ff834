#include "support/HttpUrl.h"

#include <cwchar>

namespace {

// Length of the scheme prefix "http://" or "https://", else 0.
unsigned SchemeLength(const wchar_t* url) {
  if (!url) return 0;
  if (_wcsnicmp(url, L"https://", 8) == 0) return 8;
  if (_wcsnicmp(url, L"http://", 7) == 0) return 7;
  return 0;
}

}  // namespace

int IsHttpsUrl(const wchar_t* url) { return url && _wcsnicmp(url, L"https://", 8) == 0; }

int IsLoopbackHost(const wchar_t* host) {
  if (!host) return 0;
  return _wcsicmp(host, L"127.0.0.1") == 0 || _wcsicmp(host, L"::1") == 0 ||
         _wcsicmp(host, L"[::1]") == 0 || _wcsicmp(host, L"localhost") == 0;
}

int UrlHost(const wchar_t* url, WideString& host) {
  unsigned start = SchemeLength(url);
  host.Assign(L"");
  if (!start) return 0;
  const wchar_t* authority = url + start;
  unsigned end = static_cast<unsigned>(wcscspn(authority, L"/?#\\"));
  // User information ends at the last '@' of the authority.
  unsigned from = 0;
  for (unsigned i = 0; i < end; ++i)
    if (authority[i] == L'@') from = i + 1;
  const wchar_t* h = authority + from;
  unsigned length = end - from;
  if (length && h[0] == L'[') {
    const wchar_t* close = static_cast<const wchar_t*>(wmemchr(h, L']', length));
    if (!close) return 0;
    host.Assign(h + 1, static_cast<unsigned>(close - h - 1));
  } else {
    const wchar_t* colon = static_cast<const wchar_t*>(wmemchr(h, L':', length));
    host.Assign(h, colon ? static_cast<unsigned>(colon - h) : length);
  }
  return host.IsEmpty() ? 0 : 1;
}

int IsAllowedUrl(const wchar_t* url) {
  WideString host;
  if (!UrlHost(url, host)) return 0;
  return IsHttpsUrl(url) || IsLoopbackHost(host.CStr());
}

int RedirectTarget(const wchar_t* current, const wchar_t* location, WideString& out) {
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
  return IsAllowedUrl(out.CStr());
}
