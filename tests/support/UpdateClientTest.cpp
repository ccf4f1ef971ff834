// The update client end to end under Wine against the local test server:
// a copy of the program's folder in a temporary folder, a real owner
// window whose questions are answered by the test as the message boxes
// appear, and the registry of the Wine prefix for the settings.
#include <gtest/gtest.h>

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include "core/Registry.h"
#include "core/XmlDocument.h"
#include "support/HttpUrl.h"
#include "support/SystemInfo.h"
#include "support/UpdateAnswer.h"
#include "support/UpdateClient.h"
#include "support/UpdateService.h"
#include "tests/common/FileText.h"
#include "tests/common/PumpUntil.h"
#include "tests/common/TempFolder.h"
#include "tests/core/RegistryTestKey.h"
#include "tests/support/TestServer.h"
#include "tests/support/ZipBuilder.h"

namespace {

const unsigned kNow = 1765000000;  // 2025-12-06
unsigned FixedNow() { return kNow; }

// The message boxes the owner's thread shows, answered as they appear.
struct Boxes {
  std::deque<int> answers;  // IDYES / IDNO, in order; IDNO when none is left
  HWND helpTo = nullptr;    // gets WM_HELP while the first box shows
  std::vector<std::wstring> texts, captions;
  HHOOK hook = nullptr;
};
Boxes* g_boxes = nullptr;
int g_closes = 0;

LRESULT CALLBACK AnswerBoxes(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && g_boxes) {
    HWND box = reinterpret_cast<HWND>(wParam);
    wchar_t name[32] = {}, caption[256] = {}, text[1024] = {};
    GetClassNameW(box, name, 32);
    if (wcscmp(name, L"#32770") == 0) {
      GetWindowTextW(box, caption, 256);
      GetDlgItemTextW(box, 0xFFFF, text, 1024);
      g_boxes->captions.push_back(caption);
      g_boxes->texts.push_back(text);
      int answer = IDNO;
      if (!g_boxes->answers.empty()) {
        answer = g_boxes->answers.front();
        g_boxes->answers.pop_front();
      }
      if (g_boxes->helpTo) {
        // What the box's Help button does: WM_HELP sent to the owner.
        SendMessageW(g_boxes->helpTo, WM_HELP, 0, 0);
        g_boxes->helpTo = nullptr;
      }
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    ++g_closes;
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

struct Launch {
  std::vector<std::wstring> files, folders;
};
int RecordLaunch(const wchar_t* file, const wchar_t* folder, void* user) {
  Launch* launch = static_cast<Launch*>(user);
  launch->files.push_back(file);
  launch->folders.push_back(folder ? folder : L"<none>");
  return 1;
}

std::string Utf8(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
  out.resize(n - 1);
  return out;
}

class UpdateClientTest : public RegistryTestKey {
protected:
  void SetUp() override {
    RegistryTestKey::SetUp();
    ASSERT_TRUE(server_.Open()) << "run through tools/with-test-server.sh (CTest does)";
    ASSERT_TRUE(temp_.Made());
    app_ = temp_.Path() + L"\\app";
    desktop_ = temp_.Path() + L"\\desktop";
    ASSERT_TRUE(CreateDirectoryW(app_.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(desktop_.c_str(), nullptr));
    ASSERT_TRUE(WriteFileText(App(L"Pellton.exe"), "old program"));
    ASSERT_TRUE(WriteFileText(App(L"readme.html"), "old readme"));
    WNDCLASSW wc = {};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PelltonUpdateOwner";
    RegisterClassW(&wc);
    owner_ = CreateWindowW(L"PelltonUpdateOwner", L"Pellton", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(owner_);
    g_closes = 0;
    g_boxes = &boxes_;
    boxes_.hook = SetWindowsHookExW(WH_CBT, AnswerBoxes, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(boxes_.hook);
    client_.SetProgramPath(App(L"Pellton.exe").c_str());
    client_.SetDesktopFolder(desktop_.c_str());
    client_.SetLanguage(L"fr");
    client_.SetLauncher(RecordLaunch, &launch_);
    client_.SetClock(FixedNow);
    client_.SetPublicKey(L"" PELLTON_TEST_UPDATE_PUBLIC_KEY);
    service_ = server_.Url(L"/common/update.php?p=pellton");
    ServeFile("Pellton.exe", "new program");
  }
  void TearDown() override {
    client_.Shutdown();
    UnhookWindowsHookEx(boxes_.hook);
    g_boxes = nullptr;
    DestroyWindow(owner_);
    RegistryTestKey::TearDown();
  }
  std::wstring App(const wchar_t* name) const { return app_ + L"\\" + name; }
  std::string Url(const char* path) const {
    std::wstring base = server_.Url(L"");
    return std::string(base.begin(), base.end()) + path;
  }
  // The answer document: version, files, and the optional parts.
  void Serve(const std::string& version, const std::string& files,
             const std::string& restart = "<restart><en>Restart Pellton now?</en></restart>",
             const std::wstring& info = L"Gr\u00FC\u00DFe: version %ls is ready. Update now?") {
    wchar_t text[256];
    swprintf(text, 256, info.c_str(), std::wstring(version.begin(), version.end()).c_str());
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<update>\n"
                      "<version>" + version + "</version>\n<application>Pellton</application>\n"
                      "<info><de>Neue Version</de><en>" + Utf8(text) + "</en></info>\n"
                      "<help>https://help.example.invalid/update</help>\n"
                      "<files>\n" + Signed(files) + "</files>\n" + restart + "\n</update>\n";
    ASSERT_TRUE(server_.File("answer.xml", xml));
    ASSERT_TRUE(server_.Route("00-update", "path /common/update.php\nstatus 200\nfill 1\n"
                                           "keys " PELLTON_TEST_UPDATE_KEYS "\n"
                                           "header Content-Type: text/xml\nbody-file answer.xml\n"));
  }
  void ServeFile(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(server_.File(name, bytes));
    ASSERT_TRUE(server_.Route("10-" + name, "path /files/" + name + "\nstatus 200\nbody-file " + name + "\n"));
  }
  // Entries with neither "sha256" nor "signature" get both, filled in by
  // the server from the file their URL names (with the test release key).
  static std::string Signed(std::string files) {
    for (size_t at = files.find("<url"); at != std::string::npos; at = files.find("<url", at + 1)) {
      size_t end = files.find("</url>", at), text = files.rfind('>', end) + 1;
      std::string entry = files.substr(at, end - at), url = files.substr(text, end - text);
      if (entry.find("sha256") != std::string::npos || entry.find("signature") != std::string::npos)
        continue;
      std::string file = url.substr(url.rfind('/') + 1);
      file = file.substr(0, file.find('?'));
      files.insert(files.find('>', at), " sha256=\"@sha256 " + file +
                                            "@\" signature=\"@signature release " + file + "@\"");
    }
    return files;
  }
  // An automatic check whose questions are answered Yes; its result.
  DWORD CheckAgreeing() {
    boxes_.answers = {IDYES, IDYES};
    RegWriteDword(HKEY_CURRENT_USER, Path(), L"LastCheck", 0);
    SetupChecking();
    return Pump();
  }
  void SetupChecking(unsigned flags = 0) {
    client_.Setup(service_.c_str(), owner_, HKEY_CURRENT_USER, Path(), L"LastCheck", flags,
                  nullptr, L"1");
  }
  // Runs the window's messages until the check thread has ended; its result.
  DWORD Pump() {
    DWORD result = 0;
    if (!PumpUntil([&] { return !client_.CheckRunning(&result); }, 60000)) ADD_FAILURE() << "the check did not end";
    PumpWaiting();
    return result;
  }
  DWORD LastCheck() { return RegReadDword(HKEY_CURRENT_USER, Path(), L"LastCheck", 12345); }
  std::wstring MachineIdText() {
    SystemInfo info;
    WideString id;
    info.MachineId(SystemInfo::CallerUpdate, id);
    return id.CStr();
  }

  TestServer server_;
  TempFolder temp_;
  std::wstring app_, desktop_, service_;
  HWND owner_ = nullptr;
  Boxes boxes_;
  Launch launch_;
  UpdateClient client_;
};

TEST_F(UpdateClientTest, WeeklyLimitAndTheRequestUrl) {
  ASSERT_EQ(1, RegWriteDword(HKEY_CURRENT_USER, Path(), L"LastCheck", kNow - 604800));
  SetupChecking();
  EXPECT_EQ(0u, Pump());
  EXPECT_EQ(0u, server_.Requests().size());
  EXPECT_EQ(kNow - 604800, LastCheck());

  ASSERT_EQ(1, RegWriteDword(HKEY_CURRENT_USER, Path(), L"LastCheck", kNow - 604801));
  SetupChecking();
  EXPECT_EQ(kNow, LastCheck());  // stored when the check starts
  EXPECT_EQ(0u, Pump());         // 404: nothing to do
  std::vector<TestServer::Request> seen = server_.Requests();
  ASSERT_EQ(1u, seen.size());
  std::wstring id = MachineIdText();
  ASSERT_EQ(19u, id.size());
  EXPECT_EQ("GET /common/update.php?p=pellton&v=1.06&id=" + std::string(id.begin(), id.end()),
            seen[0].line);
  EXPECT_EQ("AutoUpdate", seen[0].Header("User-Agent"));
  WideString text;
  client_.LastCheckText(text);
  EXPECT_NE(nullptr, text.Find(L"2025")) << text.CStr();
}

TEST_F(UpdateClientTest, SkipOnceValueSkipsOneCheck) {
  ASSERT_EQ(1, RegWriteDword(HKEY_CURRENT_USER, Path(), L"LastCheck", 0xFFFFFFFF));
  SetupChecking();
  Pump();
  EXPECT_EQ(0u, LastCheck());
  EXPECT_EQ(0u, server_.Requests().size());
  SetupChecking();
  Pump();
  EXPECT_EQ(kNow, LastCheck());
  EXPECT_EQ(1u, server_.Requests().size());
}

TEST_F(UpdateClientTest, OnlyNewerVersionsAreReported) {
  const char* versions[] = {"1.6", "1.7", "2.0", "0.99", "1.06"};
  int expected[] = {0, 1, 1, 0, 0};
  client_.Setup(server_.Url(L"/common/update.php").c_str(), owner_, nullptr, nullptr, nullptr,
                UpdateNoThread, nullptr, L"1");
  for (int i = 0; i < 5; ++i) {
    server_.Clear();
    Serve(versions[i], "<url name=\"Pellton.exe\">" + Url("/files/Pellton.exe") + "</url>\n");
    WideString url, file;
    EXPECT_EQ(expected[i], client_.RunCheck(L"1.06", &url, &file)) << versions[i];
    if (expected[i]) {
      EXPECT_STREQ(L"Pellton.exe", file.CStr());
      EXPECT_EQ(server_.Url(L"/files/Pellton.exe"), url.CStr());
    }
    // Without '?' in the service URL the query starts with it.
    std::vector<TestServer::Request> seen = server_.Requests();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(0u, seen[0].line.find("GET /common/update.php?v=1.06&id="));
  }
  EXPECT_EQ(0, client_.RunCheck(L"1", nullptr, nullptr));  // not two numbers
  EXPECT_TRUE(boxes_.texts.empty());
  EXPECT_EQ("old program", ReadFileText(App(L"Pellton.exe")));
}

TEST_F(UpdateClientTest, ADeclinedVersionIsNotOfferedAgain) {
  Serve("1.7", "<url name=\"Pellton.exe\">" + Url("/files/Pellton.exe") + "</url>\n");
  SetupChecking();
  EXPECT_EQ(0u, Pump());
  ASSERT_EQ(1u, boxes_.texts.size());
  EXPECT_EQ(L"Gr\u00FC\u00DFe: version 1.7 is ready. Update now?", boxes_.texts[0]);
  EXPECT_EQ(L"Pellton", boxes_.captions[0]);
  WideString declined;
  EXPECT_EQ(1, RegReadString(HKEY_CURRENT_USER, Path(), L"LastCheckVersion", declined));
  EXPECT_STREQ(L"1.7", declined.CStr());

  ASSERT_EQ(1, RegWriteDword(HKEY_CURRENT_USER, Path(), L"LastCheck", 0));
  SetupChecking();
  EXPECT_EQ(0u, Pump());
  EXPECT_EQ(1u, boxes_.texts.size());  // not asked again

  server_.Clear();
  Serve("1.8", "<url name=\"Pellton.exe\">" + Url("/files/Pellton.exe") + "</url>\n");
  ASSERT_EQ(1, RegWriteDword(HKEY_CURRENT_USER, Path(), L"LastCheck", 0));
  SetupChecking();
  EXPECT_EQ(0u, Pump());
  EXPECT_EQ(2u, boxes_.texts.size());
  EXPECT_EQ("old program", ReadFileText(App(L"Pellton.exe")));
}

TEST_F(UpdateClientTest, FilesAreReplacedExtractedAndTheProgramRestarts) {
  ASSERT_TRUE(CreateDirectoryW(App(L"data").c_str(), nullptr));
  ASSERT_TRUE(WriteFileText(App(L"data\\info.txt"), "old info"));
  ServeFile("Pellton.exe", "new program");
  ServeFile("readme.html", "new readme");
  ZipBuilder zip;
  zip.Add("data/info.txt", "new info from the archive");
  zip.Add("data/more/extra.txt", "extra");
  ServeFile("pack.zip", zip.Bytes());
  Serve("2.0",
        "<url name=\"Pellton.exe\">" + Url("/files/Pellton.exe") + "</url>\n"
        "<url name=\"readme.html\" sha256=\"ee1af4a282109320b4275ea4d87c0ec4397293263af91ab39b448c5e1aff698a\""
        " signature=\"@signature release readme.html@\">" +
            Url("/files/readme.html") + "</url>\n"
        "<url><name>data\\info.txt</name><zip>pack.zip</zip><sha256>@sha256 pack.zip@</sha256>"
        "<signature>@signature release pack.zip@</signature>" + Url("/files/pack.zip") + "</url>\n");
  boxes_.answers = {IDYES, IDYES};
  SetupChecking();
  EXPECT_EQ(1u, Pump());
  EXPECT_EQ("new program", ReadFileText(App(L"Pellton.exe")));
  EXPECT_EQ("old program", ReadFileText(App(L"Pellton_old.exe")));
  EXPECT_FALSE(PathExists(App(L"Pellton_new.exe")));
  EXPECT_EQ("new readme", ReadFileText(App(L"readme.html")));
  EXPECT_EQ("old readme", ReadFileText(App(L"readme.html_old.html")));
  EXPECT_EQ("new info from the archive", ReadFileText(App(L"data\\info.txt")));
  EXPECT_EQ("old info", ReadFileText(App(L"data\\info_old.txt")));
  EXPECT_EQ("extra", ReadFileText(App(L"data\\more\\extra.txt")));
  EXPECT_FALSE(PathExists(App(L"pack_new.zip")));
  ASSERT_EQ(2u, boxes_.texts.size());
  EXPECT_EQ(L"Restart Pellton now?", boxes_.texts[1]);
  ASSERT_EQ(1u, launch_.files.size());
  EXPECT_EQ(App(L"Pellton.exe"), launch_.files[0]);
  EXPECT_EQ(app_ + L"\\", launch_.folders[0]);
  EXPECT_EQ(1, g_closes);
  std::vector<TestServer::Request> seen = server_.Requests();
  ASSERT_EQ(4u, seen.size());
  EXPECT_EQ("GET /files/Pellton.exe", seen[1].line);
  EXPECT_EQ("*/*", seen[1].Header("Accept"));
}

TEST_F(UpdateClientTest, NewNamesKeepTheExtension) {
  // readme.html is downloaded as readme.html_new.html: seen when pass 2
  // fails on a missing file and the download stays for the next start.
  ServeFile("readme.html", "new readme");
  ServeFile("notes.txt", "new notes");
  Serve("2.0", "<url name=\"readme.html\">" + Url("/files/readme.html") + "</url>\n"
               "<url name=\"notes.txt\">" + Url("/files/notes.txt") + "</url>\n");
  boxes_.answers = {IDYES};
  SetupChecking();
  EXPECT_EQ(0u, Pump());
  EXPECT_EQ("new readme", ReadFileText(App(L"readme.html_new.html")));
  EXPECT_EQ("new notes", ReadFileText(App(L"notes_new.txt")));
  // Pass 2 stopped at notes.txt; readme.html, set aside, went back.
  EXPECT_EQ("old readme", ReadFileText(App(L"readme.html")));
  EXPECT_FALSE(PathExists(App(L"readme.html_old.html")));
  EXPECT_EQ(0, g_closes);
}

TEST_F(UpdateClientTest, AFailedReplacementNeverLeavesTheProgramMissing) {
  // Pass 2 fails on a file that does not exist yet, after the program was
  // set aside.
  ServeFile("Pellton.exe", "new program");
  ServeFile("plugin.dll", "new plugin");
  Serve("2.0", "<url name=\"Pellton.exe\">" + Url("/files/Pellton.exe") + "</url>\n"
               "<url name=\"plugin.dll\">" + Url("/files/plugin.dll") + "</url>\n");
  boxes_.answers = {IDYES, IDYES};
  SetupChecking();
  EXPECT_EQ(0u, Pump());
  EXPECT_EQ("old program", ReadFileText(App(L"Pellton.exe")));
  EXPECT_FALSE(PathExists(App(L"Pellton_old.exe")));
  EXPECT_FALSE(PathExists(App(L"plugin.dll")));
  EXPECT_EQ(0, g_closes);

  // Pass 3 fails on an archive after the program was replaced: everything
  // set aside comes back, the program too.
  server_.Clear();
  ASSERT_TRUE(WriteFileText(App(L"notes.txt"), "old notes"));
  ZipBuilder zip;
  ZipBuilder::Options damaged;
  damaged.wrongCrc = true;
  zip.Add("notes.txt", "new notes", damaged);
  ServeFile("Pellton.exe", "new program");
  ServeFile("pack.zip", zip.Bytes());
  Serve("2.0", "<url name=\"Pellton.exe\">" + Url("/files/Pellton.exe") + "</url>\n"
               "<url name=\"notes.txt\" zip=\"pack.zip\">" + Url("/files/pack.zip") + "</url>\n");
  boxes_.answers = {IDYES, IDYES};
  ASSERT_EQ(1, RegWriteDword(HKEY_CURRENT_USER, Path(), L"LastCheck", 0));
  SetupChecking();
  EXPECT_EQ(0u, Pump());
  EXPECT_EQ("old program", ReadFileText(App(L"Pellton.exe")));
  EXPECT_FALSE(PathExists(App(L"Pellton_old.exe")));
  EXPECT_EQ("old notes", ReadFileText(App(L"notes.txt")));
  EXPECT_FALSE(PathExists(App(L"notes_old.txt")));
  EXPECT_EQ(0, g_closes);
}

TEST_F(UpdateClientTest, AnArchiveClimbingOutIsRefused) {
  ASSERT_TRUE(WriteFileText(App(L"notes.txt"), "old notes"));
  ZipBuilder zip;
  zip.Add("notes.txt", "new notes");
  zip.Add("../evil.txt", "evil");
  ServeFile("evil.zip", zip.Bytes());
  Serve("2.0", "<url name=\"notes.txt\" zip=\"evil.zip\">" + Url("/files/evil.zip") + "</url>\n");
  boxes_.answers = {IDYES, IDYES};
  SetupChecking();
  EXPECT_EQ(0u, Pump());
  EXPECT_FALSE(PathExists(temp_.Path() + L"\\evil.txt"));
  EXPECT_FALSE(PathExists(App(L"evil_new.zip")));
  // Refused before anything was set aside.
  EXPECT_EQ("old notes", ReadFileText(App(L"notes.txt")));
  EXPECT_FALSE(PathExists(App(L"notes_old.txt")));
  EXPECT_EQ(0, g_closes);
  EXPECT_TRUE(launch_.files.empty());
}

TEST_F(UpdateClientTest, AWrongChecksumOrAPlainHttpDownloadChangesNothing) {
  ServeFile("Pellton.exe", "tampered program");
  Serve("2.0", "<url name=\"Pellton.exe\" sha256=\"" + std::string(64, '0') +
                   "\" signature=\"@signature release Pellton.exe@\">" +
                   Url("/files/Pellton.exe") + "</url>\n");
  boxes_.answers = {IDYES, IDYES};
  SetupChecking();
  EXPECT_EQ(0u, Pump());
  EXPECT_EQ(2u, server_.Requests().size());  // it was downloaded, then refused
  EXPECT_EQ("old program", ReadFileText(App(L"Pellton.exe")));
  EXPECT_FALSE(PathExists(App(L"Pellton_new.exe")));
  EXPECT_FALSE(PathExists(App(L"Pellton_old.exe")));

  server_.Clear();
  Serve("2.0", "<url name=\"Pellton.exe\">http://downloads.example.invalid/Pellton.exe</url>\n");
  boxes_.answers = {IDYES, IDYES};
  ASSERT_EQ(1, RegWriteDword(HKEY_CURRENT_USER, Path(), L"LastCheck", 0));
  SetupChecking();
  EXPECT_EQ(0u, Pump());
  EXPECT_EQ("old program", ReadFileText(App(L"Pellton.exe")));
  EXPECT_FALSE(PathExists(App(L"Pellton_new.exe")));
  EXPECT_EQ(0, g_closes);
}

TEST_F(UpdateClientTest, AnUpdateThatCouldLoseOrForgeAFileChangesNothing) {
  // 3000 of 12000 bytes, then the connection closes before the last chunk:
  // only a hash tells, so an entry without one is not even downloaded.
  ASSERT_TRUE(server_.File("big.exe", std::string(12000, 'p')));
  ASSERT_TRUE(server_.Route("cut", "path /files/cut\nbody-file big.exe\nframing chunked\ncut 3000\n"));
  ZipBuilder folder, other, program, clash;
  folder.Add("pellton-2.0/Pellton.exe", "new program");
  other.Add("readme.html", "new readme");
  program.Add("Pellton.exe", "new program");
  clash.Add("readme.html", "new readme");
  clash.Add("Pellton.exe", "another program");
  std::string changed = program.Bytes();
  changed[10] ^= 1;  // the entry's time: still an archive that extracts
  for (auto& file : {std::make_pair("folder.zip", folder.Bytes()), {"other.zip", other.Bytes()},
                     {"program.zip", program.Bytes()}, {"clash.zip", clash.Bytes()},
                     {"changed.zip", changed}, {"readme.html", "new readme"}})
    ServeFile(file.first, file.second);
  auto signedBy = [this](const std::string& file, const std::string& signature) {
    return "<url name=\"Pellton.exe\" zip=\"" + file + "\" sha256=\"@sha256 " + file + "@\"" +
           signature + ">" + Url(("/files/" + file).c_str()) + "</url>\n";
  };
  std::string readme = "<url name=\"readme.html\">" + Url("/files/readme.html") + "</url>\n";
  const std::string answers[] = {
      "<url name=\"Pellton.exe\" signature=\"@signature release big.exe@\">" + Url("/files/cut") +
          "</url>\n",
      // A name given twice: the second entry's pass 2 would delete the
      // first one's old file.
      readme + readme,
      // The program under a folder of its archive, or not in it; a second
      // archive putting another program over the first one's.
      "<url name=\"Pellton.exe\" zip=\"folder.zip\">" + Url("/files/folder.zip") + "</url>\n",
      "<url name=\"Pellton.exe\" zip=\"other.zip\">" + Url("/files/other.zip") + "</url>\n",
      "<url name=\"Pellton.exe\" zip=\"program.zip\">" + Url("/files/program.zip") + "</url>\n" +
          "<url name=\"readme.html\" zip=\"clash.zip\">" + Url("/files/clash.zip") + "</url>\n",
      // One changed byte, another key, no signature, another file's.
      signedBy("changed.zip", " signature=\"@signature release program.zip@\""),
      signedBy("program.zip", " signature=\"@signature other program.zip@\""),
      signedBy("program.zip", ""),
      signedBy("program.zip", " signature=\"@signature release readme.html@\""),
      // A signed file put over the user's data, or a start of a file the
      // update did not deliver.
      "<url name=\"Pellton.sql\">" + Url("/files/readme.html") + "</url>\n",
      "<url name=\"Pellton.SQL-wal\">" + Url("/files/readme.html") + "</url>\n",
      readme + "<execute>uninstall.exe</execute>\n"};
  ASSERT_TRUE(WriteFileText(App(L"Pellton.sql"), "the user's data"));
  for (const std::string& files : answers) {
    Serve("2.0", files);
    EXPECT_EQ(0u, CheckAgreeing()) << files;
    // Nothing replaced, set aside or left behind.
    EXPECT_EQ("old program", ReadFileText(App(L"Pellton.exe"))) << files;
    EXPECT_EQ("old readme", ReadFileText(App(L"readme.html"))) << files;
    for (const wchar_t* name : {L"Pellton_old.exe", L"Pellton_new.exe", L"readme.html_old.html",
                                L"folder_new.zip", L"Pellton_old.sql"})
      EXPECT_FALSE(PathExists(App(name))) << files;
    EXPECT_EQ("the user's data", ReadFileText(App(L"Pellton.sql"))) << files;
  }
  EXPECT_EQ(0, g_closes);
  EXPECT_TRUE(launch_.files.empty());
  Serve("2.0", "");  // no file at all: nothing to ask about
  EXPECT_EQ(0u, CheckAgreeing());
  EXPECT_EQ(UpdateCheckNoAnswer, client_.LastOutcome());
  // The signed archive on its own installs and restarts.
  Serve("2.0", "<url name=\"Pellton.exe\" zip=\"program.zip\">" + Url("/files/program.zip") +
                   "</url>\n");
  EXPECT_EQ(1u, CheckAgreeing());
  EXPECT_EQ("new program", ReadFileText(App(L"Pellton.exe")));
  EXPECT_EQ(1, g_closes);
}

TEST_F(UpdateClientTest, ANamelessDownloadGoesToTheDesktopAndIsStarted) {
  ServeFile("get.php", "setup program");
  Serve("2.0", "<url>" + Url("/files/get.php?file=setup.exe") + "</url>\n",
        "<restart><en></en></restart>");
  boxes_.answers = {IDYES};
  SetupChecking();
  EXPECT_EQ(1u, Pump());
  EXPECT_EQ("setup program", ReadFileText(desktop_ + L"\\setup.exe"));
  EXPECT_EQ(1u, boxes_.texts.size());  // an empty restart text asks nothing
  ASSERT_EQ(1u, launch_.files.size());
  EXPECT_EQ(desktop_ + L"\\setup.exe", launch_.files[0]);
  EXPECT_EQ(1, g_closes);
  EXPECT_EQ("old program", ReadFileText(App(L"Pellton.exe")));
}

TEST_F(UpdateClientTest, RestartOnlyWhenAskedAndAgreed) {
  ServeFile("readme.html", "new readme");
  Serve("2.0", "<url name=\"readme.html\">" + Url("/files/readme.html") + "</url>\n");
  boxes_.answers = {IDYES, IDNO};
  SetupChecking();
  EXPECT_EQ(0u, Pump());
  EXPECT_EQ("new readme", ReadFileText(App(L"readme.html")));
  EXPECT_EQ(0, g_closes);
  EXPECT_TRUE(launch_.files.empty());

  server_.Clear();
  ASSERT_TRUE(WriteFileText(App(L"readme.html"), "old readme"));
  ServeFile("readme.html", "newer readme");
  Serve("2.0", "<url name=\"readme.html\">" + Url("/files/readme.html") + "</url>\n", "");
  boxes_.answers = {IDYES};
  ASSERT_EQ(1, RegWriteDword(HKEY_CURRENT_USER, Path(), L"LastCheck", 0));
  SetupChecking();
  EXPECT_EQ(0u, Pump());  // no restart node: the files wait for the next start
  EXPECT_EQ("newer readme", ReadFileText(App(L"readme.html")));
  EXPECT_EQ(0, g_closes);
}

TEST_F(UpdateClientTest, AnswersWithADtdOrOverTheCapAreRefused) {
  std::string dtd =
      "<?xml version=\"1.0\"?><!DOCTYPE update [<!ENTITY x \"lots\">]>"
      "<update><version>9.0</version><info><en>&x;</en></info><files/></update>";
  XmlDocument plain;
  ASSERT_EQ(1, plain.Create(0x3 | XmlAllowDtd));
  EXPECT_EQ(1, plain.LoadText(std::wstring(dtd.begin(), dtd.end()).c_str()));  // the parser takes it when allowed
  ASSERT_TRUE(server_.File("answer.xml", dtd));
  ASSERT_TRUE(server_.Route("00", "path /common/update.php\nstatus 200\nbody-file answer.xml\n"));
  SetupChecking();
  EXPECT_EQ(0u, Pump());
  EXPECT_TRUE(boxes_.texts.empty());

  WideString big;
  big.Assign(std::wstring(UpdateAnswerCap + 1, L' ').c_str());
  EXPECT_EQ(0, IsAcceptableUpdateAnswer(big));
  big.Assign(std::wstring(UpdateAnswerCap, L' ').c_str());
  EXPECT_EQ(1, IsAcceptableUpdateAnswer(big));
  std::string huge = "<update><version>9.0</version><info><en>x</en></info><!--" +
                     std::string(UpdateAnswerCap, 'c') + "--></update>";
  server_.Clear();
  ASSERT_TRUE(server_.File("answer.xml", huge));
  ASSERT_TRUE(server_.Route("00", "path /common/update.php\nstatus 200\nbody-file answer.xml\n"));
  ASSERT_EQ(1, RegWriteDword(HKEY_CURRENT_USER, Path(), L"LastCheck", 0));
  SetupChecking();
  EXPECT_EQ(0u, Pump());
  EXPECT_TRUE(boxes_.texts.empty());
}

TEST_F(UpdateClientTest, ShutdownEndsACheckTheServerHolds) {
  // Without cancellation this check would wait ten minutes for the answer.
  client_.Http().SetReceiveTimeout(600000);
  ASSERT_TRUE(server_.Route("00", "path /common/update.php\nhold 1\n"));
  SetupChecking();
  ASSERT_TRUE(server_.WaitForRequests(1, 20000));
  EXPECT_EQ(1, client_.CheckRunning());
  client_.Shutdown();
  DWORD result = 99;
  EXPECT_EQ(0, client_.CheckRunning(&result));
  EXPECT_EQ(0u, result);
  EXPECT_TRUE(boxes_.texts.empty());
}


TEST_F(UpdateClientTest, AboutPageCheckRunsAtOnceAndRemembersNothing) {
  ASSERT_EQ(1, RegWriteDword(HKEY_CURRENT_USER, Path(), L"LastCheck", kNow - 60));
  Serve("1.7", "<url name=\"Pellton.exe\">" + Url("/files/Pellton.exe") + "</url>\n");
  client_.Setup(service_.c_str(), owner_, nullptr, nullptr, nullptr, 0, nullptr, L"1");
  EXPECT_EQ(0u, Pump());
  EXPECT_EQ(1u, boxes_.texts.size());  // asked, answered No
  EXPECT_EQ(kNow - 60, LastCheck());
  WideString declined;
  EXPECT_EQ(0, RegReadString(HKEY_CURRENT_USER, Path(), L"LastCheckVersion", declined));
  client_.Setup(service_.c_str(), owner_, nullptr, nullptr, nullptr, 0, nullptr, L"1");
  EXPECT_EQ(0u, Pump());
  EXPECT_EQ(2u, boxes_.texts.size());  // and offered again
}

TEST_F(UpdateClientTest, EnvelopeRequestAndAnswer) {
  std::string xml =
      "<Kestran><Updates><xml><update><version>1.9</version><info><en>Envelope</en></info>"
      "<files><url name=\"Pellton.exe\" sha256=\"@sha256 Pellton.exe@\" "
      "signature=\"@signature release Pellton.exe@\">" + Url("/files/Pellton.exe") +
      "</url></files></update></xml></Updates></Kestran>";
  ASSERT_TRUE(server_.File("answer.xml", xml));
  ASSERT_TRUE(server_.Route("00", "path /common/update.php\nstatus 200\nbody-file answer.xml\n"
                                  "fill 1\nkeys " PELLTON_TEST_UPDATE_KEYS "\n"));
  client_.Setup(service_.c_str(), owner_, nullptr, nullptr, nullptr,
                UpdateEnvelope | UpdateNoThread, L"Pellton", L"1");
  WideString url, file;
  EXPECT_EQ(1, client_.RunCheck(L"1.06", &url, &file));
  EXPECT_STREQ(L"Pellton.exe", file.CStr());
  std::vector<TestServer::Request> seen = server_.Requests();
  ASSERT_EQ(1u, seen.size());
  std::wstring id = MachineIdText();
  std::string expected = "/common/update.php?p=pellton&a=updates&d=0&f=16&l=fr&g=" +
                         std::string(id.begin(), id.end()) + "&i=<Kestran><Inventory><Item";
  EXPECT_NE(std::string::npos, seen[0].line.find(expected)) << seen[0].line;
  EXPECT_NE(std::string::npos, seen[0].line.find("Pellton")) << seen[0].line;
}

TEST_F(UpdateClientTest, HelpOpensOnlyWebLinks) {
  Serve("1.7", "<url name=\"Pellton.exe\">" + Url("/files/Pellton.exe") + "</url>\n");
  boxes_.helpTo = owner_;
  SetupChecking();
  EXPECT_EQ(0u, Pump());
  ASSERT_EQ(1u, launch_.files.size());
  EXPECT_EQ(L"https://help.example.invalid/update", launch_.files[0]);
  // A help text that is not a web link is never started.
  std::string xml = "<update><version>1.8</version><info><en>x</en></info>"
                    "<help>C:\\windows\\system32\\calc.exe</help><files>" +
                    Signed("<url name=\"Pellton.exe\">" + Url("/files/Pellton.exe") + "</url>") +
                    "</files></update>";
  ASSERT_TRUE(server_.File("answer.xml", xml));
  ASSERT_EQ(1, RegWriteDword(HKEY_CURRENT_USER, Path(), L"LastCheck", 0));
  boxes_.helpTo = owner_;
  SetupChecking();
  EXPECT_EQ(0u, Pump());
  EXPECT_EQ(2u, boxes_.texts.size());
  EXPECT_EQ(1u, launch_.files.size());
  // WM_HELP outside a question is not the client's.
  EXPECT_EQ(0, static_cast<int>(SendMessageW(owner_, WM_HELP, 0, 0)));
}

TEST(UpdateServiceTest, TheBuiltInAddressIsHttps) {
  EXPECT_EQ(0, _wcsnicmp(UpdateServiceUrl(), L"https://", 8));
  EXPECT_EQ(1, IsAllowedUrl(UpdateServiceUrl()));
  std::wstring url = UpdateServiceUrl();
  EXPECT_NE(std::wstring::npos, url.find(L"/common/update.php?p=pellton"));
}

}  // namespace
