#include "core/SecurityApi.h"

#include <sddl.h>

#include <cstdlib>
#include <cstring>

namespace {

typedef BOOL(WINAPI* InitializeFn)(PSECURITY_DESCRIPTOR, DWORD);
typedef BOOL(WINAPI* SetDaclFn)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL);
typedef BOOL(WINAPI* MakeSelfRelativeFn)(PSECURITY_DESCRIPTOR, PSECURITY_DESCRIPTOR, DWORD*);
typedef BOOL(WINAPI* ConvertFn)(const wchar_t*, DWORD, PSECURITY_DESCRIPTOR*, ULONG*);

template <class Fn>
Fn Cached(const LibraryHandle& library, void*& slot, const char* name) {
  if (!slot) slot = reinterpret_cast<void*>(library.Resolve(name));
  return reinterpret_cast<Fn>(slot);
}

}  // namespace

SecurityApi::SecurityApi() { SetSecurityLibraryName(nullptr); }

SecurityApi::~SecurityApi() = default;

int SecurityApi::SetSecurityLibraryName(const wchar_t* fileName) {
  initialize_ = nullptr;
  setDacl_ = nullptr;
  convert_ = nullptr;
  makeSelfRelative_ = nullptr;
  return advapi_.Load(fileName ? fileName : L"advapi32.dll");
}

PSECURITY_DESCRIPTOR SecurityApi::BuildDescriptor(const wchar_t* sddl, DWORD* size) {
  if (size) *size = 0;
  if (!sddl) {
    InitializeFn initialize =
        Cached<InitializeFn>(advapi_, initialize_, "InitializeSecurityDescriptor");
    SetDaclFn setDacl = Cached<SetDaclFn>(advapi_, setDacl_, "SetSecurityDescriptorDacl");
    MakeSelfRelativeFn makeSelfRelative =
        Cached<MakeSelfRelativeFn>(advapi_, makeSelfRelative_, "MakeSelfRelativeSD");
    if (!initialize || !setDacl || !makeSelfRelative) return nullptr;
    // The absolute form holds pointers (40 bytes on 64-bit systems); the
    // self-relative copy is 20 bytes everywhere and stands on its own.
    SECURITY_DESCRIPTOR absolute;
    if (!initialize(&absolute, SECURITY_DESCRIPTOR_REVISION)) return nullptr;
    if (!setDacl(&absolute, TRUE, nullptr, FALSE)) return nullptr;
    DWORD length = sizeof(SECURITY_DESCRIPTOR_RELATIVE);
    void* copy = malloc(length);
    if (!copy) return nullptr;
    if (!makeSelfRelative(&absolute, copy, &length)) {
      free(copy);
      return nullptr;
    }
    if (size) *size = length;
    return copy;
  }
  ConvertFn convert = Cached<ConvertFn>(
      advapi_, convert_, "ConvertStringSecurityDescriptorToSecurityDescriptorW");
  if (!convert) return nullptr;
  PSECURITY_DESCRIPTOR system = nullptr;
  ULONG length = 0;
  if (!convert(sddl, SDDL_REVISION_1, &system, &length) || !system) return nullptr;
  void* copy = length ? malloc(length) : nullptr;
  if (copy) {
    memcpy(copy, system, length);
    if (size) *size = length;
  }
  LocalFree(system);
  return copy;
}

int SecurityApi::MakeAttributes(const wchar_t* sddl, SECURITY_ATTRIBUTES* attributes,
                                BOOL inherit) {
  if (!attributes) return 0;
  attributes->nLength = sizeof(SECURITY_ATTRIBUTES);
  attributes->lpSecurityDescriptor = BuildDescriptor(sddl);
  attributes->bInheritHandle = inherit;
  return attributes->lpSecurityDescriptor ? 1 : 0;
}
