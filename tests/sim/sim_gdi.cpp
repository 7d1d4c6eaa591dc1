// The simulated gdi32: device contexts, brushes and bitmaps with real pixels, counted from
// creation to deletion, and a record of every drawing call.
#include "sim_ui_internal.h"

#include <deque>

namespace
{

const uintptr_t dcBase = 0x20000;
const uintptr_t objectBase = 0x30000;

enum DcKind { DC_WINDOW, DC_PAINT, DC_MEMORY, DC_INFO };
enum ObjectKind { OBJ_BRUSH, OBJ_BITMAP };

struct Dc {
    bool live = false;
    DcKind kind = DC_MEMORY;
    HWND window = NULL;
    RECT clip = {0, 0, 0, 0};
    HGDIOBJ bitmap = NULL;
    HGDIOBJ defaultBitmap = NULL;
    int bkMode = OPAQUE;
    COLORREF textColour = 0;
};

struct Object {
    bool live = false;
    ObjectKind kind = OBJ_BRUSH;
    bool stock = false;
    COLORREF colour = 0;
    int width = 0;
    int height = 0;
    bool monochrome = false;
    std::vector<COLORREF> pixels;
    HDC selectedInto = NULL;
};

std::deque<Dc> dcs;
std::deque<Object> objects;
SimGdiCounters counters;
std::vector<std::string> misuseLog;
std::vector<SimDrawCall> drawCalls;
int screenWidth = 1280;
int screenHeight = 1024;
bool failCreateIC = false;
bool failTextExtent = false;
bool failCompatibleBitmap = false;
int charWidth = 8;
int charHeight = 16;

HDC NewDc(DcKind kind)
{
    dcs.emplace_back();
    dcs.back().live = true;
    dcs.back().kind = kind;
    return (HDC)(dcBase + 4 * (dcs.size() - 1));
}

Dc *FindDc(HDC dc, const char *call)
{
    uintptr_t value = (uintptr_t)dc;
    size_t index = (value - dcBase) / 4;
    if (value < dcBase || (value - dcBase) % 4 != 0 || index >= dcs.size() || !dcs[index].live) {
        SimGdiNoteMisuse(std::string(call) + " on a device context that is not live");
        return NULL;
    }
    return &dcs[index];
}

HGDIOBJ NewObject(ObjectKind kind)
{
    objects.emplace_back();
    objects.back().live = true;
    objects.back().kind = kind;
    return (HGDIOBJ)(objectBase + 4 * (objects.size() - 1));
}

Object *FindObject(HGDIOBJ object, const char *call)
{
    uintptr_t value = (uintptr_t)object;
    size_t index = (value - objectBase) / 4;
    if (value < objectBase || (value - objectBase) % 4 != 0 || index >= objects.size() ||
        !objects[index].live) {
        SimGdiNoteMisuse(std::string(call) + " on an object that is not live");
        return NULL;
    }
    return &objects[index];
}

HGDIOBJ NewBitmap(int width, int height, bool monochrome, bool stock)
{
    HGDIOBJ handle = NewObject(OBJ_BITMAP);
    Object &b = objects.back();
    b.width = width;
    b.height = height;
    b.monochrome = monochrome;
    b.stock = stock;
    b.pixels.assign((size_t)width * (size_t)height, simUnpainted);
    return handle;
}

// Where a context's drawing lands: its bitmap, or the window's client area within its clip.
struct Target {
    COLORREF *pixels;
    int width, height;
    RECT clip;
    bool monochrome;
};

bool TargetOf(Dc &dc, Target *target)
{
    if (dc.kind == DC_INFO)
        return false;
    if (dc.kind == DC_MEMORY) {
        Object *b = FindObject(dc.bitmap, "drawing");
        if (b == NULL)
            return false;
        target->pixels = b->pixels.data();
        target->width = b->width;
        target->height = b->height;
        target->clip = {0, 0, b->width, b->height};
        target->monochrome = b->monochrome;
        return true;
    }
    target->pixels = SimSurface(dc.window, &target->width, &target->height);
    if (target->pixels == NULL)
        return false;
    target->clip = dc.clip;
    target->monochrome = false;
    return true;
}

void Plot(Target &t, int x, int y, COLORREF colour)
{
    if (x < t.clip.left || x >= t.clip.right || y < t.clip.top || y >= t.clip.bottom)
        return;
    if (x < 0 || y < 0 || x >= t.width || y >= t.height)
        return;
    if (t.monochrome)
        colour = colour == RGB(255, 255, 255) ? colour : RGB(0, 0, 0);
    t.pixels[(size_t)y * (size_t)t.width + (size_t)x] = colour;
}

} // namespace

// ---- Shared with the user32 side and the control side

HDC SimGdiOpenWindowDc(HWND window, bool forPaint, RECT clip)
{
    HDC handle = NewDc(forPaint ? DC_PAINT : DC_WINDOW);
    dcs.back().window = window;
    dcs.back().clip = clip;
    if (forPaint)
        counters.paintsBegun++;
    else
        counters.windowDcsTaken++;
    return handle;
}

bool SimGdiCloseWindowDc(HWND window, HDC handle, bool forPaint)
{
    Dc *dc = FindDc(handle, forPaint ? "EndPaint" : "ReleaseDC");
    if (dc == NULL)
        return false;
    if (dc->kind != (forPaint ? DC_PAINT : DC_WINDOW) || dc->window != window) {
        SimGdiNoteMisuse(forPaint ? "EndPaint with a context BeginPaint did not give"
                                  : "ReleaseDC with a context GetDC did not give");
        return false;
    }
    dc->live = false;
    if (forPaint)
        counters.paintsEnded++;
    else
        counters.windowDcsReleased++;
    return true;
}

void SimGdiNoteMisuse(const std::string &what)
{
    counters.misuse++;
    misuseLog.push_back(what);
}

void SimGdiReset()
{
    dcs.clear();
    objects.clear();
    counters = SimGdiCounters();
    misuseLog.clear();
    drawCalls.clear();
    failTextExtent = false;
    failCompatibleBitmap = false;
    charWidth = 8;
    charHeight = 16;
    screenWidth = 1280;
    screenHeight = 1024;
    failCreateIC = false;
}

void SimSetScreenSize(int width, int height)
{
    screenWidth = width;
    screenHeight = height;
}

void SimFailCreateIC(bool fail) { failCreateIC = fail; }

void SimFailTextExtent(bool fail) { failTextExtent = fail; }

void SimSetTextMetrics(int width, int height)
{
    charWidth = width;
    charHeight = height;
}

void SimFailCompatibleBitmap(bool fail) { failCompatibleBitmap = fail; }

const std::vector<SimDrawCall> &SimDrawCalls() { return drawCalls; }

int SimDrawCount(SimDrawKind kind)
{
    int count = 0;
    for (const SimDrawCall &call : drawCalls)
        if (call.kind == kind)
            count++;
    return count;
}

SimGdiCounters SimGdi() { return counters; }

const std::vector<std::string> &SimGdiMisuseLog() { return misuseLog; }

// ---- GDI32

HDC WINAPI CreateICA(LPCSTR driver, LPCSTR device, LPCSTR port, const void *devmode)
{
    (void)device;
    (void)port;
    (void)devmode;
    if (failCreateIC || driver == NULL || strcmp(driver, "DISPLAY") != 0)
        return NULL;
    counters.infoDcsCreated++;
    return NewDc(DC_INFO);
}

int WINAPI GetDeviceCaps(HDC handle, int index)
{
    if (FindDc(handle, "GetDeviceCaps") == NULL)
        return 0;
    if (index == HORZRES)
        return screenWidth;
    if (index == VERTRES)
        return screenHeight;
    return 0;
}

BOOL WINAPI DeleteDC(HDC handle)
{
    Dc *dc = FindDc(handle, "DeleteDC");
    if (dc == NULL)
        return FALSE;
    if (dc->kind == DC_WINDOW || dc->kind == DC_PAINT) {
        SimGdiNoteMisuse("DeleteDC on a window's context");
        return FALSE;
    }
    if (dc->kind == DC_INFO) {
        counters.infoDcsDeleted++;
    } else {
        counters.memoryDcsDeleted++;
        if (dc->bitmap != dc->defaultBitmap)
            counters.unrestoredSelections++;
        // Deleting the context lets go of whatever bitmap it held.
        uintptr_t value = (uintptr_t)dc->bitmap;
        if (value >= objectBase && (value - objectBase) / 4 < objects.size())
            objects[(value - objectBase) / 4].selectedInto = NULL;
    }
    dc->live = false;
    return TRUE;
}

HBRUSH WINAPI CreateSolidBrush(COLORREF colour)
{
    HGDIOBJ handle = NewObject(OBJ_BRUSH);
    objects.back().colour = colour;
    counters.brushesCreated++;
    return handle;
}

BOOL WINAPI DeleteObject(HGDIOBJ handle)
{
    Object *object = FindObject(handle, "DeleteObject");
    if (object == NULL)
        return FALSE;
    if (object->stock) {
        SimGdiNoteMisuse("DeleteObject on a stock object");
        return FALSE;
    }
    if (object->selectedInto != NULL) {
        // The platform refuses, and the bitmap leaks.
        SimGdiNoteMisuse("DeleteObject on a bitmap still selected into a context");
        return FALSE;
    }
    object->live = false;
    object->pixels.clear();
    if (object->kind == OBJ_BRUSH)
        counters.brushesDeleted++;
    else
        counters.bitmapsDeleted++;
    return TRUE;
}

HDC WINAPI CreateCompatibleDC(HDC handle)
{
    if (handle != NULL && FindDc(handle, "CreateCompatibleDC") == NULL)
        return NULL;
    HDC memory = NewDc(DC_MEMORY);
    HGDIOBJ stock = NewBitmap(1, 1, true, true);
    dcs.back().bitmap = stock;
    dcs.back().defaultBitmap = stock;
    objects.back().selectedInto = memory;
    counters.memoryDcsCreated++;
    return memory;
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC handle, int width, int height)
{
    Dc *dc = FindDc(handle, "CreateCompatibleBitmap");
    if (dc == NULL || failCompatibleBitmap)
        return NULL;
    bool monochrome = false;
    // A memory context is only as colourful as the bitmap it holds: monochrome when new.
    if (dc->kind == DC_MEMORY) {
        uintptr_t value = (uintptr_t)dc->bitmap;
        monochrome = objects[(value - objectBase) / 4].monochrome;
    }
    if (width <= 0 || height <= 0) {
        width = 1;
        height = 1;
        monochrome = true;
    }
    counters.bitmapsCreated++;
    return NewBitmap(width, height, monochrome, false);
}

HGDIOBJ WINAPI SelectObject(HDC handle, HGDIOBJ objectHandle)
{
    Dc *dc = FindDc(handle, "SelectObject");
    Object *object = FindObject(objectHandle, "SelectObject");
    if (dc == NULL || object == NULL)
        return NULL;
    if (object->kind != OBJ_BITMAP)
        return objectHandle; // brushes are never selected by the tool; nothing to track
    if (dc->kind != DC_MEMORY) {
        SimGdiNoteMisuse("SelectObject of a bitmap into a context that is not a memory one");
        return NULL;
    }
    if (object->selectedInto != NULL && object->selectedInto != handle) {
        SimGdiNoteMisuse("SelectObject of a bitmap already selected elsewhere");
        return NULL;
    }
    HGDIOBJ previous = dc->bitmap;
    uintptr_t value = (uintptr_t)previous;
    objects[(value - objectBase) / 4].selectedInto = NULL;
    object->selectedInto = handle;
    dc->bitmap = objectHandle;
    return previous;
}

int WINAPI SetBkMode(HDC handle, int mode)
{
    Dc *dc = FindDc(handle, "SetBkMode");
    if (dc == NULL)
        return 0;
    int previous = dc->bkMode;
    dc->bkMode = mode;
    return previous;
}

COLORREF WINAPI SetTextColor(HDC handle, COLORREF colour)
{
    Dc *dc = FindDc(handle, "SetTextColor");
    if (dc == NULL)
        return 0xFFFFFFFFu;
    COLORREF previous = dc->textColour;
    dc->textColour = colour;
    return previous;
}

int WINAPI FillRect(HDC handle, const RECT *rect, HBRUSH brush)
{
    Dc *dc = FindDc(handle, "FillRect");
    Object *b = FindObject(brush, "FillRect");
    if (dc == NULL || b == NULL || rect == NULL)
        return 0;
    if (b->kind != OBJ_BRUSH) {
        SimGdiNoteMisuse("FillRect with an object that is not a brush");
        return 0;
    }
    SimDrawCall call = {};
    call.kind = SIM_FILL_RECT;
    call.toMemory = dc->kind == DC_MEMORY;
    call.window = dc->window;
    call.rect = *rect;
    call.colour = b->colour;
    drawCalls.push_back(call);
    Target t;
    if (!TargetOf(*dc, &t))
        return 0;
    for (int y = rect->top; y < rect->bottom; y++)
        for (int x = rect->left; x < rect->right; x++)
            Plot(t, x, y, b->colour);
    return 1;
}

BOOL WINAPI TextOutA(HDC handle, int x, int y, LPCSTR text, int length)
{
    Dc *dc = FindDc(handle, "TextOutA");
    if (dc == NULL || text == NULL || length < 0)
        return FALSE;
    SimDrawCall call = {};
    call.kind = SIM_TEXT_OUT;
    call.toMemory = dc->kind == DC_MEMORY;
    call.window = dc->window;
    call.text.assign(text, (size_t)length);
    call.x = x;
    call.y = y;
    call.bkMode = dc->bkMode;
    call.colour = dc->textColour;
    drawCalls.push_back(call);
    return TRUE;
}

BOOL WINAPI BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy,
                   DWORD rop)
{
    Dc *d = FindDc(dest, "BitBlt");
    Dc *s = FindDc(source, "BitBlt");
    if (d == NULL || s == NULL)
        return FALSE;
    SimDrawCall call = {};
    call.kind = SIM_BIT_BLT;
    call.toMemory = d->kind == DC_MEMORY;
    call.window = d->window;
    call.rect = {x, y, x + width, y + height};
    call.x = sx;
    call.y = sy;
    call.rop = rop;
    drawCalls.push_back(call);
    Target from;
    Target to;
    if (rop != SRCCOPY || !TargetOf(*s, &from) || !TargetOf(*d, &to))
        return FALSE;
    for (int row = 0; row < height; row++) {
        for (int col = 0; col < width; col++) {
            int fx = sx + col;
            int fy = sy + row;
            if (fx < 0 || fy < 0 || fx >= from.width || fy >= from.height)
                continue;
            Plot(to, x + col, y + row, from.pixels[(size_t)fy * (size_t)from.width + (size_t)fx]);
        }
    }
    return TRUE;
}

BOOL WINAPI GetTextExtentPoint32A(HDC handle, LPCSTR text, int length, LPSIZE size)
{
    if (FindDc(handle, "GetTextExtentPoint32A") == NULL || text == NULL || size == NULL ||
        failTextExtent)
        return FALSE;
    size->cx = length * charWidth;
    size->cy = charHeight;
    return TRUE;
}

std::string SimGdiImbalance(int expectedBrushes)
{
    SimGdiCounters gdi = SimGdi();
    std::string out;
    auto check = [&out](bool ok, const std::string &what) {
        if (!ok)
            out += what + "; ";
    };
    check(gdi.brushesCreated == expectedBrushes,
          "brushes created " + std::to_string(gdi.brushesCreated));
    check(gdi.brushesCreated == gdi.brushesDeleted, "brushes not all deleted");
    check(gdi.bitmapsCreated == gdi.bitmapsDeleted, "bitmaps not all deleted");
    check(gdi.memoryDcsCreated == gdi.memoryDcsDeleted, "memory contexts not all deleted");
    check(gdi.windowDcsTaken == gdi.windowDcsReleased, "window contexts not all released");
    check(gdi.paintsBegun == gdi.paintsEnded, "paints not all ended");
    check(gdi.unrestoredSelections == 0, "selections not restored");
    check(gdi.misuse == 0, gdi.misuse ? "misuse: " + SimGdiMisuseLog()[0] : std::string());
    return out;
}
