// A thin client over the Windows Internet functions (wininet.dll, bound at
// run time): fetch a URL into memory (HttpGet), into a file (HttpDownload),
// or send a request with a multipart/form-data body (HttpPostMultipart over
// HttpRequest). Every request opens and closes its own Internet handle;
// only the collected form parts live between requests and are freed when
// the next request ends.
//
// Safety rules beyond the plain calls: only https is accepted, except for
// loopback hosts (see HttpUrl.h); redirects are followed by the client
// itself (at most five), each target checked, and https to http is refused;
// connect, send and receive time-outs are always set; certificate checks
// stay on unless an observer answers HttpRequestCertificates with
// HttpIgnoreCertificates;
// Cancel, from any thread, closes the running request's Internet handle so
// that a blocked request ends at once (a download then removes its file).
//
// Observer events: HttpDownloadEvent for HttpGet and HttpDownload,
// HttpRequestStep for HttpRequest (below, each with what its pointer shows;
// the default answer is the one used without an observer). Default answers
// of questions whose answer 0 ends the request are 1.
//
// The binding's use count is changed with interlocked operations, so
// requests on several threads may share one client; the form parts belong
// to one request at a time.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "core/ApiGroup.h"
#include "core/CriticalSection.h"
#include "core/KernelHandle.h"
#include "core/WideString.h"
#include "support/HttpCallRunner.h"
#include "support/HttpFailureSink.h"
#include "support/UploadParts.h"

typedef int (*RequestObserver)(int event, void* value, void* user);

// The events of HttpGet and HttpDownload; the values are what observers
// are given.
enum HttpDownloadEvent : int {
  HttpDownloadDisposition = 0,  // Content-Disposition (HttpHeaderEvent*): 0 ends
  HttpDownloadContentType = 1,  // content type (HttpHeaderEvent*): 0 ends
  HttpDownloadResume = 2,       // resume flag (int*, default 0): 0 ends
  HttpDownloadFailed = 3,       // HttpFailureEvent*: clear deleteFile to keep the file
  HttpDownloadLength = 4,       // content length (DWORD*): 0 ends
  HttpDownloadFinalUrl = 5,     // final URL (const wchar_t*): 0 ends
  HttpDownloadProgress = 6,     // bytes so far (ULONGLONG*): 0 fails
  HttpDownloadEnd = 7,          // none: 0 fails
  HttpDownloadCookies = 8,      // the URL (const wchar_t*): 1 allows cookies (default 0); HttpGet too
};

// The events of HttpRequest; the values are what observers are given.
enum HttpRequestStep : int {
  HttpRequestUploadLength = 0,   // upload length (DWORD*): 0 ends
  HttpRequestBytesSent = 1,      // bytes sent (ULONGLONG*): 0 stops
  HttpRequestLength = 2,         // content length of the answer (DWORD*): 0 ends
  HttpRequestSetCookie = 3,      // Set-Cookie text (const wchar_t*): 0 ends
  HttpRequestBytesRead = 4,      // bytes read (ULONGLONG*): 0 stops
  HttpRequestEnd = 5,            // none
  HttpRequestHandle = 6,         // request handle (HttpRequestEvent*): 0 ends
  HttpRequestEndSession = 7,     // DWORD*: set 1 and answer 1 to end the browser session
  HttpRequestCookies = 8,        // none: answer 0 switches cookies off
  HttpRequestRedirects = 9,      // none: answer 0 switches automatic redirects off
  HttpRequestCertificates = 11,  // none: answer HttpIgnoreCertificates to switch the checks off
};

// Answer to HttpRequestCertificates that switches certificate checks off.
const int HttpIgnoreCertificates = 2;

struct HttpHeaderEvent {
  const wchar_t* targetPath;
  const wchar_t* text;
};

struct HttpFailureEvent {
  DWORD status;
  int deleteFile;
  int success;
};

class HttpClient;
struct HttpRequestEvent {
  HttpClient* client;
  HINTERNET request;
};

// Status reported when the download target cannot be created.
const DWORD HttpStatusFileError = 999;

// The milliseconds to wait after a chunk of bytes so that the transfer keeps
// to rateKb kilobytes per second, given the time the chunk took; 0 when no
// wait is due or no rate is set.
DWORD RateLimitDelay(DWORD bytes, DWORD rateKb, unsigned long long elapsedMs);

class HttpClient {
public:
  static const DWORD DefaultConnectTimeout = 20000;
  static const DWORD DefaultReceiveTimeout = 30000;

  HttpClient();
  virtual ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // The library bound for requests (none: "wininet.dll").
  void SetLibraryName(const wchar_t* name);
  void SetFailureSink(HttpFailureSink* sink) { sink_ = sink; }
  // Receive and send time-out for later requests (milliseconds).
  void SetReceiveTimeout(DWORD milliseconds) { receiveTimeout_ = milliseconds; }
  // The system text of the last failed open or send ("" when none yet).
  const wchar_t* LastFailureText() const { return failureText_.CStr(); }
  LONG UseCount() const { return binding_->UseCount(); }

  // 1 when the body (up to byteLimit bytes, 0: all) was read whole: a read
  // that fails, or a body shorter than its announced length, answers 0 and
  // leaves out empty, and so does a 206 (no range is asked for here).
  // Without a Content-Length the body ends where the connection or the
  // chunks end; the Windows Internet functions read a chunked body that the
  // connection cuts before its last chunk as if it had ended there (Wine's
  // do), so a caller that needs the whole body checks it (the update client
  // checks each download's SHA-256, and its answer must load as XML).
  int HttpGet(const wchar_t* url, const wchar_t* agent, WideString& out, DWORD byteLimit = 0,
              const wchar_t* proxy = nullptr, RequestObserver observer = nullptr,
              void* user = nullptr);
  // As HttpGet, into a file. A 206 is taken only when the headers asked for
  // a range ("Range: bytes=N-") and it starts at N; resuming (HttpDownloadResume), N
  // must be where the file ends, and a whole body (200) replaces the file's
  // part instead of being appended to it.
  int HttpDownload(const wchar_t* url, const wchar_t* agent, const wchar_t* targetPath,
                   DWORD byteLimit = 0, RequestObserver observer = nullptr, void* user = nullptr,
                   const wchar_t* headers = nullptr, int headersLength = -1,
                   DWORD* status = nullptr, int connectTimeout = -1, DWORD rateKb = 0,
                   const wchar_t* proxy = nullptr);

  // Form parts for HttpPostMultipart (see UploadParts: a field name that
  // cannot stand in quotes as it is is refused; a file name goes out with
  // '_' for each character it cannot carry).
  int AddFormField(const wchar_t* name, const wchar_t* value);
  int AddFormFile(const wchar_t* name, const wchar_t* path);

  struct RequestOptions {
    HWND owner = nullptr;
    DWORD byteLimit = 0;
    const wchar_t* userName = nullptr;
    const wchar_t* password = nullptr;
    const wchar_t* proxyUserName = nullptr;
    const wchar_t* proxyPassword = nullptr;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTPS_PORT;
    DWORD service = INTERNET_SERVICE_HTTP;
    const wchar_t** acceptTypes = nullptr;
    RequestObserver observer = nullptr;
    void* user = nullptr;
    DWORD* status = nullptr;
    DWORD downloadRateKb = 0;
    DWORD uploadRateKb = 0;
    const wchar_t* proxy = nullptr;
    int connectTimeout = -1;
  };
  // POSTs the collected form parts (with the closing line, under a boundary
  // that none of them holds) and frees them.
  int HttpPostMultipart(const wchar_t* server, const wchar_t* objectPath, const wchar_t* agent,
                        WideString& response, const RequestOptions& options);
  // The general request: with parts, their body; otherwise the optional
  // data. The parts are freed at the end.
  int HttpRequest(const wchar_t* server, const wchar_t* objectPath, const wchar_t* agent,
                  WideString& response, const RequestOptions& options, const wchar_t* verb,
                  const wchar_t* headers, int headersLength, const void* data, DWORD dataLength,
                  UploadParts* parts);

  // Ends the running request of this client from any thread: closes its
  // Internet handle. Requests started afterwards fail at once until
  // ResumeRequests.
  void Cancel();
  void ResumeRequests();

protected:
  // The proxy password question on status 407 (InternetErrorDlg); answers
  // ERROR_INTERNET_FORCE_RETRY to send again.
  virtual DWORD AskProxyCredentials(HWND owner, HINTERNET request);

  // Appends the bytes to out widened one byte per code unit, without
  // decoding (NUL bytes cannot be held in a text and are left out).
  static int AppendWidened(WideString& out, const BYTE* bytes, DWORD count);

private:
  // The wininet.dll functions, in the order of the binding's table.
  enum Slot {
    SlotHttpSendRequest, SlotHttpSendRequestEx, SlotHttpAddRequestHeaders, SlotHttpEndRequest,
    SlotInternetGetCookie, SlotInternetGetCookieEx, SlotInternetSetCookie, SlotInternetSetCookieEx,
    SlotInternetQueryOption, SlotInternetOpen, SlotHttpOpenRequest, SlotFtpOpenFile,
    SlotInternetSetOption, SlotHttpQueryInfo, SlotInternetConnect, SlotInternetOpenUrl,
    SlotInternetCrackUrl, SlotInternetReadFile, SlotInternetWriteFile, SlotInternetErrorDlg,
    SlotInternetCloseHandle, SlotCount
  };
  static const ApiFunction kFunctions[SlotCount];

  // Request flags: every answer fresh from the server, nothing written to
  // the cache, no dialogs of WinINet's own.
  static constexpr DWORD FreshRequest =
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI;
  // A fetched URL (HttpGet, HttpDownload): also no cookies unless the
  // observer allows them (HttpDownloadCookies), and a cached copy checked
  // against the server.
  static constexpr DWORD FetchRequest = FreshRequest | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_RESYNCHRONIZE;

  static int Ask(RequestObserver observer, int event, void* value, void* user, int defaultAnswer) {
    return observer ? observer(event, value, user) : defaultAnswer;
  }
  int Bind();
  void Unbind();
  HINTERNET OpenSession(const wchar_t* agent, const wchar_t* proxy, int connectTimeout);
  void CloseSession(HINTERNET session);
  // Opens the URL, following allowed redirects; none on failure.
  HINTERNET OpenUrl(HttpCallRunner& runner, HINTERNET session, const wchar_t* url,
                    const wchar_t* headers, int headersLength, DWORD flags);
  int QueryNumber(HINTERNET request, DWORD query, DWORD* value);
  // customName: the header's name for HTTP_QUERY_CUSTOM.
  int QueryText(HINTERNET request, DWORD query, WideString& out, DWORD capacity,
                DWORD* index = nullptr, const wchar_t* customName = nullptr);
  void RecordFailure(DWORD error);
  void RecordFailureText(const wchar_t* text);
  bool Cancelled() const;

  template <class Fn>
  Fn Api(unsigned slot) const {
    return binding_->Function<Fn>(slot);
  }

  ApiGroup* binding_;
  WideString libraryName_;
  HttpFailureSink* sink_ = nullptr;
  WideString failureText_;
  UploadParts parts_;
  CriticalSection lock_;         // guards session_ and cancelled_
  HINTERNET session_ = nullptr;  // the running request's open Internet handle
  volatile LONG cancelled_ = 0;
  KernelHandle cancelEvent_;  // manual reset; set by Cancel
  DWORD receiveTimeout_ = DefaultReceiveTimeout;
};
