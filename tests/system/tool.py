"""The tool under test as a user meets it, for the scenarios, the release checks and the
benchmark alike: a context per run (the executable, its image, its printers and their
receivers), its dialogs awaited, read and clicked through the driver, and what the printer
received checked against the header and image.
"""
import hashlib
import os
import time

from tests.system import printer, texts, wine
from tests.system.printer import TARGET

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# Seconds: the longest a dialog may take to come up, and a whole throttled transfer.
DIALOG_TIMEOUT = 20
TRANSFER_TIMEOUT = 120
# In the emulated 32-bit test VM everything runs slower by the emulation alone: there the margin
# each of the tool's timing goals allows above its nominal figure is widened by this factor (the
# VM's build sets it). Natively it is 1, and the goals are checked as they stand.
TIME_SLACK = float(os.environ.get("UPDATE_TOOL_TIME_SLACK", "1"))


def within(nominal, margin):
    """The latest a timed answer may come: nominal plus its margin, widened when emulated."""
    return nominal + margin * TIME_SLACK


class Failure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


class Context:
    def __init__(self, build_dir, session, lang, exe=None, image=None, target=TARGET, stream=None,
                 revision=None):
        """exe, image, target, stream: another build of the tool, the image it embeds, a printer of
        its model (scenarios that look at ctx.target) and what it receives, instead of the build
        dir's; revision: the firmware revision that build was made with ("0231")."""
        self.revision = revision
        self.build_dir = build_dir
        printer.use_model(build_dir)
        self.session = session
        self.lang = lang
        self.strings = texts.load_strings(SOURCE_DIR, lang)
        self.exe = exe or os.path.join(build_dir, "UpdateTool.exe")
        self.image = image or printer.embedded_image(build_dir)
        self.target = target
        self.printers = printer.Printers(session)
        self.receivers = []
        self.notes = []
        self.expected = stream

    def expected_stream(self):
        if self.expected is None:
            self.expected = printer.expected_stream(self.image, self.build_dir)
        return self.expected

    def receiver(self, name, **options):
        rx = printer.Receiver(self.session.log_dir, name, **options)
        self.receivers.append(rx)
        return rx

    def note(self, text):
        self.notes.append(text)
        print("    note: " + text, flush=True)


# -- reading the dialogs -------------------------------------------------------------------

def last(events, name):
    found = [e for e in events if e.get("event") == name]
    return found[-1] if found else None


def expect_state(ctx, dialog, state):
    """The update dialog shows state's message and buttons, captioned with the title."""
    check(dialog is not None, "no update dialog where %s was expected" % state)
    s = ctx.strings
    message_id, action_id = texts.STATE_TEXTS[state]
    problems = []
    if dialog["caption"] != s["IDS_TITLE"]:
        problems.append("caption %r, expected %r" % (dialog["caption"], s["IDS_TITLE"]))
    if dialog["message"] != s[message_id]:
        problems.append("message %r, expected %s %r" % (dialog["message"], message_id,
                                                        s[message_id]))
    if action_id is None:
        if dialog["action"]["visible"]:
            problems.append("action button visible (%r) in state %s" %
                            (dialog["action"]["text"], state))
    elif dialog["action"]["text"] != s[action_id] or not dialog["action"]["visible"]:
        problems.append("action button %r visible=%s, expected %r" %
                        (dialog["action"]["text"], dialog["action"]["visible"], s[action_id]))
    if dialog["exit"]["text"] != s["IDS_EXIT"] or not dialog["exit"]["visible"]:
        problems.append("exit button %r visible=%s" % (dialog["exit"]["text"],
                                                       dialog["exit"]["visible"]))
    if not dialog["centred"]:
        problems.append("dialog not centred: %r on %r" % (dialog["rect"], dialog["screen"]))
    check(not problems, "state %s: " % state + "; ".join(problems))


def wait_dialog(ctx, state, not_hwnd=None):
    args = ["wait", "--timeout", str(DIALOG_TIMEOUT * 1000)]
    if not_hwnd:
        args += ["--not", not_hwnd]
    rc, events = ctx.session.driver(*args, timeout=DIALOG_TIMEOUT + 30)
    dialog = last(events, "update")
    check(rc == 0 and dialog, "no %s dialog appeared (driver %s: %s)" % (state, rc, events))
    expect_state(ctx, dialog, state)
    return dialog


def click(ctx, button):
    rc, events = ctx.session.driver("click", button, "--timeout", str(DIALOG_TIMEOUT * 1000),
                                    timeout=DIALOG_TIMEOUT + 30)
    check(rc == 0 and last(events, "closed"),
          "pressing %s did not close the dialog: %s" % (button, events))
    return last(events, "before")


def expect_escape_ignored(ctx, state):
    rc, events = ctx.session.driver("escape")
    check(rc == 0 and last(events, "escape")["stillOpen"],
          "Esc closed the %s dialog: %s" % (state, events))


def start_tool(ctx, state, name="tool"):
    proc = ctx.session.start_tool(ctx.exe, name)
    return proc, wait_dialog(ctx, state)


def exit_tool(ctx, proc):
    """Presses Exit and expects the process to end with code 0."""
    click(ctx, "exit")
    rc = wine.wait_exit(proc, DIALOG_TIMEOUT)
    check(rc == 0, "the tool ended with %r after Exit, expected 0" % rc)


def launch(ctx, args, timeout=DIALOG_TIMEOUT, background=False, answer=False):
    """Starts the tool with the command line args as a deployment tool does, watching its windows
    until it ends: the driver's "exited" event (exitCode as GetExitCodeProcess reads it), or with
    background the running driver. answer: a message box is read and answered."""
    options = ["launch", '"%s" %s' % (wine.windows_path(ctx.exe), args), "--timeout",
               str(timeout * 1000)] + (["--answer"] if answer else [])
    if background:
        return ctx.session.start_driver(*options)
    ended = last(ctx.session.driver(*options, timeout=timeout + 30)[1], "exited")
    check(ended, "UpdateTool %s did not end within %d s" % (args, timeout))
    return ended


def expect_exit(ctx, args, code, ended=None, **options):
    """The tool run with args (or the run ended) ends with code, no window shown at any moment."""
    ended = ended or launch(ctx, args, **options)
    check(ended["exitCode"] == code and ended["visible"] == 0,
          "UpdateTool %s: %s, expected exit code %d and no window" % (args, ended, code))
    return ended


def transfer(ctx, *options):
    """Presses the action button in the ready (or failed) dialog and follows the run to the
    next update dialog; returns the driver's events."""
    rc, events = ctx.session.driver("transfer", "--timeout", str(TRANSFER_TIMEOUT * 1000),
                                    *options, timeout=TRANSFER_TIMEOUT + 30)
    check(rc == 0 and last(events, "update"), "no dialog after the transfer: %s" % events)
    return events


def expect_received(ctx, rx, timeout=30):
    expected = ctx.expected_stream()
    rx.wait_for(len(expected), timeout)
    time.sleep(0.2)  # anything beyond the expected end would show up now
    with rx.lock:
        got = bytes(rx.data)
    diff = printer.first_difference(expected, got)
    check(diff is None, "the printer received something else than header + image: " + str(diff))
    return hashlib.sha256(got).hexdigest()



# -- Wine relay traces of the tool's own calls

RELAY_ENV = {"WINEDEBUG": "+relay"}


def set_relay(ctx, functions):
    """Traces the named functions in programs started with RELAY_ENV (None: trace off)."""
    if functions:
        ctx.session.registry('[HKEY_CURRENT_USER\\Software\\Wine\\Debug]\n'
                             '"RelayInclude"="%s"\n' % ";".join(functions))
    else:
        ctx.session.registry('[-HKEY_CURRENT_USER\\Software\\Wine\\Debug]\n')


log_text = wine.log_text


def follow_transfer(ctx, timeout):
    """Starts the driver pressing Transfer, asking the progress dialog with WM_NULL and reading
    it through MSAA for as long as it is there; returns the running driver."""
    return ctx.session.start_driver("transfer", "--ping", "--msaa", "--timeout",
                                    str(timeout * 1000))


def driver_events(drv, timeout):
    check(wine.wait_exit(drv, timeout) == 0, "the driver did not see the transfer end")
    with open(drv.log_path, encoding="utf-8", errors="replace") as f:
        return wine.parse_events(f.read())

