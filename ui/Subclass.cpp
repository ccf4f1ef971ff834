#include "ui/Subclass.h"

#include <cwchar>
#include <map>
#include <new>
#include <utility>

#include "core/CriticalSection.h"

namespace {

// Tags get their slots on first use and keep them for the life of the
// process; a slot's tag never changes once set.
const unsigned SlotCount = 32;
volatile LONG slotTags[SlotCount];  // 0: free

void PropertyName(DWORD tag, wchar_t (&name)[40]) {
  swprintf(name, 40, L"_C_SubClassing_Property_%08X", static_cast<unsigned>(tag));
}

// The records the properties point to, by window and tag, for the lookup on
// every message: reading a window property can cost a round trip to the
// window server (two under Wine, with the name's atom), which made filling
// a subclassed list of thousands of items take seconds. The property stays
// the mark other code sees; this table only mirrors it.
class RecordTable {
public:
  void Set(HWND window, DWORD tag, Subclass* record) {
    SectionLock hold(lock_);
    records_[Key(window, tag)] = record;
  }
  void Remove(HWND window, DWORD tag) {
    SectionLock hold(lock_);
    records_.erase(Key(window, tag));
  }
  Subclass* Find(HWND window, DWORD tag) {
    SectionLock hold(lock_);
    auto found = records_.find(Key(window, tag));
    return found == records_.end() ? nullptr : found->second;
  }

private:
  typedef std::pair<HWND, DWORD> Key;
  CriticalSection lock_;
  std::map<Key, Subclass*> records_;
};

// Never destroyed: windows may still get messages while the process ends.
RecordTable& Records() {
  static RecordTable* table = new RecordTable;
  return *table;
}

int SetRecordProperty(HWND window, DWORD tag, Subclass* record) {
  wchar_t name[40];
  PropertyName(tag, name);
  if (!SetPropW(window, name, record)) return 0;
  Records().Set(window, tag, record);
  return 1;
}

void RemoveRecordProperty(HWND window, DWORD tag) {
  wchar_t name[40];
  PropertyName(tag, name);
  RemovePropW(window, name);
  Records().Remove(window, tag);
}

}  // namespace

template <unsigned Slot>
LRESULT CALLBACK Subclass::SlotProcedure(HWND window, UINT message, WPARAM wParam,
                                         LPARAM lParam) {
  return Dispatch(Slot, window, message, wParam, lParam);
}

template <unsigned... Slots>
const WNDPROC* Subclass::SlotTable(std::integer_sequence<unsigned, Slots...>) {
  static const WNDPROC table[] = {&Subclass::SlotProcedure<Slots>...};
  return table;
}

WNDPROC Subclass::ProcedureOfSlot(unsigned slot) {
  static const WNDPROC* table = SlotTable(std::make_integer_sequence<unsigned, SlotCount>());
  return slot < SlotCount ? table[slot] : nullptr;
}

int Subclass::SlotOfTag(DWORD tag, int assign) {
  if (tag == 0) return -1;
  for (unsigned slot = 0; slot < SlotCount; ++slot) {
    LONG held = slotTags[slot];
    if (held == static_cast<LONG>(tag)) return static_cast<int>(slot);
    if (held != 0) continue;
    if (!assign) return -1;
    LONG before = InterlockedCompareExchange(&slotTags[slot], static_cast<LONG>(tag), 0);
    if (before == 0 || before == static_cast<LONG>(tag)) return static_cast<int>(slot);
  }
  return -1;
}

Subclass* Subclass::RecordOf(HWND window, DWORD tag) { return Records().Find(window, tag); }

int Subclass::AttachSubclass(HWND window, SubclassHandler handler, void* user) {
  if (window_ || !window || !IsWindow(window)) return 0;
  wchar_t name[40];
  PropertyName(tag_, name);
  if (GetPropW(window, name)) {
    // A property this process's table does not know was set by other code:
    // the subclass in place stays.
    Subclass* held = RecordOf(window, tag_);
    if (!held || !held->passThrough_) return 0;
    // This tag's procedure is still in the chain below another component's
    // subclass, passing messages on: this record takes its place there.
    if (!SetRecordProperty(window, tag_, this)) return 0;
    window_ = window;
    handler_ = handler;
    user_ = user;
    previous_ = held->previous_;
    held->Forget();
    delete held;
    return 1;
  }
  int slot = SlotOfTag(tag_, 1);
  if (slot < 0) return 0;
  // The property goes first: the new procedure may be called at once.
  if (!SetRecordProperty(window, tag_, this)) return 0;
  window_ = window;
  handler_ = handler;
  user_ = user;
  previous_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ProcedureOfSlot(static_cast<unsigned>(slot)))));
  if (!previous_) {
    RemoveRecordProperty(window, tag_);
    Forget();
    return 0;
  }
  return 1;
}

int Subclass::DetachSubclass() { return Unhook(false); }

int Subclass::Unhook(bool windowGoing) {
  if (!window_) return 0;
  WNDPROC mine = ProcedureOfSlot(static_cast<unsigned>(SlotOfTag(tag_, 0)));
  WNDPROC current = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window_, GWLP_WNDPROC));
  bool unchained = false;
  if (current == mine) {
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    unchained = true;
  } else {
    // A subclass of another tag was attached after this one and calls this
    // one's procedure as its previous: it must call this one's previous
    // instead, or the window would lose its chain.
    for (unsigned slot = 0; slot < SlotCount; ++slot) {
      LONG tag = slotTags[slot];
      if (tag == 0) break;
      Subclass* other = RecordOf(window_, static_cast<DWORD>(tag));
      if (other && other != this && other->previous_ == mine) {
        other->previous_ = previous_;
        unchained = true;
      }
    }
  }
  Subclass* stay = nullptr;
  if (!unchained && !windowGoing && !passThrough_) {
    // Another component subclassed the window after this one in its own way
    // and calls this tag's procedure as its previous, which cannot be
    // changed from here. A record of the tag stays until the window goes and
    // passes every message on, so the window keeps answering.
    stay = new (std::nothrow) Subclass(tag_);
    if (stay) {
      stay->window_ = window_;
      stay->previous_ = previous_;
      stay->passThrough_ = true;
      if (!SetRecordProperty(window_, tag_, stay)) {
        stay->Forget();
        delete stay;
        stay = nullptr;
      }
    }
  }
  if (!stay) RemoveRecordProperty(window_, tag_);
  Forget();
  return 1;
}

LRESULT Subclass::CallPrevious(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return previous_ ? CallWindowProcW(previous_, window, message, wParam, lParam) : 0;
}

void Subclass::Forget() {
  window_ = nullptr;
  handler_ = nullptr;
  user_ = nullptr;
  previous_ = nullptr;
}

LRESULT Subclass::Dispatch(unsigned slot, HWND window, UINT message, WPARAM wParam,
                           LPARAM lParam) {
  DWORD tag = static_cast<DWORD>(slotTags[slot]);
  Subclass* record = RecordOf(window, tag);
  if (!record) return DefWindowProcW(window, message, wParam, lParam);
  WNDPROC previous = record->previous_;
  LRESULT result = 0;
  int handled = record->handler_ &&
                record->handler_(window, message, wParam, lParam, &result, record->user_);
  if (message == WM_NCDESTROY) {
    // The window goes: the record lets go of it so that its owner's later
    // detach does not touch a handle that may be reused (unless the handler
    // has already let go, or deleted it). A record that only passed
    // messages on goes with the window.
    if (Subclass* still = RecordOf(window, tag)) {
      bool passThrough = still->passThrough_;
      still->Unhook(true);
      if (passThrough) delete still;
    }
  }
  if (handled) return result;
  return previous ? CallWindowProcW(previous, window, message, wParam, lParam) : 0;
}
