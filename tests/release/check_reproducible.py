#!/usr/bin/env python3
"""Builds the tool twice in two fresh build directories and requires byte-identical outputs.

Usage: check_reproducible.py SOURCE_DIR WORK_DIR FIRMWARE_IMAGE VERSION
The two directories differ in name and depth, so an absolute build path that leaks into the
executable shows up as a difference.
"""
import os
import shutil
import subprocess
import sys


def build(source, build_dir, image, version):
    shutil.rmtree(build_dir, ignore_errors=True)
    os.makedirs(build_dir)
    log = open(os.path.join(build_dir, "..", os.path.basename(build_dir) + ".log"), "w")
    steps = [
        ["cmake", "-S", source, "-B", build_dir,
         "-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(source, "cmake", "mingw-i686.cmake"),
         "-DCMAKE_BUILD_TYPE=MinSizeRel", "-DUPDATE_TOOL_FIRMWARE_IMAGE=" + image,
         "-DUPDATE_TOOL_FIRMWARE_VERSION=" + version],
        ["cmake", "--build", build_dir, "--target", "release"],
    ]
    for step in steps:
        if subprocess.call(step, stdout=log, stderr=subprocess.STDOUT, timeout=600) != 0:
            log.close()
            sys.stdout.write(open(log.name).read()[-4000:])
            sys.exit("build failed in %s: %s" % (build_dir, " ".join(step)))
    log.close()


def pe_sections(path):
    """(name, file offset, size) of each section, to say where a difference lies."""
    out = subprocess.run(["i686-w64-mingw32-objdump", "-h", path], capture_output=True,
                         text=True).stdout
    sections = []
    for line in out.splitlines():
        fields = line.split()
        if len(fields) >= 6 and fields[0].isdigit():
            sections.append((fields[1], int(fields[5], 16), int(fields[2], 16)))
    return sections


def where(path, offset):
    # Sections without file contents (.bss) report a file offset of 0.
    sections = [s for s in pe_sections(path) if s[1] > 0]
    if not sections or offset < min(start for _, start, _ in sections):
        data = open(path, "rb").read(0x400)
        stamp = int.from_bytes(data[0x3c:0x40], "little") + 8
        if stamp <= offset < stamp + 4:
            return "the COFF header's TimeDateStamp"
        return "the PE headers"
    for name, start, size in sections:
        if start <= offset < start + size:
            return "section %s +0x%x" % (name, offset - start)
    return "outside any section"


def first_difference(a, b):
    for i in range(min(len(a), len(b))):
        if a[i] != b[i]:
            return i
    return min(len(a), len(b)) if len(a) != len(b) else -1


def hexdump(data, offset):
    start = max(0, offset - 16) & ~15
    return " ".join("%02x" % c for c in data[start:start + 48])


def main(argv):
    source, work, image, version = argv[1:5]
    dirs = [os.path.join(work, "a"), os.path.join(work, "second", "build-tree")]
    for d in dirs:
        os.makedirs(os.path.dirname(d), exist_ok=True)
        build(source, d, image, version)

    failures = 0
    for name in ["UpdateTool.exe", "UpdateTool-%s.zip" % version]:
        paths = [os.path.join(d, name) for d in dirs]
        a, b = (open(p, "rb").read() for p in paths)
        diff = first_difference(a, b)
        if diff < 0:
            print("%s: identical, %d bytes" % (name, len(a)))
            continue
        failures += 1
        print("%s differs: %d vs %d bytes, first at offset 0x%x" % (name, len(a), len(b), diff))
        if name.endswith(".exe"):
            print("  in %s" % where(paths[0], diff))
        print("  %s\n  %s" % (hexdump(a, diff), hexdump(b, diff)))

    # Identical builds can still both carry the source tree's path (__FILE__, debug info).
    exe = open(os.path.join(dirs[0], "UpdateTool.exe"), "rb").read()
    for path in [source, dirs[0], os.path.expanduser("~")]:
        for form in [path, path.replace("/", "\\")]:
            at = exe.find(form.encode())
            if len(path) > 1 and at >= 0:
                failures += 1
                print("UpdateTool.exe holds the path %s at 0x%x" % (form, at))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
