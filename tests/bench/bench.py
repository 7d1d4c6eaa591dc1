"""What the tool costs on top of the printer's own speed, measured under Wine, headless.

Usage: python3 -m tests.bench.bench [--build-dir build/windows] [--runs 5]
           [--results tests/bench/results.md]

Runs, against the system tests' simulated printer (the same Wine session helper, driver,
raw-write loop and receiver, from the tests.system package), in a prefix of its own:
  1. the whole update, Transfer click to done state as the driver sees it (it polls for the
     dialogs every millisecond), against an unthrottled receiver; the same update with the
     driver only clicking, timed from the first to the last byte at the receiver; and the same
     400 writes made by the raw loop without any window; the three alternate;
  2. the same with the printer taking 1, 8 and 32 MB/s (1 MB = 10^6 bytes), against the raw
     loop through the same receiver and the ideal time bytes / rate;
  3. start-up, process start to the idle ready dialog, against a minimal dialog program;
     a printer that takes no byte for 10 s half-way, with the progress dialog asked WM_NULL
     throughout: the longest it left a question unanswered;
  4. one traced transfer: how often the bar was drawn and the tool's window calls per chunk, and the
     progress module alone with each platform call it makes timed (tests/bench/ui_cost.cpp).
Prints a table and writes it, with the date, machine and commands, to the results file.
"""
import argparse
import collections
import contextlib
import ctypes
import datetime
import fcntl
import json
import os
import platform
import re
import select
import statistics
import subprocess
import sys
import termios
import time

from tests.system import printer, tool, wine
from tests.system.printer import TARGET

SOURCE_DIR = tool.SOURCE_DIR

CHUNK = 4096
F_SETPIPE_SZ = 1031  # Linux fcntl: resize a pipe's buffer
PR_SET_TIMERSLACK = 29  # Linux prctl: how late the kernel may wake a sleeping thread
RATES = (1_000_000, 8_000_000, 32_000_000)
# Seconds the printer takes no byte in the pause runs, as while it erases its flash.
PAUSE_S = 10
# Wine is a conversation with its server: every window call is a round trip. On this virtual
# machine a round trip between two processes costs ~6 us on one CPU and ~40 us across CPUs,
# depending on where the scheduler happens to put them, which made runs differ fourfold. The
# bench therefore runs every Wine process on one CPU and the receiver on the other.
PIN_WINE_CPU = None
PIN_RECEIVER_CPU = None
TOOL_EXE = None


class TimedReceiver(printer.Receiver):
    """The simulated printer's receiving end, with the time of the first and last byte.

    Unthrottled (rate None) it reads whatever has arrived. With a rate it is a printer on a link
    of that rate: the FIFO is shrunk to two pages (two 4096-byte chunks: the one crossing the
    link and the next one queued, as a USB host controller queues the next transfer), and bytes
    leave it only once they would have crossed the link. The link keeps its own clock: a chunk
    starts crossing when the link is free and the chunk has arrived, whichever is later, and
    its due time follows from that, not from when this Python reader happened to wake. So the
    reader's own lateness is not carried into the next chunk, while a writer that is late
    still leaves the link idle: time the writer spends between writes beyond a chunk's transfer
    time shows up in the total.
    `late_s` sums how far the receiver's own reads came after their due time (scheduling noise
    on this machine), to tell it apart from the writer's cost.
    """

    def __init__(self, directory, name, rate=None):
        self.pace = rate
        self.late_s = 0.0
        self.first_at = None
        self.last_at = None
        super().__init__(directory, name, kind="fifo")

    def span_ms(self):
        """First to last byte, in milliseconds."""
        return (self.last_at - self.first_at) * 1000

    def _one_page(self):
        if self.pace:
            try:
                fcntl.fcntl(self.fd, F_SETPIPE_SZ, 2 * CHUNK)
            except OSError:
                pass

    def _pending(self):
        count = bytearray(4)
        fcntl.ioctl(self.fd, termios.FIONREAD, count)
        return int.from_bytes(count, sys.byteorder)

    def _loop(self):
        if PIN_RECEIVER_CPU is not None:
            os.sched_setaffinity(0, {PIN_RECEIVER_CPU})
        # The default timer slack (50 us) would add a tenth of a chunk's time at 8 MB/s to
        # every sleep; spinning instead would take a core from the tool on a 2-core machine.
        ctypes.CDLL(None).prctl(PR_SET_TIMERSLACK, 1, 0, 0, 0)
        self._one_page()
        poller = select.poll()
        poller.register(self.fd, select.POLLIN)
        link_free = 0.0
        queued_by = None
        while not self.quit and self.fd is not None:
            events = poller.poll(50)
            if not events:
                continue
            arrived = time.monotonic()
            if queued_by is not None:
                arrived = min(arrived, queued_by)
                queued_by = None
            waiting = self._pending()
            if waiting == 0:
                if any(ev & select.POLLHUP for _, ev in events):
                    with self.lock:
                        self.writer_closes.append(len(self.data))
                    poller.unregister(self.fd)
                    self._reopen_fifo()
                    self._one_page()
                    poller.register(self.fd, select.POLLIN)
                continue
            if self.pace:
                # One chunk at a time crosses the link; it starts when the link is free or when
                # it arrived, whichever is later.
                waiting = min(waiting, CHUNK)
                start = max(arrived, link_free)
                due = link_free = start + waiting / self.pace
                left = due - time.monotonic()
                if left > 0:
                    time.sleep(left)
            chunk = os.read(self.fd, waiting)
            # A next chunk already queued when this one was due counts as having arrived by
            # then (it may have come during this reader's own lateness: optimistic by at most
            # that much).
            if self.pace and self._pending() > 0:
                queued_by = due
            now = time.monotonic()
            if self.pace:
                self.late_s += now - due
            with self.lock:
                self.data += chunk
            if self.first_at is None:
                self.first_at = arrived
            self.last_at = now


class Bench:
    def __init__(self, build_dir):
        self.build_dir = build_dir
        self.session = None
        self.ctx = None
        self.bench_bin = os.path.join(build_dir, "tests", "bench")
        self.stack = contextlib.ExitStack()

    def __enter__(self):
        # A prefix of its own, apart from the tests'.
        self.session = self.stack.enter_context(wine.open_session(
            self.build_dir, "bench", home=os.path.join(self.build_dir, "tests", "bench")))
        self.stack.callback(self._close_receivers)
        self.ctx = tool.Context(self.build_dir, self.session, "en", exe=TOOL_EXE)
        self.ctx.printers.remove_all()
        return self

    def _close_receivers(self):
        for rx in self.ctx.receivers:
            rx.close()

    def __exit__(self, *exc):
        return self.stack.__exit__(*exc)

    def receiver(self, name, rate):
        rx = TimedReceiver(self.session.log_dir, name, rate)
        self.ctx.receivers.append(rx)
        self.ctx.printers.plug(TARGET, rx.path)
        return rx

    def done_with(self, rx):
        self.ctx.receivers.remove(rx)
        rx.close()

    def tool_run(self, rate, quiet=False, extra_env=None):
        """One whole update, checked byte-exact. Followed by the driver, which polls for the
        dialogs every millisecond; quiet, the driver only clicks and the transfer runs alone.
        Returns (click-to-done ms or None when quiet, receiver, driver events, process)."""
        rx = self.receiver("tool", rate)
        ctx = self.ctx
        proc = self.session.start_tool(ctx.exe, "tool", extra_env)
        tool.wait_dialog(ctx, "ready")
        ms = None
        events = []
        if quiet:
            tool.click(ctx, "action")
            rx.wait_for(len(ctx.expected_stream()), tool.TRANSFER_TIMEOUT)
            tool.wait_dialog(ctx, "done")
        else:
            events = tool.transfer(ctx)
            tool.expect_state(ctx, tool.last(events, "update"), "done")
            ms = tool.last(events, "summary")["ms"]
        tool.expect_received(ctx, rx)
        tool.exit_tool(ctx, proc)
        self.done_with(rx)
        return ms, rx, events, proc

    def raw_run(self, rate):
        """The windowless loop's own time for the same writes, checked byte-exact; returns
        (ms, receiver)."""
        rx = self.receiver("raw", rate)
        result, _ = self.session.raw_write(TARGET.device_path, self.ctx.image,
                                           tool.TRANSFER_TIMEOUT)
        tool.expect_received(self.ctx, rx)
        self.done_with(rx)
        return result["ms"], rx

    def start_run(self, program, state):
        """Milliseconds from process start to the idle first dialog, which must show state."""
        proc = self.session.start_program([os.path.join(self.bench_bin, "launch_idle.exe"),
                                           wine.windows_path(program)], "launch")
        deadline = time.monotonic() + tool.DIALOG_TIMEOUT
        idle = None
        while idle is None and time.monotonic() < deadline and proc.poll() is None:
            with open(proc.log_path, encoding="utf-8", errors="replace") as f:
                idle = tool.last(wine.parse_events(f.read()), "idle")
            time.sleep(0.05)
        tool.check(idle is not None, "%s never became idle" % os.path.basename(program))
        tool.wait_dialog(self.ctx, state)
        tool.exit_tool(self.ctx, proc)
        return idle["ms"]

    def start_pair(self):
        """Milliseconds to the ready dialog of the tool (a printer attached), then of the
        minimal dialog started the same way."""
        rx = self.receiver("start", None)
        tool_ms = self.start_run(self.ctx.exe, "ready")
        self.done_with(rx)
        return tool_ms, self.start_run(os.path.join(self.bench_bin, "min_dialog.exe"), "ready")

    def traced_run(self):
        """One transfer under a relay trace of the tool's user32 and gdi32 calls: how often the
        progress dialog was painted, and which window calls the tool made per chunk."""
        tool.set_relay(self.ctx, ["user32.*", "gdi32.*", DEVICE_CALLS])
        try:
            _, _, events, proc = self.tool_run(None, extra_env=tool.RELAY_ENV)
        finally:
            tool.set_relay(self.ctx, None)
        hwnd = int(tool.last(events, "progress")["hwnd"], 16)
        calls = collections.Counter()
        paints = 0
        # Calls made by the tool itself: return address inside the executable's image.
        pattern = re.compile(r"Call (\w+)\.(\w+)\(([0-9a-f]*)[^)]*\) ret=([0-9a-f]+)")
        low, high = wine.image_range(self.ctx.exe)
        with open(proc.log_path, encoding="utf-8", errors="replace") as f:
            for line in f:
                match = pattern.search(line)
                if not match or not low <= int(match.group(4), 16) < high:
                    continue
                calls[match.group(1) + "." + match.group(2)] += 1
                if match.group(2) == "BeginPaint" and int(match.group(3) or "0", 16) == hwnd:
                    paints += 1
        return paints, calls


    def pause_run(self):
        """One whole update whose printer takes no byte for PAUSE_S seconds half-way, the driver
        asking the progress dialog with WM_NULL throughout; returns its answers (the driver's
        "pings" event: the longest round trip and the longest time without an answer)."""
        ctx = self.ctx
        # Throttled, so that the printer is still taking the image when it pauses.
        rx = ctx.receiver("paused", rate=1_000_000)
        ctx.printers.plug(TARGET, rx.path)
        proc = self.session.start_tool(ctx.exe, "tool")
        tool.wait_dialog(ctx, "ready")
        drv = tool.follow_transfer(ctx, tool.TRANSFER_TIMEOUT)
        total = len(ctx.expected_stream())
        tool.check(rx.wait_for(total // 2, tool.TRANSFER_TIMEOUT), "no half-way")
        rx.pause()
        tool.check(rx.count() < total, "the printer took the whole image before it paused")
        time.sleep(PAUSE_S)
        rx.resume()
        events = tool.driver_events(drv, tool.TRANSFER_TIMEOUT)
        tool.expect_state(ctx, tool.last(events, "update"), "done")
        tool.expect_received(ctx, rx)
        tool.exit_tool(ctx, proc)
        self.done_with(rx)
        return tool.last(events, "pings")

    def ui_costs(self):
        """The real progress module stepped without a device, and the platform calls it makes,
        each timed alone (tests/bench/ui_cost.cpp): microseconds per call, by name."""
        rc, text = self.session.run([os.path.join(self.bench_bin, "ui_cost.exe")], "ui-cost",
                                    timeout=120)
        costs = [e for e in wine.parse_events(text) if e.get("event") == "cost"]
        tool.check(rc == 0 and costs, "ui_cost failed (%s): %s" % (rc, text[-300:]))
        return [(e["name"], e["us"]) for e in costs]


def median(values):
    return statistics.median(values) if values else float("nan")


def machine(arch):
    model = ""
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    with open("/proc/meminfo") as f:
        mem_kb = int(f.readline().split()[1])
    distro = ""
    if os.path.exists("/etc/debian_version"):
        with open("/etc/debian_version") as f:
            distro = "Debian " + f.read().strip()
    wine_version = subprocess.run([wine.LOADERS[arch], "--version"], capture_output=True,
                                  text=True).stdout
    return "%s, %d cores, %.1f GiB RAM, %s, Linux %s, %s" % (
        model, os.cpu_count(), mem_kb / 1048576, distro, platform.release(),
        wine_version.strip())


def label(rate):
    return "%d MB/s" % (rate // 1_000_000) if rate else "unthrottled"


# The device calls a chunk makes, traced beside the window calls (kernel32 forwards them to
# kernelbase under Wine).
DEVICE_CALLS = ";".join(dll + "." + name for dll in ("kernel32", "kernelbase")
                        for name in ("WriteFile", "GetOverlappedResult", "GetTickCount"))
# The most a rate's first-to-last-byte time may exceed the raw loop's, and the UI cost a chunk.
BYTES_TARGET = {1_000_000: 1.02, 8_000_000: 1.02, 32_000_000: 1.10}
UI_TARGET_MS = 0.07


def run(args):
    build_dir = os.path.abspath(args.build_dir)
    image_bytes = os.path.getsize(os.path.join(build_dir, "test-firmware.bin"))
    total = image_bytes + 24
    chunks = (image_bytes + CHUNK - 1) // CHUNK
    load_before = os.getloadavg()
    started = time.monotonic()
    # Per rate: click-to-done (driver polling), the tool's and the raw loop's first-to-last
    # byte at the receiver with nothing polling, the raw loop's own time, receiver lateness.
    runs = {}
    with Bench(build_dir) as bench:
        for rate in (None,) + RATES:
            r = runs[rate] = collections.defaultdict(list)
            for i in range(args.runs):
                ms, rx, _, _ = bench.tool_run(rate)
                r["click_done"].append(ms)
                _, rx, _, _ = bench.tool_run(rate, quiet=True)
                r["tool_bytes"].append(rx.span_ms())
                r["tool_late"].append(rx.late_s * 1000)
                ms, rx = bench.raw_run(rate)
                r["raw_own"].append(ms)
                r["raw_bytes"].append(rx.span_ms())
                r["raw_late"].append(rx.late_s * 1000)
                print("  %-12s run %d: tool click to done %.0f ms, first to last byte %.0f ms; "
                      "raw loop %.0f ms, first to last byte %.0f ms" %
                      (label(rate), i + 1, r["click_done"][-1], r["tool_bytes"][-1],
                       r["raw_own"][-1], r["raw_bytes"][-1]), flush=True)

        starts_tool, starts_min = [], []
        for i in range(args.runs):
            tool_ms, min_ms = bench.start_pair()
            starts_tool.append(tool_ms)
            starts_min.append(min_ms)
            print("  start-up run %d: tool %.0f ms, minimal dialog %.0f ms" %
                  (i + 1, starts_tool[-1], starts_min[-1]), flush=True)

        pauses = []
        for i in range(args.runs):
            pauses.append(bench.pause_run())
            print("  pause run %d: %d WM_NULL, %d unanswered, longest %.0f ms, longest without "
                  "an answer %.0f ms" % (i + 1, pauses[-1]["count"], pauses[-1]["unanswered"],
                                         pauses[-1]["longestMs"], pauses[-1]["longestSilenceMs"]),
                  flush=True)

        paints, calls = bench.traced_run()
        costs = bench.ui_costs()
    load_after = os.getloadavg()

    med = {rate: {k: median(v) for k, v in r.items()} for rate, r in runs.items()}
    u = med[None]
    ui_polled = (u["click_done"] - u["raw_own"]) / chunks
    ui_quiet = (u["tool_bytes"] - u["raw_bytes"]) / chunks

    def verdict(ok):
        return "met" if ok else "missed"

    lines = [
        "| measure (medians of %d runs) | tool | reference | ratio | target |" % args.runs,
        "|---|---|---|---|---|",
        "| whole update unthrottled, click to done | %.0f ms | raw loop %.1f ms | %.1f | |" %
        (u["click_done"], u["raw_own"], u["click_done"] / u["raw_own"]),
        "| same, first to last byte, nothing polling | %.0f ms | raw loop %.1f ms | %.1f | |" %
        (u["tool_bytes"], u["raw_bytes"], u["tool_bytes"] / max(u["raw_bytes"], 0.1)),
    ]
    for rate in RATES:
        m = med[rate]
        ideal = total / rate * 1000
        lines.append("| %s, click to done | %.0f ms | ideal %.0f ms | %.3f | <= 1.02: %s |" %
                     (label(rate), m["click_done"], ideal, m["click_done"] / ideal,
                      verdict(m["click_done"] / ideal <= 1.02)))
        # Against the raw loop through the same receiver: the set-up's own floor at this rate.
        # Each round's tool run is also set against that round's raw run, which the machine's
        # other load hits alike.
        paired = median([t / r for t, r in zip(runs[rate]["tool_bytes"], runs[rate]["raw_bytes"])])
        lines.append("| %s, first to last byte, nothing polling | %.0f ms | raw loop %.0f ms "
                     "(ideal %.0f ms; tool %.3f of ideal, raw loop %.3f) | %.3f (round by round "
                     "%.3f) | <= %.2f: %s |" %
                     (label(rate), m["tool_bytes"], m["raw_bytes"], ideal, m["tool_bytes"] / ideal,
                      m["raw_bytes"] / ideal, m["tool_bytes"] / m["raw_bytes"], paired,
                      BYTES_TARGET[rate],
                      verdict(m["tool_bytes"] / m["raw_bytes"] <= BYTES_TARGET[rate])))
    start_t, start_m = median(starts_tool), median(starts_min)
    lines.append("| start-up, process start to idle ready dialog | %.0f ms | minimal dialog "
                 "%.0f ms | %.2f | <= 1.2: %s |" % (start_t, start_m, start_t / start_m,
                                                    verdict(start_t / start_m <= 1.2)))
    lines.append("| UI cost per chunk, unthrottled: (click to done - raw loop) / %d | %.3f ms | "
                 "| | < 0.2 ms: %s |" % (chunks, ui_polled, verdict(ui_polled < 0.2)))
    lines.append("| same from first to last byte, nothing polling | %.3f ms | | | "
                 "<= %.2f ms: %s |" % (ui_quiet, UI_TARGET_MS, verdict(ui_quiet <= UI_TARGET_MS)))
    silence = median([p["longestSilenceMs"] for p in pauses])
    unanswered = sum(p["unanswered"] for p in pauses)
    lines.append("| %d s printer pause: longest time the progress dialog left WM_NULL unanswered "
                 "| %.0f ms | | | <= 100 ms: %s |" % (PAUSE_S, silence,
                                                     verdict(silence <= 100 and not unanswered)))
    lines.append("| the bar drawn in one transfer (the tool's BitBlt calls; BeginPaint on the "
                 "progress dialog %d) | %d | %d chunks | | |" % (paints, calls["gdi32.BitBlt"], chunks))
    table = "\n".join(lines)

    details = ["Every run, in ms, in the order run (tool followed by the driver, tool alone, "
               "raw loop):"]
    for rate in (None,) + RATES:
        r = runs[rate]
        details.append("- %s: click to done %s; tool first to last byte %s; raw loop %s, "
                       "first to last byte %s" % (
                           label(rate), fmt(r["click_done"]), fmt(r["tool_bytes"]),
                           fmt(r["raw_own"]), fmt(r["raw_bytes"])))
        if rate:
            details.append("  receiver's own lateness, summed over its reads: tool runs %s; "
                           "raw loop runs %s" % (fmt(r["tool_late"]), fmt(r["raw_late"])))
    details.append("- %d s pauses: WM_NULL sent %s; unanswered %s; longest round trip %s; "
                   "longest without an answer %s" % (
                       PAUSE_S, fmt([p["count"] for p in pauses]),
                       fmt([p["unanswered"] for p in pauses]),
                       fmt([p["longestMs"] for p in pauses]),
                       fmt([p["longestSilenceMs"] for p in pauses])))
    details.append("- start-up: tool %s; minimal dialog %s" % (fmt(starts_tool),
                                                               fmt(starts_min)))
    details.append("- the tool's own user32/gdi32 and device calls per chunk in one traced "
                   "transfer (whole run, dialogs included): " +
                   ", ".join("%s %.2f" % (name, count / chunks)
                             for name, count in calls.most_common(20)))
    details.append("- the progress module alone (tests/bench/ui_cost.exe), microseconds per call: " +
                   "; ".join("%s %.1f" % (name, us) for name, us in costs))
    details.append("- load average before %.2f, after %.2f; bench took %.0f s" %
                   (load_before[0], load_after[0], time.monotonic() - started))
    raw = {label(rate): dict(r) for rate, r in runs.items()}
    raw.update(start=[starts_tool, starts_min], pauses=pauses, paints=paints, calls=dict(calls), ui_costs=costs)
    return table, "\n".join(details), raw


def run_emulated(args):
    """The figures that mean something under emulation (tests/bench/run.sh --vm): start-up
    against the minimal dialog started the same way, and the longest unanswered WM_NULL in a
    printer's pause. Emulated starts cost several times native and steady work about twice, so
    no figure is set against a native raw loop or a native target."""
    started = time.monotonic()
    with Bench(os.path.abspath(args.build_dir)) as bench:
        starts_tool, starts_min, pauses = [], [], []
        for i in range(args.runs):
            tool_ms, min_ms = bench.start_pair()
            starts_tool.append(tool_ms)
            starts_min.append(min_ms)
            pauses.append(bench.pause_run())
            print("  run %d: start-up tool %.0f ms, minimal dialog %.0f ms; pause: %d WM_NULL, "
                  "%d unanswered, longest without an answer %.0f ms" % (
                      i + 1, starts_tool[-1], starts_min[-1], pauses[-1]["count"],
                      pauses[-1]["unanswered"], pauses[-1]["longestSilenceMs"]), flush=True)
    start_t, start_m = median(starts_tool), median(starts_min)
    silence = median([p["longestSilenceMs"] for p in pauses])
    table = "\n".join([
        "| measure (medians of %d runs, EMULATED) | tool | reference | ratio |" % args.runs,
        "|---|---|---|---|",
        "| start-up, process start to idle ready dialog | %.0f ms | minimal dialog %.0f ms | "
        "%.2f |" % (start_t, start_m, start_t / start_m),
        "| %d s printer pause: longest time the progress dialog left WM_NULL unanswered | "
        "%.0f ms (%d unanswered) | | |" % (PAUSE_S, silence,
                                           sum(p["unanswered"] for p in pauses))])
    details = "\n".join([
        "- start-up: tool %s; minimal dialog %s" % (fmt(starts_tool), fmt(starts_min)),
        "- %d s pauses: WM_NULL sent %s; longest without an answer %s" % (
            PAUSE_S, fmt([p["count"] for p in pauses]),
            fmt([p["longestSilenceMs"] for p in pauses])),
        "- bench took %.0f s" % (time.monotonic() - started)])
    return table, details, dict(start=[starts_tool, starts_min], pauses=pauses)


def fmt(values):
    return ", ".join("%.0f" % v for v in values)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", default=os.path.join(SOURCE_DIR, "build", "windows"))
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--results", default=os.path.join(SOURCE_DIR, "tests", "bench", "results.md"))
    parser.add_argument("--no-pin", action="store_true",
                        help="let the scheduler place Wine and the receiver (noisier)")
    parser.add_argument("--tool", help="another build of UpdateTool.exe to measure")
    parser.add_argument("--emulated", action="store_true",
                        help="start-up and pause figures only, marked emulated (the 32-bit test VM)")
    args = parser.parse_args()
    global PIN_WINE_CPU, PIN_RECEIVER_CPU, TOOL_EXE
    TOOL_EXE = os.path.abspath(args.tool) if args.tool else None
    cpus = sorted(os.sched_getaffinity(0))
    if not args.no_pin and len(cpus) >= 2:
        PIN_WINE_CPU, PIN_RECEIVER_CPU = cpus[0], cpus[1]
        # Children inherit the starting thread's CPU: the server and every Wine program.
        os.sched_setaffinity(0, {PIN_WINE_CPU})
    table, details, raw = (run_emulated if args.emulated else run)(args)
    print()
    print(table)
    print()
    print(details)
    when = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
    with open(args.results, "w") as f:
        f.write("# Benchmark results%s\n\n" % (
            ": " + os.path.basename(args.tool) if args.tool else ""))
        build_dir = os.path.abspath(args.build_dir)
        arch = wine.build_arch(build_dir)
        preset = os.path.basename(build_dir)
        f.write("Last run: %s\n\nMachine: %s%s\n\n" % (when, machine(arch), (
            ", EMULATED: QEMU's TCG on the host's CPUs (the 32-bit test VM), start-up and "
            "pause figures only" if args.emulated else "")))
        f.write("Measured: %s, a %s build under %s Wine, against a %s built the same way.\n\n" %
                (os.path.relpath(args.tool or os.path.join(build_dir, "UpdateTool.exe"),
                                 SOURCE_DIR),
                 "32-bit (x86)" if arch == "win32" else "64-bit (x86-64)", arch[3:] + "-bit",
                 "minimal dialog program" if args.emulated else "raw write loop"))
        f.write("Commands:\n\n```sh\n%sbash tests/bench/run.sh\n# which runs%s\n"
                "cmake --preset %s && cmake --build --preset %s --target bench_programs\n"
                "python3 -m tests.bench.bench --build-dir build/%s --runs %d%s%s%s\n```\n\n" %
                ("UPDATE_TOOL_VM=1 " if args.emulated else "",
                 ", the last in the VM (tests/vm/run.sh)" if args.emulated else "",
                 preset, preset, preset, args.runs, " --no-pin" if args.no_pin else "",
                 " --tool " + args.tool if args.tool else "", " --emulated" if args.emulated else ""))
        f.write("Wine and its server ran on CPU %s, the receiver on CPU %s.\n\n" %
                (PIN_WINE_CPU, PIN_RECEIVER_CPU) if PIN_WINE_CPU is not None else
                "Wine and the receiver ran wherever the scheduler put them.\n\n")
        f.write(table + "\n\n" + details + "\n")
    with open(os.path.join(os.path.abspath(args.build_dir), "tests", "bench", "results.json"), "w") as f:
        json.dump(raw, f, indent=1)
    print("\nresults written to %s" % os.path.relpath(args.results, SOURCE_DIR))
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
