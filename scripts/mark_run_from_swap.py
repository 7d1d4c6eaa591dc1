#!/usr/bin/env python3
"""Marks a linked UpdateTool.exe, in place, to run from the swap file when started from a
network share or removable media: IMAGE_FILE_NET_RUN_FROM_SWAP and
IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP in the COFF header's Characteristics.

Usage: mark_run_from_swap.py UpdateTool.exe
GNU ld (2.40) has no switch for these bits, which Microsoft's linker sets with /SWAPRUN. The
header's CheckSum covers them, so it is computed again: osslsigncode writes a fresh one when it
strips a signature, and the stripped file must be this one byte for byte. Running it twice on
the same file changes nothing the second time.
"""
import array
import os
import sys

REMOVABLE_RUN_FROM_SWAP = 0x0400
NET_RUN_FROM_SWAP = 0x0800


def pe_checksum(data, checksum_at):
    """The PE image checksum (imagehlp's CheckSumMappedFile): the file's 16-bit words less the
    CheckSum field itself, added with end-around carry, plus the file's length."""
    words = array.array("H", data + b"\0" * (len(data) & 1))
    if sys.byteorder == "big":
        words.byteswap()
    total = sum(words) - words[checksum_at // 2] - words[checksum_at // 2 + 1]
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    path = argv[1]
    with open(path, "rb") as f:
        data = bytearray(f.read())
    pe = int.from_bytes(data[0x3C:0x40], "little") if data[:2] == b"MZ" else 0
    if not pe or data[pe:pe + 4] != b"PE\0\0" or len(data) < pe + 24 + 68:
        sys.stderr.write("%s is not a PE executable\n" % path)
        return 1
    # The COFF header follows the signature; Characteristics ends it, and the optional header's
    # CheckSum sits at the same place in PE32 and PE32+.
    characteristics_at, checksum_at = pe + 4 + 18, pe + 24 + 64
    characteristics = int.from_bytes(data[characteristics_at:characteristics_at + 2], "little")
    characteristics |= NET_RUN_FROM_SWAP | REMOVABLE_RUN_FROM_SWAP
    data[characteristics_at:characteristics_at + 2] = characteristics.to_bytes(2, "little")
    data[checksum_at:checksum_at + 4] = pe_checksum(data, checksum_at).to_bytes(4, "little")
    partial = path + ".part"
    with open(partial, "wb") as f:
        f.write(data)
    os.replace(partial, path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
