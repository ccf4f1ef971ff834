// System probes against a machine laid out below a test key of the current
// user (the Wine prefix's registry), with the version record and the
// volume serial given by the test.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "core/Registry.h"
#include "support/SystemInfo.h"
#include "support/WmiQuery.h"
#include "tests/core/RegistryTestKey.h"

namespace {

const wchar_t kNt[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

OSVERSIONINFOEXW Record(DWORD platform, DWORD major, DWORD minor, const wchar_t* servicePack,
                        BYTE productType = VER_NT_WORKSTATION, WORD suite = 0) {
  OSVERSIONINFOEXW v = {};
  v.dwOSVersionInfoSize = sizeof(v);
  v.dwPlatformId = platform;
  v.dwMajorVersion = major;
  v.dwMinorVersion = minor;
  wcscpy(v.szCSDVersion, servicePack);
  v.wProductType = productType;
  v.wSuiteMask = suite;
  return v;
}

BYTE SumLow(const wchar_t* text) {
  unsigned s = 0;
  for (; *text; ++text) s += *text & 0xFF;
  return static_cast<BYTE>(s);
}

BYTE XorLow(const wchar_t* text) {
  BYTE x = 0;
  for (; *text; ++text) x ^= static_cast<BYTE>(*text & 0xFF);
  return x;
}

class SystemInfoTest : public RegistryTestKey {
protected:
  void SetUp() override {
    RegistryTestKey::SetUp();
    machine_ = path_ + L"\\Machine";
    info_.Registry().SetRoot(HKEY_CURRENT_USER, machine_.c_str());
    DWORD serial = 0x12345678;
    info_.SetVolumeSerial(&serial);
    OSVERSIONINFOEXW win10 = Record(VER_PLATFORM_WIN32_NT, 10, 0, L"");
    info_.SetVersionRecord(&win10);
  }
  std::wstring Key(const wchar_t* sub) const { return machine_ + L"\\" + sub; }
  void Text(const wchar_t* key, const wchar_t* name, const wchar_t* value) {
    ASSERT_EQ(1, RegWriteString(HKEY_CURRENT_USER, Key(key).c_str(), name, value));
  }
  void Number(const wchar_t* key, const wchar_t* name, DWORD value) {
    ASSERT_EQ(1, RegWriteDword(HKEY_CURRENT_USER, Key(key).c_str(), name, value));
  }
  void Bytes(const wchar_t* key, const wchar_t* name, const BYTE* data, DWORD size) {
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, Key(key).c_str(), &k));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(k, name, 0, REG_BINARY, data, size));
    RegCloseKey(k);
  }
  void NotUnderWine() { info_.Api().SetLibraryName(SystemApi::Ntdll, L"pellton-no-ntdll.dll"); }

  std::wstring machine_;
  SystemInfo info_;
};

TEST_F(SystemInfoTest, MachineIdBytesComeFromTheirSourcesAndXorToFf) {
  NotUnderWine();
  Text(kNt, L"ProductId", L"00371-OEM-8992671-00524");
  Number(kNt, L"CurrentMajorVersionNumber", 10);
  Number(kNt, L"CurrentMinorVersionNumber", 0);
  Text(L"SOFTWARE\\Microsoft\\Windows Genuine Advantage", L"MAC", L"00-1A-2B-3C-4D-5E");
  Number(L"SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum", L"Count", 2);
  Text(L"SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum", L"0", L"IDE\\Disk_A");
  Text(L"SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum", L"1", L"SCSI\\Disk_B");

  WideString text;
  BYTE id[8];
  info_.MachineId(SystemInfo::CallerUpdate, text, id);
  EXPECT_EQ(0x10, id[0]);
  EXPECT_EQ(SumLow(L"00371-OEM-8992671-00524"), id[1]);
  EXPECT_EQ(0x0A, id[2]);
  EXPECT_EQ(0x12 ^ 0x34 ^ 0x56 ^ 0x78, id[3]);
  EXPECT_EQ(XorLow(L"00-1A-2B-3C-4D-5E"), id[4]);
  EXPECT_EQ(static_cast<BYTE>(SumLow(L"IDE\\Disk_A") + SumLow(L"SCSI\\Disk_B")), id[5]);
  EXPECT_EQ(4, id[6]);
  BYTE all = 0;
  for (BYTE b : id) all ^= b;
  EXPECT_EQ(0xFF, all);
  wchar_t expected[20];
  swprintf(expected, 20, L"%04X-%04X-%04X-%04X", id[0] | id[1] << 8, id[2] | id[3] << 8,
           id[4] | id[5] << 8, id[6] | id[7] << 8);
  EXPECT_STREQ(expected, text.CStr());
  EXPECT_EQ(19u, text.Length());
}

TEST_F(SystemInfoTest, UpdateAndProblemReportIdsDifferOnlyInCallerAndCheck) {
  Text(kNt, L"ProductId", L"55041-001-1234567-86012");
  WideString update, report;
  BYTE a[8], b[8];
  info_.MachineId(SystemInfo::CallerUpdate, update, a);
  info_.MachineId(SystemInfo::CallerProblemReport, report, b);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(a[i], b[i]) << i;
  EXPECT_EQ(4, a[6]);
  EXPECT_EQ(2, b[6]);
  EXPECT_NE(a[7], b[7]);
  EXPECT_EQ(0, wcsncmp(update.CStr(), report.CStr(), 15));
  EXPECT_NE(update, report.CStr());
  EXPECT_EQ(19u, report.Length());
}

TEST_F(SystemInfoTest, SystemCodeHasTheMinorInTheHighNibble) {
  NotUnderWine();
  Number(kNt, L"CurrentMajorVersionNumber", 10);
  Number(kNt, L"CurrentMinorVersionNumber", 0);
  Text(kNt, L"CurrentVersion", L"6.3");
  EXPECT_EQ(0x0A, info_.SystemCode());
  Number(kNt, L"CurrentMajorVersionNumber", 0);  // 0 counts as missing
  EXPECT_EQ(0x36, info_.SystemCode());
  Text(kNt, L"CurrentVersion", L"6.1");
  EXPECT_EQ(0x16, info_.SystemCode());
  // Without any registry value the version record decides.
  RegDeleteTreeW(HKEY_CURRENT_USER, Key(kNt).c_str());
  OSVERSIONINFOEXW vista = Record(VER_PLATFORM_WIN32_NT, 6, 0, L"");
  info_.SetVersionRecord(&vista);
  EXPECT_EQ(0x06, info_.SystemCode());
  Text(kNt, L"ProductName", L"reactOS");
  EXPECT_EQ(1, info_.IsReactOS());
  EXPECT_EQ(2, info_.SystemCode());
}

TEST_F(SystemInfoTest, WineIsRecognisedAndGivesSystemCodeOne) {
  Number(kNt, L"CurrentMajorVersionNumber", 10);
  EXPECT_EQ(1, info_.IsWine());
  EXPECT_EQ(1, info_.SystemCode());
  EXPECT_EQ(0, info_.IsReactOS());
  NotUnderWine();
  EXPECT_EQ(0, info_.IsWine());
}

TEST_F(SystemInfoTest, WindowsSevenServicePackOne) {
  OSVERSIONINFOEXW win7 = Record(VER_PLATFORM_WIN32_NT, 6, 1, L"Service Pack 1");
  info_.SetVersionRecord(&win7);
  unsigned long long flags = info_.OsVersionFlags();
  EXPECT_EQ(0x4001u, static_cast<unsigned>(flags));
  EXPECT_EQ(0x2u, static_cast<unsigned>(flags >> 32));
  EXPECT_EQ(1, info_.IsOsAtLeast(OsFlags::Vista));
  EXPECT_EQ(1, info_.IsOsAtLeast(OsFlags::Win7, 0x2));
  EXPECT_EQ(0, info_.IsOsAtLeast(OsFlags::Win7, 0x4));
  EXPECT_EQ(0, info_.IsOsAtLeast(OsFlags::Win8));
  EXPECT_EQ(1, info_.IsOsAtLeast(OsFlags::Win8 | OsFlags::Nt));
  EXPECT_EQ(1, info_.IsOsAtLeast(OsFlags::Win10 | OsFlags::WinXp));
}

TEST_F(SystemInfoTest, NewerUnknownNtCountsAsNewerThanTen) {
  OSVERSIONINFOEXW next = Record(VER_PLATFORM_WIN32_NT, 11, 0, L"");
  info_.SetVersionRecord(&next);
  EXPECT_EQ(0x1u, static_cast<unsigned>(info_.OsVersionFlags()));
  EXPECT_EQ(1, info_.IsOsAtLeast(OsFlags::Win10));
  WideString name;
  info_.OsName(name);
  EXPECT_STREQ(L"unknown nt kernel 0x1", name.CStr());
}

TEST_F(SystemInfoTest, NineXFamilyAnswersByItsOwnTable) {
  OSVERSIONINFOEXW se = Record(VER_PLATFORM_WIN32_WINDOWS, 4, 10, L" A ");
  info_.SetVersionRecord(&se);
  EXPECT_EQ(0x2u | 0x20u | 0x800u, static_cast<unsigned>(info_.OsVersionFlags()));
  EXPECT_EQ(1, info_.IsOsAtLeast(0x800));
  EXPECT_EQ(0, info_.IsOsAtLeast(0x40));
  WideString name;
  info_.OsName(name);
  EXPECT_STREQ(L"Windows 98 SE", name.CStr());
  OSVERSIONINFOEXW osr2 = Record(VER_PLATFORM_WIN32_WINDOWS, 4, 0, L" C");
  info_.SetVersionRecord(&osr2);
  info_.OsName(name);
  EXPECT_STREQ(L"Windows 95 OSR2", name.CStr());
  EXPECT_EQ(0, info_.DiskByte());  // NT only
}

TEST_F(SystemInfoTest, EditionSuffixesFollowTheRegistryAndTheRecord) {
  OSVERSIONINFOEXW server = Record(VER_PLATFORM_WIN32_NT, 5, 2, L"Service Pack 2",
                                   VER_NT_DOMAIN_CONTROLLER, VER_SUITE_ENTERPRISE);
  info_.SetVersionRecord(&server);
  Number(L"SYSTEM\\WPA\\Fundamentals", L"Installed", 1);
  Text(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Media Center", L"Ident", L"4.0");
  Text(L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions", L"ProductType", L"lanmannt");
  Number(L"SYSTEM\\CurrentControlSet\\Control\\MiniNT", L"x", 1);
  unsigned long long flags = info_.OsVersionFlags(1);
  EXPECT_EQ(0x4u | 0x1u | 0x10000u | 0x400u | 0x4000u | 0x100000u | 0x4000000u,
            static_cast<unsigned>(flags >> 32) & ~0x10F0u);
  WideString name;
  info_.OsName(name);
  EXPECT_STREQ(L"Windows Server 2003 [Advanced Server] [MiniNT] [MediaCenter 2005 Ex] "
               L"[Enterprise] [Domain Controller] [Fundamentals for Legacy PCs]",
               name.CStr());
  EXPECT_EQ(0u, static_cast<unsigned>(info_.OsVersionFlags() >> 32) & ~0xEu);
}

TEST_F(SystemInfoTest, ProcessorFromItsKey) {
  info_.Api().SetLibraryName(SystemApi::Ntdll, L"pellton-no-ntdll.dll");
  const wchar_t* cpu = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
  Text(cpu, L"ProcessorNameString", L"Pellton Test CPU @ 2.40GHz   ");
  Text(cpu, L"VendorIdentifier", L"GenuineTest \t");
  Text(cpu, L"Identifier", L"Intel64 Family 6 Model 58");
  Number(cpu, L"~MHz", 2394);
  WideString name, vendor, identifier;
  DWORD mhz = 0;
  ASSERT_EQ(1, info_.CpuInfo(0, name, vendor, identifier, mhz, 0));
  EXPECT_STREQ(L"Pellton Test CPU @ 2.40GHz", name.CStr());
  EXPECT_STREQ(L"GenuineTest", vendor.CStr());
  EXPECT_STREQ(L"Intel64 Family 6 Model 58", identifier.CStr());
  EXPECT_EQ(2394u, mhz);
  EXPECT_EQ(0, info_.CpuInfo(1, name, vendor, identifier, mhz, 0));
  EXPECT_STREQ(L"", name.CStr());
}

TEST_F(SystemInfoTest, InternetExplorerVersionPacking) {
  const wchar_t* ie = L"SOFTWARE\\Microsoft\\Internet Explorer";
  EXPECT_EQ(0u, info_.IeVersion());
  Text(ie, L"IVer", L"102");
  EXPECT_EQ(0x02050000u, info_.IeVersion());
  Text(ie, L"Version", L"9.10.8112.16421");
  EXPECT_EQ(0x090A1FB0u, info_.IeVersion());
  Text(ie, L"svcVersion", L"11.0.9600.18817");
  EXPECT_EQ(0x0B002580u, info_.IeVersion());
}

TEST_F(SystemInfoTest, NetworkAndDiskFallbacks) {
  const BYTE address[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  Bytes(L"SOFTWARE\\Description\\Microsoft\\Rpc\\UuidTemporaryData", L"NetworkAddress", address, 6);
  EXPECT_EQ(0x00 ^ 0x1A ^ 0x2B ^ 0x3C ^ 0x4D ^ 0x5E, info_.NetworkByte());
  const wchar_t* scsi = L"HARDWARE\\DEVICEMAP\\Scsi\\Scsi Port 0\\Scsi Bus 0\\Target Id %u\\Logical Unit Id 0";
  wchar_t key[200];
  swprintf(key, 200, scsi, 0u);
  Text(key, L"Identifier", L"WINE HARDDISK");
  swprintf(key, 200, scsi, 1u);
  Text(key, L"Identifier", L"WINE CDROM");
  swprintf(key, 200, scsi, 3u);  // after the gap at 2: not visited
  Text(key, L"Identifier", L"UNSEEN");
  EXPECT_EQ(static_cast<BYTE>(SumLow(L"WINE HARDDISK") + SumLow(L"WINE CDROM")), info_.DiskByte());
}

}  // namespace

// While another thread holds the loader lock (20 s at most) nothing can be
// loaded nor a thread begin, as if WMI never answered: the answer is none.
struct LoaderLocker {
  static HANDLE locked, release;
  static DWORD WINAPI Hold(void*) {
    typedef LONG(NTAPI * Lock)(ULONG, ULONG*, ULONG_PTR*);
    typedef LONG(NTAPI * Unlock)(ULONG, ULONG_PTR);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    ULONG_PTR cookie = 0;
    reinterpret_cast<Lock>(reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrLockLoaderLock")))(0, nullptr, &cookie);
    SignalObjectAndWait(locked, release, 20000, FALSE);
    return reinterpret_cast<Unlock>(reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrUnlockLoaderLock")))(0, cookie);
  }
};
HANDLE LoaderLocker::locked = CreateEventW(nullptr, 1, 0, nullptr), LoaderLocker::release = CreateEventW(nullptr, 1, 0, nullptr);

TEST(WmiQueryTest, ALookUpThatCannotAnswerEndsAtItsTimeOut) {
  HANDLE holder = CreateThread(nullptr, 0, LoaderLocker::Hold, nullptr, 0, nullptr);
  WideString text;
  WaitForSingleObject(LoaderLocker::locked, INFINITE);
  int found = WmiFirstText(L"ROOT\\CIMV2", L"SELECT * FROM Win32_OperatingSystem", L"Caption", text, 500);
  SignalObjectAndWait(LoaderLocker::release, holder, INFINITE, FALSE);
  EXPECT_EQ(0, found);
}
