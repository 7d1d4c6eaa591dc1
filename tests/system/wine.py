"""The one way into Wine for every test, the tool runner and the benchmark: an isolated prefix
under the build tree, of the word size of the build under test, taken in turn by concurrent runs;
one persistent wineserver per session, on a private X screen when asked; programs run with their
output in files, never pipes; and a log folder per session that explains a failure by itself
(each program's output with Wine's error messages, the server's messages, a timeline, and the
processes and windows at the moment a check failed).

Wine's background processes (services, explorer...) inherit the standard output of the wine call
that starts them, so reading a wine call through a pipe can wait forever: the server is started
once with no pipe of ours, and every program's output goes to a file.
"""
import contextlib
import fcntl
import json
import re
import os
import select
import shutil
import signal
import struct
import subprocess
import threading
import time

PREFIX_STAMP = "ut-prefix-ready"
# The loaders, called directly: Debian's `wine` wrapper takes the 32-bit one whenever wine32 is
# installed, whatever the prefix or the program.
LOADERS = {"win32": "/usr/lib/wine/wine", "win64": "/usr/lib/wine/wine64"}


def exe_arch(path):
    """win32 or win64: the Wine a PE executable needs, from its COFF header's machine field."""
    with open(path, "rb") as f:
        header = f.read(4096)
    offset = struct.unpack_from("<I", header, 0x3C)[0]
    machine = struct.unpack_from("<H", header, offset + 4)[0]
    return {0x014C: "win32", 0x8664: "win64"}[machine]


def image_range(path):
    """(first, end) of the addresses an executable occupies when loaded at its preferred base,
    from its optional header (PE32 or PE32+)."""
    with open(path, "rb") as f:
        header = f.read(4096)
    optional = struct.unpack_from("<I", header, 0x3C)[0] + 24
    magic, = struct.unpack_from("<H", header, optional)
    base = (struct.unpack_from("<Q", header, optional + 24)[0] if magic == 0x20B
            else struct.unpack_from("<I", header, optional + 28)[0])
    return base, base + struct.unpack_from("<I", header, optional + 56)[0]


def build_arch(build_dir):
    return exe_arch(os.path.join(build_dir, "UpdateTool.exe"))


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class WineError(RuntimeError):
    pass


def _base_env(prefix, lang, arch):
    env = dict(os.environ)
    for name in ("LC_ALL", "LC_MESSAGES", "LANGUAGE", "DISPLAY", "WAYLAND_DISPLAY"):
        env.pop(name, None)
    # Wine's own error messages stay on, in each program's log beside its output.
    env.update(WINEPREFIX=prefix, WINEARCH=arch, WINELOADER=LOADERS[arch], WINEDEBUG="fixme-all",
               WINEDLLOVERRIDES="mscoree,mshtml=",
               LANG="ja_JP.UTF-8" if lang == "ja" else "C.UTF-8")
    return env


def _wait_server_gone(env, timeout):
    """wineserver -w waits for the server to end; bounded by our own timeout."""
    try:
        subprocess.run(["wineserver", "-w"], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout)
    except subprocess.TimeoutExpired:
        subprocess.run(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30)


def create_prefix(prefix, log_dir, arch):
    """Creates a fresh prefix of arch with the graphics driver off; returns seconds taken."""
    start = time.monotonic()
    env = _base_env(prefix, "en", arch)
    os.makedirs(os.path.dirname(prefix), exist_ok=True)
    os.makedirs(log_dir, exist_ok=True)
    # On an emulated PC whose cores are also busy elsewhere, wineboot was seen waiting forever
    # on a service that never answered ("service protocol error"): a second try starts afresh.
    for attempt in (1, 2):
        subprocess.run(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30)
        shutil.rmtree(prefix, ignore_errors=True)
        with open(os.path.join(log_dir, "wineboot-%d.log" % attempt), "wb") as log:
            try:
                rc = subprocess.run([LOADERS[arch], "wineboot", "-i"], env=env,
                                    stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                    timeout=300).returncode
                break
            except subprocess.TimeoutExpired:
                if attempt == 2:
                    raise
                print("wineboot gave no answer in 300 s (see %s): trying once more" % log.name,
                      flush=True)
    if rc != 0:
        raise WineError("wineboot -i failed with %d (see %s)" % (rc, log_dir))
    reg = os.path.join(log_dir, "prefix.reg")
    with open(reg, "w") as f:
        f.write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]\n\"Graphics\"=\"null\"\n")
    with open(os.path.join(log_dir, "prefix-regedit.log"), "wb") as log:
        subprocess.run([LOADERS[arch], "regedit", "/S", windows_path(reg)], env=env,
                       stdin=subprocess.DEVNULL, stdout=log, stderr=log, timeout=120)
    # Let the server end by itself so the registry reaches the disk.
    _wait_server_gone(env, 120)
    with open(os.path.join(prefix, PREFIX_STAMP), "w") as stamp:
        stamp.write(arch + " " + subprocess.run([LOADERS[arch], "--version"], env=env,
                                                capture_output=True, text=True).stdout)
    return time.monotonic() - start


def prefix_ready(prefix, arch):
    """The prefix was made whole, for arch: a prefix of the other word size is made anew."""
    try:
        with open(os.path.join(prefix, PREFIX_STAMP)) as stamp:
            return stamp.read().startswith(arch + " ")
    except OSError:
        return False


class PrefixLock:
    """One wineserver per prefix: sessions of concurrent test runs take turns."""

    def __init__(self, prefix, timeout=900):
        self.path = prefix + ".lock"
        self.timeout = timeout
        self.fd = None

    def __enter__(self):
        os.makedirs(os.path.dirname(self.path), exist_ok=True)
        self.fd = os.open(self.path, os.O_RDWR | os.O_CREAT, 0o644)
        deadline = time.monotonic() + self.timeout
        while True:
            try:
                fcntl.flock(self.fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
                return self
            except BlockingIOError:
                if time.monotonic() > deadline:
                    raise WineError("prefix %s stayed locked" % self.path)
                time.sleep(0.5)

    def __exit__(self, *exc):
        os.close(self.fd)


class Session:
    """One wineserver in one language; display None for the null graphics driver, or an X
    display: on a bare X server a Wine virtual desktop of desktop_size draws the captions that
    no window manager draws; on a user's own display windows go straight to it."""

    def __init__(self, prefix, programs, log_dir, *, arch, lang="en", display=None,
                 desktop_size="1024x768", virtual_desktop=True):
        self.prefix = prefix
        self.arch = arch
        self.loader = LOADERS[arch]
        self.programs = programs
        self.log_dir = log_dir
        self.lang = lang
        self.display = display
        self.desktop_size = desktop_size
        self.virtual_desktop = virtual_desktop
        self.env = _base_env(prefix, lang, arch)
        if display:
            self.env["DISPLAY"] = display
        self.counter = 0
        self.numbering = threading.Lock()
        self.started = []
        self.holder = None
        self.born = time.monotonic()
        os.makedirs(log_dir, exist_ok=True)

    # -- life of the session
    def _server(self, option):
        """wineserver -k or -p, its messages (and, for -p, the server's for its whole life) in
        the session's wineserver.log."""
        self.note("wineserver " + option)
        with open(os.path.join(self.log_dir, "wineserver.log"), "ab") as log:
            subprocess.run(["wineserver", option], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=log, stderr=log, timeout=30)

    def note(self, text):
        """A line in the session's timeline, session.log: what ran when."""
        with open(os.path.join(self.log_dir, "session.log"), "a") as log:
            log.write("%8.3f %s\n" % (time.monotonic() - self.born, text))

    def record_state(self, why):
        """What the machine looked like at a failure: every process of the session (state and
        CPU time) and, on a screen, its windows; into the log folder."""
        path = self._log("state")
        self.note("state recorded in %s: %s" % (os.path.basename(path), why))
        with open(path, "w") as out:
            out.write(why + "\n\nload average: " + open("/proc/loadavg").read() + "\n")
            for proc in self.started:
                out.write("%s: pid %d, %s\n" % (os.path.basename(proc.log_path), proc.pid,
                                               "running" if proc.poll() is None
                                               else "ended with %s" % proc.returncode))
            out.write("\n")
            out.flush()
            # Every Wine, X and harness process on the machine, other test runs' included; the
            # terminal column tells which process a printer's pseudo-terminal belongs to.
            ps = subprocess.run(["ps", "-eo", "pid,ppid,sid,tty,stat,etimes,time,wchan:24,args",
                                 "--forest"], capture_output=True, text=True, timeout=30).stdout
            out.writelines(line + "\n" for n, line in enumerate(ps.splitlines())
                           if n == 0 or re.search(r"wine|\.exe|Xvfb|python", line))
            out.flush()
            if self.display:
                subprocess.run(["xwininfo", "-display", self.display, "-root", "-tree"],
                               stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                               timeout=30)

    def start(self):
        self._server("-k")
        self._server("-p")
        if self.display and not self.virtual_desktop:
            graphics = ['"Graphics"="x11"']
            desktop = '[-HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n'
        elif self.display:
            graphics = ['"Graphics"="x11"']
            desktop = ('[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n"Desktop"="Default"\n\n'
                       '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\n'
                       '"Default"="%s"\n' % self.desktop_size)
        else:
            graphics = ['"Graphics"="null"']
            desktop = '[-HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n'
        self.registry("[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]\n" + "\n".join(graphics)
                      + "\n\n" + desktop + "\n[HKEY_CURRENT_USER\\Software\\Wine]\n"
                      '"Version"=-\n')
        # The desktop process started by that first call keeps the graphics driver it found:
        # restart the server (which saves the registry) so the whole session starts with ours.
        self._server("-k")
        _wait_server_gone(self.env, 30)
        self._server("-p")
        self._hold_desktop()
        return self

    def _hold_desktop(self):
        """Keeps a program on the session's desktop for the session's life. The server closes a
        desktop 1 s after its last program left (and the desktop process quits); a program that
        opened it just then stays on the dying desktop while the ones after it, the driver
        among them, get a new one: a dialog the driver never sees, seen under load."""
        self.holder = self.start_program([os.path.join(self.programs, "ud_driver.exe"), "hold"],
                                         "driver-hold")
        self.started.remove(self.holder)
        deadline = time.monotonic() + 60
        while '"holding"' not in log_text(self.holder):
            if self.holder.poll() is not None or time.monotonic() > deadline:
                raise WineError("the desktop holder did not start (see %s)" %
                                self.holder.log_path)
            time.sleep(0.05)

    def stop(self):
        for proc in self.started + ([self.holder] if self.holder else []):
            kill(proc)
        self.started.clear()
        self._server("-k")
        _wait_server_gone(self.env, 30)
        self.note("stopped")
        # A server told to end lists every object it held: no help in finding a failure.
        path = os.path.join(self.log_dir, "wineserver.log")
        with open(path, encoding="utf-8", errors="replace") as log:
            kept = [line for line in log if not SERVER_DUMP.match(line)]
        with open(path, "w") as log:
            log.writelines(kept)

    # -- running programs
    def _number(self):
        """The next number of the session's logs and imports: a printer's restart imports from
        a thread of its own, beside the scenario's programs."""
        with self.numbering:
            self.counter += 1
            return self.counter

    def _log(self, name):
        number = self._number()
        self.note("%02d %s" % (number, name))
        return os.path.join(self.log_dir, "%02d-%s.log" % (number, name))

    def run(self, args, name, timeout=60, extra_env=None):
        """Runs a wine program to its end; returns (exit code, output text). A program Wine
        failed to start (its loader or start.exe says so, and the program never ran) is
        started again, twice at most, and the session log says so."""
        for attempt in range(3):
            rc, text = self._run_once(args, name, timeout, extra_env)
            failed = START_FAILED.search(text) if rc != 0 else None
            if not failed or attempt == 2:
                break
            self.note("%s: Wine did not start it (%s), started again" %
                      (name, failed.group(0).strip()))
            time.sleep(1)
        return rc, text

    def _run_once(self, args, name, timeout, extra_env):
        log = self._log(name)
        env = dict(self.env, **(extra_env or {}))
        with open(log, "wb") as out:
            proc = subprocess.Popen([self.loader] + args, env=env, stdin=subprocess.DEVNULL,
                                    stdout=out, stderr=out, start_new_session=True)
        proc.log_path = log
        try:
            rc = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            # A program that gives no answer is recorded where it hangs (its state and kernel
            # wait beside every other process of the session) before it is killed.
            self.started.append(proc)
            self.record_state("%s gave no answer in %s s" % (name, timeout))
            self.started.remove(proc)
            kill(proc)
            rc = None
        self.note("%s ended with %s" % (name, rc))
        with open(log, encoding="utf-8", errors="replace") as f:
            return rc, f.read()

    def start_program(self, args, name, extra_env=None):
        """Starts a wine program in the background; its output goes to a log file."""
        log = self._log(name)
        env = dict(self.env, **(extra_env or {}))
        out = open(log, "wb")
        proc = subprocess.Popen([self.loader] + args, env=env, stdin=subprocess.DEVNULL,
                                stdout=out, stderr=out, start_new_session=True)
        out.close()
        proc.log_path = log
        self.started.append(proc)
        return proc

    def start_tool(self, exe, name="tool", extra_env=None):
        return self.start_program([exe], name, extra_env)

    def driver(self, *args, timeout=60):
        """Runs ud_driver with args; returns (exit code, list of its JSON events)."""
        rc, text = self.run([os.path.join(self.programs, "ud_driver.exe")] + list(args),
                            "driver-" + args[0], timeout=timeout)
        events = parse_events(text)
        if rc != 0 and not events:
            # Nothing of the driver's own: what Wine said is the only account of the failure.
            print("    driver %s ended with %s, saying: %s" % (args[0], rc, text[-600:].strip()),
                  flush=True)
        return rc, events

    def start_driver(self, *args):
        return self.start_program([os.path.join(self.programs, "ud_driver.exe")] + list(args),
                                  "driver-" + args[0])

    def raw_write(self, device_path, image, timeout):
        """The plain write loop, no window, sends the header and image to device_path; returns
        its "raw" event ({"ms", "writes"}) and the wall time of the Wine call in ms, or raises
        WineError when it failed."""
        started = time.monotonic()
        rc, text = self.run([os.path.join(self.programs, "raw_write.exe"), device_path,
                             windows_path(image)], "raw-write", timeout=timeout)
        wall = (time.monotonic() - started) * 1000
        result = [e for e in parse_events(text) if e.get("event") == "raw"]
        if rc != 0 or not result:
            raise WineError("the raw loop failed (%s): %s" % (rc, text[-300:]))
        return result[-1], wall

    def registry(self, body):
        """Imports registry text (REGEDIT4 syntax without its header) into the prefix."""
        path = os.path.join(self.log_dir, "%02d-import.reg" % self._number())
        with open(path, "w", encoding="ascii") as f:
            f.write("REGEDIT4\n\n" + body + "\n")
        rc, text = self.run(["regedit", "/S", windows_path(path)], "regedit", timeout=60)
        if rc != 0:
            raise WineError("regedit failed (%s): %s" % (rc, text[-500:]))

    def set_windows_version(self, version):
        value = '"Version"="%s"' % version if version else '"Version"=-'
        self.registry("[HKEY_CURRENT_USER\\Software\\Wine]\n" + value + "\n")


# What Wine prints when it could not start a program at all (exit code 1 from start.exe,
# the low byte of the status from the loader): no verdict on the program, which never ran.
START_FAILED = re.compile(r"^wine: (failed to|could not) .*$|^.*ShellExecuteEx failed.*$", re.M)
SERVER_DUMP = re.compile(r"(0x[0-9a-f]+:\d+: |\s+[0-9a-f]{4}: (0x|ref=))")


def programs_dir(build_dir):
    """Where the build keeps the Windows programs the harness runs (driver, raw loop)."""
    return os.path.join(build_dir, "tests", "harness_programs")


def _places(build_dir, home):
    """The prefix and the log folder of home (build_dir/wine by default)."""
    home = home or os.path.join(build_dir, "wine")
    return os.path.join(home, "prefix"), os.path.join(home, "logs")


def remake_prefix(build_dir, home=None):
    """A fresh prefix for a test run, made whatever is there."""
    prefix, logs = _places(build_dir, home)
    with PrefixLock(prefix):
        print("Wine prefix created in %.0f s: %s" % (create_prefix(
            prefix, os.path.join(logs, "prefix"), build_arch(build_dir)), prefix), flush=True)


@contextlib.contextmanager
def open_session(build_dir, name, *, lang="en", screen=False, display=None, home=None):
    """A started session named name for the build in build_dir, stopped on the way out whatever
    happened. The prefix (home/prefix; home defaults to build_dir/wine) is held for the session's
    life, and made first when missing or of the other word size. screen: on an X screen of its
    own, in a Wine virtual desktop; display: on that X display (a user's), windows straight on
    it; neither: no graphics at all. Logs go to home/logs/name, emptied first so that the
    folder tells of this session only; a failure that escapes records the state of the machine
    there."""
    prefix, logs = _places(build_dir, home)
    log_dir = os.path.join(logs, name)
    arch = build_arch(build_dir)
    with contextlib.ExitStack() as stack:
        stack.enter_context(PrefixLock(prefix))
        if not prefix_ready(prefix, arch):
            print("creating the Wine prefix %s (%.0f s)" % (prefix, create_prefix(
                prefix, os.path.join(logs, "prefix"), arch)), flush=True)
        shutil.rmtree(log_dir, ignore_errors=True)
        if screen:
            display = stack.enter_context(VirtualScreen(log_dir)).display
        session = Session(prefix, programs_dir(build_dir), log_dir, arch=arch, lang=lang,
                          display=display, virtual_desktop=screen)
        stack.callback(session.stop)
        session.start()
        try:
            yield session
        except BaseException as error:
            session.record_state("%s: %s" % (type(error).__name__, error))
            raise


def parse_events(text):
    events = []
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("{"):
            try:
                events.append(json.loads(line))
            except ValueError:
                pass
    return events


def log_text(proc):
    with open(proc.log_path, encoding="utf-8", errors="replace") as f:
        return f.read()


def wait_exit(proc, timeout):
    """The exit code of a started program, or None when it outlived the timeout."""
    try:
        return proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        return None


def kill(proc):
    if proc.poll() is None:
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        proc.wait(timeout=10)


def take_screenshot(display, path, settle=0.5):
    """Saves the whole X screen of display as a PNG; None on success, else the error text."""
    time.sleep(settle)  # let the last paint reach the X server
    result = subprocess.run(["import", "-display", display, "-window", "root", path],
                            stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
    if result.returncode != 0 or not os.path.exists(path) or os.path.getsize(path) == 0:
        return result.stderr.decode(errors="replace") or "no image written"
    return None


class VirtualScreen:
    """An Xvfb server of our own; Wine draws into a virtual desktop on it."""

    def __init__(self, log_dir, size="1024x768"):
        self.log_dir = log_dir
        self.size = size
        self.proc = None
        self.display = None

    def __enter__(self):
        os.makedirs(self.log_dir, exist_ok=True)
        read_end, write_end = os.pipe()
        log = open(os.path.join(self.log_dir, "xvfb.log"), "wb")
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", self.size + "x24",
             "-nolisten", "tcp"], stdin=subprocess.DEVNULL, stdout=log, stderr=log,
            pass_fds=(write_end,))
        log.close()
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 30
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([read_end], [], [], 1)
            if ready:
                chunk = os.read(read_end, 16)
                if not chunk:
                    break
                number += chunk
        os.close(read_end)
        if not number.strip():
            self.__exit__()
            raise WineError("Xvfb did not start (see %s)" % self.log_dir)
        self.display = ":" + number.decode().strip()
        return self

    def __exit__(self, *exc):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
