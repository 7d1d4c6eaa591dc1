#!/usr/bin/env python3
"""Writes the deterministic test firmware image: the same bytes on every machine.

Usage: make_test_image.py OUTPUT
       make_test_image.py --classify FILE   prints "not-regular", "test-image" or "image"
"""
import hashlib
import os
import stat
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


def classify(path):
    """What the build is asked to embed: the test image under another name is still the test
    image, and must not reach a release because somebody copied it."""
    if not stat.S_ISREG(os.stat(path).st_mode):
        return "not-regular"
    if os.path.getsize(path) != SIZE:
        return "image"
    with open(path, "rb") as f:
        return "test-image" if f.read() == test_image() else "image"


if __name__ == "__main__":
    if sys.argv[1] == "--classify":
        print(classify(sys.argv[2]))
        sys.exit(0)
    data = test_image()
    with open(sys.argv[1], "wb") as f:
        f.write(data)
