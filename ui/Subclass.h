// Subclassing of a control window through a window property. The property
// "_C_SubClassing_Property_%08X", formatted with a four-character tag as a
// 32-bit number, points to the record, so one window can carry one subclass
// per tag and several tags chain. The procedure finds the record on each
// message in a table of this process that mirrors the properties (a
// property read can be a round trip to the window server). Window thread
// only; owners detach in their destructors (the destructor detaches too).
#pragma once

#include <windows.h>

#include <utility>

// Called for every message of the subclassed window. Answer 1 with *result
// set to handle the message; 0 passes it on to the previous procedure.
typedef int (*SubclassHandler)(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                               LRESULT* result, void* user);

class Subclass {
public:
  explicit Subclass(DWORD tag) : tag_(tag) {}
  ~Subclass() { DetachSubclass(); }
  Subclass(const Subclass&) = delete;
  Subclass& operator=(const Subclass&) = delete;

  // 1, or 0 when the window already carries the property of this tag (the
  // subclass in place stays) or this record is attached elsewhere.
  int AttachSubclass(HWND window, SubclassHandler handler, void* user);
  // 1, or 0 when not attached. Puts the previous procedure back; when
  // another component has subclassed the window after this one, its
  // procedure keeps passing every message on until the window is destroyed
  // (or a record of the tag attaches again and takes that place).
  int DetachSubclass();
  // The previous window procedure, for handlers that need it first.
  LRESULT CallPrevious(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND Window() const { return window_; }
  DWORD Tag() const { return tag_; }

private:
  // Every tag in use gets a procedure of its own (one of a fixed set of
  // slots), so that subclasses of different tags on one window can find
  // their own records while they chain.
  static LRESULT Dispatch(unsigned slot, HWND window, UINT message, WPARAM wParam,
                          LPARAM lParam);
  template <unsigned Slot>
  static LRESULT CALLBACK SlotProcedure(HWND window, UINT message, WPARAM wParam,
                                        LPARAM lParam);
  template <unsigned... Slots>
  static const WNDPROC* SlotTable(std::integer_sequence<unsigned, Slots...>);
  static WNDPROC ProcedureOfSlot(unsigned slot);
  static int SlotOfTag(DWORD tag, int assign);
  static Subclass* RecordOf(HWND window, DWORD tag);
  // Takes this record out of the window's chain. When another component has
  // subclassed the window after it in its own way, a pass-through record
  // stays in its place (not when the window is going).
  int Unhook(bool windowGoing);
  void Forget();

  DWORD tag_;
  HWND window_ = nullptr;
  SubclassHandler handler_ = nullptr;
  void* user_ = nullptr;
  WNDPROC previous_ = nullptr;
  bool passThrough_ = false;  // made by Unhook, no handler, freed with the window
};

// Tags in use.
enum SubclassTag : DWORD {
  SubclassTagLinkLabel = 0x6C696E6B,
  SubclassTagStyledLabel = 0x73746178,
  SubclassTagIconButton = 0x62696D75,
  SubclassTagControlSite = 0x6F6C6563,
  SubclassTagUpdateClient = 0x61757570,
  SubclassTagReportDialog = 0x64697669,
  SubclassTagReportControl = 0x7379736C,
  SubclassTagAccessibleName = 0x61636E6D,
};
