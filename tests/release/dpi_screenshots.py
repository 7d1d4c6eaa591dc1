"""Screenshots of every dialog state at 96 and 144 dpi, English and Japanese, and a check that
the painted bar stays inside its frame at each. The evidence behind the manifest's DPI setting.

Usage: python3 -m tests.release.dpi_screenshots BUILD_DIR [DPI...]
Saves build/windows/screenshots/dpi<N>/<lang>-<state>.png, through the system tests' harness
(session, simulated printer, driver, screenshot scenario).
"""
import os
import shutil
import sys

from tests.system import scenarios, wine
from tests.system.tool import Context

BAR_GREEN = (0, 255, 0)  # the bar's colour on a white window colour


def bar_inside_frame(png):
    """None when the green bar sits inside a closed frame rectangle, else what is wrong."""
    width, height, rgb = scenarios.read_ppm(png)
    px = [[tuple(rgb[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
          for y in range(height)]
    green = [(x, y) for y in range(height) for x in range(width) if px[y][x] == BAR_GREEN]
    if not green:
        return "no bar pixels"
    left = min(x for x, _ in green)
    right = max(x for x, _ in green)
    top = min(y for _, y in green)
    bottom = max(y for _, y in green)
    if left == 0 or top == 0 or bottom + 1 >= height:
        return "bar touches the screen edge"
    mid = (top + bottom) // 2
    frame = px[mid][left - 1]
    if frame in (BAR_GREEN, (255, 255, 255)):
        return "no frame left of the bar"
    frame_right = next((x for x in range(right + 1, width) if px[mid][x] == frame), None)
    if frame_right is None:
        return "no frame right of the bar"
    fl, ft, fr, fb = left - 1, top - 1, frame_right, bottom + 1
    for x in range(fl, fr + 1):
        if px[ft][x] != frame or px[fb][x] != frame:
            return "frame's top or bottom edge broken at x=%d" % x
    for y in range(ft, fb + 1):
        if px[y][fl] != frame or px[y][fr] != frame:
            return "frame's left or right edge broken at y=%d" % y
    outside = [(x, y) for x, y in green if not (fl < x < fr and ft < y < fb)]
    if outside:
        return "%d bar pixels outside the frame, first at %s" % (len(outside), outside[0])
    return None


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
    for state in ("not-found", "ready", "progress", "done", "failed"):
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
            progress = [p for p in saved if p.endswith("-progress.png")][0]
            problem = bar_inside_frame(progress)
            print("%s %d dpi %s: %s" % ("FAIL" if problem else "ok  ", dpi, lang,
                                        problem or "bar inside its frame; " +
                                        os.path.relpath(os.path.dirname(progress), build_dir)))
            failures += 1 if problem else 0
    return 1 if failures else 0


if __name__ == "__main__":
    raise SystemExit(main(sys.argv))
