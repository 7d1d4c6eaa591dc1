# Fails when EXE imports a function that is not listed here with the oldest Windows that has
# it, or one listed with a Windows newer than the oldest the tool loads on. The loader refuses
# the whole executable where one import is missing, so a function newer Windows added is
# looked up at run time instead (NotifyWinEvent, SetThreadExecutionState, the block reasons),
# as is every DLL Windows may look for beside the executable first (setupapi, oleacc). Fails too on
# a DLL not listed, and on an import by ordinal, a number that need not be the same function
# on every Windows.
# Usage: cmake -DOBJDUMP=... -DEXE=... -P check_imports.cmake
cmake_policy(VERSION 3.25)

# "dll oldest function...", oldest being the first Windows that exports them: 95 (95 and NT
# 3.1) and 98 (98 and NT 4.0) are the floor.
set(listed
    "gdi32.dll 95 BitBlt CreateCompatibleBitmap CreateCompatibleDC CreateICA CreateSolidBrush"
    "gdi32.dll 95 DeleteDC DeleteObject GetDeviceCaps GetTextExtentPoint32A SelectObject SetBkMode"
    "gdi32.dll 95 SetTextColor TextOutA"
    "kernel32.dll 98 CancelIo"
    "kernel32.dll 95 CloseHandle CreateEventA CreateFileA DeviceIoControl ExitProcess"
    "kernel32.dll 95 FindResourceA GetLastError GetModuleHandleA GetOverlappedResult"
    "kernel32.dll 95 GetProcAddress GetProcessHeap GetSystemDirectoryA GetTickCount GetVersionExA"
    "kernel32.dll 95 HeapAlloc HeapFree IsDBCSLeadByte LoadLibraryExA LoadResource LocalAlloc"
    "kernel32.dll 95 LocalFree LockResource MultiByteToWideChar SetLastError SizeofResource"
    "kernel32.dll 95 WriteFile lstrcpynA lstrlenA"
    "kernel32.dll 95 GetCommandLineA GetLocalTime SetErrorMode CreateMutexA"
    "kernel32.dll 95 GetFileInformationByHandle"
    "user32.dll 95 BeginPaint BringWindowToTop CharLowerA ClientToScreen CreateDialogParamA"
    "user32.dll 95 CreateWindowExA DefWindowProcA DestroyWindow DialogBoxParamA DispatchMessageA"
    "user32.dll 95 EnableWindow EndDialog EndPaint FillRect GetClientRect GetDC GetDlgItem"
    "user32.dll 95 GetDlgItemTextA"
    "user32.dll 95 GetFocus GetSysColor GetTopWindow GetWindowLongA GetWindowRect GetWindowTextA"
    "user32.dll 95 IsChild"
    "user32.dll 95 IsDialogMessageA IsWindow KillTimer LoadCursorA LoadStringA MoveWindow"
    "user32.dll 95 MsgWaitForMultipleObjects PeekMessageA RegisterClassA ReleaseDC ScreenToClient"
    "user32.dll 95 SendMessageA SetCursor SetDlgItemTextA SetFocus SetTimer SetWindowLongA"
    "user32.dll 95 MessageBoxIndirectA SetWindowTextA ShowWindow wvsprintfA"
    "user32.dll 95 TranslateMessage UnregisterClassA UpdateWindow wsprintfA"
    # A stub on 95 to Me, which never call it: the session guard's reason, Vista and later.
    "user32.dll 95 LoadStringW"
    # The 64-bit test build's names for GetWindowLongA and SetWindowLongA; in 32-bit user32
    # they are macros for those, and no 32-bit Windows exports them.
    "user32.dll x64 GetWindowLongPtrA SetWindowLongPtrA")
set(floor 95 98)

execute_process(COMMAND "${OBJDUMP}" -p "${EXE}" OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed (${rc})")
endif()
if(dump MATCHES "Magic[ \t]+020b")
    list(APPEND floor x64)
endif()
foreach(entry IN LISTS listed)
    string(REPLACE " " ";" entry "${entry}")
    list(POP_FRONT entry dll oldest)
    list(APPEND dlls ${dll})
    foreach(function IN LISTS entry)
        set(oldest_${dll}_${function} "${oldest}")
    endforeach()
endforeach()
# One line per DLL name and per imported function, in the order of the import tables.
string(REGEX MATCHALL "DLL Name: [^\r\n]+|\n\t[0-9a-f]+\t +[0-9]+ +[^ \r\n]+" lines "${dump}")
if(NOT lines)
    message(FATAL_ERROR "no imports found in ${EXE}: not a PE executable?")
endif()
set(dll "")
set(bad "")
set(count 0)
foreach(line IN LISTS lines)
    if(line MATCHES "^DLL Name: *([^ ]+)")
        string(TOLOWER "${CMAKE_MATCH_1}" dll)
        message(STATUS "imports ${dll}")
        if(NOT dll IN_LIST dlls)
            list(APPEND bad "${dll} (not listed)")
        endif()
        continue()
    endif()
    string(REGEX REPLACE ".* " "" function "${line}")
    math(EXPR count "${count} + 1")
    set(oldest "${oldest_${dll}_${function}}")
    if(function STREQUAL "<none>")
        string(REGEX REPLACE ".*\t +([0-9]+) .*" "\\1" ordinal "${line}")
        list(APPEND bad "${dll} ordinal ${ordinal}")
    elseif(oldest STREQUAL "")
        list(APPEND bad "${dll} ${function} (not listed)")
    elseif(NOT oldest IN_LIST floor)
        list(APPEND bad "${dll} ${function} (listed for ${oldest})")
    endif()
endforeach()
if(bad)
    string(REPLACE ";" ", " bad "${bad}")
    message(FATAL_ERROR "${EXE} imports functions not known to be in Windows 98 and NT 4.0 as "
        "first released; look them up at run time, or list them with the "
        "oldest Windows that has them: ${bad}")
endif()
message(STATUS "${count} imported functions, each listed with Windows 98 or older as its oldest")
