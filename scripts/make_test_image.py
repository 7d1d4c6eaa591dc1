#!/usr/bin/env python3
"""Writes the deterministic test firmware image: the same bytes on every machine."""
import hashlib
import sys

SIZE = 1633101
SEED = b"update-tool test image"


def test_image(size=SIZE):
    out = bytearray()
    counter = 0
    while len(out) < size:
        out += hashlib.sha256(SEED + counter.to_bytes(8, "big")).digest()
        counter += 1
    return bytes(out[:size])


if __name__ == "__main__":
    data = test_image()
    with open(sys.argv[1], "wb") as f:
        f.write(data)
