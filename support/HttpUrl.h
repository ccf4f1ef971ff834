// Which addresses the HTTP client may talk to, and how a redirect target is
// formed. Only https is accepted, except for the loopback names
// (127.0.0.1, ::1, localhost), which may also use plain http so that tests
// can run against a local server. A redirect from https to http is refused
// whatever the target.
//
// The host checked is the host the Windows Internet functions connect to:
// an address is taken only when its authority is a plain host name or
// bracketed IPv6 literal with an optional decimal port (no user
// information, percent escapes or backslashes, no '@' or '\' anywhere
// before the path) and InternetCrackUrlW reads the same scheme, host and
// port from it.
#pragma once

#include "core/WideString.h"

// 1 when the URL starts with "https://" (any case).
int IsHttpsUrl(const wchar_t* url);
// 1 for "127.0.0.1", "::1" (with or without brackets) and "localhost" (any case).
int IsLoopbackHost(const wchar_t* host);
// The host of an http(s) URL whose authority is plain as above (an IPv6
// literal without its brackets) and its port (80 or 443 when none is
// given); 0 for any other URL.
int UrlHost(const wchar_t* url, WideString& host, unsigned* port = nullptr);
// 1 when the client may request the URL: https, or http to a loopback host,
// and InternetCrackUrlW of library (none: "wininet.dll") agrees on the host.
int IsAllowedUrl(const wchar_t* url, const wchar_t* library = nullptr);
// The absolute target of a Location header seen on current: absolute URLs
// as given, "/path" on the current scheme and host; 0 for anything else or
// when the target is not allowed (including https to http).
int RedirectTarget(const wchar_t* current, const wchar_t* location, WideString& out,
                   const wchar_t* library = nullptr);
