// The baseline of the start-up benchmark: the smallest Win32 program that
// shows a dialog (a template in memory, no resources, no controls). It runs
// until its dialog is closed.
#include <windows.h>

namespace {

INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM, LPARAM) {
  if (message == WM_CLOSE) {
    EndDialog(window, 0);
    return TRUE;
  }
  return message == WM_INITDIALOG;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // DLGTEMPLATE, then no menu, the default class and an empty title.
  struct {
    DLGTEMPLATE header;
    WORD menu, windowClass, title;
  } dialog = {};
  dialog.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_CENTER;
  dialog.header.cx = 200;
  dialog.header.cy = 100;
  return static_cast<int>(DialogBoxIndirectParamW(instance, &dialog.header, nullptr, Procedure, 0));
}
