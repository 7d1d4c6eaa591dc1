"""Screenshots of every dialog state at 96 and 144 dpi, English and Japanese, through the
screenshot scenario, whose checks include the painted bar inside its closed frame. The evidence
behind the manifest's DPI setting.

Usage: python3 -m tests.release.dpi_screenshots BUILD_DIR [DPI...]
Saves build/windows/screenshots/dpi<N>/<lang>-<state>.png, through the system tests' harness
(session, simulated printer, driver, screenshot scenario).
"""
import os
import shutil
import sys

from tests.system import scenarios, wine
from tests.system.tool import Context


def shoot(build_dir, dpi, lang):
    group = "dpi%d-%s" % (dpi, lang)
    shots = os.path.join(build_dir, "screenshots")
    out_dir = os.path.join(shots, "dpi%d" % dpi)
    os.makedirs(out_dir, exist_ok=True)
    with wine.open_session(build_dir, group, lang=lang, screen=True) as session:
        session.registry('[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n'
                         '"LogPixels"=dword:%08x\n' % dpi)
        try:
            failed = scenarios.run_scenario(group, scenarios.screenshots,
                                            Context(build_dir, session, lang))
        finally:
            # The prefix is shared: leave it at the platform's default resolution.
            session.registry('[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"LogPixels"=-\n')
    if failed:
        raise scenarios.Failure("the screenshot scenario failed (see %s)" % session.log_dir)
    saved = []
    for state in ("not-found", "several", "ready", "progress", "busy", "done", "failed"):
        name = "%s-%s.png" % (lang, state)
        shutil.move(os.path.join(shots, name), os.path.join(out_dir, name))
        saved.append(os.path.join(out_dir, name))
    return saved


def main(argv):
    build_dir = os.path.abspath(argv[1])
    dpis = [int(d) for d in argv[2:]] or [96, 144]
    failures = 0
    for dpi in dpis:
        for lang in ("en", "ja"):
            try:
                saved = shoot(build_dir, dpi, lang)
            except Exception as error:  # a failed scenario check or a broken harness alike
                print("FAIL %d dpi %s: %s" % (dpi, lang, error))
                failures += 1
                continue
            print("ok   %d dpi %s: bar inside its frame; %s" %
                  (dpi, lang, os.path.relpath(os.path.dirname(saved[0]), build_dir)))
    return 1 if failures else 0


if __name__ == "__main__":
    raise SystemExit(main(sys.argv))
