// Which addresses the HTTP client may talk to, and how a redirect target is
// formed. Only https is accepted, except for the loopback names
// (127.0.0.1, ::1, localhost), which may also use plain http so that tests
// can run against a local server. A redirect from https to http is refused
// whatever the target.
#pragma once

#include "core/WideString.h"

// 1 when the URL starts with "https://" (any case).
int IsHttpsUrl(const wchar_t* url);
// 1 for "127.0.0.1", "::1" (with or without brackets) and "localhost" (any case).
int IsLoopbackHost(const wchar_t* host);
// The host part of an http(s) URL (without user info, port or brackets);
// 0 when the URL has no http(s) scheme or no host.
int UrlHost(const wchar_t* url, WideString& host);
// 1 when the client may request the URL: https, or http to a loopback host.
int IsAllowedUrl(const wchar_t* url);
// The absolute target of a Location header seen on current: absolute URLs
// as given, "/path" on the current scheme and host; 0 for anything else or
// when the target is not allowed (including https to http).
int RedirectTarget(const wchar_t* current, const wchar_t* location, WideString& out);
