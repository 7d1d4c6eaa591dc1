# Fails when EXE imports a function that is not listed here with the oldest Windows that has
# it, or one listed with a Windows newer than the oldest the tool loads on. The loader refuses
# the whole executable where one import is missing, so a function newer Windows added is
# looked up at run time instead (NotifyWinEvent, SetThreadExecutionState, the block reasons).
# Usage: cmake -DOBJDUMP=... -DEXE=... -P check_imports.cmake
cmake_policy(VERSION 3.25)

# "dll function oldest": 95 (95 and NT 3.1) and 98 (98 and NT 4.0) are the floor. setupapi's
# device-information functions are documented from 98 and 2000 on, NT 4.0's being older:
# the tool finds no printer without them, and no USB printer works on NT 4.0 anyway.
set(listed
    "gdi32.dll BitBlt 95" "gdi32.dll CreateCompatibleBitmap 95" "gdi32.dll CreateCompatibleDC 95"
    "gdi32.dll CreateICA 95" "gdi32.dll CreateSolidBrush 95" "gdi32.dll DeleteDC 95"
    "gdi32.dll DeleteObject 95" "gdi32.dll GetDeviceCaps 95" "gdi32.dll GetTextExtentPoint32A 95"
    "gdi32.dll SelectObject 95" "gdi32.dll SetBkMode 95" "gdi32.dll SetTextColor 95"
    "gdi32.dll TextOutA 95"
    "kernel32.dll CancelIo 98" "kernel32.dll CloseHandle 95" "kernel32.dll CreateEventA 95"
    "kernel32.dll CreateFileA 95" "kernel32.dll DeviceIoControl 95" "kernel32.dll ExitProcess 95"
    "kernel32.dll FindResourceA 95" "kernel32.dll GetLastError 95"
    "kernel32.dll GetModuleHandleA 95" "kernel32.dll GetOverlappedResult 95"
    "kernel32.dll GetProcAddress 95" "kernel32.dll GetProcessHeap 95"
    "kernel32.dll GetSystemDirectoryA 95" "kernel32.dll GetTickCount 95"
    "kernel32.dll GetVersionExA 95" "kernel32.dll HeapAlloc 95" "kernel32.dll HeapFree 95"
    "kernel32.dll IsDBCSLeadByte 95" "kernel32.dll LoadLibraryExA 95"
    "kernel32.dll LoadResource 95" "kernel32.dll LocalAlloc 95" "kernel32.dll LocalFree 95"
    "kernel32.dll LockResource 95" "kernel32.dll MultiByteToWideChar 95"
    "kernel32.dll SetLastError 95" "kernel32.dll SizeofResource 95" "kernel32.dll WriteFile 95"
    "kernel32.dll lstrcpynA 95" "kernel32.dll lstrlenA 95"
    "setupapi.dll SetupDiDestroyDeviceInfoList 98/2000" "setupapi.dll SetupDiEnumDeviceInfo 98/2000"
    "setupapi.dll SetupDiEnumDeviceInterfaces 98/2000" "setupapi.dll SetupDiGetClassDevsA 98/2000"
    "setupapi.dll SetupDiGetDeviceInterfaceDetailA 98/2000"
    "setupapi.dll SetupDiGetDeviceRegistryPropertyA 98/2000"
    "user32.dll BeginPaint 95" "user32.dll BringWindowToTop 95" "user32.dll CharLowerA 95"
    "user32.dll ClientToScreen 95" "user32.dll CreateDialogParamA 95"
    "user32.dll CreateWindowExA 95" "user32.dll DefWindowProcA 95" "user32.dll DestroyWindow 95"
    "user32.dll DialogBoxParamA 95" "user32.dll DispatchMessageA 95" "user32.dll EnableWindow 95"
    "user32.dll EndDialog 95" "user32.dll EndPaint 95" "user32.dll FillRect 95"
    "user32.dll GetClientRect 95" "user32.dll GetDC 95" "user32.dll GetDlgItem 95"
    "user32.dll GetFocus 95" "user32.dll GetSysColor 95" "user32.dll GetTopWindow 95"
    "user32.dll GetWindowRect 95" "user32.dll GetWindowTextA 95" "user32.dll IsChild 95"
    "user32.dll IsDialogMessageA 95" "user32.dll IsWindow 95" "user32.dll LoadCursorA 95"
    "user32.dll LoadStringA 95" "user32.dll MoveWindow 95"
    "user32.dll MsgWaitForMultipleObjects 95" "user32.dll PeekMessageA 95"
    "user32.dll RegisterClassA 95" "user32.dll ReleaseDC 95" "user32.dll ScreenToClient 95"
    "user32.dll SetCursor 95" "user32.dll SetDlgItemTextA 95" "user32.dll SetFocus 95"
    "user32.dll SetWindowLongA 95" "user32.dll SetWindowTextA 95" "user32.dll ShowWindow 95"
    "user32.dll TranslateMessage 95" "user32.dll UnregisterClassA 95"
    "user32.dll UpdateWindow 95" "user32.dll wsprintfA 95"
    # A stub on 95 to Me, which never call it: the session guard's reason, Vista and later.
    "user32.dll LoadStringW 95"
    # The 64-bit test build's name for SetWindowLongA; no 32-bit Windows exports it.
    "user32.dll SetWindowLongPtrA x64")
set(floor 95 98 98/2000)

execute_process(COMMAND "${OBJDUMP}" -p "${EXE}" OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed (${rc})")
endif()
if(dump MATCHES "Magic[ \t]+020b")
    list(APPEND floor x64)
endif()
# One line per DLL name and per imported function, in the order of the import tables.
string(REGEX MATCHALL "DLL Name: [^\r\n]+|\n\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_0-9]+" lines "${dump}")
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
        continue()
    endif()
    string(REGEX REPLACE ".* " "" function "${line}")
    math(EXPR count "${count} + 1")
    set(oldest "")
    foreach(entry IN LISTS listed)
        if(entry MATCHES "^${dll} ${function} (.+)$")
            set(oldest "${CMAKE_MATCH_1}")
        endif()
    endforeach()
    if(oldest STREQUAL "")
        list(APPEND bad "${dll} ${function} (not listed)")
    elseif(NOT oldest IN_LIST floor)
        list(APPEND bad "${dll} ${function} (listed for ${oldest})")
    endif()
endforeach()
if(bad)
    string(REPLACE ";" ", " bad "${bad}")
    message(FATAL_ERROR "${EXE} imports functions not known to be in Windows 98 (and NT 4.0, "
        "but for setupapi) as first released; look them up at run time, or list them with the "
        "oldest Windows that has them: ${bad}")
endif()
message(STATUS "${count} imported functions, each listed with Windows 98 or older as its oldest")
