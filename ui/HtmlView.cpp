#include "ui/HtmlView.h"

#include <exdisp.h>
#include <mshtml.h>
#include <mshtmhst.h>
#include <ocidl.h>
#include <oleidl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <new>
#include <string>
#include <vector>

#include "core/ComRef.h"
#include "core/KernelHandle.h"
#include "core/ProgramFolder.h"
#include "core/Registry.h"
#include "ui/ColourScheme.h"
#include "ui/Dpi.h"
#include "ui/GdiGuard.h"

namespace {

// Class and interface ids, spelled out here so that nothing depends on
// which of them a given import library carries.
const CLSID kWebBrowser = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
const CLSID kHtmlDocument = {0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};
const IID kWebBrowserEvents2 = {0x34A715A0, 0x6587, 0x11D0, {0x92, 0x4A, 0x00, 0x20, 0xAF, 0xC7, 0xAC, 0x4D}};
const GUID kDocHostCommandHandler = {0xF38BC242, 0xB950, 0x11D1, {0x89, 0x18, 0x00, 0xC0, 0x4F, 0xC2, 0xC8, 0x36}};
const IID kDocHostUiHandler = {0xBD3F23C0, 0xD43E, 0x11CF, {0x89, 0x3B, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x1A}};

const wchar_t kEmulationKey[] =
    L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
const wchar_t kEngineKey[] = L"SOFTWARE\\Microsoft\\Internet Explorer";
const wchar_t kLinkClass[] = L"PelltonHtmlViewLink";

// DWebBrowserEvents2 dispatch ids.
const DISPID kDownloadComplete = 104;
const DISPID kTitleChange = 113;
const DISPID kBeforeNavigate2 = 250;
const DISPID kNavigateComplete2 = 252;
const DISPID kDocumentComplete = 259;
const DISPID kNewWindow3 = 273;

const DWORD kShowScriptError = 40;  // OLECMDID_SHOWSCRIPTERROR
const DWORD kContextMenuControl = 2;

HtmlViewDocumentOpener g_opener = nullptr;
Event::ClockFn g_clock = nullptr;
// The pages saved for the user's browser, removed as the program ends.
std::vector<std::wstring> g_savedPages;

// The text of a VARIANT argument, looking through one VT_BYREF.
const wchar_t* ArgumentText(const VARIANTARG& argument) {
  const VARIANT* v = &argument;
  if (V_VT(v) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
  if (V_VT(v) == VT_BSTR) return V_BSTR(v) ? V_BSTR(v) : L"";
  if (V_VT(v) == (VT_BSTR | VT_BYREF) && V_BSTRREF(v) && *V_BSTRREF(v)) return *V_BSTRREF(v);
  return L"";
}

void SetCancel(VARIANTARG& argument) {
  if (V_VT(&argument) == (VT_BOOL | VT_BYREF) && V_BOOLREF(&argument))
    *V_BOOLREF(&argument) = VARIANT_TRUE;
}

int ShellOpenDocument(const wchar_t* path) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = path;
  info.nShow = SW_SHOWNORMAL;
  return ShellExecuteExW(&info) ? 1 : 0;
}

// IUnknown over a reference count, for the objects below: each starts with
// the one reference its owner holds.
#define PELLTON_REFCOUNT                                                     \
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }        \
  ULONG STDMETHODCALLTYPE Release() override {                               \
    ULONG left = --references_;                                              \
    if (left == 0) delete this;                                              \
    return left;                                                             \
  }                                                                          \
                                                                             \
 private:                                                                    \
  ULONG references_ = 1;                                                     \
                                                                             \
 public:

}  // namespace

// The objects below reach the view's state through this one door.
class HtmlViewAccess {
public:
  static void Signal(HtmlView* view, unsigned bit) { view->SignalIfWaiting(bit); }
  static void NoteScriptError(HtmlView* view) { view->options_ |= HtmlViewScriptErrorSeen; }
};

// ------------------------------------------------------------------ objects

// The event sink (DWebBrowserEvents2), which is also what the page's scripts
// see as window.external.
class EventSink final : public IDispatch {
public:
  explicit EventSink(HtmlView* view) : view_(view) {}
  void Detach() { view_ = nullptr; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kWebBrowserEvents2) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  PELLTON_REFCOUNT

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (!view_ || !view_->Callbacks().scriptName || !names || !ids) return E_NOTIMPL;
    // A copy: the callback may destroy the view, which detaches this sink.
    const HtmlViewCallbacks callbacks = view_->Callbacks();
    HRESULT result = S_OK;
    for (UINT i = 0; i < count; ++i) {
      if (!callbacks.scriptName(callbacks.user, names[i], &ids[i])) {
        ids[i] = DISPID_UNKNOWN;
        result = DISP_E_UNKNOWNNAME;
      }
    }
    return result;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters,
                                   VARIANT*, EXCEPINFO*, UINT*) override;

private:
  HtmlView* view_;
};

// The document host's answers (IDocHostUIHandler).
class UiHandler final : public IDocHostUIHandler {
public:
  // Holds the external object and the drop target for as long as the
  // browser holds this handler, which may be past the view's release.
  UiHandler(HtmlView* view, IDispatch* external) : view_(view), external_(external) {
    if (external_) external_->AddRef();
  }
  ~UiHandler() {
    if (drop_) drop_->Release();
    if (external_) external_->Release();
  }
  void Detach() { view_ = nullptr; }
  void SetDropTarget(IDropTarget* target) {
    if (target) target->AddRef();
    if (drop_) drop_->Release();
    drop_ = target;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == kDocHostUiHandler) {
      *out = static_cast<IDocHostUIHandler*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  PELLTON_REFCOUNT

  HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD kind, POINT* point, IUnknown*,
                                            IDispatch* element) override;
  HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) override;
  HRESULT STDMETHODCALLTYPE ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*,
                                   IOleInPlaceFrame*, IOleInPlaceUIWindow*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE HideUI() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UpdateUI() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, const GUID*, DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR*, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget*, IDropTarget** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!view_ || !(view_->Options() & HtmlViewAcceptDrops) || !drop_) return E_NOTIMPL;
    drop_->AddRef();
    *out = drop_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** out) override {
    if (!out) return E_POINTER;
    *out = external_;
    if (external_) external_->AddRef();
    return external_ ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD, LPWSTR url, LPWSTR* translated) override {
    if (translated) *translated = nullptr;
    if (view_ && view_->Callbacks().urlNotice)
      view_->Callbacks().urlNotice(view_->Callbacks().user, 2, url ? url : L"");
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject*, IDataObject** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }

private:
  HtmlView* view_;
  IDispatch* external_;          // the event sink (a reference)
  IDropTarget* drop_ = nullptr;  // a reference
};

// Dropped files and URLs, only with HtmlViewAcceptDrops.
class DropTarget final : public IDropTarget {
public:
  explicit DropTarget(HtmlView* view) : view_(view) {}
  void Detach() { view_ = nullptr; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDropTarget) {
      *out = static_cast<IDropTarget*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  PELLTON_REFCOUNT

  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
    if (effect) *effect = DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override;

private:
  int Deliver(const wchar_t* text) {
    if (!view_ || !view_->Callbacks().dropped) return 0;
    return view_->Callbacks().dropped(view_->Callbacks().user, text);
  }

  HtmlView* view_;
};

// The OLE container the browser object lives in. It uses the parent window
// as its window and draws nothing itself.
class ControlSite final : public IOleClientSite,
                    public IOleInPlaceSiteWindowless,
                    public IOleInPlaceFrame,
                    public IOleControlSite,
                    public IAdviseSink,
                    public IServiceProvider,
                    public IOleCommandTarget,
                    public IDispatch {
public:
  ControlSite(HtmlView* view, HWND parent, IDocHostUIHandler* handler)
      : view_(view), parent_(parent), handler_(handler) {
    menu_ = GetMenu(parent);
    if (handler_) handler_->AddRef();
  }
  ~ControlSite() {
    if (handler_) handler_->Release();
  }
  void Detach() { view_ = nullptr; }
  void SetObject(IOleObject* object) { object_ = object; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  PELLTON_REFCOUNT

  // IOleWindow (through both the in-place site and the frame)
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = parent_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override {
    if (!object_) return E_FAIL;
    ComRef<IPersistStorage> persist;
    if (FAILED(object_->QueryInterface(IID_IPersistStorage, persist.OutVoid()))) return E_FAIL;
    // The browser keeps no storage of its own here: nothing to save into.
    return storage_ ? OleSave(persist.Get(), storage_, TRUE) : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                             LPRECT position, LPRECT clip,
                                             LPOLEINPLACEFRAMEINFO info) override;
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT rect) override {
    if (!rect) return E_POINTER;
    ComRef<IOleInPlaceObject> inPlace;
    if (object_ && SUCCEEDED(object_->QueryInterface(IID_IOleInPlaceObject, inPlace.OutVoid())))
      inPlace->SetObjectRects(rect, rect);
    return S_OK;
  }

  // IOleInPlaceSiteEx
  HRESULT STDMETHODCALLTYPE OnInPlaceActivateEx(BOOL* noRedraw, DWORD) override {
    if (noRedraw) *noRedraw = FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivateEx(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestUIActivate() override { return S_OK; }

  // IOleInPlaceSiteWindowless: the browser always has a window of its own.
  HRESULT STDMETHODCALLTYPE CanWindowlessActivate() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE GetCapture() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE SetCapture(BOOL) override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE GetFocus() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE SetFocus(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetDC(LPCRECT, DWORD, HDC* dc) override {
    if (dc) *dc = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ReleaseDC(HDC) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InvalidateRect(LPCRECT rect, BOOL erase) override {
    ::InvalidateRect(parent_, rect, erase);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InvalidateRgn(HRGN region, BOOL erase) override {
    ::InvalidateRgn(parent_, region, erase);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ScrollRect(INT, INT, LPCRECT, LPCRECT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AdjustRect(LPRECT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDefWindowMessage(UINT, WPARAM, LPARAM, LRESULT* result) override {
    if (result) *result = 0;
    return S_FALSE;
  }

  // IOleInPlaceUIWindow and IOleInPlaceFrame
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override {
    return INPLACE_E_NOTOOLSPACE;
  }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU shared, HOLEMENU descriptor, HWND object) override {
    ::SetMenu(parent_, shared ? shared : menu_);
    return OleSetMenuDescriptor(shared ? descriptor : nullptr, parent_, object, nullptr, nullptr);
  }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU shared) override {
    if (!shared) return E_INVALIDARG;
    while (GetMenuItemCount(shared) > 0) RemoveMenu(shared, 0, MF_BYPOSITION);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IOleControlSite
  HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE TransformCoords(POINTL*, POINTF*, DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, DWORD) override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE OnFocus(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override { return E_NOTIMPL; }

  // IAdviseSink
  void STDMETHODCALLTYPE OnDataChange(FORMATETC*, STGMEDIUM*) override {}
  void STDMETHODCALLTYPE OnViewChange(DWORD, LONG) override {}
  void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
  void STDMETHODCALLTYPE OnSave() override {}
  void STDMETHODCALLTYPE OnClose() override {}

  // IServiceProvider: no services.
  HRESULT STDMETHODCALLTYPE QueryService(REFGUID, REFIID, void** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }

  // IOleCommandTarget
  HRESULT STDMETHODCALLTYPE QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*) override {
    return OLECMDERR_E_UNKNOWNGROUP;
  }
  HRESULT STDMETHODCALLTYPE Exec(const GUID* group, DWORD command, DWORD, VARIANT*,
                                 VARIANT* out) override;

  // IDispatch: ambient properties; none are offered.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }

private:
  HtmlView* view_;
  HWND parent_;
  HMENU menu_ = nullptr;
  IDocHostUIHandler* handler_;  // a reference, handed out for as long as the browser asks
  IOleObject* object_ = nullptr;
  IStorage* storage_ = nullptr;
};

// What the view holds while a browser is hosted.
class HtmlView::Host {
public:
  explicit Host(HtmlView* view, HWND parent) {
    sink = new (std::nothrow) EventSink(view);
    drop = new (std::nothrow) DropTarget(view);
    handler = new (std::nothrow) UiHandler(view, sink);
    if (handler) handler->SetDropTarget(drop);
    site = new (std::nothrow) ControlSite(view, parent, handler);
  }
  ~Host() {
    // The browser may hold on to any of them: they outlive the view quietly.
    if (site) {
      site->Detach();
      site->Release();
    }
    if (handler) {
      handler->Detach();
      handler->Release();
    }
    if (drop) {
      drop->Detach();
      drop->Release();
    }
    if (sink) {
      sink->Detach();
      sink->Release();
    }
  }
  bool Complete() const { return sink && drop && handler && site; }

  EventSink* sink = nullptr;
  DropTarget* drop = nullptr;
  UiHandler* handler = nullptr;
  ControlSite* site = nullptr;
  ComRef<IUnknown> object;
  ComRef<IOleObject> oleObject;
  ComRef<IViewObjectEx> viewObject;
  ComRef<IOleInPlaceObject> inPlace;
  ComRef<IOleInPlaceObjectWindowless> windowless;
  ComRef<IOleInPlaceActiveObject> active;
  ComRef<IWebBrowser2> browser;
  ComRef<IConnectionPoint> events;
  DWORD cookie = 0;
};

// ------------------------------------------------------------ event sink

HRESULT STDMETHODCALLTYPE EventSink::Invoke(DISPID id, REFIID, LCID, WORD,
                                            DISPPARAMS* parameters, VARIANT*, EXCEPINFO*,
                                            UINT*) {
  if (!view_) return S_OK;
  const HtmlViewCallbacks& callbacks = view_->Callbacks();
  UINT count = parameters ? parameters->cArgs : 0;
  VARIANTARG* args = parameters ? parameters->rgvarg : nullptr;  // last argument first
  switch (id) {
    case kDownloadComplete:
      HtmlViewAccess::Signal(view_, HtmlViewWaitingDownload);
      break;
    case kTitleChange:
      if (callbacks.titleChanged && count >= 1)
        callbacks.titleChanged(callbacks.user, ArgumentText(args[0]));
      break;
    case kBeforeNavigate2:
      // (pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel)
      if (callbacks.approve && count >= 7 &&
          !callbacks.approve(callbacks.user, ArgumentText(args[5]), ArgumentText(args[3]),
                             ArgumentText(args[1])))
        SetCancel(args[0]);
      break;
    case kNavigateComplete2:
    case kDocumentComplete: {
      int navigate = id == kNavigateComplete2;
      HtmlViewAccess::Signal(view_, navigate ? HtmlViewWaitingNavigate : HtmlViewWaitingDocument);
      if (callbacks.completed)
        callbacks.completed(callbacks.user, navigate, count >= 1 ? ArgumentText(args[0]) : L"");
      break;
    }
    case kNewWindow3:
      // (ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl)
      if (callbacks.approve && count >= 5 &&
          !callbacks.approve(callbacks.user, ArgumentText(args[0]), L"", L""))
        SetCancel(args[3]);
      break;
    case 102: case 105: case 106: case 108: case 112: case 253: case 254:
    case 269: case 270: case 271: case 272: case 290:
      break;
    default:
      if (callbacks.otherEvent) callbacks.otherEvent(callbacks.user, id, parameters);
      break;
  }
  return S_OK;
}

// ----------------------------------------------------- document host answers

HRESULT STDMETHODCALLTYPE UiHandler::ShowContextMenu(DWORD kind, POINT* point, IUnknown*,
                                                     IDispatch* element) {
  if (!view_) return E_NOTIMPL;
  const HtmlViewCallbacks& callbacks = view_->Callbacks();
  if (callbacks.contextMenu && element) {
    ComRef<IHTMLElement> html;
    BSTR id = nullptr, tag = nullptr, text = nullptr;
    if (SUCCEEDED(element->QueryInterface(IID_IHTMLElement, html.OutVoid()))) {
      html->get_id(&id);
      html->get_tagName(&tag);
      html->get_outerHTML(&text);
    }
    POINT at = point ? *point : POINT{0, 0};
    int browserMenu = callbacks.contextMenu(callbacks.user, id ? id : L"", tag ? tag : L"",
                                            text ? text : L"", kind, at);
    SysFreeString(id);
    SysFreeString(tag);
    SysFreeString(text);
    return browserMenu ? E_NOTIMPL : S_OK;
  }
  unsigned options = view_->Options();
  if ((options & HtmlViewNoContextMenu) &&
      !((options & HtmlViewControlMenus) && kind == kContextMenuControl))
    return S_OK;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE UiHandler::GetHostInfo(DOCHOSTUIINFO* info) {
  if (!info) return E_POINTER;
  unsigned options = view_ ? view_->Options() : 0;
  // The structure's own size: 20 bytes in a 32-bit process, more in 64.
  info->cbSize = sizeof(DOCHOSTUIINFO);
  info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
  info->dwFlags = 0x00144000;  // forms autocomplete, themes, no PICS
  if (options & HtmlViewNoScrollBars) info->dwFlags |= 0x8;
  if (options & HtmlViewNo3DBorder) info->dwFlags |= 0x00200004;
  if (options & HtmlViewDialogMode) info->dwFlags |= 0x1;
  return S_OK;
}

// ------------------------------------------------------------- drop target

HRESULT STDMETHODCALLTYPE DropTarget::DragEnter(IDataObject* data, DWORD, POINTL,
                                                DWORD* effect) {
  if (effect) *effect = DROPEFFECT_NONE;
  if (!data) return E_INVALIDARG;
  // A URL is handed over at once, and the drag itself refused.
  FORMATETC url = {static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"UniformResourceLocatorW")),
                   nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium = {};
  if (url.cfFormat && SUCCEEDED(data->GetData(&url, &medium))) {
    const wchar_t* text = static_cast<const wchar_t*>(GlobalLock(medium.hGlobal));
    if (text) {
      Deliver(text);
      GlobalUnlock(medium.hGlobal);
    }
    ReleaseStgMedium(&medium);
    Deliver(nullptr);
    return E_INVALIDARG;
  }
  FORMATETC files = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  if (data->QueryGetData(&files) == S_OK) {
    if (effect) *effect = DROPEFFECT_COPY;
    return S_OK;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  if (effect) *effect = DROPEFFECT_NONE;
  if (!data) return E_INVALIDARG;
  FORMATETC files = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium = {};
  if (FAILED(data->GetData(&files, &medium))) return S_OK;
  HDROP drop = static_cast<HDROP>(GlobalLock(medium.hGlobal));
  if (drop) {
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    wchar_t path[MAX_PATH];
    for (UINT i = 0; i < count; ++i) {
      if (!DragQueryFileW(drop, i, path, MAX_PATH)) continue;
      if (!Deliver(path)) break;
    }
    GlobalUnlock(medium.hGlobal);
    if (effect) *effect = DROPEFFECT_COPY;
  }
  ReleaseStgMedium(&medium);
  Deliver(nullptr);
  return S_OK;
}

// ------------------------------------------------------------ control site

HRESULT STDMETHODCALLTYPE ControlSite::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IOleClientSite)
    *out = static_cast<IOleClientSite*>(this);
  else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite ||
           iid == IID_IOleInPlaceSiteEx || iid == IID_IOleInPlaceSiteWindowless)
    *out = static_cast<IOleInPlaceSiteWindowless*>(this);
  else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
    *out = static_cast<IOleInPlaceFrame*>(this);
  else if (iid == IID_IOleControlSite)
    *out = static_cast<IOleControlSite*>(this);
  else if (iid == IID_IAdviseSink)
    *out = static_cast<IAdviseSink*>(this);
  else if (iid == IID_IServiceProvider)
    *out = static_cast<IServiceProvider*>(this);
  else if (iid == IID_IOleCommandTarget)
    *out = static_cast<IOleCommandTarget*>(this);
  else if (iid == IID_IDispatch)
    *out = static_cast<IDispatch*>(this);
  else if (iid == kDocHostUiHandler && handler_)
    return handler_->QueryInterface(iid, out);
  if (!*out) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ControlSite::GetWindowContext(IOleInPlaceFrame** frame,
                                                        IOleInPlaceUIWindow** doc,
                                                        LPRECT position, LPRECT clip,
                                                        LPOLEINPLACEFRAMEINFO info) {
  if (!frame || !doc || !position || !clip || !info) return E_POINTER;
  *frame = static_cast<IOleInPlaceFrame*>(this);
  AddRef();
  *doc = nullptr;
  GetClientRect(parent_, position);
  *clip = *position;
  // The structure's own size: 20 bytes in a 32-bit process.
  info->cb = sizeof(OLEINPLACEFRAMEINFO);
  info->fMDIApp = FALSE;
  info->hwndFrame = parent_;
  info->haccel = nullptr;
  info->cAccelEntries = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ControlSite::Exec(const GUID* group, DWORD command, DWORD, VARIANT*,
                                            VARIANT* out) {
  if (group && *group == kDocHostCommandHandler && command == kShowScriptError && view_) {
    HtmlViewAccess::NoteScriptError(view_);
    if (view_->Options() & HtmlViewHostScriptErrors) {
      // Answered here: no dialog, and the page's scripts stop.
      if (out) {
        VariantClear(out);
        V_VT(out) = VT_BOOL;
        V_BOOL(out) = VARIANT_FALSE;
      }
      return S_OK;
    }
  }
  return OLECMDERR_E_NOTSUPPORTED;
}

// ----------------------------------------------------------- fallback link

namespace {

struct LinkWindow {
  HtmlView* view;
  GdiObject<HFONT> font;
  RECT text;  // where the link text is drawn
};

LinkWindow* LinkOf(HWND window) {
  return reinterpret_cast<LinkWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

bool OverText(HWND window, LPARAM lParam) {
  LinkWindow* link = LinkOf(window);
  POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  return link && !link->view->PendingPage().IsEmpty() && PtInRect(&link->text, point);
}

// The system's message font, underlined, at the window's DPI (the system
// gives it at the DPI the session started with).
HFONT MakeLinkFont(HWND window) {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return nullptr;
  int systemDpi = 96;
  if (HDC screen = GetDC(nullptr)) {
    systemDpi = std::max(1, GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
  }
  metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, DpiGetForWindow(window), systemDpi);
  metrics.lfMessageFont.lfUnderline = TRUE;
  return CreateFontIndirectW(&metrics.lfMessageFont);
}

LRESULT CALLBACK LinkProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      LinkWindow* link = new (std::nothrow) LinkWindow{static_cast<HtmlView*>(create->lpCreateParams), {}, {}};
      if (!link) return FALSE;
      link->font.Reset(MakeLinkFont(window));
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(link));
      break;
    }
    case WmDpiChangedAfterParent:
      if (LinkWindow* link = LinkOf(window)) {
        if (HFONT font = MakeLinkFont(window)) link->font.Reset(font);
        InvalidateRect(window, nullptr, TRUE);
      }
      return 0;
    case WM_SYSCOLORCHANGE:
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return LinkOf(window) ? reinterpret_cast<LRESULT>(LinkOf(window)->font.Get()) : 0;
    case WM_NCDESTROY:
      delete LinkOf(window);
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      // The strip in the window's colours (dark, High Contrast) like the
      // chart above it.
      FillRect(dc, &client, SchemeBrush(COLOR_WINDOW));
      LinkWindow* link = LinkOf(window);
      if (link && !link->view->PendingPage().IsEmpty()) {
        SelectedObject font(dc, link->font ? static_cast<HGDIOBJ>(link->font.Get())
                                           : GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, HtmlView::LinkColour());
        // One line, centred in the link's line height; the focus frame
        // stands around the text, never over it.
        const int margin = DpiScale(window, 4);
        RECT text = {margin, 0, client.right - margin, client.bottom};
        DrawTextW(dc, HtmlView::FallbackLinkText, -1, &text, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
        const int height = text.bottom - text.top;
        const int line = std::min(static_cast<int>(client.bottom), DpiScale(window, HtmlView::FallbackLinkHeight));
        text.top = std::max(0, (line - height) / 2);
        text.bottom = text.top + height;
        // The measure leaves out the last letter's overhang; never clipped.
        text.right += DpiScale(window, 2);
        DrawTextW(dc, HtmlView::FallbackLinkText, -1, &text, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
        link->text = text;
        if (GetFocus() == window) {
          RECT focus = text;
          InflateRect(&focus, DpiScale(window, 2), 1);
          SetTextColor(dc, SchemeColour(COLOR_WINDOWTEXT));
          SetBkColor(dc, SchemeColour(COLOR_WINDOW));
          DrawFocusRect(dc, &focus);
        }
        const WideString& notice = link->view->OpenedNotice();
        if (!notice.IsEmpty()) {
          RECT rest = {text.right + DpiScale(window, 12), text.top, client.right - margin, text.bottom};
          SetTextColor(dc, SchemeColour(COLOR_WINDOWTEXT));
          DrawTextW(dc, notice.CStr(), -1, &rest, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_PATH_ELLIPSIS);
        }
      }
      EndPaint(window, &paint);
      return 0;
    }
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) {
        POINT point;
        GetCursorPos(&point);
        ScreenToClient(window, &point);
        if (OverText(window, MAKELPARAM(point.x, point.y))) {
          SetCursor(LoadCursorW(nullptr, IDC_HAND));
          return TRUE;
        }
      }
      break;
    case WM_LBUTTONDOWN:
      SetFocus(window);
      return 0;
    case WM_LBUTTONUP:
      if (OverText(window, lParam)) {
        LinkOf(window)->view->OpenInBrowser();
        InvalidateRect(window, nullptr, TRUE);
      }
      return 0;
    case WM_KEYDOWN:
      if ((wParam == VK_RETURN || wParam == VK_SPACE) && LinkOf(window) &&
          !LinkOf(window)->view->PendingPage().IsEmpty()) {
        LinkOf(window)->view->OpenInBrowser();
        InvalidateRect(window, nullptr, TRUE);
        return 0;
      }
      break;
    case WM_GETDLGCODE: {
      // Enter activates the link rather than the dialog's default button.
      const MSG* msg = reinterpret_cast<const MSG*>(lParam);
      if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) return DLGC_WANTMESSAGE;
      return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(window, nullptr, TRUE);
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

int RegisterLinkClass(HINSTANCE instance) {
  WNDCLASSEXW c = {};
  c.cbSize = sizeof c;
  if (GetClassInfoExW(instance, kLinkClass, &c)) return 1;
  c.cbSize = sizeof c;
  c.lpfnWndProc = LinkProcedure;
  c.hInstance = instance;
  c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  c.lpszClassName = kLinkClass;
  return RegisterClassExW(&c) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&LinkProcedure), &module);
  return module;
}

}  // namespace

// ------------------------------------------------------------------ the view

const wchar_t HtmlView::FallbackLinkText[] = L"Open this chart in your web browser";

COLORREF HtmlView::LinkColour() {
  // High Contrast has a link colour of its own and the dark mode a light
  // blue; otherwise a link blue that reads on the window's white (the
  // system's hot-light colour is a pale blue under Wine).
  return SchemeTextColour(RGB(0x00, 0x56, 0xB3), true);
}

HtmlView::HtmlView() { navigated_.Create(Event::AutoReset, Event::StartsUnsignalled); }

HtmlView::~HtmlView() { Destroy(); }

bool HtmlView::HasBrowser() const { return host_ && host_->browser; }

void HtmlView::SetDocumentOpener(HtmlViewDocumentOpener opener) { g_opener = opener; }

void HtmlView::SetWaitClock(Event::ClockFn clock) { g_clock = clock; }

unsigned HtmlView::ParseEngineVersion(const wchar_t* svcVersion, const wchar_t* version,
                                      const wchar_t* iver) {
  const wchar_t* text = svcVersion && *svcVersion ? svcVersion : version;
  if (text && *text) {
    unsigned parts[4] = {0, 0, 0, 0};
    if (swscanf(text, L"%u.%u.%u.%u", &parts[0], &parts[1], &parts[2], &parts[3]) < 1) return 0;
    return (parts[0] & 0xFF) << 24 | (parts[1] & 0xFF) << 16 | (parts[2] & 0xFFFF);
  }
  unsigned number = 0;
  if (!iver || swscanf(iver, L"%u", &number) != 1) return 0;
  switch (number) {
    case 100: return 1u << 24;
    case 101: return 2u << 24;
    case 102: return 2u << 24 | 5u << 16;
    case 103: return 3u << 24;
    default: return 0;
  }
}

unsigned HtmlView::EngineMajorVersion() {
  WideString svc, version, iver;
  RegReadString(HKEY_LOCAL_MACHINE, kEngineKey, L"svcVersion", svc);
  RegReadString(HKEY_LOCAL_MACHINE, kEngineKey, L"Version", version);
  RegReadString(HKEY_LOCAL_MACHINE, kEngineKey, L"IVer", iver);
  return ParseEngineVersion(svc.CStr(), version.CStr(), iver.CStr()) >> 24;
}

void HtmlView::SignalIfWaiting(unsigned bit) {
  if (options_ & bit) {
    options_ &= ~bit;
    navigated_.Set();
  }
}

int HtmlView::Create(HWND parent, unsigned options, const int* values, HMODULE module) {
  Destroy();
  if (!parent || !IsWindow(parent)) return 0;
  parent_ = parent;
  GetClientRect(parent, &rect_);
  // Stored first: the host's answers during activation read them.
  options_ = options & ~(HtmlViewWaitingDownload | HtmlViewWaitingNavigate |
                         HtmlViewWaitingDocument | HtmlViewScriptErrorSeen);
  for (int i = 0; i < 4; ++i) values_[i] = values ? values[i] : 0;

  if (!(options & HtmlViewNoEmulationValue)) {
    WideString path;
    if (ProgramPath(path, module)) {
      const wchar_t* name = path.CStr();
      for (const wchar_t* p = path.CStr(); *p; ++p)
        if (*p == L'\\' || *p == L'/') name = p + 1;
      RegWriteDword(HKEY_CURRENT_USER, kEmulationKey, name, EngineMajorVersion() * 1000);
    }
  }

  host_ = new (std::nothrow) Host(this, parent);
  if (!host_ || !host_->Complete()) {
    return Fallback();
  }
  // Without the engine's HTML document the control would stay an empty
  // area: the link is shown instead.
  ComRef<IUnknown> document;
  if (FAILED(CoCreateInstance(kHtmlDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                              document.OutVoid())) ||
      FAILED(CoCreateInstance(kWebBrowser, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_IUnknown, host_->object.OutVoid()))) {
    return Fallback();
  }
  document.Reset();
  Host& h = *host_;
  ComRef<IPersistStreamInit> persist;
  if (SUCCEEDED(h.object->QueryInterface(IID_IPersistStreamInit, persist.OutVoid())))
    persist->InitNew();
  if (FAILED(h.object->QueryInterface(IID_IOleObject, h.oleObject.OutVoid()))) {
    return Fallback();
  }
  h.site->SetObject(h.oleObject.Get());
  h.oleObject->SetClientSite(static_cast<IOleClientSite*>(h.site));
  OleRun(h.object.Get());
  h.object->QueryInterface(IID_IViewObjectEx, h.viewObject.OutVoid());
  h.object->QueryInterface(IID_IOleInPlaceObject, h.inPlace.OutVoid());
  h.object->QueryInterface(IID_IOleInPlaceObjectWindowless, h.windowless.OutVoid());
  h.object->QueryInterface(IID_IOleInPlaceActiveObject, h.active.OutVoid());
  OleSetContainedObject(h.object.Get(), TRUE);

  IOleClientSite* site = static_cast<IOleClientSite*>(h.site);
  h.oleObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, parent, &rect_);
  HWND control = nullptr;
  if (h.inPlace) h.inPlace->GetWindow(&control);
  if (options & HtmlViewHidden) {
    if (control)
      SetWindowPos(control, nullptr, 0, 0, 0, 0,
                   SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_HIDEWINDOW);
  } else {
    h.oleObject->DoVerb(OLEIVERB_SHOW, nullptr, site, 0, parent, &rect_);
    if (!(options & HtmlViewNoUiActivate))
      h.oleObject->DoVerb(OLEIVERB_UIACTIVATE, nullptr, site, 0, parent, &rect_);
    if (control)
      SetWindowPos(control, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
  }

  if (FAILED(h.object->QueryInterface(IID_IWebBrowser2, h.browser.OutVoid()))) {
    return Fallback();
  }
  if (!(options & HtmlViewNoEventSink)) {
    ComRef<IConnectionPointContainer> container;
    if (FAILED(h.object->QueryInterface(IID_IConnectionPointContainer, container.OutVoid())) ||
        FAILED(container->FindConnectionPoint(kWebBrowserEvents2, h.events.Out())) ||
        FAILED(h.events->Advise(static_cast<IDispatch*>(h.sink), &h.cookie))) {
      h.events.Reset();
      return Fallback();
    }
  }
  if (options & HtmlViewSilent) h.browser->put_Silent(VARIANT_TRUE);
  return 1;
}

int HtmlView::Fallback() {
  ReleaseBrowser();
  ShowFallback();
  return 0;
}

void HtmlView::ShowFallback() {
  if (fallback_ || !parent_) return;
  HINSTANCE instance = ThisModule();
  if (!RegisterLinkClass(instance)) return;
  fallback_ = CreateWindowExW(0, kLinkClass, FallbackLinkText,
                              WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, rect_.left,
                              rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top,
                              parent_, nullptr, instance, this);
  if (fallback_) SetWindowPos(fallback_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

HWND HtmlView::Window() const {
  if (fallback_) return fallback_;
  if (!host_ || !host_->browser) return nullptr;
  HWND window = nullptr;
  if (options_ & HtmlViewNoEventSink) {
    SHANDLE_PTR handle = 0;
    if (SUCCEEDED(host_->browser->get_HWND(&handle))) window = reinterpret_cast<HWND>(handle);
  } else if (host_->inPlace) {
    host_->inPlace->GetWindow(&window);
  }
  return window;
}

int HtmlView::Move(int left, int top, int right, int bottom) {
  RECT rect = {left, top, right, bottom};
  if (fallback_) {
    rect_ = rect;
    MoveWindow(fallback_, left, top, right - left, bottom - top, TRUE);
    return 1;
  }
  if (!host_ || !host_->inPlace) return 0;
  rect_ = rect;
  host_->inPlace->SetObjectRects(&rect_, &rect_);
  return 1;
}

int HtmlView::Navigate(const wchar_t* url, int wait) {
  if (!host_ || !host_->browser) return 0;
  navigated_.Reset();
  options_ &= ~(HtmlViewWaitingDownload | HtmlViewWaitingNavigate | HtmlViewWaitingDocument);
  if (wait == HtmlViewWaitDocument)
    options_ |= HtmlViewWaitingDocument;
  else
    options_ |= HtmlViewWaitingNavigate;
  VARIANT flags, empty;
  VariantInit(&flags);
  VariantInit(&empty);
  V_VT(&flags) = VT_I4;
  V_I4(&flags) = (options_ & HtmlViewKeepHistory) ? 12 : 14;
  BSTR address = SysAllocString(url ? url : L"");
  // Held for the call: the browser's events reach callbacks that may
  // destroy the view before it returns.
  IWebBrowser2* browser = host_->browser.Get();
  browser->AddRef();
  ComRef<IWebBrowser2> hold(browser);
  HRESULT result = browser->Navigate(address, &flags, &empty, &empty, &empty);
  SysFreeString(address);
  if (FAILED(result)) return 0;
  if ((wait == HtmlViewWaitNavigate || wait == HtmlViewWaitDocument) &&
      !(options_ & HtmlViewNoEventSink)) {
    // Bounded: a browser that never reports back must not hold the window.
    int signalled = navigated_.WaitPumping(WaitLimitMs, g_clock);
    if (!signalled)
      options_ &= ~(HtmlViewWaitingNavigate | HtmlViewWaitingDocument);
    return signalled;
  }
  return 1;
}

int HtmlView::WriteDocument(const wchar_t* text) {
  if (!host_ || !host_->browser) {
    // Only the link can show the page: keep it for the link's click.
    if (fallback_) {
      // Another page gets a file of its own when opened: the one a browser
      // may still show stays as it was.
      if (wcscmp(pending_.CStr(), text ? text : L"") != 0) serial_ = 0;
      pending_.Assign(text ? text : L"");
      InvalidateRect(fallback_, nullptr, TRUE);
    }
    return 0;
  }
  ComRef<IDispatch> dispatch;
  if (FAILED(host_->browser->get_Document(dispatch.Out())) || !dispatch) {
    IWebBrowser2* browser = host_->browser.Get();
    browser->AddRef();
    ComRef<IWebBrowser2> hold(browser);
    Navigate(L"about:blank", HtmlViewWaitNavigate);
    // The wait dispatched the window's messages: the page may have closed
    // its view (or hosted another browser) meanwhile. Nothing to write then.
    if (!host_ || host_->browser.Get() != browser) return 0;
    if (FAILED(browser->get_Document(dispatch.Out())) || !dispatch) {
      // The engine makes no documents after all: the link takes the place.
      dispatch.Reset();
      Fallback();
      return WriteDocument(text);
    }
  }
  ComRef<IHTMLDocument2> document;
  if (FAILED(dispatch->QueryInterface(IID_IHTMLDocument2, document.OutVoid()))) return 0;
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  if (!array) return 0;
  int written = 0;
  VARIANT* element = nullptr;
  if (SUCCEEDED(SafeArrayAccessData(array, reinterpret_cast<void**>(&element)))) {
    V_VT(element) = VT_BSTR;
    V_BSTR(element) = SysAllocString(text ? text : L"");
    SafeArrayUnaccessData(array);
    if (V_BSTR(element) || !text || !*text)
      written = SUCCEEDED(document->write(array)) && SUCCEEDED(document->close());
  }
  SafeArrayDestroy(array);  // frees the string with the element
  return written;
}

int HtmlView::OpenInBrowser(WideString* savedPath) {
  if (pending_.IsEmpty()) return 0;
  wchar_t folder[MAX_PATH];
  DWORD n = GetTempPathW(MAX_PATH, folder);
  if (n == 0 || n >= MAX_PATH) {
    notice_.Assign(L"The chart page could not be saved: the temporary folder cannot be found");
    return 0;
  }
  // Every failure from here on says so, in place of what the link said before.
  auto failed = [&]() {
    notice_.Format(L"The chart page could not be saved in %s", folder);
    return 0;
  };
  if (!serial_) {
    static LONG pages = 0;
    serial_ = static_cast<unsigned>(InterlockedIncrement(&pages));
  }
  WideString path;
  if (!path.Format(L"%sPellton chart %lu-%u.html", folder, GetCurrentProcessId(), serial_)) return failed();
  // The page declares UTF-8.
  int bytes = WideCharToMultiByte(CP_UTF8, 0, pending_.CStr(), static_cast<int>(pending_.Length()),
                                  nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return failed();
  std::vector<char> utf8;
  try {
    utf8.resize(static_cast<size_t>(bytes));
  } catch (const std::bad_alloc&) {
    return failed();
  }
  if (WideCharToMultiByte(CP_UTF8, 0, pending_.CStr(), static_cast<int>(pending_.Length()), utf8.data(),
                          bytes, nullptr, nullptr) != bytes) {
    return failed();
  }
  KernelHandle file(CreateFileW(path.CStr(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file == INVALID_HANDLE_VALUE) return failed();
  DWORD written = 0;
  int saved = WriteFile(file, utf8.data(), static_cast<DWORD>(bytes), &written, nullptr) &&
              written == static_cast<DWORD>(bytes);
  saved = file.Close() && saved;
  if (!saved) {
    // A part of a page is no page: it goes.
    DeleteFileW(path.CStr());
    return failed();
  }
  bool known = false;
  for (const std::wstring& page : g_savedPages) known = known || page == path.CStr();
  if (!known) g_savedPages.push_back(path.CStr());
  if (savedPath) savedPath->Assign(path);
  const int opened = g_opener ? g_opener(path.CStr()) : ShellOpenDocument(path.CStr());
  // Said either way: a browser that is started but never shows up (Wine
  // without one) leaves the user only the file.
  if (opened) {
    notice_.Format(L"Handed to your web browser: %s", path.CStr());
  } else {
    notice_.Format(L"No web browser could be started. The chart page is saved as %s", path.CStr());
  }
  return opened;
}

void HtmlView::RemoveSavedPages() {
  for (const std::wstring& page : g_savedPages) DeleteFileW(page.c_str());
  g_savedPages.clear();
}

void HtmlView::ReleaseBrowser() {
  if (host_) {
    Host& h = *host_;
    if (h.events) {
      if (h.cookie) h.events->Unadvise(h.cookie);
      h.events.Reset();
      h.cookie = 0;
    }
    if (h.inPlace) {
      h.inPlace->UIDeactivate();
      h.inPlace->InPlaceDeactivate();
    }
    if (h.oleObject) {
      h.oleObject->Close(OLECLOSE_NOSAVE);
      h.oleObject->SetClientSite(nullptr);
    }
    h.active.Reset();
    h.windowless.Reset();
    h.inPlace.Reset();
    h.viewObject.Reset();
    h.oleObject.Reset();
    h.object.Reset();
    h.browser.Reset();
    if (h.site) h.site->SetObject(nullptr);
    delete host_;
    host_ = nullptr;
  }
  options_ &= ~(HtmlViewWaitingDownload | HtmlViewWaitingNavigate | HtmlViewWaitingDocument);
}

void HtmlView::Destroy() {
  ReleaseBrowser();
  if (fallback_) {
    DestroyWindow(fallback_);
    fallback_ = nullptr;
  }
  pending_.Assign(L"");
  notice_.Assign(L"");
}
