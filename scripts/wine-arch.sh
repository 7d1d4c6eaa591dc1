#!/usr/bin/env bash
# Prints which Wine the system tests use on this machine: win32 where the kernel runs 32-bit x86
# programs, so that the product itself (the 32-bit UpdateTool.exe) runs under Wine; win64 where
# it refuses them, and the tests run the 64-bit build of the same sources under 64-bit Wine.
# Asked of the kernel, not of Wine, so that it also answers before Wine is installed; --kernel
# answers for the kernel alone, whatever Wine is installed.
# UPDATE_TOOL_WINE_ARCH=win64 takes the 64-bit way on any machine (to try it where both run).
set -euo pipefail

# --why: one line saying why the 64-bit way is taken, for the scripts that tell which exe runs.
why() {
    if [ -n "${UPDATE_TOOL_WINE_ARCH:-}" ]; then echo "UPDATE_TOOL_WINE_ARCH asks for it"
    elif [ "$(bash "$0" --kernel)" = win64 ]; then echo "this machine runs no 32-bit code"
    else echo "32-bit Wine is not installed (it could not be installed here)"; fi
}
[ "${1:-}" = --why ] && { why; exit 0; }

case "${UPDATE_TOOL_WINE_ARCH:-}" in
    win32 | win64) echo "$UPDATE_TOOL_WINE_ARCH"; exit 0 ;;
    "") ;;
    *) echo "UPDATE_TOOL_WINE_ARCH is \"$UPDATE_TOOL_WINE_ARCH\": expected win32, win64 or nothing" >&2
       exit 2 ;;
esac

probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
# The smallest 32-bit x86 ELF program: one load segment whose code is exit(0) through int 0x80.
{
    printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000'   # 32-bit, little-endian
    printf '\002\000\003\000\001\000\000\000\124\200\004\010'         # executable, i386, entry
    printf '\064\000\000\000\000\000\000\000\000\000\000\000'         # program headers at 52
    printf '\064\000\040\000\001\000\000\000\000\000\000\000'         # one program header
    printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010'  # PT_LOAD at 0x8048000
    printf '\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000'  # 93 bytes, r-x
    printf '\270\001\000\000\000\061\333\315\200'                     # mov eax,1; xor ebx,ebx; int 0x80
} >"$probe"
chmod +x "$probe"
"$probe" 2>/dev/null || { echo win64; exit 0; }
[ "${1:-}" = --kernel ] && { echo win32; exit 0; }
# The kernel runs 32-bit code, but 32-bit Wine may not install (an i386 index the mirror served
# stale once): once Wine is installed without its 32-bit loader, the 64-bit way is the one left.
if [ -x /usr/lib/wine/wine64 ] && [ ! -x /usr/lib/wine/wine ]; then echo win64; else echo win32; fi
