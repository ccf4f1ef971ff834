// Crash consistency of Pellton.sql: a writer program stores a large history
// and is killed (TerminateProcess) at a random moment, a hundred times in a
// row on the same file. After every kill the file passes SQLite's integrity
// check and holds every run the writer had reported stored.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include "app/store/ActivityStore.h"
#include "tests/common/TempFolder.h"
#include "tests/reliability/StoreRunPattern.h"

namespace {

std::wstring WriterPath() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring text = path;
  return text.substr(0, text.rfind(L'\\') + 1) + L"store_crash_writer.exe";
}

// Starts the writer, reads until it has reported `until` runs (or ended),
// then kills it. The runs it reported, in order.
std::vector<unsigned> RunAndKill(const std::wstring& folder, unsigned first, unsigned until,
                                 unsigned spin) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  EXPECT_TRUE(CreatePipe(&readEnd, &writeEnd, &inherit, 0));
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;  // only "stored" lines count
  startup.hStdInput = nullptr;
  std::wstring command = L"\"" + WriterPath() + L"\" \"" + folder + L"\" " + std::to_wstring(first) + L" 100000";
  PROCESS_INFORMATION process = {};
  std::vector<unsigned> reported;
  // Wine now and then fails a process start with an internal error; that
  // is not the store's doing, so the start is tried again.
  BOOL started = FALSE;
  for (int attempt = 0; attempt < 5 && !started; ++attempt)
    started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  if (!started) {
    ADD_FAILURE() << "cannot start the writer: " << GetLastError();
    CloseHandle(readEnd);
    CloseHandle(writeEnd);
    return reported;
  }
  CloseHandle(writeEnd);
  std::string pending;
  char buffer[4096];
  DWORD read = 0;
  while (reported.size() < until && ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    pending.append(buffer, read);
    size_t end;
    while ((end = pending.find('\n')) != std::string::npos) {
      std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      unsigned n = 0;
      if (sscanf(line.c_str(), "stored %u", &n) == 1) reported.push_back(n);
    }
  }
  // A random moment: somewhere inside the next inserts.
  for (volatile unsigned i = 0; i < spin; ++i) {
  }
  TerminateProcess(process.hProcess, 9);
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  CloseHandle(readEnd);
  return reported;
}

bool HoldsRun(ActivityStore& store, unsigned n) {
  ByteBuffer pattern;
  int found = store.ReadPattern(WalkingTable, kReliabilityAddress, RunStart(n), pattern);
  std::string expected = RunPattern(n);
  bool same = found && pattern.size == expected.size() && memcmp(pattern.data, expected.data(), expected.size()) == 0;
  BufferClear(pattern);
  return same;
}

}  // namespace

TEST(StoreCrashTest, AHundredKillsWhileStoringLoseNoReportedRunAndNeverTheFile) {
  TempFolder folder;
  std::mt19937 random(16);
  std::vector<unsigned> stored;
  unsigned next = 0;
  for (int round = 0; round < 100; ++round) {
    unsigned until = random() % 120;
    unsigned spin = random() % 2000000;
    std::vector<unsigned> reported = RunAndKill(folder.Path().c_str(), next, until, spin);
    stored.insert(stored.end(), reported.begin(), reported.end());
    // The next writer goes on after what this one may have written.
    next += 400;

    ActivityStore store;
    ASSERT_EQ(1, store.Open(folder.Path().c_str())) << "round " << round;
    WideString check;
    ASSERT_EQ(1, store.QueryText(L"PRAGMA integrity_check;", check)) << "round " << round;
    EXPECT_STREQ(L"ok", check.CStr()) << "round " << round;
    WideString rows;
    ASSERT_EQ(1, store.QueryText(L"SELECT count(*) FROM walking;", rows));
    EXPECT_LE(stored.size(), wcstoul(rows.CStr(), nullptr, 10)) << "round " << round;
    for (unsigned n : reported) ASSERT_TRUE(HoldsRun(store, n)) << "round " << round << " run " << n;
    store.Close();
  }
  EXPECT_GT(stored.size(), 1000u);  // the kills came while runs were being written
  ActivityStore store;
  ASSERT_EQ(1, store.Open(folder.Path().c_str()));
  for (unsigned n : stored) ASSERT_TRUE(HoldsRun(store, n)) << "run " << n;
}
