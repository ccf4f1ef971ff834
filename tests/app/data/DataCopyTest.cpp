// In process, where the moment can be chosen: a backup of the store's
// database while a download is stored through it in the middle of the copy,
// and an export cancelled half-way.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <thread>

#include "app/data/CopyRequest.h"
#include "app/data/CsvExport.h"
#include "app/data/DatabaseCopy.h"
#include "tests/common/FileText.h"
#include "tests/common/TempFolder.h"
#include "tests/app/TwoTrackers.h"
#include "tests/app/data/DataTestSupport.h"

using namespace datatest;

namespace {

// Stores a download of 40 sleeping runs from another thread, the first
// time the copy reports progress (outside the store's lock), and waits for
// it to be stored before the copy goes on.
class DownloadMidway : public ReadProgress {
public:
  explicit DownloadMidway(ActivityStore& store) : store_(store) {}
  int Runs(unsigned long long done, unsigned long long total) override {
    if (!downloaded && done < total) {
      std::thread download([this] {
        store_.BeginRuns();
        for (unsigned i = 0; i < 40; ++i) Store(store_, 1, B, 2000000 + i * 60000, Bytes(3000, 0x55));
        store_.EndRuns();
      });
      download.join();
      downloaded = true;
    }
    return 1;
  }
  bool downloaded = false;

private:
  ActivityStore& store_;
};

class CancelAfter : public ReadProgress {
public:
  int Runs(unsigned long long done, unsigned long long) override { return done < 2; }
};

}  // namespace

TEST(DataCopyTest, ADownloadStoredWhileTheBackupIsUnderWayIsInTheCopyWhole) {
  TempFolder folder(L"copy");
  ActivityStore store;
  ASSERT_EQ(1, store.OpenFile(folder.File(L"Pellton.sql").c_str()));
  // Over a thousand pages: the copy takes several steps.
  for (unsigned i = 0; i < 400; ++i) ASSERT_EQ(1, Store(store, 0, A, 1000000 + i * 90000, Bytes(6 * 2000, 1)));
  StoreSource source(store);
  DownloadMidway midway(store);
  ASSERT_TRUE(CreateDirectoryW(folder.File(L"backups").c_str(), nullptr));
  WideString path, problem;
  ASSERT_EQ(1, BackUpInto(source, folder.File(L"backups").c_str(), &midway, path, problem)) << problem.CStr();
  EXPECT_TRUE(midway.downloaded);
  EXPECT_EQ(1, CheckDatabaseFile(path.CStr(), problem)) << problem.CStr();
  store.Close();
  EXPECT_EQ(twotrackers::StoredRows(folder.File(L"Pellton.sql").c_str(), L"walking"),
            twotrackers::StoredRows(path.CStr(), L"walking"));
  std::vector<std::wstring> sleeping = twotrackers::StoredRows(path.CStr(), L"sleeping");
  ASSERT_EQ(40u, sleeping.size());
  EXPECT_EQ(twotrackers::StoredRows(folder.File(L"Pellton.sql").c_str(), L"sleeping"), sleeping);
}

TEST(DataCopyTest, ACancelledExportLeavesNoFileAndTheOldOneAsItWas) {
  TempFolder folder(L"copy");
  ASSERT_EQ(1, StoreHistory(folder.File(L"history.sql").c_str()));
  ASSERT_TRUE(WriteFileText(folder.File(L"out.csv"), "an earlier export"));
  sqlite3* connection = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(Narrow(folder.File(L"history.sql")).c_str(), &connection, SQLITE_OPEN_READONLY,
                                       nullptr));
  OutputFile file;
  WideString problem;
  ASSERT_EQ(1, file.Open(folder.File(L"out.csv").c_str(), problem)) << problem.CStr();
  ExportRequest request;
  request.kind = ExportSleeping;
  CancelAfter cancel;
  ExportOutcome outcome;
  EXPECT_EQ(ExportCancelled, WriteExport(connection, request, file, &cancel, outcome));
  sqlite3_close(connection);
  EXPECT_EQ("an earlier export", ReadFileText(folder.File(L"out.csv")));
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(folder.File(L"*.tmp").c_str(), &found);
  EXPECT_EQ(INVALID_HANDLE_VALUE, search) << "left behind: " << Narrow(found.cFileName);
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

TEST(DataCopyTest, ACopyRequestWritesOnlyIntoAnEmptyLocalFileNamedAsTheAskingPelltonNamesIt) {
  TempFolder folder(L"copy");
  ActivityStore store;
  ASSERT_EQ(1, store.OpenFile(folder.File(L"Pellton.sql").c_str()));
  ASSERT_EQ(1, Store(store, 0, A, 1000, Bytes(6, 1)));
  const std::wstring made = folder.File(L"pel1A.tmp"), other = folder.File(L"victim.sql");
  ASSERT_TRUE(WriteFileText(made, "") && WriteFileText(other, "") && CreateDirectoryW(folder.File(L"pel2.tmp").c_str(), nullptr));
  for (std::wstring path : {other, folder.File(L"pel2.tmp"), L"\\\\?\\" + made, made}) {
    std::wstring request = path + L'\0' + folder.File(L"Pellton.sql") + L'\0';
    COPYDATASTRUCT data = {0x50434F50, DWORD(request.size() * sizeof(wchar_t)), &request[0]};
    ASSERT_TRUE(IsCopyRequest(LPARAM(&data)));
    EXPECT_EQ(path == made ? 1 : 2, AnswerCopyRequest(store, LPARAM(&data))) << Narrow(path);
  }
  EXPECT_EQ(0u, ReadFileText(other).size());
  EXPECT_EQ(1u, twotrackers::StoredRows(made.c_str(), L"walking").size());
}

// Closes the store the first time the copy reports progress.
struct CloseMidway : ReadProgress {
  explicit CloseMidway(ActivityStore& store) : store(store) {}
  int Runs(unsigned long long, unsigned long long) override { store.Close(); return 1; }
  ActivityStore& store;
};

TEST(DataCopyTest, ACopyWhoseStoreIsClosedMidwayEndsWithItsProblem) {
  TempFolder folder(L"copy");
  ActivityStore store;
  ASSERT_EQ(1, store.OpenFile(folder.File(L"Pellton.sql").c_str()));
  for (unsigned i = 0; i < 100; ++i) ASSERT_EQ(1, Store(store, 0, A, 1000000 + i * 90000, Bytes(6 * 2000, 1)));
  StoreSource source(store);
  CloseMidway closing(store);
  WideString problem;
  EXPECT_EQ(0, CopyDatabase(source, folder.File(L"copy.sql").c_str(), &closing, problem));
  EXPECT_STREQ(L"the database was closed during the copy", problem.CStr());
}
