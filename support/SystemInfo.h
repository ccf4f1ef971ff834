// Read-only probes of the running machine: the Windows version as flags
// and as a display name, the environment (WOW64, Wine, ReactOS), processor
// information, the Internet Explorer version and the 8-byte machine
// identification sent with update requests and problem reports.
//
// Machine registry values are read through Registry(), whose root can be
// moved below a test key; the version record can be given instead of the
// system's. Every probe answers 0, an empty text or a zero byte when its
// source is missing; nothing fails loudly.
#pragma once

#include <windows.h>

#include "core/SystemApi.h"
#include "core/WideString.h"
#include "support/MachineRegistry.h"
#include "support/OsVersion.h"

class SystemInfo {
public:
  // The caller bytes of MachineId.
  static const BYTE CallerUpdate = 4;
  static const BYTE CallerProblemReport = 2;

  SystemInfo() = default;
  SystemInfo(const SystemInfo&) = delete;
  SystemInfo& operator=(const SystemInfo&) = delete;

  MachineRegistry& Registry() { return registry_; }
  SystemApi& Api() { return api_; }
  // Uses this record instead of GetVersionExW (none: the system's again).
  void SetVersionRecord(const OSVERSIONINFOEXW* record);
  // The volume serial number used instead of the Windows folder's volume
  // (none: the real one again).
  void SetVolumeSerial(const DWORD* serial);
  // 1 when the version record is known (GetVersionExW answered).
  int VersionRecord(OSVERSIONINFOEXW& out);

  unsigned long long OsVersionFlags(int extended = 0);
  int IsOsAtLeast(unsigned mask, unsigned servicePackMask = 0);
  void OsName(WideString& out);
  int IsWow64();
  int IsWine();
  int IsReactOS();
  // 1 when processor index exists; MHz is 0 when no source gives a clock
  // (the measured estimate runs only when measure is 1).
  int CpuInfo(unsigned index, WideString& name, WideString& vendor, WideString& identifier,
              DWORD& megahertz, int measure = 1);
  // The identification as "%04X-%04X-%04X-%04X" of its little-endian words;
  // bytes (8) may be none.
  void MachineId(BYTE caller, WideString& text, BYTE* bytes = nullptr);
  DWORD IeVersion();

  // The single bytes of MachineId.
  BYTE ProductIdSum();
  BYTE SystemCode();
  BYTE VolumeByte();
  BYTE NetworkByte();
  BYTE DiskByte();

private:
  int ReadProductId(WideString& out);
  static DWORD MeasureMegahertz();

  MachineRegistry registry_;
  SystemApi api_;
  bool haveRecord_ = false;
  OSVERSIONINFOEXW record_ = {};
  bool haveSerial_ = false;
  DWORD serial_ = 0;
};

// The same probes on the real machine.
unsigned long long OsVersionFlags(int extended = 0);
int IsOsAtLeast(unsigned mask, unsigned servicePackMask = 0);
void MachineId(BYTE caller, WideString& text);
