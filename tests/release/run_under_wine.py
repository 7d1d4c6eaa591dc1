#!/usr/bin/env python3
"""Runs one Windows console program under Wine in a prefix of its own and passes on its exit code.

Usage: run_under_wine.py PREFIX PROGRAM.exe [ARG...]
Absolute host paths among the arguments are handed to the program as Z: paths.
"""
import os
import subprocess
import sys
import tempfile


def windows_path(arg):
    return "Z:" + arg.replace("/", "\\") if arg.startswith("/") else arg


def main(argv):
    prefix, program, args = argv[1], argv[2], argv[3:]
    env = dict(os.environ, WINEPREFIX=prefix, WINEARCH="win32", WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    env.pop("DISPLAY", None)
    os.makedirs(os.path.dirname(prefix), exist_ok=True)
    # Wine's background processes keep the first caller's stdout open: start the server
    # ourselves with no pipe of ours attached, and send the program's output to a file.
    subprocess.call(["wineserver", "-p"], env=env, stdin=subprocess.DEVNULL,
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    code = 1
    with tempfile.TemporaryFile() as out:
        try:
            code = subprocess.call(["wine", program] + [windows_path(a) for a in args], env=env,
                                   stdin=subprocess.DEVNULL, stdout=out, stderr=out, timeout=240)
        except subprocess.TimeoutExpired:
            print("timed out")
        out.seek(0)
        sys.stdout.write(out.read().decode("utf-8", "replace"))
    subprocess.call(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL, timeout=60)
    return code


if __name__ == "__main__":
    sys.exit(main(sys.argv))
