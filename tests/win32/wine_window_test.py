#!/usr/bin/env python3
"""The Windows program in its window under Wine, driven with xdotool like a person would.

Runs on the X display in $DISPLAY with the Wine prefix in $WINEPREFIX (tests/win32/wine_test.sh
prepares both; Wine draws the window frames itself there). Checks, through the probe that asks
Windows itself: the window of class "CodeBlocksWindowsApp" titled "DRK-20VT5P", its class
style, window style and outer size, and its centred position on the desktop. On screen: the
client area shows the panel picture pixel for pixel and the gamma measuring screen after the
power-on; a left click on POWER blanks the LCD in the unlit colours; a right click on POWER
starts it again; closing the window ends the program with exit code 0. The pictures are
compared with what the headless runner draws for the same screens.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

PANEL = (251, 444)
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from window_check import LCD, POWER, TITLE, Failure, check, run  # noqa: E402
from window_check import crop_pixels as rgb  # noqa: E402


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--app", required=True, help="drk20vt5p.exe")
    ap.add_argument("--probe", required=True, help="drk_window_probe.exe")
    ap.add_argument("--runner", required=True,
                    help="headless runner for the reference pictures (a .exe runs under Wine)")
    ap.add_argument("--screenshot", help="write a picture of the window here")
    args = ap.parse_args()
    wine = shutil.which("wine") or "wine"
    tmp = tempfile.mkdtemp(prefix="drk-wine-window-")
    app = None
    try:
        def reference(name, script):
            path = os.path.join(tmp, name + ".scn")
            with open(path, "w") as f:
                f.write(script)
            png = os.path.join(tmp, name + ".png")
            cmd = [args.runner, "--script", path, "--screenshot", png]
            if args.runner.endswith(".exe"):
                cmd.insert(0, wine)
            subprocess.run(cmd, check=True, capture_output=True)
            return png
        ref_gamma = reference("gamma", "wait 8s\n")
        ref_off = reference("off", "wait 8s\npower\nwait 5s\n")

        root = run("xwininfo", "-root")
        screen = {l.split(":")[0].strip(): l.split(":", 1)[1].strip()
                  for l in root.splitlines() if ":" in l}
        screen_w, screen_h = int(screen["Width"]), int(screen["Height"])

        app = subprocess.Popen([wine, args.app], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
        probe = subprocess.run([wine, args.probe, "--wait", "60"], capture_output=True,
                               text=True, timeout=120)
        info = {}
        for line in probe.stdout.splitlines():
            key, _, value = line.partition(" ")
            info[key] = value.strip()
        check(info.get("found") == "1" and info.get("class") == "CodeBlocksWindowsApp",
              "a window of class CodeBlocksWindowsApp appears")
        check(info.get("title") == "DRK-20VT5P", "its title is DRK-20VT5P")
        check(info.get("classstyle") == "3", "its class redraws on resizing (CS_HREDRAW | "
              "CS_VREDRAW, %s)" % info.get("classstyle"))
        check(info.get("style") == "border 1 sysmenu 1 caption 1 sizing 0 minimize 0 maximize 0",
              "a title bar with the system menu, no sizing frame, no minimise or maximise box")
        desktop = [int(v) for v in info["desktop"].split()]
        check(desktop == [0, 0, screen_w, screen_h],
              "the desktop is the whole X screen %dx%d" % (screen_w, screen_h))
        left, top, right, bottom = [int(v) for v in info["window"].split()]
        want_x = desktop[0] + (desktop[2] - desktop[0]) // 2 - PANEL[0] // 2
        want_y = desktop[1] + (desktop[3] - desktop[1]) // 2 - PANEL[1] // 2
        check((right - left, bottom - top) == PANEL,
              "its outer size is the panel's, %dx%d" % (right - left, bottom - top))
        check((left, top) == (want_x, want_y),
              "it is centred on the desktop at (%d, %d), want (%d, %d)"
              % (left, top, want_x, want_y))
        cx, cy, cw, ch = [int(v) for v in info["client"].split()]
        check(0 < cw < PANEL[0] and 0 < ch < PANEL[1],
              "the title bar and frame take their room from the client area (%dx%d)" % (cw, ch))

        def shot(name):
            png = os.path.join(tmp, name + ".png")
            run("import", "-window", "root", "-crop", f"{cw}x{ch}+{cx}+{cy}", "+repage", png)
            return png

        def wait_for(ref, box, what, timeout=30):
            want = rgb(ref, box)
            deadline = time.monotonic() + timeout
            while time.monotonic() < deadline:
                now = shot("now")
                if rgb(now, box) == want:
                    check(True, what)
                    return now
                time.sleep(0.2)
            check(False, what)

        def outside_lcd_matches(png, ref):
            # Row by row, the visible client area outside the LCD window.
            got, want = rgb(png, (0, 0, cw, ch)), rgb(ref, (0, 0, cw, ch))
            for y in range(ch):
                for x in range(cw):
                    inside = LCD[0] <= x < LCD[0] + LCD[2] and LCD[1] <= y < LCD[1] + LCD[3]
                    i = (y * cw + x) * 3
                    if not inside and got[i:i + 3] != want[i:i + 3]:
                        print("     first different pixel at %d,%d" % (x, y))
                        return False
            return True

        def click(pos, button):
            run("xdotool", "mousemove", str(cx + pos[0]), str(cy + pos[1]))
            run("xdotool", "mousedown", str(button))
            time.sleep(0.05)
            run("xdotool", "mouseup", str(button))

        now = wait_for(ref_gamma, TITLE, "after the power-on the LCD shows the gamma measuring "
                       "screen", timeout=60)
        check(outside_lcd_matches(now, ref_gamma),
              "around the LCD the client area shows the panel picture pixel for pixel")
        click(POWER, 1)
        wait_for(ref_off, LCD, "a left click on POWER switches it off: LCD blank and unlit")
        click(POWER, 3)
        wait_for(ref_gamma, TITLE, "a right click on POWER switches it on and it measures again")
        if args.screenshot:
            time.sleep(3)  # a reading with its error on the second line
            run("import", "-window", "root", "-crop",
                f"{PANEL[0]}x{PANEL[1]}+{left}+{top}", "+repage", args.screenshot)

        subprocess.run([wine, args.probe, "--close"], capture_output=True, timeout=60)
        try:
            code = app.wait(timeout=20)
        except subprocess.TimeoutExpired:
            code = None
        check(code == 0, "closing the window ends the program with exit code 0 (%s)" % code)
        return 0
    except (Failure, KeyError, ValueError, subprocess.SubprocessError) as e:
        if not isinstance(e, Failure):
            print("FAIL " + repr(e), flush=True)
        return 1
    finally:
        if app is not None and app.poll() is None:
            app.kill()
            app.wait()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
