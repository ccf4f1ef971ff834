#include "core/WorkerThread.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

struct Shared {
  Event go;
  HWND window = nullptr;
  volatile LONG calls = 0;
  volatile LONG sentAnswered = 0;
};

DWORD ReturnSum(void* argument, DWORD second) {
  Shared* shared = static_cast<Shared*>(argument);
  InterlockedIncrement(&shared->calls);
  return second + 100;
}

DWORD WaitForGoThenReturn(void* argument, DWORD second) {
  static_cast<Shared*>(argument)->go.Wait(Event::Infinite);
  return second;
}

WorkerThread* g_polled = nullptr;

DWORD PollForStop(void* argument, DWORD) {
  static_cast<Shared*>(argument)->go.Set();
  // Routines poll the request to end early.
  while (!g_polled->StopRequested()) SwitchToThread();
  return 7;
}

TEST(WorkerThreadTest, RunsTheRoutineWithItsArgumentsAndKeepsTheResult) {
  Shared shared;
  WorkerThread thread;
  DWORD result = 1;
  EXPECT_EQ(1, thread.HasEnded(&result));  // never started
  ASSERT_EQ(1, thread.Start(ReturnSum, &shared, 23));
  thread.Join(Event::Infinite);  // 1, or 0 if it had already ended
  EXPECT_EQ(1, thread.HasEnded(&result));
  EXPECT_EQ(123u, result);
  EXPECT_EQ(1, shared.calls);
  EXPECT_EQ(0, thread.Join(0));  // no longer running
  EXPECT_EQ(0, thread.JoinPumping(0));
}

DWORD ReturnSecond(void*, DWORD second) { return second; }

TEST(WorkerThreadTest, WhoeverSeesTheEndAlsoSeesTheResult) {
  // Polled from another thread, the end and the result must arrive together:
  // a poll that catches the thread just as it stops running must not read the
  // result of the run before.
  WorkerThread thread;
  int stale = 0;
  for (DWORD run = 1; run <= 1000; ++run) {
    ASSERT_EQ(1, thread.Start(ReturnSecond, nullptr, run));
    DWORD result = 0;
    while (!thread.HasEnded(&result)) {
    }
    if (result != run) ++stale;
  }
  EXPECT_EQ(0, stale);
}

TEST(WorkerThreadTest, ASecondStartWhileRunningIsRefusedAndAStartAfterTheEndWorks) {
  Shared shared;
  ASSERT_EQ(1, shared.go.Create(1, 0));
  WorkerThread thread;
  ASSERT_EQ(1, thread.Start(WaitForGoThenReturn, &shared, 5));
  EXPECT_EQ(0, thread.HasEnded());
  EXPECT_EQ(0, thread.Start(WaitForGoThenReturn, &shared, 6));
  shared.go.Set();
  thread.Join(0);
  DWORD result = 0;
  ASSERT_EQ(1, thread.HasEnded(&result));
  EXPECT_EQ(5u, result);
  ASSERT_EQ(1, thread.Start(ReturnSum, &shared, 1));
  thread.Join(0);
  ASSERT_EQ(1, thread.HasEnded(&result));
  EXPECT_EQ(101u, result);
}

TEST(WorkerThreadTest, AStopRequestIsSeenByTheRoutineOnlyWhileRunning) {
  Shared shared;
  ASSERT_EQ(1, shared.go.Create(1, 0));
  WorkerThread thread;
  g_polled = &thread;
  EXPECT_EQ(0, thread.RequestStop());  // not running
  ASSERT_EQ(1, thread.Start(PollForStop, &shared, 0));
  shared.go.Wait(Event::Infinite);
  EXPECT_EQ(0, thread.StopRequested());
  EXPECT_EQ(1, thread.RequestStop());
  thread.Join(0);
  DWORD result = 0;
  ASSERT_EQ(1, thread.HasEnded(&result));
  EXPECT_EQ(7u, result);
  EXPECT_EQ(0, thread.StopRequested());  // ended: no longer reported
  // A new start clears the request.
  ASSERT_EQ(1, thread.Start(WaitForGoThenReturn, &shared, 0));
  EXPECT_EQ(0, thread.StopRequested());
  thread.Join(0);
  EXPECT_EQ(1, thread.HasEnded());
}

TEST(WorkerThreadTest, JoiningWithATimeOutGivesZeroWhileTheThreadRuns) {
  Shared shared;
  ASSERT_EQ(1, shared.go.Create(1, 0));
  WorkerThread thread;
  ASSERT_EQ(1, thread.Start(WaitForGoThenReturn, &shared, 0));
  EXPECT_EQ(0, thread.Join(10));
  EXPECT_EQ(0, thread.JoinPumping(10));
  EXPECT_EQ(0, thread.HasEnded());
  shared.go.Set();
  thread.Join(0);
  EXPECT_EQ(1, thread.HasEnded());
}

TEST(WorkerThreadTest, DestroyingARunningThreadObjectEndsTheThread) {
  Shared shared;
  ASSERT_EQ(1, shared.go.Create(1, 0));  // never set
  WorkerThread* thread = new WorkerThread;
  ASSERT_EQ(1, thread->Start(WaitForGoThenReturn, &shared, 0));
  DWORD id = thread->ThreadId();
  delete thread;
  HANDLE handle = OpenThread(SYNCHRONIZE, FALSE, id);
  if (handle) {  // the id may already be gone with the thread
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(handle, 0));
    CloseHandle(handle);
  }
}

// Joins that keep the caller's messages flowing

const UINT kSent = WM_APP + 20;
const UINT kPosted = WM_APP + 21;

LRESULT CALLBACK JoinWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Shared* shared = reinterpret_cast<Shared*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (shared && message == kSent) {
    InterlockedIncrement(&shared->sentAnswered);
    return 1;
  }
  if (shared && message == kPosted) {
    shared->go.Set();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

DWORD SendToTheWindow(void* argument, DWORD) {
  Shared* shared = static_cast<Shared*>(argument);
  shared->go.Wait(Event::Infinite);
  // Blocks until the joining thread answers.
  return static_cast<DWORD>(SendMessageW(shared->window, kSent, 0, 0));
}

DWORD PostAndAwaitDispatch(void* argument, DWORD) {
  Shared* shared = static_cast<Shared*>(argument);
  PostMessageW(shared->window, kPosted, 0, 0);
  shared->go.Wait(Event::Infinite);  // set by the window procedure
  return 1;
}

class JoinPumpingTest : public ::testing::Test {
protected:
  void SetUp() override {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = JoinWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"PelltonJoinTest";
    RegisterClassW(&windowClass);
    shared.window = CreateWindowW(L"PelltonJoinTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, shared.window);
    SetWindowLongPtrW(shared.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&shared));
    ASSERT_EQ(1, shared.go.Create(1, 0));
  }
  void TearDown() override {
    DestroyWindow(shared.window);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  Shared shared;
};

TEST_F(JoinPumpingTest, MessagesPostedByTheThreadAreDispatchedDuringTheJoin) {
  WorkerThread thread;
  ASSERT_EQ(1, thread.Start(PostAndAwaitDispatch, &shared, 0));
  EXPECT_EQ(1, thread.JoinPumping(0));
  EXPECT_EQ(1, thread.HasEnded());
}

TEST_F(JoinPumpingTest, AQuitDoesNotCutTheJoinShortAndStaysQueued) {
  WorkerThread thread;
  ASSERT_EQ(1, thread.Start(SendToTheWindow, &shared, 0));
  PostQuitMessage(4);
  shared.go.Set();
  EXPECT_EQ(1, thread.JoinPumping(Event::Infinite));
  DWORD result = 0;
  ASSERT_EQ(1, thread.HasEnded(&result));
  EXPECT_EQ(1u, result);  // the thread's message was answered
  EXPECT_EQ(1, shared.sentAnswered);
  MSG message;
  ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(4u, message.wParam);
}

}  // namespace
