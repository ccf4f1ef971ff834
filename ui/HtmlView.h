// An embedded web browser (the WebBrowser control) hosted in place in a
// parent window, into which whole pages are written as text. The Walking and
// Sleeping pages each own one to show their day chart:
//
//   view.Create(page, HtmlViewPageOptions);      // in the page's init handler
//   view.Move(left, top, right, bottom);          // client pixels, edges
//   anchors.Add(view.Window(), 12);               // grows with the page
//   view.WriteDocument(chartPage);                // each time the day changes
//   view.Destroy();                               // before the page closes
//
// The control is created with its own configuration: the browser-emulation
// value of the program file (so the engine runs in its newest mode), and the
// host's answers to the browser: no context menu, no 3-D border, script
// errors without a dialog (options below).
//
// Where no browser engine can produce a document (the control or the HTML
// document class is missing), the view shows a plain link in the control's
// place instead of an empty area: "Open this chart in your web browser". It
// saves the last page written to a file in the user's temporary folder and
// opens that file with the shell, so the chart still reaches a browser;
// beside the link it then says where the page was saved, so it can be found
// when no browser comes up. RemoveSavedPages deletes the pages saved so far
// (the program calls it as it ends).
//
// Every wait for the browser is bounded (WaitLimitMs): a browser that never
// answers cannot hold the window thread. Window thread only; COM must be
// initialised single-threaded on it. The COM objects the browser talks to
// (the control site, the document host handler, the event sink, the drop
// target) are private to the implementation.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "core/Event.h"
#include "core/WideString.h"

// Options given to Create, and the state bits the view sets itself.
enum HtmlViewOptions : unsigned {
  HtmlViewNoContextMenu = 0x1,
  HtmlViewNoScrollBars = 0x2,
  HtmlViewNo3DBorder = 0x4,
  HtmlViewDialogMode = 0x8,           // the document's text cannot be selected
  HtmlViewAcceptDrops = 0x10,         // dropped files and URLs go to the drop callback
  HtmlViewControlMenus = 0x20,        // with 0x1: menus on form controls still shown
  HtmlViewKeepHistory = 0x40,
  HtmlViewHostScriptErrors = 0x100,   // script errors answered by the host: no dialog
  HtmlViewNoEmulationValue = 0x200,
  HtmlViewSilent = 0x400,
  HtmlViewNoUiActivate = 0x800,
  HtmlViewNoEventSink = 0x80000,      // navigation never waits
  HtmlViewHidden = 0x200000,
  // State, set by the view.
  HtmlViewWaitingDownload = 0x10000,
  HtmlViewWaitingNavigate = 0x20000,
  HtmlViewWaitingDocument = 0x40000,
  HtmlViewScriptErrorSeen = 0x100000,
};

// What the chart pages create their views with.
const unsigned HtmlViewPageOptions =
    HtmlViewNoContextMenu | HtmlViewNo3DBorder | HtmlViewHostScriptErrors;

// Wait modes of Navigate.
enum HtmlViewWait { HtmlViewNoWait = 0, HtmlViewWaitNavigate = 1, HtmlViewWaitDocument = 2 };

// Optional callbacks, all sharing `user`; an absent one has the default
// behaviour noted.
struct HtmlViewCallbacks {
  // Before a navigation or a new window: 0 cancels it (default: allowed).
  int (*approve)(void* user, const wchar_t* url, const wchar_t* frame, const wchar_t* headers);
  void (*titleChanged)(void* user, const wchar_t* title);
  // navigate 1: the navigation completed; 0: the document completed.
  void (*completed)(void* user, int navigate, const wchar_t* url);
  // Browser events the view does not handle itself.
  void (*otherEvent)(void* user, DISPID id, DISPPARAMS* parameters);
  // The context menu of an element (its id, tag name and text); non-zero
  // lets the browser show its own menu (default: the options decide).
  int (*contextMenu)(void* user, const wchar_t* id, const wchar_t* tag, const wchar_t* text,
                     DWORD kind, POINT point);
  // URLs the browser is about to use (code 2: translation asked).
  void (*urlNotice)(void* user, int code, const wchar_t* url);
  // Names the page's scripts ask of window.external; 1 with the id.
  int (*scriptName)(void* user, const wchar_t* name, DISPID* id);
  // A dropped file path or URL; none ends a drop. 0 stops the files.
  int (*dropped)(void* user, const wchar_t* pathOrUrl);
  void* user;
};

// Opens a saved page with the user's browser; 1 on success.
typedef int (*HtmlViewDocumentOpener)(const wchar_t* path);

class HtmlView {
public:
  // The longest any wait for the browser lasts.
  static const DWORD WaitLimitMs = 10000;
  // The text of the link shown where no browser engine is available.
  static const wchar_t FallbackLinkText[];
  // The colour of the link's text in the colour scheme in use (ui/ColourScheme).
  static COLORREF LinkColour();
  // The height the link needs on a line of its own, at 96 DPI.
  static const int FallbackLinkHeight = 26;

  HtmlView();
  ~HtmlView();
  HtmlView(const HtmlView&) = delete;
  HtmlView& operator=(const HtmlView&) = delete;

  // Hosts a new browser in the parent (destroying any earlier one). values:
  // four numbers kept with the view (none: zeros). module: the program file
  // whose name keys the emulation value (none: this process's). 1 when the
  // browser is hosted; 0 otherwise, and the fallback link takes its place.
  int Create(HWND parent, unsigned options, const int* values = nullptr,
             HMODULE module = nullptr);
  // Places the view in the parent's client area (pixels; right and bottom
  // are edges). 1, or 0 when nothing is shown.
  int Move(int left, int top, int right, int bottom);
  // The browser control's window, or the fallback link's; none before Create.
  HWND Window() const;
  // Navigates; a waiting mode returns once the browser reports the
  // navigation (1) or the document (2) complete, or after WaitLimitMs (0).
  int Navigate(const wchar_t* url, int wait);
  // Replaces the shown page with the text (a complete HTML page). A fresh
  // browser is first taken to about:blank. 1 when the page was written and
  // closed; 0 otherwise (without a browser the fallback link then offers
  // the page).
  int WriteDocument(const wchar_t* text);
  // Deactivates and releases the browser and the fallback link; Create may
  // be called again.
  void Destroy();

  void SetCallbacks(const HtmlViewCallbacks& callbacks) { callbacks_ = callbacks; }
  const HtmlViewCallbacks& Callbacks() const { return callbacks_; }
  unsigned Options() const { return options_; }
  const int* Values() const { return values_; }
  // The browser is hosted (not the fallback).
  bool HasBrowser() const;
  // The page last written while only the fallback could show it.
  const WideString& PendingPage() const { return pending_; }
  // Saves the pending page to "%TEMP%\Pellton chart <n>.html" (UTF-8) and
  // opens it with the opener; what the fallback link does when clicked.
  // Each page written gets a file of its own; opening the same page again
  // rewrites its file. 1 on success; the saved file's path in `path` when
  // given. Every failure leaves a notice saying so, and no partial file.
  int OpenInBrowser(WideString* path = nullptr);
  // What the link says after it was used: where the page went (empty
  // before).
  const WideString& OpenedNotice() const { return notice_; }
  // Deletes every page OpenInBrowser saved in this process.
  static void RemoveSavedPages();
  // Replaces ShellExecuteExW "open" for the fallback link (none: back to it).
  static void SetDocumentOpener(HtmlViewDocumentOpener opener);
  // The clock that bounds the waits (none: the system's tick count).
  static void SetWaitClock(Event::ClockFn clock);

  // The major version of the installed browser engine (0 when unknown),
  // read from the machine's Internet Explorer key.
  static unsigned EngineMajorVersion();
  // The engine version packed as major << 24 | minor << 16 | third part,
  // from the registry's texts as they read.
  static unsigned ParseEngineVersion(const wchar_t* svcVersion, const wchar_t* version,
                                     const wchar_t* iver);

  class Host;  // the COM objects (implementation)

private:
  friend class HtmlViewAccess;
  void ReleaseBrowser();
  // Releases the browser and shows the link instead; answers 0.
  int Fallback();
  void ShowFallback();
  void SignalIfWaiting(unsigned bit);

  Host* host_ = nullptr;
  HWND parent_ = nullptr;
  HWND fallback_ = nullptr;
  RECT rect_ = {0, 0, 0, 0};
  unsigned options_ = 0;
  int values_[4] = {0, 0, 0, 0};
  Event navigated_;
  HtmlViewCallbacks callbacks_ = {};
  WideString pending_;
  WideString notice_;
  unsigned serial_ = 0;  // the pending page's file number; 0 before it is saved
};
