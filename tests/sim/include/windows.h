// The subset of the Win32 API the tool uses, declared for the host build. The simulated
// platform in tests/sim (or a test's own fakes) defines these functions.
#ifndef UPDATE_TOOL_SIM_WINDOWS_H
#define UPDATE_TOOL_SIM_WINDOWS_H

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>

#define WINAPI
#define WINAPIV
#define CALLBACK
#define APIENTRY
#define CONST const
#define VOID void

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint16_t USHORT;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef unsigned int UINT;
typedef int INT;
typedef int BOOL;
typedef char CHAR;
typedef unsigned char UCHAR;
typedef CHAR *LPSTR;
typedef const CHAR *LPCSTR;
typedef const CHAR *PCSTR;
typedef void *LPVOID;
typedef void *PVOID;
typedef const void *LPCVOID;
typedef BYTE *LPBYTE;
typedef BYTE *PBYTE;
typedef DWORD *LPDWORD;
typedef DWORD *PDWORD;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef uintptr_t SIZE_T;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef DWORD COLORREF;
typedef WORD ATOM;

typedef void *HANDLE;
struct HWND__;
typedef HWND__ *HWND;
struct HINSTANCE__;
typedef HINSTANCE__ *HINSTANCE;
typedef HINSTANCE HMODULE;
struct HDC__;
typedef HDC__ *HDC;
struct HGDIOBJ__;
typedef HGDIOBJ__ *HGDIOBJ;
typedef HGDIOBJ HBRUSH;
typedef HGDIOBJ HBITMAP;
typedef HGDIOBJ HFONT;
struct HCURSOR__;
typedef HCURSOR__ *HCURSOR;
typedef HCURSOR HICON;
struct HRSRC__;
typedef HRSRC__ *HRSRC;
typedef HANDLE HGLOBAL;
typedef HANDLE HLOCAL;
struct HMENU__;
typedef HMENU__ *HMENU;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)

#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define IS_INTRESOURCE(p) ((((ULONG_PTR)(p)) >> 16) == 0)
#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)(((WORD)(l)) | (((DWORD)(WORD)(h)) << 16)))
#define RGB(r, g, b)                                                                               \
    ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(c) ((BYTE)(c))
#define GetGValue(c) ((BYTE)(((WORD)(c)) >> 8))
#define GetBValue(c) ((BYTE)((c) >> 16))
#define ZeroMemory(p, n) memset((p), 0, (n))
#define CopyMemory(d, s, n) memcpy((d), (s), (n))

typedef struct _GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
} GUID;
typedef const GUID *LPCGUID;
inline bool operator==(const GUID &a, const GUID &b) { return memcmp(&a, &b, sizeof a) == 0; }
#define DEFINE_GUID_DECLARE(name) extern const GUID name

typedef struct tagRECT {
    LONG left, top, right, bottom;
} RECT, *LPRECT;
typedef const RECT *LPCRECT;
typedef struct tagPOINT {
    LONG x, y;
} POINT, *LPPOINT;
typedef struct tagSIZE {
    LONG cx, cy;
} SIZE, *LPSIZE;
typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *LPMSG;
typedef struct tagPAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
} PAINTSTRUCT, *LPPAINTSTRUCT;
typedef struct _OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
} OSVERSIONINFOA, *LPOSVERSIONINFOA;
static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA is 148 bytes");
typedef struct _SECURITY_ATTRIBUTES *LPSECURITY_ATTRIBUTES;
typedef uint64_t ULONGLONG;
typedef struct _OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
} OVERLAPPED, *LPOVERLAPPED;

typedef INT_PTR(CALLBACK *DLGPROC)(HWND, UINT, WPARAM, LPARAM);

// Window classes, and what a program finds by name in a system module.
typedef uint16_t WCHAR;
typedef WCHAR *LPWSTR;
typedef const WCHAR *LPCWSTR;
typedef LRESULT(CALLBACK *WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef INT_PTR(WINAPI *FARPROC)();
typedef struct tagWNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
} WNDCLASSA;
#define WM_QUERYENDSESSION 0x0011
#define DWLP_MSGRESULT 0
#define DWLP_USER 16
#define WS_POPUP 0x80000000UL
#define WS_VISIBLE 0x10000000UL
#define COLOR_WINDOWTEXT 8
#define ES_SYSTEM_REQUIRED 0x00000001UL
#define ES_DISPLAY_REQUIRED 0x00000002UL
#define ES_CONTINUOUS 0x80000000UL
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name);
ATOM WINAPI RegisterClassA(const WNDCLASSA *windowClass);
BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance);
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR caption, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param);
LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
LONG_PTR WINAPI GetWindowLongPtrA(HWND window, int index);
COLORREF WINAPI SetTextColor(HDC dc, COLORREF colour);

// Errors
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_DATA 13L
#define ERROR_NOT_READY 21L
#define ERROR_GEN_FAILURE 31L
#define ERROR_DISK_FULL 112L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_NO_MORE_ITEMS 259L

// Files and devices
#define GENERIC_READ 0x80000000UL
#define GENERIC_WRITE 0x40000000UL
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define FILE_APPEND_DATA 0x0004
#define FILE_READ_ATTRIBUTES 0x0080
#define CREATE_ALWAYS 2
#define TRUNCATE_EXISTING 5
#define FILE_FLAG_OPEN_REPARSE_POINT 0x00200000UL
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_ALREADY_EXISTS 183L
#define FILE_FLAG_WRITE_THROUGH 0x80000000UL
#define MAX_PATH 260
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_FLAG_OVERLAPPED 0x40000000UL
#define ERROR_OPERATION_ABORTED 995L
#define ERROR_IO_INCOMPLETE 996L
#define ERROR_IO_PENDING 997L
#define WAIT_OBJECT_0 0x00000000UL
#define WAIT_TIMEOUT 0x00000102UL
#define WAIT_FAILED 0xFFFFFFFFUL
#define QS_ALLINPUT 0x04FF

#define CTL_CODE(DeviceType, Function, Method, Access)                                             \
    (((DeviceType) << 16) | ((Access) << 14) | ((Function) << 2) | (Method))
#define METHOD_BUFFERED 0
#define FILE_ANY_ACCESS 0
#define FILE_DEVICE_UNKNOWN 0x00000022

// Memory
#define LMEM_FIXED 0x0000
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
#define HEAP_ZERO_MEMORY 0x00000008

// Windows and messages
#define WM_NULL 0x0000
#define WM_DESTROY 0x0002
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_SETTEXT 0x000C
#define WM_GETOBJECT 0x003D
#define WM_KEYDOWN 0x0100
#define WM_CHAR 0x0102
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_NEXTDLGCTL 0x0028
#define DM_SETDEFID 0x0401
#define WM_TIMER 0x0113
#define BM_GETSTATE 0x00F2
#define BST_PUSHED 0x0004
#define WM_USER 0x0400
#define SW_HIDE 0
#define SW_SHOW 5
#define IDOK 1
#define IDCANCEL 2
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001
#define PM_NOYIELD 0x0002
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define COLOR_WINDOW 5
#define BN_CLICKED 0
#define VK_RETURN 0x0D
#define VK_ESCAPE 0x1B

// Graphics
#define TRANSPARENT 1
#define OPAQUE 2
#define SRCCOPY 0x00CC0020UL
#define HORZRES 8
#define VERTRES 10

// Languages
#define LANG_NEUTRAL 0x00
#define LANG_ENGLISH 0x09
#define LANG_JAPANESE 0x11
#define SUBLANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define SUBLANG_ENGLISH_US 0x01
#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))

// KERNEL32
typedef struct _SYSTEMTIME {
    WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
} SYSTEMTIME, *LPSYSTEMTIME;
#define SEM_FAILCRITICALERRORS 0x0001
#define SEM_NOOPENFILEERRORBOX 0x8000
LPSTR WINAPI GetCommandLineA(void);
UINT WINAPI SetErrorMode(UINT mode);
void WINAPI GetLocalTime(LPSYSTEMTIME time);
DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD error);
HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes);
HLOCAL WINAPI LocalFree(HLOCAL block);
HANDLE WINAPI GetProcessHeap(void);
LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
BOOL WINAPI HeapFree(HANDLE heap, DWORD flags, LPVOID block);
int WINAPI lstrlenA(LPCSTR text);
int WINAPI lstrcmpA(LPCSTR first, LPCSTR second);
LPSTR WINAPI lstrcpynA(LPSTR dest, LPCSTR source, int max);
BOOL WINAPI IsDBCSLeadByte(BYTE test);
HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE templateFile);
typedef struct _FILETIME {
    DWORD dwLowDateTime, dwHighDateTime;
} FILETIME;
typedef struct _BY_HANDLE_FILE_INFORMATION {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime, ftLastAccessTime, ftLastWriteTime;
    DWORD dwVolumeSerialNumber, nFileSizeHigh, nFileSizeLow, nNumberOfLinks, nFileIndexHigh,
        nFileIndexLow;
} BY_HANDLE_FILE_INFORMATION, *LPBY_HANDLE_FILE_INFORMATION;
BOOL WINAPI GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information);
HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCSTR name);
BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written,
                      LPOVERLAPPED overlapped);
BOOL WINAPI DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                            DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped);
BOOL WINAPI CloseHandle(HANDLE object);
HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState,
                           LPCSTR name);
BOOL WINAPI GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD count, BOOL wait);
BOOL WINAPI CancelIo(HANDLE file);
DWORD WINAPI MsgWaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL waitAll,
                                       DWORD milliseconds, DWORD wakeMask);
BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info);
HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource);
HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource);
LPVOID WINAPI LockResource(HGLOBAL data);
HMODULE WINAPI GetModuleHandleA(LPCSTR name);
#define MAX_PATH 260
#define LOAD_WITH_ALTERED_SEARCH_PATH 0x00000008
UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size);
HMODULE WINAPI LoadLibraryExA(LPCSTR name, HANDLE file, DWORD flags);
LONG WINAPI InterlockedCompareExchange(LONG volatile *target, LONG exchange, LONG comparand);
void WINAPI Sleep(DWORD milliseconds);
DWORD WINAPI GetTickCount(void);

// USER32
typedef struct {
    UINT cbSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCSTR lpszText, lpszCaption;
    DWORD dwStyle;
    LPCSTR lpszIcon;
    DWORD_PTR dwContextHelpId;
    void *lpfnMsgBoxCallback;
    DWORD dwLanguageId;
} MSGBOXPARAMSA;
#define MB_OK 0x0000
#define MB_ICONINFORMATION 0x0040
int WINAPI MessageBoxIndirectA(const MSGBOXPARAMSA *params);
int WINAPI wvsprintfA(LPSTR buffer, LPCSTR format, va_list values);
INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc,
                               LPARAM param);
HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc,
                               LPARAM param);
BOOL WINAPI EndDialog(HWND dialog, INT_PTR result);
BOOL WINAPI DestroyWindow(HWND window);
BOOL WINAPI IsWindow(HWND window);
BOOL WINAPI IsWindowVisible(HWND window);
BOOL WINAPI ShowWindow(HWND window, int command);
BOOL WINAPI BringWindowToTop(HWND window);
HWND WINAPI GetTopWindow(HWND window);
BOOL WINAPI UpdateWindow(HWND window);
#define EVENT_OBJECT_NAMECHANGE 0x800C
#define EVENT_OBJECT_VALUECHANGE 0x800E
#define OBJID_CLIENT ((LONG)0xFFFFFFFC)
#define CHILDID_SELF 0
BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text);
int WINAPI GetWindowTextA(HWND window, LPSTR text, int max);
BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
HWND WINAPI GetDlgItem(HWND dialog, int id);
BOOL WINAPI EnableWindow(HWND window, BOOL enable);
HWND WINAPI SetFocus(HWND window);
BOOL WINAPI GetWindowRect(HWND window, LPRECT rect);
BOOL WINAPI GetClientRect(HWND window, LPRECT rect);
BOOL WINAPI MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL WINAPI ClientToScreen(HWND window, LPPOINT point);
BOOL WINAPI ScreenToClient(HWND window, LPPOINT point);
BOOL WINAPI InvalidateRect(HWND window, const RECT *rect, BOOL erase);
HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint);
BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT *paint);
HDC WINAPI GetDC(HWND window);
int WINAPI ReleaseDC(HWND window, HDC dc);
int WINAPI FillRect(HDC dc, const RECT *rect, HBRUSH brush);
int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int max);
int WINAPI LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int max);
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name);
HCURSOR WINAPI SetCursor(HCURSOR cursor);
DWORD WINAPI GetSysColor(int index);
BOOL WINAPI PeekMessageA(LPMSG message, HWND window, UINT first, UINT last, UINT remove);
BOOL WINAPI IsDialogMessageA(HWND dialog, LPMSG message);
BOOL WINAPI TranslateMessage(const MSG *message);
LRESULT WINAPI DispatchMessageA(const MSG *message);
BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
typedef void(CALLBACK *TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);
UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL WINAPI KillTimer(HWND window, UINT_PTR id);
LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int WINAPIV wsprintfA(LPSTR buffer, LPCSTR format, ...);
LPSTR WINAPI CharLowerA(LPSTR text);

// GDI32
HDC WINAPI CreateICA(LPCSTR driver, LPCSTR device, LPCSTR port, const void *devmode);
int WINAPI GetDeviceCaps(HDC dc, int index);
BOOL WINAPI DeleteDC(HDC dc);
HBRUSH WINAPI CreateSolidBrush(COLORREF color);
BOOL WINAPI DeleteObject(HGDIOBJ object);
HDC WINAPI CreateCompatibleDC(HDC dc);
HBITMAP WINAPI CreateCompatibleBitmap(HDC dc, int width, int height);
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object);
int WINAPI SetBkMode(HDC dc, int mode);
BOOL WINAPI TextOutA(HDC dc, int x, int y, LPCSTR text, int length);
BOOL WINAPI BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy,
                   DWORD rop);
BOOL WINAPI GetTextExtentPoint32A(HDC dc, LPCSTR text, int length, LPSIZE size);

#endif
