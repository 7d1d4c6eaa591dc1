// The modeless progress dialog, its hand-painted bar and its message pump.
#include "progress/progress.h"

#include "progress/progress_internal.h"
#include "resources/resource.h"
#include "ui_shared/ui_shared.h"

// One progress dialog, from its open to its close: what the open, the steps, the
// pump and the dialog's procedure share. Kept between calls because the transfer opens the
// dialog, steps it and pumps it in separate calls, and the procedure runs inside all of them.
struct ProgressRun {
    // Whether an open has had no close yet, the window made or not: the one place that knows, so
    // a second open takes nothing and a stray close gives back nothing it did not take.
    int open;
    HWND progressWindow;
    int cancelRequested;
    int cancelEnabled;
    DWORD lastStep;
    HCURSOR savedCursor;
    char captionText[80];
    // The notice the text line shows instead (the printer's pause, its restart): longer than the
    // transfer's text, as a Japanese one fills more than 80 bytes.
    char busyText[256];
    char percentFormat[20];
    // The bar inside the frame, in the dialog's client coordinates; how much of it is filled,
    // which only grows; where the percentage is drawn, centred once for the widest one.
    RECT bar;
    int filledWidth;
    POINT textOrigin;
    // The percentage the window shows, and its text: made once when a step changes it, then
    // drawn, set as the frame's text and handed to screen readers as it is. Under Wine every
    // call that reaches the window costs more than a fast link takes for a chunk, so the bar
    // is painted only when the percentage changes, and never more than a percentage behind.
    int shownPercent;
    // Far more than "-2147483648% " needs, so a longer translated format still fits.
    char percentText[64];
};

// What draws the bar, made when the dialog starts and released when it closes: its colours and
// the memory context and bitmap it is drawn in. Under Wine, making and deleting those took
// longer than a 4 KB piece at 32 MB/s, for every new percentage.
struct BarPainter {
    HBRUSH windowBrush;
    HBRUSH barBrush;
    HDC barMemory;
    HBITMAP barBitmap;
    HGDIOBJ barOldBitmap;
};

static const ProgressRun noRun = {0,  NULL,         0, 0,      0,  NULL, "", "",
                                  "", {0, 0, 0, 0}, 0, {0, 0}, -1, ""};
static ProgressRun run = noRun;
static BarPainter painter;
// The owner outlives every dialog: it is named once, before any open.
static HWND ownerWindow = NULL;

// The whole run spans the bar.
static const int stepScale = 100;
static const int stepOffset = 0;
static const UINT pumpFlags = PM_REMOVE | PM_NOYIELD;

// The widest percentage the bar shows: the text is centred once, for this width.
static const char referencePercent[] = "100%";

static INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void SetOwnerWindow(HWND owner) { ownerWindow = owner; }

DWORD BarFillWidth(DWORD total, DWORD current, int width, int scale, int offset)
{
    if (width <= 0)
        return 0;
    DWORD filled =
        ((DWORD)scale * (DWORD)width * current / total + (DWORD)offset * (DWORD)width) / 100u;
    if (filled > (DWORD)width)
        filled = (DWORD)width;
    return filled;
}

int PercentOfBar(int filledWidth, int width)
{
    if (width <= 0)
        return 0;
    return filledWidth * 100 / width;
}

POINT PercentTextOrigin(RECT bar, SIZE extent)
{
    POINT origin = {(bar.left + bar.right - extent.cx) / 2, (bar.top + bar.bottom - extent.cy) / 2};
    return origin;
}

COLORREF BarColour(COLORREF windowColour) { return windowColour ^ 0x00FF00FFu; }

// The one place the shown percentage and its text are made, once for each new value; the
// painter, the frame and screen readers all take this text. The format comes from the string
// table, loaded once per dialog, so a failed load yields an empty text.
static void SetShownPercent(int percent)
{
    run.shownPercent = percent;
    run.percentText[0] = '\0';
    wsprintfA(run.percentText, run.percentFormat, percent);
}

// The bar is painted by hand: the frame control's text carries the same percentage for a
// reader of the dialog's controls, and screen readers are given it as the bar's value and
// told of it as it changes. A black-frame static never draws its text, and some static
// implementations (Wine's) drop WM_SETTEXT for it altogether, so the text is stored through
// the default window procedure, which every window's text lives in.
static void ShowPercentInFrame(HWND window)
{
    DefWindowProcA(GetDlgItem(window, IDC_PROGRESS_FRAME), WM_SETTEXT, 0, (LPARAM)run.percentText);
    NotifyBarChange(window, EVENT_OBJECT_VALUECHANGE);
}

// Makes the memory context and bitmap a bar of width x height is drawn in; 0, with nothing held,
// when either cannot be made.
static int MakeBarMemory(HDC screen, int width, int height)
{
    painter.barMemory = CreateCompatibleDC(screen);
    if (painter.barMemory == NULL)
        return 0;
    // Compatible with the screen, not with the memory context, whose default bitmap is
    // monochrome.
    painter.barBitmap = CreateCompatibleBitmap(screen, width, height);
    if (painter.barBitmap == NULL) {
        DeleteDC(painter.barMemory);
        painter.barMemory = NULL;
        return 0;
    }
    painter.barOldBitmap = SelectObject(painter.barMemory, painter.barBitmap);
    SetBkMode(painter.barMemory, TRANSPARENT);
    // The context's default black would vanish over the empty part in a dark scheme.
    SetTextColor(painter.barMemory, GetSysColor(COLOR_WINDOWTEXT));
    return 1;
}

static void ReleaseBarMemory()
{
    if (painter.barMemory == NULL)
        return;
    SelectObject(painter.barMemory, painter.barOldBitmap);
    DeleteObject(painter.barBitmap);
    DeleteDC(painter.barMemory);
    painter.barMemory = NULL;
    painter.barBitmap = NULL;
    painter.barOldBitmap = NULL;
}

// Draws bar, filledWidth pixels of it filled, with text at textOrigin (all in the window's
// client coordinates). The whole bar is drawn off screen and copied onto screen in one
// operation, so it never flickers.
static void PaintBarOn(HDC screen, RECT bar, int filledWidth, POINT textOrigin, const char *text)
{
    int width = bar.right - bar.left;
    int height = bar.bottom - bar.top;
    RECT filled = {0, 0, filledWidth, height};
    RECT empty = {filledWidth, 0, width, height};

    if (painter.barMemory == NULL && !MakeBarMemory(screen, width, height))
        return;
    FillRect(painter.barMemory, &filled, painter.barBrush);
    FillRect(painter.barMemory, &empty, painter.windowBrush);
    TextOutA(painter.barMemory, textOrigin.x - bar.left, textOrigin.y - bar.top, text,
             lstrlenA(text));
    BitBlt(screen, bar.left, bar.top, width, height, painter.barMemory, 0, 0, SRCCOPY);
}

static void PaintProgressBar(HWND window)
{
    PAINTSTRUCT paint;
    ZeroMemory(&paint, sizeof paint);
    HDC screen = BeginPaint(window, &paint);
    if (screen != NULL)
        PaintBarOn(screen, run.bar, run.filledWidth, run.textOrigin, run.percentText);
    EndPaint(window, &paint);
}

// Brings a new percentage to the screen: the bar at once, because the write after this step
// may stall, as when a printer's buffer fills after a fast burst, and the screen then keeps
// what was last painted.
static void ShowStep(int percent)
{
    SetShownPercent(percent);
    // Raising a window that is already on top still costs a full window-position change.
    if (GetTopWindow(NULL) != run.progressWindow)
        BringWindowToTop(run.progressWindow);
    // Drawn straight onto the window: through an invalidation and WM_PAINT the same drawing
    // takes as long as a whole 4 KB piece at 32 MB/s, and the printer would wait for it.
    HDC screen = GetDC(run.progressWindow);
    if (screen != NULL) {
        PaintBarOn(screen, run.bar, run.filledWidth, run.textOrigin, run.percentText);
        ReleaseDC(run.progressWindow, screen);
    }
    ShowPercentInFrame(run.progressWindow);
}

int ProgressOpen(UINT stringId, int enableCancel, const char *caption)
{
    COLORREF windowColour;

    if (run.open)
        return 0;
    run.open = 1;
    run.savedCursor = SetCursor(LoadCursorA(NULL, IDC_ARROW));
    windowColour = GetSysColor(COLOR_WINDOW);
    painter.windowBrush = CreateSolidBrush(windowColour);
    painter.barBrush = CreateSolidBrush(BarColour(windowColour));
    // The dialog's initialisation reads all of this, and it runs inside the creation call.
    run.cancelEnabled = enableCancel;
    run.captionText[0] = '\0';
    LoadStringA(ModuleInstance(), stringId, run.captionText, sizeof run.captionText);
    run.percentFormat[0] = '\0';
    LoadStringA(ModuleInstance(), IDS_PERCENT, run.percentFormat, sizeof run.percentFormat);

    run.progressWindow = CreateDialogParamA(ModuleInstance(), MAKEINTRESOURCEA(IDD_PROGRESS),
                                            ownerWindow, ProgressDialogProc, 0);
    if (run.progressWindow != NULL) {
        ShowWindow(run.progressWindow, SW_SHOW);
        BringWindowToTop(run.progressWindow);
        UpdateWindow(run.progressWindow);
        if (caption != NULL)
            SetWindowTextA(run.progressWindow, caption);
    }
    EnableWindow(ownerWindow, FALSE);
    return 1;
}

void ProgressClose()
{
    // An unmatched close would restore a cursor and delete brushes that no open took.
    if (!run.open)
        return;
    run.open = 0;
    EnableWindow(ownerWindow, TRUE);
    if (run.progressWindow != NULL) {
        if (IsWindow(run.progressWindow))
            DestroyWindow(run.progressWindow);
        run.progressWindow = NULL;
        run.cancelRequested = 0;
    }
    ReleaseBarMemory();
    if (painter.barBrush != NULL)
        DeleteObject(painter.barBrush);
    painter.barBrush = NULL;
    if (painter.windowBrush != NULL)
        DeleteObject(painter.windowBrush);
    painter.windowBrush = NULL;
    SetCursor(run.savedCursor);
}

void ProgressShowNotice(UINT stringId)
{
    if (run.progressWindow == NULL || !IsWindow(run.progressWindow))
        return;
    run.busyText[0] = '\0';
    if (stringId != 0)
        LoadStringA(ModuleInstance(), stringId, run.busyText, sizeof run.busyText);
    const char *line = stringId != 0 ? run.busyText : run.captionText;
    SetDlgItemTextA(run.progressWindow, IDC_PROGRESS_TEXT, line);
    SetBarTexts(line, run.percentText);
    NotifyBarChange(run.progressWindow, EVENT_OBJECT_NAMECHANGE);
    // On screen now: the wait that follows may not run the paint for a while.
    UpdateWindow(run.progressWindow);
}

int PumpProgressMessages()
{
    MSG message;

    while (!run.cancelRequested) {
        if (!PeekMessageA(&message, run.progressWindow, 0, 0, pumpFlags))
            break;
        if (run.progressWindow != NULL && IsDialogMessageA(run.progressWindow, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    // Last, so that the caller's wait sees every message that arrives after it: a peek marks
    // what it leaves in the queue as seen, and a wait for input wakes only for new messages.
    // Peeked before the filtered loop, a message for another window arriving in between (a
    // screen reader's call into the bar) lay there until the printer moved again. With no
    // owner the filter is empty, so this takes every message of the thread.
    while (PeekMessageA(&message, ownerWindow, 0, 0, PM_REMOVE | PM_NOYIELD)) {
        if (!IsDialogMessageA(ownerWindow, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return run.cancelRequested ? 0 : 1;
}

int ProgressStep(DWORD total, DWORD current)
{
    run.lastStep = current;
    if (run.progressWindow == NULL)
        return 0;
    // The pump destroys the window when the user closes it.
    if (!IsWindow(run.progressWindow))
        return current != 0 ? 1 : 0;
    if (run.cancelRequested && current != 0)
        return 1;
    // A total of 0 has no position on the bar; the caller is told to stop.
    if (total == 0)
        return 1;

    int width = run.bar.right - run.bar.left;
    int filled = (int)BarFillWidth(total, current, width, stepScale, stepOffset);
    if (filled <= run.filledWidth)
        return 0;
    // Kept current whether or not this step paints: a paint the system asks for in between
    // shows the bar as it is.
    run.filledWidth = filled;
    int percent = PercentOfBar(filled, width);
    if (percent != run.shownPercent)
        ShowStep(percent);
    if (current > total)
        return 1;
    return run.cancelRequested;
}

static INT_PTR InitProgressDialog(HWND window)
{
    HWND frame;
    RECT frameRect = {0, 0, 0, 0};
    SIZE extent;
    HDC dc;

    CenterWindow(window, CENTER_ON_SCREEN);
    SetDlgItemTextA(window, IDC_PROGRESS_TEXT, run.captionText);

    frame = GetDlgItem(window, IDC_PROGRESS_FRAME);
    GetClientRect(frame, &frameRect);
    // The frame's corners in the dialog's client coordinates; the bar lies one pixel inside.
    POINT corners[2] = {{frameRect.left, frameRect.top}, {frameRect.right, frameRect.bottom}};
    for (POINT &corner : corners) {
        ClientToScreen(frame, &corner);
        ScreenToClient(window, &corner);
    }
    run.bar = {corners[0].x + 1, corners[0].y + 1, corners[1].x - 1, corners[1].y - 1};
    run.filledWidth = 0;

    dc = GetDC(window);
    if (dc == NULL ||
        !GetTextExtentPoint32A(dc, referencePercent, lstrlenA(referencePercent), &extent)) {
        extent.cx = 16;
        extent.cy = 8;
    }
    if (dc != NULL)
        ReleaseDC(window, dc);
    run.textOrigin = PercentTextOrigin(run.bar, extent);
    SetShownPercent(0);
    SetBarTexts(run.captionText, run.percentText);
    ShowPercentInFrame(window);
    // The template has no control 2; a template that had one would honour enableCancel.
    EnableWindow(GetDlgItem(window, IDCANCEL), run.cancelEnabled);
    SetFocus(window);
    return TRUE;
}

static INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)wParam;
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        return InitProgressDialog(window);
    case WM_PAINT:
        PaintProgressBar(window);
        return 0;
    case WM_CLOSE:
        // Gated on the last step, not on run.cancelEnabled: once the bar has moved, the dialog
        // can always be dismissed, though the transfer behind it carries on.
        if (run.lastStep != 0) {
            run.cancelRequested = 1;
            DestroyWindow(window);
        }
        return 0;
    case WM_COMMAND:
        if (run.lastStep != 0)
            run.cancelRequested = 1;
        return 0;
    case WM_GETOBJECT: {
        LRESULT answer = AnswerBarAccessible(window, wParam, lParam);
        if (answer == 0)
            return FALSE;
        SetWindowLongPtrA(window, DWLP_MSGRESULT, answer);
        return TRUE;
    }
    case WM_DESTROY:
        ReleaseBarAccessible();
        return FALSE;
    case WM_QUERYENDSESSION:
        // The dialog exists only while a transfer runs: the session must wait for it.
        SetWindowLongPtrA(window, DWLP_MSGRESULT, FALSE);
        return TRUE;
    default:
        return FALSE;
    }
}
