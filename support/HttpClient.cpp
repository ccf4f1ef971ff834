#include "support/HttpClient.h"

#include <cwchar>

#include "support/HttpUrl.h"

namespace {

const int kMaxRedirects = 5;

}  // namespace

const ApiFunction HttpClient::kFunctions[HttpClient::SlotCount] = {
    {"HttpSendRequestW", 1},     {"HttpSendRequestExW", 1},   {"HttpAddRequestHeadersW", 1},
    {"HttpEndRequestW", 1},      {"InternetGetCookieW", 1},   {"InternetGetCookieExW", 1},
    {"InternetSetCookieW", 1},   {"InternetSetCookieExW", 1}, {"InternetQueryOptionW", 1},
    {"InternetOpenW", 1},        {"HttpOpenRequestW", 1},     {"FtpOpenFileW", 1},
    {"InternetSetOptionW", 1},   {"HttpQueryInfoW", 1},       {"InternetConnectW", 1},
    {"InternetOpenUrlW", 1},     {"InternetCrackUrlW", 1},    {"InternetReadFile", 1},
    {"InternetWriteFile", 1},    {"InternetErrorDlg", 1},     {"InternetCloseHandle", 1},
};

int HttpClient::AppendWidened(WideString& out, const BYTE* bytes, DWORD count) {
  wchar_t wide[1025];
  while (count) {
    DWORD n = count < 1024 ? count : 1024;
    DWORD used = 0;
    for (DWORD i = 0; i < n; ++i)
      if (bytes[i]) wide[used++] = bytes[i];
    wide[used] = 0;
    if (!out.Append(wide)) return 0;
    bytes += n;
    count -= n;
  }
  return 1;
}

DWORD RateLimitDelay(DWORD bytes, DWORD rateKb, unsigned long long elapsedMs) {
  if (rateKb == 0) return 0;
  unsigned long long due = static_cast<unsigned long long>(bytes) * 1000 / (1024ULL * rateKb);
  return due > elapsedMs ? static_cast<DWORD>(due - elapsedMs) : 0;
}

HttpClient::HttpClient()
    : binding_(new ApiGroup(L"wininet.dll", kFunctions, SlotCount)),
      libraryName_(L"wininet.dll"),
      cancelEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

HttpClient::~HttpClient() {
  delete binding_;
}

void HttpClient::SetLibraryName(const wchar_t* name) {
  libraryName_.Assign(name ? name : L"wininet.dll");
  delete binding_;
  binding_ = new ApiGroup(libraryName_.CStr(), kFunctions, SlotCount);
}

int HttpClient::Bind() { return binding_->Bind(); }

void HttpClient::Unbind() {
  parts_.Clear();
  binding_->Unbind();
}

void HttpClient::Cancel() {
  // Closed under the lock: the request cannot pass CloseSession and unbind
  // the library while this call is running.
  SectionLock hold(lock_);
  InterlockedExchange(&cancelled_, 1);
  if (cancelEvent_) SetEvent(cancelEvent_);
  HINTERNET session = session_;
  session_ = nullptr;
  if (session) Api<decltype(&::InternetCloseHandle)>(SlotInternetCloseHandle)(session);
}

void HttpClient::ResumeRequests() {
  SectionLock hold(lock_);
  if (cancelEvent_) ResetEvent(cancelEvent_);
  InterlockedExchange(&cancelled_, 0);
}

bool HttpClient::Cancelled() const {
  return InterlockedCompareExchange(const_cast<volatile LONG*>(&cancelled_), 0, 0) != 0;
}

HINTERNET HttpClient::OpenSession(const wchar_t* agent, const wchar_t* proxy, int connectTimeout) {
  if (Cancelled()) {
    RecordFailureText(L"The request was cancelled.");
    return nullptr;
  }
  bool useProxy = proxy && proxy[0];
  HINTERNET session = Api<decltype(&::InternetOpenW)>(SlotInternetOpen)(
      agent, useProxy ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_PRECONFIG,
      useProxy ? proxy : nullptr, nullptr, 0);
  if (!session) {
    RecordFailure(GetLastError());
    return nullptr;
  }
  auto setOption = Api<decltype(&::InternetSetOptionW)>(SlotInternetSetOption);
  DWORD connect = connectTimeout >= 0 ? static_cast<DWORD>(connectTimeout) : DefaultConnectTimeout;
  DWORD receive = receiveTimeout_;
  setOption(session, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof(connect));
  setOption(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof(receive));
  setOption(session, INTERNET_OPTION_SEND_TIMEOUT, &receive, sizeof(receive));
  SectionLock hold(lock_);
  if (Cancelled()) {
    Api<decltype(&::InternetCloseHandle)>(SlotInternetCloseHandle)(session);
    return nullptr;
  }
  session_ = session;
  return session;
}

void HttpClient::CloseSession(HINTERNET session) {
  if (!session) return;
  bool mine = false;
  {
    SectionLock hold(lock_);
    if (session_ == session) {
      session_ = nullptr;
      mine = true;
    }
  }
  // A cancelled session was closed by Cancel already.
  if (mine) Api<decltype(&::InternetCloseHandle)>(SlotInternetCloseHandle)(session);
}

int HttpClient::QueryNumber(HINTERNET request, DWORD query, DWORD* value) {
  DWORD number = 0, size = sizeof(number), index = 0;
  if (!Api<decltype(&::HttpQueryInfoW)>(SlotHttpQueryInfo)(request, query | HTTP_QUERY_FLAG_NUMBER,
                                                             &number, &size, &index))
    return 0;
  *value = number;
  return 1;
}

int HttpClient::QueryText(HINTERNET request, DWORD query, WideString& out, DWORD capacity,
                          DWORD* index, const wchar_t* customName) {
  out.Assign(L"");
  if (!out.Reset(capacity / sizeof(wchar_t) + 1)) return 0;
  if (customName) {
    if (wcslen(customName) >= capacity / sizeof(wchar_t)) return 0;
    wcscpy(out.Buffer(), customName);
  }
  DWORD size = capacity;
  DWORD first = 0;
  if (!Api<decltype(&::HttpQueryInfoW)>(SlotHttpQueryInfo)(request, query, out.Buffer(), &size,
                                                             index ? index : &first)) {
    out.Assign(L"");
    return 0;
  }
  *out.At(size / sizeof(wchar_t)) = 0;
  out.UpdateLength();
  return 1;
}

void HttpClient::RecordFailureText(const wchar_t* text) {
  failureText_.Assign(text);
  if (sink_) sink_->SetLastErrorText(failureText_.CStr());
}

void HttpClient::RecordFailure(DWORD error) {
  wchar_t text[261] = {};
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           error, 0x400, text, 260, nullptr);
  if (n == 0) {
    HMODULE wininet = GetModuleHandleW(libraryName_.CStr());
    if (wininet)
      n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, wininet,
                         error, 0x400, text, 260, nullptr);
  }
  if (n == 0) swprintf(text, 261, L"Error %u", static_cast<unsigned>(error));
  text[260] = 0;
  WideString::NewlinesToSpaces(text);
  WideString::TrimTrailingSpaces(text);
  RecordFailureText(text);
}

DWORD HttpClient::AskProxyCredentials(HWND owner, HINTERNET request) {
  return Api<decltype(&::InternetErrorDlg)>(SlotInternetErrorDlg)(
      owner ? owner : GetForegroundWindow(), request, ERROR_INTERNET_INCORRECT_PASSWORD,
      FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
          FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
      nullptr);
}

HINTERNET HttpClient::OpenUrl(HttpCallRunner& runner, HINTERNET session, const wchar_t* url,
                              const wchar_t* headers, int headersLength, DWORD flags) {
  auto close = Api<decltype(&::InternetCloseHandle)>(SlotInternetCloseHandle);
  WideString current(url), next;
  for (int hop = 0; hop <= kMaxRedirects; ++hop) {
    if (!IsAllowedUrl(current.CStr(), libraryName_.CStr())) {
      RecordFailureText(L"The address was refused: only https, or http to this computer, is used.");
      return nullptr;
    }
    DWORD hopFlags = flags | INTERNET_FLAG_NO_AUTO_REDIRECT;
    if (IsHttpsUrl(current.CStr())) hopFlags |= INTERNET_FLAG_SECURE;
    HINTERNET request = runner.OpenUrl(session, current.CStr(), headers, headersLength, hopFlags);
    if (!request) {
      RecordFailure(GetLastError());
      return nullptr;
    }
    DWORD status = 0;
    if (!QueryNumber(request, HTTP_QUERY_STATUS_CODE, &status) ||
        (status != 301 && status != 302 && status != 303 && status != 307 && status != 308))
      return request;
    WideString location;
    int found = QueryText(request, HTTP_QUERY_LOCATION, location, 4096);
    close(request);
    if (!found || !RedirectTarget(current.CStr(), location.CStr(), next, libraryName_.CStr())) {
      RecordFailureText(L"A redirect was refused.");
      return nullptr;
    }
    current.Assign(next);
  }
  RecordFailureText(L"Too many redirects.");
  return nullptr;
}
