// The base of every window of the program: a dialog built from a template
// and driven by one object. The derived class overrides the virtual
// operations (kept in this slot order); one dialog procedure dispatches to
// them. Modal and modeless dialogs share everything but their creation and
// the way Close ends them.
//
// Dispatch: messages before WM_INITDIALOG answer 0. WM_INITDIALOG stores the
// object and the window, then OnInitDialog decides: 0 closes the dialog with
// −1, 2 means the handler has set the focus, anything else lets the system
// set it. WM_DESTROY goes to OnDestroy, WM_CLOSE to OnClose, WM_COMMAND to
// OnCommand; WM_DRAWITEM, WM_MEASUREITEM and WM_NOTIFY are first offered to
// the registered controls (AddControl); every other message goes to
// OnMessage. A handler's answer is the procedure's answer: non-zero means
// handled; a handler that must hand a value to the system stores it with
// SetResult and answers 1. Derived OnMessage overrides pass what they do not
// handle on to Dialog::OnMessage (minimum size and start hidden).
//
// The window handle is kept until the window is really gone: at once for a
// modeless dialog, when the dialog box has ended for a modal one; with
// DialogDeleteOnClose the object is deleted then, so no message ever reaches
// a deleted object. The object can run again afterwards, but makes no
// second window while it has one (−1 or none).
//
// Window thread only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "core/ComApartment.h"
#include "core/LibraryHandle.h"
#include "ui/Anchor.h"

class DialogControl;
class SettingsStore;

enum DialogFlags : DWORD {
  DialogModeless = 0x1,         // set by CreateModeless
  DialogDeleteOnClose = 0x2,    // the object is deleted when its window ends
  DialogPreferShellDlg2 = 0x4,  // font substitution prefers "MS Shell Dlg 2" over "Segoe UI"
  DialogStartHidden = 0x8,      // the first request to show the window is suppressed
};

class Dialog {
public:
  Dialog();
  virtual ~Dialog();  // slot 0
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // slot 1: WM_INITDIALOG, after the window handle is stored. Default 1.
  virtual int OnInitDialog();
  // slot 2: every Close, before the window goes; 0 keeps it open. Default 1.
  virtual int CanClose(INT_PTR result);
  // slot 3: WM_COMMAND; id is the low word of wParam. Default: IDCANCEL and
  // IDCLOSE call Close(0) and answer 1; others answer 0.
  virtual int OnCommand(int id, WPARAM wParam, LPARAM lParam);
  // slot 4: WM_CLOSE. Default: Close(0), answer 1.
  virtual int OnClose();
  // slot 5: every other message. Default: minimum size and start hidden on
  // WM_WINDOWPOSCHANGING (answers 1), 0 otherwise.
  virtual int OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // slot 6: WM_DESTROY. Default: OnMessage(WM_DESTROY, 0, 0).
  virtual int OnDestroy();

  // Runs the dialog of template id from module (none: the executable);
  // the value passed to EndDialog, or −1 when it could not be created.
  INT_PTR RunModal(HINSTANCE module, int templateId, DWORD flags = 0, HWND parent = nullptr);
  // The new window, or none; DialogModeless is added to the flags.
  HWND CreateModeless(HINSTANCE module, int templateId, DWORD flags = 0, HWND parent = nullptr);
  // The same from a template in memory (DLGTEMPLATE or DLGTEMPLATEEX of
  // size bytes), with the same font substitution.
  INT_PTR RunModalTemplate(HINSTANCE module, const void* dialogTemplate, size_t size,
                           DWORD flags = 0, HWND parent = nullptr);
  HWND CreateModelessTemplate(HINSTANCE module, const void* dialogTemplate, size_t size,
                              DWORD flags = 0, HWND parent = nullptr);
  // Ends the dialog unless there is no window or CanClose(result) answers
  // 0: DestroyWindow when modeless, else EndDialog(result).
  void Close(INT_PTR result);

  // Loads the small and the big icon of that id from the module and sets
  // both; the previous ones are destroyed. 1 when both were set.
  int SetIcon(int iconId);
  // With dialogUnits 1 a client size in dialog units, else a window size in
  // pixels; −1 for none. The window must exist for dialog units.
  int SetMinimumSize(int width, int height, int dialogUnits);
  int MinimumWidth() const { return minimumWidth_; }
  int MinimumHeight() const { return minimumHeight_; }
  int DialogUnitsToPixelsX(int n) const;
  int DialogUnitsToPixelsY(int n) const;

  // Item helpers: the Windows calls of the same purpose on this window.
  int SetTitle(const wchar_t* text);
  int SetItemText(int id, const wchar_t* text);
  int SetItemNumber(int id, int value);  // signed decimal
  HWND Item(int id) const;
  int EnableItem(int id, bool enable);
  int CheckButton(int id, int check);  // checked when check is 1
  bool IsButtonChecked(int id) const;  // true only for BST_CHECKED
  int Show(int showCommand);

  // A value for the system (DWLP_MSGRESULT) from a handler that answers 1.
  void SetResult(LRESULT result);

  // Anchors: registered with the control's current rectangle; the owner
  // calls ApplyAnchors from its WM_SIZE. Reference sizes are in dialog
  // units (both or neither).
  int AddAnchor(HWND control, DWORD code, int referenceWidth = 0, int referenceHeight = 0);
  int AddAnchorItem(int id, DWORD code, int referenceWidth = 0, int referenceHeight = 0);
  // Registers a table of {id, code} rows; the number registered.
  int AddAnchors(const AnchorEntry* table, unsigned count);
  void ApplyAnchors(WPARAM wParam, LPARAM lParam);
  void ClearAnchors() { anchors_.clear(); }
  const std::vector<Anchor>& Anchors() const { return anchors_; }

  // Controls offered WM_DRAWITEM, WM_MEASUREITEM and WM_NOTIFY in the order
  // registered. A control is registered once; 0 for a second time or none.
  int AddControl(DialogControl* control);
  int RemoveControl(DialogControl* control);

  // Placement of this window (WindowPlacement.h for the flags).
  int SavePlacement(HKEY root, const wchar_t* path, const wchar_t* name, const RECT* rect,
                    DWORD flags, SettingsStore* store);
  int RestorePlacement(HKEY root, const wchar_t* path, const wchar_t* name, DWORD flags,
                       SettingsStore* store);

  // The window thread's COM apartment (single-threaded, no OLE1 DDE). A
  // second Init does nothing; End uninitialises only what Init started.
  int InitComApartment();
  void EndComApartment();

  HWND Window() const { return window_; }
  HINSTANCE Module() const { return module_; }
  DWORD Flags() const { return flags_; }

  // The one dialog procedure.
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
  void Prepare(HINSTANCE module, DWORD flags);
  bool SubstitutedTemplate(int templateId, DWORD flags, std::vector<BYTE>& out) const;
  void InitCommonControlsOnce();
  int Reflect(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  void WindowGone();
  void DestroyIcons();

  HWND window_ = nullptr;
  HINSTANCE module_ = nullptr;
  DWORD flags_ = 0;
  bool ending_ = false;  // EndDialog has been called; the dialog box has not ended yet
  int minimumWidth_ = -1;
  int minimumHeight_ = -1;
  HICON smallIcon_ = nullptr;
  HICON bigIcon_ = nullptr;
  LibraryHandle comctl32_;
  std::vector<Anchor> anchors_;
  std::vector<DialogControl*> controls_;
  ComApartment apartment_;
};
