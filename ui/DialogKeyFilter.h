// Keys for a whole dialog, whichever of its controls has the focus: the
// dialog manager offers every message to the thread's message filter
// (WH_MSGFILTER, MSGF_DIALOGBOX) before it moves the focus or presses a
// button, in the modal loop and in IsDialogMessage alike. The filter hands
// the key messages (WM_KEYDOWN, WM_SYSKEYDOWN, WM_SYSCHAR) aimed at the
// dialog or one of its descendants to the handler, which answers true for a
// key it has used up. One filter per thread; window thread only.
#pragma once

#include <windows.h>

#include <functional>

class DialogKeyFilter {
public:
  using Handler = std::function<bool(const MSG& message)>;

  DialogKeyFilter() = default;
  ~DialogKeyFilter() { Stop(); }
  DialogKeyFilter(const DialogKeyFilter&) = delete;
  DialogKeyFilter& operator=(const DialogKeyFilter&) = delete;

  // 1 when the filter is in place (0: the thread has one already).
  int Start(HWND dialog, Handler handler);
  void Stop();

private:
  static LRESULT CALLBACK Filter(int code, WPARAM wParam, LPARAM lParam);

  HWND dialog_ = nullptr;
  Handler handler_;
  HHOOK hook_ = nullptr;
};

// Whether the key is held down as the message being handled was sent.
inline bool KeyHeld(int key) { return (GetKeyState(key) & 0x8000) != 0; }
