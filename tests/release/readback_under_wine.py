"""Runs resource_readback.exe on UpdateTool.exe in the system tests' Wine prefix, in a session.

Usage: python3 -m tests.release.readback_under_wine BUILD_DIR VERSION FIRMWARE_VERSION
           test-image|image
Also parses the manifest the build embeds, build/windows/app.manifest, as XML.
"""
import os
import sys
import xml.etree.ElementTree as ElementTree

from tests.system import wine


def main(argv):
    build_dir, expected = os.path.abspath(argv[1]), argv[2:]
    # Windows refuses to start a program whose manifest is not well-formed XML.
    try:
        ElementTree.parse(os.path.join(build_dir, "app.manifest"))
        print("ok   manifest: well-formed XML")
    except ElementTree.ParseError as error:
        print("FAIL manifest: not well-formed XML: %s" % error)
        return 1
    with wine.open_session(build_dir, "release") as session:
        rc, text = session.run(
            [os.path.join(build_dir, "tests", "release", "resource_readback.exe"),
             wine.windows_path(os.path.join(build_dir, "UpdateTool.exe"))] + expected,
            "resource-readback", timeout=120)
    sys.stdout.write(text)
    if rc is None:
        print("resource_readback timed out")
    return 0 if rc == 0 else 1


if __name__ == "__main__":
    raise SystemExit(main(sys.argv))
