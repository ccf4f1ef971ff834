// What a screen reader reads for a control: its accessible name, role and,
// for lists and bars, its value, answered through MSAA. The control is
// subclassed (tag 0x61636E6D); on WM_GETOBJECT for its client area it hands
// out the system's standard accessible object wrapped so that the control's
// own name and role come first. The owner-drawn icon buttons and image
// lists show nothing the standard objects could read, and some platforms
// (Wine) give every control the role "client" and take no name from the
// label before it; with this the reader hears the same everywhere.
//
// AccessibleNames names the controls of a dialog in one call: a control
// with a text of its own (buttons, links) is named by it, one without (lists,
// bars, edit fields) by the static label just before it in the z-order, as
// Windows does; the label's mnemonic becomes the keyboard shortcut. Window
// thread only; the destructors detach.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "core/WideString.h"
#include "ui/Subclass.h"

class AccessibleName {
public:
  AccessibleName() : subclass_(SubclassTagAccessibleName) {}
  ~AccessibleName() { Detach(); }
  AccessibleName(const AccessibleName&) = delete;
  AccessibleName& operator=(const AccessibleName&) = delete;

  // role: a ROLE_SYSTEM_* value. The name is read when a reader asks: the
  // label's text when a label is given, else the given name, else the
  // control's own text (a label's mnemonic is the keyboard shortcut). 1/0.
  int Attach(HWND control, const wchar_t* name, long role, HWND label = nullptr);
  void Detach();

  HWND Control() const { return subclass_.Window(); }
  const WideString& Name() const { return name_; }
  long Role() const { return role_; }

private:
  static int OnControlMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result,
                              void* user);

  Subclass subclass_;
  WideString name_;
  HWND label_ = nullptr;
  long role_ = 0;
};

// The role the system gives a control of this window class and style.
long AccessibleRoleOf(HWND control);
// A label's text as a name: the mnemonic ampersand ("&&" stays one "&"),
// a trailing colon and blanks removed. shortcut: "Alt+X" of the mnemonic,
// or "". 1 when a name is left.
int LabelToName(const wchar_t* text, WideString& name, WideString* shortcut);

class AccessibleNames {
public:
  // Names every child of the dialog (not the statics that only label, nor
  // group boxes); a control that names itself by no text of its own and has
  // no label before it keeps the name it already has (Name). Names follow
  // later changes of the texts.
  void NameChildren(HWND dialog);
  // Names one control; replaces an earlier name. 1/0.
  int Name(HWND control, const wchar_t* name);
  // The name given to the control ("" for none).
  const wchar_t* NameOf(HWND control) const;
  // Detaches every name (also those of controls already gone).
  void Clear();

private:
  AccessibleName* Find(HWND control) const;
  int Give(HWND control, const wchar_t* name, HWND label);
  std::vector<std::unique_ptr<AccessibleName>> names_;
};
