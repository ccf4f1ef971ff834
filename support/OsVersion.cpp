#include "support/OsVersion.h"

#include <cwchar>

#include "support/MachineRegistry.h"

#ifndef SM_STARTER
#define SM_STARTER 88
#endif
#ifndef SM_SERVERR2
#define SM_SERVERR2 89
#endif
#ifndef SM_TABLETPC
#define SM_TABLETPC 86
#endif
#ifndef SM_MEDIACENTER
#define SM_MEDIACENTER 87
#endif

namespace {

struct NtVersion {
  DWORD major;
  DWORD minor;
  unsigned bit;
};

// Oldest first: the order IsOsAtLeast compares in.
const NtVersion kNtChain[] = {
    {3, 51, 0x200000}, {4, 0, 0x80},     {5, 0, 0x100},     {5, 1, 0x200},      {5, 2, 0x1000},
    {6, 0, 0x2000},    {6, 1, 0x4000},   {6, 2, 0x40000},   {6, 3, 0x80000},    {10, 0, 0x100000},
};
const int kNtChainLength = sizeof(kNtChain) / sizeof(kNtChain[0]);

// The position of the version in the chain; -1 below it, kNtChainLength
// above it.
int NtChainPosition(const OSVERSIONINFOEXW& v) {
  for (int i = 0; i < kNtChainLength; ++i)
    if (v.dwMajorVersion == kNtChain[i].major && v.dwMinorVersion == kNtChain[i].minor) return i;
  unsigned long long running = (static_cast<unsigned long long>(v.dwMajorVersion) << 32) | v.dwMinorVersion;
  unsigned long long first = (3ULL << 32) | 51;
  return running < first ? -1 : kNtChainLength;
}

// The service pack number named in the text (0 when none of 1-3).
int ServicePackNumber(const wchar_t* text) {
  if (wcsstr(text, L"Service Pack 1")) return 1;
  if (wcsstr(text, L"Service Pack 2")) return 2;
  if (wcsstr(text, L"Service Pack 3")) return 3;
  return 0;
}

}  // namespace

unsigned long long ClassifyOsVersion(const OSVERSIONINFOEXW& v) {
  unsigned long long flags = 0;
  if (v.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    flags = OsFlags::Nt;
    for (const NtVersion& n : kNtChain)
      if (v.dwMajorVersion == n.major && v.dwMinorVersion == n.minor) flags |= n.bit;
  } else if (v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
    flags = OsFlags::Win9x;
    if (v.dwMajorVersion == 4) {
      wchar_t second = v.szCSDVersion[0] ? v.szCSDVersion[1] : 0;
      if (v.dwMinorVersion == 0) {
        flags |= OsFlags::Win95;
        if (second == L'B' || second == L'C') flags |= OsFlags::Win95Osr2;
      } else if (v.dwMinorVersion == 10) {
        flags |= OsFlags::Win98;
        if (second == L'A') flags |= OsFlags::Win98Se;
      } else if (v.dwMinorVersion == 90) {
        flags |= OsFlags::WinMe;
      }
    }
  } else if (v.dwPlatformId == VER_PLATFORM_WIN32s) {
    flags = OsFlags::Win32s;
  } else {
    return 0;
  }
  switch (ServicePackNumber(v.szCSDVersion)) {
    case 1: flags |= OsFlags::ServicePack1; break;
    case 2: flags |= OsFlags::ServicePack2; break;
    case 3: flags |= OsFlags::ServicePack3; break;
  }
  return flags;
}

unsigned long long ClassifyOsEdition(const OSVERSIONINFOEXW& v, MachineRegistry& registry) {
  if (v.dwPlatformId != VER_PLATFORM_WIN32_NT) return 0;
  unsigned long long flags = 0;
  DWORD installed = 0;
  if (registry.ReadDword(L"SYSTEM\\WPA\\Fundamentals", L"Installed", &installed) && installed == 1)
    flags |= OsFlags::Fundamentals;
  if (GetSystemMetrics(SM_STARTER)) flags |= OsFlags::Starter;
  if (GetSystemMetrics(SM_SERVERR2)) flags |= OsFlags::ServerR2;
  if (GetSystemMetrics(SM_TABLETPC)) flags |= OsFlags::TabletPc;
  if (GetSystemMetrics(SM_MEDIACENTER)) flags |= OsFlags::MediaCenter;
  WideString ident;
  unsigned major = 0, minor = 0;
  if (registry.ReadText(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Media Center", L"Ident",
                        ident) &&
      swscanf(ident.CStr(), L"%u.%u", &major, &minor) >= 1) {
    if (major == 2) flags |= OsFlags::MediaCenter2004;
    if (major == 3) flags |= OsFlags::MediaCenter2005;
    if (major == 4) flags |= OsFlags::MediaCenter2005Ex;
    if (major == 5) flags |= OsFlags::MediaCenterVista;
  }
  if (GetSystemMetrics(SM_REMOTESESSION)) flags |= OsFlags::TerminalSession;
  if (registry.KeyExists(L"SYSTEM\\CurrentControlSet\\Control\\PE Builder"))
    flags |= OsFlags::PeBuilder;
  if (registry.KeyExists(L"SYSTEM\\CurrentControlSet\\Control\\MiniNT")) flags |= OsFlags::MiniNt;
  WideString productType;
  registry.ReadText(L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions", L"ProductType",
                    productType);
  if (v.wProductType == VER_NT_SERVER || productType.CompareNoCase(L"ServerNT") == 0)
    flags |= OsFlags::Server;
  if (productType.CompareNoCase(L"LanmanNT") == 0) flags |= OsFlags::AdvancedServer;
  WORD suite = v.wSuiteMask;
  if (suite & VER_SUITE_DATACENTER) flags |= OsFlags::Datacenter;
  if (suite & VER_SUITE_ENTERPRISE) flags |= OsFlags::Enterprise;
  if (suite & VER_SUITE_EMBEDDEDNT) flags |= OsFlags::Embedded;
  if (suite & VER_SUITE_PERSONAL) flags |= OsFlags::HomeEdition;
  if (suite & VER_SUITE_STORAGE_SERVER) flags |= OsFlags::StorageServer;
  if ((suite & VER_SUITE_TERMINAL) && !(suite & VER_SUITE_SINGLEUSERTS))
    flags |= OsFlags::TerminalServices;
  if (suite & VER_SUITE_WH_SERVER) flags |= OsFlags::HomeServer;
  if (v.wProductType == VER_NT_DOMAIN_CONTROLLER) flags |= OsFlags::DomainController;
  return flags;
}

int OsVersionAtLeast(const OSVERSIONINFOEXW& v, unsigned mask, unsigned servicePackMask) {
  unsigned long long flags = ClassifyOsVersion(v);
  if (flags & OsFlags::Nt) {
    int running = NtChainPosition(v);
    for (int i = 0; i < running && i < kNtChainLength; ++i)
      if (mask & kNtChain[i].bit) return 1;
    if (running >= 0 && running < kNtChainLength && (mask & kNtChain[running].bit)) {
      int pack = ServicePackNumber(v.szCSDVersion);
      if ((servicePackMask & 0x8) && pack < 3) return 0;
      if ((servicePackMask & 0x4) && pack < 2) return 0;
      if ((servicePackMask & 0x2) && pack < 1) return 0;
      return 1;
    }
    return (mask & 0x1) ? 1 : 0;
  }
  if (flags & OsFlags::Win9x) {
    unsigned accepted = 0x2;
    if (flags & OsFlags::WinMe)
      accepted = 0x2 | 0x10 | 0x20 | 0x40 | 0x400 | 0x800;
    else if (flags & OsFlags::Win98Se)
      accepted = 0x2 | 0x10 | 0x20 | 0x800;
    else if (flags & OsFlags::Win98)
      accepted = 0x2 | 0x10 | 0x20;
    else if (flags & OsFlags::Win95Osr2)
      accepted = 0x2 | 0x10 | 0x400;
    else if (flags & OsFlags::Win95)
      accepted = 0x2 | 0x10;
    return (mask & accepted) ? 1 : 0;
  }
  if (flags & OsFlags::Win32s) return (mask & 0x4) ? 1 : 0;
  return 0;
}

void OsNameOfFlags(unsigned long long flags, WideString& out) {
  unsigned low = static_cast<unsigned>(flags);
  using namespace OsFlags;
  if (flags & Nt) {
    struct Name {
      unsigned long long bit;
      const wchar_t* text;
    };
    static const Name bases[] = {
        {Nt351, L"Windows NT3.51"}, {Nt4, L"Windows NT4"},           {Win2000, L"Windows 2000"},
        {WinXp, L"Windows XP"},     {Server2003, L"Windows Server 2003"}, {Vista, L"Windows Vista"},
        {Win7, L"Windows 7"},       {Win8, L"Windows 8"},            {Win81, L"Windows 8.1"},
        {Win10, L"Windows 10"},
    };
    const wchar_t* base = nullptr;
    for (const Name& n : bases)
      if (flags & n.bit) {
        base = n.text;
        break;
      }
    if (!base) {
      out.Format(L"unknown nt kernel 0x%X", low);
      return;
    }
    out.Assign(base);
    if (flags & Server)
      out.Append(L" [Server]");
    else if (flags & AdvancedServer)
      out.Append(L" [Advanced Server]");
    if (flags & PeBuilder)
      out.Append(L" [PE Builder]");
    else if (flags & MiniNt)
      out.Append(L" [MiniNT]");
    if (flags & TabletPc) out.Append(L" [TabletPC]");
    if (flags & MediaCenter2004)
      out.Append(L" [MediaCenter 2004]");
    else if (flags & MediaCenter2005)
      out.Append(L" [MediaCenter 2005]");
    else if (flags & MediaCenter2005Ex)
      out.Append(L" [MediaCenter 2005 Ex]");
    else if (flags & MediaCenterVista)
      out.Append(L" [MediaCenter Vista]");
    else if (flags & MediaCenter)
      out.Append(L" [MediaCenter]");
    static const Name suffixes[] = {
        {Datacenter, L" [Datacenter]"},
        {Enterprise, L" [Enterprise]"},
        {Embedded, L" [Embedded]"},
        {HomeEdition, L" [Home Edition]"},
        {StorageServer, L" [Storage Server]"},
        {TerminalServices, L" [Terminal Services]"},
        {HomeServer, L" [Home Server]"},
        {DomainController, L" [Domain Controller]"},
        {Fundamentals, L" [Fundamentals for Legacy PCs]"},
        {TerminalSession, L" [TerminalSession]"},
    };
    for (const Name& n : suffixes)
      if (flags & n.bit) out.Append(n.text);
    return;
  }
  if (flags & Win9x) {
    if (flags & Win95)
      out.Assign((flags & Win95Osr2) ? L"Windows 95 OSR2" : L"Windows 95");
    else if (flags & Win95Osr2)
      out.Assign(L"Windows 95 OSR2");
    else if (flags & Win98)
      out.Assign((flags & Win98Se) ? L"Windows 98 SE" : L"Windows 98");
    else if (flags & Win98Se)
      out.Assign(L"Windows 98 SE");
    else if (flags & WinMe)
      out.Assign(L"Windows ME");
    else
      out.Format(L"unknown dos kernel 0x%X", low);
    return;
  }
  if (flags & Win32s)
    out.Assign(L"Windows 3.1");
  else
    out.Format(L"unknown 0x%X", low);
}
