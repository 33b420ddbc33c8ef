// Behaviours attached through the system's subclassing, freed with their window.
#include "subclass.h"

#include <commctrl.h>

namespace {

struct Binding {
    BehaviourProc proc;
    void *state;
    void (*freeState)(void *);
};

// Asks a window for its binding of id (wParam): the system's own lookup
// is not in every import library, a message to our own procedure is.
UINT BindingQuery()
{
    static const UINT query = RegisterWindowMessageA("TalvexBehaviourBinding");
    return query;
}

Binding *Find(HWND window, UINT_PTR id)
{
    return window ? (Binding *)SendMessageA(window, BindingQuery(), (WPARAM)id, 0) : NULL;
}

void Free(Binding *binding)
{
    if (binding->freeState)
        binding->freeState(binding->state);
    delete binding;
}

LRESULT CALLBACK Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data)
{
    Binding *binding = (Binding *)data;
    if (message == BindingQuery() && wParam == id)
        return (LRESULT)binding;
    if (message == WM_NCDESTROY) {
        // The last message: the behaviour leaves, the window's class ends it.
        RemoveWindowSubclass(window, Dispatch, id);
        Free(binding);
        return DefSubclassProc(window, message, wParam, lParam);
    }
    return binding->proc(window, message, wParam, lParam, binding->state);
}

} // namespace

bool AttachBehaviour(HWND window, UINT_PTR id, BehaviourProc proc, void *state, void (*freeState)(void *))
{
    Binding *binding = new Binding{proc, state, freeState};
    Binding *earlier = Find(window, id);
    if (!window || !SetWindowSubclass(window, Dispatch, id, (DWORD_PTR)binding)) {
        Free(binding);
        return false;
    }
    if (earlier)
        Free(earlier);
    return true;
}

void *BehaviourState(HWND window, UINT_PTR id)
{
    Binding *binding = Find(window, id);
    return binding ? binding->state : NULL;
}
