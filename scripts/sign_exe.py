#!/usr/bin/env python3
"""Signs UpdateTool.exe with Authenticode (SHA-256) by osslsigncode, into a new file.

Usage: sign_exe.py OSSLSIGNCODE CERT.p12 TIMESTAMP_URL|"" INPUT.exe OUTPUT.exe
The certificate's password comes from the environment variable UPDATE_TOOL_SIGN_PASSWORD and
reaches osslsigncode through a pipe, so it is never on a command line, in a file or in a log.
The input stays unsigned: stripping the signature from the output gives it back, so anyone can
check that a signed release was built from the source.
"""
import os
import subprocess
import sys

PASSWORD_VARIABLE = "UPDATE_TOOL_SIGN_PASSWORD"


def main(argv):
    if len(argv) != 6:
        sys.stderr.write(__doc__)
        return 2
    tool, pkcs12, timestamp_url, source, output = argv[1:]
    password = os.environ.get(PASSWORD_VARIABLE)
    if password is None:
        sys.stderr.write("%s is not set: the password of %s is read from it (set it to an empty "
                         "text for a certificate without one)\n" % (PASSWORD_VARIABLE, pkcs12))
        return 1
    command = [tool, "sign", "-pkcs12", pkcs12, "-h", "sha256", "-n", "Update Tool"]
    # A pipe named as a file: every osslsigncode reads -readpass from a path, only newer ones
    # from standard input. The password fits the pipe's buffer, so writing it cannot block.
    # osslsigncode refuses an empty password file: a certificate without one gets no -readpass.
    reader, writer = os.pipe()
    os.write(writer, password.encode("utf-8"))
    os.close(writer)
    if password:
        command += ["-readpass", "/dev/fd/%d" % reader]
    if timestamp_url:
        command += ["-ts", timestamp_url]
    partial = output + ".part"
    if os.path.exists(partial):
        os.remove(partial)
    command += ["-in", source, "-out", partial]
    result = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, pass_fds=(reader,))
    os.close(reader)
    if result.returncode != 0:
        sys.stderr.write(result.stdout.decode("utf-8", "replace"))
        sys.stderr.write("Signing %s with %s failed: see osslsigncode's words above (a wrong "
                         "%s, or a timestamp server out of reach?)\n" %
                         (source, pkcs12, PASSWORD_VARIABLE))
        if os.path.exists(partial):
            os.remove(partial)
        return 1
    os.replace(partial, output)
    print("Signed %s with %s%s" % (output, pkcs12,
                                   ", timestamped by " + timestamp_url if timestamp_url else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
