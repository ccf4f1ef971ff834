// Pellton.exe as a user or a script starts it, each run in a folder of its
// own that holds a copy of the program: scenario files downloaded into a
// fresh Pellton.sql and the run ending by itself with 0, a wrong command
// line reported on standard error (or in a message box) and never starting,
// and one Pellton per database folder, also while the other copy is still
// closing.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <string>

#include "app/program/SingleInstance.h"
#include "resources/ResourceIds.h"
#include "tests/common/FileText.h"
#include "tests/common/PumpUntil.h"
#include "tests/common/TempFolder.h"
#include "tests/app/TwoTrackers.h"

namespace {

std::wstring ProgramBesideTests() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring text = path;
  return text.substr(0, text.find_last_of(L'\\') + 1) + L"Pellton.exe";
}

// A folder holding a copy of Pellton.exe.
class ProgramFolder : public TempFolder {
public:
  explicit ProgramFolder(const wchar_t* tag) : TempFolder(tag) {
    copied = CopyFileW(ProgramBesideTests().c_str(), File(L"Pellton.exe").c_str(), FALSE) != 0;
  }
  bool copied = false;
};

// A started Pellton.exe whose standard error is collected.
class ProgramRun {
public:
  ProgramRun(const ProgramFolder& folder, const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    errorRead_ = readEnd;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    std::wstring commandLine = L"\"" + folder.File(L"Pellton.exe") + L"\" " + arguments;
    PROCESS_INFORMATION process = {};
    started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                             folder.Path().c_str(), &startup, &process) != 0;
    CloseHandle(writeEnd);
    if (started) {
      process_ = process.hProcess;
      processId = process.dwProcessId;
      CloseHandle(process.hThread);
    }
  }
  ~ProgramRun() {
    if (process_) {
      if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 99);
      CloseHandle(process_);
    }
    if (errorRead_) CloseHandle(errorRead_);
  }

  // The exit code, or -1000 when the process did not end in time.
  int Finish(DWORD timeoutMs = 120000) {
    if (!process_) return -1000;
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!Ended(50)) {
      if (GetTickCount64() >= end) return -1000;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return static_cast<int>(code);
  }

  // Reads standard error until it holds the text; 0 when the process
  // ended without writing it.
  int WaitForError(const char* text) {
    if (!process_) return 0;
    for (;;) {
      const bool ended = Ended(50);
      if (errors.find(text) != std::string::npos) return 1;
      if (ended) return 0;
    }
  }

  bool started = false;
  DWORD processId = 0;
  std::string errors;

private:
  // Whether the process ended within waitMs, with what it wrote meanwhile
  // (the pipe's end may come long after the process's).
  bool Ended(DWORD waitMs) {
    TakeWaiting(errorRead_, errors);
    const bool ended = WaitForSingleObject(process_, waitMs) == WAIT_OBJECT_0;
    TakeWaiting(errorRead_, errors);
    return ended;
  }

  HANDLE process_ = nullptr;
  HANDLE errorRead_ = nullptr;
};

std::wstring TestKey() {
  static LONG serial = 0;
  return L"Software\\Vantrel\\PelltonTests-program-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(InterlockedIncrement(&serial));
}

// Waits for a top-level window of the process; time-outs fail the check.
struct WindowOfProcess {
  DWORD processId;
  const wchar_t* className;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
  WindowOfProcess* search = reinterpret_cast<WindowOfProcess*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t className[64] = {};
  GetClassNameW(window, className, 64);
  if (owner == search->processId && IsWindowVisible(window) && wcscmp(className, search->className) == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND WaitForWindow(DWORD processId, const wchar_t* className, DWORD timeoutMs = 60000) {
  WindowOfProcess search = {processId, className, nullptr};
  PumpUntil(
      [&] {
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      },
      timeoutMs);
  return search.found;
}

// Closes a window of another Pellton whose download runs: it asks first,
// and is answered No, close now. Whether it went.
bool CloseAnsweringNo(HWND window) {
  PostMessageW(window, WM_CLOSE, 0, 0);
  return PumpUntil(
      [&] {
        HWND question = FindWindowExW(nullptr, nullptr, L"#32770", L"Pellton");
        if (question && GetWindow(question, GW_OWNER) == window) PostMessageW(question, WM_COMMAND, IDNO, 0);
        return !IsWindow(window);
      },
      60000);
}

// A settings key of the test's own; its "Flags" keep the automatic update
// check off, so no run asks the real update service.
class RegistryKeyGuard {
public:
  RegistryKeyGuard() : key(TestKey()) {
    DWORD flags = 1;
    RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Flags", REG_DWORD, &flags, sizeof(flags));
  }
  ~RegistryKeyGuard() { RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str()); }
  std::wstring key;
};

}  // namespace

TEST(ProgramTest, TwoScenarioFilesLeaveExactlyTheirRunsInAFreshDatabaseAndTheRunEndsWithZero) {
  ProgramFolder folder(L"program");
  ASSERT_TRUE(folder.copied);
  ASSERT_TRUE(folder.Write(L"a.scenario", twotrackers::LeftScenario()));
  ASSERT_TRUE(folder.Write(L"b.scenario", twotrackers::RightScenario()));
  RegistryKeyGuard settings;
  ProgramRun run(folder, L"--scenario a.scenario --scenario b.scenario --quit-when-idle --settings-key " + settings.key);
  ASSERT_TRUE(run.started);
  EXPECT_EQ(0, run.Finish()) << run.errors;
  EXPECT_EQ("", run.errors);
  std::wstring database = folder.File(L"Pellton.sql");
  EXPECT_EQ(twotrackers::ExpectedWalkingRows(), twotrackers::StoredRows(database.c_str(), L"walking"));
  EXPECT_EQ(twotrackers::ExpectedSleepingRows(), twotrackers::StoredRows(database.c_str(), L"sleeping"));
  // The journal is folded back when the store closes.
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.File(L"Pellton.sql-wal").c_str()));
  // The settings were written as at every normal end.
  DWORD tab = 99, size = sizeof(tab);
  EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, settings.key.c_str(), L"Tab", RRF_RT_REG_DWORD,
                                        nullptr, &tab, &size));
  EXPECT_EQ(0u, tab);
}

TEST(ProgramTest, ClosingWhileABluetoothCallNeverReturnsStillEndsTheRunWithItsRunsStored) {
  ProgramFolder folder(L"program");
  ASSERT_TRUE(folder.copied);
  ASSERT_TRUE(folder.Write(L"a.scenario", twotrackers::LeftScenario()));
  ASSERT_TRUE(folder.Write(L"b.scenario", twotrackers::RightScenario() + "hang CMD_HISTORY\n"));
  RegistryKeyGuard settings;
  ProgramRun run(folder, L"--scenario a.scenario --scenario b.scenario --settings-key " + settings.key);
  ASSERT_TRUE(run.started);
  HWND window = WaitForWindow(run.processId, L"#32770");
  ASSERT_NE(nullptr, window);
  // The left tracker's runs are stored; the right one's history write hangs.
  const std::wstring hung = std::wstring(twotrackers::RightText) + L": Getting your performance... (tracker 2 of 2)";
  wchar_t status[256] = {};
  PumpUntil(
      [&] {
        GetDlgItemTextW(window, IDC_MAIN_STATUS, status, 256);
        return hung == status;
      },
      60000);
  ASSERT_EQ(hung, status);
  CloseAnsweringNo(window);
  EXPECT_EQ(0, run.Finish(60000)) << run.errors;
  std::vector<std::wstring> walking = twotrackers::ExpectedWalkingRows();  // the left tracker's two first
  EXPECT_EQ(std::vector<std::wstring>(walking.begin(), walking.begin() + 2),
            twotrackers::StoredRows(folder.File(L"Pellton.sql").c_str(), L"walking"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.File(L"Pellton.sql-wal").c_str()));  // closed
  EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, settings.key.c_str(), L"Tab", RRF_RT_REG_DWORD,
                                        nullptr, nullptr, nullptr));  // the settings written
}

TEST(ProgramTest, AWrongCommandLineWithQuitWhenIdleGoesToStandardErrorWithExitCodeTwo) {
  ProgramFolder folder(L"program");
  ASSERT_TRUE(folder.copied);
  ProgramRun run(folder, L"--quit-when-idle --simulate=99 --scenario missing.scenario --frobnicate");
  ASSERT_TRUE(run.started);
  EXPECT_EQ(2, run.Finish());
  EXPECT_EQ(0u, run.errors.find("Pellton: The command line is not right:")) << run.errors;
  EXPECT_NE(std::string::npos, run.errors.find("--simulate=N needs a number of trackers from 1 to 16"));
  EXPECT_NE(std::string::npos, run.errors.find("missing.scenario: cannot open the scenario file"));
  EXPECT_NE(std::string::npos, run.errors.find("unknown argument \"--frobnicate\""));
  EXPECT_NE(std::string::npos, run.errors.find("Usage:"));
  // Nothing started: no database was made.
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.File(L"Pellton.sql").c_str()));
}

TEST(ProgramTest, AWrongCommandLineWithoutQuitWhenIdleIsShownInAMessageBox) {
  ProgramFolder folder(L"program");
  ASSERT_TRUE(folder.copied);
  ASSERT_TRUE(folder.Write(L"bad.scenario", "battery 101\n"));
  ProgramRun run(folder, L"--scenario bad.scenario");
  ASSERT_TRUE(run.started);
  HWND box = WaitForWindow(run.processId, L"#32770");
  ASSERT_NE(nullptr, box) << "no message box";
  wchar_t title[64] = {};
  GetWindowTextW(box, title, 64);
  EXPECT_STREQ(L"Pellton", title);
  wchar_t text[2048] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 2048);  // the message box's text
  std::wstring message = text;
  EXPECT_NE(std::wstring::npos, message.find(L"bad.scenario: line 1: battery")) << message;
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(2, run.Finish());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.File(L"Pellton.sql").c_str()));
}

TEST(ProgramTest, ASecondStartInTheSameFolderBringsTheFirstWindowForwardAndEnds) {
  ProgramFolder folder(L"program");
  ASSERT_TRUE(folder.copied);
  RegistryKeyGuard settings;
  ProgramRun first(folder, L"--simulate --settings-key " + settings.key);
  ASSERT_TRUE(first.started);
  SingleInstance probe;
  ASSERT_EQ(SingleInstance::RunningElsewhere, [&] {
    // The first copy claims the folder before it opens its window.
    return WaitForWindow(first.processId, L"#32770") ? probe.Claim(folder.Path().c_str())
                                                     : SingleInstance::ClaimFailed;
  }());
  HWND running = probe.FindRunningWindow(10000);
  ASSERT_NE(nullptr, running);
  DWORD owner = 0;
  GetWindowThreadProcessId(running, &owner);
  EXPECT_EQ(first.processId, owner);

  // Something else is in front, then the second start.
  HWND other = CreateWindowExW(0, L"STATIC", L"in front", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                               nullptr, nullptr, nullptr);
  SetForegroundWindow(other);
  ASSERT_EQ(other, GetForegroundWindow());
  ProgramRun second(folder, L"--quit-when-idle --simulate --settings-key " + settings.key);
  ASSERT_TRUE(second.started);
  EXPECT_EQ(3, second.Finish(60000));
  EXPECT_NE(std::string::npos, second.errors.find("another Pellton is already running")) << second.errors;
  EXPECT_EQ(running, GetForegroundWindow());
  // Without --quit-when-idle the second start ends quietly with 0.
  ProgramRun third(folder, L"--simulate --settings-key " + settings.key);
  EXPECT_EQ(0, third.Finish(60000));
  DestroyWindow(other);

  // A copy in another folder has a database of its own and may run.
  ProgramFolder elsewhere(L"program");
  SingleInstance other_folder;
  EXPECT_EQ(SingleInstance::Claimed, other_folder.Claim(elsewhere.Path().c_str()));
  // Another spelling of the same folder is the same claim.
  std::wstring spelled = folder.Path() + L"\\.";
  SingleInstance same;
  EXPECT_EQ(SingleInstance::RunningElsewhere, same.Claim(spelled.c_str()));

  // The first copy ends normally when closed (while its download runs it
  // asks first: No, close now); the folder is free again.
  CloseAnsweringNo(running);
  EXPECT_EQ(0, first.Finish(60000));
  SingleInstance after;
  EXPECT_EQ(SingleInstance::Claimed, after.Claim(folder.Path().c_str()));
}

TEST(ProgramTest, ASecondStartWhileTheFirstIsStillClosingWaitsForTheFolderAndThenRuns) {
  ProgramFolder folder(L"program");
  ASSERT_TRUE(folder.copied);
  RegistryKeyGuard settings;
  // The first copy as it is while closing: its window has gone, it still
  // holds the folder (writing its settings, closing the database).
  SingleInstance closing;
  ASSERT_EQ(SingleInstance::Claimed, closing.Claim(folder.Path().c_str()));
  ProgramRun second(folder, L"--quit-when-idle --simulate --settings-key " + settings.key);
  ASSERT_TRUE(second.started);
  // Said once it has found the folder held and no window: it is waiting now.
  ASSERT_EQ(1, second.WaitForError("waiting for it")) << second.errors;
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.File(L"Pellton.sql").c_str()));

  closing.Release();
  EXPECT_EQ(0, second.Finish()) << second.errors;
  EXPECT_EQ(std::string::npos, second.errors.find("already running")) << second.errors;
  EXPECT_EQ(std::string::npos, second.errors.find("still running")) << second.errors;
  // It really ran: it made its database and wrote its settings at the end.
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.File(L"Pellton.sql").c_str()));
  DWORD tab = 99, size = sizeof(tab);
  EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, settings.key.c_str(), L"Tab", RRF_RT_REG_DWORD,
                                        nullptr, &tab, &size));
  // And it gave the folder up when it ended.
  SingleInstance after;
  EXPECT_EQ(SingleInstance::Claimed, after.Claim(folder.Path().c_str()));
}

TEST(ProgramTest, ASecondStartWhenTheFolderIsNeverGivenUpSaysSoAndEndsWithFour) {
  ProgramFolder folder(L"program");
  ASSERT_TRUE(folder.copied);
  RegistryKeyGuard settings;
  // A copy hanging while it closes: the folder stays held, no window.
  SingleInstance hanging;
  ASSERT_EQ(SingleInstance::Claimed, hanging.Claim(folder.Path().c_str()));
  // Both waits run side by side.
  ProgramRun shown(folder, L"--simulate --settings-key " + settings.key);
  ProgramRun unattended(folder, L"--quit-when-idle --simulate --settings-key " + settings.key);
  ASSERT_TRUE(shown.started);
  ASSERT_TRUE(unattended.started);

  EXPECT_EQ(4, unattended.Finish(60000));
  EXPECT_NE(std::string::npos, unattended.errors.find("waiting for it")) << unattended.errors;
  EXPECT_NE(std::string::npos,
            unattended.errors.find("Pellton: Another Pellton is still running on this folder's database but shows "
                                   "no window."))
      << unattended.errors;

  HWND box = WaitForWindow(shown.processId, L"#32770");
  ASSERT_NE(nullptr, box) << "no message box";
  wchar_t title[64] = {};
  GetWindowTextW(box, title, 64);
  EXPECT_STREQ(L"Pellton", title);
  wchar_t text[1024] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 1024);
  std::wstring message = text;
  EXPECT_EQ(0u, message.find(L"Another Pellton is still running on this folder's database")) << message;
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(4, shown.Finish(60000));
  // Neither started.
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.File(L"Pellton.sql").c_str()));
  EXPECT_EQ(1, hanging.Held());
}

TEST(ProgramTest, ASecondStartWhileAnotherAccountHoldsTheFolderSaysSoAndEndsWithFour) {
  ProgramFolder folder(L"program");
  ASSERT_TRUE(folder.copied);
  RegistryKeyGuard settings;
  SingleInstance probe;
  ASSERT_EQ(SingleInstance::Claimed, probe.Claim(folder.Path().c_str()));
  std::wstring name = probe.MutexName();
  probe.Release();
  // The claim of a Pellton run by another user (or as administrator): this
  // account may not even wait on it, and its window is not on this desktop.
  PSECURITY_DESCRIPTOR security = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:", SDDL_REVISION_1, &security, nullptr));
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), security, FALSE};
  HANDLE other = CreateMutexW(&attributes, TRUE, name.c_str());
  LocalFree(security);
  ASSERT_NE(nullptr, other);

  ProgramRun second(folder, L"--quit-when-idle --simulate --settings-key " + settings.key);
  ASSERT_TRUE(second.started);
  EXPECT_EQ(4, second.Finish(60000));
  // It is not said to be closing or hanging (it may be running as it
  // should), nor to be ended in the Task Manager.
  EXPECT_NE(std::string::npos,
            second.errors.find("Pellton: Another Pellton is running on this folder's database under another user "
                               "account"))
      << second.errors;
  EXPECT_EQ(std::string::npos, second.errors.find("Task Manager")) << second.errors;
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.File(L"Pellton.sql").c_str()));
  ReleaseMutex(other);
  CloseHandle(other);
}
