#include "core/Event.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(EventTest, WaitWithAShortTimeOutAndNoSignalGivesZero) {
  Event event;
  ASSERT_EQ(1, event.Create(0, 0));
  EXPECT_EQ(0, event.Wait(0));
  EXPECT_EQ(0, event.Wait(15));
}

TEST(EventTest, AnAutoResetEventReleasesOneWaitAndAManualOneStaysSet) {
  Event automatic;
  ASSERT_EQ(1, automatic.Create(0, 1));
  EXPECT_EQ(1, automatic.Wait(0));
  EXPECT_EQ(0, automatic.Wait(0));
  Event manual;
  ASSERT_EQ(1, manual.Create(1, 0));
  EXPECT_EQ(1, manual.Set());
  EXPECT_EQ(1, manual.Wait(0));
  EXPECT_EQ(1, manual.Wait(0));
  EXPECT_EQ(1, manual.Reset());
  EXPECT_EQ(0, manual.Wait(0));
}

TEST(EventTest, WithoutAHandleEveryOperationFails) {
  Event event;
  EXPECT_EQ(nullptr, event.Handle());
  EXPECT_EQ(0, event.Set());
  EXPECT_EQ(0, event.Reset());
  EXPECT_EQ(0, event.Wait(0));
  EXPECT_EQ(0, event.WaitPumping(0));
  EXPECT_EQ(0, event.Close());
  ASSERT_EQ(1, event.Create(1, 1));
  EXPECT_EQ(1, event.Close());
  EXPECT_EQ(0, event.Close());
  EXPECT_EQ(0, event.Wait(0));
}

TEST(EventTest, CreateAgainReplacesTheHandle) {
  Event event;
  ASSERT_EQ(1, event.Create(1, 1));
  ASSERT_EQ(1, event.Create(1, 0));
  EXPECT_EQ(0, event.Wait(0));  // the new, unsignalled event
}

TEST(EventTest, InfiniteWaitReturnsWhenAnotherThreadSignals) {
  Event event;
  ASSERT_EQ(1, event.Create(0, 0));
  volatile LONG setterRan = 0;
  std::thread setter([&] {
    InterlockedExchange(&setterRan, 1);
    event.Set();
  });
  EXPECT_EQ(1, event.Wait(Event::Infinite));
  EXPECT_EQ(1, setterRan);
  setter.join();
}

struct ApcState {
  Event* ran;
  volatile LONG count;
};

void CALLBACK CountingApc(ULONG_PTR parameter) {
  ApcState* state = reinterpret_cast<ApcState*>(parameter);
  InterlockedIncrement(&state->count);
  state->ran->Set();
}

TEST(EventTest, AnApcDuringTheWaitRestartsItUntilTheEventIsSignalled) {
  Event target;
  Event apcRan;
  ASSERT_EQ(1, target.Create(1, 0));
  ASSERT_EQ(1, apcRan.Create(1, 0));
  ApcState state = {&apcRan, 0};
  HANDLE self = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, 0,
                              FALSE, DUPLICATE_SAME_ACCESS));
  std::thread helper([&] {
    QueueUserAPC(CountingApc, self, reinterpret_cast<ULONG_PTR>(&state));
    // Only once the APC has run on the waiting thread is the event set.
    apcRan.Wait(Event::Infinite);
    target.Set();
  });
  EXPECT_EQ(1, target.Wait(Event::Infinite));
  EXPECT_EQ(1, state.count);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(target.Handle(), 0));
  helper.join();
  CloseHandle(self);
}

TEST(EventTest, AnApcDuringATimedWaitRestartsItToo) {
  Event target;
  Event apcRan;
  ASSERT_EQ(1, target.Create(0, 0));
  ASSERT_EQ(1, apcRan.Create(1, 0));
  ApcState state = {&apcRan, 0};
  HANDLE self = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, 0,
                              FALSE, DUPLICATE_SAME_ACCESS));
  std::thread helper([&] {
    QueueUserAPC(CountingApc, self, reinterpret_cast<ULONG_PTR>(&state));
    apcRan.Wait(Event::Infinite);
    target.Set();
  });
  EXPECT_EQ(1, target.Wait(60000));
  EXPECT_EQ(1, state.count);
  helper.join();
  CloseHandle(self);
}

TEST(EventTest, AGlobalNamedEventCanBeOpenedUnderTheGlobalName) {
  wchar_t name[64];
  _snwprintf(name, 64, L"PelltonEventTest-%lu", GetCurrentProcessId());
  wchar_t globalName[80];
  _snwprintf(globalName, 80, L"Global\\%s", name);
  Event event;
  ASSERT_EQ(1, event.Create(1, 0, name, 1));
  HANDLE opened = OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, globalName);
  ASSERT_NE(nullptr, opened);
  SetEvent(opened);
  EXPECT_EQ(1, event.Wait(0));
  CloseHandle(opened);
}

TEST(EventTest, ALocalNamedEventKeepsItsPlainName) {
  wchar_t name[64];
  _snwprintf(name, 64, L"PelltonLocalEventTest-%lu", GetCurrentProcessId());
  Event event;
  ASSERT_EQ(1, event.Create(1, 0, name, 0));
  HANDLE opened = OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name);
  ASSERT_NE(nullptr, opened);
  SetEvent(opened);
  EXPECT_EQ(1, event.Wait(0));
  CloseHandle(opened);
}

// WaitPumping

const UINT kTestMessage = WM_APP + 7;
const UINT kSetMessage = WM_APP + 8;

struct PumpWindow {
  HWND window = nullptr;
  int dispatched = 0;
  Event* toSet = nullptr;
};

LRESULT CALLBACK PumpWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  PumpWindow* self = reinterpret_cast<PumpWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self && message == kTestMessage) {
    ++self->dispatched;
    return 0;
  }
  if (self && message == kSetMessage) {
    ++self->dispatched;
    self->toSet->Set();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

class WaitPumpingTest : public ::testing::Test {
protected:
  void SetUp() override {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = PumpWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"PelltonPumpTest";
    RegisterClassW(&windowClass);
    pump.window = CreateWindowW(L"PelltonPumpTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, pump.window);
    SetWindowLongPtrW(pump.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&pump));
    ASSERT_EQ(1, event.Create(0, 0));
    pump.toSet = &event;
  }
  void TearDown() override {
    DestroyWindow(pump.window);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  PumpWindow pump;
  Event event;
};

TEST_F(WaitPumpingTest, MessagesPostedWhileWaitingAreDispatched) {
  std::thread poster([&] {
    PostMessageW(pump.window, kTestMessage, 0, 0);
    PostMessageW(pump.window, kTestMessage, 0, 0);
    // Handled on the waiting thread, this one ends the wait.
    PostMessageW(pump.window, kSetMessage, 0, 0);
  });
  EXPECT_EQ(1, event.WaitPumping(Event::Infinite));
  poster.join();
  EXPECT_EQ(3, pump.dispatched);
}

TEST_F(WaitPumpingTest, AnAlreadySignalledEventStillDispatchesWaitingMessagesFirst) {
  PostMessageW(pump.window, kTestMessage, 0, 0);
  event.Set();
  EXPECT_EQ(1, event.WaitPumping(Event::Infinite));
  EXPECT_EQ(1, pump.dispatched);
}

TEST_F(WaitPumpingTest, WithoutASignalItTimesOutWithZero) {
  EXPECT_EQ(0, event.WaitPumping(15));
  EXPECT_EQ(0, event.WaitPumping(0));
}

TEST_F(WaitPumpingTest, AQuitMessageEndsTheWaitAndIsPostedAgain) {
  PostMessageW(pump.window, kTestMessage, 0, 0);
  PostQuitMessage(7);
  EXPECT_EQ(0, event.WaitPumping(Event::Infinite));
  EXPECT_EQ(1, pump.dispatched);
  MSG message;
  ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(7u, message.wParam);
}

TEST_F(WaitPumpingTest, AQuitPostedFromAnotherThreadEndsAnInfiniteWait) {
  DWORD waiter = GetCurrentThreadId();
  std::thread poster([&] { PostThreadMessageW(waiter, WM_QUIT, 3, 0); });
  EXPECT_EQ(0, event.WaitPumping(Event::Infinite));
  poster.join();
  MSG message;
  ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(3u, message.wParam);
}

// A clock that jumps far ahead after its first reading.
unsigned long long g_clockReadings = 0;
unsigned long long JumpingClock() { return g_clockReadings++ == 0 ? 1000 : 1000000; }

TEST_F(WaitPumpingTest, APassedDeadlineEndsTheWaitBeforeDispatchingAnything) {
  PostMessageW(pump.window, kTestMessage, 0, 0);
  g_clockReadings = 0;
  EXPECT_EQ(0, event.WaitPumping(50, JumpingClock));
  EXPECT_EQ(0, pump.dispatched);
  MSG message;
  EXPECT_TRUE(PeekMessageW(&message, pump.window, kTestMessage, kTestMessage, PM_NOREMOVE));
}

// A clock that advances a millisecond a reading; a message posting itself again.
unsigned long long g_tick = 0;
unsigned long long CountingClock() { return ++g_tick; }
LRESULT CALLBACK Reposting(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_APP + 9) return DefWindowProcW(window, message, wParam, lParam);
  if (wParam < 1000) PostMessageW(window, message, wParam + 1, 0);
  return SetWindowLongPtrW(window, GWLP_USERDATA, static_cast<LONG_PTR>(wParam + 1));
}

TEST_F(WaitPumpingTest, AQueueThatNeverEmptiesStillEndsTheWaitAtItsDeadline) {
  SetWindowLongPtrW(pump.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Reposting));
  PostMessageW(pump.window, WM_APP + 9, 0, 0);
  EXPECT_EQ(0, event.WaitPumping(50, CountingClock));  // and one message a millisecond:
  EXPECT_LE(GetWindowLongPtrW(pump.window, GWLP_USERDATA), 51);
  event.Set();  // nor hides an event that is set
  EXPECT_EQ(1, event.WaitPumping(50, CountingClock));
}

unsigned long long g_stoppedClockReadings = 0;
unsigned long long StoppedClock() {
  ++g_stoppedClockReadings;
  return 5000;
}

TEST_F(WaitPumpingTest, TheInfiniteTimeOutNeverReadsTheClockForADeadline) {
  g_stoppedClockReadings = 0;
  event.Set();
  EXPECT_EQ(1, event.WaitPumping(Event::Infinite, StoppedClock));
  EXPECT_EQ(1u, g_stoppedClockReadings);  // only the deadline computation
}

}  // namespace

namespace {

TEST_F(WaitPumpingTest, WaitingAnsweringSentMessagesLeavesPostedOnesQueued) {
  PostMessageW(pump.window, kTestMessage, 0, 0);
  PostQuitMessage(2);
  std::thread sender([&] {
    // Handled on the waiting thread: it sets the event from there.
    SendMessageW(pump.window, kSetMessage, 0, 0);
  });
  EXPECT_EQ(1, event.WaitAnsweringSent(Event::Infinite));
  sender.join();
  EXPECT_EQ(1, pump.dispatched);  // only the sent message
  MSG message;
  EXPECT_TRUE(PeekMessageW(&message, pump.window, kTestMessage, kTestMessage, PM_NOREMOVE));
  ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(2u, message.wParam);
}

TEST_F(WaitPumpingTest, WaitingAnsweringSentMessagesTimesOut) {
  EXPECT_EQ(0, event.WaitAnsweringSent(10));
}

}  // namespace
