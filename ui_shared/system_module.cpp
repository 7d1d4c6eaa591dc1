// The system's own DLLs, loaded from the system folder by their full path, and the functions
// some Windows lack, looked up in them at run time.
#include "ui_shared/ui_shared.h"

FARPROC SystemFunction(const char *fileName, const char *name)
{
    char path[2 * MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    // 0 is a failure, and a longer answer the size a folder name too long for MAX_PATH needs.
    if (length == 0 || length >= MAX_PATH)
        return NULL;
    if (path[length - 1] != '\\')
        path[length++] = '\\';
    lstrcpynA(path + length, fileName, MAX_PATH);
    // By its bare name Windows looks in the executable's own folder first, where a download may
    // have left a file of that name, for every DLL that is not a KnownDLL of that Windows. The
    // altered search path looks for the DLL's own DLLs beside it, not beside the executable.
    // Also user32 and kernel32, which every process has mapped: one way in for every optional
    // function, and no load by bare name anywhere. A module already mapped is only counted again.
    HMODULE module = LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    return module != NULL ? GetProcAddress(module, name) : NULL;
}
