#!/usr/bin/env python3
"""Checks the built UpdateTool.exe without running it.

check_built_layout.py shared OBJDUMP EXE: the one-instance flag's atomic test-and-set writes
to a section marked shared and writable, so that every process of the executable sees it.
check_built_layout.py dialogs EXE: each dialog exists in English (1033) and Japanese (1041)
with the same controls (id and class) in the same order, which the code finds them by.
"""
import re
import struct
import subprocess
import sys

RT_DIALOG = 5
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
    targets = [int(a, 16) for a in re.findall(r"lock cmpxchg %\w+,0x([0-9a-f]+)\s*$", code, re.M)]
    hits = [(name, hex(t)) for t in targets for name, lo, hi in shared if lo <= t < hi]
    print("shared writable sections: %s; test-and-set targets: %s" %
          ([(n, hex(lo), hex(hi)) for n, lo, hi in shared], [hex(t) for t in targets]))
    if not hits:
        sys.exit("no atomic test-and-set writes to a shared writable section: a second start "
                 "would not see the first")
    print("one-instance flag in %s at %s" % hits[0])


def pe_resources(data):
    """{(type, name, language): bytes} of the resource section, by id or upper-case name."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    rva, _ = struct.unpack_from("<II", data, optional + 96 + 2 * 8)
    table = []
    for i in range(sections):
        size, va, raw_size, raw = struct.unpack_from("<IIII", data, optional + optional_size +
                                                     40 * i + 8)
        table.append((va, max(size, raw_size), raw))

    def at(address):
        for va, size, raw in table:
            if va <= address < va + size:
                return address - va + raw
        raise ValueError("address %#x outside every section" % address)

    base = at(rva)

    def entries(offset):
        named, ids = struct.unpack_from("<12xHH", data, base + offset)
        for i in range(named + ids):
            key, target = struct.unpack_from("<II", data, base + offset + 16 + 8 * i)
            if key & 0x80000000:
                length = struct.unpack_from("<H", data, base + (key & 0x7FFFFFFF))[0]
                start = base + (key & 0x7FFFFFFF) + 2
                key = data[start:start + 2 * length].decode("utf-16-le").upper()
            yield key, target

    found = {}
    for kind, names in entries(0):
        for name, languages in entries(names & 0x7FFFFFFF):
            for language, leaf in entries(languages & 0x7FFFFFFF):
                data_rva, size = struct.unpack_from("<II", data, base + leaf)
                found[(kind, name, language)] = data[at(data_rva):at(data_rva) + size]
    return found


def dialog_controls(template):
    """[(id, class)] of a DLGTEMPLATE or DLGTEMPLATEEX."""
    extended = struct.unpack_from("<HH", template, 0) == (1, 0xFFFF)
    if extended:
        style, count = struct.unpack_from("<I", template, 12)[0], template[16]
        offset = 26
    else:
        style, count = struct.unpack_from("<I", template, 0)[0], template[8]
        offset = 18

    def sz_or_ord(offset):
        if struct.unpack_from("<H", template, offset)[0] == 0xFFFF:
            return struct.unpack_from("<H", template, offset + 2)[0], offset + 4
        end = offset
        while struct.unpack_from("<H", template, end)[0] != 0:
            end += 2
        return template[offset:end].decode("utf-16-le"), end + 2

    def align(offset):
        return (offset + 3) & ~3

    for _ in range(3):  # menu, class, title
        _, offset = sz_or_ord(offset)
    if style & 0x40:  # DS_SETFONT: point size (and weight, italic, charset), face name
        _, offset = sz_or_ord(offset + (6 if extended else 2))
    controls = []
    for _ in range(count):
        offset = align(offset)
        if extended:
            control_id = struct.unpack_from("<I", template, offset + 20)[0]
            offset += 24
        else:
            control_id = struct.unpack_from("<H", template, offset + 16)[0]
            offset += 18
        window_class, offset = sz_or_ord(offset)
        _, offset = sz_or_ord(offset)
        extra = struct.unpack_from("<H", template, offset)[0]
        offset += 2 + extra
        controls.append((control_id, window_class))
    return controls


def check_dialogs(exe):
    with open(exe, "rb") as f:
        resources = pe_resources(f.read())
    dialogs = sorted({name for kind, name, _ in resources if kind == RT_DIALOG}, key=str)
    if not dialogs:
        sys.exit("no dialog resources in %s" % exe)
    problems = []
    for name in dialogs:
        per_language = {}
        for language in LANGUAGES:
            template = resources.get((RT_DIALOG, name, language))
            if template is None:
                problems.append("dialog %s has no %d template" % (name, language))
            else:
                per_language[language] = dialog_controls(template)
        print("dialog %s: %s" % (name, per_language))
        if len(per_language) == 2 and per_language[1033] != per_language[1041]:
            problems.append("dialog %s: English controls %s, Japanese %s" %
                            (name, per_language[1033], per_language[1041]))
    if problems:
        sys.exit("\n".join(problems))


if __name__ == "__main__":
    if sys.argv[1:2] == ["shared"] and len(sys.argv) == 4:
        check_shared(sys.argv[2], sys.argv[3])
    elif sys.argv[1:2] == ["dialogs"] and len(sys.argv) == 3:
        check_dialogs(sys.argv[2])
    else:
        sys.exit(__doc__)
