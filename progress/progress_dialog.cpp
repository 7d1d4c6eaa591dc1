// The modeless progress dialog, its hand-painted bar and its message pump.
#include "progress/progress.h"

#include "progress/progress_internal.h"
#include "resources/resource.h"
#include "ui_shared/ui_shared.h"

static int nestingCount = 0;
static HWND progressWindow = NULL;
static HWND ownerWindow = NULL;
static int cancelRequested = 0;
static DWORD lastStep = 0;
static int cancelEnabled = 0;
static char captionText[80];
// Far more than "-2147483648% " needs, so a longer translated format still fits.
static char percentText[64];
static HCURSOR savedCursor = NULL;
static HBRUSH windowBrush = NULL;
static HBRUSH barBrush = NULL;
static char percentFormat[20];
// The bar drawn off screen: a memory context holding a bitmap of the bar's size, made at the
// first paint of a dialog and kept until it closes. Under Wine, making and deleting them took
// longer than a 4 KB piece at 32 MB/s, for every new percentage.
static HDC barMemory = NULL;
static HBITMAP barBitmap = NULL;
static HGDIOBJ barOldBitmap = NULL;
static RECT filledRect = {0, 0, 0, 0};
static RECT emptyRect = {0, 0, 0, 0};
static int barWidth = 0;
static int barHeight = 0;
static int textX = 0;
static int textY = 0;
static int stepScale = 100;
static int stepOffset = 0;
static WORD pumpFlags = PM_REMOVE | PM_NOYIELD;
// The percentage the window shows: the bar is painted and the frame's text set only when it
// changes, so the bar is never more than a percentage behind. Under Wine every call that
// reaches the window costs more than a fast link takes for a chunk.
static int shownPercent = -1;

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
    POINT origin;
    origin.x = (bar.left + bar.right - extent.cx) / 2;
    origin.y = (bar.top + bar.bottom - extent.cy) / 2;
    return origin;
}

COLORREF BarColour(COLORREF windowColour) { return windowColour ^ 0x00FF00FFu; }

// The bar inside a frame, one pixel in from every edge.
static RECT InnerBarRect(RECT frame)
{
    RECT inner;
    inner.left = frame.left + 1;
    inner.top = frame.top + 1;
    inner.right = frame.right - 1;
    inner.bottom = frame.bottom - 1;
    return inner;
}

// The format comes from the string table, loaded once per dialog, so a failed load yields an
// empty text.
static void FormatPercent(char *out, int percent)
{
    out[0] = '\0';
    wsprintfA(out, percentFormat, percent);
}

// The bar is painted by hand: the frame control's text carries the same percentage, which is
// the value screen readers are given, and told of as it changes. A black-frame static never
// draws its text, and some static implementations (Wine's) drop WM_SETTEXT for it altogether,
// so the text is stored through the default window procedure, which every window's text
// lives in.
static void ShowPercentInFrame(HWND window, int percent)
{
    char text[sizeof percentText];
    FormatPercent(text, percent);
    DefWindowProcA(GetDlgItem(window, IDC_PROGRESS_FRAME), WM_SETTEXT, 0, (LPARAM)text);
    shownPercent = percent;
    NotifyBarChange(window, EVENT_OBJECT_VALUECHANGE);
}

// Makes the memory context and bitmap the bar is drawn in; 0, with nothing held, when either
// cannot be made.
static int MakeBarMemory(HDC screen)
{
    barMemory = CreateCompatibleDC(screen);
    if (barMemory == NULL)
        return 0;
    // Compatible with the screen, not with the memory context, whose default bitmap is
    // monochrome.
    barBitmap = CreateCompatibleBitmap(screen, barWidth, barHeight);
    if (barBitmap == NULL) {
        DeleteDC(barMemory);
        barMemory = NULL;
        return 0;
    }
    barOldBitmap = SelectObject(barMemory, barBitmap);
    SetBkMode(barMemory, TRANSPARENT);
    // The context's default black would vanish over the empty part in a dark scheme.
    SetTextColor(barMemory, GetSysColor(COLOR_WINDOWTEXT));
    return 1;
}

static void ReleaseBarMemory()
{
    if (barMemory == NULL)
        return;
    SelectObject(barMemory, barOldBitmap);
    DeleteObject(barBitmap);
    DeleteDC(barMemory);
    barMemory = NULL;
    barBitmap = NULL;
    barOldBitmap = NULL;
}

// The whole bar is drawn off screen and copied onto screen in one operation, so it never
// flickers.
static void PaintBarOn(HDC screen)
{
    RECT filled;
    RECT empty;
    LONG shiftX = filledRect.left;
    LONG shiftY = filledRect.top;

    if (barMemory == NULL && !MakeBarMemory(screen))
        return;
    filled.left = filledRect.left - shiftX;
    filled.top = filledRect.top - shiftY;
    filled.right = filledRect.right - shiftX;
    filled.bottom = filledRect.bottom - shiftY;
    FillRect(barMemory, &filled, barBrush);
    empty.left = emptyRect.left - shiftX;
    empty.top = emptyRect.top - shiftY;
    empty.right = emptyRect.right - shiftX;
    empty.bottom = emptyRect.bottom - shiftY;
    FillRect(barMemory, &empty, windowBrush);

    FormatPercent(percentText, PercentOfBar(filledRect.right - filledRect.left, barWidth));
    TextOutA(barMemory, textX - shiftX, textY - shiftY, percentText, lstrlenA(percentText));
    BitBlt(screen, shiftX, shiftY, barWidth, barHeight, barMemory, 0, 0, SRCCOPY);
}

static void PaintProgressBar(HWND window)
{
    PAINTSTRUCT paint;
    ZeroMemory(&paint, sizeof paint);
    HDC screen = BeginPaint(window, &paint);
    if (screen != NULL)
        PaintBarOn(screen);
    EndPaint(window, &paint);
}

// Brings a new percentage to the screen: the bar at once, because the write after this step
// may stall, as when a printer's buffer fills after a fast burst, and the screen then keeps
// what was last painted.
static void ShowStep(int percent)
{
    // Raising a window that is already on top still costs a full window-position change.
    if (GetTopWindow(NULL) != progressWindow)
        BringWindowToTop(progressWindow);
    // Drawn straight onto the window: through an invalidation and WM_PAINT the same drawing
    // takes as long as a whole 4 KB piece at 32 MB/s, and the printer would wait for it.
    HDC screen = GetDC(progressWindow);
    if (screen != NULL) {
        PaintBarOn(screen);
        ReleaseDC(progressWindow, screen);
    }
    ShowPercentInFrame(progressWindow, percent);
}

void ProgressOpen(UINT stringId, int enableCancel, const char *caption)
{
    COLORREF windowColour;

    nestingCount += 1;
    if (nestingCount != 1)
        return;
    savedCursor = SetCursor(LoadCursorA(NULL, IDC_ARROW));
    windowColour = GetSysColor(COLOR_WINDOW);
    windowBrush = CreateSolidBrush(windowColour);
    barBrush = CreateSolidBrush(BarColour(windowColour));
    // The dialog's initialisation reads all of this, and it runs inside the creation call.
    stepScale = 100;
    stepOffset = 0;
    cancelEnabled = enableCancel;
    captionText[0] = '\0';
    LoadStringA(ModuleInstance(), stringId, captionText, sizeof captionText);
    percentFormat[0] = '\0';
    LoadStringA(ModuleInstance(), IDS_PERCENT, percentFormat, sizeof percentFormat);

    progressWindow = CreateDialogParamA(ModuleInstance(), MAKEINTRESOURCEA(IDD_PROGRESS),
                                        ownerWindow, ProgressDialogProc, 0);
    if (progressWindow != NULL) {
        ShowWindow(progressWindow, SW_SHOW);
        BringWindowToTop(progressWindow);
        UpdateWindow(progressWindow);
        if (caption != NULL)
            SetWindowTextA(progressWindow, caption);
    }
    EnableWindow(ownerWindow, FALSE);
}

void ProgressClose()
{
    // An unmatched close would drive the count below zero and no later open would ever
    // create the window again.
    if (nestingCount == 0)
        return;
    nestingCount -= 1;
    if (nestingCount != 0)
        return;
    EnableWindow(ownerWindow, TRUE);
    if (progressWindow != NULL) {
        if (IsWindow(progressWindow))
            DestroyWindow(progressWindow);
        progressWindow = NULL;
        cancelRequested = 0;
    }
    ReleaseBarMemory();
    if (barBrush != NULL)
        DeleteObject(barBrush);
    barBrush = NULL;
    if (windowBrush != NULL)
        DeleteObject(windowBrush);
    windowBrush = NULL;
    SetCursor(savedCursor);
    stepOffset = 0;
    stepScale = 100;
    pumpFlags = PM_REMOVE | PM_NOYIELD;
}

void ProgressShowBusy(int busy)
{
    // The notice is longer than the transfer's text: a Japanese one fills more than 80 bytes.
    char notice[256];

    if (progressWindow == NULL || !IsWindow(progressWindow))
        return;
    notice[0] = '\0';
    if (busy)
        LoadStringA(ModuleInstance(), IDS_PRINTER_BUSY, notice, sizeof notice);
    SetDlgItemTextA(progressWindow, IDC_PROGRESS_TEXT, busy ? notice : captionText);
    NotifyBarChange(progressWindow, EVENT_OBJECT_NAMECHANGE);
    // On screen now: the wait that follows may not run the paint for a while.
    UpdateWindow(progressWindow);
}

int PumpProgressMessages()
{
    MSG message;

    while (!cancelRequested) {
        if (!PeekMessageA(&message, progressWindow, 0, 0, pumpFlags))
            break;
        if (progressWindow != NULL && IsDialogMessageA(progressWindow, &message))
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
    return cancelRequested ? 0 : 1;
}

int ProgressStep(DWORD total, DWORD current)
{
    lastStep = current;
    if (progressWindow == NULL)
        return 0;
    // The pump destroys the window when the user closes it.
    if (!IsWindow(progressWindow))
        return current != 0 ? 1 : 0;
    if (cancelRequested && current != 0)
        return 1;
    // A total of 0 has no position on the bar; the caller is told to stop.
    if (total == 0)
        return 1;

    DWORD filled = BarFillWidth(total, current, barWidth, stepScale, stepOffset);
    LONG newRight = filledRect.left + (LONG)filled;
    if (newRight <= filledRect.right)
        return 0;
    // Kept current whether or not this step paints: a paint the system asks for in between
    // shows the bar as it is.
    filledRect.right = newRight;
    emptyRect.left = newRight;
    int percent = PercentOfBar(filledRect.right - filledRect.left, barWidth);
    if (percent != shownPercent)
        ShowStep(percent);
    if (current > total)
        return 1;
    return cancelRequested;
}

static INT_PTR InitProgressDialog(HWND window)
{
    HWND frame;
    RECT frameRect = {0, 0, 0, 0};
    POINT topLeft;
    POINT bottomRight;
    RECT inner;
    SIZE extent;
    HDC dc;
    POINT origin;

    CenterWindow(window, CENTER_ON_SCREEN);
    SetDlgItemTextA(window, IDC_PROGRESS_TEXT, captionText);

    frame = GetDlgItem(window, IDC_PROGRESS_FRAME);
    GetClientRect(frame, &frameRect);
    topLeft.x = frameRect.left;
    topLeft.y = frameRect.top;
    ClientToScreen(frame, &topLeft);
    ScreenToClient(window, &topLeft);
    bottomRight.x = frameRect.right;
    bottomRight.y = frameRect.bottom;
    ClientToScreen(frame, &bottomRight);
    ScreenToClient(window, &bottomRight);
    frameRect.left = topLeft.x;
    frameRect.top = topLeft.y;
    frameRect.right = bottomRight.x;
    frameRect.bottom = bottomRight.y;

    inner = InnerBarRect(frameRect);
    barWidth = inner.right - inner.left;
    barHeight = inner.bottom - inner.top;
    emptyRect = inner;

    extent.cx = 16;
    extent.cy = 8;
    dc = GetDC(window);
    if (dc != NULL) {
        if (!GetTextExtentPoint32A(dc, referencePercent, lstrlenA(referencePercent), &extent)) {
            extent.cx = 16;
            extent.cy = 8;
        }
        ReleaseDC(window, dc);
    }
    origin = PercentTextOrigin(inner, extent);
    textX = origin.x;
    textY = origin.y;

    filledRect = inner;
    filledRect.right = inner.left;
    ShowPercentInFrame(window, 0);
    // The template has no control 2; a template that had one would honour enableCancel.
    EnableWindow(GetDlgItem(window, IDCANCEL), cancelEnabled);
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
        // Gated on the last step, not on cancelEnabled: once the bar has moved, the dialog
        // can always be dismissed, though the transfer behind it carries on.
        if (lastStep != 0) {
            cancelRequested = 1;
            DestroyWindow(window);
        }
        return 0;
    case WM_COMMAND:
        if (lastStep != 0)
            cancelRequested = 1;
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
