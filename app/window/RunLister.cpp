#include "app/window/RunLister.h"

#include <utility>

namespace {

struct ListingItem : ListItem {
  WideString address;
  int table = 0;
  HWND window = nullptr;
  UINT message = 0;
  unsigned ticket = 0;
};

}  // namespace

int RunLister::Start(ActivityStore& store) {
  store_ = &store;
  return worker_.Start(Handle, this);
}

int RunLister::Request(const wchar_t* address, int table, HWND window, UINT message, unsigned ticket) {
  Slot* slot = SlotOf(table);
  if (!slot || !address) return 0;
  ListingItem* item = new ListingItem;
  item->table = table;
  item->window = window;
  item->message = message;
  item->ticket = ticket;
  if (!item->address.Assign(address)) {
    delete item;
    return 0;
  }
  ListItem* older = nullptr;
  {
    SectionLock hold(lock_);
    slot->newest = ticket;
    slot->wanted = true;
    slot->done = false;
    slot->runs.clear();
    older = slot->held;
    slot->held = item;
  }
  delete older;
  if (PostMessageW(window, message, 0, 0)) return 1;
  // Nobody would release it: it is queued at once.
  return Release(table);
}

int RunLister::Release(int table) {
  Slot* slot = SlotOf(table);
  if (!slot) return 0;
  ListItem* item = nullptr;
  {
    SectionLock hold(lock_);
    item = slot->held;
    slot->held = nullptr;
  }
  if (!item || worker_.Post(item)) return 1;
  delete item;
  Drop(table);
  return 0;
}

void RunLister::DropHeld() {
  for (Slot& slot : slots_) {
    ListItem* item = nullptr;
    {
      SectionLock hold(lock_);
      item = slot.held;
      slot.held = nullptr;
    }
    delete item;
  }
}

int RunLister::Take(int table, unsigned ticket, std::vector<StoredRun>& runs) {
  Slot* slot = SlotOf(table);
  if (!slot) return 0;
  SectionLock hold(lock_);
  if (!slot->wanted || !slot->done || slot->newest != ticket) return 0;
  runs = std::move(slot->runs);
  slot->runs = std::vector<StoredRun>();
  slot->wanted = slot->done = false;
  return slot->failed ? -1 : 1;
}

void RunLister::Drop(int table) {
  Slot* slot = SlotOf(table);
  if (!slot) return;
  SectionLock hold(lock_);
  slot->wanted = slot->done = false;
  slot->runs = std::vector<StoredRun>();
}

bool RunLister::Outstanding() const {
  SectionLock hold(lock_);
  return slots_[0].wanted || slots_[1].wanted;
}

int RunLister::Stop(DWORD limitMs) {
  const int stopped = worker_.Stop(limitMs);
  DropHeld();
  return stopped;
}

DWORD RunLister::Handle(int phase, ListItem* item, void* self) {
  if (phase == PhaseItem) static_cast<RunLister*>(self)->Run(item);
  return 1;
}

void RunLister::Run(ListItem* listItem) {
  const ListingItem* item = static_cast<const ListingItem*>(listItem);
  Slot& slot = slots_[item->table];
  {
    SectionLock hold(lock_);
    if (!slot.wanted || item->ticket != slot.newest) return;  // overtaken: its page waits for the newer one
  }
  std::vector<StoredRun> runs;
  const int listed = store_->ListRunsOf(item->address.CStr(), item->table, runs);
  {
    SectionLock hold(lock_);
    if (!slot.wanted || item->ticket != slot.newest) return;
    slot.runs = std::move(runs);
    slot.failed = !listed;
    slot.done = true;
  }
  PostMessageW(item->window, item->message, item->ticket, 0);
}
