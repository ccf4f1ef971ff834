// The automatic update check as the real main window runs it: at start
// unless the About page's box was unticked before, and at once when the box
// is ticked, against the local test server (no route there: the service
// answers 404 and nothing is offered).
#include "app/window/UpdateHooks.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/window/AboutPage.h"
#include "app/window/MainWindow.h"
#include "app/window/PageTable.h"
#include "resources/ResourceIds.h"
#include "support/CrashReporter.h"
#include "support/ReportService.h"
#include "tests/app/window/WindowTestSupport.h"
#include "tests/support/TestServer.h"

namespace {

using windowtest::WindowFixture;

class UpdateHooksWindowTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(server_.Open()) << "run under tools/with-test-server.sh"; }
  void TearDown() override { Close(); }

  MainWindow* Open() {
    MainWindowSetup setup = fixture_.Setup();
    setup.updateUrl.Assign(server_.Url(L"/common/update.php?p=pellton").c_str());
    window_.reset(new MainWindow(setup));
    HWND window = window_->CreateModeless(nullptr, IDD_MAIN, 0, nullptr);
    if (!window) return nullptr;
    ShowWindow(window, SW_SHOW);
    return window_.get();
  }
  bool Close() {
    if (!window_ || !window_->Window()) return true;
    HWND window = window_->Window();
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_MAIN_CLOSE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_MAIN_CLOSE)));
    return PumpUntil([&] { return !IsWindow(window); }, 30000);
  }
  // The About page shown, and its check box.
  HWND AboutBox() {
    window_->Tabs().Select(PageOfStored(3), true);  // About keeps stored number 3 wherever its tab stands
    if (!window_->About()) return nullptr;
    return GetDlgItem(window_->About()->Window(), IDC_ABOUT_UPDATE_CHECK);
  }
  bool CheckEnded() {
    return PumpUntil([&] { return !window_->Hooks().Client().CheckRunning(); }, 60000);
  }
  static std::wstring Text(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
  }

  TestServer server_;
  WindowFixture fixture_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(UpdateHooksWindowTest, UntickedStaysOffAcrossARestartAndTickingChecksOnceAtOnce) {
  fixture_.WriteNumber(L"LastCheck", 0);  // no check for a long time: one is due

  // First start: the automatic check runs and is remembered.
  ASSERT_NE(nullptr, Open());
  ASSERT_TRUE(CheckEnded());
  ASSERT_EQ(1u, server_.Requests().size());
  EXPECT_EQ(0u, server_.Requests()[0].line.find("GET /common/update.php?p=pellton&v="));
  long long stamped = fixture_.ReadNumber(L"LastCheck");
  EXPECT_GT(stamped, 0);
  HWND box = AboutBox();
  ASSERT_NE(nullptr, box);
  EXPECT_EQ(BST_CHECKED, SendMessageW(box, BM_GETCHECK, 0, 0));
  EXPECT_EQ(0u, Text(box).find(L"Automatically check for updates [Last Check: ")) << Text(box).size();
  EXPECT_EQ(L']', Text(box).back());

  // Untick and restart: no check, the box stays unticked.
  SendMessageW(box, BM_CLICK, 0, 0);
  EXPECT_EQ(BST_UNCHECKED, SendMessageW(box, BM_GETCHECK, 0, 0));
  ASSERT_TRUE(Close());
  EXPECT_EQ(1, fixture_.ReadNumber(L"Flags") & 1);
  fixture_.WriteNumber(L"LastCheck", 0);  // due again: only the setting holds it back
  server_.Clear();

  ASSERT_NE(nullptr, Open());
  EXPECT_EQ(0, window_->Hooks().Client().CheckRunning());
  box = AboutBox();
  ASSERT_NE(nullptr, box);
  EXPECT_EQ(BST_UNCHECKED, SendMessageW(box, BM_GETCHECK, 0, 0));
  EXPECT_EQ(L"Automatically check for updates", Text(box));
  EXPECT_EQ(0, fixture_.ReadNumber(L"LastCheck"));  // an automatic check would have stamped it
  EXPECT_TRUE(server_.Requests().empty());

  // Ticking checks once, at once, and leaves "LastCheck" alone.
  SendMessageW(box, BM_CLICK, 0, 0);
  EXPECT_EQ(BST_CHECKED, SendMessageW(box, BM_GETCHECK, 0, 0));
  ASSERT_TRUE(server_.WaitForRequests(1, 30000));
  ASSERT_TRUE(CheckEnded());
  EXPECT_EQ(1u, server_.Requests().size());
  EXPECT_EQ(0, fixture_.ReadNumber(L"LastCheck"));
  // The box tells when the check ran and what came of it: no route, no
  // answer; then an older version.
  auto says = [&](const wchar_t* what) { return PumpUntil([&] { return Text(box).find(what) == 0; }, 10000); };
  EXPECT_TRUE(says(L"Automatically check for updates [Last Check: ")) << Text(box);
  EXPECT_NE(std::wstring::npos, Text(box).find(L", no answer from the update service]")) << Text(box);
  ASSERT_TRUE(server_.Route("00-update", "path /common/update.php\nstatus 200\nbody <update><version>0.1"
                                         "</version><info><en>x</en></info><files/></update>\n"));
  for (int click = 0; click < 2; ++click) SendMessageW(box, BM_CLICK, 0, 0);
  EXPECT_EQ(L"Automatically check for updates [checking now...]", Text(box));
  EXPECT_TRUE(PumpUntil([&] { return Text(box).find(L", this is the latest version]") != std::wstring::npos; }));
  ASSERT_TRUE(Close());
  EXPECT_EQ(0, fixture_.ReadNumber(L"Flags") & 1);
}

TEST(ProblemReporterHookTest, ConfiguresTheProcessReporter) {
  ConfigureProblemReporter();  // no reporter yet: nothing to configure, nothing fails
  {
    CrashReporter reporter;
    ASSERT_EQ(&reporter, CrashReporter::Instance());
    EXPECT_TRUE(reporter.ReportHost().IsEmpty());
    ConfigureProblemReporter();
    EXPECT_EQ(101, reporter.IconId());
    EXPECT_STREQ(ReportServiceHost(), reporter.ReportHost().CStr());
    EXPECT_FALSE(reporter.ReportHost().IsEmpty());
    EXPECT_STREQ(L"/services/tindle/report.php", reporter.ReportPath().CStr());
    EXPECT_STREQ(L"Pellton", reporter.ProductId().CStr());  // the version block's InternalName
  }
  EXPECT_EQ(nullptr, CrashReporter::Instance());
}

}  // namespace
