#!/usr/bin/env bash
# Builds everything and runs every test: host unit tests (ASan/UBSan), then the Windows
# executable's tests, the system tests under Wine among them. The product is the 32-bit
# UpdateTool.exe; where this machine cannot run it under Wine, the Wine tests run the 64-bit
# build of the same sources under 64-bit Wine here, and the product's own Wine tests run under
# 32-bit Wine in an emulated VM (tests/vm/run.sh; UPDATE_TOOL_VM=0 leaves it out).
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

bash scripts/install-deps.sh
wine_arch=$(bash scripts/wine-arch.sh)
why=$(bash scripts/wine-arch.sh --why)
vm=no
if [ "$(UPDATE_TOOL_WINE_ARCH='' bash scripts/wine-arch.sh)" = win64 ] && [ "${UPDATE_TOOL_VM:-1}" != 0 ]; then
    vm=yes
fi
vm_where="under 32-bit Wine in the 32-bit test VM (emulated x86-64, Debian 12)"
if [ "$wine_arch" = win32 ]; then
    echo "== Wine tests run build/windows/UpdateTool.exe (32-bit, the product) under 32-bit Wine"
else
    echo "== Wine tests run build/windows-x64/UpdateTool.exe (64-bit build of the same sources)" \
        "under 64-bit Wine: $why"
    [ $vm = yes ] && echo "== and build/windows-vm/UpdateTool.exe (32-bit, the product) $vm_where"
fi

export CMAKE_BUILD_PARALLEL_LEVEL=$(nproc 2>/dev/null || echo 2)

# The VM's root is made once per machine, mostly downloading and unpacking: beside the builds.
if [ $vm = yes ]; then
    mkdir -p build
    bash tests/vm/root.sh >build/vm-root.log 2>&1 &
    root_job=$!
fi

# Each Wine group's result line names the executable it ran and where.
mark_wine_groups() {
    local groups
    groups=$(ctest --test-dir "$1" -N -L system 2>/dev/null | awk '/Test +#/ { print $3 }' | paste -sd'|')
    [ -n "$groups" ] || groups='$^'
    sed -u -E "s#^( *[0-9]+/[0-9]+ Test +\#[0-9]+: ($groups) .*)#\1  [$2]#"
}

echo "== Host build and unit tests"
CTEST_PARALLEL_LEVEL=$CMAKE_BUILD_PARALLEL_LEVEL cmake --workflow --preset host

# Both word sizes are built and checked on every machine; the Wine tests run in the build of
# the word size this machine's Wine runs, the other keeps the checks of its file (imports among
# them), so that neither can break unseen. The benchmark's programs are built too (not timed):
# a benchmark that no longer builds fails here.
for preset in windows windows-x64; do
    echo "== $preset build and its tests"
    cmake --preset $preset
    cmake --build --preset $preset
    cmake --build --preset $preset --target bench_programs
    if [ $preset = windows ]; then
        runs="build/windows/UpdateTool.exe, 32-bit, under 32-bit Wine here"
    else
        runs="build/windows-x64/UpdateTool.exe, 64-bit, under 64-bit Wine here"
    fi
    ctest --preset $preset | mark_wine_groups build/$preset "$runs"
done

if [ $vm = yes ]; then
    echo "== The 32-bit product's Wine tests $vm_where"
    cmake --preset windows-vm
    cmake --build --preset windows-vm
    if cmp -s build/windows/UpdateTool.exe build/windows-vm/UpdateTool.exe; then
        echo "build/windows-vm/UpdateTool.exe is byte for byte build/windows/UpdateTool.exe"
    else
        echo "build/windows-vm/UpdateTool.exe differs from build/windows/UpdateTool.exe" >&2
        exit 1
    fi
    root_started=$SECONDS
    wait "$root_job" || { cat build/vm-root.log >&2; exit 1; }
    echo "the VM's root: $(tail -n1 build/vm-root.log) (waited $((SECONDS - root_started)) s)"
    # The maker's release workflow is a build test whose Wine step delivers the release: in the
    # VM it would need both toolchains and its two dozen scratch builds emulated, so its
    # delivery runs only in the 64-bit run above.
    echo "left to the 64-bit run: release_maker_workflow (a build test; its builds are not emulated)"
    bash tests/vm/run.sh 5400 build/windows-vm ctest --test-dir build/windows-vm -L system \
        -E '^release_maker_workflow$' --output-on-failure |
        mark_wine_groups build/windows-vm "build/windows-vm/UpdateTool.exe, 32-bit, $vm_where"
    echo "logs of the VM's run: build/windows-vm/wine/logs, its console: build/windows-vm/vm/console.log"
fi
echo "== All tests passed in $(((SECONDS - started) / 60)) min $(((SECONDS - started) % 60)) s"
