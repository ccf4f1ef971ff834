#include "ui/AccessibleName.h"

#include <commctrl.h>
#include <oleacc.h>

#include <cwchar>
#include <cwctype>

#include "core/ComRef.h"

namespace {

// The import library's IID_IAccessible is not the interface's identifier
// (MinGW): the one declared with the interface is.
const IID& AccessibleId() { return __uuidof(IAccessible); }

BSTR CopyBstr(const WideString& text) { return SysAllocString(text.CStr()); }

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

bool HasClass(HWND window, const wchar_t* name) {
  wchar_t found[64] = L"";
  return GetClassNameW(window, found, 64) > 0 && _wcsicmp(found, name) == 0;
}

// The standard accessible object of a control with the control's own name,
// role and shortcut in front; everything else (state, location, children,
// actions) is the standard object's.
class NamedAccessible final : public IAccessible {
public:
  NamedAccessible(IAccessible* inner, HWND control, const WideString& name, long role,
                  const WideString& shortcut)
      : inner_(inner), control_(control), role_(role) {
    name_.Assign(name);
    shortcut_.Assign(shortcut);
  }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
    if (!out) return E_POINTER;
    if (id == IID_IUnknown || id == IID_IDispatch || id == AccessibleId()) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    // Not the standard object's other interfaces (IEnumVARIANT, IOleWindow,
    // IServiceProvider): asked for IAccessible, they would give the object
    // without the name and role, and COM's identity rule would be broken.
    // Readers without them walk the children by get_accChild and find the
    // window through get_accParent.
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&count_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&count_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return inner_->GetTypeInfoCount(count); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return inner_->GetTypeInfo(index, locale, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID id, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override {
    return inner_->GetIDsOfNames(id, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID id, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argument) override {
    return inner_->Invoke(member, id, locale, flags, params, result, exception, argument);
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return inner_->get_accParent(parent); }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return inner_->get_accChildCount(count); }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    return inner_->get_accChild(child, out);
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (!name) return E_POINTER;
    if (!IsSelf(child) || name_.IsEmpty()) return inner_->get_accName(child, name);
    *name = CopyBstr(name_);
    return *name ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    if (!value) return E_POINTER;
    if (!IsSelf(child)) return inner_->get_accValue(child, value);
    WideString text;
    if (role_ == ROLE_SYSTEM_COMBOBOX) {
      // A drop-down list's text is its selected item's (CBS_HASSTRINGS).
      const int length = GetWindowTextLengthW(control_);
      text.Reset(static_cast<unsigned>(length) + 2);
      GetWindowTextW(control_, text.Buffer(), length + 1);
      text.UpdateLength();
    } else if (role_ == ROLE_SYSTEM_PROGRESSBAR) {
      PBRANGE range = {};
      SendMessageW(control_, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
      const int position = static_cast<int>(SendMessageW(control_, PBM_GETPOS, 0, 0));
      const int span = range.iHigh - range.iLow;
      text.Format(L"%d%%", span > 0 ? MulDiv(position - range.iLow, 100, span) : 0);
    } else {
      return inner_->get_accValue(child, value);
    }
    *value = CopyBstr(text);
    return *value ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    return inner_->get_accDescription(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!role) return E_POINTER;
    if (!IsSelf(child) || role_ == 0) return inner_->get_accRole(child, role);
    VariantInit(role);
    role->vt = VT_I4;
    role->lVal = role_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    return inner_->get_accState(child, state);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override { return inner_->get_accHelp(child, help); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    return inner_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    if (!shortcut) return E_POINTER;
    if (!IsSelf(child) || shortcut_.IsEmpty()) return inner_->get_accKeyboardShortcut(child, shortcut);
    *shortcut = CopyBstr(shortcut_);
    return *shortcut ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return inner_->get_accFocus(child); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
    return inner_->get_accSelection(children);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return inner_->get_accDefaultAction(child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override { return inner_->accSelect(flags, child); }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    return inner_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    return inner_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
    return inner_->accHitTest(x, y, child);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override { return inner_->accDoDefaultAction(child); }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override { return inner_->put_accName(child, name); }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return inner_->put_accValue(child, value);
  }

private:
  virtual ~NamedAccessible() = default;

  LONG count_ = 1;
  ComRef<IAccessible> inner_;
  HWND control_;
  WideString name_;
  WideString shortcut_;
  long role_;
};

// The static label just before the control in the z-order (tab order), or none.
HWND LabelBefore(HWND control) {
  HWND before = GetWindow(control, GW_HWNDPREV);
  if (!before || !HasClass(before, L"Static")) return nullptr;
  const LONG style = GetWindowLongW(before, GWL_STYLE);
  // A link takes the focus itself: it labels nothing.
  if ((style & SS_NOTIFY) && (style & WS_TABSTOP)) return nullptr;
  return GetWindowTextLengthW(before) > 0 ? before : nullptr;
}

WideString TextOf(HWND window) {
  WideString text;
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return text;
  text.Reset(static_cast<unsigned>(length) + 2);
  GetWindowTextW(window, text.Buffer(), length + 1);
  text.UpdateLength();
  return text;
}

// Controls named by their own text rather than a label.
bool NamesItself(long role) {
  return role == ROLE_SYSTEM_PUSHBUTTON || role == ROLE_SYSTEM_CHECKBUTTON || role == ROLE_SYSTEM_RADIOBUTTON ||
         role == ROLE_SYSTEM_LINK || role == ROLE_SYSTEM_STATICTEXT || role == ROLE_SYSTEM_GROUPING;
}

}  // namespace

int AccessibleName::Attach(HWND control, const wchar_t* name, long role, HWND label) {
  Detach();
  if (!control || !IsWindow(control)) return 0;
  name_.Assign(name ? name : L"");
  label_ = label;
  role_ = role;
  return subclass_.AttachSubclass(control, OnControlMessage, this);
}

void AccessibleName::Detach() { subclass_.DetachSubclass(); }

int AccessibleName::OnControlMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result,
                                     void* user) {
  if (message != WM_GETOBJECT || static_cast<DWORD>(lParam) != static_cast<DWORD>(OBJID_CLIENT)) return 0;
  AccessibleName* self = static_cast<AccessibleName*>(user);
  WideString name, shortcut;
  if (self->label_ && IsWindow(self->label_)) {
    LabelToName(TextOf(self->label_).CStr(), name, &shortcut);
  } else if (!self->name_.IsEmpty()) {
    name.Assign(self->name_);
  } else if (NamesItself(self->role_)) {
    LabelToName(TextOf(window).CStr(), name, &shortcut);
  }
  ComRef<IAccessible> standard;
  if (FAILED(CreateStdAccessibleObject(window, OBJID_CLIENT, AccessibleId(), standard.OutVoid())) || !standard) {
    return 0;
  }
  NamedAccessible* named = new (std::nothrow) NamedAccessible(standard.Detach(), window, name, self->role_, shortcut);
  if (!named) return 0;
  *result = LresultFromObject(AccessibleId(), wParam, static_cast<IAccessible*>(named));
  named->Release();  // LresultFromObject holds its own reference
  return 1;
}

long AccessibleRoleOf(HWND control) {
  wchar_t name[64] = L"";
  if (GetClassNameW(control, name, 64) <= 0) return ROLE_SYSTEM_CLIENT;
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  if (_wcsicmp(name, L"Button") == 0) {
    switch (style & BS_TYPEMASK) {
      case BS_CHECKBOX:
      case BS_AUTOCHECKBOX:
      case BS_3STATE:
      case BS_AUTO3STATE:
        // A push-like check box is a toggle button; readers say "pressed".
        return (style & BS_PUSHLIKE) ? ROLE_SYSTEM_PUSHBUTTON : ROLE_SYSTEM_CHECKBUTTON;
      case BS_RADIOBUTTON:
      case BS_AUTORADIOBUTTON:
        return ROLE_SYSTEM_RADIOBUTTON;
      case BS_GROUPBOX:
        return ROLE_SYSTEM_GROUPING;
      default:
        return ROLE_SYSTEM_PUSHBUTTON;
    }
  }
  if (_wcsicmp(name, L"ComboBox") == 0 || _wcsicmp(name, WC_COMBOBOXEXW) == 0) return ROLE_SYSTEM_COMBOBOX;
  if (_wcsicmp(name, L"Edit") == 0) return ROLE_SYSTEM_TEXT;
  if (_wcsicmp(name, L"ListBox") == 0 || _wcsicmp(name, WC_LISTVIEWW) == 0) return ROLE_SYSTEM_LIST;
  if (_wcsicmp(name, PROGRESS_CLASSW) == 0) return ROLE_SYSTEM_PROGRESSBAR;
  if (_wcsicmp(name, WC_TABCONTROLW) == 0) return ROLE_SYSTEM_PAGETABLIST;
  if (_wcsicmp(name, DATETIMEPICK_CLASSW) == 0) return ROLE_SYSTEM_DROPLIST;
  if (_wcsicmp(name, UPDOWN_CLASSW) == 0) return ROLE_SYSTEM_SPINBUTTON;
  if (_wcsicmp(name, L"Static") == 0) {
    return (style & SS_NOTIFY) && (style & WS_TABSTOP) ? ROLE_SYSTEM_LINK : ROLE_SYSTEM_STATICTEXT;
  }
  return ROLE_SYSTEM_CLIENT;
}

int LabelToName(const wchar_t* text, WideString& name, WideString* shortcut) {
  name.Assign(L"");
  if (shortcut) shortcut->Assign(L"");
  if (!text) return 0;
  for (const wchar_t* c = text; *c; ++c) {
    if (*c == L'&') {
      ++c;
      if (!*c) break;
      if (*c != L'&' && shortcut && shortcut->IsEmpty()) {
        shortcut->Format(L"Alt+%c", static_cast<wchar_t>(towupper(*c)));
      }
    }
    name.AppendChar(*c);
  }
  // "Date:" reads as "Date"; the blanks around it go too.
  wchar_t* buffer = name.Buffer();
  size_t length = wcslen(buffer);
  while (length > 0 && (buffer[length - 1] == L':' || iswspace(buffer[length - 1]))) buffer[--length] = 0;
  size_t first = 0;
  while (buffer[first] && iswspace(buffer[first])) ++first;
  if (first) wmemmove(buffer, buffer + first, length - first + 1);
  name.UpdateLength();
  return name.IsEmpty() ? 0 : 1;
}

AccessibleName* AccessibleNames::Find(HWND control) const {
  for (const std::unique_ptr<AccessibleName>& name : names_) {
    if (name->Control() == control) return name.get();
  }
  return nullptr;
}

int AccessibleNames::Give(HWND control, const wchar_t* name, HWND label) {
  AccessibleName* record = Find(control);
  if (!record) {
    names_.emplace_back(new AccessibleName());
    record = names_.back().get();
  }
  if (record->Attach(control, name, AccessibleRoleOf(control), label)) return 1;
  return 0;
}

int AccessibleNames::Name(HWND control, const wchar_t* name) { return Give(control, name, nullptr); }

const wchar_t* AccessibleNames::NameOf(HWND control) const {
  const AccessibleName* record = Find(control);
  return record ? record->Name().CStr() : L"";
}

void AccessibleNames::NameChildren(HWND dialog) {
  // Controls gone since the last call free their records first.
  for (size_t i = 0; i < names_.size();) {
    if (!names_[i]->Control() || !IsWindow(names_[i]->Control())) {
      names_.erase(names_.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const long role = AccessibleRoleOf(child);
    // Plain statics and group boxes read well as they are.
    if (role == ROLE_SYSTEM_STATICTEXT || role == ROLE_SYSTEM_GROUPING || role == ROLE_SYSTEM_CLIENT) continue;
    if (NamesItself(role)) {
      Give(child, L"", nullptr);  // by its own text
      continue;
    }
    HWND label = LabelBefore(child);
    // Without a label: named by hand (Name) or not at all; the role is still right.
    if (label || !Find(child)) Give(child, L"", label);
  }
}

void AccessibleNames::Clear() { names_.clear(); }
