// The crash reporter end to end: a helper program (copied as Pellton.exe)
// crashes on purpose; the test finds the problem report dialog of that
// process, answers it with window messages, and checks the files written and
// what reached the local test server.
#include "support/CrashReporter.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "support/ProblemReportDialog.h"
#include "support/SystemInfo.h"
#include "ui/TemplateFont.h"
#include "tests/common/FileText.h"
#include "tests/common/TempFolder.h"
#include "tests/support/TestServer.h"

namespace {

const char kDash[] = "-------------------------------1234567890123";
const DWORD kPatience = 60000;

std::string FieldPart(const std::string& name, const std::string& value) {
  return std::string(kDash) + "\r\nContent-Disposition: form-data; name=\"" + name +
         "\"\r\n\r\n" + value + "\r\n";
}
std::string FilePart(const std::string& name, const std::string& file, const std::string& bytes) {
  return std::string(kDash) + "\r\nContent-Disposition: form-data; name=\"" + name +
         "\"; filename=\"" + file + "\"\r\nContent-Type: application/octet-stream\r\n\r\n" +
         bytes + "\r\n";
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      lines.push_back(text.substr(at));
      break;
    }
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

struct Found {
  DWORD pid;
  HWND window;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM data) {
  Found* f = reinterpret_cast<Found*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t title[64] = {};
  GetWindowTextW(window, title, 64);
  if (owner == f->pid && IsWindowVisible(window) && wcscmp(title, L"Pellton") == 0) {
    f->window = window;
    return FALSE;
  }
  return TRUE;
}

HWND DialogOf(DWORD pid) {
  Found found = {pid, nullptr};
  EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&found));
  return found.window;
}

std::wstring WindowText(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}

// Every visible child's text, for checking what the dialog says.
std::wstring VisibleTexts(HWND dialog) {
  std::wstring all;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (IsWindowVisible(child)) all += WindowText(child) + L"\n";
  return all;
}

class CrashReporterTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Open()) << "run under tools/with-test-server.sh";
    ASSERT_TRUE(server_.Route("report", "path /services/tindle/report.php\nstatus 200\nbody ok\n"));
    ASSERT_TRUE(folder_.Made());
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring helper = self;
    helper = helper.substr(0, helper.rfind(L'\\') + 1) + L"crash_helper.exe";
    program_ = folder_.Path() + L"\\Pellton.exe";
    ASSERT_TRUE(CopyFileW(helper.c_str(), program_.c_str(), FALSE));
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    tempStem_ = std::wstring(temp) + L"Pellton_Debug";
    RemoveTempReports();
    // A crash the reporter passes on goes to Wine's debugger: no dialog.
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\WineDbg", 0, nullptr, 0, KEY_WRITE,
                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
      DWORD zero = 0;
      RegSetValueExW(key, L"ShowCrashDialog", 0, REG_DWORD, reinterpret_cast<BYTE*>(&zero), 4);
      RegCloseKey(key);
    }
  }
  void TearDown() override {
    if (process_.hProcess) {
      if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(process_.hProcess, 99);
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
    RemoveTempReports();
  }
  void RemoveTempReports() {
    DeleteFileW((tempStem_ + L".dmp").c_str());
    DeleteFileW((tempStem_ + L".txt").c_str());
  }

  void Start(const wchar_t* mode, bool withHost = true) {
    std::wstring command = L"\"" + program_ + L"\" " + mode + L" " +
                           (withHost ? L"127.0.0.1" : L"-") + L" " +
                           std::to_wstring(server_.Port());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    ASSERT_TRUE(CreateProcessW(program_.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                               folder_.Path().c_str(), &startup, &process_));
  }
  // The problem report dialog of the helper, or none when the helper ended
  // first or the patience ran out.
  HWND WaitForDialog() {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < kPatience) {
      HWND dialog = DialogOf(process_.dwProcessId);
      if (dialog) return dialog;
      if (WaitForSingleObject(process_.hProcess, 50) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
  }
  bool WaitForExit() { return WaitForSingleObject(process_.hProcess, kPatience) == WAIT_OBJECT_0; }
  static void Press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
  }
  std::wstring Local(const wchar_t* ending) const { return folder_.Path() + L"\\Pellton" + ending; }

  TestServer server_;
  TempFolder folder_;
  std::wstring program_;
  std::wstring tempStem_;
  PROCESS_INFORMATION process_ = {};
};

TEST_F(CrashReporterTest, WriteToZeroGivesDumpAndReportAndDontSendSendsNothing) {
  Start(L"write");
  HWND dialog = WaitForDialog();
  ASSERT_NE(nullptr, dialog);
  // The files exist before the question is asked.
  std::string dump = ReadFileText(Local(L"_Debug.dmp"));
  std::string text = ReadFileText(Local(L"_Debug.txt"));
  ASSERT_GE(dump.size(), 32u);
  EXPECT_EQ("MDMP", dump.substr(0, 4));
  std::vector<std::string> lines = Lines(text);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(0u, lines[0].find("Access Violation [0xC0000005] at 0x")) << lines[0];
  EXPECT_EQ("Write to location 0x00000000.", lines[1]);
#if defined(_WIN64)
  EXPECT_NE(std::string::npos, text.find("\r\nRAX=0x")) << text;
  EXPECT_NE(std::string::npos, text.find(", RIP=0x")) << text;
#else
  EXPECT_NE(std::string::npos, text.find("\r\nEAX=0x")) << text;
#endif
  EXPECT_NE(std::string::npos, text.find("\r\nStack:\r\n")) << text;
  EXPECT_NE(std::string::npos, text.find("\r\nLog:\r\ncrash helper in mode write\r\n")) << text;
  EXPECT_NE(std::string::npos, text.find("\r\nModuleList:\r\n")) << text;
  EXPECT_NE(std::string::npos, text.find("Pellton.exe\r\n")) << text;
  EXPECT_NE(std::string::npos, text.find("\r\nThreadList:\r\n")) << text;
  EXPECT_NE(std::string::npos, text.find(" Unicode Wine\r\n")) << text;

  // What the dialog says: the product, the files, and what they hold.
  EXPECT_EQ(L"Send Problem Report", WindowText(GetDlgItem(dialog, 1000)));
  EXPECT_EQ(L"Don't Send", WindowText(GetDlgItem(dialog, 1001)));
  std::wstring texts = VisibleTexts(dialog);
  EXPECT_NE(std::wstring::npos, texts.find(L"Pellton_Debug.txt")) << Narrow(texts);
  EXPECT_NE(std::wstring::npos, texts.find(L"Pellton_Debug.dmp")) << Narrow(texts);
  EXPECT_NE(std::wstring::npos, texts.find(L"memory dump")) << Narrow(texts);
  EXPECT_EQ(std::wstring::npos, texts.find(L"personal information")) << Narrow(texts);
  EXPECT_NE(std::wstring::npos, texts.find(L"Please tell Vantrel about this problem."))
      << Narrow(texts);

  Press(dialog, 1001);
  ASSERT_TRUE(WaitForExit());
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  EXPECT_NE(3u, code);
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(CrashReporterTest, ReadFromZeroIsReportedAsARead) {
  Start(L"read");
  HWND dialog = WaitForDialog();
  ASSERT_NE(nullptr, dialog);
  std::vector<std::string> lines = Lines(ReadFileText(Local(L"_Debug.txt")));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ("Read from location 0x00000000.", lines[1]);
  Press(dialog, IDCANCEL);
  ASSERT_TRUE(WaitForExit());
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(CrashReporterTest, SendDeliversTheFieldsInOrderWithTheFilesExactBytes) {
  Start(L"write");
  HWND dialog = WaitForDialog();
  ASSERT_NE(nullptr, dialog);
  SendMessageW(GetDlgItem(dialog, 1004), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(L"Opened the walking page"));
  SendMessageW(GetDlgItem(dialog, 1005), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"me@example.org"));
  Press(dialog, 1000);
  ASSERT_TRUE(WaitForExit());
  std::vector<TestServer::Request> seen = server_.Requests();
  ASSERT_EQ(1u, seen.size());
  EXPECT_EQ("POST /services/tindle/report.php", seen[0].line);
  EXPECT_EQ("multipart/form-data; boundary=-----------------------------1234567890123",
            seen[0].Header("Content-Type"));
  WideString machine;
  SystemInfo system;
  system.MachineId(SystemInfo::CallerProblemReport, machine);
  std::string dump = ReadFileText(Local(L"_Debug.dmp"));
  std::string text = ReadFileText(Local(L"_Debug.txt"));
  ASSERT_EQ("MDMP", dump.substr(0, 4));
  std::string expected = FieldPart("a", "r") + FieldPart("p", "Pellton") + FieldPart("s", "") +
                         FieldPart("v", "1.06") + FieldPart("g", machine.ToNarrow()) +
                         FieldPart("e", "me@example.org") +
                         FieldPart("x", "Opened the walking page") +
                         FilePart("d", "Pellton_Debug.dmp", dump) +
                         FilePart("t", "Pellton_Debug.txt", text) + kDash + "--\r\n";
  ASSERT_EQ(expected.size(), seen[0].body.size());
  EXPECT_TRUE(expected == seen[0].body);
}

TEST_F(CrashReporterTest, AProgramNameTheFormCannotQuoteStillSendsBothFiles) {
  // The report files are named after the program. Renamed with a fullwidth
  // quote, which the ANSI code page turns into '"', the program's file names
  // cannot stand in quotes as they are: the files still go out, under names
  // with '_' for that character, rather than the report going without them
  // while the dialog said they would be sent.
  program_ = folder_.Path() + L"\\Pellton\uFF02.exe";
  ASSERT_TRUE(CopyFileW((folder_.Path() + L"\\Pellton.exe").c_str(), program_.c_str(), FALSE));
  Start(L"write");
  HWND dialog = WaitForDialog();
  ASSERT_NE(nullptr, dialog);
  Press(dialog, 1000);
  ASSERT_TRUE(WaitForExit());
  std::string dump = ReadFileText(folder_.Path() + L"\\Pellton\uFF02_Debug.dmp");
  std::string text = ReadFileText(folder_.Path() + L"\\Pellton\uFF02_Debug.txt");
  ASSERT_EQ("MDMP", dump.substr(0, 4));
  ASSERT_FALSE(text.empty());
  std::vector<TestServer::Request> seen = server_.Requests();
  ASSERT_EQ(1u, seen.size());
  const std::string& body = seen[0].body;
  std::string files = FilePart("d", "Pellton__Debug.dmp", dump) + FilePart("t", "Pellton__Debug.txt", text) +
                      kDash + "--\r\n";
  ASSERT_GE(body.size(), files.size());
  EXPECT_TRUE(body.compare(body.size() - files.size(), files.size(), files) == 0)
      << body.substr(0, 2000);
}

TEST_F(CrashReporterTest, ARedirectOfTheReportIsNotFollowed) {
  // The report goes only to the checked address: a redirect answer (here
  // a 307, which would repeat the POST with its files) ends the upload.
  ASSERT_TRUE(server_.Route("report", "path /services/tindle/report.php\nstatus 307\nheader "
                                      "Location: http://127.0.0.1:" +
                                          std::to_string(server_.Port()) +
                                          "/elsewhere\nbody moved\n"));
  ASSERT_TRUE(server_.Route("zz-elsewhere", "path /elsewhere\nstatus 200\nbody ok\n"));
  Start(L"write");
  HWND dialog = WaitForDialog();
  ASSERT_NE(nullptr, dialog);
  Press(dialog, 1000);
  ASSERT_TRUE(WaitForExit());
  std::vector<TestServer::Request> seen = server_.Requests();
  ASSERT_EQ(1u, seen.size());
  EXPECT_EQ("POST /services/tindle/report.php", seen[0].line);
}

TEST_F(CrashReporterTest, ACrashHoldingTheLoaderLockStillAsksAndEnds) {
  // The dump thread cannot begin while the faulting thread holds the loader
  // lock: the report goes on without a dump instead of waiting for ever.
  Start(L"loaderlock");
  HWND dialog = WaitForDialog();
  ASSERT_NE(nullptr, dialog);
  std::vector<std::string> lines = Lines(ReadFileText(Local(L"_Debug.txt")));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ("Write to location 0x00000000.", lines[1]);
  std::wstring texts = VisibleTexts(dialog);
  EXPECT_EQ(std::wstring::npos, texts.find(L"Pellton_Debug.dmp")) << Narrow(texts);
  EXPECT_NE(std::wstring::npos, texts.find(L"No memory dump could be written.")) << Narrow(texts);
  // Send: the upload needs a thread of its own, which cannot begin either;
  // the process ends instead of hanging.
  Press(dialog, 1000);
  ASSERT_TRUE(WaitForExit());
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(CrashReporterTest, ADumpThatNeverEndsIsGivenUpAndTheReportStillAsks) {
  Start(L"heaplock");
  HWND dialog = WaitForDialog();
  ASSERT_NE(nullptr, dialog);
  std::wstring texts = VisibleTexts(dialog);
  EXPECT_EQ(std::wstring::npos, texts.find(L"Pellton_Debug.dmp")) << Narrow(texts);
  EXPECT_NE(std::wstring::npos, texts.find(L"No memory dump could be written.")) << Narrow(texts);
  Press(dialog, 1000);  // Send: no upload that would wait on the same lock
  ASSERT_TRUE(WaitForExit());
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(CrashReporterTest, AnUnwritableProgramFolderPutsBothFilesIntoTheTemporaryFolder) {
  // Folders of the report files' names keep the files from being created
  // next to the program (the tests run with rights that ignore read-only
  // folders).
  ASSERT_TRUE(CreateDirectoryW(Local(L"_Debug.dmp").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(Local(L"_Debug.txt").c_str(), nullptr));
  Start(L"read");
  HWND dialog = WaitForDialog();
  ASSERT_NE(nullptr, dialog);
  EXPECT_EQ("MDMP", ReadFileText(tempStem_ + L".dmp").substr(0, 4));
  std::vector<std::string> lines = Lines(ReadFileText(tempStem_ + L".txt"));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ("Read from location 0x00000000.", lines[1]);
  std::wstring texts = VisibleTexts(dialog);
  EXPECT_NE(std::wstring::npos, texts.find(tempStem_ + L".txt")) << Narrow(texts);
  Press(dialog, 1001);
  ASSERT_TRUE(WaitForExit());
}

TEST_F(CrashReporterTest, ASecondExceptionDuringTheReportStartsNoSecondReport) {
  Start(L"second");
  HWND dialog = WaitForDialog();
  ASSERT_NE(nullptr, dialog);
  // The helper's second thread reads address 0x20 once it sees the dialog;
  // that exception goes to the system, which ends the process. A second
  // report would ask again and keep the process alive.
  ASSERT_TRUE(WaitForExit());
  std::vector<std::string> lines = Lines(ReadFileText(Local(L"_Debug.txt")));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ("Write to location 0x00000000.", lines[1]);
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(CrashReporterTest, WithoutAReportHostTheFilesAreWrittenAndNothingIsAsked) {
  Start(L"write", false);
  EXPECT_EQ(nullptr, WaitForDialog());
  ASSERT_TRUE(WaitForExit());
  EXPECT_EQ("MDMP", ReadFileText(Local(L"_Debug.dmp")).substr(0, 4));
  std::vector<std::string> lines = Lines(ReadFileText(Local(L"_Debug.txt")));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ("Write to location 0x00000000.", lines[1]);
  EXPECT_TRUE(server_.Requests().empty());
}

TEST(CrashReporterUnitTest, TheDialogTemplateIsTheDatedOneTheFontReplacementKnows) {
  std::vector<BYTE> bytes = ProblemReportTemplate();
  ASSERT_EQ(520u, bytes.size());
  const DLGTEMPLATE* dialog = reinterpret_cast<const DLGTEMPLATE*>(bytes.data());
  EXPECT_EQ(0x80C808C0u, dialog->style);
  EXPECT_EQ(12, dialog->cdit);
  EXPECT_EQ(428, dialog->cx);
  EXPECT_EQ(201, dialog->cy);
  TemplateFontBlock font;
  ASSERT_EQ(1, FindTemplateFont(bytes.data(), bytes.size(), &font));
  EXPECT_FALSE(font.extended);
  EXPECT_EQ(8, font.points);
  EXPECT_STREQ(L"MS Sans Serif", font.faceName.CStr());
}

TEST(CrashReporterUnitTest, KeepsTheLastFailureTextOfTheHttpClient) {
  CrashReporter reporter(CrashReporterNoFilter);
  EXPECT_EQ(nullptr, CrashReporter::Instance());
  HttpFailureSink& sink = reporter;
  sink.SetLastErrorText(std::wstring(300, L'x').c_str());
  EXPECT_EQ(260u, wcslen(reporter.LastErrorText()));
  sink.SetLastErrorText(L"The server name or address could not be resolved");
  EXPECT_STREQ(L"The server name or address could not be resolved", reporter.LastErrorText());
}

}  // namespace
