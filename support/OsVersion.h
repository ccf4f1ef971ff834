// The Windows version as 64-bit flags. The low half names the version (one
// family bit and at most one version bit), the high half the service pack
// and, in the extended form, the edition. The classification works on a
// version record as GetVersionExW fills it, so that every system can be
// described, not only the one running.
#pragma once

#include <windows.h>

#include "core/WideString.h"

class MachineRegistry;

namespace OsFlags {
// Low half: family and version.
const unsigned long long Nt = 0x1, Win9x = 0x2, Win32s = 0x4;
const unsigned long long Win95 = 0x10, Win98 = 0x20, WinMe = 0x40, Nt4 = 0x80, Win2000 = 0x100,
                         WinXp = 0x200, Win95Osr2 = 0x400, Win98Se = 0x800, Server2003 = 0x1000,
                         Vista = 0x2000, Win7 = 0x4000, Win8 = 0x40000, Win81 = 0x80000,
                         Win10 = 0x100000, Nt351 = 0x200000;
// High half: service pack.
const unsigned long long ServicePack1 = 0x2ULL << 32, ServicePack2 = 0x4ULL << 32,
                         ServicePack3 = 0x8ULL << 32;
// High half, extended form: the edition.
const unsigned long long Fundamentals = 0x1ULL << 32, Starter = 0x10ULL << 32,
                         ServerR2 = 0x20ULL << 32, TabletPc = 0x40ULL << 32,
                         MediaCenter = 0x80ULL << 32, MediaCenter2004 = 0x100ULL << 32,
                         MediaCenter2005 = 0x200ULL << 32, MediaCenter2005Ex = 0x400ULL << 32,
                         MediaCenterVista = 0x800ULL << 32, TerminalSession = 0x1000ULL << 32,
                         PeBuilder = 0x2000ULL << 32, MiniNt = 0x4000ULL << 32,
                         Server = 0x8000ULL << 32, AdvancedServer = 0x10000ULL << 32,
                         Datacenter = 0x80000ULL << 32, Enterprise = 0x100000ULL << 32,
                         Embedded = 0x200000ULL << 32, HomeEdition = 0x400000ULL << 32,
                         StorageServer = 0x800000ULL << 32, TerminalServices = 0x1000000ULL << 32,
                         HomeServer = 0x2000000ULL << 32, DomainController = 0x4000000ULL << 32;
}  // namespace OsFlags

// Version and service-pack bits of the record (0 for an unknown platform).
unsigned long long ClassifyOsVersion(const OSVERSIONINFOEXW& version);
// The edition bits (high half) of an NT system: the record's product type
// and suite mask, the registry values below registry and the system
// metrics; 0 for other families.
unsigned long long ClassifyOsEdition(const OSVERSIONINFOEXW& version, MachineRegistry& registry);
// 1 when the running version described by the record is at least one of
// the versions in mask (with the service pack asked for in servicePackMask
// when the version is the running one).
int OsVersionAtLeast(const OSVERSIONINFOEXW& version, unsigned mask, unsigned servicePackMask);
// The display name of extended flags, e.g. "Windows 7 [MediaCenter]".
void OsNameOfFlags(unsigned long long flags, WideString& out);
