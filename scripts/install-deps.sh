#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine, only what is missing.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# Both toolchains always: the product is 32-bit, and its 64-bit build runs the Wine tests on a
# machine that runs no 32-bit code. 32-bit Wine only where it can run.
wine_arch=$(bash "$(dirname "$0")/wine-arch.sh")
pkgs=(cmake make g++ googletest libgtest-dev libgmock-dev clang libclang-rt-14-dev clang-format
      osslsigncode openssl
      g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
      wine wine64 xvfb xauth imagemagick fonts-ipafont-gothic zip python3 procps locales)
[ "$wine_arch" = win32 ] && pkgs+=(wine32:i386)
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
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${need[@]}"
ensure_locales
