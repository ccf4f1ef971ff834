// A group of functions of one library bound together and shared by several
// users: the first Bind loads the library and looks up every function, the
// last Unbind forgets them and unloads it. Any thread may bind and unbind.
#pragma once

#include <windows.h>

#include "core/CriticalSection.h"
#include "core/LibraryHandle.h"

struct ApiFunction {
  const char* name;
  int required;  // a missing required function makes Bind fail
};

class ApiGroup {
public:
  // functions: count entries that outlive the group (normally a static table).
  ApiGroup(const wchar_t* libraryName, const ApiFunction* functions, unsigned count);
  ~ApiGroup();
  ApiGroup(const ApiGroup&) = delete;
  ApiGroup& operator=(const ApiGroup&) = delete;

  // 1 when the group is bound for this user (every required function
  // present). A failed Bind leaves the use count as it was.
  int Bind();
  // Gives up one use; the last one clears the addresses and unloads the
  // library. 0 when the group was not bound.
  int Unbind();
  LONG UseCount() const;

  // The address of function index of the table; none while unbound or when
  // the (optional) function is missing. Valid as long as this user's Bind.
  void* Address(unsigned index) const;
  template <class Fn>
  Fn Function(unsigned index) const {
    return reinterpret_cast<Fn>(Address(index));
  }

private:
  void Forget();

  CriticalSection lock_;  // makes the load and the unload whole
  LibraryHandle library_;
  const wchar_t* libraryName_;
  const ApiFunction* functions_;
  unsigned count_;
  void** addresses_;
  volatile LONG uses_ = 0;
};
