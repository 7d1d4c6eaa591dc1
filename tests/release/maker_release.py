#!/usr/bin/env python3
"""A maker's release in a scratch build: each bad input stops it with a message naming the
setting and its value, and leaves no zip; a real image, another printer model and a version give
a zip, signed and unsigned, whose tool delivers the image byte-exact under Wine to that printer.

Usage: maker_release.py SOURCE_DIR WORK_DIR SYSTEM_BUILD_DIR
"""
import glob
import hashlib
import os
import shutil
import subprocess
import sys
import zipfile

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "system"))
import printer  # noqa: E402
import scenarios  # noqa: E402

IMAGE, ID, VERSION, PKCS12 = ("UPDATE_TOOL_FIRMWARE_IMAGE", "UPDATE_TOOL_HARDWARE_ID",
                              "UPDATE_TOOL_FIRMWARE_VERSION", "UPDATE_TOOL_SIGN_PKCS12")
# A list separator, C string escapes and a trigraph: each must reach the executable unchanged.
MODEL_ID = 'USB\\VID_1A2B&PID_3C4D&MI_00;"\\??='
MODEL_VERSION = "2.31 (build 7) $HOME [a]&b'x"
PASSWORD = "pw-4f1c9e"
failures = []


def check(ok, what):
    print("%s %s" % ("ok  " if ok else "FAIL", what), flush=True)
    if not ok:
        failures.append(what)


def run(command, **options):
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, **options)
    return result.returncode, result.stdout.decode("utf-8", "replace")


def configure_and_release(source, build, settings, env=None):
    rc, out = run(["cmake", "-S", source, "-B", build, "-DCMAKE_BUILD_TYPE=MinSizeRel",
                   "-DCMAKE_TOOLCHAIN_FILE=%s/cmake/mingw-i686.cmake" % source] +
                  ["-D%s=%s" % item for item in settings.items()])
    release_rc, release_out = run(["cmake", "--build", build, "--target", "release"], env=env)
    return rc, release_rc, out + release_out


def main(argv):
    source, work, system_build = (os.path.abspath(a) for a in argv[1:4])
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    build = os.path.join(work, "build")
    path = lambda name: os.path.join(work, name)  # noqa: E731
    image = path("firmware.bin")
    with open(image, "wb") as f:
        f.write(b"".join(hashlib.sha256(b"model %d" % i).digest() for i in range(9000)) + b"end")
    open(path("empty.bin"), "wb").close()
    with open(path("big.bin"), "wb") as f:
        f.truncate(64 * 1024 * 1024 + 1)
    run([sys.executable, os.path.join(source, "scripts", "make_test_image.py"), path("copy.bin")])
    good = {IMAGE: image, ID: MODEL_ID, VERSION: MODEL_VERSION, PKCS12: ""}

    # (setting, value, words of the message; None: configures, and the release refuses it)
    rows = [(IMAGE, "", None), (IMAGE, path("copy.bin"), None),
            (IMAGE, path("absent.bin"), "no such file"), (IMAGE, path("empty.bin"), "is empty"),
            (IMAGE, work, "not a regular file"), (IMAGE, path("big.bin"), "at most 67108864"),
            (ID, "USB\\VID_7A3G&PID_5E21", "four hexadecimal"),
            (ID, "USB\\VID_7A3&PID_5E21&MI_01", "four hexadecimal"),
            (ID, "HID\\VID_7A3D&PID_5E21", "four hexadecimal"),
            (ID, "USB\\VID_7A3D&PID_5E21 X", "without spaces"),
            (ID, "USB\\VID_7A3D&PID_5E21&\u00e9", "ASCII"),
            (ID, "USB\\VID_7A3D&PID_5E21&" + "M" * 106, "at most 127"),
            (VERSION, "", "1 to 64"), (VERSION, "2.1/b", "none of"), (VERSION, "2.1 100%", "none of"),
            (VERSION, "2.1\tb", "printable ASCII"), (VERSION, "2.1.", "no dot at the end"),
            (PKCS12, path("absent.p12"), "no such file")]
    for setting, value, words in rows:
        rc, release_rc, out = configure_and_release(source, build, dict(good, **{setting: value}))
        if words is None:
            ok = rc == 0 and "generated test image" in out and IMAGE in out.split("No release")[-1]
        else:
            # CMake wraps long messages at spaces.
            flat = " ".join(out.split())
            ok = rc != 0 and " ".join(('%s is "%s"' % (setting, value)).split()) in flat and \
                words in flat
        zips = glob.glob(os.path.join(build, "*.zip"))
        check(ok and release_rc != 0 and not zips, "%s=%r refused, no zip" % (setting, value))
        if not ok:
            print(out[-1500:])

    # A throwaway certificate, its password only in the environment of the build.
    rc, out = run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                   "-subj", "/CN=Throwaway Signer", "-keyout", path("key.pem"), "-out",
                   path("cert.pem")])
    rc2, out2 = run(["openssl", "pkcs12", "-export", "-inkey", path("key.pem"), "-in",
                     path("cert.pem"), "-out", path("cert.p12"), "-passout", "env:PW"],
                    env=dict(os.environ, PW=PASSWORD))
    env = dict(os.environ, UPDATE_TOOL_SIGN_PASSWORD=PASSWORD)
    zip_path = os.path.join(build, "UpdateTool-%s.zip" % MODEL_VERSION)
    unsigned = os.path.join(build, "UpdateTool.exe")
    for cert in (path("cert.p12"), ""):
        rc, release_rc, out = configure_and_release(source, build, dict(good, **{PKCS12: cert}),
                                                    env)
        check(rc == rc2 == release_rc == 0 and os.path.exists(zip_path),
              "release %s" % ("signed" if cert else "unsigned") + ("" if release_rc == 0 else out))
        with zipfile.ZipFile(zip_path) as z:
            shipped = z.read("UpdateTool.exe")
            sums = z.read("SHA256SUMS").decode()
        check(hashlib.sha256(shipped).hexdigest() + "  UpdateTool.exe" in sums, "SHA256SUMS")
        with open(unsigned, "rb") as f:
            check((shipped != f.read()) == bool(cert), "the zip carries the %s executable" %
                  ("signed" if cert else "unsigned"))
        check(PASSWORD not in out and not any(
            PASSWORD.encode() in open(p, "rb").read() for p in glob.glob(build + "/**/*.*",
                                                                      recursive=True)
            if os.path.isfile(p)), "the password is in no output and no file")
        if cert:
            signed = os.path.join(build, "signed", "UpdateTool.exe")
            rc, out = run(["osslsigncode", "verify", "-CAfile", path("cert.pem"), "-in", signed])
            check(rc == 0, "osslsigncode verify" + ("" if rc == 0 else out))
            run(["osslsigncode", "remove-signature", "-in", signed, "-out", path("stripped.exe")])
            check(open(path("stripped.exe"), "rb").read() == open(unsigned, "rb").read(),
                  "the signed executable less its signature is the unsigned one")
            model = printer.Device(printer.TARGET.instance.split("\\")[1],
                                   printer.TARGET.instance.split("\\")[2],
                                   ["USB\\VID_1A2B&PID_3C4D&REV_0200", MODEL_ID])
            check(scenarios.run_group(system_build, "transfer", "transfer_byte_exact",
                                      exe=signed, image=image, target=model) == 0,
                  "the signed tool delivers the image to a printer of its model")
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
