// The progress dialog as screen readers see it: a progress bar named by the dialog's text line,
// its value the percentage drawn, through a minimal IAccessible of the dialog's client area,
// whose parent is the dialog's window. Active Accessibility's functions are looked up only when
// a client asks: importing oleacc, oleaut32 and ole32 would keep the tool from loading where
// they are missing. So is NotifyWinEvent, which Windows NT 4.0 and 95 lack.
#define CINTERFACE
#include "progress/progress_internal.h"

#include <oleacc.h>
#include <stddef.h>

#include "resources/resource.h"

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

static AccessibilityCalls calls = {0, 0, NULL, NULL, NULL};
static int notifyTried = 0;
static NotifyWinEventCall notifyWinEvent = NULL;
// The object the open dialog handed out, one reference held by the dialog.
static BarAccessible *dialogBar = NULL;

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

// Loaded from the system folder by its full path: by its bare name Windows looks in the
// executable's own folder first, where a download may have left a file of that name, and only
// some of these DLLs are ones Windows always takes from the system folder. Their own DLLs are
// looked for beside them too, not beside the executable.
static FARPROC SystemModuleFunction(const char *moduleName, const char *name)
{
    char path[MAX_PATH + 16];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    // 0 is a failure, and a longer answer the size a folder name too long for MAX_PATH needs.
    if (length == 0 || length >= MAX_PATH)
        return NULL;
    if (path[length - 1] != '\\')
        path[length++] = '\\';
    lstrcpynA(path + length, moduleName, 16);
    HMODULE module = LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    return module != NULL ? GetProcAddress(module, name) : NULL;
}

static int LoadAccessibilityCalls()
{
    if (calls.tried)
        return calls.ready;
    calls.tried = 1;
    calls.lresultFromObject = (LresultFromObjectCall)(void (*)(void))SystemModuleFunction(
        "oleacc.dll", "LresultFromObject");
    calls.objectFromWindow = (ObjectFromWindowCall)(void (*)(void))SystemModuleFunction(
        "oleacc.dll", "AccessibleObjectFromWindow");
    calls.sysAllocString =
        (SysAllocStringCall)(void (*)(void))SystemModuleFunction("oleaut32.dll", "SysAllocString");
    CoInitializeCall coInitialize =
        (CoInitializeCall)(void (*)(void))SystemModuleFunction("ole32.dll", "CoInitialize");
    if (calls.lresultFromObject == NULL || calls.objectFromWindow == NULL ||
        calls.sysAllocString == NULL || coInitialize == NULL)
        return 0;
    // A single-threaded apartment, kept for the rest of the run: a client's calls then arrive
    // as messages of this thread, which the transfer's waits run, and never meet the dialog
    // from another thread. Without one, marshalling needs an apartment another thread made and
    // the calls come on threads of their own; under Wine such a call, asking the dialog for its
    // text while the dialog told the client of a change, held both for good.
    HRESULT joined = coInitialize(NULL);
    calls.ready = SUCCEEDED(joined);
    return calls.ready;
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

// The answer for what a progress bar does not have: nothing, said as S_FALSE.
static HRESULT NoText(IAccessible *object, VARIANT child, BSTR *out)
{
    if (out == NULL)
        return E_POINTER;
    *out = NULL;
    if (BarOf(object)->window == NULL)
        return goneResult;
    return IsSelf(child) ? S_FALSE : E_INVALIDARG;
}

// A window's ANSI text as a new BSTR, cut at its first trailing blank when trim is set.
static HRESULT WindowTextAsBstr(HWND window, int trim, BSTR *out)
{
    char text[256];
    WCHAR wide[256];
    int length = GetWindowTextA(window, text, sizeof text);
    while (trim && length > 0 && text[length - 1] == ' ')
        length -= 1;
    text[length] = '\0';
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 256) == 0)
        wide[0] = 0;
    *out = calls.sysAllocString(wide);
    return *out != NULL ? S_OK : E_OUTOFMEMORY;
}

static HRESULT ControlText(IAccessible *object, VARIANT child, int id, BSTR *out)
{
    if (out == NULL)
        return E_POINTER;
    *out = NULL;
    HWND window = BarOf(object)->window;
    if (window == NULL)
        return goneResult;
    if (!IsSelf(child))
        return E_INVALIDARG;
    return WindowTextAsBstr(GetDlgItem(window, id), id == IDC_PROGRESS_FRAME, out);
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
    return calls.objectFromWindow(window, (DWORD)OBJID_WINDOW, dispatchId, (void **)out);
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

// The name is what the dialog says now: the transfer, or the printer's pause.
static HRESULT STDMETHODCALLTYPE GetName(IAccessible *object, VARIANT child, BSTR *out)
{
    return ControlText(object, child, IDC_PROGRESS_TEXT, out);
}

// The value is the percentage as drawn, which the frame's text carries ("52% " shows "52%").
static HRESULT STDMETHODCALLTYPE GetValue(IAccessible *object, VARIANT child, BSTR *out)
{
    return ControlText(object, child, IDC_PROGRESS_FRAME, out);
}

static HRESULT STDMETHODCALLTYPE GetDescription(IAccessible *object, VARIANT child, BSTR *out)
{
    return NoText(object, child, out);
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

static HRESULT STDMETHODCALLTYPE GetHelp(IAccessible *object, VARIANT child, BSTR *out)
{
    return NoText(object, child, out);
}

static HRESULT STDMETHODCALLTYPE GetHelpTopic(IAccessible *object, BSTR *file, VARIANT child,
                                              LONG *topic)
{
    if (topic != NULL)
        *topic = 0;
    return NoText(object, child, file);
}

static HRESULT STDMETHODCALLTYPE GetKeyboardShortcut(IAccessible *object, VARIANT child, BSTR *out)
{
    return NoText(object, child, out);
}

// Neither focus nor selection lives in a progress bar.
static HRESULT NoChild(IAccessible *object, VARIANT *out)
{
    if (out == NULL)
        return E_POINTER;
    out->vt = VT_EMPTY;
    return BarOf(object)->window != NULL ? S_FALSE : goneResult;
}

static HRESULT STDMETHODCALLTYPE GetFocus(IAccessible *object, VARIANT *out)
{
    return NoChild(object, out);
}

static HRESULT STDMETHODCALLTYPE GetSelection(IAccessible *object, VARIANT *out)
{
    return NoChild(object, out);
}

static HRESULT STDMETHODCALLTYPE GetDefaultAction(IAccessible *object, VARIANT child, BSTR *out)
{
    return NoText(object, child, out);
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

static const IAccessibleVtbl barVtable = {
    QueryInterface,   AddRef,          Release,
    GetTypeInfoCount, GetTypeInfo,     GetIDsOfNames,
    Invoke,           GetParent,       GetChildCount,
    GetChild,         GetName,         GetValue,
    GetDescription,   GetRole,         GetState,
    GetHelp,          GetHelpTopic,    GetKeyboardShortcut,
    GetFocus,         GetSelection,    GetDefaultAction,
    Select,           Location,        Navigate,
    HitTest,          DoDefaultAction, PutText,
    PutText,
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
    if (!notifyTried) {
        notifyTried = 1;
        HMODULE user = GetModuleHandleA("user32.dll");
        if (user != NULL)
            notifyWinEvent =
                (NotifyWinEventCall)(void (*)(void))GetProcAddress(user, "NotifyWinEvent");
    }
    if (notifyWinEvent != NULL)
        notifyWinEvent(event, dialog, OBJID_CLIENT, CHILDID_SELF);
}

LRESULT AnswerBarAccessible(HWND dialog, WPARAM flags, LPARAM objectId)
{
    // The id is 32 bits wide; 64-bit Windows may hand it over sign-extended or not.
    if ((DWORD)objectId != (DWORD)OBJID_CLIENT || !LoadAccessibilityCalls())
        return 0;
    // An object of an earlier dialog that was never released must not speak for this one.
    if (dialogBar != NULL && dialogBar->window != dialog)
        ReleaseBarAccessible();
    if (dialogBar == NULL) {
        dialogBar = (BarAccessible *)HeapAlloc(GetProcessHeap(), 0, sizeof(BarAccessible));
        if (dialogBar == NULL)
            return 0;
        dialogBar->vtable = &barVtable;
        dialogBar->windowVtable = &windowVtable;
        dialogBar->references = 1;
        dialogBar->window = dialog;
    }
    LRESULT answer = calls.lresultFromObject(accessibleId, flags, (LPUNKNOWN)dialogBar);
    // A failure is an HRESULT: the window then answers as it would without the object.
    return FAILED((HRESULT)answer) ? 0 : answer;
}

void ReleaseBarAccessible()
{
    if (dialogBar == NULL)
        return;
    dialogBar->window = NULL;
    Release((IAccessible *)dialogBar);
    dialogBar = NULL;
}
