// Pieces the update dialog, the progress window, the transfer and the device link use: the module
// every string load names, window centring, the system's DLLs loaded by full path, and the run's
// log. Includes nothing of the project.
#ifndef UPDATE_TOOL_UI_SHARED_H
#define UPDATE_TOOL_UI_SHARED_H

#include <windows.h>

// The module named in every string load and in the creation of the progress dialog.
// None until the first transfer; a load from no module resolves to the executable itself.
HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);

enum CenterMode {
    CENTER_KEEP_POSITION = 0, // any mode but CENTER_ON_SCREEN leaves the window where it is
    CENTER_ON_SCREEN = 1,
};

// With CENTER_ON_SCREEN moves window so that it is centred on the primary display; any other
// mode leaves its position unchanged. The screen size is measured once and cached.
void CenterWindow(HWND window, int mode);

// The function name of the system's DLL fileName (a name such as "setupapi.dll"), for a function
// some Windows lack, or a DLL a download could plant beside the executable: imported, either
// would keep the tool from loading there or load the planted copy. NULL where the DLL or the
// function is missing. The DLL comes from the system folder, by its full path, and stays loaded
// for the run.
FARPROC SystemFunction(const char *fileName, const char *name);

// Opens the run's log: path appended to, created when missing. 1 when it can be written; 0 too
// when path is a link (symbolic link, junction, mount point) or a file with more than one name.
int RunLogOpen(const char *path);
void RunLogClose();

// Appends one line, the local time first, then format filled in as wsprintfA does (at most
// 1023 characters of it). Nothing when no log is open.
void RunLog(const char *format, ...);

#endif
