// Extraction of a whole ZIP archive into a folder: the archive's own
// reader (end record, central directory, local headers) with stored and
// deflated entries, each checked against its CRC-32. Before anything is
// written every entry is checked: ZIP64, encrypted and multi-disk archives,
// unknown methods, archives announcing more than 1 GB of unpacked data in
// all (no entry may unpack to more than it announces), and entry paths
// that could land outside the target folder
// (parent steps, absolute paths, drive letters, alternate data streams,
// device names, names Windows would silently change) refuse the whole
// archive. Folders stored in the archive are created; existing files are
// overwritten, but only by data that passed its checks (each entry is
// written beside its target first). No user interface, no passwords.
#pragma once

#include <windows.h>

// 1 when every entry was extracted. An entry whose data fails its check
// leaves no file behind and an existing file of its name untouched; files
// written before a later failure stay.
int ExtractZip(const wchar_t* archivePath, const wchar_t* targetFolder);

// 1 when the archive passes the checks above and holds a file entry of
// that name ('/' or '\' separators, any case), with its unpacked size and
// CRC-32.
int ZipFileEntry(const wchar_t* archivePath, const wchar_t* name, DWORD* size, DWORD* crc);

// 1 when an entry name (with '/' or '\' separators) may be extracted below a
// target folder; a folder entry ends with a separator.
int IsSafeZipEntryName(const wchar_t* name);
