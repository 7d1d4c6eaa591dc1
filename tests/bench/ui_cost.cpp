// Where the progress window's time goes under this platform: the real progress module, driven
// as the transfer drives it but without a device, and the platform calls it makes per step,
// each timed alone. Prints one JSON line per measurement.
#include <windows.h>

#include <stdio.h>

#include "progress/progress.h"
#include "resources/resource.h"
#include "ui_shared/ui_shared.h"

static const char probeCaption[] = "UI cost probe";
// The transfer's step count for the shipped image: 1633101 bytes in 4096-byte chunks.
static const DWORD transferSteps = 399;

static double NowUs()
{
    static LARGE_INTEGER frequency = {};
    LARGE_INTEGER now;
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart * 1e6 / (double)frequency.QuadPart;
}

static void Report(const char *name, double totalUs, int calls)
{
    printf("{\"event\":\"cost\",\"name\":\"%s\",\"us\":%.2f,\"calls\":%d}\n", name, totalUs / calls,
           calls);
    fflush(stdout);
}

static HWND OpenProbe()
{
    ProgressOpen(IDS_TRANSFERRING, 0, probeCaption);
    return FindWindowA("#32770", probeCaption);
}

// One whole run of steps as the transfer makes them, from an empty bar to a full one.
static void TimeTransferSteps(int runs)
{
    for (int run = 0; run < runs; run++) {
        OpenProbe();
        ProgressStep(transferSteps, 0);
        double start = NowUs();
        for (DWORD step = 1; step <= transferSteps; step++)
            ProgressStep(transferSteps, step);
        double took = NowUs() - start;
        ProgressClose();
        Report(run == 0 ? "ProgressStep, 399 steps empty to full, first run"
                        : "ProgressStep, 399 steps empty to full, next run",
               took, transferSteps);
    }
}

int main()
{
    const int calls = 2000;
    MSG message;
    SetModuleInstance(GetModuleHandleA(NULL));

    TimeTransferSteps(5);

    HWND dialog = OpenProbe();
    if (dialog == NULL) {
        printf("{\"event\":\"no-dialog\"}\n");
        return 1;
    }
    ProgressStep(transferSteps, 0);
    double start = NowUs();
    // A total this large never grows the bar: the step's fixed cost, without a paint.
    for (int i = 1; i <= calls; i++)
        ProgressStep(0xF0000000u, (DWORD)i);
    Report("ProgressStep, bar unchanged", NowUs() - start, calls);

    HWND frame = GetDlgItem(dialog, IDC_PROGRESS_FRAME);
    RECT bar;
    GetWindowRect(frame, &bar);
    MapWindowPoints(NULL, dialog, (POINT *)&bar, 2);

    struct Probe {
        const char *name;
        int kind;
    } const probes[] = {
        {"PeekMessageA, any window, empty queue", 1},
        {"PeekMessageA, progress window, empty queue", 2},
        {"IsWindow", 3},
        {"BringWindowToTop, already on top", 4},
        {"UpdateWindow, nothing invalid", 5},
        {"InvalidateRect x2 + UpdateWindow: one bar repaint", 6},
        {"SetDlgItemTextA on the frame (percentage for screen readers)", 7},
        {"LoadStringA of the percentage format", 8},
        {"paint piece: GetDC + ReleaseDC on the dialog", 9},
        {"paint piece: memory DC and bar bitmap created, selected, deleted", 10},
        {"paint piece: two FillRect + TextOutA into the memory bitmap", 11},
        {"paint piece: BitBlt of the bar to the dialog", 12},
    };
    HDC windowDc = GetDC(dialog);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    HBITMAP barBitmap =
        CreateCompatibleBitmap(windowDc, bar.right - bar.left, bar.bottom - bar.top);
    HGDIOBJ oldBitmap = SelectObject(memoryDc, barBitmap);
    RECT half = {0, 0, (bar.right - bar.left) / 2, bar.bottom - bar.top};
    RECT rest = {half.right, 0, bar.right - bar.left, bar.bottom - bar.top};
    char text[20];
    for (const Probe &probe : probes) {
        start = NowUs();
        for (int i = 0; i < calls; i++) {
            switch (probe.kind) {
            case 1:
                PeekMessageA(&message, NULL, 0, 0, PM_REMOVE | PM_NOYIELD);
                break;
            case 2:
                PeekMessageA(&message, dialog, 0, 0, PM_REMOVE | PM_NOYIELD);
                break;
            case 3:
                IsWindow(dialog);
                break;
            case 4:
                BringWindowToTop(dialog);
                break;
            case 5:
                UpdateWindow(dialog);
                break;
            case 6:
                InvalidateRect(dialog, &bar, FALSE);
                InvalidateRect(dialog, &bar, FALSE);
                UpdateWindow(dialog);
                break;
            case 7:
                wsprintfA(text, "%d%% ", i % 100);
                SetDlgItemTextA(dialog, IDC_PROGRESS_FRAME, text);
                break;
            case 8:
                LoadStringA(GetModuleHandleA(NULL), IDS_PERCENT, text, sizeof text);
                break;
            case 9:
                ReleaseDC(dialog, GetDC(dialog));
                break;
            case 10: {
                HDC memory = CreateCompatibleDC(windowDc);
                HBITMAP bitmap =
                    CreateCompatibleBitmap(windowDc, bar.right - bar.left, bar.bottom - bar.top);
                HGDIOBJ old = SelectObject(memory, bitmap);
                SelectObject(memory, old);
                DeleteObject(bitmap);
                DeleteDC(memory);
                break;
            }
            case 11:
                FillRect(memoryDc, &half, (HBRUSH)GetStockObject(BLACK_BRUSH));
                FillRect(memoryDc, &rest, (HBRUSH)GetStockObject(WHITE_BRUSH));
                SetBkMode(memoryDc, TRANSPARENT);
                TextOutA(memoryDc, 10, 2, "50% ", 4);
                break;
            case 12:
                BitBlt(windowDc, bar.left, bar.top, bar.right - bar.left, bar.bottom - bar.top,
                       memoryDc, 0, 0, SRCCOPY);
                break;
            }
        }
        Report(probe.name, NowUs() - start, calls);
    }
    SelectObject(memoryDc, oldBitmap);
    DeleteObject(barBitmap);
    DeleteDC(memoryDc);
    ReleaseDC(dialog, windowDc);
    ProgressClose();
    return 0;
}
