#!/usr/bin/env python3
"""Packs the release zip: the executable, the read-me texts and SHA256SUMS, byte-reproducibly.

Usage: make_release_zip.py OUTPUT.zip UpdateTool.exe TEXT.txt...
"""
import hashlib
import os
import sys
import zipfile

# Every entry gets the same date and mode, so two builds of the same tree give the same zip.
FIXED_DATE = (1980, 1, 1, 0, 0, 0)
UTF8_BOM = b"\xef\xbb\xbf"


def readme_bytes(path):
    """The read-me as Windows Notepad reads it on every version: CRLF and a UTF-8 signature
    (without one, older Notepad takes the Japanese text for the ANSI code page)."""
    with open(path, "rb") as f:
        text = f.read()
    text.decode("utf-8")  # refuse to ship a text that is not UTF-8
    if text.startswith(UTF8_BOM):
        text = text[len(UTF8_BOM):]
    text = text.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
    return UTF8_BOM + text


def entry(name, data, mode):
    info = zipfile.ZipInfo(name, date_time=FIXED_DATE)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 3
    info.external_attr = mode << 16
    return info, data


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    output, exe, readmes = argv[1], argv[2], argv[3:]
    entries = []
    with open(exe, "rb") as f:
        entries.append(entry("UpdateTool.exe", f.read(), 0o100755))
    for path in readmes:
        entries.append(entry(os.path.basename(path), readme_bytes(path), 0o100644))
    sums = "".join(
        "%s  %s\r\n" % (hashlib.sha256(data).hexdigest(), info.filename) for info, data in entries
    )
    entries.append(entry("SHA256SUMS", sums.encode("ascii"), 0o100644))

    partial = output + ".part"
    with zipfile.ZipFile(partial, "w") as z:
        for info, data in entries:
            z.writestr(info, data, compresslevel=9)
    os.replace(partial, output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
