#include "core/IntrusiveList.h"

void IntrusiveList::Init() {
  lock_.Initialise();
  first_ = nullptr;
  last_ = nullptr;
}

void IntrusiveList::Lock() { lock_.Enter(); }

void IntrusiveList::Unlock() { lock_.Leave(); }

int IntrusiveList::PushBack(ListItem* item) {
  if (!item) return 0;
  SectionLock hold(lock_);
  if (item->owner || item->next || item->previous || item == first_) return 0;
  item->owner = this;
  if (!first_) {
    first_ = item;
    last_ = item;
    return 1;
  }
  last_->next = item;
  item->previous = last_;
  last_ = item;
  return 1;
}

int IntrusiveList::PushAfterFirst(ListItem* item) {
  if (!item) return 0;
  SectionLock hold(lock_);
  if (!first_ || first_ == last_) return PushBack(item);
  if (item->owner || item->next || item->previous) return 0;
  item->owner = this;
  item->previous = first_;
  item->next = first_->next;
  first_->next->previous = item;
  first_->next = item;
  return 1;
}

int IntrusiveList::Remove(ListItem* item) {
  if (!item) return 0;
  SectionLock hold(lock_);
  if (item->owner != this) return 0;
  if (item->previous) item->previous->next = item->next;
  if (item->next) item->next->previous = item->previous;
  if (first_ == item) first_ = item->next;
  if (last_ == item) last_ = item->previous;
  item->next = nullptr;
  item->previous = nullptr;
  item->owner = nullptr;
  return 1;
}

void IntrusiveList::Clear() {
  SectionLock hold(lock_);
  while (ListItem* item = first_) {
    Remove(item);
    delete item;
  }
}

void IntrusiveList::Destroy() { lock_.Delete(); }
