// HttpGet and HttpDownload of HttpClient.
#include "support/HttpClient.h"

#include <cwchar>

#include "core/Stopwatch.h"

namespace {

const unsigned kGetChunk = 65537;
const unsigned kDownloadChunk = 1024;

// Reads "bytes=N-" or "bytes N-" at text (after spaces) into start.
bool RangeStartAt(const wchar_t* text, const wchar_t* end, ULONGLONG* start) {
  while (text < end && *text == L' ') ++text;
  if (end - text < 6 || _wcsnicmp(text, L"bytes", 5) != 0 || (text[5] != L'=' && text[5] != L' '))
    return false;
  text += 6;
  ULONGLONG value = 0;
  const wchar_t* digits = text;
  while (text < end && *text >= L'0' && *text <= L'9' && value < (1ULL << 60))
    value = value * 10 + static_cast<ULONGLONG>(*text++ - L'0');
  if (text == digits || text >= end || *text != L'-') return false;
  *start = value;
  return true;
}

// The first byte a "Range:" line of the request headers asks for.
bool RequestedRangeStart(const wchar_t* headers, int length, ULONGLONG* start) {
  if (!headers) return false;
  const wchar_t* end = headers + (length < 0 ? wcslen(headers) : static_cast<size_t>(length));
  for (const wchar_t* line = headers; line < end;) {
    const wchar_t* next = line;
    while (next < end && *next != L'\n') ++next;
    if (next - line > 6 && _wcsnicmp(line, L"Range:", 6) == 0)
      return RangeStartAt(line + 6, next, start);
    line = next + 1;
  }
  return false;
}

}  // namespace

int HttpClient::HttpGet(const wchar_t* url, const wchar_t* agent, WideString& out,
                        DWORD byteLimit, const wchar_t* proxy, RequestObserver observer,
                        void* user) {
  out.Assign(L"");
  if (!url || !Bind()) return 0;
  int result = 0;
  HINTERNET session = OpenSession(agent, proxy, -1);
  BYTE* buffer = static_cast<BYTE*>(malloc(kGetChunk + 1));
  HttpCallRunner runner;
  if (session && buffer && runner.Start(libraryName_.CStr(), cancelEvent_)) {
    DWORD flags = FetchRequest;
    if (Ask(observer, HttpDownloadCookies, const_cast<wchar_t*>(url), user, 0) == 1)
      flags &= ~static_cast<DWORD>(INTERNET_FLAG_NO_COOKIES);
    auto close = Api<decltype(&::InternetCloseHandle)>(SlotInternetCloseHandle);
    for (int attempt = 0; attempt < 2; ++attempt) {
      HINTERNET request = OpenUrl(runner, session, url, L"Accept: */*\r\n\r\n", -1, flags);
      if (!request) break;
      DWORD status = 0;
      bool retry = false;
      if (QueryNumber(request, HTTP_QUERY_STATUS_CODE, &status)) {
        // No range is ever asked for here: a 206 is part of a body only.
        if (status == 200) {
          DWORD length = 0;
          bool haveLength = QueryNumber(request, HTTP_QUERY_CONTENT_LENGTH, &length) != 0;
          ULONGLONG total = 0;
          DWORD left = byteLimit;
          for (;;) {
            DWORD want = (byteLimit && left < kGetChunk) ? left : kGetChunk;
            DWORD got = 0;
            // A read that fails after others succeeded leaves a cut text:
            // not an answer.
            if (Cancelled() || !runner.Read(request, buffer, want, &got) ||
                !AppendWidened(out, buffer, got)) {
              result = 0;
              break;
            }
            result = 1;
            total += got;
            if (got == 0) {
              // A body that ends before its announced length is cut too.
              if (haveLength && total != length) result = 0;
              break;
            }
            if (byteLimit) {
              left -= got;
              if (left == 0) break;
            }
          }
        } else if (status == HTTP_STATUS_PROXY_AUTH_REQ && attempt == 0) {
          retry = AskProxyCredentials(nullptr, request) == ERROR_INTERNET_FORCE_RETRY;
        }
      }
      close(request);
      if (!retry) break;
    }
    if (Cancelled()) result = 0;
  }
  if (!result) out.Assign(L"");
  free(buffer);
  CloseSession(session);
  Unbind();
  return result;
}

int HttpClient::HttpDownload(const wchar_t* url, const wchar_t* agent, const wchar_t* targetPath,
                             DWORD byteLimit, RequestObserver observer, void* user,
                             const wchar_t* headers, int headersLength, DWORD* statusOut,
                             int connectTimeout, DWORD rateKb, const wchar_t* proxy) {
  DWORD status = 200;
  if (statusOut) *statusOut = status;
  if (!url || !targetPath || !Bind()) return 0;
  int success = 0;
  bool opened = false;  // the target file was created or opened
  KernelHandle file;
  HINTERNET request = nullptr;
  HINTERNET session = OpenSession(agent, proxy, connectTimeout);
  auto close = Api<decltype(&::InternetCloseHandle)>(SlotInternetCloseHandle);
  HttpCallRunner runner;
  do {
    if (!session || !runner.Start(libraryName_.CStr(), cancelEvent_)) break;
    DWORD flags = FetchRequest;
    if (Ask(observer, HttpDownloadCookies, const_cast<wchar_t*>(url), user, 0) == 1)
      flags &= ~static_cast<DWORD>(INTERNET_FLAG_NO_COOKIES);
    request = OpenUrl(runner, session, url, headers, headersLength, flags);
    if (!request) break;
    DWORD code = 0;
    if (QueryNumber(request, HTTP_QUERY_STATUS_CODE, &code)) {
      status = code;
      if (statusOut) *statusOut = status;
      if (code != 200 && code != 206) break;
    }
    WideString text;
    if (QueryText(request, HTTP_QUERY_CUSTOM, text, 512, nullptr, L"Content-Disposition")) {
      HttpHeaderEvent header = {targetPath, text.CStr()};
      if (!Ask(observer, HttpDownloadDisposition, &header, user, 1)) break;
    }
    if (QueryText(request, HTTP_QUERY_CONTENT_TYPE, text, 512)) {
      HttpHeaderEvent header = {targetPath, text.CStr()};
      if (!Ask(observer, HttpDownloadContentType, &header, user, 1)) break;
    }
    int resume = 0;
    if (!Ask(observer, HttpDownloadResume, &resume, user, 1)) break;
    file = CreateFileW(targetPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       resume ? OPEN_ALWAYS : CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      status = HttpStatusFileError;
      if (statusOut) *statusOut = status;
      break;
    }
    opened = true;
    LARGE_INTEGER zero = {}, end = {};
    if (resume && !SetFilePointerEx(file, zero, &end, FILE_END)) break;
    if (status == 206) {
      // A range is part of a file: taken only when one was asked for, and
      // only from the byte asked for (when resuming, where the file ends).
      ULONGLONG asked = 0, given = 0;
      WideString range;
      if (!RequestedRangeStart(headers, headersLength, &asked) ||
          !QueryText(request, HTTP_QUERY_CONTENT_RANGE, range, 256) ||
          !RangeStartAt(range.CStr(), range.CStr() + range.Length(), &given) || given != asked ||
          (resume && given != static_cast<ULONGLONG>(end.QuadPart)))
        break;
    } else if (resume && end.QuadPart) {
      // The whole file came instead of the rest: it replaces the part.
      if (!SetFilePointerEx(file, zero, nullptr, FILE_BEGIN) || !SetEndOfFile(file)) break;
    }
    DWORD length = 0;
    bool haveLength = QueryNumber(request, HTTP_QUERY_CONTENT_LENGTH, &length) != 0;
    if (!Ask(observer, HttpDownloadLength, &length, user, 1)) break;
    WideString finalUrl;
    if (finalUrl.Reset(2049)) {
      DWORD size = 2048 * sizeof(wchar_t);
      if (Api<decltype(&::InternetQueryOptionW)>(SlotInternetQueryOption)(
              request, INTERNET_OPTION_URL, finalUrl.Buffer(), &size)) {
        finalUrl.UpdateLength();
        if (!Ask(observer, HttpDownloadFinalUrl, const_cast<wchar_t*>(finalUrl.CStr()), user, 1)) break;
      }
    }
    BYTE buffer[kDownloadChunk];
    ULONGLONG total = 0;
    DWORD left = byteLimit;
    bool failed = false;
    Stopwatch meter;
    meter.Start();
    for (;;) {
      DWORD want = (byteLimit && left < kDownloadChunk) ? left : kDownloadChunk;
      DWORD got = 0;
      if (Cancelled() || !runner.Read(request, buffer, want, &got)) {
        failed = true;
        break;
      }
      if (got == 0) break;
      DWORD written = 0;
      if (!WriteFile(file, buffer, got, &written, nullptr) || written != got) {
        failed = true;
        break;
      }
      success = 1;
      total += got;
      if (!Ask(observer, HttpDownloadProgress, &total, user, 1)) {
        failed = true;
        break;
      }
      if (rateKb) {
        meter.Stop();
        DWORD wait = RateLimitDelay(got, rateKb, meter.ElapsedMilliseconds());
        if (wait) Sleep(wait);
        meter.Start();
      }
      if (byteLimit) {
        left -= got;
        if (left == 0) break;
      }
    }
    // A body that ends before its announced length is incomplete, not done.
    if (failed || (haveLength && !byteLimit && total != length) || Cancelled()) success = 0;
    if (!Ask(observer, HttpDownloadEnd, nullptr, user, 1)) success = 0;
  } while (false);
  if (request) close(request);
  file.Close();  // before a failed download's file is removed
  if (!success) {
    HttpFailureEvent failure = {status, 1, success};
    if (observer) observer(HttpDownloadFailed, &failure, user);
    if (failure.deleteFile && opened) DeleteFileW(targetPath);
  }
  CloseSession(session);
  Unbind();
  return success;
}
