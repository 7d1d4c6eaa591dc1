"""Runs UpdateTool.exe under Wine against a simulated printer and reports what the printer got.

Usage: python3 -m tests.system.run_tool --build-dir build/windows [--lang en|ja]
With DISPLAY set, the tool opens on that display and the user clicks; otherwise it runs on a
private Xvfb screen, screenshots are saved, and Transfer and Exit are clicked for the user.
"""
import argparse
import hashlib
import os
import time

from tests.system import printer, wine


def events_of(proc):
    with open(proc.log_path, encoding="utf-8", errors="replace") as f:
        return wine.parse_events(f.read())


def report(expected, received):
    ok = expected == received
    print("printer received %d bytes, sha256 %s" % (len(received),
                                                     hashlib.sha256(received).hexdigest()))
    print("expected         %d bytes, sha256 %s (24-byte header + embedded image)" %
          (len(expected), hashlib.sha256(expected).hexdigest()))
    if not ok:
        print(printer.first_difference(expected, received))
    print("RESULT: %s" % ("the printer received exactly the header and the embedded image" if ok
                          else "MISMATCH: the printer did not receive the embedded image"))
    return ok


def run(build_dir, lang, display):
    shots = os.path.join(build_dir, "screenshots")
    exe = os.path.join(build_dir, "UpdateTool.exe")
    printer.use_model(build_dir)
    expected = printer.expected_stream(printer.embedded_image(build_dir), build_dir)
    os.makedirs(shots, exist_ok=True)
    rx = None
    with wine.open_session(build_dir, "run", lang=lang, screen=not display,
                           display=display) as session:
        logs = session.log_dir
        try:
            printers = printer.Printers(session)
            printers.remove_all()
            # Read at about 1 MB/s so the progress dialog stays up long enough to be seen.
            rx = printer.Receiver(logs, "printer", rate=1_000_000)
            printers.plug(printer.TARGET, rx.path)
            print("Simulated printer plugged in: %s -> %s" % (printer.TARGET.device_path,
                                                                rx.path), flush=True)
            tool = session.start_tool(exe)
            if display:
                print("UpdateTool.exe is open on %s: click Transfer, then Exit." % display,
                      flush=True)
                rc = wine.wait_exit(tool, 3600)
            else:
                rc = _drive(session, rx, len(expected), shots)
                rc = wine.wait_exit(tool, 30) if rc == 0 else None
            print("UpdateTool.exe ended with exit code %s" % rc)
            time.sleep(0.3)
            with rx.lock:
                received = bytes(rx.data)
            ok = report(expected, received)
        finally:
            if rx:
                rx.close()
    if not display:
        print("Screenshots: %s" % shots)
    print("Logs: %s" % logs)
    return 0 if ok and rc == 0 else 1


def _drive(session, rx, total, shots):
    """Clicks through one update as a user would, saving a screenshot of each state."""
    rc, events = session.driver("wait", "--timeout", "30000", timeout=60)
    first = [e for e in events if e.get("event") == "update"]
    if rc != 0 or not first:
        print("The update dialog did not appear (see the logs).")
        return 1
    print("First dialog: %r" % first[-1]["message"].split("\n")[0])
    _shot(session, os.path.join(shots, "run-first-dialog.png"))
    drv = session.start_driver("transfer", "--timeout", "120000")
    if rx.wait_for(total // 2, 60):
        rx.pause()
        _shot(session, os.path.join(shots, "run-progress.png"))
        rx.resume()
    if wine.wait_exit(drv, 150) != 0:
        print("The transfer did not reach a final state (see the logs).")
        return 1
    final = [e for e in events_of(drv) if e.get("event") == "update"][-1]
    summary = [e for e in events_of(drv) if e.get("event") == "summary"][-1]
    print("After Transfer (%.0f ms): %r" % (summary["ms"], final["message"]))
    _shot(session, os.path.join(shots, "run-final-dialog.png"))
    rc, _ = session.driver("click", "exit", "--timeout", "30000", timeout=60)
    return rc


def _shot(session, path):
    error = wine.take_screenshot(session.display, path)
    print(("Screenshot saved: %s" % path) if error is None else ("Screenshot failed: " + error))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--lang", choices=("en", "ja"), default="en")
    args = parser.parse_args()
    return run(os.path.abspath(args.build_dir), args.lang, os.environ.get("DISPLAY"))


if __name__ == "__main__":
    raise SystemExit(main())
