#!/usr/bin/env bash
# Makes what the 32-bit test VM boots, once per machine: a Debian 12 root with 32-bit Wine and
# what the Wine scenarios use, Debian's kernel and busybox, all from Debian packages. Prints the
# folder that holds them. The folder is named by a hash of this file, which holds the package
# list: a second clone reuses it, a change here builds a new one. It is built under another name
# and renamed when whole, so a build that was killed is never taken for one that finished.
set -euo pipefail

cache=${UPDATE_TOOL_VM_CACHE:-/var/cache/update-tool-vm}
key=$(sha256sum "${BASH_SOURCE[0]}" | cut -c1-16)
dir=$cache/$key
[ -f "$dir/complete" ] && { echo "$dir"; exit 0; }

# Inside the root: the Wine scenarios' needs (those of scripts/install-deps.sh that run tests, with
# 32-bit Wine) and ctest to run them.
packages=(wine wine64 wine32:i386 xvfb xauth imagemagick fonts-ipafont-gothic python3 procps
          locales cmake x11-utils)
# Beside it, unpacked, not installed: what boots the VM.
boot_packages=(linux-image-amd64 busybox-static)

# The host's own Debian mirror, from its apt sources: the root comes from the archive the host's
# packages come from.
mirror() {
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        awk 'BEGIN { RS = ""; FS = "\n" }
             /(^|\n)Suites:[^\n]*[ \t]bookworm([ \t]|$|\n)/ || /(^|\n)Suites:[ \t]*bookworm([ \t]|\n|$)/ {
                 for (i = 1; i <= NF; i++) if ($i ~ /^URIs:/) { sub(/^URIs:[ \t]*/, "", $i); split($i, u, " "); print u[1]; exit } }' "$f"
    done
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i !~ /^\[/ && $i !~ /\]$/) break;
                           if ($(i + 1) == "bookworm") { print $i; exit } }' "$f"
    done
}
url=$(mirror | head -n1)
[ -n "$url" ] || { echo "no bookworm source in /etc/apt: cannot tell which mirror to build the VM from" >&2; exit 1; }

mkdir -p "$cache"
exec 9>"$cache/.lock"
flock 9
[ -f "$dir/complete" ] && { echo "$dir"; exit 0; }

# What a killed build left behind: its mounts first, so that removing it stays on its own files.
unmount_under() { grep -o " $1/[^ ]*" /proc/mounts | sort -r | while read -r m; do umount -l "$m"; done; }
for old in "$cache"/.build-*; do
    [ -d "$old" ] || continue
    unmount_under "$old"
    rm -rf --one-file-system "$old"
done

work=$cache/.build-$key
root=$work/root
mkdir -p "$work"
trap 'unmount_under "$work"' EXIT
echo "== Building the 32-bit test VM's root in $dir from $url (once per machine, a few minutes)" >&2
debootstrap --variant=minbase --arch=amd64 --components=main bookworm "$root" "$url" \
    >"$work/debootstrap.log" 2>&1 || { tail -n 20 "$work/debootstrap.log" >&2; exit 1; }

cat >"$root/etc/apt/sources.list" <<SOURCES
deb $url bookworm main
deb $url bookworm-updates main
SOURCES
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
in_root() { chroot "$root" env DEBIAN_FRONTEND=noninteractive LC_ALL=C "$@"; }
in_root dpkg --add-architecture i386
in_root apt-get update -q >"$work/apt.log" 2>&1
# One postinst (libglib2.0-0:i386's, which runs a 64-bit helper of the other architecture) fails
# in a chroot; the packages are unpacked and what the tests use is configured.
in_root apt-get install -y -q --no-install-recommends "${packages[@]}" >>"$work/apt.log" 2>&1 ||
    in_root dpkg --configure -a >>"$work/apt.log" 2>&1 || true
for p in "${packages[@]}"; do
    in_root dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' ||
        { echo "$p did not install in the VM's root; see $work/apt.log" >&2; exit 1; }
done
printf 'ja_JP.UTF-8 UTF-8\nen_US.UTF-8 UTF-8\n' >"$root/etc/locale.gen"
in_root locale-gen >>"$work/apt.log" 2>&1

mkdir -p "$root/tmp/boot"
kernel=$(in_root apt-cache depends "${boot_packages[0]}" | awk '/Depends: linux-image-/ { print $2; exit }')
in_root sh -c "cd /tmp/boot && apt-get download -q $kernel ${boot_packages[*]:1}" >>"$work/apt.log" 2>&1
for deb in "$root"/tmp/boot/*.deb; do dpkg-deb -x "$deb" "$work/boot"; done
rm -rf "$root/tmp/boot"
in_root apt-get clean
rm -rf "$root"/var/lib/apt/lists/*
umount "$root/dev" "$root/proc"
trap - EXIT

vmlinuz=$(ls "$work"/boot/boot/vmlinuz-* | head -n1)
[ -f "$vmlinuz" ] && [ -x "$work/boot/bin/busybox" ] || { echo "kernel or busybox missing" >&2; exit 1; }
echo "$key" >"$work/complete"
mv "$work" "$dir"
echo "$dir"
