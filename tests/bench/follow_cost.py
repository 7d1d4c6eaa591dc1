"""What following the printer costs while one state of the update dialog shows, under Wine.

Usage: python3 -m tests.bench.follow_cost [--build-dir build/windows] --state STATE
           [--seconds 600]

STATE is not_found (no printer), ready (one) or several (two of the model). The tool runs in a
prefix of its own (<build dir>/tests/bench/follow-STATE), so that the states can be measured at
the same time. Five seconds after the dialog shows, and again after the given time, it reads
what the tool holds, as the driver sees it (its handles, memory, windows, and
GetGuiResources where the platform counts them), and from /proc the CPU time of the tool's process and of the Wine server,
which answers the tool's registry and device-setup questions. Prints one line. Not part of the
tests.
"""
import argparse
import os
import time

from tests.system import tool, wine
from tests.system.printer import TARGET, TWIN

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    """User and system CPU time of a Linux process, all its threads."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def server_pid(prefix):
    """The Wine server of the prefix."""
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/%s/comm" % name) as f:
                if not f.read().startswith("wineserver"):
                    continue
            with open("/proc/%s/environ" % name, "rb") as f:
                if ("WINEPREFIX=" + prefix).encode() in f.read().split(b"\0"):
                    return int(name)
        except OSError:
            continue
    raise tool.Failure("no Wine server for %s" % prefix)


def sample(ctx, proc, server):
    rc, events = ctx.session.driver("usage")
    usage = tool.last(events, "usage")
    tool.check(rc == 0 and usage, "the driver could not read the tool: %s" % events)
    usage["toolCpu"] = cpu_seconds(proc.pid)
    usage["serverCpu"] = cpu_seconds(server)
    usage["at"] = time.monotonic()
    return usage


def measure(build_dir, state, seconds):
    home = os.path.join(build_dir, "tests", "bench", "follow-" + state)
    with wine.open_session(build_dir, "follow", home=home) as session:
        ctx = tool.Context(build_dir, session, "en")
        ctx.printers.remove_all()
        try:
            if state != "not_found":
                ctx.printers.plug(TARGET, ctx.receiver("target").path)
            if state == "several":
                ctx.printers.plug(TWIN, ctx.receiver("twin").path)
            proc, _ = tool.start_tool(ctx, state)
            # Wine's loader becomes the program it runs: the same process, renamed.
            with open("/proc/%d/comm" % proc.pid) as f:
                tool.check(f.read().strip() == "UpdateTool.exe", "pid %d is not the tool" %
                           proc.pid)
            server = server_pid(os.path.join(home, "prefix"))
            time.sleep(5)
            start = sample(ctx, proc, server)
            time.sleep(seconds)
            end = sample(ctx, proc, server)
            tool.wait_dialog(ctx, state)
            tool.exit_tool(ctx, proc)
        finally:
            for rx in ctx.receivers:
                rx.close()
    wall = end["at"] - start["at"]
    cpu = (end["toolCpu"] - start["toolCpu"] + end["serverCpu"] - start["serverCpu"]) / wall
    print("%s for %.0f s: CPU %.3f%% of one CPU (tool %.2f s, server %.2f s); handles %d -> %d; "
          "working set %d -> %d KiB; private %d -> %d KiB; GDI objects %d -> %d; USER objects "
          "%d -> %d; windows %d -> %d" % (state, wall, 100 * cpu, end["toolCpu"] - start["toolCpu"],
                        end["serverCpu"] - start["serverCpu"], start["handles"], end["handles"],
                        start["workingSet"] // 1024, end["workingSet"] // 1024,
                        start["privateBytes"] // 1024, end["privateBytes"] // 1024,
                        start["gdiObjects"], end["gdiObjects"], start["userObjects"],
                        end["userObjects"], start["windows"], end["windows"]), flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", default="build/windows")
    parser.add_argument("--state", required=True, choices=("not_found", "ready", "several"))
    parser.add_argument("--seconds", type=float, default=600)
    args = parser.parse_args()
    measure(os.path.abspath(args.build_dir), args.state, args.seconds)
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
