"""System scenarios: the real UpdateTool.exe under Wine, driven by ud_driver.exe, writing to
simulated printers whose receivers record every byte.

Usage: python3 -m tests.system.scenarios --build-dir build/windows --group NAME [--scenario NAME]
       python3 -m tests.system.scenarios --build-dir build/windows --create-prefix
Each group runs in one Wine session (one wineserver, one language); the prefix under the build
tree is created once per test run by --create-prefix and reused by every group.
"""
import argparse
import os
import re
import shutil
import subprocess
import time
import traceback

from tests.system import printer, wine
from tests.system.printer import NEXT, OTHER, STALE, TARGET, TWIN
from tests.system.tool import (DIALOG_TIMEOUT, RELAY_ENV, SOURCE_DIR, TRANSFER_TIMEOUT, Context,
                               Failure,
                               check, click, driver_events, exit_tool, expect_escape_ignored,
                               expect_exit, expect_received, expect_state, follow_transfer, last,
                               launch, log_text, set_relay, start_tool, transfer, wait_dialog,
                               within)


def expect_progress_seen(ctx, events):
    progress = last(events, "progress")
    check(progress is not None, "the progress dialog never appeared: %s" % events)
    s = ctx.strings
    check(progress["caption"] == s["IDS_TITLE"],
          "progress caption %r, expected %r" % (progress["caption"], s["IDS_TITLE"]))
    check(progress["text"] == s["IDS_TRANSFERRING"],
          "progress text %r, expected %r" % (progress["text"], s["IDS_TRANSFERRING"]))
    check(progress["centred"], "progress dialog not centred: %r on %r" %
          (progress["rect"], progress["screen"]))
    check(progress["frameVisible"], "the progress frame is not visible")
    summary = last(events, "summary")
    check(summary["progressGone"] and last(events, "progress-still-open") is None,
          "the progress dialog was still open when the next dialog came")
    check(summary["progressDialogs"] == 1, "%d progress dialogs at once" %
          summary["progressDialogs"])
    # The frame's text carries the bar's percentage for screen readers: it must be there,
    # climb, and stay within 0 to 100.
    percents = summary["percents"]
    check(len(percents) > 0, "no percentage was readable from the progress frame")
    check(percents == sorted(percents) and all(0 <= p <= 100 for p in percents),
          "percentages seen in the progress frame: %s" % percents)
    return progress


def run_log(ctx, name):
    """A fresh place for a run's log, in a folder whose name has a blank: (host, Windows) path."""
    path = os.path.join(ctx.session.log_dir, "deploy logs", name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    return path, wine.windows_path(path)


def expect_log(ctx, path, *patterns):
    """The run's log: timed lines, the first naming both versions, the model and Windows, then
    lines matching patterns in order, the last one last; its text."""
    model = printer.build_model(ctx.build_dir)
    start = r"start: tool %s, firmware %s, %s, Windows \d+\.\d+\.\d+ " % tuple(
        re.escape(v) for v in model["versions"] + (model["hardware_id"],))
    text = open(path, encoding="latin-1").read()
    timed = r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} "
    check(re.fullmatch(timed + start + "".join(r".*\n(%s.*\n)*?%s" % (timed, timed) + p
                                               for p in patterns) + r".*\n", text),
          "the log does not read %s then %s: %s" % (start, patterns, text))
    return text


# -- Wine relay traces of the tool's own calls ----------------------------------------------

# Every text the program gives a window, in order. The frame's last percentage lives for
# microseconds before the dialog closes, too short for the driver to poll.
TEXT_TRACE_ENV = {"WINEDEBUG": "trace+win"}


def traced_percents(log_path):
    """The percentages among the window texts of a program started with TEXT_TRACE_ENV."""
    with open(log_path, encoding="utf-8", errors="replace") as f:
        return [int(p) for p in re.findall(r'set_window_text L"(\d+)%', f.read())]


def device_handle_events(log_path, device_path):
    """The tool's opens of device_path and closes of what they returned, in order:
    [("open", handle), ("close", handle), ...] from a relay trace."""
    events = []
    opened = set()
    pending = False
    quoted = '"%s"' % device_path.replace("\\", "\\\\")
    with open(log_path, encoding="utf-8", errors="replace") as f:
        for line in f:
            if "Call KERNEL32.CreateFileA(" in line:
                pending = quoted in line
            elif "Ret  KERNEL32.CreateFileA()" in line and pending:
                handle = line.split("retval=")[1].split()[0]
                opened.add(handle)
                events.append(("open", handle))
                pending = False
            elif "Call KERNEL32.CloseHandle(" in line:
                handle = line.split("CloseHandle(")[1].split(")")[0]
                if handle in opened:
                    opened.discard(handle)
                    events.append(("close", handle))
    return events


def expect_pairs_closed(events, pairs):
    """Each lookup opened the device twice and both handles were closed before the next
    lookup's opens and before the end."""
    check(len(events) == 4 * pairs, "device opens and closes: %s, expected %d lookups each "
          "opening twice and closing both" % (events, pairs))
    for n in range(pairs):
        group = events[4 * n:4 * n + 4]
        kinds = [kind for kind, _ in group]
        check(kinds == ["open", "open", "close", "close"] and
              {h for _, h in group[:2]} == {h for _, h in group[2:]},
              "lookup %d: %s, expected two opens then both closed" % (n + 1, group))


# -- scenarios: lookup and the update loop -------------------------------------------------

def not_found_flow(ctx):
    """Not found: texts, Retry brings the dialog back, a second start is refused, Exit ends
    with 0, and a later start runs normally."""
    ctx.printers.remove_all()
    proc, first = start_tool(ctx, "not_found")
    expect_escape_ignored(ctx, "not_found")
    click(ctx, "action")
    again = wait_dialog(ctx, "not_found", not_hwnd=first["hwnd"])
    check(again["hwnd"] != first["hwnd"], "Retry did not bring a new dialog")

    started = time.monotonic()
    rc, _ = ctx.session.run([ctx.exe], "second-instance", timeout=DIALOG_TIMEOUT)
    took = time.monotonic() - started
    check(rc == 0, "a second instance ended with %r, expected 0 at once" % rc)
    rc, events = ctx.session.driver("snapshot")
    snap = last(events, "snapshot")
    check(rc == 0 and snap, "the driver's snapshot failed (%s): %s" % (rc, events))
    check(snap["updateDialogs"] == 1 and last(events, "update")["hwnd"] == again["hwnd"],
          "a second instance changed the windows: %s" % events)
    ctx.note("second instance ended with 0 after %.2f s, no window of its own" % took)
    check(proc.poll() is None, "the first instance ended when the second started")
    expect_exit(ctx, "/quiet", 1618)
    # A copy in another folder (a deployment tool's cache beside a user's download) maps another
    # file, and is a second instance all the same: it would write to the same printer.
    copy = os.path.join(ctx.session.log_dir, "cached copy", "UpdateTool.exe")
    os.makedirs(os.path.dirname(copy), exist_ok=True)
    shutil.copy(ctx.exe, copy)
    runs = [ctx.session.run([copy] + args, "copy-instance", timeout=DIALOG_TIMEOUT)[0]
            for args in ([], ["/quiet"])]
    # Wine's own exit status keeps the code's low byte (1618 & 0xFF is 82).
    check(runs == [0, 1618 & 0xFF], "a copy in another folder ended with %s, expected 0 and 1618"
          % runs)

    exit_tool(ctx, proc)
    # A later start runs normally; with /log and the dialogs, Exit without sending ends with 1602.
    path, windows = run_log(ctx, "left.log")
    drv = launch(ctx, '/log "%s"' % windows, background=True)
    wait_dialog(ctx, "not_found")
    click(ctx, "exit")
    check(last(driver_events(drv, DIALOG_TIMEOUT), "exited")["exitCode"] == 1602, "Exit with /log")
    expect_log(ctx, path, "lookup: no printer", "result: left without sending, exit code 1602")
    expect_exit(ctx, "/quiet /wait 1", 2)
    usage = launch(ctx, "/?", answer=True)
    check(usage["exitCode"] == 0 and usage["box"] == ctx.strings["IDS_USAGE"], "/?: %s" % usage)


def ready_then_exit(ctx):
    """Started with the printer present: ready, and while it shows the looks for the printer
    open nothing; Exit closes the printer's handles; the near-miss printer listed first is
    never opened."""
    ctx.printers.remove_all()
    rx = ctx.receiver("target")
    other = ctx.receiver("other")
    ctx.printers.plug(OTHER, other.path)
    ctx.printers.plug(TARGET, rx.path)
    set_relay(ctx, ["CreateFileA", "CloseHandle"])
    try:
        proc = ctx.session.start_tool(ctx.exe, "tool-traced", extra_env=RELAY_ENV)
        wait_dialog(ctx, "ready")
        time.sleep(3)
        exit_tool(ctx, proc)
    finally:
        set_relay(ctx, None)
    expect_pairs_closed(device_handle_events(proc.log_path, TARGET.device_path), 1)
    check(rx.wait_writer_close(10), "the printer's handles were never closed")
    check(rx.count() == 0, "Exit from ready wrote %d bytes to the printer" % rx.count())
    check(not other.writer_closes and other.count() == 0,
          "the printer with a prefix-only hardware ID was opened")
    # Without setupapi (Windows 95 has none) the tool starts all the same and finds no printer.
    overrides = ctx.session.env["WINEDLLOVERRIDES"] + ";setupapi="
    proc = ctx.session.start_tool(ctx.exe, "no-setupapi", extra_env={"WINEDLLOVERRIDES": overrides})
    wait_dialog(ctx, "not_found")
    exit_tool(ctx, proc)


# Seconds from a printer plugged in or out (the registry change made) to the dialog showing it:
# one look a second, and a second more.
FOLLOW_LIMIT = within(1.0, 1.0)


def moves_to(ctx, state, change, click_at_once=False):
    """Watches the update dialog, makes the change, and expects the same window, where it was,
    to show state within FOLLOW_LIMIT with no click; the seconds it took. With click_at_once the
    action button is pressed the moment the change shows, as by a user who aimed at it before."""
    drv = ctx.session.start_driver("wait", "--changed", "--timeout", str(DIALOG_TIMEOUT * 1000),
                                   *(["--click"] if click_at_once else []))
    deadline = time.monotonic() + DIALOG_TIMEOUT
    while '"watching"' not in log_text(drv):
        check(drv.poll() is None and time.monotonic() < deadline,
              "the driver never watched the dialog: %s" % log_text(drv))
        time.sleep(0.02)
    change()
    changed = time.monotonic()
    while '"update"' not in log_text(drv) and drv.poll() is None:
        time.sleep(0.01)
    took = time.monotonic() - changed
    check(wine.wait_exit(drv, 10) == 0, "the dialog never left its state: %s" % log_text(drv))
    events = wine.parse_events(log_text(drv))
    check(not click_at_once or last(events, "closed"), "the click did not end the dialog")
    before, after = last(events, "watching"), last(events, "update")
    expect_state(ctx, after, state)
    check(after["hwnd"] == before["hwnd"] and after["rect"] == before["rect"],
          "%s came in another window or place: %s, then %s" % (state, before, after))
    check(took <= FOLLOW_LIMIT, "the dialog showed %s %.2f s after the change" % (state, took))
    if not click_at_once:
        time.sleep(1.2)  # read before the next click: one sooner is taken as aimed at the old state
    return took


def printer_comes_and_goes(ctx):
    """Absent: not found; plugged in, the same dialog shows ready with no click, and a click
    that lands as Retry turns into Transfer is the Retry aimed at: ready again, nothing sent;
    unplugged, not found; back, ready; Transfer then delivers the exact stream."""
    ctx.printers.remove_all()
    rx = ctx.receiver("target")
    ctx.printers.plug(OTHER, None)
    proc, first = start_tool(ctx, "not_found")
    took = [moves_to(ctx, "ready", lambda: ctx.printers.plug(TARGET, rx.path), True)]
    wait_dialog(ctx, "ready", not_hwnd=first["hwnd"])
    check(rx.count() == 0, "a click aimed at Retry sent %d bytes" % rx.count())
    took += [moves_to(ctx, "not_found", lambda: ctx.printers.unplug(TARGET))]
    # A double-click on Retry as the printer comes back: the first click's look finds it, and the
    # second lands on the Transfer that look brought, taken as the Retry it was aimed at.
    ctx.printers.plug(TARGET, rx.path)
    rc, events = ctx.session.driver("click", "action", "--again", "--timeout",
                                    str(DIALOG_TIMEOUT * 1000), timeout=DIALOG_TIMEOUT + 30)
    check(rc == 0 and last(events, "again"), "no dialog after the first click: %s" % events)
    expect_state(ctx, last(events, "again"), "ready")
    wait_dialog(ctx, "ready")
    check(rx.count() == 0, "a double-click on Retry sent %d bytes" % rx.count())
    ctx.note("double-click on Retry: the second click %.0f ms after the first, nothing sent" %
             last(events, "again")["ms"])
    moves_to(ctx, "not_found", lambda: ctx.printers.unplug(TARGET))
    took += [moves_to(ctx, "ready", lambda: ctx.printers.plug(TARGET, rx.path))]
    check(rx.writer_closes, "the handles on the printer that went were not closed")
    events = transfer(ctx)
    expect_state(ctx, last(events, "update"), "done")
    expect_received(ctx, rx)
    ctx.note("plugged in: ready after %.2f s; unplugged: not found after %.2f s; back: ready "
             "after %.2f s" % tuple(took))
    exit_tool(ctx, proc)


def several_printers(ctx):
    """A second printer of the model whose interface is not linked, and a printer whose IDs only
    come close, do not count: ready. The second one plugged in: the dialog says there are
    several, Retry says so again, and neither printer is written or held open. The first
    unplugged: ready by itself, and the update goes to the one left."""
    ctx.printers.remove_all()
    rx = ctx.receiver("target")
    twin = ctx.receiver("twin")
    ctx.printers.plug(OTHER, None)
    ctx.printers.plug_stale(TWIN)
    ctx.printers.plug(TARGET, rx.path)
    proc, _ = start_tool(ctx, "ready")
    took = [moves_to(ctx, "several", lambda: ctx.printers.plug(TWIN, twin.path))]
    check(rx.wait_writer_close(5), "the first printer was still held open with two there")
    before = click(ctx, "action")
    wait_dialog(ctx, "several", not_hwnd=before["hwnd"])
    check(rx.count() == 0 and twin.count() == 0 and not twin.writer_closes,
          "with two printers %d and %d bytes were written, the second opened %d times" %
          (rx.count(), twin.count(), len(twin.writer_closes)))
    took.append(moves_to(ctx, "ready", lambda: ctx.printers.unplug(TARGET)))
    # Plugged back and Transfer clicked before the dialog's next look: the click counts again.
    ctx.printers.plug(TARGET, rx.path)
    before = click(ctx, "action")
    wait_dialog(ctx, "several", not_hwnd=before["hwnd"])
    check(rx.count() == 0 and twin.count() == 0, "Transfer with two printers there wrote %d and "
          "%d bytes" % (rx.count(), twin.count()))
    moves_to(ctx, "ready", lambda: ctx.printers.unplug(TARGET))
    events = transfer(ctx)
    expect_state(ctx, last(events, "update"), "done")
    expect_received(ctx, twin)
    check(rx.count() == 0, "%d bytes reached the printer unplugged" % rx.count())
    ctx.note("second printer plugged in: several after %.2f s; first unplugged: ready after "
             "%.2f s; %d bytes to the one left" % (took[0], took[1], twin.count()))
    exit_tool(ctx, proc)


def own_interface_opened(ctx):
    """With a listed printer that has no present interface before the target, the target's
    own interface is opened, not the one at its position in the whole set (the next one's)."""
    ctx.printers.remove_all()
    rx = ctx.receiver("target")
    nxt = ctx.receiver("next")
    ctx.printers.plug_stale(STALE)
    ctx.printers.plug(OTHER, None)
    ctx.printers.plug(TARGET, rx.path)
    ctx.printers.plug(NEXT, nxt.path)
    proc, _ = start_tool(ctx, "ready")
    exit_tool(ctx, proc)
    opened = rx.wait_writer_close(10)
    check(not nxt.writer_closes, "the printer listed after the target was opened instead")
    check(opened, "the target printer was never opened")


def older_windows(ctx):
    """The ready state on the versions whose hardware-ID read differs (98, Me) and on 2000, XP;
    on 98 a whole transfer too, and one whose write fails part-way."""
    ctx.printers.remove_all()
    rx = ctx.receiver("target")
    ctx.printers.plug(OTHER, None)
    ctx.printers.plug(TARGET, rx.path)
    seen = []
    try:
        for version, expected in (("win98", (4, 10)), ("winme", (4, 90)), ("win2k", (5, 0)),
                                  ("winxp", (5, 1))):
            ctx.session.set_windows_version(version)
            rc, events = ctx.session.driver("devices")
            reported = last(events, "version")
            check((reported["major"], reported["minor"]) == expected,
                  "Wine reports %s as %r" % (version, reported))
            proc, _ = start_tool(ctx, "ready", "tool-" + version)
            if version == "win98":  # plain blocking writes there
                expect_state(ctx, last(transfer(ctx), "update"), "done")
                expect_received(ctx, rx)
            exit_tool(ctx, proc)
            seen.append("%s %d.%d" % (version, *expected))
        # A blocking write on 98 that fails part-way: the failed state, and Retry sends the
        # whole stream again from the header.
        ctx.session.set_windows_version("win98")
        unplugged_mid_image(ctx, back=True)
    finally:
        ctx.session.set_windows_version(None)
    ctx.note("ready on " + ", ".join(seen))


# -- scenarios: the transfer ---------------------------------------------------------------

def transfer_byte_exact(ctx):
    """Transfer to an unthrottled printer: header + image arrive exactly, done state with
    Exit only, Exit ends with 0."""
    ctx.printers.remove_all()
    rx = ctx.receiver("target")
    ctx.printers.plug(ctx.target, rx.path)
    proc, _ = start_tool(ctx, "ready")
    events = transfer(ctx, "--ping")
    expect_state(ctx, last(events, "update"), "done")
    expect_escape_ignored(ctx, "done")
    digest = expect_received(ctx, rx)
    # A printer that takes every piece at once leaves the wait no pause to notice messages in.
    pings = last(events, "pings")
    check(pings["unanswered"] == 0 and pings["longestMs"] < within(0, 200),
          "the progress dialog answered late while the printer took every piece: %s" % pings)
    ctx.note("click to done state %.0f ms; %d bytes, sha256 %s; WM_NULL answered within %.0f ms"
             % (last(events, "summary")["ms"], rx.count(), digest[:16], pings["longestMs"]))
    exit_tool(ctx, proc)


def progress_seen(ctx):
    """A throttled printer: the progress dialog shows the title and text, centred, and closes
    before the done state; the bytes still arrive exactly."""
    ctx.printers.remove_all()
    rx = ctx.receiver("target", rate=500_000)
    ctx.printers.plug(TARGET, rx.path)
    # Run from a folder of its own beside a planted oleacc.dll and setupapi.dll, as a download
    # folder may hold, which Wine is told to prefer to its own.
    folder = os.path.join(ctx.session.log_dir, "planted")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name in ("oleacc.dll", "setupapi.dll"):  # the one DLL, which marks any load
        shutil.copy(os.path.join(ctx.session.programs, "planted", "oleacc.dll"),
                    os.path.join(folder, name))
    overrides = ctx.session.env["WINEDLLOVERRIDES"] + ";oleacc,setupapi=n,b"
    proc = ctx.session.start_tool(shutil.copy(ctx.exe, folder), "tool-texts",
                                  extra_env=dict(TEXT_TRACE_ENV, WINEDLLOVERRIDES=overrides))
    wait_dialog(ctx, "ready")
    events = transfer(ctx, "--msaa")
    check(not os.path.exists(os.path.join(folder, "loaded.mark")),
          "an oleacc.dll or setupapi.dll planted beside the tool was loaded")
    expect_progress_seen(ctx, events)
    expect_state(ctx, last(events, "update"), "done")
    expect_received(ctx, rx)
    expect_read_as_progress_bar(ctx, events, rising=True)
    percents = last(events, "summary")["percents"]
    ctx.note("throttled transfer: progress up at %.0f ms, gone at %.0f ms, done at %.0f ms; "
             "percentages read from the frame's text: %s" %
             (last(events, "progress")["ms"], last(events, "progress-gone")["ms"],
              last(events, "summary")["ms"], percents or "none"))
    exit_tool(ctx, proc)
    written = traced_percents(proc.log_path)
    check(written and written == sorted(written) and written[-1] == 100 and
          set(percents) <= set(written),
          "percentages the tool wrote %s, the driver read %s: expected a climb to 100 that "
          "includes every one read" % (written, percents))


def header_refused(ctx):
    """A printer that refuses the first write (the header): failed state, no progress dialog.
    With /log the run ends with 1 after a Retry that finds no printer and Exit: its transfer's
    outcome, whatever the user did next."""
    ctx.printers.remove_all()
    ctx.printers.plug(TARGET, "/dev/full")
    path, windows = run_log(ctx, "refused.log")
    drv = launch(ctx, '/log "%s"' % windows, TRANSFER_TIMEOUT, background=True)
    wait_dialog(ctx, "ready")
    events = transfer(ctx)
    check(not last(events, "summary")["progressSeen"],
          "a progress dialog appeared although the header was refused")
    expect_state(ctx, last(events, "update"), "failed")
    ctx.printers.unplug(TARGET)
    click(ctx, "action")
    wait_dialog(ctx, "not_found")
    click(ctx, "exit")
    check(last(driver_events(drv, TRANSFER_TIMEOUT), "exited")["exitCode"] == 1, "Exit with /log")
    expect_log(ctx, path, "lookup: one printer", "lookup: no printer", "result: failed, exit code 1")
    ctx.printers.plug(TARGET, "/dev/full")
    expect_exit(ctx, "/quiet", 1)


def unplugged_mid_image(ctx, back):
    """The printer goes away after part of the image: the progress dialog closes and the
    failed state offers Retry, which looks again: with the printer back the whole transfer
    runs from the header, byte-exact; with it gone, not found."""
    ctx.printers.remove_all()
    cut = 24 + 40 * 4096 + 100
    pty = ctx.receiver("pty", kind="pty", stop_after=cut)
    ctx.printers.plug(TARGET, pty.path)
    set_relay(ctx, ["CreateFileA", "CloseHandle"])
    try:
        proc = ctx.session.start_tool(ctx.exe, "tool-traced", extra_env=RELAY_ENV)
        wait_dialog(ctx, "ready")  # the tool has read the trace settings by now
    finally:
        set_relay(ctx, None)
    events = transfer(ctx)
    summary = last(events, "summary")
    check(summary["progressSeen"] and summary["progressGone"],
          "the progress dialog did not come and go: %s" % summary)
    expect_state(ctx, last(events, "update"), "failed")
    check(pty.closed_at == cut, "the printer went away at %r, expected %d" % (pty.closed_at, cut))
    if back:
        rx = ctx.receiver("target")
        ctx.printers.plug(TARGET, rx.path)
        click(ctx, "action")
        wait_dialog(ctx, "ready")
        time.sleep(1.2)  # read before the click: one sooner is taken as the Retry that found it
        events = transfer(ctx)
        expect_state(ctx, last(events, "update"), "done")
        expect_received(ctx, rx)
    else:
        ctx.printers.unplug(TARGET)
        click(ctx, "action")
        wait_dialog(ctx, "not_found")
    exit_tool(ctx, proc)
    # Every click is a new lookup (Transfer's too): the handles on the printer that went away
    # are closed before it.
    expect_pairs_closed(device_handle_events(proc.log_path, TARGET.device_path),
                        4 if back else 2)


def unplugged_then_back(ctx):
    unplugged_mid_image(ctx, back=True)


def unplugged_then_gone(ctx):
    unplugged_mid_image(ctx, back=False)


def close_progress_mid_transfer(ctx):
    """A close message to the progress dialog after the first chunk destroys it; the transfer
    goes on to the end and arrives byte-exact."""
    ctx.printers.remove_all()
    rx = ctx.receiver("target", kind="pty", rate=400_000)
    ctx.printers.plug(TARGET, rx.path)
    proc, _ = start_tool(ctx, "ready")
    drv = ctx.session.start_driver("transfer", "--close-progress", "--timeout",
                                   str(TRANSFER_TIMEOUT * 1000))
    gone_at = None
    deadline = time.monotonic() + TRANSFER_TIMEOUT
    while drv.poll() is None and time.monotonic() < deadline:
        if gone_at is None:
            with open(drv.log_path, encoding="utf-8", errors="replace") as f:
                if '"progress-gone"' in f.read():
                    gone_at = rx.count()
        time.sleep(0.01)
    check(wine.wait_exit(drv, 10) == 0, "the driver did not see the transfer end")
    with open(drv.log_path, encoding="utf-8", errors="replace") as f:
        events = wine.parse_events(f.read())
    check(gone_at is not None, "the progress dialog did not go away: %s" % events)
    total = len(ctx.expected_stream())
    check(gone_at < total, "the progress dialog went only after the last byte")
    expect_state(ctx, last(events, "update"), "done")
    expect_received(ctx, rx)
    ctx.note("progress dialog closed after %d close messages, with %d of %d bytes received" %
             (last(events, "summary")["closesSent"], gone_at, total))
    exit_tool(ctx, proc)


# -- runs for deployment tools -------------------------------------------------------------

# Command lines that are not usable: each ends with 87 before anything is looked for.
BAD_LINES = ["/quiet /passive", "/check /quiet", "/quiet /wait 86401", "/passive /wait",
             "-Quiet extra", "quiet", "/log /quiet", "/quiet /wait -5",
             '/quiet /log "Z:\\no such folder\\u.log"']


def quiet_run_logged(ctx):
    """Unusable command lines end with 87, the printer neither opened nor written; /quiet with a
    log sends the exact stream with no window at any moment, ends with 0 and logs each step."""
    ctx.printers.remove_all()
    rx = ctx.receiver("target")
    ctx.printers.plug(TARGET, rx.path)
    for args in BAD_LINES:
        expect_exit(ctx, args, 87)
    check(rx.count() == 0 and not rx.writer_closes, "an unusable command line reached the printer")
    # A log that is a second name of another file is never written, nor the printer.
    path, windows = run_log(ctx, "planted.log")
    other = os.path.join(os.path.dirname(path), "other file")
    with open(other, "w") as f:
        f.write("kept\n")
    os.link(other, path)
    expect_exit(ctx, '/quiet /log "%s"' % windows, 87)
    check(open(other).read() == "kept\n" and rx.count() == 0, "a hard-linked log was written")
    path, windows = run_log(ctx, "quiet.log")
    ended = expect_exit(ctx, '-QUIET /Log "%s"' % windows, 0, timeout=TRANSFER_TIMEOUT)
    expect_received(ctx, rx)
    total = len(ctx.expected_stream())
    text = expect_log(ctx, path, "lookup: one printer", "sent %d of %d bytes" % (total, total),
                      "result: done, exit code 0")
    sent = [int(n) for n in re.findall(r" sent (\d+) of %d bytes$" % total, text, re.M)]
    check(len(sent) == 10 and sent == sorted(sent), "progress in the log: %s" % sent)
    ctx.note("/quiet: started to ended %.0f ms, %d samples of its windows, none visible" %
             (ended["ms"], ended["samples"]))


def unattended_lookups(ctx):
    """Two printers of the model: /quiet and /check end with 3, nothing opened or sent; one:
    /check ends with 0, nothing sent; /quiet /wait updates a printer plugged in 3 s after it
    started, and logs both looks."""
    ctx.printers.remove_all()
    rx, twin, late = ctx.receiver("target"), ctx.receiver("twin"), ctx.receiver("late")
    ctx.printers.plug_together((TARGET, rx.path), (TWIN, twin.path))
    expect_exit(ctx, "/quiet", 3)
    expect_exit(ctx, "/check", 3)
    check(not rx.writer_closes and not twin.writer_closes, "a printer was opened with two there")
    ctx.printers.unplug(TWIN)
    expect_exit(ctx, "/check", 0)
    check(rx.count() == twin.count() == 0 and rx.wait_writer_close(5),
          "/check wrote %d and %d bytes, closed %s" % (rx.count(), twin.count(), rx.writer_closes))
    ctx.printers.unplug(TARGET)
    path, windows = run_log(ctx, "wait.log")
    drv = launch(ctx, '/quiet /wait 20 /log "%s"' % windows, TRANSFER_TIMEOUT, background=True)
    time.sleep(3)
    ctx.printers.plug(TARGET, late.path)
    ended = expect_exit(ctx, "/wait", 0, last(driver_events(drv, TRANSFER_TIMEOUT), "exited"))
    expect_received(ctx, late)
    expect_log(ctx, path, "lookup: no printer", "lookup: one printer", "result: done, exit code 0")
    ctx.note("/quiet /wait 20, printer plugged in after 3 s: updated, ended after %.0f ms" %
             ended["ms"])


# -- the session waits for the transfer ----------------------------------------------------

GUARD_CALLS = ["ShutdownBlockReasonCreate", "SetThreadExecutionState", "ShutdownBlockReasonDestroy"]


def end_session(ctx):
    """wineboot's exit code after asking every program whether the session may end (0: it
    ended, and so did the programs that agreed)."""
    return ctx.session.run(["wineboot", "--end-session"], "end-session", timeout=60)[0]


def expect_guard_released(ctx, log_path):
    """From a relay trace of one transfer: the block reason registered and destroyed on the same
    window, the system held awake and its earlier state put back (a state without the continuous
    flag held nothing lasting, and is put back by clearing ours)."""
    with open(log_path, encoding="utf-8", errors="replace") as f:
        # Wine's own messages may come between a call and its return.
        calls = re.findall(r"Call \S+\.(%s)\(([^)]*)\).*\n(?:.*\n)*?.*Ret +\S+\.\1\(\) retval=(\w+)"
                           % "|".join(GUARD_CALLS), f.read())
    create, awake, destroy = GUARD_CALLS
    check([c[0] for c in calls] == [create, awake, awake, destroy], "guard calls: %s" % calls)
    window, reason = calls[0][1].split(",", 1)
    check(reason.endswith('L"%s"' % ctx.strings["IDS_SESSION_BLOCKED"]) and
          int(calls[3][1], 16) == int(window, 16),
          "block reason %s, destroyed as %s" % (calls[0], calls[3]))
    # The state is 32 bits: x64 passes it in a register whose upper half the trace also shows.
    requested, earlier, restored = (int(v, 16) & 0xFFFFFFFF for v in
                                    (calls[1][1], calls[1][2], calls[2][1]))
    check(requested == 0x80000001 and restored ==
          (earlier if earlier & 0x80000000 else 0x80000000), "wake state: %s" % calls[1:3])


def session_waits_for_transfer(ctx):
    """The end of the session is refused during a transfer, with the progress dialog up and
    after the user closed it, and the bytes still arrive exactly; in the ready and done states
    the session may end and the tool goes."""
    ctx.printers.remove_all()
    set_relay(ctx, GUARD_CALLS)
    try:
        for close in ([], ["--close-progress"]):
            rx = ctx.receiver("target%d" % len(close), kind="pty", rate=200_000)
            ctx.printers.plug(TARGET, rx.path)
            proc = ctx.session.start_tool(ctx.exe, "tool-traced", extra_env=RELAY_ENV)
            wait_dialog(ctx, "ready")
            drv = ctx.session.start_driver("transfer", "--timeout", "120000",
                                           *(close or ["--ask-end-session"]))
            deadline = time.monotonic() + DIALOG_TIMEOUT
            while rx.count() < 100_000 or close and '"progress-gone"' not in log_text(drv):
                check(time.monotonic() < deadline, "the transfer did not get under way")
                time.sleep(0.02)
            rc = end_session(ctx)
            check(rc != 0 and proc.poll() is None, "end of session mid-transfer%s: wineboot %s, "
                  "tool %s" % (" (dialog closed)" if close else "", rc, proc.poll()))
            check(wine.wait_exit(drv, TRANSFER_TIMEOUT) == 0, "the transfer did not end")
            events = wine.parse_events(log_text(drv))
            expect_state(ctx, last(events, "update"), "done")
            expect_received(ctx, rx)
            check(close or (last(events, "query-end-session") or {}).get("answer") == 0,
                  "the progress dialog's own answer to the end of the session: %s" %
                  last(events, "query-end-session"))
            if close:
                exit_tool(ctx, proc)
            else:
                check(end_session(ctx) == 0 and wine.wait_exit(proc, DIALOG_TIMEOUT) is not None,
                      "the session could not end in the done state")
            expect_guard_released(ctx, proc.log_path)
    finally:
        set_relay(ctx, None)
    proc, _ = start_tool(ctx, "ready", "tool-ready")
    check(end_session(ctx) == 0 and wine.wait_exit(proc, DIALOG_TIMEOUT) is not None,
          "the session could not end in the ready state")


def expect_read_as_progress_bar(ctx, events, rising):
    """An MSAA client in another process read a progress bar (role 48) named by the text line,
    valued by the drawn percentage (climbing, if rising), heard of the changes, and got failure
    from the object it held once the dialog had gone. The readings the dialog's end left whole.
    It found the bar's window and its parent, the dialog's window object, named by the caption;
    the bar is focusable, and focused while the dialog is in front."""
    found, after = last(events, "msaa-object"), last(events, "msaa-after")
    state = found.get("state", 0)
    check(found.get("window") and found.get("parentWindow") and
          found.get("parentName") == ctx.strings["IDS_TITLE"] and state & 0x100000 and
          bool(state & 0x4) == found["focus"], "MSAA: the bar's place %s" % found)
    read = [e for e in events if e["event"] == "msaa" and e["name"] and e["value"]]
    values = [int(e["value"][:-1]) for e in read if re.fullmatch(r"\d+%", e["value"])]
    check(found["hr"] == 0 and found["role"] == 48 and len(values) == len(read) > 0 and
          values == sorted(values) and (values[0] < values[-1] or not rising) and
          read[0]["name"] == ctx.strings["IDS_TRANSFERRING"] and after["hr"] < 0 and
          after["valueChanges"] > 0, "MSAA: %s, then %s; read %s" % (found, after, read))
    ctx.note("MSAA: role 48, values %s..%s, %d value and %d name events; the held object answers "
             "0x%08x after" % (read[0]["value"], read[-1]["value"], after["valueChanges"],
                               after["nameChanges"], after["hr"] & 0xFFFFFFFF))
    return read


def expect_pause_told(ctx, events, resumed):
    """The text line says the printer is busy 3 s into its pause, and the transfer's text is
    back once bytes move; a screen reader reads and hears the same."""
    moving, busy = ctx.strings["IDS_TRANSFERRING"], ctx.strings["IDS_PRINTER_BUSY"]
    lines = [e for e in events if e["event"] == "progress-text"]
    names = [e["name"] for e in expect_read_as_progress_bar(ctx, events, rising=False)]
    check([e["text"] for e in lines] == [moving, busy, moving][:2 + bool(resumed)] and
          2800 <= lines[1]["sinceFrameMs"] <= within(3000, 500) and busy in names and
          last(events, "msaa-after")["nameChanges"] == 1 + bool(resumed),
          "texts of the progress dialog: %s; MSAA names %r" % (lines, names))
    ctx.note("notice %.0f ms after the bar stopped" % lines[1]["sinceFrameMs"])


STALL_LIMIT = 90


def printer_holds(ctx, resume_after):
    """The printer takes no byte for resume_after seconds half-way (as while it erases its
    flash), or never again (None). The progress dialog answers WM_NULL throughout. After the
    pause the image arrives byte-exact; after a stop the tool gives up at the limit: the failed
    state, no progress dialog left, and Exit ends with 0."""
    ctx.printers.remove_all()
    # At 1 MB/s the printer is still taking the image when it stops; unthrottled, it could
    # have taken all of it first.
    rx = ctx.receiver("target", rate=1_000_000)
    ctx.printers.plug(TARGET, rx.path)
    proc, _ = start_tool(ctx, "ready")
    drv = follow_transfer(ctx, TRANSFER_TIMEOUT + STALL_LIMIT)
    check(rx.wait_for(len(ctx.expected_stream()) // 2, TRANSFER_TIMEOUT), "never half-way")
    rx.pause()
    held = rx.count()
    check(held < len(ctx.expected_stream()), "the printer took the whole image before it held")
    stopped = time.monotonic()
    if resume_after:
        time.sleep(resume_after)
        rx.resume()
    events = driver_events(drv, TRANSFER_TIMEOUT + STALL_LIMIT)
    took = time.monotonic() - stopped
    pings = last(events, "pings")
    check(pings["count"] > 0 and pings["unanswered"] == 0 and pings["hung"] == 0,
          "the progress dialog stopped answering: %s" % pings)
    expect_state(ctx, last(events, "update"), "done" if resume_after else "failed")
    expect_pause_told(ctx, events, resume_after)
    if resume_after:
        expect_received(ctx, rx)
    else:
        # The limit runs from the start of the write that stalled.
        check(STALL_LIMIT - 5 <= took <= STALL_LIMIT + 30, "gave up after %.1f s" % took)
        snap = last(ctx.session.driver("snapshot")[1], "snapshot")
        check(snap["progressDialogs"] == 0, "a progress dialog was left: %s" % snap)
    ctx.note("printer held at %d bytes; %s %.1f s later; %d WM_NULL answered, longest %.0f ms, "
             "longest without an answer %.0f ms" % (held, "done" if resume_after else
                                                    "failed", took, pings["count"],
                                                    pings["longestMs"], pings["longestSilenceMs"]))
    exit_tool(ctx, proc)


def printer_holds_header(ctx, seconds, shot=None):
    """The printer takes no byte of the header for seconds (as while it erases its flash for
    the length announced): within 3.5 s of the click the progress dialog is up with the busy
    notice over an empty bar (a screenshot named shot, on a screen), answering WM_NULL; once
    bytes move the transfer's text is back, and the bytes arrive exact."""
    ctx.printers.remove_all()
    rx = ctx.receiver("held-header", rate=1_000_000)
    ctx.printers.plug(TARGET, rx.path)
    proc, _ = start_tool(ctx, "ready", "tool-held-header")
    rx.hold_next_write()
    drv = follow_transfer(ctx, TRANSFER_TIMEOUT + seconds)
    held_from = time.monotonic()
    while '"progress-text"' not in log_text(drv) and time.monotonic() < held_from + seconds:
        time.sleep(0.05)
    if shot:
        screenshot(ctx, shot)
    time.sleep(max(0, held_from + seconds - time.monotonic()))
    check(rx.count() == 0, "the printer took %d bytes while it held the header" % rx.count())
    rx.resume()
    events = driver_events(drv, TRANSFER_TIMEOUT)
    moving, busy = ctx.strings["IDS_TRANSFERRING"], ctx.strings["IDS_PRINTER_BUSY"]
    up, lines = last(events, "progress"), [e for e in events if e["event"] == "progress-text"]
    told = next((e["ms"] for e in lines if e["text"] == busy), None)
    check(up and up["ms"] <= within(3000, 500) and up["frameText"] == "0% " and
          told is not None and told <= within(3000, 500) and lines[-1]["text"] == moving,
          "while the header was held: progress dialog %s; texts %s" % (up, lines))
    pings = last(events, "pings")
    check(pings["count"] > 0 and pings["unanswered"] == 0 and pings["hung"] == 0,
          "the progress dialog stopped answering: %s" % pings)
    expect_state(ctx, last(events, "update"), "done")
    expect_received(ctx, rx)
    ctx.note("header held %d s: progress dialog up %.0f ms and the notice read %.0f ms after the "
             "click, at %s; WM_NULL answered within %.0f ms" %
             (seconds, up["ms"], told, up["frameText"].strip(), pings["longestMs"]))
    exit_tool(ctx, proc)


def quiet_header_held(ctx):
    """/quiet while the printer holds the header for 6 s: no window at any moment, where the
    dialogs would show the busy notice; the log tells the pause; the stream arrives exact."""
    ctx.printers.remove_all()
    rx = ctx.receiver("held-header", rate=1_000_000)
    ctx.printers.plug(TARGET, rx.path)
    rx.hold_next_write()
    path, windows = run_log(ctx, "held.log")
    drv = launch(ctx, '/quiet /log "%s"' % windows, TRANSFER_TIMEOUT, background=True)
    time.sleep(6)
    check(rx.count() == 0, "the printer took %d bytes while it held the header" % rx.count())
    rx.resume()
    expect_exit(ctx, "/quiet", 0, last(driver_events(drv, TRANSFER_TIMEOUT), "exited"))
    expect_received(ctx, rx)
    text = expect_log(ctx, path, r"printer paused for \d+ ms after 0 bytes", "result: done")
    paused = int(re.search(r"paused for (\d+) ms", text).group(1))
    check(3500 <= paused <= 7000, "the log says the printer paused for %d ms" % paused)


def printer_pauses(ctx):
    printer_holds(ctx, 10)
    printer_holds_header(ctx, 10)


def printer_stops(ctx):
    printer_holds(ctx, None)


# -- measurements ------------------------------------------------------------------------

def measure(ctx):
    """Click-to-done time against an unthrottled printer, the same 400 writes by a plain loop
    without any window, and the number of progress repaints in one transfer."""
    ctx.printers.remove_all()
    timings = []
    for run in range(5):
        rx = ctx.receiver("timed%d" % run)
        ctx.printers.plug(TARGET, rx.path)
        proc, _ = start_tool(ctx, "ready", "tool-timed")
        events = transfer(ctx)
        expect_state(ctx, last(events, "update"), "done")
        expect_received(ctx, rx)
        timings.append(last(events, "summary")["ms"])
        exit_tool(ctx, proc)

    # A deployment tool's run, start to exit, against the same printer: within 0.5 s of the click
    # to done, though it also starts the process and looks for the printer.
    quiet = []
    for run in range(5):
        rx = ctx.receiver("quiet%d" % run)
        ctx.printers.plug(TARGET, rx.path)
        quiet.append(expect_exit(ctx, "/quiet", 0, timeout=TRANSFER_TIMEOUT)["ms"])
        expect_received(ctx, rx)
    median = lambda values: sorted(values)[len(values) // 2]  # noqa: E731
    check(median(quiet) <= median(timings) + within(0, 500),
          "/quiet took %s ms, the click to done %s ms" % (quiet, timings))

    raw = []
    for run in range(2):
        rx = ctx.receiver("raw%d" % run)
        ctx.printers.plug(TARGET, rx.path)
        result, wall = ctx.session.raw_write(TARGET.device_path, ctx.image, TRANSFER_TIMEOUT)
        expect_received(ctx, rx)
        raw.append((result["ms"], result["writes"], wall))

    # Repaints: every BeginPaint the tool calls on the progress dialog, from a relay trace.
    set_relay(ctx, ["user32.BeginPaint", "gdi32.BitBlt"])
    try:
        rx = ctx.receiver("traced")
        ctx.printers.plug(TARGET, rx.path)
        proc = ctx.session.start_tool(ctx.exe, "tool-relay", extra_env=RELAY_ENV)
        wait_dialog(ctx, "ready")
        events = transfer(ctx)
        expect_received(ctx, rx)
        exit_tool(ctx, proc)
    finally:
        set_relay(ctx, None)
    hwnd = int(last(events, "progress")["hwnd"], 16)
    paints = blits = 0
    with open(proc.log_path, encoding="utf-8", errors="replace") as f:
        for line in f:
            # Handles are printed at the word size's width, by the driver and by the trace.
            paint = re.search(r"Call user32\.BeginPaint\(([0-9a-f]+)", line, re.I)
            if paint and int(paint.group(1), 16) == hwnd:
                paints += 1
            elif "Call gdi32.BitBlt(" in line:
                blits += 1
    check(paints > 0, "no repaint of the progress dialog found in the relay trace")
    ctx.note("tool: click to done state %s ms (unthrottled FIFO; median %.0f ms)" %
             (", ".join("%.0f" % t for t in timings), sorted(timings)[len(timings) // 2]))
    ctx.note("/quiet: start to exit %s ms (median %.0f ms)" %
             (", ".join("%.0f" % t for t in quiet), median(quiet)))
    ctx.note("raw loop: %s" % "; ".join("%d writes in %.0f ms (wine call %.0f ms)" %
                                         (w, ms, wall) for ms, w, wall in raw))
    ctx.note("progress repaints in one transfer: %d BeginPaint on the progress dialog, "
             "%d BitBlt calls by the tool" % (paints, blits))


# -- screenshots on Xvfb -----------------------------------------------------------------

def screenshot(ctx, state):
    """Saves the whole virtual screen as build/windows/screenshots/<lang>-<state>.png."""
    out_dir = os.path.join(ctx.build_dir, "screenshots")
    os.makedirs(out_dir, exist_ok=True)
    path = os.path.join(out_dir, "%s-%s.png" % (ctx.lang, state))
    error = wine.take_screenshot(ctx.session.display, path)
    check(error is None, "import failed: %s" % error)
    ctx.note("screenshot " + os.path.relpath(path, ctx.build_dir))
    return path


def read_ppm(path):
    """(width, height, RGB bytes) of an image, converted by ImageMagick."""
    data = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], capture_output=True,
                          timeout=60, check=True).stdout
    fields = data.split(maxsplit=4)
    check(fields[0] == b"P6" and fields[3] == b"255", "unexpected image format from convert")
    return int(fields[1]), int(fields[2]), fields[4]


def expect_bar(ctx, path, dialog_rect, fraction, window=(255, 255, 255), text=None):
    """In a screenshot of the progress dialog: the bar's colour fills part of the frame, all of
    it inside the frame and the dialog, as far as the printer has received (within 3%); with a
    text colour, the percentage shows in it over the empty part."""
    width, height, rgb = read_ppm(path)
    bar = (255 - window[0], window[1], 255 - window[2])  # red and blue inverted
    left, top = dialog_rect["left"], dialog_rect["top"]
    right, bottom = left + dialog_rect["width"], top + dialog_rect["height"]
    pixel = lambda x, y: tuple(rgb[3 * (y * width + x):3 * (y * width + x) + 3])  # noqa: E731
    filled = [(x, y) for y in range(max(0, top), min(height, bottom))
              for x in range(max(0, left), min(width, right)) if pixel(x, y) == bar]
    check(filled, "no bar colour inside the progress dialog in %s" % path)
    x0 = min(x for x, _ in filled)
    x1 = max(x for x, _ in filled)
    y0 = min(y for _, y in filled)
    y1 = max(y for _, y in filled)
    outside = sum(1 for y in range(height) for x in range(width)
                  if pixel(x, y) == bar and not (left <= x < right and top <= y < bottom))
    check(outside == 0, "%d bar pixels outside the progress dialog" % outside)
    # The frame: dark lines just outside the bar's top-left corner and after its empty part.
    dark = lambda p: max(p) < 128  # noqa: E731
    check(dark(pixel(x0 - 1, y0)) and dark(pixel(x0, y0 - 1)) and dark(pixel(x0, y1 + 1)),
          "the bar does not start just inside the frame in %s" % path)
    frame_right = next((x for x in range(x1 + 1, right) if pixel(x, y0) != window), None)
    check(frame_right is not None, "no frame to the right of the bar in %s" % path)
    if window == (255, 255, 255):
        # On the usual colours the frame stands out all round: a closed rectangle around the bar.
        edges = ([(x, y) for x in range(x0 - 1, frame_right + 1) for y in (y0 - 1, y1 + 1)] +
                 [(x, y) for y in range(y0 - 1, y1 + 2) for x in (x0 - 1, frame_right)])
        broken = [p for p in edges if pixel(*p) != pixel(x0 - 1, y0)]
        check(not broken, "the frame around the bar is broken at %s in %s" % (broken[:3], path))
    check(text is None or any(pixel(x, y) == text for y in range(y0, y1 + 1)
                              for x in range(x1 + 1, frame_right)),
          "no percentage in %r over the empty part of the bar in %s" % (text, path))
    shown = (x1 + 1 - x0) / (frame_right - x0)
    check(abs(shown - fraction) <= 0.03,
          "the bar shows %.1f%% while the printer has %.1f%%" % (100 * shown, 100 * fraction))
    ctx.note("bar %d of %d px (%.1f%%) at %.1f%% received, inside its frame" %
             (x1 + 1 - x0, frame_right - x0, 100 * shown, 100 * fraction))


def shoot_progress(ctx, rx, name, part, busy, **colours):
    """Transfers, holding the printer at 1/part of the stream for a screenshot of the progress
    dialog, and at 3/4 until the dialog says the printer is busy for a screenshot named busy;
    the bar must be drawn as long as what the printer holds; the driver's events."""
    total = len(ctx.expected_stream())
    drv = ctx.session.start_driver("transfer", "--timeout", str(TRANSFER_TIMEOUT * 1000))
    shots = []
    for shot_name, fraction in ((name, 1 / part), (busy, 3 / 4)):
        check(rx.wait_for(int(total * fraction), TRANSFER_TIMEOUT),
              "the transfer never reached %.0f%%" % (100 * fraction))
        rx.pause()
        try:
            deadline = time.monotonic() + 10
            while shot_name == busy and log_text(drv).count('"progress-text"') < 2:
                check(time.monotonic() < deadline, "no notice 10 s into the printer's pause")
                time.sleep(0.05)
            shots.append((screenshot(ctx, shot_name), rx.count()))
        finally:
            rx.resume()
    check(wine.wait_exit(drv, TRANSFER_TIMEOUT) == 0, "the driver did not see the transfer end")
    events = wine.parse_events(log_text(drv))
    for (shot, received), text in zip(shots, (colours.pop("text", None), None)):
        # At 3/4 the percentage stands over the filled part.
        expect_bar(ctx, shot, last(events, "progress")["rect"], received / total, text=text,
                   **colours)
    return events


def screenshots(ctx):
    """Not found, several printers, ready, progress at mid-bar, done, busy on the header, and
    failed, as the user sees them."""
    ctx.printers.remove_all()
    proc, _ = start_tool(ctx, "not_found")
    screenshot(ctx, "not-found")
    rx = ctx.receiver("target", kind="pty", rate=1_000_000)
    moves_to(ctx, "several", lambda: ctx.printers.plug_together((TARGET, rx.path), (TWIN, None)))
    screenshot(ctx, "several")
    moves_to(ctx, "ready", lambda: ctx.printers.unplug(TWIN))
    screenshot(ctx, "ready")

    events = shoot_progress(ctx, rx, "progress", 2, "busy")
    expect_progress_seen(ctx, events)
    expect_state(ctx, last(events, "update"), "done")
    expect_received(ctx, rx)
    screenshot(ctx, "done")
    exit_tool(ctx, proc)

    printer_holds_header(ctx, 5, shot="header-busy")

    # /passive: the progress dialog alone, never the update dialog, and exit code 0.
    rx = ctx.receiver("passive", kind="pty", rate=1_000_000)
    ctx.printers.plug(TARGET, rx.path)
    drv = launch(ctx, "/passive", TRANSFER_TIMEOUT, background=True)
    check(rx.wait_for(len(ctx.expected_stream()) // 2, TRANSFER_TIMEOUT), "/passive sent no half")
    rx.pause()
    screenshot(ctx, "passive-progress")
    rx.resume()
    ended = last(driver_events(drv, TRANSFER_TIMEOUT), "exited")
    check(ended["exitCode"] == 0 and ended["progressSeen"] and not ended["updateSeen"] and
          ended["visible"] == 1, "/passive: %s" % ended)
    expect_received(ctx, rx)

    ctx.printers.plug(TARGET, "/dev/full")
    proc, _ = start_tool(ctx, "ready", "tool-failing")
    events = transfer(ctx)
    expect_state(ctx, last(events, "update"), "failed")
    screenshot(ctx, "failed")
    exit_tool(ctx, proc)


def high_contrast(ctx):
    """High-contrast black (window and dialog black, their texts white): the percentage shows in
    the window-text colour over the empty, black part of the bar."""
    key = "HKEY_CURRENT_USER\\Control Panel\\Colors"
    _, listing = ctx.session.run(["reg", "query", key], "reg-query")
    saved = dict(re.findall(r"^\s*(\w+)\s+REG_SZ\s+(.*?)\s*$", listing, re.M))
    scheme = {"Window": "0 0 0", "WindowText": "255 255 255", "ButtonFace": "0 0 0",
              "ButtonText": "255 255 255"}

    def colours(values):
        return "[%s]\n" % key + "".join('"%s"=%s\n' % (n, '"%s"' % values[n] if n in values
                                                         else "-") for n in scheme)
    ctx.session.registry(colours(scheme))
    try:
        ctx.printers.remove_all()
        rx = ctx.receiver("target", kind="pty", rate=1_000_000)
        ctx.printers.plug_together((TARGET, rx.path), (TWIN, None))
        proc, _ = start_tool(ctx, "several")
        screenshot(ctx, "high-contrast-several")
        moves_to(ctx, "ready", lambda: ctx.printers.unplug(TWIN))
        screenshot(ctx, "high-contrast-ready")
        shoot_progress(ctx, rx, "high-contrast-progress", 4, "high-contrast-busy",
                       window=(0, 0, 0), text=(255, 255, 255))
        expect_received(ctx, rx)
        exit_tool(ctx, proc)
    finally:
        ctx.session.registry(colours(saved))


# -- the runner --------------------------------------------------------------------------

# -- a build that knows its firmware's revision --------------------------------------------

# The revision the maker's workflow builds the default inputs with for the scenarios below, and
# how long that build lets the printer restart.
REVISION, RESTART_SECONDS = "0231", 12


def already_current(ctx):
    """A printer that reports this firmware's revision, or a newer one: the dialog says so with
    Exit as its default, follows the printer, and Exit sends nothing."""
    ctx.printers.remove_all()
    rx = ctx.receiver("target")
    TARGET.revision = ctx.revision
    ctx.printers.plug(TARGET, rx.path)
    proc, shown = start_tool(ctx, "current")
    check(shown["exit"]["default"] and not shown["action"]["default"],
          "Exit is not the current state's default button: %s" % shown)
    screenshot(ctx, "current")
    moves_to(ctx, "not_found", lambda: ctx.printers.unplug(TARGET))
    TARGET.revision = "0300"
    moves_to(ctx, "newer", lambda: ctx.printers.plug(TARGET, rx.path))
    screenshot(ctx, "newer")
    exit_tool(ctx, proc)
    check(rx.count() == 0, "a printer with newer firmware was sent %d bytes" % rx.count())


def restart_confirmed(ctx):
    """An older printer: after the last byte the progress dialog, full and answering, says the
    printer restarts with the new firmware until it is back reporting the revision; then the
    done state says it runs it."""
    ctx.printers.remove_all()
    rx = ctx.receiver("target")
    ctx.printers.plug(TARGET, rx.path)
    proc, _ = start_tool(ctx, "ready")
    ctx.printers.restart_after(TARGET, rx, len(ctx.expected_stream()), 3, ctx.revision)
    drv = follow_transfer(ctx, TRANSFER_TIMEOUT + RESTART_SECONDS)
    while log_text(drv).count('"progress-text"') < 2:  # the second text line: the restart
        check(drv.poll() is None, "the restart was never told: %s" % log_text(drv)[-1000:])
        time.sleep(0.05)
    screenshot(ctx, "restarting")
    events = driver_events(drv, TRANSFER_TIMEOUT + RESTART_SECONDS)
    told = [e["text"] for e in events if e.get("event") == "progress-text"]
    pings = last(events, "pings")
    check(told[-1:] == [ctx.strings["IDS_RESTARTING"]] and last(events, "summary")["percents"][-1:]
          == [100] and pings["unanswered"] == 0, "the restart shown: %s, %s" % (told, pings))
    expect_state(ctx, last(events, "update"), "confirmed")
    screenshot(ctx, "confirmed")
    exit_tool(ctx, proc)


def restart_unconfirmed(ctx):
    """The printer never comes back: after the restart time the state of its own, whose Retry,
    with the printer back reporting the revision, shows it current."""
    ctx.printers.remove_all()
    rx = ctx.receiver("target")
    ctx.printers.plug(TARGET, rx.path)
    proc, _ = start_tool(ctx, "ready")
    ctx.printers.restart_after(TARGET, rx, len(ctx.expected_stream()), 0, None)
    started = time.monotonic()
    expect_state(ctx, last(transfer(ctx), "update"), "unconfirmed")
    waited = time.monotonic() - started
    check(waited >= RESTART_SECONDS, "unconfirmed after %.1f s of %d" % (waited, RESTART_SECONDS))
    screenshot(ctx, "unconfirmed")
    TARGET.revision = ctx.revision
    ctx.printers.plug(TARGET, rx.path)
    click(ctx, "action")
    wait_dialog(ctx, "current")
    exit_tool(ctx, proc)


# Runs for deployment tools against a printer reporting a revision ("": none) that, once sent
# the stream, comes back reporting another (None: not sent, or never back): exit code, log lines.
REVISION_RUNS = [
    ("/quiet", "0300", None, 0, ["lookup: one printer, REV_0300: already has this firmware",
                                 "result: already has this firmware, nothing sent, exit code 0"]),
    ("/check", REVISION, None, 4, ["result: one printer, already has this firmware, exit code 4"]),
    ("/quiet /force", "0300", REVISION, 0, ["restart: the printer reports REV_" + REVISION,
                                            "result: done, exit code 0"]),
    ("/passive", "0100", REVISION, 0, ["lookup: one printer, REV_0100",
                                       "restart: the printer reports REV_" + REVISION,
                                       "result: done, exit code 0"]),
    ("/quiet", "", REVISION, 0, ["lookup: one printer, no revision reported",
                                 "restart: not waited for", "result: done, exit code 0"]),
    ("/quiet", "0100", "0230", 5, ["restart: the printer came back with REV_0230, not REV_" + REVISION,
                                   "result: sent, the printer has not reported the new firmware, "
                                   "exit code 5"]),
]


def revision_runs(ctx):
    """Each of REVISION_RUNS: its exit code, the progress dialog with /passive only, the whole
    stream received where it was sent and nothing elsewhere, and its log."""
    for n, (switches, revision, back, code, lines) in enumerate(REVISION_RUNS):
        ctx.printers.remove_all()
        TARGET.revision = revision
        rx = ctx.receiver("run%d" % n)
        ctx.printers.plug(TARGET, rx.path)
        restart = back and ctx.printers.restart_after(TARGET, rx, len(ctx.expected_stream()), 2,
                                                      back)
        path, windows = run_log(ctx, "run%d.log" % n)
        ended = launch(ctx, '%s /log "%s"' % (switches, windows), TRANSFER_TIMEOUT + RESTART_SECONDS)
        check(ended["exitCode"] == code and (ended["visible"] > 0) == (switches == "/passive"),
              "%s, the printer at %r: %s, expected exit code %d" % (switches, revision, ended, code))
        if back:
            expect_received(ctx, rx)
        check(back or rx.count() == 0, "%s sent %d bytes" % (switches, rx.count()))
        expect_log(ctx, path, *lines)
        if restart:
            restart.join(10)  # back before the next row's printer, also where nobody waits


REVISION_GROUPS = {
    "revision_screenshots": ("en", [already_current, restart_confirmed, restart_unconfirmed,
                                    revision_runs]),
    "japanese_revision_screenshots": ("ja", [already_current, restart_confirmed, restart_unconfirmed]),
}


GROUPS = {
    "screenshots": ("en", [screenshots, high_contrast]),
    "japanese_screenshots": ("ja", [screenshots]),
    "not_found": ("en", [not_found_flow]),
    "japanese_not_found": ("ja", [not_found_flow]),
    "printer": ("en", [ready_then_exit, printer_comes_and_goes, several_printers,
                       own_interface_opened, unattended_lookups]),
    "windows_versions": ("en", [older_windows]),
    "transfer": ("en", [transfer_byte_exact, progress_seen, quiet_run_logged]),
    "faults": ("en", [header_refused, unplugged_then_back, unplugged_then_gone,
                      close_progress_mid_transfer]),
    "japanese_transfer": ("ja", [progress_seen, header_refused]),
    "measure": ("en", [measure]),
    "session": ("en", [session_waits_for_transfer]),
    "printer_waits": ("en", [printer_pauses, quiet_header_held]),
    "japanese_printer_waits": ("ja", [printer_pauses]),
    "printer_stops": ("en", [printer_stops]),
}


def run_scenario(group, scenario, ctx):
    """Runs one scenario; whatever happens, its receivers and programs are gone afterwards.
    Returns 1 when it failed."""
    started = time.monotonic()
    print("[ RUN  ] %s/%s" % (group, scenario.__name__), flush=True)
    failed = 1
    try:
        scenario(ctx)
        failed = 0
    except Exception as error:  # a failed check or a broken harness alike
        print("    " + (str(error) if isinstance(error, Failure) else traceback.format_exc()),
              flush=True)
        ctx.session.record_state("%s/%s: %s" % (group, scenario.__name__, error))
    finally:
        for rx in ctx.receivers:
            rx.close()
        for proc in ctx.session.started:
            wine.kill(proc)
        ctx.session.started.clear()
    print("[%s] %s/%s (%.1f s)" % (" FAIL " if failed else "  OK  ", group, scenario.__name__,
                                   time.monotonic() - started), flush=True)
    return failed


def run_group(build_dir, group, only=None, name=None, **context):
    """Runs the group's scenarios (only the one named only) in one session, whose logs are
    named name (the group's name by default); the number that failed."""
    lang, scenarios = dict(GROUPS, **REVISION_GROUPS)[group]
    with wine.open_session(build_dir, name or group, lang=lang,
                           screen="screenshots" in group) as session:
        return sum(run_scenario(group, scenario, Context(build_dir, session, lang, **context))
                   for scenario in scenarios if not only or scenario.__name__ == only)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--group", choices=sorted(GROUPS))
    parser.add_argument("--scenario")
    parser.add_argument("--create-prefix", action="store_true")
    args = parser.parse_args()
    build_dir = os.path.abspath(args.build_dir)
    if args.create_prefix:
        wine.remake_prefix(build_dir)
        return 0
    if not args.group:
        parser.error("--group or --create-prefix")
    return 1 if run_group(build_dir, args.group, args.scenario) else 0


if __name__ == "__main__":
    raise SystemExit(main())
