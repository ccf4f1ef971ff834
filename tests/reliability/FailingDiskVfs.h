// A failing disk for tests: an SQLite VFS that passes everything to the
// system's VFS, except that once armed it fails the Nth write (or sync) from
// then on, and every one after it, until the disk "recovers". Installed as
// the default VFS, so whatever opens a database in this process uses it.
#pragma once

enum FailingDiskCall { FailWrites = 0, FailSyncs = 1 };

class FailingDisk {
public:
  // Registers the shim as the default VFS (once per process).
  static int Install();
  // From the Nth call of that kind on (1: the next one), the call fails as a
  // full disk does.
  static void Arm(FailingDiskCall kind, unsigned n);
  // The disk works again.
  static void Recover();
  // Calls that failed since the last Arm.
  static unsigned Failures();
  // Calls of that kind since the shim was installed.
  static unsigned Calls(FailingDiskCall kind);
};
