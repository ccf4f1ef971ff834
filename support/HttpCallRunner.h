// Runs the blocking Internet calls of one request on a thread of their own,
// so that the requesting thread can stop waiting the moment the request is
// cancelled, even where closing the Internet handle does not end a call
// that is already waiting for the network (as under Wine).
//
// The runner owns everything a call uses: copies of the texts and data it
// sends, the buffer it reads into, and its own reference to the library.
// Once the requester lets go of it (Finish, or a cancelled call), the runner
// never touches the requester's memory again: a call still waiting on the
// network ends on its own (time-out or the peer closing) and the thread
// then frees the runner and exits.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "core/CriticalSection.h"

class HttpCallRunner {
public:
  // Size of the read buffer (the largest read).
  static const DWORD BufferSize = 65538;

  HttpCallRunner() = default;
  HttpCallRunner(const HttpCallRunner&) = delete;
  HttpCallRunner& operator=(const HttpCallRunner&) = delete;
  // Lets go of the runner (see Finish).
  ~HttpCallRunner() { Finish(); }

  // 0 when the thread or the library cannot be had. cancel: a manual-reset
  // event whose signal ends every wait.
  int Start(const wchar_t* library, HANDLE cancel);
  // The requester is done: the runner thread ends now, or after the call
  // it was left in.
  void Finish();
  // 1 after a call was cancelled: every later call fails at once.
  bool Cancelled() const { return cancelled_; }

  // Each answers the call's result, or failure with ERROR_CANCELLED when
  // the cancel event ended the wait.
  HINTERNET OpenUrl(HINTERNET session, const wchar_t* url, const wchar_t* headers,
                    int headersLength, DWORD flags);
  BOOL SendRequest(HINTERNET request, const wchar_t* headers, int headersLength,
                   const void* data, DWORD dataLength);
  // Sends the header and data of the descriptor, announcing its totals.
  BOOL SendRequestEx(HINTERNET request, const INTERNET_BUFFERSW* first, DWORD flags);
  BOOL EndRequest(HINTERNET request);
  // Reads up to count (at most BufferSize) bytes into data.
  BOOL Read(HINTERNET request, void* data, DWORD count, DWORD* got);
  // Writes count bytes from data (copied first).
  BOOL Write(HINTERNET request, const void* data, DWORD count, DWORD* written);

private:
  struct Shared;
  // Runs the call prepared in shared_; 1 when it completed, 0 when cancelled
  // (the shared part then belongs to the thread alone).
  int Call(int kind);

  Shared* shared_ = nullptr;
  bool cancelled_ = false;
};
