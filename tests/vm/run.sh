#!/usr/bin/env bash
# Runs a command in the 32-bit test VM: Debian's kernel under QEMU (emulated, no KVM), whose
# kernel runs the 32-bit code this machine's does not. The command runs as root at this clone's
# own path with this clone's files; what it writes under OUT_DIR is copied back there when it
# ends, with the VM's console log (OUT_DIR/vm/console.log). Exits with the command's status; a
# VM still running after LIMIT seconds is stopped, and this says so and fails.
# usage: tests/vm/run.sh LIMIT OUT_DIR COMMAND [ARG...]   (OUT_DIR: a folder inside the clone)
set -euo pipefail
project=$(cd "$(dirname "$0")/../.." && pwd)
limit=$1
mkdir -p "$2"
out_abs=$(cd "$2" && pwd)
out=${out_abs#"$project"/}
[ "$out" != "$out_abs" ] || { echo "$2 is not inside $project" >&2; exit 2; }
shift 2

vm=$(bash "$project/tests/vm/root.sh")
boot=$vm/boot
mkdir -p "$out_abs/vm"
rm -f "$out_abs/vm/status"

# The job: the command, quoted as given.
{
    echo "# Written by tests/vm/run.sh: what the VM runs, in $project"
    printf '%q ' "$@"
    echo
} >"$out_abs/vm/job.sh"

# The initramfs: busybox, the init and the kernel modules the shares and overlays need, with
# theirs, in the order they load.
kernel=$(ls "$boot"/boot/vmlinuz-* | head -n1)
modules=$(ls -d "$boot"/lib/modules/* | head -n1)
initramfs=$out_abs/vm/initramfs
rm -rf "$initramfs"
mkdir -p "$initramfs"/{bin,proc,sys,dev,modules}
cp "$boot/bin/busybox" "$initramfs/bin/"
cp "$project/tests/vm/init" "$initramfs/init"
python3 - "$modules" "$initramfs/modules" 9pnet_virtio 9p overlay virtio_pci <<'PY'
import os, re, shutil, sys
modules, dest, wanted = sys.argv[1], sys.argv[2], sys.argv[3:]
# No modules.dep (depmod makes it when the package installs): each module names its own.
paths = {}
for top, _, files in os.walk(modules):
    for f in files:
        if f.endswith(".ko"):
            paths[f[:-3].replace("-", "_")] = os.path.join(top, f)
order = []
def need(name):
    if name not in paths or name in order:  # built into the kernel, or taken already
        return
    with open(paths[name], "rb") as f:
        found = re.search(rb"\0depends=([^\0]*)", f.read())
    for dep in filter(None, (found.group(1).decode() if found else "").split(",")):
        need(dep.replace("-", "_"))
    order.append(name)
for w in wanted:
    need(w)
for name in order:
    shutil.copy(paths[name], os.path.join(dest, name + ".ko"))
with open(os.path.join(dest, "order"), "w") as f:
    f.write("".join(name + ".ko\n" for name in order))
PY
(cd "$initramfs" && find . | "$boot/bin/busybox" cpio -o -H newc 2>/dev/null | gzip -1) \
    >"$out_abs/vm/initramfs.img"

# QEMU 7.2's TCG needs SMAP off: with it every 32-bit process dies in a kernel oops at its first
# return to user mode.
status=0
nice -n 15 timeout -k 10 "$limit" qemu-system-x86_64 -accel tcg,thread=multi -smp 2 -m 4096 \
    -cpu max,-smap -nodefaults -display none -no-reboot -serial stdio -monitor none -nic none \
    -kernel "$kernel" -initrd "$out_abs/vm/initramfs.img" \
    -append "console=ttyS0 quiet mitigations=off panic=-1 ut.project=$project ut.out=$out" \
    -virtfs "local,path=$vm/root,mount_tag=root,security_model=none,readonly=on" \
    -virtfs "local,path=$project,mount_tag=project,security_model=none" \
    </dev/null 2>&1 | tee "$out_abs/vm/console.log" || status=$?
if [ "$status" = 124 ] || [ "$status" = 137 ]; then
    echo "== The VM did not finish within $limit s: stopped (console: $out/vm/console.log)" >&2
    exit 124
fi
[ -f "$out_abs/vm/status" ] ||
    { echo "== The VM ended without a status (console: $out/vm/console.log)" >&2; exit 1; }
exit "$(cat "$out_abs/vm/status")"
