#include "core/Worker.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/CriticalSection.h"

namespace {

// What the handler saw, in order.
struct Record {
  CriticalSection lock;
  std::vector<int> handled;  // item values, in handling order
  volatile LONG starts = 0;
  volatile LONG ends = 0;
  volatile LONG destroyed = 0;
  volatile LONG sentAnswered = 0;
  volatile LONG refusals = 0;
  DWORD startResult = 1;
  LONG failingStarts = 0;  // the first this many start phases answer 0
  Event startGate;    // PhaseStart waits for it when created
  Event itemHandled;  // set after every handled item
  Worker* worker = nullptr;
  HWND window = nullptr;
};

class Item : public ListItem {
public:
  enum Action { Plain, BlockUntilReleased, PostFollowUp, RefuseOnce, SendThenFinish };
  Item(Record* record, int value, Action action = Plain) : record(record), value(value), action(action) {}
  ~Item() override { InterlockedIncrement(&record->destroyed); }
  Record* record;
  int value;
  Action action;
  int attempts = 0;
  Event* running = nullptr;   // set when the operation starts
  Event* release = nullptr;   // awaited by BlockUntilReleased and SendThenFinish
  Event* refused = nullptr;   // set when RefuseOnce refuses
  volatile LONG finished = 0;
};

const UINT kSent = WM_APP + 30;
const UINT kRelease = WM_APP + 31;

DWORD Handler(int phase, ListItem* listItem, void* userValue) {
  Record* record = static_cast<Record*>(userValue);
  if (phase == PhaseStart) {
    LONG start = InterlockedIncrement(&record->starts);
    if (record->startGate.Handle()) record->startGate.Wait(Event::Infinite);
    return start <= record->failingStarts ? 0 : record->startResult;
  }
  if (phase == PhaseEnd) {
    InterlockedIncrement(&record->ends);
    return 1;
  }
  Item* item = static_cast<Item*>(listItem);
  ++item->attempts;
  if (item->running) item->running->Set();
  switch (item->action) {
    case Item::Plain:
      break;
    case Item::BlockUntilReleased:
      item->release->Wait(Event::Infinite);
      break;
    case Item::PostFollowUp:
      EXPECT_EQ(1, record->worker->Post(new Item(record, item->value + 100)));
      break;
    case Item::RefuseOnce:
      if (item->attempts == 1) {
        InterlockedIncrement(&record->refusals);
        item->refused->Set();
        return 0;
      }
      break;
    case Item::SendThenFinish:
      item->release->Wait(Event::Infinite);
      SendMessageW(record->window, kSent, 0, 0);
      break;
  }
  {
    SectionLock hold(record->lock);
    record->handled.push_back(item->value);
  }
  InterlockedExchange(&item->finished, 1);
  record->itemHandled.Set();
  return 1;
}

struct WindowState {
  Record* record;
  Event* toRelease;
};

LRESULT CALLBACK WorkerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowState* state = reinterpret_cast<WindowState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (state && message == kSent) {
    InterlockedIncrement(&state->record->sentAnswered);
    return 1;
  }
  if (state && message == kRelease) {
    state->toRelease->Set();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

class WorkerTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(1, record.itemHandled.Create(0, 0));
    ASSERT_EQ(1, release.Create(1, 0));
    record.worker = &worker;
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WorkerWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"PelltonWorkerTest";
    RegisterClassW(&windowClass);
    window = CreateWindowW(L"PelltonWorkerTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, window);
    state = {&record, &release};
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    record.window = window;
  }
  void TearDown() override {
    worker.Stop();
    DestroyWindow(window);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  // Waits (bounded, as a guard against a hang) until count items are handled.
  void AwaitHandled(size_t count) {
    for (;;) {
      {
        SectionLock hold(record.lock);
        if (record.handled.size() >= count) return;
      }
      ASSERT_EQ(1, record.itemHandled.Wait(20000)) << "only " << record.handled.size() << " handled";
    }
  }
  std::vector<int> Handled() {
    SectionLock hold(record.lock);
    return record.handled;
  }

  Record record;
  Event release;
  WindowState state = {};
  HWND window = nullptr;
  Worker worker;  // last, so it stops before the rest goes
};

TEST_F(WorkerTest, PostBeforeStartIsRefusedAndTheItemStaysTheCallers) {
  Item* item = new Item(&record, 1);
  EXPECT_EQ(0, worker.Post(item));
  EXPECT_EQ(0, worker.Post(nullptr));
  EXPECT_EQ(0, record.destroyed);
  delete item;
}

TEST_F(WorkerTest, ThreeQuickPostsAreHandledInOrderOnOneWakeUp) {
  ASSERT_EQ(1, record.startGate.Create(1, 0));
  ASSERT_EQ(1, worker.Start(Handler, &record));
  // The thread is held in its start phase while all three are queued.
  for (int value = 1; value <= 3; ++value) ASSERT_EQ(1, worker.Post(new Item(&record, value)));
  record.startGate.Set();
  AwaitHandled(3);
  EXPECT_EQ((std::vector<int>{1, 2, 3}), Handled());
  // Still listening afterwards.
  ASSERT_EQ(1, worker.Post(new Item(&record, 4)));
  AwaitHandled(4);
  EXPECT_EQ(1, worker.Stop());
  EXPECT_EQ(4, record.destroyed);  // each deleted once handled
  EXPECT_EQ(1, record.starts);
}

TEST_F(WorkerTest, AnItemPostedByTheHandlerRunsRightAfterThoseAlreadyQueued) {
  ASSERT_EQ(1, record.startGate.Create(1, 0));
  ASSERT_EQ(1, worker.Start(Handler, &record));
  ASSERT_EQ(1, worker.Post(new Item(&record, 1, Item::PostFollowUp)));
  ASSERT_EQ(1, worker.Post(new Item(&record, 2)));
  ASSERT_EQ(1, worker.Post(new Item(&record, 3)));
  record.startGate.Set();
  AwaitHandled(4);
  EXPECT_EQ((std::vector<int>{1, 2, 3, 101}), Handled());
}

TEST_F(WorkerTest, AnItemTheHandlerRefusesStaysAtTheHeadUntilTheNextPost) {
  Event refused;
  ASSERT_EQ(1, refused.Create(1, 0));
  ASSERT_EQ(1, worker.Start(Handler, &record));
  Item* stubborn = new Item(&record, 1, Item::RefuseOnce);
  stubborn->refused = &refused;
  ASSERT_EQ(1, worker.Post(stubborn));
  ASSERT_EQ(1, refused.Wait(20000));
  EXPECT_EQ(0, record.destroyed);  // still queued
  ASSERT_EQ(1, worker.Post(new Item(&record, 2)));
  AwaitHandled(2);
  EXPECT_EQ((std::vector<int>{1, 2}), Handled());  // offered again, before the new one
  EXPECT_EQ(1, record.refusals);
}

TEST_F(WorkerTest, StopLetsTheRunningOperationFinishAndDeletesTheQueuedOnesUnrun) {
  Event running;
  ASSERT_EQ(1, running.Create(1, 0));
  ASSERT_EQ(1, worker.Start(Handler, &record));
  Item* first = new Item(&record, 1, Item::BlockUntilReleased);
  first->running = &running;
  first->release = &release;
  ASSERT_EQ(1, worker.Post(first));
  ASSERT_EQ(1, worker.Post(new Item(&record, 2)));
  ASSERT_EQ(1, worker.Post(new Item(&record, 3)));
  ASSERT_EQ(1, running.Wait(20000));
  // Dispatched by Stop's join, after the stop request: releases the first.
  PostMessageW(window, kRelease, 0, 0);
  EXPECT_EQ(1, worker.Stop());
  EXPECT_EQ((std::vector<int>{1}), Handled());
  EXPECT_EQ(1, record.ends);
  EXPECT_EQ(3, record.destroyed);  // the finished one and the two never run
  // Nothing more is accepted.
  Item* late = new Item(&record, 4);
  EXPECT_EQ(0, worker.Post(late));
  delete late;
}

TEST_F(WorkerTest, StopTwiceReturnsOneBothTimesAndDoesNothingTheSecondTime) {
  ASSERT_EQ(1, worker.Start(Handler, &record));
  ASSERT_EQ(1, worker.Post(new Item(&record, 1)));
  AwaitHandled(1);
  EXPECT_EQ(1, worker.Stop());
  EXPECT_EQ(1, worker.Stop());
  EXPECT_EQ(1, record.ends);
  EXPECT_EQ(1, record.destroyed);
}

TEST_F(WorkerTest, StopWithoutStartIsHarmless) {
  EXPECT_EQ(1, worker.Stop());
  EXPECT_EQ(0, record.starts);
  EXPECT_EQ(0, record.ends);
}

TEST_F(WorkerTest, AFailedStartPhaseEndsTheThreadWithoutTheEndPhase) {
  record.startResult = 0;
  ASSERT_EQ(1, worker.Start(Handler, &record));
  EXPECT_EQ(1, worker.Stop());
  EXPECT_EQ(1, record.starts);
  EXPECT_EQ(0, record.ends);
  Item* item = new Item(&record, 1);
  EXPECT_EQ(0, worker.Post(item));
  delete item;
}

TEST_F(WorkerTest, ItemsQueuedBeforeTheThreadEndedByItselfRunAfterTheNextStart) {
  record.failingStarts = 1;
  ASSERT_EQ(1, record.startGate.Create(1, 0));
  ASSERT_EQ(1, worker.Start(Handler, &record));
  // Accepted while the start phase still runs; then the thread gives up.
  ASSERT_EQ(1, worker.Post(new Item(&record, 1)));
  ASSERT_EQ(1, worker.Post(new Item(&record, 2)));
  record.startGate.Set();
  // Start answers 0 for as long as the first thread is still ending.
  int started = 0;
  for (int attempt = 0; attempt < 1000000 && !started; ++attempt) {
    started = worker.Start(Handler, &record);
    if (!started) SwitchToThread();
  }
  ASSERT_EQ(1, started);
  AwaitHandled(2);
  EXPECT_EQ((std::vector<int>{1, 2}), Handled());
  EXPECT_EQ(1, worker.Stop());
  EXPECT_EQ(2, record.starts);
  EXPECT_EQ(2, record.destroyed);
}

TEST_F(WorkerTest, AWorkerCanBeStartedAgainAfterStop) {
  ASSERT_EQ(1, worker.Start(Handler, &record));
  EXPECT_EQ(0, worker.Start(Handler, &record));  // already running
  EXPECT_EQ(1, worker.Stop());
  ASSERT_EQ(1, worker.Start(Handler, &record));
  ASSERT_EQ(1, worker.Post(new Item(&record, 8)));
  AwaitHandled(1);
  EXPECT_EQ(1, worker.Stop());
  EXPECT_EQ(2, record.starts);
  EXPECT_EQ(2, record.ends);
}

TEST_F(WorkerTest, AQuitDuringStopStillWaitsForTheOperationBeforeTearingDown) {
  Event running;
  ASSERT_EQ(1, running.Create(1, 0));
  ASSERT_EQ(1, worker.Start(Handler, &record));
  Item* first = new Item(&record, 1, Item::SendThenFinish);
  first->running = &running;
  first->release = &release;
  ASSERT_EQ(1, worker.Post(first));
  ASSERT_EQ(1, worker.Post(new Item(&record, 2)));
  ASSERT_EQ(1, running.Wait(20000));
  // The release is dispatched first, then the quit ends the pumping; the
  // operation then sends to this thread's window and must still be answered.
  PostMessageW(window, kRelease, 0, 0);
  PostQuitMessage(9);
  EXPECT_EQ(1, worker.Stop());
  EXPECT_EQ(1, record.sentAnswered);
  EXPECT_EQ((std::vector<int>{1}), Handled());
  EXPECT_EQ(1, record.ends);      // the end phase ran before Stop returned
  EXPECT_EQ(2, record.destroyed);
  MSG message;
  ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(9u, message.wParam);
}

TEST_F(WorkerTest, TheWorkerStopsWhenDestroyed) {
  Record* own = &record;
  {
    Worker local;
    ASSERT_EQ(1, local.Start(Handler, own));
    ASSERT_EQ(1, local.Post(new Item(own, 5)));
    AwaitHandled(1);
  }
  EXPECT_EQ(1, record.ends);
  EXPECT_EQ(1, record.destroyed);
}

}  // namespace
