"""A maker's release in a scratch build: bad inputs refused, a real one signed and delivered.

Usage: python3 -m tests.release.maker_release SOURCE_DIR WORK_DIR SYSTEM_BUILD_DIR
"""
import glob
import hashlib
import os
import re
import shutil
import subprocess
import sys
import zipfile

from tests.system import printer, scenarios, wine

IMAGE, ID, VERSION, PKCS12 = ("UPDATE_TOOL_FIRMWARE_IMAGE", "UPDATE_TOOL_HARDWARE_ID",
                              "UPDATE_TOOL_FIRMWARE_VERSION", "UPDATE_TOOL_SIGN_PKCS12")
# A list separator, C string escapes and a trigraph: each must reach the executable unchanged.
MODEL_ID = 'USB\\VID_1A2B&PID_3C4D&MI_00;"\\??='
MODEL_VERSION = "2.31 (build 7) $HOME [a]&b'x"
PASSWORD = "pw-4f1c9e"
failures = []


def check(ok, what, detail=""):
    print("%s %s" % ("ok  " if ok else "FAIL", what) + ("" if ok else "\n" + detail[-1500:]))
    failures.extend([] if ok else [what])


def run(command, env=None):
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env)
    return result.returncode, result.stdout.decode("utf-8", "replace")


def main(argv):
    source, work, system_build = (os.path.abspath(a) for a in argv[1:4])
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    build, path = os.path.join(work, "build"), lambda name: os.path.join(work, name)
    image = path("firmware.bin")
    with open(image, "wb") as f:
        f.write(b"".join(hashlib.sha256(b"model %d" % i).digest() for i in range(9000)) + b"end")
    open(path("big.bin"), "wb").truncate(64 * 1024 * 1024 + 1)
    open(path("empty.bin"), "wb").close()
    run([sys.executable, os.path.join(source, "scripts", "make_test_image.py"), path("copy.bin")])
    good = {IMAGE: image, ID: MODEL_ID, VERSION: MODEL_VERSION, PKCS12: ""}

    # -U: a printer-model setting given with -D stays in the cache, refused, until removed.
    def configure(build_dir, toolchain, settings, tree=source):
        return run(["cmake", "-S", tree, "-B", build_dir, "-DCMAKE_BUILD_TYPE=MinSizeRel",
                    "-DCMAKE_TOOLCHAIN_FILE=%s/cmake/%s.cmake" % (source, toolchain),
                    "-U", "UPDATE_TOOL_*"] +
                   ["-D%s=%s" % item for item in dict(good, **settings).items()])

    def release(settings, env=None):
        rc, out = configure(build, "mingw-i686", settings)
        release_rc, release_out = run(["cmake", "--build", build, "--target", "release"], env)
        return rc, release_rc, out + release_out

    # (setting, value, words of the message; None: it configures, and the release refuses it)
    for setting, value, words in [
            (IMAGE, "", None), (IMAGE, path("copy.bin"), None),
            (IMAGE, path("absent.bin"), "no such file"), (IMAGE, path("empty.bin"), "is empty"),
            (IMAGE, work, "not a regular file"), (IMAGE, path("big.bin"), "at most 67108864"),
            (ID, "USB\\VID_7A3G&PID_5E21", "four hexadecimal"),
            (ID, "USB\\VID_7A3&PID_5E21&MI_01", "four hexadecimal"),
            *[(ID, "USB\\VID_%s&PID_%s" % ids, "four hexadecimal") for ids in [
                ("GA3D", "5E21"), ("7Z3D", "5E21"), ("7A.D", "5E21"),
                ("7A3D", "XE21"), ("7A3D", "5_21"), ("7A3D", "5Eg1")]],
            (ID, "HID\\VID_7A3D&PID_5E21", "four hexadecimal"),
            (ID, "USB\\VID_7A3D&PID_5E21 X", "without spaces"),
            (ID, "USB\\VID_7A3D&PID_5E21&\u00e9", "ASCII"),
            (ID, "USB\\VID_7A3D&PID_5E21&" + "M" * 106, "at most 127"),
            (VERSION, "", "1 to 64"), (VERSION, "2.1/b", "none of"),
            (VERSION, "2.1 100%", "none of"), (VERSION, "2.1\tb", "printable ASCII"),
            (VERSION, "2.1.", "no dot at the end"),
            (PKCS12, path("absent.p12"), "no such file"),
            *[("UPDATE_TOOL_FIRMWARE_REVISION", value, "four hexadecimal digits")
              for value in ["023", "0x23", "02G1", "12345"]],
            *[("UPDATE_TOOL_RESTART_SECONDS", value, "from 1 to 3600")
              for value in ["0", "3601", "18O", ""]],
            *[(setting, value, "model block of cmake/BuildInputs.cmake") for setting, value in
              [("UPDATE_TOOL_CHUNK_SIZE", "100"), ("UPDATE_TOOL_SEND_MODE", "BOGUS")]]]:
        rc, release_rc, out = release({setting: value})
        flat = " ".join(out.split())  # CMake wraps long messages at spaces
        if words is None:
            ok = rc == 0 and IMAGE in out.split("No release: ")[-1]
        else:
            said = " ".join(('%s is "%s"' % (setting, value)).split())
            ok = rc and said in flat and words in flat
        check(ok and release_rc and not glob.glob(build + "/*.zip"),
              "%s=%r refused, no zip" % (setting, value), out)

    # A throwaway certificate; its password only in the environment of the build.
    run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
         "/CN=Throwaway Signer", "-keyout", path("key.pem"), "-out", path("cert.pem")])
    run(["openssl", "pkcs12", "-export", "-inkey", path("key.pem"), "-in", path("cert.pem"),
         "-out", path("cert.p12"), "-passout", "env:PW"], dict(os.environ, PW=PASSWORD))
    unsigned, signed = os.path.join(build, "UpdateTool.exe"), path("build/signed/UpdateTool.exe")
    for cert in (path("cert.p12"), ""):
        kind = "signed" if cert else "unsigned"
        rc, release_rc, out = release({PKCS12: cert},
                                      dict(os.environ, UPDATE_TOOL_SIGN_PASSWORD=PASSWORD))
        check(rc == release_rc == 0, "release " + kind, out)
        with zipfile.ZipFile(os.path.join(build, "UpdateTool-%s.zip" % MODEL_VERSION)) as z:
            shipped, sums = z.read("UpdateTool.exe"), z.read("SHA256SUMS").decode()
            names = z.namelist()
        check(names == ["UpdateTool.exe", "README-en.txt", "README-ja.txt", "DEPLOYMENT-en.txt",
                        "SHA256SUMS"],
              "the %s zip holds the tool, the read-mes and the sums" % kind, repr(names))
        check(hashlib.sha256(shipped).hexdigest() + "  UpdateTool.exe" in sums and
              shipped == open(signed if cert else unsigned, "rb").read(),
              "the zip carries the %s executable and its checksum" % kind)
        files = [p for p in glob.glob(build + "/**", recursive=True) if os.path.isfile(p)]
        check(PASSWORD not in out and not any(PASSWORD.encode() in open(p, "rb").read()
                                              for p in files), "the password is nowhere")
    rc, out = run([sys.executable, os.path.join(source, "tests/release/check_built_layout.py"),
                   "version", "i686-w64-mingw32-windres", unsigned, MODEL_VERSION])
    check(rc == 0, "both languages' product version is the firmware version", out)
    # A stand-in for osslsigncode that records its command line and the -readpass file's text.
    stand_in = path("recording-osslsigncode")
    with open(stand_in, "w") as f:
        f.write("#!%s\nimport shutil, sys\na = sys.argv\nopen(a[0] + '.log', 'w').write(repr(a) + "
                "'\\n' + open(a[a.index('-readpass') + 1]).read())\n"
                "shutil.copy(a[a.index('-in') + 1], a[a.index('-out') + 1])\n" % sys.executable)
    os.chmod(stand_in, 0o755)
    rc, out = run([sys.executable, os.path.join(source, "scripts", "sign_exe.py"), stand_in,
                   path("cert.p12"), "", unsigned, path("stand-in.exe")],
                  dict(os.environ, UPDATE_TOOL_SIGN_PASSWORD=PASSWORD))
    argv, passed = (open(stand_in + ".log").read() if rc == 0 else "\n").split("\n", 1)
    check(rc == 0 and passed == PASSWORD and PASSWORD not in argv,
          "the password reaches osslsigncode through -readpass only", out + argv + passed)
    # A configure refused after a good release takes the earlier zip with it.
    rc, release_rc, out = release({IMAGE: path("empty.bin")})
    check(rc and release_rc and not glob.glob(build + "/*.zip"), "no zip after a refused configure",
          out)
    rc, out = run(["osslsigncode", "verify", "-CAfile", path("cert.pem"), "-in", signed])
    check(rc == 0, "osslsigncode verify", out)
    run(["osslsigncode", "remove-signature", "-in", signed, "-out", path("stripped.exe")])
    tool = open(unsigned, "rb").read()
    check(open(path("stripped.exe"), "rb").read() == tool,
          "the signed executable less its signature is the unsigned one")
    check(MODEL_VERSION.encode("utf-16-le") in tool, "the version text is in the version resource")
    # Declared where the usual printer is, so that every scenario's clean-up removes it.
    printer.use_model(system_build)
    model = printer.Device(*printer.TARGET.instance.split("\\")[1:],
                           ["USB\\VID_1A2B&PID_3C4D&REV_0200", MODEL_ID])
    delivered, what = signed, "the signed tool"
    if wine.build_arch(system_build) == "win64":
        # This machine runs no 32-bit code: the 64-bit build of the same maker inputs delivers.
        rc, out = configure(path("build-x64"), "mingw-x86_64", {})
        rc = rc or run(["cmake", "--build", path("build-x64"), "--target", "UpdateTool"])[0]
        check(rc == 0, "the 64-bit build of the maker's inputs", out)
        delivered, what = path("build-x64/UpdateTool.exe"), "the 64-bit build of the same inputs"
    check(scenarios.run_group(system_build, "transfer", "transfer_byte_exact", name="maker",
                              exe=delivered, image=image, target=model) == 0,
          "%s delivers the image to a printer of its model" % what)
    # The model block edited in a copy of the source: refused by name, or (None) a model without
    # a header that builds and sends the bare image.
    tree, block = path("source"), open(os.path.join(source, "cmake", "BuildInputs.cmake")).read()
    shutil.copytree(source, tree, ignore=shutil.ignore_patterns("build", ".git"))
    toolchain = "mingw-x86_64" if wine.build_arch(system_build) == "win64" else "mingw-i686"
    for setting, value, words in [("HEADER_LENGTH_AT", "020", "in decimal"),
                                  ("SEND_MODE", "SEND_VENDOR_COMMAND", "only the first 3 bytes"),
                                  ("HEADER|HEADER_LENGTH_AT", '""', None)]:
        open(os.path.join(tree, "cmake", "BuildInputs.cmake"), "w").write(re.sub(
            r"^set\((UPDATE_TOOL_(%s))\s[^)]*\)" % setting, r"set(\1 %s)" % value, block, 0, re.M))
        rc, out = configure(path("build-model"), toolchain, {}, tree)
        flat = " ".join(out.split())
        if words:
            ok = rc and 'UPDATE_TOOL_%s is "%s"' % (setting, value) in flat and words in flat
        else:
            rc = rc or run(["cmake", "--build", path("build-model"), "--target", "UpdateTool"])[0]
            ok = rc == 0 and scenarios.run_group(
                system_build, "transfer", "transfer_byte_exact", name="headerless", image=image,
                exe=path("build-model/UpdateTool.exe"), target=model,
                stream=open(image, "rb").read()) == 0
        check(ok, "UPDATE_TOOL_%s %s in the model block" % (setting, value), out)
    # The default inputs with a firmware revision: the printer that has it, the one that comes back
    # with it after the stream and the one that does not, in English and Japanese.
    revision = {IMAGE: "", ID: printer.build_model(system_build)["hardware_id"], VERSION: "test",
                "UPDATE_TOOL_FIRMWARE_REVISION": scenarios.REVISION,
                "UPDATE_TOOL_RESTART_SECONDS": scenarios.RESTART_SECONDS}
    rc, out = configure(path("build-revision"), toolchain, revision)
    rc = rc or run(["cmake", "--build", path("build-revision"), "--target", "UpdateTool"])[0]
    check(rc == 0 and not sum(scenarios.run_group(system_build, group, revision=scenarios.REVISION,
                                                  exe=path("build-revision/UpdateTool.exe"))
                              for group in scenarios.REVISION_GROUPS),
          "the default inputs with the revision %s under Wine" % scenarios.REVISION, out)
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    raise SystemExit(main(sys.argv))
