// HttpRequest, the multipart form and HttpPostMultipart of HttpClient.
#include "support/HttpClient.h"

#include "core/Stopwatch.h"
#include "support/HttpUrl.h"

namespace {

const unsigned kReadChunk = 65537;
const DWORD kWriteChunk = 65536;



void RateWait(Stopwatch& meter, DWORD bytes, DWORD rateKb) {
  if (!rateKb) return;
  meter.Stop();
  DWORD wait = RateLimitDelay(bytes, rateKb, meter.ElapsedMilliseconds());
  if (wait) Sleep(wait);
  meter.Start();
}

}  // namespace

int HttpClient::AddFormField(const wchar_t* name, const wchar_t* value) {
  return parts_.AddField(name, value);
}

int HttpClient::AddFormFile(const wchar_t* name, const wchar_t* path) {
  return parts_.AddFile(name, path);
}

int HttpClient::HttpPostMultipart(const wchar_t* server, const wchar_t* objectPath,
                                  const wchar_t* agent, WideString& response,
                                  const RequestOptions& options) {
  if (!parts_.Finish()) {
    parts_.Clear();
    return 0;
  }
  return HttpRequest(server, objectPath, agent, response, options, L"POST", nullptr, -1, nullptr,
                     0, &parts_);
}

int HttpClient::HttpRequest(const wchar_t* server, const wchar_t* objectPath,
                            const wchar_t* agent, WideString& response,
                            const RequestOptions& o, const wchar_t* verb, const wchar_t* headers,
                            int headersLength, const void* data, DWORD dataLength,
                            UploadParts* parts) {
  response.Assign(L"");
  if (!Bind()) {
    if (parts) parts->Clear();
    parts_.Clear();
    return 0;
  }
  int result = 0;
  HINTERNET session = nullptr, connection = nullptr, request = nullptr;
  BYTE* buffer = nullptr;
  auto close = Api<decltype(&::InternetCloseHandle)>(SlotInternetCloseHandle);
  auto setOption = Api<decltype(&::InternetSetOptionW)>(SlotInternetSetOption);
  HttpCallRunner runner;
  do {
    bool secure = o.port == INTERNET_DEFAULT_HTTPS_PORT;
    if (!server || (!secure && !IsLoopbackHost(server))) {
      RecordFailureText(L"The address was refused: only https, or http to this computer, is used.");
      break;
    }
    session = OpenSession(agent, o.proxy, o.connectTimeout);
    if (!session || !runner.Start(libraryName_.CStr(), cancelEvent_)) break;
    buffer = static_cast<BYTE*>(malloc(kReadChunk + 1));
    if (!buffer) break;
    connection = Api<decltype(&::InternetConnectW)>(SlotInternetConnect)(
        session, server, o.port, o.userName, o.password, o.service, 0, 0);
    if (!connection) {
      RecordFailure(GetLastError());
      break;
    }
    DWORD endSession = 0;
    if (o.observer && o.observer(HttpRequestEndSession, &endSession, o.user) == 1 && endSession == 1)
      setOption(nullptr, INTERNET_OPTION_END_BROWSER_SESSION, nullptr, 0);
    if (o.proxyUserName)
      setOption(connection, INTERNET_OPTION_PROXY_USERNAME, const_cast<wchar_t*>(o.proxyUserName),
                static_cast<DWORD>(wcslen(o.proxyUserName)));
    if (o.proxyPassword)
      setOption(connection, INTERNET_OPTION_PROXY_PASSWORD, const_cast<wchar_t*>(o.proxyPassword),
                static_cast<DWORD>(wcslen(o.proxyPassword)));
    DWORD uploadTotal = parts && parts->First() ? parts->First()->dwBufferTotal : dataLength;
    if (!Ask(o.observer, HttpRequestUploadLength, &uploadTotal, o.user, 1)) break;
    if (o.service == INTERNET_SERVICE_HTTP) {
      static const wchar_t* defaultTypes[] = {L"*/*", nullptr};
      DWORD flags = FreshRequest;
      if (Ask(o.observer, HttpRequestCookies, nullptr, o.user, 1) == 0) flags |= INTERNET_FLAG_NO_COOKIES;
      if (Ask(o.observer, HttpRequestRedirects, nullptr, o.user, 1) == 0) flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
      if (secure) flags |= INTERNET_FLAG_SECURE;
      request = Api<decltype(&::HttpOpenRequestW)>(SlotHttpOpenRequest)(
          connection, verb, objectPath, nullptr, nullptr,
          o.acceptTypes ? o.acceptTypes : defaultTypes, flags, 0);
      if (!request) {
        RecordFailure(GetLastError());
        break;
      }
      // Certificate checks stay on unless the caller explicitly asks.
      if (Ask(o.observer, HttpRequestCertificates, nullptr, o.user, 1) == HttpIgnoreCertificates) {
        DWORD security = SECURITY_SET_MASK;  // every certificate check that can be switched off
        setOption(request, INTERNET_OPTION_SECURITY_FLAGS, &security, sizeof(security));
      }
    } else if (o.service == INTERNET_SERVICE_FTP) {
      request = Api<decltype(&::FtpOpenFileW)>(SlotFtpOpenFile)(
          connection, objectPath, GENERIC_READ, FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, 0);
      if (!request) break;
    } else {
      break;
    }
    HttpRequestEvent handles = {this, request};
    if (!Ask(o.observer, HttpRequestHandle, &handles, o.user, 1)) break;
    // Sends the whole request: the parts through a body of known length,
    // or the headers and the optional data.
    auto send = [&]() -> bool {
      if (!parts || !parts->First())
        return runner.SendRequest(request, headers, headersLength, data, dataLength) != 0;
      if (!runner.SendRequestEx(request, parts->First(), 0x2C)) return false;
      bool ok = true;
      ULONGLONG sent = parts->First()->dwBufferLength;
      Stopwatch meter;
      meter.Start();
      for (INTERNET_BUFFERSW* b = parts->First()->Next; ok && b; b = b->Next) {
        const BYTE* bytes = static_cast<const BYTE*>(b->lpvBuffer);
        DWORD left = b->dwBufferLength;
        if (!o.observer && !o.uploadRateKb) {
          DWORD written = 0;
          ok = left == 0 || (runner.Write(request, bytes, left, &written) && written == left);
          sent += left;
          continue;
        }
        while (ok && left) {
          DWORD n = left < kWriteChunk ? left : kWriteChunk;
          DWORD written = 0;
          ok = !Cancelled() && runner.Write(request, bytes, n, &written) && written == n;
          bytes += n;
          left -= n;
          sent += n;
          if (ok && !Ask(o.observer, HttpRequestBytesSent, &sent, o.user, 1)) ok = false;
          RateWait(meter, n, o.uploadRateKb);
        }
      }
      return ok && runner.EndRequest(request);
    };
    if (!send()) {
      RecordFailure(GetLastError());
      break;
    }
    DWORD status = 0;
    if (QueryNumber(request, HTTP_QUERY_STATUS_CODE, &status) && o.status) *o.status = status;
    if (status == HTTP_STATUS_PROXY_AUTH_REQ) {
      // Sent again in whole: a form posted a second time keeps its body.
      if (AskProxyCredentials(o.owner, request) != ERROR_INTERNET_FORCE_RETRY) break;
      // The refusal's own body is read off first, as WinINet wants before a
      // request is sent again: otherwise the second send may go out on the
      // connection the proxy is just closing, and be lost with it.
      for (DWORD got = 1; got && !Cancelled();) {
        got = 0;
        if (!runner.Read(request, buffer, kReadChunk, &got)) break;
      }
      if (!send()) {
        if (GetLastError() != ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED) break;
        setOption(request, INTERNET_OPTION_SECURITY_SELECT_CLIENT_CERT, nullptr, 0);
        if (!send()) break;
      }
      if (QueryNumber(request, HTTP_QUERY_STATUS_CODE, &status) && o.status) *o.status = status;
    }
    DWORD length = 0;
    if (QueryNumber(request, HTTP_QUERY_CONTENT_LENGTH, &length) &&
        !Ask(o.observer, HttpRequestLength, &length, o.user, 1))
      break;
    WideString cookie;
    bool stop = false;
    for (DWORD index = 0; !stop;) {
      DWORD before = index;
      if (!QueryText(request, HTTP_QUERY_SET_COOKIE, cookie, 10000, &index) || index == before)
        break;
      stop = !Ask(o.observer, HttpRequestSetCookie, const_cast<wchar_t*>(cookie.CStr()), o.user, 1);
    }
    if (stop) break;
    ULONGLONG total = 0;
    DWORD left = o.byteLimit;
    Stopwatch meter;
    meter.Start();
    for (;;) {
      DWORD want = (o.byteLimit && left < kReadChunk) ? left : kReadChunk;
      DWORD got = 0;
      if (Cancelled() || !runner.Read(request, buffer, want, &got)) break;
      result = 1;
      if (got == 0) break;
      if (!AppendWidened(response, buffer, got)) break;
      total += got;
      if (!Ask(o.observer, HttpRequestBytesRead, &total, o.user, 1)) break;
      RateWait(meter, got, o.downloadRateKb);
      if (o.byteLimit) {
        left -= got;
        if (left == 0) break;
      }
    }
    Ask(o.observer, HttpRequestEnd, nullptr, o.user, 1);
    if (Cancelled()) result = 0;
  } while (false);
  if (request) close(request);
  if (connection) close(connection);
  free(buffer);
  CloseSession(session);
  if (parts) parts->Clear();
  Unbind();
  return result;
}
