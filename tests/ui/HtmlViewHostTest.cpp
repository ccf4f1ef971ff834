// The HTML view's hosting against a stand-in browser object registered for
// the WebBrowser class in this process: activation and release in order,
// the control site's and the document host's answers, the script-error
// rule, the event sink, about:blank before the first write, and the bounded
// wait.
#include <gtest/gtest.h>

#include <windows.h>
#include <exdisp.h>
#include <mshtmhst.h>
#include <ocidl.h>
#include <oleidl.h>

#include <string>
#include <vector>

#include "core/ComApartment.h"
#include "core/ComRef.h"
#include "ui/HtmlView.h"

namespace {

const CLSID kWebBrowser = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
const CLSID kHtmlDocument = {0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};
const IID kWebBrowserEvents2 = {0x34A715A0, 0x6587, 0x11D0, {0x92, 0x4A, 0x00, 0x20, 0xAF, 0xC7, 0xAC, 0x4D}};
const GUID kDocHostCommandHandler = {0xF38BC242, 0xB950, 0x11D1, {0x89, 0x18, 0x00, 0xC0, 0x4F, 0xC2, 0xC8, 0x36}};
const IID kDocHostUiHandler = {0xBD3F23C0, 0xD43E, 0x11CF, {0x89, 0x3B, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x1A}};
const UINT kFireMessage = WM_APP + 7;

#define STUB(signature) \
  HRESULT STDMETHODCALLTYPE signature override { return E_NOTIMPL; }

// How the stand-in answers a navigation.
enum class Answer { Posted, Never };

// A plain dispatch object: a "document" that is no HTML document.
class PlainDispatch : public IDispatch {
public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  STUB(GetTypeInfoCount(UINT*))
  STUB(GetTypeInfo(UINT, LCID, ITypeInfo**))
  STUB(GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*))
  STUB(Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*))
  ULONG references = 1;
};

// The browser object: an OLE object with a window of its own, the browser
// interface (navigation and the document) and its event connection.
class FakeBrowser : public IOleObject,
                    public IOleInPlaceObject,
                    public IWebBrowser2,
                    public IConnectionPointContainer,
                    public IConnectionPoint {
public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleObject) *out = static_cast<IOleObject*>(this);
    else if (iid == IID_IOleInPlaceObject || iid == IID_IOleWindow)
      *out = static_cast<IOleInPlaceObject*>(this);
    else if (iid == IID_IWebBrowser2 || iid == IID_IWebBrowserApp || iid == IID_IWebBrowser ||
             iid == IID_IDispatch)
      *out = static_cast<IWebBrowser2*>(this);
    else if (iid == IID_IConnectionPointContainer)
      *out = static_cast<IConnectionPointContainer*>(this);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }

  // IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override {
    calls.push_back(site ? "SetClientSite" : "SetClientSite(none)");
    if (site) site->AddRef();
    if (this->site) this->site->Release();
    this->site = site;
    return S_OK;
  }
  STUB(GetClientSite(IOleClientSite**))
  STUB(SetHostNames(LPCOLESTR, LPCOLESTR))
  HRESULT STDMETHODCALLTYPE Close(DWORD option) override {
    calls.push_back(option == OLECLOSE_NOSAVE ? "Close(no save)" : "Close");
    return S_OK;
  }
  STUB(SetMoniker(DWORD, IMoniker*))
  STUB(GetMoniker(DWORD, DWORD, IMoniker**))
  STUB(InitFromData(IDataObject*, BOOL, DWORD))
  STUB(GetClipboardData(DWORD, IDataObject**))
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* active, LONG, HWND parent,
                                   LPCRECT) override {
    calls.push_back("DoVerb " + std::to_string(verb));
    if (verb == OLEIVERB_INPLACEACTIVATE) {
      ComRef<IOleInPlaceSite> inPlaceSite;
      if (FAILED(active->QueryInterface(IID_IOleInPlaceSite, inPlaceSite.OutVoid()))) return E_FAIL;
      if (inPlaceSite->CanInPlaceActivate() != S_OK) return E_FAIL;
      inPlaceSite->OnInPlaceActivate();
      ComRef<IOleInPlaceFrame> frame;
      ComRef<IOleInPlaceUIWindow> doc;
      frameInfo.cb = sizeof frameInfo;
      inPlaceSite->GetWindowContext(frame.Out(), doc.Out(), &position, &clip, &frameInfo);
      hadFrame = static_cast<bool>(frame);
      inPlaceSite->GetWindow(&siteWindow);
      window = CreateWindowExW(0, L"STATIC", L"browser", WS_CHILD, position.left, position.top,
                               position.right - position.left, position.bottom - position.top,
                               parent, nullptr, nullptr, nullptr);
    }
    return S_OK;
  }
  STUB(EnumVerbs(IEnumOLEVERB**))
  STUB(Update())
  STUB(IsUpToDate())
  STUB(GetUserClassID(CLSID*))
  STUB(GetUserType(DWORD, LPOLESTR*))
  STUB(SetExtent(DWORD, SIZEL*))
  STUB(GetExtent(DWORD, SIZEL*))
  STUB(Advise(IAdviseSink*, DWORD*))
  STUB(EnumAdvise(IEnumSTATDATA**))
  STUB(GetMiscStatus(DWORD, DWORD*))
  STUB(SetColorScheme(LOGPALETTE*))

  // IOleInPlaceObject
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override {
    *out = window;
    return window ? S_OK : E_FAIL;
  }
  STUB(ContextSensitiveHelp(BOOL))
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override {
    calls.push_back("InPlaceDeactivate");
    if (window) DestroyWindow(window);
    window = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UIDeactivate() override {
    calls.push_back("UIDeactivate");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT place, LPCRECT clipped) override {
    placed = *place;
    clip = *clipped;
    return S_OK;
  }
  STUB(ReactivateAndUndo())

  // IDispatch of the browser
  STUB(GetTypeInfoCount(UINT*))
  STUB(GetTypeInfo(UINT, LCID, ITypeInfo**))
  STUB(GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*))
  STUB(Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*))
  // IWebBrowser
  STUB(GoBack())
  STUB(GoForward())
  STUB(GoHome())
  STUB(GoSearch())
  HRESULT STDMETHODCALLTYPE Navigate(BSTR url, VARIANT* flags, VARIANT*, VARIANT*,
                                     VARIANT*) override {
    navigations.push_back(url);
    navigationFlags.push_back(flags && V_VT(flags) == VT_I4 ? V_I4(flags) : -1);
    if (answer == Answer::Posted) PostMessageW(messages, kFireMessage, 0, 0);
    return S_OK;
  }
  STUB(Refresh())
  STUB(Refresh2(VARIANT*))
  STUB(Stop())
  STUB(get_Application(IDispatch**))
  STUB(get_Parent(IDispatch**))
  STUB(get_Container(IDispatch**))
  HRESULT STDMETHODCALLTYPE get_Document(IDispatch** out) override {
    *out = nullptr;
    if (!documentReady) return S_FALSE;
    document.AddRef();
    *out = &document;
    return S_OK;
  }
  STUB(get_TopLevelContainer(VARIANT_BOOL*))
  STUB(get_Type(BSTR*))
  STUB(get_Left(LONG*))
  STUB(put_Left(LONG))
  STUB(get_Top(LONG*))
  STUB(put_Top(LONG))
  STUB(get_Width(LONG*))
  STUB(put_Width(LONG))
  STUB(get_Height(LONG*))
  STUB(put_Height(LONG))
  STUB(get_LocationName(BSTR*))
  STUB(get_LocationURL(BSTR*))
  STUB(get_Busy(VARIANT_BOOL*))
  // IWebBrowserApp
  STUB(Quit())
  STUB(ClientToWindow(int*, int*))
  STUB(PutProperty(BSTR, VARIANT))
  STUB(GetProperty(BSTR, VARIANT*))
  STUB(get_Name(BSTR*))
  STUB(get_HWND(SHANDLE_PTR*))
  STUB(get_FullName(BSTR*))
  STUB(get_Path(BSTR*))
  STUB(get_Visible(VARIANT_BOOL*))
  STUB(put_Visible(VARIANT_BOOL))
  STUB(get_StatusBar(VARIANT_BOOL*))
  STUB(put_StatusBar(VARIANT_BOOL))
  STUB(get_StatusText(BSTR*))
  STUB(put_StatusText(BSTR))
  STUB(get_ToolBar(int*))
  STUB(put_ToolBar(int))
  STUB(get_MenuBar(VARIANT_BOOL*))
  STUB(put_MenuBar(VARIANT_BOOL))
  STUB(get_FullScreen(VARIANT_BOOL*))
  STUB(put_FullScreen(VARIANT_BOOL))
  // IWebBrowser2
  STUB(Navigate2(VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*))
  STUB(QueryStatusWB(OLECMDID, OLECMDF*))
  STUB(ExecWB(OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*))
  STUB(ShowBrowserBar(VARIANT*, VARIANT*, VARIANT*))
  STUB(get_ReadyState(READYSTATE*))
  STUB(get_Offline(VARIANT_BOOL*))
  STUB(put_Offline(VARIANT_BOOL))
  STUB(get_Silent(VARIANT_BOOL*))
  HRESULT STDMETHODCALLTYPE put_Silent(VARIANT_BOOL value) override {
    silent = value == VARIANT_TRUE;
    return S_OK;
  }
  STUB(get_RegisterAsBrowser(VARIANT_BOOL*))
  STUB(put_RegisterAsBrowser(VARIANT_BOOL))
  STUB(get_RegisterAsDropTarget(VARIANT_BOOL*))
  STUB(put_RegisterAsDropTarget(VARIANT_BOOL))
  STUB(get_TheaterMode(VARIANT_BOOL*))
  STUB(put_TheaterMode(VARIANT_BOOL))
  STUB(get_AddressBar(VARIANT_BOOL*))
  STUB(put_AddressBar(VARIANT_BOOL))
  STUB(get_Resizable(VARIANT_BOOL*))
  STUB(put_Resizable(VARIANT_BOOL))

  // IConnectionPointContainer and IConnectionPoint
  STUB(EnumConnectionPoints(IEnumConnectionPoints**))
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
    *out = nullptr;
    if (iid != kWebBrowserEvents2) return static_cast<HRESULT>(0x80040200);  // CONNECT_E_NOCONNECTION
    *out = this;
    AddRef();
    return S_OK;
  }
  STUB(GetConnectionInterface(IID*))
  STUB(GetConnectionPointContainer(IConnectionPointContainer**))
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* unknown, DWORD* cookie) override {
    if (FAILED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&sink))))
      return E_FAIL;
    calls.push_back("Advise");
    *cookie = 77;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    calls.push_back("Unadvise " + std::to_string(cookie));
    if (sink) sink->Release();
    sink = nullptr;
    return S_OK;
  }
  STUB(EnumConnections(IEnumConnections**))

  // Sends an event to the view's sink with the arguments in their declared
  // order.
  HRESULT Fire(DISPID id, std::vector<VARIANT> arguments) {
    if (!sink) return E_FAIL;
    std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
    DISPPARAMS parameters = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    return sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &parameters, nullptr, nullptr,
                        nullptr);
  }

  ULONG references = 1;
  IOleClientSite* site = nullptr;
  IDispatch* sink = nullptr;
  HWND window = nullptr;
  HWND siteWindow = nullptr;
  HWND messages = nullptr;
  RECT position = {}, clip = {}, placed = {};
  OLEINPLACEFRAMEINFO frameInfo = {};
  bool hadFrame = false;
  bool silent = false;
  bool documentReady = false;
  bool readyAfterNavigate = true;  // the document exists once a navigation completed
  bool alsoDocument = false;       // a completed navigation also completes its document
  Answer answer = Answer::Posted;
  std::vector<std::string> calls;
  std::vector<std::wstring> navigations;
  std::vector<long> navigationFlags;
  PlainDispatch document;
};

// Hands out the one stand-in object (or, for the HTML document class, a
// plain object, which is all the view asks of it).
class Factory : public IClassFactory {
public:
  explicit Factory(IUnknown* product) : product_(product) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (outer) return CLASS_E_NOAGGREGATION;
    return product_->QueryInterface(iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
  IUnknown* product_;
};

unsigned long long g_now = 0;
// Every reading twenty seconds on: a wait's deadline has passed at once.
unsigned long long TestClock() { return g_now += 20000; }

struct Recorded {
  std::vector<std::wstring> titles, urls, other;
  int approvals = 0;
  int approve = 1;
};

int Approve(void* user, const wchar_t* url, const wchar_t*, const wchar_t*) {
  auto* r = static_cast<Recorded*>(user);
  ++r->approvals;
  r->urls.push_back(url);
  return r->approve;
}
void Title(void* user, const wchar_t* title) { static_cast<Recorded*>(user)->titles.push_back(title); }
void Completed(void* user, int navigate, const wchar_t* url) {
  static_cast<Recorded*>(user)->urls.push_back((navigate ? L"navigated " : L"document ") +
                                               std::wstring(url));
}
void Other(void* user, DISPID id, DISPPARAMS*) {
  static_cast<Recorded*>(user)->other.push_back(std::to_wstring(id));
}

VARIANT Text(BSTR text) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = text;
  return v;
}
VARIANT Ref(VARIANT* target) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_VARIANT | VT_BYREF;
  V_VARIANTREF(&v) = target;
  return v;
}
VARIANT BoolRef(VARIANT_BOOL* target) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BOOL | VT_BYREF;
  V_BOOLREF(&v) = target;
  return v;
}
VARIANT Empty() {
  VARIANT v;
  VariantInit(&v);
  return v;
}

struct HostFixture : ::testing::Test {
  static LRESULT CALLBACK Fire(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kFireMessage) {
      auto* browser = reinterpret_cast<FakeBrowser*>(GetWindowLongPtrW(window, GWLP_USERDATA));
      browser->documentReady = browser->readyAfterNavigate;
      VARIANT url = Text(SysAllocString(browser->navigations.back().c_str()));
      browser->Fire(252, {Empty(), Ref(&url)});
      if (browser->alsoDocument) browser->Fire(259, {Empty(), Ref(&url)});
      VariantClear(&url);
      return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }
  void SetUp() override {
    ASSERT_EQ(1, com.Init());
    ASSERT_EQ(S_OK, CoRegisterClassObject(kWebBrowser, &browserFactory, CLSCTX_INPROC_SERVER,
                                          REGCLS_MULTIPLEUSE, &browserCookie));
    ASSERT_EQ(S_OK, CoRegisterClassObject(kHtmlDocument, &documentFactory, CLSCTX_INPROC_SERVER,
                                          REGCLS_MULTIPLEUSE, &documentCookie));
    parent = CreateWindowExW(0, L"STATIC", L"page", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                             nullptr, nullptr);
    WNDCLASSW c = {};
    c.lpfnWndProc = Fire;
    c.lpszClassName = L"PelltonFakeBrowserEvents";
    RegisterClassW(&c);
    browser.messages = CreateWindowExW(0, c.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                       nullptr, nullptr, nullptr);
    SetWindowLongPtrW(browser.messages, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&browser));
    HtmlView::SetWaitClock(nullptr);
  }
  void TearDown() override {
    view.Destroy();
    HtmlView::SetWaitClock(nullptr);
    CoRevokeClassObject(browserCookie);
    CoRevokeClassObject(documentCookie);
    DestroyWindow(browser.messages);
    DestroyWindow(parent);
  }
  // The interface the view's control site gives the browser.
  template <class T>
  void SiteInterface(REFIID iid, ComRef<T>& out) {
    out.Reset();
    if (browser.site) browser.site->QueryInterface(iid, out.OutVoid());
  }

  ComApartment com;
  FakeBrowser browser;
  PlainDispatch plainDocument;
  Factory browserFactory{static_cast<IOleObject*>(&browser)};
  Factory documentFactory{&plainDocument};
  DWORD browserCookie = 0, documentCookie = 0;
  HWND parent = nullptr;
  HtmlView view;
};

}  // namespace

TEST_F(HostFixture, CreateActivatesInPlaceAndDestroyUndoesItInOrder) {
  const int values[4] = {1, 2, 3, 4};
  ASSERT_EQ(1, view.Create(parent, HtmlViewPageOptions | HtmlViewSilent, values));
  EXPECT_TRUE(view.HasBrowser());
  EXPECT_EQ(4, view.Values()[3]);
  std::vector<std::string> expected = {"SetClientSite", "DoVerb -5", "DoVerb -1", "DoVerb -4",
                                       "Advise"};
  EXPECT_EQ(expected, browser.calls);
  EXPECT_TRUE(browser.silent);
  ASSERT_TRUE(browser.window);
  EXPECT_EQ(browser.window, view.Window());
  EXPECT_NE(0, GetWindowLongW(browser.window, GWL_STYLE) & WS_VISIBLE);
  // The site is the parent window itself, with the whole client area.
  EXPECT_EQ(parent, browser.siteWindow);
  EXPECT_EQ(parent, browser.frameInfo.hwndFrame);
  EXPECT_TRUE(browser.hadFrame);
  EXPECT_EQ(0u, browser.frameInfo.cAccelEntries);
  EXPECT_EQ(400, browser.position.right);
  EXPECT_EQ(300, browser.clip.bottom);

  ASSERT_EQ(1, view.Move(10, 75, 390, 300));
  EXPECT_EQ(10, browser.placed.left);
  EXPECT_EQ(75, browser.placed.top);
  EXPECT_EQ(390, browser.placed.right);
  EXPECT_EQ(300, browser.placed.bottom);

  browser.calls.clear();
  view.Destroy();
  expected = {"Unadvise 77", "UIDeactivate", "InPlaceDeactivate", "Close(no save)",
              "SetClientSite(none)"};
  EXPECT_EQ(expected, browser.calls);
  EXPECT_EQ(1u, browser.references);  // every reference given back
  EXPECT_FALSE(view.HasBrowser());
  EXPECT_EQ(nullptr, view.Window());
  EXPECT_EQ(0, view.Move(0, 0, 1, 1));
}

TEST_F(HostFixture, HiddenCreationAndNoUiActivationLeaveOutTheirVerbs) {
  ASSERT_EQ(1, view.Create(parent, HtmlViewHidden | HtmlViewNoEventSink | HtmlViewNoUiActivate));
  std::vector<std::string> expected = {"SetClientSite", "DoVerb -5"};
  EXPECT_EQ(expected, browser.calls);
  EXPECT_EQ(0, GetWindowLongW(browser.window, GWL_STYLE) & WS_VISIBLE);
  EXPECT_FALSE(browser.silent);
  EXPECT_EQ(nullptr, browser.sink);
  // Without the sink nothing is waited for.
  EXPECT_EQ(1, view.Navigate(L"about:blank", HtmlViewWaitDocument));
}

TEST_F(HostFixture, TheDocumentHostAnswersFollowTheOptions) {
  ASSERT_EQ(1, view.Create(parent, HtmlViewPageOptions));
  ComRef<IDocHostUIHandler> handler;
  SiteInterface(kDocHostUiHandler, handler);
  ASSERT_TRUE(handler);
  DOCHOSTUIINFO info = {};
  ASSERT_EQ(S_OK, handler->GetHostInfo(&info));
  EXPECT_EQ(0x00144000u | 0x00200004u, info.dwFlags);
  EXPECT_EQ(static_cast<DWORD>(DOCHOSTUIDBLCLK_DEFAULT), info.dwDoubleClick);
  POINT at = {5, 5};
  EXPECT_EQ(S_OK, handler->ShowContextMenu(0, &at, nullptr, nullptr));  // no menu
  EXPECT_EQ(S_OK, handler->ShowContextMenu(2, &at, nullptr, nullptr));
  ComRef<IDropTarget> drop;
  EXPECT_EQ(E_NOTIMPL, handler->GetDropTarget(nullptr, drop.Out()));
  ComRef<IDispatch> external;
  ASSERT_EQ(S_OK, handler->GetExternal(external.Out()));
  LPOLESTR name = const_cast<LPOLESTR>(L"anything");
  DISPID id = 0;
  EXPECT_EQ(E_NOTIMPL, external->GetIDsOfNames(IID_NULL, &name, 1, 0, &id));
  LPWSTR translated = nullptr;
  EXPECT_EQ(S_FALSE, handler->TranslateUrl(0, const_cast<LPWSTR>(L"http://x/"), &translated));
  EXPECT_EQ(E_NOTIMPL, handler->ShowUI(0, nullptr, nullptr, nullptr, nullptr));

  view.Create(parent, HtmlViewNoContextMenu | HtmlViewControlMenus | HtmlViewNoScrollBars |
                          HtmlViewDialogMode | HtmlViewAcceptDrops);
  SiteInterface(kDocHostUiHandler, handler);
  ASSERT_TRUE(handler);
  ASSERT_EQ(S_OK, handler->GetHostInfo(&info));
  EXPECT_EQ(0x00144000u | 0x8u | 0x1u, info.dwFlags);
  EXPECT_EQ(S_OK, handler->ShowContextMenu(0, &at, nullptr, nullptr));
  EXPECT_EQ(E_NOTIMPL, handler->ShowContextMenu(2, &at, nullptr, nullptr));  // form controls
  EXPECT_EQ(S_OK, handler->GetDropTarget(nullptr, drop.Out()));
  EXPECT_TRUE(drop);

  view.Create(parent, 0);
  SiteInterface(kDocHostUiHandler, handler);
  ASSERT_TRUE(handler);
  EXPECT_EQ(E_NOTIMPL, handler->ShowContextMenu(0, &at, nullptr, nullptr));  // the browser's
}

TEST_F(HostFixture, ScriptErrorsAreAnsweredByTheHostOnlyWhenAsked) {
  ASSERT_EQ(1, view.Create(parent, HtmlViewPageOptions));
  ComRef<IOleCommandTarget> target;
  SiteInterface(IID_IOleCommandTarget, target);
  ASSERT_TRUE(target);
  EXPECT_EQ(OLECMDERR_E_UNKNOWNGROUP, target->QueryStatus(nullptr, 0, nullptr, nullptr));
  EXPECT_EQ(0u, view.Options() & HtmlViewScriptErrorSeen);
  VARIANT out;
  VariantInit(&out);
  EXPECT_EQ(S_OK, target->Exec(&kDocHostCommandHandler, 40, 0, nullptr, &out));
  EXPECT_EQ(VT_BOOL, V_VT(&out));
  EXPECT_EQ(VARIANT_FALSE, V_BOOL(&out));
  EXPECT_NE(0u, view.Options() & HtmlViewScriptErrorSeen);
  EXPECT_EQ(OLECMDERR_E_NOTSUPPORTED, target->Exec(&kDocHostCommandHandler, 41, 0, nullptr, &out));
  EXPECT_EQ(OLECMDERR_E_NOTSUPPORTED, target->Exec(nullptr, 40, 0, nullptr, &out));

  view.Create(parent, HtmlViewNoContextMenu);
  SiteInterface(IID_IOleCommandTarget, target);
  ASSERT_TRUE(target);
  EXPECT_EQ(static_cast<HRESULT>(0x80040100),
            target->Exec(&kDocHostCommandHandler, 40, 0, nullptr, &out));  // the browser's dialog
  EXPECT_NE(0u, view.Options() & HtmlViewScriptErrorSeen);

  ComRef<IOleWindow> window;
  SiteInterface(IID_IOleWindow, window);
  HWND handle = nullptr;
  ASSERT_TRUE(window);
  EXPECT_EQ(S_OK, window->GetWindow(&handle));
  EXPECT_EQ(parent, handle);
  ComRef<IDispatch> ambient;
  SiteInterface(IID_IDispatch, ambient);
  ASSERT_TRUE(ambient);
  EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
            ambient->Invoke(-5501, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, nullptr, nullptr,
                            nullptr));
  ComRef<IServiceProvider> services;
  SiteInterface(IID_IServiceProvider, services);
  ASSERT_TRUE(services);
  ComRef<IUnknown> service;
  EXPECT_EQ(E_NOINTERFACE, services->QueryService(IID_IUnknown, IID_IUnknown, service.OutVoid()));
}

TEST_F(HostFixture, TheFirstWriteGoesToAboutBlankFirstAndLaterOnesDoNot) {
  ASSERT_EQ(1, view.Create(parent, HtmlViewPageOptions));
  // The completion arrives as a message: only a wait that dispatches sees it.
  EXPECT_EQ(0, view.WriteDocument(L"<html></html>"));  // the stand-in's document is no HTML
  ASSERT_EQ(1u, browser.navigations.size());
  EXPECT_EQ(L"about:blank", browser.navigations[0]);
  EXPECT_EQ(14, browser.navigationFlags[0]);
  EXPECT_TRUE(view.HasBrowser());
  EXPECT_EQ(0, view.WriteDocument(L"<html></html>"));
  EXPECT_EQ(1u, browser.navigations.size());
  EXPECT_EQ(0u, view.Options() & (HtmlViewWaitingNavigate | HtmlViewWaitingDocument));
}

TEST_F(HostFixture, WhenNoDocumentComesTheLinkReplacesTheBrowser) {
  browser.readyAfterNavigate = false;
  ASSERT_EQ(1, view.Create(parent, HtmlViewPageOptions));
  EXPECT_EQ(0, view.WriteDocument(L"<html>chart</html>"));
  EXPECT_EQ(1u, browser.navigations.size());
  EXPECT_FALSE(view.HasBrowser());
  EXPECT_EQ(1u, browser.references);
  HWND link = view.Window();
  ASSERT_TRUE(link);
  wchar_t text[64] = {};
  GetWindowTextW(link, text, 64);
  EXPECT_STREQ(HtmlView::FallbackLinkText, text);
  EXPECT_STREQ(L"<html>chart</html>", view.PendingPage().CStr());
}

TEST_F(HostFixture, AWaitForABrowserThatNeverAnswersEnds) {
  browser.answer = Answer::Never;
  ASSERT_EQ(1, view.Create(parent, HtmlViewPageOptions | HtmlViewKeepHistory));
  HtmlView::SetWaitClock(TestClock);
  EXPECT_EQ(0, view.Navigate(L"about:blank", HtmlViewWaitNavigate));
  EXPECT_EQ(12, browser.navigationFlags.back());
  EXPECT_EQ(0u, view.Options() & (HtmlViewWaitingNavigate | HtmlViewWaitingDocument));
  EXPECT_EQ(1, view.Navigate(L"about:blank", HtmlViewNoWait));
}

TEST_F(HostFixture, EventsSignalTheWaitAndReachTheCallbacks) {
  Recorded recorded;
  HtmlViewCallbacks callbacks = {};
  callbacks.approve = Approve;
  callbacks.titleChanged = Title;
  callbacks.completed = Completed;
  callbacks.otherEvent = Other;
  callbacks.user = &recorded;
  view.SetCallbacks(callbacks);
  ASSERT_EQ(1, view.Create(parent, HtmlViewPageOptions));

  BSTR title = SysAllocString(L"Walking");
  browser.Fire(113, {Text(title)});
  SysFreeString(title);
  ASSERT_EQ(1u, recorded.titles.size());
  EXPECT_EQ(L"Walking", recorded.titles[0]);

  // BeforeNavigate2: (pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel)
  VARIANT url = Text(SysAllocString(L"http://example.com/"));
  VARIANT frame = Text(SysAllocString(L"_top"));
  VARIANT headers = Text(SysAllocString(L""));
  VARIANT_BOOL cancel = VARIANT_FALSE;
  recorded.approve = 0;
  browser.Fire(250, {Empty(), Ref(&url), Empty(), Ref(&frame), Empty(), Ref(&headers),
                     BoolRef(&cancel)});
  EXPECT_EQ(VARIANT_TRUE, cancel);
  recorded.approve = 1;
  cancel = VARIANT_FALSE;
  browser.Fire(250, {Empty(), Ref(&url), Empty(), Ref(&frame), Empty(), Ref(&headers),
                     BoolRef(&cancel)});
  EXPECT_EQ(VARIANT_FALSE, cancel);
  EXPECT_EQ(2, recorded.approvals);

  browser.Fire(102, {});  // status text: ignored
  browser.Fire(301, {});  // anything else goes to the callback
  std::vector<std::wstring> other = {L"301"};
  EXPECT_EQ(other, recorded.other);

  // A wait for the document lasts past NavigateComplete2 until DocumentComplete.
  browser.alsoDocument = true;
  recorded.urls.clear();
  EXPECT_EQ(1, view.Navigate(L"http://example.com/chart", HtmlViewWaitDocument));
  std::vector<std::wstring> completions = {L"navigated http://example.com/chart",
                                           L"document http://example.com/chart"};
  EXPECT_EQ(completions, recorded.urls);
  EXPECT_EQ(14, browser.navigationFlags.back());
  VariantClear(&url);
  VariantClear(&frame);
  VariantClear(&headers);
}

namespace {
void DestroyOnCompletion(void* user, int, const wchar_t*) { static_cast<HtmlView*>(user)->Destroy(); }
}  // namespace

TEST_F(HostFixture, APageClosedWhileTheFirstWriteWaitsEndsTheWriteQuietly) {
  // The wait for about:blank dispatches the window's messages; the page may
  // close (and destroy its view) in one of them.
  HtmlViewCallbacks callbacks = {};
  callbacks.completed = DestroyOnCompletion;
  callbacks.user = &view;
  view.SetCallbacks(callbacks);
  ASSERT_EQ(1, view.Create(parent, HtmlViewPageOptions));
  EXPECT_EQ(0, view.WriteDocument(L"<html>chart</html>"));
  EXPECT_EQ(1u, browser.navigations.size());
  EXPECT_FALSE(view.HasBrowser());
  EXPECT_EQ(nullptr, view.Window());  // no link appears for a closed page
  EXPECT_TRUE(view.PendingPage().IsEmpty());
  EXPECT_EQ(1u, browser.references);
}

TEST_F(HostFixture, ABrowserHoldingTheHostObjectsPastDestroyStillReachesLiveOnes) {
  ASSERT_EQ(1, view.Create(parent, HtmlViewPageOptions | HtmlViewAcceptDrops));
  // A browser may keep the site and the document host handler it was given
  // for a while after the view let go of it.
  ComRef<IOleClientSite> site;
  SiteInterface(IID_IOleClientSite, site);
  ComRef<IDocHostUIHandler> handler;
  SiteInterface(kDocHostUiHandler, handler);
  ASSERT_TRUE(site);
  ASSERT_TRUE(handler);
  view.Destroy();
  // Other allocations take the memory the view let go of.
  std::vector<std::string> churn;
  for (int i = 0; i < 256; ++i) churn.push_back(std::string(16 + i % 64, 'x'));

  ComRef<IDispatch> external;
  ASSERT_EQ(S_OK, handler->GetExternal(external.Out()));
  ASSERT_TRUE(external);
  LPOLESTR name = const_cast<LPOLESTR>(L"anything");
  DISPID id = 0;
  EXPECT_EQ(E_NOTIMPL, external->GetIDsOfNames(IID_NULL, &name, 1, 0, &id));
  ComRef<IDocHostUIHandler> again;
  ASSERT_EQ(S_OK, site->QueryInterface(kDocHostUiHandler, again.OutVoid()));
  EXPECT_EQ(handler.Get(), again.Get());
  DOCHOSTUIINFO info = {};
  EXPECT_EQ(S_OK, again->GetHostInfo(&info));
  ComRef<IDropTarget> drop;
  EXPECT_EQ(E_NOTIMPL, again->GetDropTarget(nullptr, drop.Out()));  // detached: no drops
}

namespace {
int NameThenDestroy(void* user, const wchar_t*, DISPID* id) {
  *id = 5;
  static_cast<HtmlView*>(user)->Destroy();
  return 1;
}
}  // namespace

TEST_F(HostFixture, AScriptNameLookupThatClosesThePageAnswersEveryName) {
  HtmlViewCallbacks callbacks = {};
  callbacks.scriptName = NameThenDestroy;
  callbacks.user = &view;
  view.SetCallbacks(callbacks);
  ASSERT_EQ(1, view.Create(parent, HtmlViewPageOptions));
  ComRef<IDocHostUIHandler> handler;
  SiteInterface(kDocHostUiHandler, handler);
  ASSERT_TRUE(handler);
  ComRef<IDispatch> external;
  ASSERT_EQ(S_OK, handler->GetExternal(external.Out()));
  LPOLESTR names[2] = {const_cast<LPOLESTR>(L"first"), const_cast<LPOLESTR>(L"second")};
  DISPID ids[2] = {0, 0};
  EXPECT_EQ(S_OK, external->GetIDsOfNames(IID_NULL, names, 2, 0, ids));
  EXPECT_EQ(5, ids[0]);
  EXPECT_EQ(5, ids[1]);
  EXPECT_FALSE(view.HasBrowser());
}
