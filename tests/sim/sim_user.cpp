// The simulated user32: windows and dialogs from the tool's templates, the thread's message
// queue, painting, cursors and system colours.
#include "sim_ui_internal.h"

#include "sim_kernel_internal.h"

#include "resources/resource.h"

#include <deque>
#include <map>
#include <set>

const char *const simDialogClass = "#32770";

namespace
{

const uintptr_t windowBase = 0x10000;

struct Window {
    bool live = false;
    std::string className;
    int id = 0;
    HWND parent = NULL;
    HWND owner = NULL;
    std::string text;
    bool visible = false;
    bool enabled = true;
    bool pushed = false; // a button held down
    bool tabStop = false;
    bool framed = false;
    bool keepsNoText = false; // a frame static: its class drops WM_SETTEXT, as Wine's does
    RECT rect = {0, 0, 0, 0}; // screen for top-level windows, parent client for children
    // Place among its siblings: the highest is on top; equal places stack in creation order,
    // the first on top, as a dialog's controls do.
    unsigned long zPlace = 0;
    int textSets = 0;
    DLGPROC proc = NULL;
    bool invalid = false;
    bool modal = false;
    bool ended = false;
    INT_PTR endResult = 0;
    LONG_PTR userData = 0; // a dialog's DWLP_USER
    bool eraseRequested = false;
    RECT update = {0, 0, 0, 0};
    int surfaceWidth = 0;
    int surfaceHeight = 0;
    std::vector<COLORREF> surface;
};

struct ControlTemplate {
    const char *className;
    int id;
    int x, y, cx, cy;
    bool tabStop;
    bool frame; // SS_BLACKFRAME: no text style
};

struct DialogTemplate {
    int id;
    int cx, cy;
    const ControlTemplate *controls;
    int count;
};

// resources/dialogs_en.rc
const ControlTemplate updateControls[] = {
    {"Static", IDC_MESSAGE, 10, 10, 275, 50, false, false},
    {"Button", IDC_ACTION, 160, 60, 60, 14, true, false},
    {"Button", IDC_EXIT, 225, 60, 60, 14, true, false},
};
const ControlTemplate progressControls[] = {
    {"Static", IDC_PROGRESS_TEXT, 10, 8, 170, 32, false, false},
    {"Static", IDC_PROGRESS_FRAME, 10, 46, 170, 13, false, true},
};
const DialogTemplate templates[] = {
    {IDD_UPDATE, 290, 80, updateControls, 3},
    {IDD_PROGRESS, 190, 80, progressControls, 2},
};

std::deque<Window> windows;
std::deque<MSG> queue;
// Armed timers by window and id, with their periods.
std::map<std::pair<HWND, UINT_PTR>, UINT> timers;
HWND focus = NULL;
SimUiCounters counters;
std::vector<SimInvalidation> invalidations;
std::vector<SimEnableCall> enableCalls;
bool failCreateDialog = false;
bool failGetDC = false;
SimModalUser modalUser;
HCURSOR currentCursor = NULL;
COLORREF sysColors[31];
unsigned long zPlaces = 0;
std::set<std::string> classes;

HWND HandleOf(size_t index) { return (HWND)(windowBase + 4 * index); }

Window *Find(HWND window)
{
    uintptr_t value = (uintptr_t)window;
    if (value < windowBase || (value - windowBase) % 4 != 0)
        return NULL;
    size_t index = (value - windowBase) / 4;
    if (index >= windows.size() || !windows[index].live)
        return NULL;
    return &windows[index];
}

int ClientWidth(const Window &w)
{
    return w.rect.right - w.rect.left - (w.framed ? 2 * simFrameSide : 0);
}

int ClientHeight(const Window &w)
{
    return w.rect.bottom - w.rect.top - (w.framed ? simFrameTop + simFrameSide : 0);
}

POINT ClientOrigin(HWND window)
{
    POINT origin = {0, 0};
    Window *w = Find(window);
    if (w == NULL)
        return origin;
    if (w->parent != NULL)
        origin = ClientOrigin(w->parent);
    origin.x += w->rect.left + (w->framed ? simFrameSide : 0);
    origin.y += w->rect.top + (w->framed ? simFrameTop : 0);
    return origin;
}

bool IsDescendant(HWND ancestor, HWND window)
{
    Window *w = Find(window);
    while (w != NULL && w->parent != NULL) {
        if (w->parent == ancestor)
            return true;
        w = Find(w->parent);
    }
    return false;
}

void ResizeSurface(Window &w)
{
    int width = ClientWidth(w) > 0 ? ClientWidth(w) : 0;
    int height = ClientHeight(w) > 0 ? ClientHeight(w) : 0;
    if (width == w.surfaceWidth && height == w.surfaceHeight)
        return;
    w.surfaceWidth = width;
    w.surfaceHeight = height;
    w.surface.assign((size_t)width * (size_t)height, simUnpainted);
}

HWND NewWindow(const char *className, HWND parent, int id, RECT rect, bool framed)
{
    windows.emplace_back();
    Window &w = windows.back();
    w.live = true;
    w.className = className;
    w.id = id;
    w.parent = parent;
    w.rect = rect;
    w.framed = framed;
    // A new top-level window opens above the others.
    if (parent == NULL) {
        w.zPlace = ++zPlaces;
        ResizeSurface(w);
    }
    return HandleOf(windows.size() - 1);
}

const DialogTemplate *FindTemplate(LPCSTR name)
{
    if (!IS_INTRESOURCE(name))
        return NULL;
    for (const DialogTemplate &t : templates)
        if (t.id == (int)(uintptr_t)name)
            return &t;
    return NULL;
}

void InvalidateWhole(HWND window, BOOL erase)
{
    Window *w = Find(window);
    if (w == NULL || w->proc == NULL)
        return;
    w->invalid = true;
    w->eraseRequested = w->eraseRequested || erase;
    w->update.left = 0;
    w->update.top = 0;
    w->update.right = ClientWidth(*w);
    w->update.bottom = ClientHeight(*w);
}

void StoreText(Window &w, const char *text)
{
    w.text = text != NULL ? text : "";
    w.textSets++;
}

// DefDlgProc's share of a message the dialog procedure left unhandled.
LRESULT Deliver(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window *w = Find(window);
    if (w == NULL || w->proc == NULL)
        return 0;
    if (message == WM_PAINT)
        counters.paintMessages++;
    INT_PTR handled = w->proc(window, message, wParam, lParam);
    w = Find(window);
    if (handled || w == NULL)
        return handled;
    switch (message) {
    case WM_CLOSE:
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     (LPARAM)GetDlgItem(window, IDCANCEL));
        break;
    case WM_PAINT:
        // DefWindowProc validates what the procedure did not paint.
        w->invalid = false;
        w->eraseRequested = false;
        break;
    case WM_SETTEXT:
        StoreText(*w, (const char *)lParam);
        break;
    default:
        break;
    }
    return handled;
}

bool Matches(const MSG &m, HWND filter, UINT first, UINT last)
{
    if (filter == (HWND)-1) {
        if (m.hwnd != NULL)
            return false;
    } else if (filter != NULL && m.hwnd != filter && !IsDescendant(filter, m.hwnd)) {
        return false;
    }
    if (first == 0 && last == 0)
        return true;
    return m.message >= first && m.message <= last;
}

void Purge(HWND window)
{
    for (size_t i = 0; i < queue.size();) {
        if (queue[i].hwnd == window)
            queue.erase(queue.begin() + (long)i);
        else
            i++;
    }
}

HWND CreateDialogFrom(LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM param)
{
    const DialogTemplate *t = FindTemplate(templateName);
    if (failCreateDialog || t == NULL || proc == NULL)
        return NULL;
    RECT rect = {0, 0, t->cx * simBaseX / 4 + 2 * simFrameSide,
                 t->cy * simBaseY / 8 + simFrameTop + simFrameSide};
    HWND dialog = NewWindow(simDialogClass, NULL, t->id, rect, true);
    Find(dialog)->owner = owner;
    Find(dialog)->proc = proc;
    HWND firstTab = NULL;
    for (int i = 0; i < t->count; i++) {
        const ControlTemplate &c = t->controls[i];
        RECT r = {c.x * simBaseX / 4, c.y * simBaseY / 8, (c.x + c.cx) * simBaseX / 4,
                  (c.y + c.cy) * simBaseY / 8};
        HWND control = NewWindow(c.className, dialog, c.id, r, false);
        Find(control)->visible = true;
        Find(control)->tabStop = c.tabStop;
        Find(control)->keepsNoText = c.frame;
        if (c.tabStop && firstTab == NULL)
            firstTab = control;
    }
    counters.dialogsCreated++;
    if (Deliver(dialog, WM_INITDIALOG, (WPARAM)firstTab, param) && firstTab != NULL)
        focus = firstTab;
    if (Find(dialog) == NULL)
        return NULL;
    // Both templates carry WS_VISIBLE: the dialog shows itself once initialised.
    ShowWindow(dialog, SW_SHOW);
    return dialog;
}

} // namespace

// ---- Control side

void SimUiReset()
{
    windows.clear();
    queue.clear();
    timers.clear();
    focus = NULL;
    counters = SimUiCounters();
    invalidations.clear();
    enableCalls.clear();
    failCreateDialog = false;
    failGetDC = false;
    modalUser = nullptr;
    currentCursor = NULL;
    zPlaces = 0;
    classes.clear();
    for (COLORREF &c : sysColors)
        c = RGB(192, 192, 192);
    sysColors[COLOR_WINDOW] = RGB(255, 255, 255);
    SimGdiReset();
    SimResourcesReset();
}

SimWindowInfo SimWindow(HWND window)
{
    SimWindowInfo info = {};
    Window *w = Find(window);
    if (w == NULL)
        return info;
    info.exists = true;
    info.className = w->className;
    info.id = w->id;
    info.parent = w->parent;
    info.owner = w->owner;
    info.text = w->text;
    info.textSets = w->textSets;
    info.visible = w->visible;
    info.enabled = w->enabled;
    GetWindowRect(window, &info.windowRect);
    POINT origin = ClientOrigin(window);
    info.clientRect.left = origin.x;
    info.clientRect.top = origin.y;
    info.clientRect.right = origin.x + ClientWidth(*w);
    info.clientRect.bottom = origin.y + ClientHeight(*w);
    return info;
}

HWND SimCreateWindow(const char *className, HWND parent, int id, RECT rect)
{
    HWND window = NewWindow(className, parent, id, rect, false);
    Find(window)->visible = true;
    return window;
}

HWND SimFindDialog(int templateId)
{
    for (size_t i = windows.size(); i-- > 0;) {
        const Window &w = windows[i];
        if (w.live && w.parent == NULL && w.proc != NULL && w.id == templateId)
            return HandleOf(i);
    }
    return NULL;
}

int SimDialogsCreated(int templateId)
{
    int count = 0;
    for (const Window &w : windows)
        if (w.parent == NULL && w.proc != NULL && w.id == templateId)
            count++;
    return count;
}

int SimLiveTopLevelWindows()
{
    int count = 0;
    for (const Window &w : windows)
        if (w.live && w.parent == NULL)
            count++;
    return count;
}

int SimRegisteredClasses() { return (int)classes.size(); }

HWND SimFocus() { return focus; }

int SimQueueLength() { return (int)queue.size(); }

SimUiCounters SimUi() { return counters; }

const std::vector<SimInvalidation> &SimInvalidations() { return invalidations; }

const std::vector<SimEnableCall> &SimEnableCalls() { return enableCalls; }

void SimFailCreateDialog(bool fail) { failCreateDialog = fail; }

void SimFailGetDC(bool fail) { failGetDC = fail; }

void SimSetSysColor(int index, COLORREF colour)
{
    if (index >= 0 && index < (int)(sizeof sysColors / sizeof sysColors[0]))
        sysColors[index] = colour;
}

HCURSOR SimCurrentCursor() { return currentCursor; }

void SimSetModalUser(SimModalUser user) { modalUser = user; }

COLORREF SimPixel(HWND window, int x, int y)
{
    int width = 0;
    int height = 0;
    COLORREF *pixels = SimSurface(window, &width, &height);
    if (pixels == NULL || x < 0 || y < 0 || x >= width || y >= height)
        return simUnpainted;
    return pixels[(size_t)y * (size_t)width + (size_t)x];
}

COLORREF *SimSurface(HWND window, int *width, int *height)
{
    Window *w = Find(window);
    if (w == NULL || w->parent != NULL)
        return NULL;
    *width = w->surfaceWidth;
    *height = w->surfaceHeight;
    return w->surface.data();
}

// ---- USER32

HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc,
                               LPARAM param)
{
    (void)instance;
    return CreateDialogFrom(templateName, owner, proc, param);
}

// The modal loop: the dialog takes what is queued for it; when nothing is left and it is still
// open, the scripted user acts.
INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc,
                               LPARAM param)
{
    (void)instance;
    HWND dialog = CreateDialogFrom(templateName, owner, proc, param);
    if (dialog == NULL)
        return -1;
    counters.modalDialogs++;
    Find(dialog)->modal = true;
    for (int round = 0;; round++) {
        MSG message;
        while (Find(dialog) != NULL && !Find(dialog)->ended &&
               PeekMessageA(&message, dialog, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        if (Find(dialog) == NULL || Find(dialog)->ended)
            break;
        if (!modalUser || !modalUser(dialog, round)) {
            counters.modalsAbandoned++;
            Find(dialog)->endResult = -1;
            break;
        }
    }
    Window *w = Find(dialog);
    INT_PTR result = w != NULL ? w->endResult : -1;
    DestroyWindow(dialog);
    return result;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result)
{
    Window *w = Find(dialog);
    if (w == NULL || !w->modal)
        return FALSE;
    counters.endDialogCalls++;
    if (!w->ended)
        w->endResult = result;
    w->ended = true;
    return TRUE;
}

ATOM WINAPI RegisterClassA(const WNDCLASSA *windowClass)
{
    return classes.insert(windowClass->lpszClassName).second ? (ATOM)(0xC000 + classes.size()) : 0;
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance)
{
    (void)instance;
    return classes.erase(className) != 0;
}

// A window of a registered class; its procedure is not run here.
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR caption, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param)
{
    (void)exStyle, (void)caption, (void)menu, (void)instance, (void)param;
    if (classes.count(className) == 0)
        return NULL;
    RECT rect = {x, y, x + width, y + height};
    HWND window = NewWindow(className, parent, 0, rect, false);
    Find(window)->visible = (style & WS_VISIBLE) != 0;
    return window;
}

// Only a dialog's own data is kept: nothing here reads its message result.
LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value)
{
    Window *w = Find(window);
    if (w == NULL || index != DWLP_USER)
        return 0;
    LONG_PTR old = w->userData;
    w->userData = value;
    return old;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND window, int index)
{
    Window *w = Find(window);
    return w != NULL && index == DWLP_USER ? w->userData : 0;
}

BOOL WINAPI DestroyWindow(HWND window)
{
    Window *w = Find(window);
    if (w == NULL)
        return FALSE;
    Deliver(window, WM_DESTROY, 0, 0);
    for (size_t i = 0; i < windows.size(); i++)
        if (windows[i].live && windows[i].parent == window)
            DestroyWindow(HandleOf(i));
    w = Find(window);
    if (w == NULL)
        return TRUE;
    w->live = false;
    w->surface.clear();
    counters.windowsDestroyed++;
    if (focus == window)
        focus = NULL;
    Purge(window);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND window) { return Find(window) != NULL; }

BOOL WINAPI ShowWindow(HWND window, int command)
{
    Window *w = Find(window);
    if (w == NULL)
        return FALSE;
    BOOL wasVisible = w->visible;
    w->visible = command != SW_HIDE;
    if (w->visible && !wasVisible)
        InvalidateWhole(window, TRUE);
    return wasVisible;
}

BOOL WINAPI BringWindowToTop(HWND window)
{
    counters.bringToTopCalls++;
    Window *w = Find(window);
    if (w == NULL)
        return FALSE;
    w->zPlace = ++zPlaces;
    return TRUE;
}

HWND WINAPI GetTopWindow(HWND window)
{
    counters.getTopWindowCalls++;
    if (window != NULL && Find(window) == NULL)
        return NULL;
    HWND top = NULL;
    unsigned long topPlace = 0;
    for (size_t i = 0; i < windows.size(); i++) {
        const Window &w = windows[i];
        if (!w.live || w.parent != window)
            continue;
        if (top == NULL || w.zPlace > topPlace) {
            top = HandleOf(i);
            topPlace = w.zPlace;
        }
    }
    return top;
}

BOOL WINAPI UpdateWindow(HWND window)
{
    counters.updateWindowCalls++;
    Window *w = Find(window);
    if (w == NULL)
        return FALSE;
    if (w->invalid && w->visible)
        Deliver(window, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text)
{
    Window *w = Find(window);
    if (w == NULL)
        return FALSE;
    if (!w->keepsNoText)
        StoreText(*w, text);
    return TRUE;
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)wParam;
    Window *w = Find(window);
    if (w == NULL)
        return 0;
    if (message == WM_SETTEXT) {
        StoreText(*w, (const char *)lParam);
        return TRUE;
    }
    return 0;
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text)
{
    return SetWindowTextA(GetDlgItem(dialog, id), text);
}

HWND WINAPI GetDlgItem(HWND dialog, int id)
{
    if (Find(dialog) == NULL)
        return NULL;
    for (size_t i = 0; i < windows.size(); i++)
        if (windows[i].live && windows[i].parent == dialog && windows[i].id == id)
            return HandleOf(i);
    return NULL;
}

BOOL WINAPI EnableWindow(HWND window, BOOL enable)
{
    SimEnableCall call = {window, enable};
    enableCalls.push_back(call);
    Window *w = Find(window);
    if (w == NULL)
        return FALSE;
    BOOL wasDisabled = !w->enabled;
    w->enabled = enable != FALSE;
    return wasDisabled;
}

HWND WINAPI SetFocus(HWND window)
{
    HWND previous = focus;
    if (window == NULL || Find(window) != NULL)
        focus = window;
    return previous;
}

BOOL WINAPI GetWindowRect(HWND window, LPRECT rect)
{
    Window *w = Find(window);
    if (w == NULL)
        return FALSE;
    POINT origin = {0, 0};
    if (w->parent != NULL)
        origin = ClientOrigin(w->parent);
    rect->left = origin.x + w->rect.left;
    rect->top = origin.y + w->rect.top;
    rect->right = origin.x + w->rect.right;
    rect->bottom = origin.y + w->rect.bottom;
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND window, LPRECT rect)
{
    Window *w = Find(window);
    if (w == NULL)
        return FALSE;
    rect->left = 0;
    rect->top = 0;
    rect->right = ClientWidth(*w);
    rect->bottom = ClientHeight(*w);
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint)
{
    Window *w = Find(window);
    if (w == NULL)
        return FALSE;
    w->rect.left = x;
    w->rect.top = y;
    w->rect.right = x + width;
    w->rect.bottom = y + height;
    if (w->parent == NULL)
        ResizeSurface(*w);
    if (repaint)
        InvalidateWhole(window, TRUE);
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND window, LPPOINT point)
{
    if (Find(window) == NULL)
        return FALSE;
    POINT origin = ClientOrigin(window);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND window, LPPOINT point)
{
    if (Find(window) == NULL)
        return FALSE;
    POINT origin = ClientOrigin(window);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND window, const RECT *rect, BOOL erase)
{
    Window *w = Find(window);
    if (w == NULL)
        return FALSE;
    SimInvalidation record = {window, {0, 0, ClientWidth(*w), ClientHeight(*w)}, erase};
    if (rect != NULL)
        record.rect = *rect;
    invalidations.push_back(record);
    if (w->proc == NULL)
        return TRUE;
    RECT r = record.rect;
    if (r.left < 0)
        r.left = 0;
    if (r.top < 0)
        r.top = 0;
    if (r.right > ClientWidth(*w))
        r.right = ClientWidth(*w);
    if (r.bottom > ClientHeight(*w))
        r.bottom = ClientHeight(*w);
    if (r.right <= r.left || r.bottom <= r.top)
        return TRUE;
    if (!w->invalid) {
        w->update = r;
    } else {
        // The update region is kept as its bounding rectangle.
        w->update.left = r.left < w->update.left ? r.left : w->update.left;
        w->update.top = r.top < w->update.top ? r.top : w->update.top;
        w->update.right = r.right > w->update.right ? r.right : w->update.right;
        w->update.bottom = r.bottom > w->update.bottom ? r.bottom : w->update.bottom;
    }
    w->invalid = true;
    w->eraseRequested = w->eraseRequested || erase;
    return TRUE;
}

HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint)
{
    Window *w = Find(window);
    if (w == NULL || paint == NULL)
        return NULL;
    RECT clip = {0, 0, 0, 0};
    if (w->invalid)
        clip = w->update;
    memset(paint, 0, sizeof *paint);
    paint->fErase = w->eraseRequested;
    paint->rcPaint = clip;
    w->invalid = false;
    w->eraseRequested = false;
    paint->hdc = SimGdiOpenWindowDc(window, true, clip);
    return paint->hdc;
}

BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT *paint)
{
    if (paint == NULL || paint->hdc == NULL) {
        SimGdiNoteMisuse("EndPaint without the context BeginPaint gave");
        return FALSE;
    }
    return SimGdiCloseWindowDc(window, paint->hdc, true);
}

HDC WINAPI GetDC(HWND window)
{
    Window *w = Find(window);
    if (failGetDC || w == NULL)
        return NULL;
    RECT clip = {0, 0, ClientWidth(*w), ClientHeight(*w)};
    return SimGdiOpenWindowDc(window, false, clip);
}

int WINAPI ReleaseDC(HWND window, HDC dc) { return SimGdiCloseWindowDc(window, dc, false); }

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name)
{
    // Only the system's standard cursors exist; the tool has no cursor resources.
    if (instance != NULL || !IS_INTRESOURCE(name))
        return NULL;
    return (HCURSOR)(0x40000 + (uintptr_t)name);
}

HCURSOR WINAPI SetCursor(HCURSOR cursor)
{
    HCURSOR previous = currentCursor;
    currentCursor = cursor;
    return previous;
}

DWORD WINAPI GetSysColor(int index)
{
    if (index < 0 || index >= (int)(sizeof sysColors / sizeof sysColors[0]))
        return 0;
    return sysColors[index];
}

BOOL WINAPI PeekMessageA(LPMSG message, HWND window, UINT first, UINT last, UINT remove)
{
    counters.peekCalls++;
    if (window != NULL && window != (HWND)-1 && Find(window) == NULL)
        return FALSE;
    for (size_t i = 0; i < queue.size(); i++) {
        if (!Matches(queue[i], window, first, last))
            continue;
        *message = queue[i];
        if (remove & PM_REMOVE)
            queue.erase(queue.begin() + (long)i);
        return TRUE;
    }
    // Painting comes after every posted message, and stays pending until the window is valid.
    if (window == (HWND)-1 || (!(first == 0 && last == 0) && (WM_PAINT < first || WM_PAINT > last)))
        return FALSE;
    for (size_t i = 0; i < windows.size(); i++) {
        const Window &w = windows[i];
        HWND handle = HandleOf(i);
        if (!w.live || !w.invalid || !w.visible || w.proc == NULL)
            continue;
        if (window != NULL && window != handle && !IsDescendant(window, handle))
            continue;
        MSG paint = {handle, WM_PAINT, 0, 0, 0, {0, 0}};
        *message = paint;
        return TRUE;
    }
    return FALSE;
}

BOOL WINAPI IsDialogMessageA(HWND dialog, LPMSG message)
{
    if (Find(dialog) == NULL || message == NULL)
        return FALSE;
    if (message->hwnd != dialog && !IsDescendant(dialog, message->hwnd))
        return FALSE;
    // No keyboard: tests post the commands a key would give.
    DispatchMessageA(message);
    return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG *message)
{
    (void)message;
    counters.translated++;
    return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG *message)
{
    if (message == NULL || message->hwnd == NULL)
        return 0;
    Window *w = Find(message->hwnd);
    if (w == NULL || w->proc == NULL)
        return 0;
    counters.dispatched++;
    return Deliver(message->hwnd, message->message, message->wParam, message->lParam);
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window *w = Find(window);
    if (w != NULL && w->proc == NULL && message == BM_GETSTATE)
        return w->pushed ? BST_PUSHED : 0;
    return w != NULL && w->proc != NULL ? Deliver(window, message, wParam, lParam) : 0;
}

// Time passes only when a test says so (SimPassTime), and each armed timer then fires.
UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    (void)proc;
    if (Find(window) == NULL)
        return 0;
    timers[{window, id}] = elapse;
    return id;
}

BOOL WINAPI KillTimer(HWND window, UINT_PTR id) { return timers.erase({window, id}) != 0; }

void SimPassTime(DWORD milliseconds)
{
    SimAdvanceTicks(milliseconds);
    for (const auto &timer : timers)
        if (timer.second <= milliseconds && Find(timer.first.first) != NULL)
            PostMessageA(timer.first.first, WM_TIMER, timer.first.second, 0);
}

void SimSetPushed(HWND button, bool pushed)
{
    if (Window *w = Find(button))
        w->pushed = pushed;
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (window != NULL && Find(window) == NULL)
        return FALSE;
    MSG m = {window, message, wParam, lParam, 0, {0, 0}};
    queue.push_back(m);
    return TRUE;
}

int WINAPI MessageBoxIndirectA(const MSGBOXPARAMSA *) { return IDOK; }
