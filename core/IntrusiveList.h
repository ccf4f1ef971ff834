// A doubly linked list whose links live inside its items, guarded by a
// recursive lock. Membership costs no allocation.
#pragma once

#include "core/CriticalSection.h"

// Base of everything kept in an IntrusiveList. The list threads its links
// through next and previous; the item owns nothing else. A plain ListItem
// with no payload serves as a marker.
class ListItem {
public:
  ListItem() = default;
  virtual ~ListItem() = default;
  ListItem(const ListItem&) = delete;
  ListItem& operator=(const ListItem&) = delete;

  ListItem* next = nullptr;
  ListItem* previous = nullptr;
  // The list the item is linked into, or none. Set and cleared by the list.
  const class IntrusiveList* owner = nullptr;
};

class IntrusiveList {
public:
  IntrusiveList() = default;
  ~IntrusiveList() = default;  // the owner clears the items; Destroy frees the lock
  IntrusiveList(const IntrusiveList&) = delete;
  IntrusiveList& operator=(const IntrusiveList&) = delete;

  // Empties the links (without deleting anything) and makes the lock usable.
  void Init();
  // For callers that walk the list with First and Next.
  void Lock();
  void Unlock();
  ListItem* First() const { return first_; }
  ListItem* Last() const { return last_; }
  ListItem* Next(const ListItem* item) const { return item ? item->next : nullptr; }
  // Appends at the tail. An item that is none or already linked into a list
  // (this one or another, also as its only member) is refused with 0:
  // linking it twice would tear both chains apart.
  int PushBack(ListItem* item);
  // Puts the item right behind the head (at the head of an empty list),
  // with the same refusals as PushBack.
  int PushAfterFirst(ListItem* item);
  // 1 if the item was a member and is now unlinked (not deleted); 0 otherwise,
  // and nothing changes.
  int Remove(ListItem* item);
  // Removes and deletes every item through its virtual destructor.
  void Clear();
  // Deletes the lock; the list is unusable until the next Init.
  void Destroy();

private:
  CriticalSection lock_;
  ListItem* first_ = nullptr;
  ListItem* last_ = nullptr;
};
