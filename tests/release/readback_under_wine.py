#!/usr/bin/env python3
"""Runs resource_readback.exe on UpdateTool.exe in the system tests' Wine prefix and session.

Usage: readback_under_wine.py BUILD_DIR VERSION FIRMWARE_VERSION test-image|image
Also parses the manifest the build embeds, build/windows/app.manifest, as XML.
"""
import os
import sys
import xml.etree.ElementTree as ElementTree

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "system"))
import scenarios  # noqa: E402
import wine  # noqa: E402


def main(argv):
    build_dir, expected = os.path.abspath(argv[1]), argv[2:]
    # Windows refuses to start a program whose manifest is not well-formed XML.
    try:
        ElementTree.parse(os.path.join(build_dir, "app.manifest"))
        print("ok   manifest: well-formed XML")
    except ElementTree.ParseError as error:
        print("FAIL manifest: not well-formed XML: %s" % error)
        return 1
    prefix, logs = scenarios.paths(build_dir)
    arch = wine.build_arch(build_dir)
    with wine.PrefixLock(prefix):
        if not wine.prefix_ready(prefix, arch):
            wine.create_prefix(prefix, os.path.join(logs, "prefix"), arch)
        with wine.Session(prefix, os.path.join(build_dir, "tests", "release"),
                          os.path.join(logs, "release"), arch=arch) as session:
            rc, text = session.run(
                [os.path.join(session.bin_dir, "resource_readback.exe"),
                 wine.windows_path(os.path.join(build_dir, "UpdateTool.exe"))] + expected,
                "resource-readback", timeout=120)
    sys.stdout.write(text)
    if rc is None:
        print("resource_readback timed out")
    return 0 if rc == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
