// The progress dialog as screen readers see it: a progress bar named by the dialog's text line,
// its value the percentage drawn, through a minimal IAccessible of the dialog's client area,
// whose parent is the dialog's window. Active Accessibility's functions are looked up only when
// a client asks: importing oleacc, oleaut32 and ole32 would keep the tool from loading where
// they are missing. So is NotifyWinEvent, which Windows NT 4.0 and 95 lack.
#define CINTERFACE
#include "progress/progress_internal.h"

#include <oleacc.h>
#include <stddef.h>

#include "ui_shared/ui_shared.h"

typedef LRESULT(WINAPI *LresultFromObjectCall)(REFIID iid, WPARAM flags, LPUNKNOWN object);
typedef BSTR(WINAPI *SysAllocStringCall)(const OLECHAR *text);
typedef HRESULT(WINAPI *CoInitializeCall)(LPVOID reserved);
typedef HRESULT(WINAPI *ObjectFromWindowCall)(HWND window, DWORD objectId, REFIID iid, void **out);
typedef void(WINAPI *NotifyWinEventCall)(DWORD event, HWND window, LONG objectId, LONG child);

// What the answers need, looked for once per run; ready when every module was found and this
// thread is in an apartment. The modules stay loaded: a client's calls reach the object
// through their code.
struct AccessibilityCalls {
    int tried;
    int ready;
    LresultFromObjectCall lresultFromObject;
    SysAllocStringCall sysAllocString;
    ObjectFromWindowCall objectFromWindow;
};

// One object per progress dialog. A client may hold it after the dialog has gone: window is
// then NULL and every call fails, and the memory stays until the last reference goes.
// It answers IOleWindow too, through the second table, so that a client learns the window.
struct BarAccessible {
    const IAccessibleVtbl *vtable;
    const IOleWindowVtbl *windowVtable;
    LONG references;
    HWND window;
};

// What the progress dialog's bar is for screen readers, kept between the dialog's calls and a
// client's: the calls found, the object the open dialog handed out (one reference held by the
// dialog), and the texts it reports, which the dialog keeps and hands over as they change.
struct BarAccessibility {
    AccessibilityCalls calls;
    int notifyTried;
    NotifyWinEventCall notifyWinEvent;
    BarAccessible *dialogBar;
    const char *name;
    const char *value;
};

static BarAccessibility accessibility = {{0, 0, NULL, NULL, NULL}, 0, NULL, NULL, "", ""};

// Spelled out: the IID_IAccessible a MinGW link finds can be a DLL's data of that name, not
// the GUID.
static const GUID unknownId = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const GUID dispatchId = {
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const GUID accessibleId = {
    0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
static const GUID oleWindowId = {
    0x00000114, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Compared by hand: the library's comparison would bring the C runtime's memcmp.
static int SameGuid(const GUID &first, const GUID &second)
{
    const BYTE *a = (const BYTE *)&first;
    const BYTE *b = (const BYTE *)&second;
    for (unsigned i = 0; i < sizeof(GUID); i++)
        if (a[i] != b[i])
            return 0;
    return 1;
}

static int LoadAccessibilityCalls()
{
    if (accessibility.calls.tried)
        return accessibility.calls.ready;
    accessibility.calls.tried = 1;
    accessibility.calls.lresultFromObject =
        (LresultFromObjectCall)(void (*)(void))SystemFunction("oleacc.dll", "LresultFromObject");
    accessibility.calls.objectFromWindow = (ObjectFromWindowCall)(void (*)(void))SystemFunction(
        "oleacc.dll", "AccessibleObjectFromWindow");
    accessibility.calls.sysAllocString =
        (SysAllocStringCall)(void (*)(void))SystemFunction("oleaut32.dll", "SysAllocString");
    CoInitializeCall coInitialize =
        (CoInitializeCall)(void (*)(void))SystemFunction("ole32.dll", "CoInitialize");
    if (accessibility.calls.lresultFromObject == NULL ||
        accessibility.calls.objectFromWindow == NULL ||
        accessibility.calls.sysAllocString == NULL || coInitialize == NULL)
        return 0;
    // A single-threaded apartment, kept for the rest of the run: a client's calls then arrive
    // as messages of this thread, which the transfer's waits run, and never meet the dialog
    // from another thread. Without one, marshalling needs an apartment another thread made and
    // the calls come on threads of their own; under Wine such a call, asking the dialog for its
    // text while the dialog told the client of a change, held both for good.
    HRESULT joined = coInitialize(NULL);
    accessibility.calls.ready = SUCCEEDED(joined);
    return accessibility.calls.ready;
}

static BarAccessible *BarOf(IAccessible *object) { return (BarAccessible *)object; }

// A client's call on the object of a dialog that has gone.
static const HRESULT goneResult = CO_E_OBJNOTCONNECTED;

static int IsSelf(VARIANT child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

static HRESULT STDMETHODCALLTYPE QueryInterface(IAccessible *object, REFIID iid, void **out)
{
    if (out == NULL)
        return E_POINTER;
    *out = NULL;
    if (SameGuid(iid, oleWindowId))
        *out = &BarOf(object)->windowVtable;
    else if (SameGuid(iid, unknownId) || SameGuid(iid, dispatchId) || SameGuid(iid, accessibleId))
        *out = object;
    else
        return E_NOINTERFACE;
    InterlockedIncrement(&BarOf(object)->references);
    return S_OK;
}

static ULONG STDMETHODCALLTYPE AddRef(IAccessible *object)
{
    return (ULONG)InterlockedIncrement(&BarOf(object)->references);
}

static ULONG STDMETHODCALLTYPE Release(IAccessible *object)
{
    LONG left = InterlockedDecrement(&BarOf(object)->references);
    if (left == 0)
        HeapFree(GetProcessHeap(), 0, object);
    return (ULONG)left;
}

// No type information: clients of IAccessible call its methods directly.
static HRESULT STDMETHODCALLTYPE GetTypeInfoCount(IAccessible *, UINT *count)
{
    if (count == NULL)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE GetTypeInfo(IAccessible *, UINT, LCID, ITypeInfo **info)
{
    if (info != NULL)
        *info = NULL;
    return E_NOTIMPL;
}

static HRESULT STDMETHODCALLTYPE GetIDsOfNames(IAccessible *, REFIID, LPOLESTR *, UINT, LCID,
                                               DISPID *)
{
    return E_NOTIMPL;
}

static HRESULT STDMETHODCALLTYPE Invoke(IAccessible *, DISPID, REFIID, LCID, WORD, DISPPARAMS *,
                                        VARIANT *, EXCEPINFO *, UINT *)
{
    return E_NOTIMPL;
}

// The answer for what a progress bar does not have: nothing, said as S_FALSE. The description,
// help, keyboard shortcut and default action all answer so.
static HRESULT STDMETHODCALLTYPE NoText(IAccessible *object, VARIANT child, BSTR *out)
{
    if (out == NULL)
        return E_POINTER;
    *out = NULL;
    if (BarOf(object)->window == NULL)
        return goneResult;
    return IsSelf(child) ? S_FALSE : E_INVALIDARG;
}

// ANSI text as a new BSTR, cut at its first trailing blank when trim is set.
static HRESULT TextAsBstr(const char *text, int trim, BSTR *out)
{
    char copy[256];
    WCHAR wide[256];
    lstrcpynA(copy, text, sizeof copy);
    int length = lstrlenA(copy);
    while (trim && length > 0 && copy[length - 1] == ' ')
        length -= 1;
    copy[length] = '\0';
    if (MultiByteToWideChar(CP_ACP, 0, copy, -1, wide, 256) == 0)
        wide[0] = 0;
    *out = accessibility.calls.sysAllocString(wide);
    return *out != NULL ? S_OK : E_OUTOFMEMORY;
}

// The name (the dialog's text line as it stands: the transfer, or the printer's pause) or the
// value (the percentage as drawn: "52% " is said "52%").
static HRESULT BarText(IAccessible *object, VARIANT child, int value, BSTR *out)
{
    if (out == NULL)
        return E_POINTER;
    *out = NULL;
    if (BarOf(object)->window == NULL)
        return goneResult;
    if (!IsSelf(child))
        return E_INVALIDARG;
    return value ? TextAsBstr(accessibility.value, 1, out) : TextAsBstr(accessibility.name, 0, out);
}

// The dialog's window object, which the system makes: a client walking up from the bar reaches
// the dialog and its caption.
static HRESULT STDMETHODCALLTYPE GetParent(IAccessible *object, IDispatch **out)
{
    if (out == NULL)
        return E_POINTER;
    *out = NULL;
    HWND window = BarOf(object)->window;
    if (window == NULL)
        return goneResult;
    return accessibility.calls.objectFromWindow(window, (DWORD)OBJID_WINDOW, dispatchId,
                                                (void **)out);
}

static HRESULT STDMETHODCALLTYPE GetChildCount(IAccessible *object, LONG *count)
{
    if (count == NULL)
        return E_POINTER;
    *count = 0;
    return BarOf(object)->window != NULL ? S_OK : goneResult;
}

static HRESULT STDMETHODCALLTYPE GetChild(IAccessible *, VARIANT, IDispatch **out)
{
    if (out == NULL)
        return E_POINTER;
    *out = NULL;
    return E_INVALIDARG;
}

static HRESULT STDMETHODCALLTYPE GetName(IAccessible *object, VARIANT child, BSTR *out)
{
    return BarText(object, child, 0, out);
}

static HRESULT STDMETHODCALLTYPE GetValue(IAccessible *object, VARIANT child, BSTR *out)
{
    return BarText(object, child, 1, out);
}

static HRESULT NumberAnswer(IAccessible *object, VARIANT child, LONG number, VARIANT *out)
{
    if (out == NULL)
        return E_POINTER;
    out->vt = VT_EMPTY;
    if (BarOf(object)->window == NULL)
        return goneResult;
    if (!IsSelf(child))
        return E_INVALIDARG;
    out->vt = VT_I4;
    out->lVal = number;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE GetRole(IAccessible *object, VARIANT child, VARIANT *out)
{
    return NumberAnswer(object, child, ROLE_SYSTEM_PROGRESSBAR, out);
}

// Focused while the dialog has the focus, which it takes when it opens.
static HRESULT STDMETHODCALLTYPE GetState(IAccessible *object, VARIANT child, VARIANT *out)
{
    HWND window = BarOf(object)->window;
    HWND focus = GetFocus();
    LONG state = STATE_SYSTEM_READONLY | STATE_SYSTEM_FOCUSABLE;
    if (window != NULL && focus != NULL && (focus == window || IsChild(window, focus)))
        state |= STATE_SYSTEM_FOCUSED;
    return NumberAnswer(object, child, state, out);
}

static HRESULT STDMETHODCALLTYPE GetHelpTopic(IAccessible *object, BSTR *file, VARIANT child,
                                              LONG *topic)
{
    if (topic != NULL)
        *topic = 0;
    return NoText(object, child, file);
}

// Neither focus nor selection lives in a progress bar.
static HRESULT STDMETHODCALLTYPE NoChild(IAccessible *object, VARIANT *out)
{
    if (out == NULL)
        return E_POINTER;
    out->vt = VT_EMPTY;
    return BarOf(object)->window != NULL ? S_FALSE : goneResult;
}

static HRESULT STDMETHODCALLTYPE Select(IAccessible *, LONG, VARIANT)
{
    return DISP_E_MEMBERNOTFOUND;
}

// The dialog's client area in screen coordinates.
static HRESULT STDMETHODCALLTYPE Location(IAccessible *object, LONG *left, LONG *top, LONG *width,
                                          LONG *height, VARIANT child)
{
    RECT client = {0, 0, 0, 0};
    POINT origin = {0, 0};
    HWND window = BarOf(object)->window;
    if (left == NULL || top == NULL || width == NULL || height == NULL)
        return E_POINTER;
    *left = *top = *width = *height = 0;
    if (window == NULL)
        return goneResult;
    if (!IsSelf(child))
        return E_INVALIDARG;
    GetClientRect(window, &client);
    ClientToScreen(window, &origin);
    *left = origin.x;
    *top = origin.y;
    *width = client.right;
    *height = client.bottom;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE Navigate(IAccessible *object, LONG, VARIANT, VARIANT *out)
{
    return NoChild(object, out);
}

static HRESULT STDMETHODCALLTYPE HitTest(IAccessible *object, LONG x, LONG y, VARIANT *out)
{
    RECT client = {0, 0, 0, 0};
    POINT point = {x, y};
    HWND window = BarOf(object)->window;
    if (out == NULL)
        return E_POINTER;
    out->vt = VT_EMPTY;
    if (window == NULL)
        return goneResult;
    GetClientRect(window, &client);
    ScreenToClient(window, &point);
    if (point.x < 0 || point.y < 0 || point.x >= client.right || point.y >= client.bottom)
        return S_FALSE;
    out->vt = VT_I4;
    out->lVal = CHILDID_SELF;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE DoDefaultAction(IAccessible *, VARIANT)
{
    return DISP_E_MEMBERNOTFOUND;
}

static HRESULT STDMETHODCALLTYPE PutText(IAccessible *, VARIANT, BSTR) { return E_NOTIMPL; }

// In IAccessible's order: the description, help, keyboard shortcut and default action are
// NoText; the focus and the selection NoChild.
static const IAccessibleVtbl barVtable = {
    QueryInterface, AddRef,          Release,       GetTypeInfoCount, GetTypeInfo,  GetIDsOfNames,
    Invoke,         GetParent,       GetChildCount, GetChild,         GetName,      GetValue,
    NoText,         GetRole,         GetState,      NoText,           GetHelpTopic, NoText,
    NoChild,        NoChild,         NoText,        Select,           Location,     Navigate,
    HitTest,        DoDefaultAction, PutText,       PutText,
};

static BarAccessible *BarOfWindow(IOleWindow *object)
{
    return (BarAccessible *)((BYTE *)object - offsetof(BarAccessible, windowVtable));
}

static HRESULT STDMETHODCALLTYPE WindowQueryInterface(IOleWindow *object, REFIID iid, void **out)
{
    return QueryInterface((IAccessible *)BarOfWindow(object), iid, out);
}

static ULONG STDMETHODCALLTYPE WindowAddRef(IOleWindow *object)
{
    return AddRef((IAccessible *)BarOfWindow(object));
}

static ULONG STDMETHODCALLTYPE WindowRelease(IOleWindow *object)
{
    return Release((IAccessible *)BarOfWindow(object));
}

static HRESULT STDMETHODCALLTYPE GetWindow(IOleWindow *object, HWND *out)
{
    if (out == NULL)
        return E_POINTER;
    *out = BarOfWindow(object)->window;
    return *out != NULL ? S_OK : goneResult;
}

static HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(IOleWindow *, BOOL) { return E_NOTIMPL; }

static const IOleWindowVtbl windowVtable = {
    WindowQueryInterface, WindowAddRef, WindowRelease, GetWindow, ContextSensitiveHelp,
};

void NotifyBarChange(HWND dialog, DWORD event)
{
    if (!accessibility.notifyTried) {
        accessibility.notifyTried = 1;
        accessibility.notifyWinEvent =
            (NotifyWinEventCall)(void (*)(void))SystemFunction("user32.dll", "NotifyWinEvent");
    }
    if (accessibility.notifyWinEvent != NULL)
        accessibility.notifyWinEvent(event, dialog, OBJID_CLIENT, CHILDID_SELF);
}

void SetBarTexts(const char *name, const char *value)
{
    accessibility.name = name;
    accessibility.value = value;
}

LRESULT AnswerBarAccessible(HWND dialog, WPARAM flags, LPARAM objectId)
{
    // The id is 32 bits wide; 64-bit Windows may hand it over sign-extended or not.
    if ((DWORD)objectId != (DWORD)OBJID_CLIENT || !LoadAccessibilityCalls())
        return 0;
    // An object of an earlier dialog that was never released must not speak for this one.
    if (accessibility.dialogBar != NULL && accessibility.dialogBar->window != dialog)
        ReleaseBarAccessible();
    if (accessibility.dialogBar == NULL) {
        accessibility.dialogBar =
            (BarAccessible *)HeapAlloc(GetProcessHeap(), 0, sizeof(BarAccessible));
        if (accessibility.dialogBar == NULL)
            return 0;
        accessibility.dialogBar->vtable = &barVtable;
        accessibility.dialogBar->windowVtable = &windowVtable;
        accessibility.dialogBar->references = 1;
        accessibility.dialogBar->window = dialog;
    }
    LRESULT answer = accessibility.calls.lresultFromObject(accessibleId, flags,
                                                           (LPUNKNOWN)accessibility.dialogBar);
    // A failure is an HRESULT: the window then answers as it would without the object.
    return FAILED((HRESULT)answer) ? 0 : answer;
}

void ReleaseBarAccessible()
{
    if (accessibility.dialogBar == NULL)
        return;
    accessibility.dialogBar->window = NULL;
    Release((IAccessible *)accessibility.dialogBar);
    accessibility.dialogBar = NULL;
}
