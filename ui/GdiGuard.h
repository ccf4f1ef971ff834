// Scoped ownership of GDI objects and device contexts, so that no paint
// path deletes, releases or deselects anything by hand: a GDI object is
// deleted, a window's device context released and a selected object put
// back when its guard goes out of scope. Guards are declared in the order
// object, DC, selection, so the selection is undone before the object goes.
#pragma once

#include <windows.h>

// One owned GDI object (HBITMAP, HBRUSH, HFONT, HPEN, HRGN ...).
template <class T>
class GdiObject {
public:
  GdiObject() = default;
  explicit GdiObject(T object) : object_(object) {}
  ~GdiObject() { Reset(); }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  GdiObject(GdiObject&& other) noexcept : object_(other.Detach()) {}
  GdiObject& operator=(GdiObject&& other) noexcept {
    if (this != &other) Reset(other.Detach());
    return *this;
  }

  T Get() const { return object_; }
  operator T() const { return object_; }  // NOLINT: passes straight to GDI calls
  explicit operator bool() const { return object_ != nullptr; }
  // Deletes the object held, then holds the new one.
  void Reset(T object = nullptr) {
    if (object_) DeleteObject(object_);
    object_ = object;
  }
  T Detach() {
    T object = object_;
    object_ = nullptr;
    return object;
  }

private:
  T object_ = nullptr;
};

typedef GdiObject<HBITMAP> GdiBitmap;
typedef GdiObject<HBRUSH> GdiBrush;
typedef GdiObject<HFONT> GdiFont;
typedef GdiObject<HPEN> GdiPen;
typedef GdiObject<HRGN> GdiRegion;

// The device context of a window (none: the screen), released on scope exit.
class WindowDc {
public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;

  HDC Get() const { return dc_; }
  operator HDC() const { return dc_; }  // NOLINT: passes straight to GDI calls

private:
  HWND window_;
  HDC dc_;
};

// A memory device context compatible with another, deleted on scope exit.
class MemoryDc {
public:
  explicit MemoryDc(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
  ~MemoryDc() {
    if (dc_) DeleteDC(dc_);
  }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;

  HDC Get() const { return dc_; }
  operator HDC() const { return dc_; }  // NOLINT: passes straight to GDI calls

private:
  HDC dc_;
};

// Selects an object into a device context and puts the previous one back on
// scope exit. A null object selects nothing.
class SelectedObject {
public:
  SelectedObject(HDC dc, HGDIOBJ object)
      : dc_(dc), previous_(dc && object ? SelectObject(dc, object) : nullptr) {}
  ~SelectedObject() {
    if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

private:
  HDC dc_;
  HGDIOBJ previous_;
};
