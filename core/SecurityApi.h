// Security descriptors built through advapi32.dll functions looked up at run
// time: one that grants everybody access (a present but empty-handed access
// list), or one described by security descriptor definition language text.
#pragma once

#include "core/SystemApi.h"

class SecurityApi : public SystemApi {
public:
  SecurityApi();  // loads advapi32.dll
  ~SecurityApi() override;

  // Binds the security functions from another file (none: advapi32.dll);
  // loads it at once. 1 if it loaded.
  int SetSecurityLibraryName(const wchar_t* fileName);

  // A self-relative descriptor in a block from the C heap that the caller
  // frees with free(), or none; size (optional) receives its length. No text:
  // a 20-byte descriptor with a present but null access list.
  PSECURITY_DESCRIPTOR BuildDescriptor(const wchar_t* sddl, DWORD* size = nullptr);
  // Fills attributes (the record's own length, the descriptor from
  // BuildDescriptor, the inherit flag); 1 if a descriptor was built. The
  // caller frees attributes->lpSecurityDescriptor with free(). Without a
  // descriptor the attributes carry none.
  int MakeAttributes(const wchar_t* sddl, SECURITY_ATTRIBUTES* attributes, BOOL inherit);

private:
  LibraryHandle advapi_;
  void* initialize_ = nullptr;
  void* setDacl_ = nullptr;
  void* convert_ = nullptr;
  void* makeSelfRelative_ = nullptr;
};
