#include "support/SystemInfo.h"

#include <intrin.h>
#include <cwchar>

#include "core/RuntimeCalls.h"
#include "support/WmiQuery.h"

namespace {

const wchar_t kNtCurrentVersion[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const wchar_t k9xCurrentVersion[] = L"Software\\Microsoft\\Windows\\CurrentVersion";

BYTE SumOfLowBytes(const WideString& text) {
  unsigned sum = 0;
  for (unsigned i = 0; i < text.Length(); ++i) sum += text.CStr()[i] & 0xFF;
  return static_cast<BYTE>(sum);
}

BYTE XorOfLowBytes(const WideString& text) {
  BYTE x = 0;
  for (unsigned i = 0; i < text.Length(); ++i) x ^= static_cast<BYTE>(text.CStr()[i] & 0xFF);
  return x;
}

BYTE XorOfBytes(const BYTE* data, unsigned count) {
  BYTE x = 0;
  for (unsigned i = 0; i < count; ++i) x ^= data[i];
  return x;
}

}  // namespace

void SystemInfo::SetVersionRecord(const OSVERSIONINFOEXW* record) {
  haveRecord_ = record != nullptr;
  if (record) record_ = *record;
}

void SystemInfo::SetVolumeSerial(const DWORD* serial) {
  haveSerial_ = serial != nullptr;
  serial_ = serial ? *serial : 0;
}

int SystemInfo::VersionRecord(OSVERSIONINFOEXW& out) {
  if (haveRecord_) {
    out = record_;
    return 1;
  }
  ZeroMemory(&out, sizeof(out));
  out.dwOSVersionInfoSize = sizeof(out);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&out))) return 1;
  // Systems without the extended record answer the short one.
  ZeroMemory(&out, sizeof(out));
  out.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
  int ok = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&out)) ? 1 : 0;
#pragma GCC diagnostic pop
  if (!ok) ZeroMemory(&out, sizeof(out));
  return ok;
}

unsigned long long SystemInfo::OsVersionFlags(int extended) {
  OSVERSIONINFOEXW v;
  if (!VersionRecord(v)) return 0;
  unsigned long long flags = ClassifyOsVersion(v);
  if (extended) flags |= ClassifyOsEdition(v, registry_);
  return flags;
}

int SystemInfo::IsOsAtLeast(unsigned mask, unsigned servicePackMask) {
  OSVERSIONINFOEXW v;
  if (!VersionRecord(v)) return 0;
  return OsVersionAtLeast(v, mask, servicePackMask);
}

void SystemInfo::OsName(WideString& out) { OsNameOfFlags(OsVersionFlags(1), out); }

int SystemInfo::IsWow64() { return ProcessIsWow64(); }

int SystemInfo::IsWine() { return api_.wine_get_version() != nullptr ? 1 : 0; }

int SystemInfo::IsReactOS() {
  WideString name;
  return registry_.ReadText(kNtCurrentVersion, L"ProductName", name) &&
                 name.CompareNoCase(L"ReactOS") == 0
             ? 1
             : 0;
}

int SystemInfo::CpuInfo(unsigned index, WideString& name, WideString& vendor,
                        WideString& identifier, DWORD& megahertz, int measure) {
  WideString path;
  path.Format(L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\%u", index);
  name.Assign(L"");
  vendor.Assign(L"");
  identifier.Assign(L"");
  megahertz = 0;
  if (!registry_.KeyExists(path.CStr())) return 0;
  bool nt = (OsVersionFlags() & OsFlags::Nt) != 0;
  registry_.ReadText(path.CStr(), nt ? L"ProcessorNameString" : L"Identifier", name);
  name.TrimRight();
  registry_.ReadText(path.CStr(), L"VendorIdentifier", vendor);
  vendor.TrimRight();
  if (nt) registry_.ReadText(path.CStr(), L"Identifier", identifier);
  BYTE power[15] = {};
  if (api_.NtQuerySystemInformation(0x2B, power, sizeof(power), nullptr) == 0) {
    DWORD hertz = 0;
    memcpy(&hertz, power + 4, sizeof(hertz));
    megahertz = hertz / 1000000;
  }
  if (megahertz == 0) registry_.ReadDword(path.CStr(), L"~MHz", &megahertz);
  if (megahertz == 0 && measure) megahertz = MeasureMegahertz();
  return 1;
}

DWORD SystemInfo::MeasureMegahertz() {
  // Time-stamp counter ticks over a short interval of the performance
  // counter; good enough for a report line.
  LARGE_INTEGER frequency, start, now;
  if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart == 0) return 0;
  QueryPerformanceCounter(&start);
  unsigned long long cycles = __rdtsc();
  LONGLONG span = frequency.QuadPart / 20;  // 50 ms
  do {
    QueryPerformanceCounter(&now);
  } while (now.QuadPart - start.QuadPart < span);
  cycles = __rdtsc() - cycles;
  double seconds = static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart;
  return static_cast<DWORD>(cycles / seconds / 1000000.0);
}

DWORD SystemInfo::IeVersion() {
  const wchar_t* key = L"SOFTWARE\\Microsoft\\Internet Explorer";
  WideString text;
  if (registry_.ReadText(key, L"svcVersion", text) || registry_.ReadText(key, L"Version", text)) {
    unsigned major = 0, minor = 0, build = 0, revision = 0;
    swscanf(text.CStr(), L"%u.%u.%u.%u", &major, &minor, &build, &revision);
    return ((major & 0xFF) << 24) | ((minor & 0xFF) << 16) | (build & 0xFFFF);
  }
  unsigned iver = 0;
  if (registry_.ReadText(key, L"IVer", text) && swscanf(text.CStr(), L"%u", &iver) == 1) {
    switch (iver) {
      case 100: return 0x01000000;
      case 101: return 0x02000000;
      case 102: return 0x02050000;
      case 103: return 0x03000000;
    }
  }
  return 0;
}

int SystemInfo::ReadProductId(WideString& out) {
  if (OsVersionFlags() & OsFlags::Nt)
    return registry_.ReadText(kNtCurrentVersion, L"ProductId", out, KEY_WOW64_64KEY);
  return registry_.ReadText(k9xCurrentVersion, L"ProductId", out);
}

BYTE SystemInfo::ProductIdSum() {
  WideString id;
  return ReadProductId(id) ? SumOfLowBytes(id) : 0;
}

BYTE SystemInfo::SystemCode() {
  if (IsWine()) return 1;
  if (IsReactOS()) return 2;
  DWORD major = 0, minor = 0;
  bool found = false;
  if (registry_.ReadDword(kNtCurrentVersion, L"CurrentMajorVersionNumber", &major) && major != 0) {
    registry_.ReadDword(kNtCurrentVersion, L"CurrentMinorVersionNumber", &minor);
    found = true;
  }
  if (!found) {
    WideString text;
    unsigned ma = 0, mi = 0;
    if (registry_.ReadText(kNtCurrentVersion, L"CurrentVersion", text) &&
        swscanf(text.CStr(), L"%u.%u", &ma, &mi) == 2) {
      major = ma;
      minor = mi;
      found = true;
    }
  }
  if (!found) {
    OSVERSIONINFOEXW v;
    if (!VersionRecord(v)) return 0;
    major = v.dwMajorVersion;
    minor = v.dwMinorVersion;
  }
  return static_cast<BYTE>((minor * 16 + (major & 15)) & 255);
}

BYTE SystemInfo::VolumeByte() {
  DWORD serial = 0;
  if (haveSerial_) {
    serial = serial_;
  } else {
    wchar_t folder[MAX_PATH + 1] = {};
    UINT n = GetWindowsDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || n < 3) return 0;
    folder[3] = 0;  // "C:\"
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    BOOL ok = GetVolumeInformationW(folder, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0);
    SetErrorMode(previous);
    if (!ok) return 0;
  }
  return static_cast<BYTE>((serial & 0xFF) ^ ((serial >> 8) & 0xFF) ^ ((serial >> 16) & 0xFF) ^
                           (serial >> 24));
}

BYTE SystemInfo::NetworkByte() {
  WideString text;
  BYTE address[6];
  if (OsVersionFlags() & OsFlags::Nt) {
    if (registry_.ReadText(L"SOFTWARE\\Microsoft\\Windows Genuine Advantage", L"MAC", text))
      return XorOfLowBytes(text);
    if (registry_.ReadBytes(L"SOFTWARE\\Description\\Microsoft\\Rpc\\UuidTemporaryData",
                            L"NetworkAddress", address, sizeof(address)))
      return XorOfBytes(address, sizeof(address));
    if (WmiFirstText(L"ROOT\\CIMV2",
                     L"SELECT * FROM Win32_NetworkAdapterConfiguration WHERE IPEnabled=true",
                     L"MACAddress", text))
      return XorOfLowBytes(text);
  } else if (registry_.ReadBytes(L"System\\CurrentControlSet\\Services\\VxD\\DHCP\\DhcpInfo00",
                                 L"HardwareAddress", address, sizeof(address))) {
    return XorOfBytes(address, sizeof(address));
  }
  return ReadProductId(text) ? XorOfLowBytes(text) : 0;
}

BYTE SystemInfo::DiskByte() {
  if (!(OsVersionFlags() & OsFlags::Nt)) return 0;
  unsigned sum = 0;
  bool any = false;
  const wchar_t* disks = L"SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";
  DWORD count = 0;
  WideString text;
  if (registry_.ReadDword(disks, L"Count", &count)) {
    for (DWORD i = 0; i < count && i < 1000; ++i) {
      wchar_t name[16];
      swprintf(name, 16, L"%u", static_cast<unsigned>(i));
      if (registry_.ReadText(disks, name, text)) {
        sum += SumOfLowBytes(text);
        any = true;
      }
    }
  }
  if (any) return static_cast<BYTE>(sum);
  WideString path;
  for (unsigned port = 0; port < 10; ++port) {
    for (unsigned bus = 0; bus < 10; ++bus) {
      for (unsigned target = 0; target < 10; ++target) {
        path.Format(L"HARDWARE\\DEVICEMAP\\Scsi\\Scsi Port %u\\Scsi Bus %u\\Target Id %u\\Logical "
                    L"Unit Id 0",
                    port, bus, target);
        if (!registry_.KeyExists(path.CStr())) break;
        if (registry_.ReadText(path.CStr(), L"Identifier", text)) sum += SumOfLowBytes(text);
      }
    }
  }
  return static_cast<BYTE>(sum);
}

void SystemInfo::MachineId(BYTE caller, WideString& text, BYTE* bytes) {
  BYTE id[8];
  id[0] = 0x10;
  id[1] = ProductIdSum();
  id[2] = SystemCode();
  id[3] = VolumeByte();
  id[4] = NetworkByte();
  id[5] = DiskByte();
  id[6] = caller;
  BYTE check = 0;
  for (int i = 0; i < 7; ++i) check ^= static_cast<BYTE>(~id[i]);
  id[7] = check;
  text.Format(L"%04X-%04X-%04X-%04X", id[0] | (id[1] << 8), id[2] | (id[3] << 8),
              id[4] | (id[5] << 8), id[6] | (id[7] << 8));
  if (bytes) memcpy(bytes, id, sizeof(id));
}

unsigned long long OsVersionFlags(int extended) {
  SystemInfo info;
  return info.OsVersionFlags(extended);
}

int IsOsAtLeast(unsigned mask, unsigned servicePackMask) {
  SystemInfo info;
  return info.IsOsAtLeast(mask, servicePackMask);
}

void MachineId(BYTE caller, WideString& text) {
  SystemInfo info;
  info.MachineId(caller, text);
}
