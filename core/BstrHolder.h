// A reference-counted holder of one BSTR: copies share the string, the last
// one frees it.
#pragma once

#include <windows.h>
#include <oleauto.h>

class BstrHolder {
public:
  BstrHolder() = default;
  explicit BstrHolder(const wchar_t* text);  // copies the text; failure holds ""
  BstrHolder(const BstrHolder& other);
  BstrHolder& operator=(const BstrHolder& other);
  ~BstrHolder();

  BSTR Get() const;  // never none: an empty holder gives ""
  unsigned Length() const;

private:
  struct Shared {
    BSTR text;
    LONG references;
  };
  void Release();
  Shared* shared_ = nullptr;
};
