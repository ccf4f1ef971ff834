// Damaged activity databases: a real store file bitten as disks and careless
// copies bite (flipped bytes, a page of garbage or zeros, a cut, a bitten
// header, one page copied over another), and now and then bytes that were
// never a database. The store must open every one of them: a sound file as
// it is, saying nothing; any other moved aside byte for byte, with a notice
// naming where, and a new sound file in its place whose listed runs can all
// be read. Either way it then stores, and the next start finds a sound file.
// No working copy is left in the temporary folder.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/store/ActivityStore.h"
#include "tests/app/store/StoreNotices.h"
#include "tests/common/FileText.h"
#include "tests/common/TempFolder.h"
#include "tests/fuzz/FuzzDriver.h"

namespace {

const wchar_t kTracker[] = L"02:50:4C:54:4E:01";
const unsigned kPage = 4096;

std::wstring TempPath() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  return temp;
}

void ClearFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((folder + L"\\" + found.cFileName).c_str());
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

// The driver's own folder, emptied for each input.
const std::wstring& Folder() {
  static TempFolder folder(L"fuzz-store");
  return folder.Path();
}

// A store of 60 walking and 20 sleeping runs, as its file's bytes.
const std::string& BaseFile() {
  static std::string bytes = [] {
    ClearFolder(Folder());
    ActivityStore store;
    store.Open(Folder().c_str());
    ByteBuffer pattern;
    store.BeginRuns();
    for (unsigned n = 0; n < 80; ++n) {
      BufferClear(pattern);
      size_t size = n % 4 == 3 ? 180 : 6 * (20 + n);
      for (size_t i = 0; i < size; ++i) {
        unsigned char b = static_cast<unsigned char>((n * 131 + i * 7) ^ (i >> 2));
        BufferAppend(pattern, &b, 1);
      }
      store.InsertRun(n % 4 == 3 ? SleepingTable : WalkingTable, kTracker, 1401580800u + n * 86400u, pattern);
    }
    store.EndRuns();
    BufferClear(pattern);
    store.Close();
    std::string file = ReadFileText(Folder() + L"\\Pellton.sql");
    ClearFolder(Folder());
    return file;
  }();
  return bytes;
}

void Bite(FuzzRandom& random, std::string& file) {
  if (file.empty()) return;
  const unsigned pages = static_cast<unsigned>((file.size() + kPage - 1) / kPage);
  switch (random.Below(6)) {
    case 0:  // flipped bytes
      for (unsigned n = 1 + random.Below(16); n; --n)
        file[random.Below(static_cast<unsigned>(file.size()))] ^= static_cast<char>(1 << random.Below(8));
      break;
    case 1: {  // a page of garbage or zeros
      size_t at = static_cast<size_t>(random.Below(pages)) * kPage;
      bool zeros = random.OneIn(2);
      for (size_t i = at; i < at + kPage && i < file.size(); ++i)
        file[i] = zeros ? 0 : static_cast<char>(random.Byte());
      break;
    }
    case 2:  // cut anywhere
      file.resize(random.Below(static_cast<unsigned>(file.size())));
      break;
    case 3:  // the header bitten
      for (unsigned n = 1 + random.Below(4); n; --n) file[random.Below(100)] = static_cast<char>(random.Byte());
      break;
    case 4: {  // one page over another
      size_t from = static_cast<size_t>(random.Below(pages)) * kPage;
      size_t to = static_cast<size_t>(random.Below(pages)) * kPage;
      size_t n = kPage;
      if (n > file.size() - from) n = file.size() - from;
      if (n > file.size() - to) n = file.size() - to;
      std::string page = file.substr(from, n);
      file.replace(to, n, page);
      break;
    }
    default:  // a cell's bytes bitten inside a page, past its header
      for (unsigned n = 1 + random.Below(4); n; --n) {
        size_t at = static_cast<size_t>(random.Below(pages)) * kPage + 100 + random.Below(kPage - 100);
        if (at < file.size()) file[at] = static_cast<char>(random.Byte());
      }
      break;
  }
}

unsigned TempCopies() {
  unsigned count = 0;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((TempPath() + L"plt*.tmp*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do ++count;
  while (FindNextFileW(search, &found));
  FindClose(search);
  return count;
}

bool Fail(std::string& finding, const char* what, const WideString* detail = nullptr) {
  finding = what;
  if (detail) {
    char narrow[1024] = {};
    WideCharToMultiByte(CP_UTF8, 0, detail->CStr(), -1, narrow, sizeof(narrow) - 1, nullptr, nullptr);
    finding += ": ";
    finding += narrow;
  }
  return false;
}

// Every listed run of the tracker can be read back.
bool RunsReadable(ActivityStore& store, std::string& finding) {
  for (int table : {WalkingTable, SleepingTable}) {
    std::vector<StoredRun> runs;
    if (!store.ListRunsOf(kTracker, table, runs)) return Fail(finding, "the runs could not be listed");
    for (const StoredRun& run : runs) {
      ByteBuffer pattern;
      int read = store.ReadPattern(table, kTracker, run.start, pattern);
      BufferClear(pattern);
      if (read) continue;
      // A row whose pattern is empty is listed and reads as no run (its
      // chart page is empty); anything else is a run lost.
      WideString sql, length;
      sql.Format(L"SELECT length(pattern) FROM `%s` WHERE mac='%s' AND start=%u;",
                 table == WalkingTable ? L"walking" : L"sleeping", kTracker, run.start);
      if (!store.QueryText(sql.CStr(), length) || length.Compare(L"0") != 0)
        return Fail(finding, "a listed run could not be read", &length);
    }
  }
  return true;
}

bool CheckOpened(const std::string& input, std::string& finding) {
  const std::wstring path = Folder() + L"\\Pellton.sql";
  const unsigned copiesBefore = TempCopies();
  ClearFolder(Folder());
  if (!WriteFileText(path, input)) return Fail(finding, "the input could not be written");
  {
    ActivityStore store;
    int opened = store.Open(Folder().c_str());
    const StoreOpening& opening = store.Opening();
    const WideString notice(NoticeOf(store).c_str());
    if (!opened) return Fail(finding, "the store did not open", &notice);
    if (opening.movedAside) {
      if (ReadFileText(opening.asidePath.CStr()) != input) return Fail(finding, "the file moved aside is not the file found");
      if (!notice.Find(opening.asidePath.CStr())) return Fail(finding, "the notice does not say where", &notice);
    } else if (!notice.IsEmpty()) {
      return Fail(finding, "a file used as it is came with a notice", &notice);
    } else if (opening.state != StoreFileUsable) {
      return Fail(finding, "a file neither used nor moved aside");
    }
    WideString integrity;
    if (!store.QueryText(L"PRAGMA integrity_check;", integrity) || integrity.Compare(L"ok") != 0)
      return Fail(finding, "the file in use is not sound", &integrity);
    if (!RunsReadable(store, finding)) return false;
    ByteBuffer pattern;
    const unsigned char bytes[6] = {0, 9, 0, 1, 0, 2};
    BufferAppend(pattern, bytes, sizeof(bytes));
    int stored = store.InsertRun(WalkingTable, kTracker, 2000000000u, pattern);
    BufferClear(pattern);
    if (!stored) return Fail(finding, "a new run could not be stored");
  }
  ActivityStore again;
  if (!again.Open(Folder().c_str()) || again.Opening().state != StoreFileUsable ||
      again.Opening().outcome != StoreOpenedAsFound)
    return Fail(finding, "the next start did not find a sound file");
  ByteBuffer pattern;
  int kept = again.ReadPattern(WalkingTable, kTracker, 2000000000u, pattern);
  BufferClear(pattern);
  if (!kept) return Fail(finding, "the new run was not kept");
  again.Close();
  if (TempCopies() != copiesBefore) return Fail(finding, "a working copy was left in the temporary folder");
  return true;
}

}  // namespace

void GenerateStoreDatabase(FuzzRandom& random, std::string& input) {
  if (random.OneIn(12)) {
    for (unsigned n = random.Below(9000); n; --n) input.push_back(static_cast<char>(random.Byte()));
    return;
  }
  input = BaseFile();
  Bite(random, input);
  if (random.OneIn(4)) Bite(random, input);
}

int CheckStoreDatabase(const std::string& input, std::string& finding) {
  bool ok = CheckOpened(input, finding);
  ClearFolder(Folder());
  return ok ? 1 : 0;
}
