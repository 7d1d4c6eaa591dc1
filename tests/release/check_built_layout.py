#!/usr/bin/env python3
"""Checks the built UpdateTool.exe without running it.

check_built_layout.py shared OBJDUMP EXE: the one-instance flag's atomic test-and-set writes
to a section marked shared and writable, so that every process of the executable sees it.
check_built_layout.py dialogs WINDRES EXE: each dialog exists in English (1033) and Japanese (1041)
with the same controls (id and class) in the same order, which the code finds them by.
check_built_layout.py version WINDRES EXE FIRMWARE_VERSION: the English (040904B0) and Japanese
(041104B0) blocks of the version resource both give the firmware version as the product version,
and the manifest names the executable's own architecture.
check_built_layout.py swap OBJDUMP EXE: the header asks Windows to copy the image to the swap file
when it starts from a network share or removable media, so that neither can drop mid-transfer.
"""
import re
import subprocess
import sys

LANGUAGES = (1033, 1041)


def check_shared(objdump, exe):
    headers = subprocess.run([objdump, "-h", exe], check=True, capture_output=True,
                             text=True).stdout
    shared = []
    for m in re.finditer(r"^\s*\d+\s+(\S+)\s+([0-9a-f]+)\s+([0-9a-f]+)\s.*\n\s+(.*)$", headers,
                         re.M):
        flags = [f.strip() for f in m.group(4).split(",")]
        if "SHARED" in flags and "READONLY" not in flags:
            start = int(m.group(3), 16)
            shared.append((m.group(1), start, start + int(m.group(2), 16)))
    code = subprocess.run([objdump, "-d", exe], check=True, capture_output=True,
                          text=True).stdout
    # x86 names the flag's address; x64 addresses it relative to the next instruction, and
    # objdump gives the address it comes to after a '#'.
    targets = [int(a or b, 16) for a, b in re.findall(
        r"lock cmpxchg %\w+,(?:0x([0-9a-f]+)|\S+\(%rip\)\s+# 0x([0-9a-f]+))\s*$", code, re.M)]
    hits = [(name, hex(t)) for t in targets for name, lo, hi in shared if lo <= t < hi]
    print("shared writable sections: %s; test-and-set targets: %s" %
          ([(n, hex(lo), hex(hi)) for n, lo, hi in shared], [hex(t) for t in targets]))
    if not hits:
        sys.exit("no atomic test-and-set writes to a shared writable section: a second start "
                 "would not see the first")
    print("one-instance flag in %s at %s" % hits[0])


def check_swap(objdump, exe):
    header = subprocess.run([objdump, "-p", exe], check=True, capture_output=True,
                            text=True).stdout
    characteristics = int(re.search(r"^Characteristics 0x([0-9a-f]+)$", header, re.M).group(1), 16)
    print("Characteristics 0x%04x" % characteristics)
    missing = [name for bit, name in [(0x0800, "IMAGE_FILE_NET_RUN_FROM_SWAP"),
                                      (0x0400, "IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP")]
               if not characteristics & bit]
    if missing:
        sys.exit("%s lacks %s: Windows would page it from a share or stick that may be gone "
                 "mid-transfer (scripts/mark_run_from_swap.py sets them after the link)" %
                 (exe, " and ".join(missing)))


def resource_script(windres, exe):
    return subprocess.run([windres, "-i", exe, "-O", "rc"], check=True, capture_output=True,
                          text=True, errors="replace").stdout


def check_dialogs(windres, exe):
    """windres reads the resources back as script text: LANGUAGE 9, 1 is 1033, 17, 1 is 1041."""
    script = resource_script(windres, exe)
    dialogs, language, current = {}, None, None
    for line in script.splitlines():
        m = re.match(r"LANGUAGE (\d+), (\d+)$", line)
        if m:
            language = int(m.group(2)) << 10 | int(m.group(1))
        elif re.match(r"\d+ DIALOG", line):
            current = dialogs.setdefault(line.split()[0], {}).setdefault(language, [])
        elif line == "END":
            current = None
        elif current is not None:
            m = re.match(r'\s+(\w+) L?"(?:[^"\\]|\\.)*", (\d+)(?:, "(\w+)")?', line)
            if m:
                current.append(m.groups())
    problems = [] if dialogs else ["no dialog resources in %s" % exe]
    for name, per_language in sorted(dialogs.items()):
        print("dialog %s: %s" % (name, per_language))
        if sorted(per_language) != sorted(LANGUAGES):
            problems.append("dialog %s has templates for %s" % (name, sorted(per_language)))
        elif per_language[1033] != per_language[1041]:
            problems.append("dialog %s: English controls %s, Japanese %s" %
                            (name, per_language[1033], per_language[1041]))
    if problems:
        sys.exit("\n".join(problems))


def check_version(windres, exe, expected):
    script = resource_script(windres, exe)
    # Windows refuses to start a program whose own manifest names another architecture.
    with open(exe, "rb") as f:
        header = f.read(4096)
    machine = int.from_bytes(header[int.from_bytes(header[0x3C:0x40], "little") + 4:][:2], "little")
    named = re.findall(r'processorArchitecture=""(\w+)""', script)
    print("manifest architecture: %s; PE machine 0x%x" % (named, machine))
    if named != [{0x14C: "x86", 0x8664: "amd64"}.get(machine)]:
        sys.exit("the manifest names %s for a PE machine of 0x%x" % (named, machine))
    versions, block = {}, None
    for line in script.splitlines():
        m = re.match(r'\s+BLOCK "(\w+)"$|\s+VALUE "ProductVersion", L?"(.*)"$', line)
        if m and m.group(1):
            block = m.group(1)
        elif m:  # a firmware version has no quote or backslash, which windres would escape
            versions[block] = m.group(2)
    print("product versions: %s" % versions)
    if versions != {"040904B0": expected, "041104B0": expected}:
        sys.exit("expected the product version %r in blocks 040904B0 and 041104B0" % expected)


if __name__ == "__main__":
    if sys.argv[1:2] == ["shared"] and len(sys.argv) == 4:
        check_shared(sys.argv[2], sys.argv[3])
    elif sys.argv[1:2] == ["swap"] and len(sys.argv) == 4:
        check_swap(sys.argv[2], sys.argv[3])
    elif sys.argv[1:2] == ["dialogs"] and len(sys.argv) == 4:
        check_dialogs(sys.argv[2], sys.argv[3])
    elif sys.argv[1:2] == ["version"] and len(sys.argv) == 5:
        check_version(*sys.argv[2:])
    else:
        sys.exit(__doc__)
