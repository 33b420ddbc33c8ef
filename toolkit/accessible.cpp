// The accessible object of a self-drawn control or a check-box list: a thin
// wrapper around the system's standard object (CreateStdAccessibleObject),
// which keeps its location, navigation, selection and hit-testing, with the
// name, role, state and default action that the standard one cannot know.
#include "accessible.h"

#include "subclass.h"

#include <commctrl.h>

#include <string>

namespace {

const UINT_PTR kAccessibleBehaviour = 0xACC;
const int kMaxName = 260;

struct Described {
    long role;            // for the control itself, or 0 for a check-box list
    HWND nameFrom;        // the window whose text names the control, or NULL
    bool (*pressed)(HWND);
    int nameColumn;       // a list's column that names its rows
};

void FreeDescribed(void *described) { delete (Described *)described; }

BSTR ToBstr(const char *text)
{
    wchar_t wide[kMaxName + 1] = L"";
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, kMaxName);
    wide[kMaxName] = L'\0';
    return SysAllocString(wide);
}

BSTR WindowTextBstr(HWND window)
{
    char text[kMaxName + 1] = "";
    GetWindowTextA(window, text, sizeof text);
    return ToBstr(text);
}

BSTR RowText(HWND list, int row, int column)
{
    char text[kMaxName + 1] = "";
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, (WPARAM)row, (LPARAM)&item);
    return ToBstr(text);
}

// Rows are children 1 to the row count; 0 (CHILDID_SELF) is the control.
bool RowOf(HWND list, VARIANT child, int *row)
{
    if (child.vt != VT_I4 || child.lVal == CHILDID_SELF)
        return false;
    *row = child.lVal - 1;
    return *row >= 0 && *row < (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
}

bool IsSelf(VARIANT child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

long ControlState(HWND control, const Described &described)
{
    long state = STATE_SYSTEM_FOCUSABLE;
    if (!IsWindowEnabled(control))
        state |= STATE_SYSTEM_UNAVAILABLE;
    if (!IsWindowVisible(control))
        state |= STATE_SYSTEM_INVISIBLE;
    if (GetFocus() == control)
        state |= STATE_SYSTEM_FOCUSED;
    if (described.role == ROLE_SYSTEM_LINK)
        state |= STATE_SYSTEM_LINKED;
    if (described.pressed && described.pressed(control))
        state |= STATE_SYSTEM_PRESSED;
    return state;
}

long RowState(HWND list, int row)
{
    UINT item = (UINT)SendMessageA(list, LVM_GETITEMSTATE, (WPARAM)row, LVIS_STATEIMAGEMASK | LVIS_SELECTED | LVIS_FOCUSED);
    long state = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE;
    if (item & LVIS_SELECTED)
        state |= STATE_SYSTEM_SELECTED;
    if ((item & LVIS_FOCUSED) && GetFocus() == list)
        state |= STATE_SYSTEM_FOCUSED;
    if (((item & LVIS_STATEIMAGEMASK) >> 12) == 2) // the checked image
        state |= STATE_SYSTEM_CHECKED;
    return state;
}

// The standard object of the control, with what it cannot know answered
// from the control. Every other call goes to the standard object.
class Accessible final : public IAccessible {
public:
    Accessible(HWND control, const Described &described, IAccessible *standard)
        : control_(control), described_(described), standard_(standard)
    {
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override
    {
        if (!object)
            return E_POINTER;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) || riid == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible *>(this);
            AddRef();
            return S_OK;
        }
        *object = NULL;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            if (standard_)
                standard_->Release();
            delete this;
        }
        return left;
    }

    // IDispatch: the standard object's.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
    {
        return standard_ ? standard_->GetTypeInfoCount(count) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo **info) override
    {
        return standard_ ? standard_->GetTypeInfo(index, locale, info) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR *names, UINT count, LCID locale,
                                            DISPID *ids) override
    {
        return standard_ ? standard_->GetIDsOfNames(riid, names, count, locale, ids) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS *params,
                                     VARIANT *result, EXCEPINFO *exception, UINT *argument) override
    {
        return standard_ ? standard_->Invoke(id, riid, locale, flags, params, result, exception, argument)
                         : E_NOTIMPL;
    }

    // What the control's own object says.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR *name) override
    {
        if (!name)
            return E_POINTER;
        int row;
        if (IsCheckList() && RowOf(control_, child, &row))
            *name = RowText(control_, row, described_.nameColumn);
        else if (!IsCheckList() && IsSelf(child))
            *name = WindowTextBstr(described_.nameFrom ? described_.nameFrom : control_);
        else
            return standard_ ? standard_->get_accName(child, name) : E_INVALIDARG;
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT *role) override
    {
        if (!role)
            return E_POINTER;
        int row;
        bool own = IsCheckList() ? RowOf(control_, child, &row) : IsSelf(child);
        if (!own)
            return standard_ ? standard_->get_accRole(child, role) : E_INVALIDARG;
        role->vt = VT_I4;
        role->lVal = IsCheckList() ? ROLE_SYSTEM_CHECKBUTTON : described_.role;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT *state) override
    {
        if (!state)
            return E_POINTER;
        int row;
        if (IsCheckList() && RowOf(control_, child, &row)) {
            state->vt = VT_I4;
            state->lVal = RowState(control_, row);
            return S_OK;
        }
        if (!IsCheckList() && IsSelf(child)) {
            state->vt = VT_I4;
            state->lVal = ControlState(control_, described_);
            return S_OK;
        }
        return standard_ ? standard_->get_accState(child, state) : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR *action) override
    {
        if (!action)
            return E_POINTER;
        if (IsCheckList() || !IsSelf(child))
            return standard_ ? standard_->get_accDefaultAction(child, action) : E_INVALIDARG;
        *action = SysAllocString(described_.role == ROLE_SYSTEM_LINK ? L"Jump" : L"Press");
        return *action ? S_OK : E_OUTOFMEMORY;
    }
    // What a click does, posted: the caller does not wait on what it opens.
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        if (IsCheckList() || !IsSelf(child))
            return standard_ ? standard_->accDoDefaultAction(child) : E_INVALIDARG;
        HWND parent = GetParent(control_);
        if (!parent || !IsWindowEnabled(control_) || !IsWindowEnabled(parent))
            return E_FAIL;
        PostMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control_), 0), (LPARAM)control_);
        return S_OK;
    }

    // The rest: the standard object's.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch **parent) override
    {
        return standard_ ? standard_->get_accParent(parent) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long *count) override
    {
        return standard_ ? standard_->get_accChildCount(count) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch **object) override
    {
        return standard_ ? standard_->get_accChild(child, object) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR *value) override
    {
        return standard_ ? standard_->get_accValue(child, value) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR *text) override
    {
        return standard_ ? standard_->get_accDescription(child, text) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR *help) override
    {
        return standard_ ? standard_->get_accHelp(child, help) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR *file, VARIANT child, long *topic) override
    {
        return standard_ ? standard_->get_accHelpTopic(file, child, topic) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR *shortcut) override
    {
        return standard_ ? standard_->get_accKeyboardShortcut(child, shortcut) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT *focus) override
    {
        return standard_ ? standard_->get_accFocus(focus) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT *selection) override
    {
        return standard_ ? standard_->get_accSelection(selection) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override
    {
        return standard_ ? standard_->accSelect(flags, child) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE accLocation(long *left, long *top, long *width, long *height, VARIANT child) override
    {
        return standard_ ? standard_->accLocation(left, top, width, height, child) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT *end) override
    {
        return standard_ ? standard_->accNavigate(direction, start, end) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT *child) override
    {
        return standard_ ? standard_->accHitTest(left, top, child) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    bool IsCheckList() const { return described_.role == 0; }

    LONG references_ = 1;
    HWND control_;
    Described described_;
    IAccessible *standard_; // owned; NULL when the system gave none
};

// WM_GETOBJECT for the client object: a new wrapper, handed over by
// LresultFromObject, which holds its own reference. The interface's id is
// taken by __uuidof: MinGW's import library links IID_IAccessible as an
// import thunk, not as the id's bytes.
LRESULT AnswerGetObject(HWND control, const Described &described, WPARAM wParam, LPARAM lParam)
{
    if ((LONG)lParam != OBJID_CLIENT)
        return DefSubclassProc(control, WM_GETOBJECT, wParam, lParam);
    IAccessible *standard = NULL;
    if (FAILED(CreateStdAccessibleObject(control, OBJID_CLIENT, __uuidof(IAccessible), (void **)&standard)))
        standard = NULL;
    Accessible *object = new Accessible(control, described, standard);
    LRESULT result = LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible *>(object));
    object->Release();
    return result;
}

LRESULT AccessibleProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, void *state)
{
    if (message == WM_GETOBJECT)
        return AnswerGetObject(control, *(const Described *)state, wParam, lParam);
    return DefSubclassProc(control, message, wParam, lParam);
}

void Attach(HWND control, const Described &described)
{
    if (control)
        AttachBehaviour(control, kAccessibleBehaviour, AccessibleProc, new Described(described), FreeDescribed);
}

} // namespace

void AttachAccessibleControl(HWND control, long role, HWND nameFrom, bool (*pressed)(HWND control))
{
    Attach(control, Described{role, nameFrom, pressed, 0});
}

void AttachAccessibleCheckList(HWND list, int nameColumn) { Attach(list, Described{0, NULL, NULL, nameColumn}); }
