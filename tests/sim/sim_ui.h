// The control side of the simulated user32, gdi32 and resources: tests build and script the
// desktop here, and read back windows, messages, drawing and the drawing objects still held.
#ifndef UPDATE_TOOL_SIM_UI_H
#define UPDATE_TOOL_SIM_UI_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Back to an empty desktop: no windows, an empty message queue, every counter and record at
// zero, a 1280 x 1024 screen, a white window colour, the English string table, no registered
// resources and no scripted failures.
void SimUiReset();

// ---- Windows

// Dialog units to pixels, as for a dialog font with these base units:
// x pixels = x units * simBaseX / 4, y pixels = y units * simBaseY / 8.
const int simBaseX = 8;
const int simBaseY = 16;
// The non-client frame of a top-level dialog (border and caption): the client area starts this
// far in from the window rectangle's left and top; the right and bottom borders are
// simFrameSide wide. Child controls have no frame.
const int simFrameSide = 3;
const int simFrameTop = 22;

// The class of dialogs, as the platform names it.
extern const char *const simDialogClass;

struct SimWindowInfo {
    bool exists;           // false once destroyed (or never created)
    std::string className; // simDialogClass, "Static" or "Button"
    int id;                // control id; for a dialog, the template id
    HWND parent;           // controls: the dialog; top-level windows: NULL
    HWND owner;            // top-level windows: the owner given at creation
    std::string text;
    int textSets; // times a text was stored in it, the same text again included
    bool visible; // its own flag, not its parent's
    bool enabled;
    RECT windowRect; // screen coordinates
    RECT clientRect; // screen coordinates
};
SimWindowInfo SimWindow(HWND window);

// A plain window with no procedure (an owner, say). rect is in screen coordinates for a
// top-level window (parent NULL), else in the parent's client coordinates. Visible and enabled.
HWND SimCreateWindow(const char *className, HWND parent, int id, RECT rect);

// The most recently created dialog from templateId that still exists; NULL when none does.
HWND SimFindDialog(int templateId);
// How many dialogs were ever created from templateId since the reset.
int SimDialogsCreated(int templateId);
// Top-level windows that exist now.
int SimLiveTopLevelWindows();
// Window classes the program registered and has not unregistered.
int SimRegisteredClasses();
HWND SimFocus();

// ---- Messages

// Messages posted and not yet taken.
int SimQueueLength();

// Moves GetTickCount on and posts WM_TIMER for every armed timer due within that time.
void SimPassTime(DWORD milliseconds);
// A button held down answers BM_GETSTATE with BST_PUSHED.
void SimSetPushed(HWND button, bool pushed);

// ---- Modal dialogs

// The user in front of DialogBoxParamA's dialogs: called with the dialog each time it has taken
// every message queued for it and is still open (round 0, 1, ... for each dialog). The user acts
// by posting messages (a click is a WM_COMMAND) and answers true, or answers false to walk away:
// the platform then ends the dialog with -1 and counts it in SimUi().modalsAbandoned, where a
// real one would wait forever. Without a user every modal dialog is abandoned at once.
using SimModalUser = std::function<bool(HWND dialog, int round)>;
void SimSetModalUser(SimModalUser user);

// ---- What happened

struct SimUiCounters {
    int dialogsCreated;
    int windowsDestroyed;
    int paintMessages; // WM_PAINT delivered to a dialog procedure
    int updateWindowCalls;
    int bringToTopCalls;
    // GetTopWindow answers from the stacking order: a new top-level window opens above the
    // others, and BringWindowToTop raises a window above its siblings.
    int getTopWindowCalls;
    int peekCalls;
    int dispatched; // messages DispatchMessageA delivered to a procedure
    int translated;
    int modalDialogs;    // DialogBoxParamA dialogs shown
    int endDialogCalls;  // EndDialog calls on a modal dialog
    int modalsAbandoned; // modal dialogs nobody ended
};
SimUiCounters SimUi();

struct SimInvalidation {
    HWND window;
    RECT rect; // client coordinates; the whole client area for a NULL rectangle
    BOOL erase;
};
const std::vector<SimInvalidation> &SimInvalidations();

struct SimEnableCall {
    HWND window;
    BOOL enable;
};
const std::vector<SimEnableCall> &SimEnableCalls();

// ---- Screen and system

void SimFailCreateDialog(bool fail); // CreateDialogParamA and DialogBoxParamA fail
// What the display reports to GetDeviceCaps (1280 x 1024 at reset).
void SimSetScreenSize(int width, int height);
void SimFailCreateIC(bool fail); // CreateICA of the display fails
void SimFailGetDC(bool fail);
void SimFailTextExtent(bool fail); // GetTextExtentPoint32A fails
// GetTextExtentPoint32A measures every character charWidth wide and the text height high.
void SimSetTextMetrics(int charWidth, int height);
void SimFailCompatibleBitmap(bool fail); // CreateCompatibleBitmap fails
void SimSetSysColor(int index, COLORREF colour);

// The cursor SetCursor last set (NULL at reset); LoadCursorA(NULL, id) of a standard cursor
// always gives the same handle.
HCURSOR SimCurrentCursor();

// ---- Drawing

// A pixel of a window's client area that nothing has painted yet.
const COLORREF simUnpainted = 0xFF000000u;
// The colour of client pixel (x, y) of window as painted so far; simUnpainted outside the
// client area or for a window that does not exist.
COLORREF SimPixel(HWND window, int x, int y);

enum SimDrawKind { SIM_FILL_RECT, SIM_TEXT_OUT, SIM_BIT_BLT };
struct SimDrawCall {
    SimDrawKind kind;
    bool toMemory;    // drawn into a memory context, not onto a window
    HWND window;      // the window drawn on, when not toMemory
    RECT rect;        // FillRect's rectangle; BitBlt's destination (x, y, x + w, y + h)
    COLORREF colour;  // FillRect's brush colour; TextOutA's text colour
    std::string text; // TextOutA
    int x, y;         // TextOutA's position; BitBlt's source point
    int bkMode;       // TextOutA: the context's background mode
    DWORD rop;        // BitBlt
};
const std::vector<SimDrawCall> &SimDrawCalls();
// How many of the recorded calls are of kind.
int SimDrawCount(SimDrawKind kind);

struct SimGdiCounters {
    int brushesCreated, brushesDeleted;
    int bitmapsCreated, bitmapsDeleted;
    int memoryDcsCreated, memoryDcsDeleted; // CreateCompatibleDC / DeleteDC
    int infoDcsCreated, infoDcsDeleted;     // CreateICA / DeleteDC
    int windowDcsTaken, windowDcsReleased;  // GetDC / ReleaseDC
    int paintsBegun, paintsEnded;           // BeginPaint / EndPaint
    int unrestoredSelections; // memory contexts deleted with another bitmap still selected
    int misuse;               // calls that broke a rule; SimGdiMisuseLog says which
};
SimGdiCounters SimGdi();
const std::vector<std::string> &SimGdiMisuseLog();
// What a run left unbalanced: brushes other than expectedBrushes created, anything created and
// not deleted, contexts or paints not ended, selections not restored, misuse. "" when clean.
std::string SimGdiImbalance(int expectedBrushes);

// ---- Strings and resources

// LoadStringA and LoadStringW serve the English string table of the tool. Replaces entry id;
// NULL removes it.
void SimSetString(UINT id, const char *text);

struct SimStringLoad {
    UINT id;
    int limit; // the buffer size passed
};
const std::vector<SimStringLoad> &SimStringLoads();

// What GetModuleHandleA(NULL) answers: the executable, where a NULL module resolves.
HMODULE SimExecutableModule();

// A resource of module (NULL: the executable) found by FindResourceA with these type and name
// (each a text, matched without regard to case, or a MAKEINTRESOURCEA id). The bytes are copied
// once here; LockResource hands out that copy for the rest of the test.
void SimRegisterResource(HMODULE module, LPCSTR type, LPCSTR name, const void *data, DWORD size);
// The address LockResource gives for a registered resource; NULL when none matches.
const BYTE *SimResourceData(HMODULE module, LPCSTR type, LPCSTR name);
void SimFailLoadResource(bool fail); // LoadResource fails

// ---- Functions looked up by name

// kernel32 gives SetThreadExecutionState by name (until the reset, nothing is given), and the
// thread's execution state starts as earlier: each call answers the state it finds, and a
// continuous request replaces it.
void SimOfferExecutionState(DWORD earlier);
DWORD SimExecutionState();

#endif
