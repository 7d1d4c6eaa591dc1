#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine, only what is missing.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# Both toolchains always: the product is 32-bit, and its 64-bit build runs the Wine tests on a
# machine that runs no 32-bit code. 32-bit Wine only where it can run.
wine_arch=$(bash "$(dirname "$0")/wine-arch.sh" --kernel)
pkgs=(cmake make g++ googletest libgtest-dev libgmock-dev clang libclang-rt-14-dev clang-format
      osslsigncode openssl
      g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
      wine wine64 xvfb xauth x11-utils imagemagick fonts-ipafont-gothic zip python3 procps locales)
[ "$wine_arch" = win32 ] && pkgs+=(wine32:i386)
# Where 32-bit Wine cannot run here, the product's Wine tests run in an emulated VM
# (tests/vm/): QEMU, and debootstrap to make its root.
vm_pkgs=(qemu-system-x86 debootstrap)
[ "$(UPDATE_TOOL_WINE_ARCH='' bash "$(dirname "$0")/wine-arch.sh")" = win64 ] && pkgs+=("${vm_pkgs[@]}")
for p in "${pkgs[@]}"; do have "$p" || need+=("$p"); done

# Wine takes its user language from LANG: the Japanese tests need that locale to exist.
ensure_locales() {
    locale -a 2>/dev/null | grep -qi '^ja_JP.utf-\?8$' && return 0
    local gen=/etc/locale.gen
    for l in "ja_JP.UTF-8 UTF-8" "en_US.UTF-8 UTF-8"; do
        grep -q "^$l" "$gen" 2>/dev/null || echo "$l" | $SUDO tee -a "$gen" >/dev/null
    done
    $SUDO locale-gen >/dev/null
}

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
if [ ${#need[@]} -eq 0 ]; then
    ensure_locales
    exit 0
fi

if [ "$wine_arch" = win32 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror caught mid-sync fails one index now and then (seen: the security suite's i386 list):
# try again, and go on with what was read if it still fails, as the install then says what is missing.
for try in 1 2 3; do
    $SUDO apt-get update -q && break
    [ "$try" = 3 ] && echo "apt-get update failed three times; installing from the lists it has" >&2
    sleep $((try * 5))
done
if ! $SUDO apt-get install -y -q --no-install-recommends "${need[@]}"; then
    # Without 32-bit Wine the Wine tests take the 64-bit way (scripts/wine-arch.sh says so).
    rest=()
    for p in "${need[@]}"; do [ "$p" = wine32:i386 ] || rest+=("$p"); done
    [ ${#rest[@]} -lt ${#need[@]} ] || exit 1
    echo "32-bit Wine could not be installed: the Wine tests run the 64-bit build (and" \
        "the 32-bit product's in an emulated VM)" >&2
    rest+=("${vm_pkgs[@]}")
    $SUDO apt-get install -y -q --no-install-recommends "${rest[@]}"
fi
ensure_locales
