#include "support/HttpCallRunner.h"

#include <process.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "core/KernelHandle.h"

namespace {
enum Kind { CallNone, CallOpenUrl, CallSend, CallSendEx, CallEnd, CallRead, CallWrite, CallQuit };
}

// What the runner thread owns: the library reference, the events, the
// prepared call with copies of its texts and data, and the read buffer.
struct HttpCallRunner::Shared {
  ~Shared() {
    free(text);
    free(data);
    free(buffer);
    if (library) FreeLibrary(library);
  }
  static unsigned __stdcall ThreadMain(void* self);
  void Execute();
  // Marks the shared part as let go; an idle thread is told to stop.
  void Abandon();
  int CopyText(const wchar_t* from, int length);
  int CopyData(const void* from, DWORD length);

  CriticalSection lock;
  HMODULE library = nullptr;
  KernelHandle thread;
  KernelHandle go;
  KernelHandle done;
  KernelHandle cancel;
  bool busy = false;
  bool abandoned = false;

  int kind = CallNone;
  HINTERNET handle = nullptr;
  wchar_t* text = nullptr;  // headers, or for OpenUrl: URL, terminator, headers
  DWORD textLength = 0;
  const wchar_t* headers = nullptr;
  BYTE* data = nullptr;
  DWORD dataLength = 0;
  DWORD dataCapacity = 0;
  DWORD flags = 0;
  INTERNET_BUFFERSW buffers = {};
  BYTE* buffer = nullptr;
  HINTERNET resultHandle = nullptr;
  BOOL result = FALSE;
  DWORD count = 0;
  DWORD error = 0;

  decltype(&::InternetOpenUrlW) openUrl = nullptr;
  decltype(&::HttpSendRequestW) send = nullptr;
  decltype(&::HttpSendRequestExW) sendEx = nullptr;
  decltype(&::HttpEndRequestW) end = nullptr;
  decltype(&::InternetReadFile) read = nullptr;
  decltype(&::InternetWriteFile) write = nullptr;
  decltype(&::InternetCloseHandle) close = nullptr;
};

namespace {
template <class Fn>
Fn Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
}  // namespace

int HttpCallRunner::Start(const wchar_t* library, HANDLE cancel) {
  Finish();
  cancelled_ = false;
  Shared* s = new Shared();
  s->library = LoadLibraryW(library);
  if (s->library) {
    s->openUrl = Lookup<decltype(&::InternetOpenUrlW)>(s->library, "InternetOpenUrlW");
    s->send = Lookup<decltype(&::HttpSendRequestW)>(s->library, "HttpSendRequestW");
    s->sendEx = Lookup<decltype(&::HttpSendRequestExW)>(s->library, "HttpSendRequestExW");
    s->end = Lookup<decltype(&::HttpEndRequestW)>(s->library, "HttpEndRequestW");
    s->read = Lookup<decltype(&::InternetReadFile)>(s->library, "InternetReadFile");
    s->write = Lookup<decltype(&::InternetWriteFile)>(s->library, "InternetWriteFile");
    s->close = Lookup<decltype(&::InternetCloseHandle)>(s->library, "InternetCloseHandle");
  }
  s->buffer = static_cast<BYTE*>(malloc(BufferSize));
  s->go = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  s->done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (cancel)
    DuplicateHandle(GetCurrentProcess(), cancel, GetCurrentProcess(), s->cancel.Out(), 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
  bool ready = s->openUrl && s->send && s->sendEx && s->end && s->read && s->write && s->buffer &&
               s->go && s->done && (!cancel || s->cancel);
  if (ready)
    s->thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Shared::ThreadMain, s, 0, nullptr));
  if (!s->thread) {
    delete s;
    return 0;
  }
  shared_ = s;
  return 1;
}

unsigned __stdcall HttpCallRunner::Shared::ThreadMain(void* self) {
  Shared* s = static_cast<Shared*>(self);
  for (;;) {
    WaitForSingleObject(s->go, INFINITE);
    if (s->kind == CallQuit) break;
    s->Execute();
    bool abandoned;
    {
      SectionLock hold(s->lock);
      s->busy = false;
      abandoned = s->abandoned;
    }
    if (abandoned) {
      // Nobody takes the handle of an open that ended after the cancel.
      if (s->kind == CallOpenUrl && s->resultHandle && s->close) s->close(s->resultHandle);
      break;
    }
    SetEvent(s->done);
  }
  delete s;
  return 0;
}

void HttpCallRunner::Shared::Execute() {
  SetLastError(0);
  switch (kind) {
    case CallOpenUrl:
      resultHandle = openUrl(handle, text, headers, headers ? textLength : 0, flags, 0);
      result = resultHandle != nullptr;
      break;
    case CallSend:
      result = send(handle, textLength ? text : nullptr, textLength, dataLength ? data : nullptr,
                    dataLength);
      break;
    case CallSendEx:
      buffers.lpcszHeader = textLength ? text : nullptr;
      buffers.dwHeadersLength = textLength;
      buffers.lpvBuffer = dataLength ? data : nullptr;
      buffers.dwBufferLength = dataLength;
      result = sendEx(handle, &buffers, nullptr, flags, 0);
      break;
    case CallEnd:
      result = end(handle, nullptr, HSR_INITIATE, 0);
      break;
    case CallRead:
      count = 0;
      result = read(handle, buffer, dataLength, &count);
      break;
    case CallWrite:
      count = 0;
      result = write(handle, data, dataLength, &count);
      break;
    default:
      result = FALSE;
  }
  error = result ? 0 : GetLastError();
}

void HttpCallRunner::Shared::Abandon() {
  bool idle;
  {
    SectionLock hold(lock);
    abandoned = true;
    idle = !busy;
  }
  // A busy thread sees the mark when its call ends; an idle one waits for
  // the next call and is told to stop instead.
  if (idle) {
    kind = CallQuit;
    SetEvent(go);
  }
}

int HttpCallRunner::Call(int kind) {
  if (!shared_ || cancelled_) {
    SetLastError(ERROR_CANCELLED);
    return 0;
  }
  Shared* s = shared_;
  s->kind = kind;
  {
    SectionLock hold(s->lock);
    s->busy = true;
  }
  SetEvent(s->go);
  HANDLE waits[2] = {s->done, s->cancel};
  if (WaitForMultipleObjects(s->cancel ? 2 : 1, waits, FALSE, INFINITE) == WAIT_OBJECT_0) {
    SetLastError(s->error);
    return 1;
  }
  cancelled_ = true;
  shared_ = nullptr;
  s->Abandon();  // s may be gone from here on
  SetLastError(ERROR_CANCELLED);
  return 0;
}

void HttpCallRunner::Finish() {
  if (!shared_) return;
  Shared* s = shared_;
  shared_ = nullptr;
  s->Abandon();
}

int HttpCallRunner::Shared::CopyText(const wchar_t* from, int length) {
  textLength = 0;
  if (!from) return 1;
  size_t n = length < 0 ? wcslen(from) : static_cast<size_t>(length);
  wchar_t* copy = static_cast<wchar_t*>(realloc(text, (n + 1) * sizeof(wchar_t)));
  if (!copy) return 0;
  memcpy(copy, from, n * sizeof(wchar_t));
  copy[n] = 0;
  text = copy;
  textLength = static_cast<DWORD>(n);
  return 1;
}

int HttpCallRunner::Shared::CopyData(const void* from, DWORD length) {
  dataLength = 0;
  if (!from || !length) return 1;
  if (length > dataCapacity) {
    BYTE* bigger = static_cast<BYTE*>(realloc(data, length));
    if (!bigger) return 0;
    data = bigger;
    dataCapacity = length;
  }
  memcpy(data, from, length);
  dataLength = length;
  return 1;
}

HINTERNET HttpCallRunner::OpenUrl(HINTERNET session, const wchar_t* url, const wchar_t* headers,
                                  int headersLength, DWORD flags) {
  if (!shared_ || cancelled_ || !url) return nullptr;
  Shared* s = shared_;
  // One block: URL, terminator, headers, terminator.
  size_t urlLength = wcslen(url);
  size_t headerLength =
      headers ? (headersLength < 0 ? wcslen(headers) : static_cast<size_t>(headersLength)) : 0;
  wchar_t* block = static_cast<wchar_t*>(
      realloc(s->text, (urlLength + headerLength + 2) * sizeof(wchar_t)));
  if (!block) return nullptr;
  s->text = block;
  memcpy(block, url, urlLength * sizeof(wchar_t));
  block[urlLength] = 0;
  if (headerLength) memcpy(block + urlLength + 1, headers, headerLength * sizeof(wchar_t));
  block[urlLength + 1 + headerLength] = 0;
  s->headers = headers ? block + urlLength + 1 : nullptr;
  s->textLength = static_cast<DWORD>(headerLength);
  s->handle = session;
  s->flags = flags;
  s->resultHandle = nullptr;
  if (!Call(CallOpenUrl)) return nullptr;
  return s->resultHandle;
}

BOOL HttpCallRunner::SendRequest(HINTERNET request, const wchar_t* headers, int headersLength,
                                 const void* data, DWORD dataLength) {
  if (!shared_ || cancelled_) return FALSE;
  Shared* s = shared_;
  if (!s->CopyText(headers, headersLength) || !s->CopyData(data, dataLength)) return FALSE;
  s->handle = request;
  return Call(CallSend) && s->result;
}

BOOL HttpCallRunner::SendRequestEx(HINTERNET request, const INTERNET_BUFFERSW* first,
                                   DWORD flags) {
  if (!shared_ || cancelled_ || !first) return FALSE;
  Shared* s = shared_;
  s->buffers = *first;
  s->buffers.Next = nullptr;
  if (!s->CopyText(first->lpcszHeader, static_cast<int>(first->dwHeadersLength)) ||
      !s->CopyData(first->lpvBuffer, first->dwBufferLength))
    return FALSE;
  s->handle = request;
  s->flags = flags;
  return Call(CallSendEx) && s->result;
}

BOOL HttpCallRunner::EndRequest(HINTERNET request) {
  if (!shared_ || cancelled_) return FALSE;
  Shared* s = shared_;
  s->handle = request;
  return Call(CallEnd) && s->result;
}

BOOL HttpCallRunner::Read(HINTERNET request, void* data, DWORD count, DWORD* got) {
  *got = 0;
  if (!shared_ || cancelled_) return FALSE;
  Shared* s = shared_;
  s->handle = request;
  s->dataLength = count < BufferSize ? count : BufferSize;
  if (!Call(CallRead) || !s->result) return FALSE;
  memcpy(data, s->buffer, s->count);
  *got = s->count;
  return TRUE;
}

BOOL HttpCallRunner::Write(HINTERNET request, const void* data, DWORD count, DWORD* written) {
  *written = 0;
  if (!shared_ || cancelled_) return FALSE;
  Shared* s = shared_;
  if (!s->CopyData(data, count)) return FALSE;
  s->handle = request;
  if (!Call(CallWrite) || !s->result) return FALSE;
  *written = s->count;
  return TRUE;
}
