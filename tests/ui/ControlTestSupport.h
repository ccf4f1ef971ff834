// Helpers for the tests of the control wrappers: a modeless Dialog made from
// a template in memory that hands the messages a test wants to a hook, a
// drawing surface whose pixels can be read, a bounded message pump, and a
// count of the process's live GDI objects.
#pragma once

#include <windows.h>
#include <winternl.h>

#include <cstring>
#include <functional>
#include <vector>

#include "tests/common/PumpUntil.h"
#include "tests/ui/DialogTemplateBuilder.h"
#include "ui/Dialog.h"

namespace controltest {

// A dialog whose OnMessage first asks a hook (answer true: handled, with
// the procedure's answer in *answer).
class HostDialog : public Dialog {
public:
  typedef std::function<bool(UINT, WPARAM, LPARAM, int*)> Hook;
  Hook hook;

  // width × height client pixels; the dialog is shown when visible is set.
  HWND Create(int width, int height, bool visible = true, DWORD extraStyle = WS_THICKFRAME) {
    DialogTemplateBuilder builder(false, WS_POPUP | WS_CAPTION | WS_SYSMENU | extraStyle, 100, 60,
                                  L"Controls");
    std::vector<BYTE> bytes = builder.Build();
    HWND window = CreateModelessTemplate(GetModuleHandleW(nullptr), bytes.data(), bytes.size());
    if (!window) return nullptr;
    RECT frame = {0, 0, width, height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)));
    SetWindowPos(window, HWND_TOP, 20, 20, frame.right - frame.left, frame.bottom - frame.top,
                 (visible ? SWP_SHOWWINDOW : 0));
    return window;
  }

  // A child control with the dialog's font.
  HWND AddChild(const wchar_t* className, DWORD style, int id, int x, int y, int width,
                int height, const wchar_t* text = L"") {
    HWND child = CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width,
                                 height, Window(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
    if (child) SendMessageW(child, WM_SETFONT, SendMessageW(Window(), WM_GETFONT, 0, 0), FALSE);
    return child;
  }

  int OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    int answer = 0;
    if (hook && hook(message, wParam, lParam, &answer)) return answer;
    return Dialog::OnMessage(message, wParam, lParam);
  }
};

// A 32-bit top-down DIB section selected into a memory DC; pixels read as
// COLORREF.
class Surface {
public:
  Surface(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                               nullptr, 0);
    previous_ = SelectObject(dc_, bitmap_);
  }
  ~Surface() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  HDC Dc() const { return dc_; }
  void Fill(COLORREF colour) {
    GdiFlush();
    DWORD value = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    for (int i = 0; i < width_ * height_; ++i) bits_[i] = value;
  }
  COLORREF At(int x, int y) const {
    GdiFlush();
    DWORD p = bits_[y * width_ + x] & 0xFFFFFF;
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  // The smallest rectangle holding every pixel that is not the colour;
  // empty when there is none.
  RECT Extent(COLORREF background) const {
    RECT extent = {width_, height_, 0, 0};
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        if (At(x, y) == background) continue;
        if (x < extent.left) extent.left = x;
        if (y < extent.top) extent.top = y;
        if (x + 1 > extent.right) extent.right = x + 1;
        if (y + 1 > extent.bottom) extent.bottom = y + 1;
      }
    }
    if (extent.right == 0) SetRectEmpty(&extent);
    return extent;
  }
  // How many pixels have the colour.
  int Count(COLORREF colour) const {
    int n = 0;
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) n += At(x, y) == colour;
    return n;
  }
  int Width() const { return width_; }
  int Height() const { return height_; }

private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  DWORD* bits_ = nullptr;
};

// Watches the messages of a window (a subclass through the window
// procedure) and may answer some itself instead of the window.
class MessageSpy {
public:
  struct Seen {
    UINT message;
    WPARAM wParam;
  };
  std::vector<Seen> seen;
  // Answer true with *result set to keep the message from the window.
  std::function<bool(UINT, WPARAM, LPARAM, LRESULT*)> answer;

  explicit MessageSpy(HWND window) : window_(window) {
    SetPropW(window, L"PelltonTestSpy", this);
    previous_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Procedure)));
  }
  ~MessageSpy() {
    if (!IsWindow(window_)) return;
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    RemovePropW(window_, L"PelltonTestSpy");
  }
  MessageSpy(const MessageSpy&) = delete;
  MessageSpy& operator=(const MessageSpy&) = delete;

  // The wParams of every sighting of the message, in order.
  std::vector<WPARAM> Of(UINT message) const {
    std::vector<WPARAM> values;
    for (const Seen& s : seen)
      if (s.message == message) values.push_back(s.wParam);
    return values;
  }

private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MessageSpy* spy = static_cast<MessageSpy*>(GetPropW(window, L"PelltonTestSpy"));
    if (!spy) return DefWindowProcW(window, message, wParam, lParam);
    spy->seen.push_back(Seen{message, wParam});
    LRESULT result = 0;
    if (spy->answer && spy->answer(message, wParam, lParam, &result)) return result;
    return CallWindowProcW(spy->previous_, window, message, wParam, lParam);
  }

  HWND window_;
  WNDPROC previous_ = nullptr;
};

// The process's live GDI objects. Windows counts them (GetGuiResources);
// Wine answers 0 there, but keeps the handle table in the process, reached
// from the PEB like on Windows: 65536 entries of 24 bytes (object address,
// owner, unique word, type byte), a live entry having an object and a type.
inline int LiveGdiObjects() {
  DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (counted) return static_cast<int>(counted);
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (!ntdll || !GetProcAddress(ntdll, "wine_get_version")) return -1;
  typedef LONG(WINAPI * QueryFn)(HANDLE, int, void*, ULONG, ULONG*);
  QueryFn query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic = {};
  if (!query || query(GetCurrentProcess(), 0, &basic, sizeof(basic), nullptr) != 0) return -1;
  const PEB* peb = basic.PebBaseAddress;
  const size_t tableOffset = sizeof(void*) == 8 ? 0xF8 : 0x94;  // GdiSharedHandleTable
  const BYTE* table = *reinterpret_cast<BYTE* const*>(reinterpret_cast<const BYTE*>(peb) + tableOffset);
  if (!table) return -1;
  int live = 0;
  for (size_t i = 0; i < 0x10000; ++i) {
    const BYTE* entry = table + i * 24;
    UINT64 object = 0;
    memcpy(&object, entry, sizeof(object));
    if (object && entry[14]) ++live;
  }
  return live;
}

}  // namespace controltest
