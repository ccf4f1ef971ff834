// The progress bar on a real progress control: range, step and position,
// the control's own marquee, the timer emulation where the control has no
// marquee, and the taskbar mirror through a recording taskbar object
// registered for the TaskbarList class in this process.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shobjidl.h>

#include <vector>

#include "core/ComApartment.h"
#include "tests/ui/ControlTestSupport.h"
#include "ui/ProgressBar.h"

namespace {

const int BarId = 1011;
const CLSID TaskbarListClass = {
    0x56FDF344, 0xFD6D, 0x11D0, {0x95, 0x8A, 0x00, 0x60, 0x97, 0xC9, 0xA0, 0x90}};

// Writes down what the bar asks of the taskbar.
class RecordingTaskbar : public ITaskbarList3 {
public:
  struct Value {
    HWND window;
    ULONGLONG completed;
    ULONGLONG total;
  };
  LONG references = 0;
  int initialised = 0;
  std::vector<std::pair<HWND, TBPFLAG>> states;
  std::vector<Value> values;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_ITaskbarList || iid == IID_ITaskbarList2 ||
        iid == IID_ITaskbarList3) {
      *out = static_cast<ITaskbarList3*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references); }
  HRESULT STDMETHODCALLTYPE HrInit() override {
    ++initialised;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE AddTab(HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeleteTab(HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ActivateTab(HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetActiveAlt(HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE MarkFullscreenWindow(HWND, WINBOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetProgressValue(HWND window, ULONGLONG completed,
                                             ULONGLONG total) override {
    values.push_back(Value{window, completed, total});
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetProgressState(HWND window, TBPFLAG state) override {
    states.emplace_back(window, state);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE RegisterTab(HWND, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE UnregisterTab(HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetTabOrder(HWND, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetTabActive(HWND, HWND, DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ThumbBarAddButtons(HWND, UINT, LPTHUMBBUTTON) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ThumbBarUpdateButtons(HWND, UINT, LPTHUMBBUTTON) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ThumbBarSetImageList(HWND, HIMAGELIST) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetOverlayIcon(HWND, HICON, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetThumbnailTooltip(HWND, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetThumbnailClip(HWND, RECT*) override { return S_OK; }
};

// Hands out the one recording taskbar.
class TaskbarFactory : public IClassFactory {
public:
  explicit TaskbarFactory(RecordingTaskbar* taskbar) : taskbar_(taskbar) {}
  int created = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (outer) return CLASS_E_NOAGGREGATION;
    ++created;
    return taskbar_->QueryInterface(iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(WINBOOL) override { return S_OK; }

private:
  RecordingTaskbar* taskbar_;
};

class ProgressBarTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(1, apartment_.Init());
    ASSERT_EQ(S_OK, CoRegisterClassObject(TaskbarListClass, &factory_, CLSCTX_INPROC_SERVER,
                                          REGCLS_MULTIPLEUSE, &cookie_));
    ASSERT_TRUE(dialog_.Create(200, 100, false) != nullptr);
    control_ = dialog_.AddChild(PROGRESS_CLASSW, 0, BarId, 10, 10, 150, 16);
    ASSERT_TRUE(control_ != nullptr);
  }
  void TearDown() override {
    bar_.Detach();
    dialog_.Close(0);
    CoRevokeClassObject(cookie_);
  }

  int Position() { return static_cast<int>(SendMessageW(control_, PBM_GETPOS, 0, 0)); }
  ComApartment apartment_;
  RecordingTaskbar taskbar_;
  TaskbarFactory factory_{&taskbar_};
  DWORD cookie_ = 0;
  controltest::HostDialog dialog_;
  HWND control_ = nullptr;
  ProgressBar bar_;
};

TEST_F(ProgressBarTest, RangeStepAndPositionReachTheControl) {
  ASSERT_EQ(1, bar_.Attach(control_, ProgressBarNoTaskbar));
  EXPECT_FALSE(bar_.HasTaskbar());
  EXPECT_EQ(0, factory_.created);
  ASSERT_EQ(1, bar_.SetRange(0, 100, 1));
  ASSERT_EQ(1, bar_.SetPosition(42));
  EXPECT_EQ(42, Position());
  PBRANGE range = {};
  SendMessageW(control_, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(0, range.iLow);
  EXPECT_EQ(100, range.iHigh);
  // Ranges beyond 16 bits arrive whole through PBM_SETRANGE32.
  ASSERT_EQ(1, bar_.SetRange(-5, 70000, 7));
  SendMessageW(control_, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(-5, range.iLow);
  EXPECT_EQ(70000, range.iHigh);
  bar_.SetPosition(0);
  SendMessageW(control_, PBM_STEPIT, 0, 0);
  EXPECT_EQ(7, Position());
  EXPECT_TRUE(taskbar_.values.empty());
}

TEST_F(ProgressBarTest, TheControlsOwnMarqueeIsUsedWhenItHasOne) {
  ASSERT_EQ(1, bar_.Attach(control_, ProgressBarNoTaskbar));
  ASSERT_EQ(1, bar_.SetMarquee(30));
  EXPECT_TRUE(GetWindowLongW(control_, GWL_STYLE) & PBS_MARQUEE);
  EXPECT_FALSE(bar_.Emulating());
  ASSERT_EQ(1, bar_.SetMarquee(0));
  EXPECT_FALSE(GetWindowLongW(control_, GWL_STYLE) & PBS_MARQUEE);
}

TEST_F(ProgressBarTest, WithoutMarqueeSupportATimerStepsAShortRangeThatWraps) {
  controltest::MessageSpy spy(control_);
  int ticks = 0;
  spy.answer = [&ticks](UINT message, WPARAM, LPARAM, LRESULT* result) {
    if (message == PBM_STEPIT) ++ticks;  // one step per tick of the emulation timer
    if (message != PBM_SETMARQUEE) return false;
    *result = 0;  // as a control without marquee answers
    return true;
  };
  ASSERT_EQ(1, bar_.Attach(control_, 0));
  ASSERT_EQ(1, bar_.SetMarquee(30));
  EXPECT_TRUE(bar_.Emulating());
  EXPECT_EQ(0, bar_.Low());
  EXPECT_EQ(40, bar_.High());
  EXPECT_EQ(1, bar_.Step());
  PBRANGE range = {};
  SendMessageW(control_, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(40, range.iHigh);

  // A slow pump may see two ticks at once, so the steps are counted rather than paced.
  ASSERT_TRUE(PumpUntil([&] { return ticks >= 45; }));
  const int steps = ticks;
  EXPECT_EQ((steps - 1) % 40 + 1, Position());

  // The taskbar value follows each step, round past the high end back to one.
  ASSERT_EQ(static_cast<size_t>(steps), taskbar_.values.size());
  for (int i = 0; i < steps; ++i) {
    EXPECT_EQ(static_cast<ULONGLONG>(i % 40 + 1), taskbar_.values[i].completed) << "step " << i;
    EXPECT_EQ(40u, taskbar_.values[i].total);
  }

  ASSERT_EQ(1, bar_.SetMarquee(0));
  EXPECT_FALSE(bar_.Emulating());
  EXPECT_FALSE(GetWindowLongW(control_, GWL_STYLE) & PBS_MARQUEE);
}

TEST_F(ProgressBarTest, TheTaskbarButtonMirrorsTheBarWithoutRepeatingAState) {
  ASSERT_EQ(1, bar_.Attach(control_, 0));
  ASSERT_TRUE(bar_.HasTaskbar());
  EXPECT_EQ(1, factory_.created);
  EXPECT_EQ(1, taskbar_.initialised);
  const HWND window = dialog_.Window();

  bar_.SetMarquee(25);
  bar_.SetMarquee(25);
  ASSERT_EQ(1u, taskbar_.states.size());
  EXPECT_EQ(window, taskbar_.states[0].first);
  EXPECT_EQ(TBPF_INDETERMINATE, taskbar_.states[0].second);
  bar_.SetMarquee(0);
  ASSERT_EQ(2u, taskbar_.states.size());
  EXPECT_EQ(TBPF_NOPROGRESS, taskbar_.states[1].second);

  bar_.SetRange(10, 110, 5);
  bar_.SetPosition(60);
  ASSERT_EQ(1u, taskbar_.values.size());
  EXPECT_EQ(window, taskbar_.values[0].window);
  EXPECT_EQ(50u, taskbar_.values[0].completed);
  EXPECT_EQ(100u, taskbar_.values[0].total);

  bar_.SetMarquee(40);
  bar_.Detach();  // stops the marquee and lets the taskbar go
  ASSERT_EQ(4u, taskbar_.states.size());
  EXPECT_EQ(TBPF_NOPROGRESS, taskbar_.states[3].second);
  EXPECT_FALSE(GetWindowLongW(control_, GWL_STYLE) & PBS_MARQUEE);
  EXPECT_EQ(0, taskbar_.references);
}

TEST_F(ProgressBarTest, ABarOnAPageReportsToTheWindowThatOwnsTheTaskbarButton) {
  HWND page = CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0,
                              180, 60, dialog_.Window(), nullptr, GetModuleHandleW(nullptr), nullptr);
  HWND onPage = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 5, 5, 100, 12, page,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_EQ(1, bar_.Attach(onPage, 0));
  bar_.SetMarquee(10);
  ASSERT_EQ(1u, taskbar_.states.size());
  EXPECT_EQ(dialog_.Window(), taskbar_.states[0].first);
  bar_.Detach();
}

}  // namespace
