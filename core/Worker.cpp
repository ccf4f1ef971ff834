#include "core/Worker.h"

Worker::~Worker() {
  Stop();
  queue_.Destroy();
}

int Worker::Start(WorkerHandler handler, void* userValue) {
  if (!thread_.HasEnded()) return 0;  // already running: its queue stays as it is
  if (!handler) return 0;
  handler_ = handler;
  userValue_ = userValue;
  if (!wake_.Create(Event::AutoReset, Event::StartsUnsignalled)) return 0;
  // Items queued before a thread that ended by itself stay queued for this
  // one; only Stop empties the queue.
  if (!queueReady_) {
    queue_.Init();
    queueReady_ = true;
  }
  queue_.Lock();
  bool waiting = queue_.First() != nullptr;
  queue_.Unlock();
  if (!thread_.Start(Loop, this, 0)) return 0;
  if (waiting) wake_.Set();
  return 1;
}

int Worker::Post(ListItem* item) {
  if (!item) return 0;
  if (thread_.HasEnded()) return 0;
  if (!queue_.PushBack(item)) return 0;
  wake_.Set();
  return 1;
}

int Worker::PostFirst(ListItem* item) {
  if (!item || thread_.HasEnded()) return 0;
  // The running item stays at the head until it has run: the new one goes
  // right behind it.
  if (!queue_.PushAfterFirst(item)) return 0;
  wake_.Set();
  return 1;
}

int Worker::Stop(DWORD limitMs) {
  ListItem* marker = new ListItem;
  thread_.RequestStop();
  if (!Post(marker)) delete marker;
  // Returns only once the thread has ended (or the limit passed), even when
  // a WM_QUIT arrives meanwhile, so no handler can run against what is torn
  // down below.
  thread_.JoinPumping(limitMs);
  if (!thread_.HasEnded()) return 0;
  wake_.Close();
  if (queueReady_) queue_.Clear();  // the marker and every operation never run
  queue_.Destroy();
  queueReady_ = false;
  return 1;
}

DWORD Worker::Loop(void* self, DWORD) { return static_cast<Worker*>(self)->Run(); }

ListItem* Worker::Head() {
  queue_.Lock();
  ListItem* item = queue_.First();
  queue_.Unlock();
  return item;
}

DWORD Worker::AwaitPost(DWORD timeoutMs) {
  for (;;) {
    DWORD result = WaitForSingleObjectEx(wake_.Handle(), timeoutMs, TRUE);
    if (result != WAIT_IO_COMPLETION) return result;  // an APC ran: wait again
  }
}

DWORD Worker::Run() {
  wakeAfter_ = Event::Infinite;
  if (!handler_(PhaseStart, nullptr, userValue_)) return 0;
  while (!thread_.StopRequested()) {
    DWORD waited = AwaitPost(wakeAfter_);
    if (waited == WAIT_TIMEOUT) {
      if (thread_.StopRequested()) break;
      wakeAfter_ = Event::Infinite;
      handler_(PhaseIdle, nullptr, userValue_);
      continue;
    }
    if (waited != WAIT_OBJECT_0) break;
    // Several posts may share one wake-up: take everything queued, in order.
    while (ListItem* item = Head()) {
      if (thread_.StopRequested()) break;
      wakeAfter_ = Event::Infinite;
      if (!handler_(PhaseItem, item, userValue_)) break;
      queue_.Remove(item);
      delete item;
    }
  }
  handler_(PhaseEnd, nullptr, userValue_);
  return 0;
}
