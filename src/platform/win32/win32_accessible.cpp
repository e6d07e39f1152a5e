#include "platform/win32/win32_accessible.h"

#include <oleacc.h>

#include <utility>

// IAccessible's interface identifier is taken with __uuidof throughout: MinGW's import library of
// oleacc.dll links its IID_IAccessible as a call thunk, not as the GUID.

namespace quildor::win32 {

namespace {

BSTR ToBstr(const std::wstring& s) {
  return SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
}

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// IAccessible of one control window: role, name, value and default action from the window's
// facts, everything else from the window's standard object.
class ControlAccessible final : public IAccessible {
 public:
  ControlAccessible(IAccessible* standard, AccessibleFactsOf facts)
      : standard_(standard), facts_(std::move(facts)) {}

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IAccessible)) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    // IEnumVARIANT, IOleWindow and the like: the standard object's.
    return standard_->QueryInterface(riid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IDispatch: screen readers call IAccessible directly; late binding is the standard object's.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    return standard_->GetTypeInfoCount(n);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID lcid, ITypeInfo** info) override {
    return standard_->GetTypeInfo(i, lcid, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT n, LCID lcid,
                                          DISPID* ids) override {
    return standard_->GetIDsOfNames(riid, names, n, lcid, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                                   UINT* arg) override {
    return standard_->Invoke(id, riid, lcid, flags, params, result, info, arg);
  }

  // What the window says of itself.
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (!name) return E_POINTER;
    *name = nullptr;
    if (!IsSelf(child)) return E_INVALIDARG;
    const auto f = facts_();
    if (!f) return RPC_E_DISCONNECTED;
    *name = ToBstr(f->name);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!role) return E_POINTER;
    VariantInit(role);
    if (!IsSelf(child)) return E_INVALIDARG;
    const auto f = facts_();
    if (!f) return RPC_E_DISCONNECTED;
    role->vt = VT_I4;
    role->lVal = f->role;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    if (!value) return E_POINTER;
    *value = nullptr;
    if (!IsSelf(child)) return E_INVALIDARG;
    const auto f = facts_();
    if (!f) return RPC_E_DISCONNECTED;
    if (!f->value) return DISP_E_MEMBERNOTFOUND;
    *value = ToBstr(*f->value);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    if (!action) return E_POINTER;
    *action = nullptr;
    if (!IsSelf(child)) return E_INVALIDARG;
    const auto f = facts_();
    if (!f) return RPC_E_DISCONNECTED;
    if (!f->pressable) return DISP_E_MEMBERNOTFOUND;
    *action = SysAllocString(L"Press");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    if (!IsSelf(child)) return E_INVALIDARG;
    const auto f = facts_();
    if (!f) return RPC_E_DISCONNECTED;
    if (!f->pressable) return DISP_E_MEMBERNOTFOUND;
    HWND hwnd = nullptr;
    if (FAILED(WindowFromAccessibleObject(standard_, &hwnd)) || !hwnd) return E_FAIL;
    return PostMessageW(hwnd, kAccessiblePress, 0, 0) ? S_OK : E_FAIL;
  }
  // The controls have no children; their children are no one's business but theirs.
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT, IDispatch** child) override {
    if (!child) return E_POINTER;
    *child = nullptr;
    return E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

  // The rest: the standard object's.
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return standard_->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* d) override {
    return standard_->get_accDescription(child, d);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    return standard_->get_accState(child, state);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return standard_->get_accHelp(child, help);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
    return standard_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
    return standard_->get_accKeyboardShortcut(child, keys);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
    return standard_->get_accFocus(child);
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
    return standard_->get_accSelection(children);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
    return standard_->accSelect(flags, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                        VARIANT child) override {
    return standard_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long dir, VARIANT start, VARIANT* end) override {
    return standard_->accNavigate(dir, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
    return standard_->accHitTest(x, y, child);
  }

 private:
  ~ControlAccessible() { standard_->Release(); }

  LONG refs_ = 1;
  IAccessible* standard_;
  AccessibleFactsOf facts_;
};

}  // namespace

LRESULT AnswerGetObject(HWND hwnd, WPARAM wp, LPARAM lp, AccessibleFactsOf facts) {
  if (static_cast<LONG>(lp) != static_cast<LONG>(OBJID_CLIENT)) return 0;
  IAccessible* standard = nullptr;
  if (FAILED(CreateStdAccessibleObject(hwnd, OBJID_CLIENT, __uuidof(IAccessible),
                                       reinterpret_cast<void**>(&standard))) ||
      !standard) {
    return 0;
  }
  auto* object = new ControlAccessible(standard, std::move(facts));
  const LRESULT result = LresultFromObject(__uuidof(IAccessible), wp, object);
  object->Release();
  return result;
}

void AnnounceValueChange(HWND hwnd) {
  NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, hwnd, OBJID_CLIENT, CHILDID_SELF);
}

}  // namespace quildor::win32
