"""The simulated USB printers and the host-side receivers that record what the tool writes.

Wine's SetupAPI lists a device interface that the registry declares under DeviceClasses (present
while its '#\\Control' key says Linked = 1) and reads the device's hardware IDs from its Enum key,
which must also name a device class. CreateFileA on the interface's device path opens whatever
the prefix's dosdevices/ folder holds under that path's name: a link to a FIFO, a
pseudo-terminal or /dev/full stands in for the printer's USB pipe.
"""
import os
import re
import select
import stat
import threading
import time
import tty

USBPRINT = "{28d78fad-5a12-11d1-ae5b-0000f803a8c2}"
USB_CLASS = "{36fc9e60-c465-11cf-8056-444553540000}"
HKLM_CCS = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet"
# The release number the printers of the model report in their hardware IDs, as REV_0100, unless
# a scenario gives one another.
REVISION = "0100"


class Device:
    """One USB printer interface: its instance id, hardware-ID list and device path, and the
    revision it reports: when not None, what follows REV_ in each entry of the list that has one,
    up to the next '&' ("0231", or a malformed "023")."""
    revision = None

    def __init__(self, hardware_base=None, serial=None, hardware_ids=None):
        if hardware_base is not None:
            self.describe(hardware_base, serial, hardware_ids)

    def describe(self, hardware_base, serial, hardware_ids):
        self.instance = "USB\\%s\\%s" % (hardware_base, serial)
        self.hardware_ids = hardware_ids
        self.path_name = ("usb#%s#%s#%s" % (hardware_base, serial, USBPRINT)).lower()
        self.device_path = "\\\\?\\" + self.path_name

    def listed_ids(self):
        """The hardware IDs as the device lists them, its revision in their REV_ fields."""
        if self.revision is None:
            return self.hardware_ids
        return [re.sub(r"(?i)(&REV_)[^&]*", lambda m: m.group(1) + self.revision, h)
                for h in self.hardware_ids]

    def _key(self):
        return "%s\\Control\\DeviceClasses\\%s\\##?#%s" % (HKLM_CCS, USBPRINT, self.path_name)

    def registry_plug(self, linked):
        multi = b"".join(h.encode("ascii") + b"\0" for h in self.listed_ids()) + b"\0"
        return "\n".join([
            "[%s\\Enum\\%s]" % (HKLM_CCS, self.instance),
            '"HardwareID"=hex(7):' + ",".join("%02x" % b for b in multi),
            '"ClassGUID"="%s"' % USB_CLASS,
            "",
            "[%s]" % self._key(),
            '"DeviceInstance"="%s"' % self.instance.replace("\\", "\\\\"),
            "",
            "[%s\\#]" % self._key(),
            '"SymbolicLink"="%s"' % self.device_path.replace("\\", "\\\\"),
            "",
            "[%s\\#\\Control]" % self._key(),
            '"Linked"=dword:%08x' % (1 if linked else 0),
            "",
        ])

    def registry_remove(self):
        return "[-%s]\n[-%s\\Enum\\%s]\n" % (self._key(), HKLM_CCS, self.instance)


# The printer the tool looks for: its configured ID in lower case, second in the list.
TARGET = Device()
# Another USB printer listed before it, whose IDs only come close to the configured one.
OTHER = Device()


# A printer whose interface is declared but not linked, listed before the target, and one
# listed after it: a lookup that takes the interface at the target's position in the whole set
# instead of the target's own would open NEXT.
STALE = Device("VID_0A0B&PID_0001&MI_00", "6&00000001&0&0000", ["USB\\VID_0A0B&PID_0001&MI_00"])
NEXT = Device("VID_9C8B&PID_0001&MI_00", "6&00000009&0&0000", ["USB\\VID_9C8B&PID_0001&MI_00"])
# A second printer of the model the tool looks for, on another port.
TWIN = Device()
ALL_DEVICES = (STALE, OTHER, TARGET, NEXT, TWIN)


def build_model(build_dir):
    """The printer model the build was configured for, as the header it generated for the tool
    says: {"hardware_id": "USB\\VID_...", "header": the header's bytes, "length_at": where
    the image's length goes in it, "versions": the tool's and the firmware's}."""
    with open(os.path.join(build_dir, "generated", "build_config.h")) as f:
        define = dict(re.findall(r"^#define (UPDATE_TOOL_\w+) (.*)$", f.read(), re.M))
    length = int(define["UPDATE_TOOL_HEADER_LENGTH"])
    return {
        "hardware_id": define["UPDATE_TOOL_HARDWARE_ID"].strip('"').replace("\\\\", "\\"),
        "header": bytes(int(b, 0) for b in define["UPDATE_TOOL_HEADER_BYTES"].split(","))
        if length else b"",
        "length_at": int(define.get("UPDATE_TOOL_HEADER_LENGTH_AT", "0")),
        "versions": tuple(define[k].strip('"') for k in ("UPDATE_TOOL_VERSION",
                                                         "UPDATE_TOOL_FIRMWARE_VERSION")),
    }


def use_model(build_dir):
    """Gives the printers of the build's model, and the one close to it, the configured ID; the
    printers of the model report REVISION until a scenario sets their revision."""
    configured = build_model(build_dir)["hardware_id"]
    base = configured.split("\\", 1)[1]
    # "USB\\VID_xxxx&PID_xxxx" then the interface: a revision goes between them, as devices
    # list it.
    maker_product, interface = configured[:21], configured[21:]
    revised = maker_product + "&REV_" + REVISION + interface
    TARGET.describe(base, "6&1d2e3f4a&0&0001", [revised, configured.lower()])
    TWIN.describe(base, "6&1d2e3f4a&0&0002", [revised, configured])
    TARGET.revision = TWIN.revision = REVISION
    OTHER.describe("VID_1A2B&PID_0C0D&MI_00", "6&0a0b0c0d&0&0000",
                   ["USB\\VID_1A2B&PID_0C0D&MI_00", maker_product, configured + "2"])


class Printers:
    """Plugs the simulated printers in and out of one session's prefix."""

    def __init__(self, session):
        self.session = session
        self.dosdevices = os.path.join(session.prefix, "dosdevices")

    def link(self, device, target):
        path = os.path.join(self.dosdevices, device.path_name)
        if os.path.lexists(path):
            os.unlink(path)
        if target is not None:
            os.symlink(target, path)

    def plug(self, device, target):
        """Declares the device present, its path leading to target (a host path)."""
        self.link(device, target)
        self.session.registry(device.registry_plug(True))

    def plug_together(self, *pairs):
        """Declares several (device, target) pairs present at once, in one registry change."""
        for device, target in pairs:
            self.link(device, target)
        self.session.registry("".join(device.registry_plug(True) for device, _ in pairs))

    def unplug(self, device):
        # Wine keeps a device whose interface is merely unlinked in the set (without an
        # interface); a printer pulled out is gone from the set altogether.
        self.session.registry(device.registry_remove())
        self.link(device, None)

    def plug_stale(self, device):
        """Declares the device with its interface not linked: listed, but not present."""
        self.session.registry(device.registry_plug(False))

    def restart_after(self, device, rx, count, seconds, revision):
        """Once the FIFO receiver rx has had count bytes (the whole stream) and its writer has
        closed it, unplugs device, as a printer restarting into new firmware drops off the bus,
        and plugs it back seconds later reporting revision (None: never), its path leading to rx
        again. In a thread, returned, which gives up once rx is closed (the scenario's end)."""
        def restart():
            while not rx.quit and not any(at >= count for at in list(rx.writer_closes)):
                time.sleep(0.02)
            if not rx.quit:
                self.unplug(device)
            back = time.monotonic() + seconds
            while revision is not None and not rx.quit and time.monotonic() < back:
                time.sleep(0.05)
            if revision is not None and not rx.quit:
                device.revision = revision
                self.plug(device, rx.path)

        thread = threading.Thread(target=restart, daemon=True)
        thread.start()
        return thread

    def remove_all(self):
        self.session.registry("".join(d.registry_remove() for d in ALL_DEVICES))
        for device in ALL_DEVICES:
            self.link(device, None)


class Receiver:
    """Reads what the tool writes to a FIFO or a pseudo-terminal, in a thread of its own.

    rate: bytes per second to read at most (None: as fast as it comes); stop_after: close the
    reading end once that many bytes arrived, so the next write fails as if the printer had been
    unplugged. writer_closes counts the times every writer had closed the FIFO.
    """

    def __init__(self, directory, name, kind="fifo", rate=None, stop_after=None):
        self.kind = kind
        self.rate = rate
        self.stop_after = stop_after
        self.data = bytearray()
        self.writer_closes = []
        self.lock = threading.Lock()
        self.running = threading.Event()
        self.running.set()
        self.quit = False
        self.closed_at = None
        self.paced_from = None
        self.slave = None
        self.filler = 0  # bytes of hold_next_write's still to be read and dropped
        if kind == "fifo":
            self.path = os.path.join(directory, name + ".fifo")
            if os.path.lexists(self.path):
                os.unlink(self.path)
            os.mkfifo(self.path)
            self.fd = os.open(self.path, os.O_RDONLY | os.O_NONBLOCK)
        else:
            self.fd, self.slave = os.openpty()
            # Raw mode: bytes pass through unchanged, no echo, no line discipline.
            tty.setraw(self.slave)
            tty.setraw(self.fd)
            self.path = os.ttyname(self.slave)
        self.thread = threading.Thread(target=self._loop, daemon=True)
        self.thread.start()

    def count(self):
        with self.lock:
            return len(self.data)

    def pause(self):
        self.running.clear()

    def resume(self):
        self.paced_from = None
        self.running.set()

    def hold_next_write(self):
        """Pauses and fills the FIFO, so that the tool's next write waits, however short, until
        the resume; the filling is read first then and not recorded."""
        self.pause()
        time.sleep(0.3)  # the reading thread parks before the filling starts
        writer = os.open(self.path, os.O_WRONLY | os.O_NONBLOCK)
        try:
            while True:
                self.filler += os.write(writer, bytes(4096))
        except BlockingIOError:
            pass
        finally:
            os.close(writer)

    def wait_for(self, count, timeout):
        deadline = time.monotonic() + timeout
        while self.count() < count:
            if time.monotonic() > deadline:
                return False
            time.sleep(0.01)
        return True

    def wait_writer_close(self, timeout):
        deadline = time.monotonic() + timeout
        while not self.writer_closes:
            if time.monotonic() > deadline:
                return False
            time.sleep(0.02)
        return True

    def _reopen_fifo(self):
        # After the last writer leaves, poll reports a hang-up until the FIFO is reopened.
        os.close(self.fd)
        self.fd = os.open(self.path, os.O_RDONLY | os.O_NONBLOCK)

    def _loop(self):
        poller = select.poll()
        poller.register(self.fd, select.POLLIN)
        while not self.quit and self.fd is not None:
            if not self.running.wait(0.05):
                continue
            events = poller.poll(50)
            if not events:
                continue
            want = 4096
            if self.stop_after is not None:
                want = min(want, self.stop_after - self.count())
            try:
                chunk = os.read(self.fd, want) if want > 0 else b""
            except BlockingIOError:
                continue
            except OSError:
                chunk = b""
            dropped = min(self.filler, len(chunk))
            self.filler -= dropped
            chunk = chunk[dropped:]
            if dropped and not chunk:
                continue
            if chunk:
                with self.lock:
                    self.data += chunk
                if self.stop_after is not None and self.count() >= self.stop_after:
                    self.closed_at = self.count()
                    os.close(self.fd)
                    self.fd = None
                    return
                if self.rate:
                    # The rate counts from the first byte and from each resume: time before the
                    # tool writes, or spent paused, would otherwise be read at full speed, past a
                    # pause a test asks for or past the dialog a test reads after one.
                    now = time.monotonic()
                    if self.paced_from is None:
                        self.paced_from = now - (self.count() - len(chunk)) / self.rate
                    ahead = self.count() / self.rate - (now - self.paced_from)
                    if ahead > 0:
                        time.sleep(ahead)
                continue
            if self.kind == "fifo" and any(ev & select.POLLHUP for _, ev in events):
                with self.lock:
                    self.writer_closes.append(len(self.data))
                poller.unregister(self.fd)
                self._reopen_fifo()
                poller.register(self.fd, select.POLLIN)
            else:
                time.sleep(0.01)

    def close(self):
        self.quit = True
        self.running.set()
        self.thread.join(timeout=5)
        for fd in (self.fd, self.slave):
            if fd is not None:
                try:
                    os.close(fd)
                except OSError:
                    pass
        self.fd = self.slave = None
        if self.kind == "fifo" and os.path.lexists(self.path):
            os.unlink(self.path)


def embedded_image(build_dir):
    """The image file the build embedded: the configured one, else the generated test image."""
    with open(os.path.join(build_dir, "CMakeCache.txt")) as cache:
        for line in cache:
            if line.startswith("UPDATE_TOOL_FIRMWARE_IMAGE:"):
                configured = line.split("=", 1)[1].strip()
                if configured:
                    return os.path.abspath(configured)
    return os.path.join(build_dir, "test-firmware.bin")


def expected_stream(image_path, build_dir):
    """The build's transfer header with the image length, followed by the image itself."""
    with open(image_path, "rb") as f:
        image = f.read()
    model = build_model(build_dir)
    header, at = model["header"], model["length_at"]
    if header:
        header = header[:at] + len(image).to_bytes(4, "big") + header[at + 4:]
    return header + image


def first_difference(expected, actual):
    """A short report of where two byte streams first differ, or None when they are equal."""
    if expected == actual:
        return None
    n = min(len(expected), len(actual))
    at = next((i for i in range(n) if expected[i] != actual[i]), n)
    lo = max(0, at - 8)
    return ("lengths %d expected, %d received; first difference at offset %d\n"
            "  expected %s\n  received %s" % (len(expected), len(actual), at,
                                                expected[lo:at + 8].hex(" "),
                                                actual[lo:at + 8].hex(" ")))


def is_fifo(path):
    return stat.S_ISFIFO(os.stat(path).st_mode)
