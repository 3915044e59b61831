#!/usr/bin/env python3
"""The desktop app in a real window under Xvfb, driven with xdotool like a person would.

Checks the window's size, title and centring, the measuring screen after the power-on,
POWER off (blank unlit LCD) and on again, MODE changing the mode, a click beside the buttons
changing nothing, and that the greeting's samples reached the (disk) audio driver. The LCD
area of the window is compared pixel for pixel with what the headless runner draws for the
same screen. Exit 77 (skipped) when Xvfb, xdotool or ImageMagick is missing.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from window_check import LCD, MODE, POWER, TITLE, Failure, check, crop_pixels, run  # noqa: E402


def need(*tools):
    missing = [t for t in tools if shutil.which(t) is None]
    if missing:
        print("skipped: missing " + ", ".join(missing))
        sys.exit(77)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--app", required=True)
    ap.add_argument("--runner", required=True)
    ap.add_argument("--source", required=True)
    args = ap.parse_args()
    need("Xvfb", "xdotool", "import", "convert", "xwininfo")

    tmp = tempfile.mkdtemp(prefix="drk-window-")
    procs = []
    try:
        # Reference pictures from the headless runner.
        def reference(name, script):
            path = os.path.join(tmp, name + ".scn")
            with open(path, "w") as f:
                f.write(script)
            png = os.path.join(tmp, name + ".png")
            run(args.runner, "--script", path, "--screenshot", png)
            return png
        ref_gamma = reference("gamma", "wait 8s\n")
        ref_off = reference("off", "wait 8s\npower\nwait 5s\n")
        ref_beta = reference("beta", "wait 8s\npress mode 3\nwait 1s\npress mode 3\nwait 2s\n")

        # Without a display the app must refuse to start, clearly and with a failure code.
        nodisplay = dict(os.environ, DISPLAY=":%d" % (300 + os.getpid() % 100))
        nodisplay.pop("WAYLAND_DISPLAY", None)
        nodisplay.pop("SDL_VIDEODRIVER", None)
        r = subprocess.run([args.app], env=nodisplay, capture_output=True, text=True, timeout=20)
        check(r.returncode != 0 and "cannot start" in r.stderr,
              "without a display it exits %d with: %s" % (r.returncode, r.stderr.strip()[-90:]))

        number = 90 + os.getpid() % 100
        while os.path.exists("/tmp/.X11-unix/X%d" % number) or os.path.exists("/tmp/.X%d-lock" % number):
            number += 1
        display = ":%d" % number
        xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x1024x24", "-nolisten",
                                 "tcp"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        procs.append(xvfb)
        env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="disk",
                   SDL_DISKAUDIOFILE=os.path.join(tmp, "audio.raw"))
        for _ in range(100):
            if subprocess.run(["xdpyinfo"], env=env, capture_output=True).returncode == 0 \
                    if shutil.which("xdpyinfo") else os.path.exists("/tmp/.X11-unix/X" + display[1:]):
                break
            time.sleep(0.05)

        app = subprocess.Popen([args.app], env=env, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True)
        procs.append(app)
        start = time.monotonic()
        wid = None
        while time.monotonic() - start < 10 and wid is None:
            r = subprocess.run(["xdotool", "search", "--name", "^DRK-20VT5P$"], env=env,
                               capture_output=True, text=True)
            if r.returncode == 0 and r.stdout.split():
                wid = r.stdout.split()[0]
            else:
                time.sleep(0.1)
        check(wid is not None, "a window titled DRK-20VT5P appears")
        info = run("xwininfo", "-id", wid, env=env)
        field = {l.split(":")[0].strip(): l.split(":", 1)[1].strip()
                 for l in info.splitlines() if ":" in l}
        check(field.get("Width") == "251" and field.get("Height") == "444",
              "its client area is 251 x 444 (%sx%s)" % (field.get("Width"), field.get("Height")))
        check(run("xdotool", "getwindowname", wid, env=env).strip() == "DRK-20VT5P",
              "the title is DRK-20VT5P")
        x, y = int(field["Absolute upper-left X"]), int(field["Absolute upper-left Y"])
        check(abs(x - (1280 - 251) // 2) <= 1 and abs(y - (1024 - 444) // 2) <= 40,
              "the window is centred on the screen (at %d, %d)" % (x, y))

        def shot(name):
            png = os.path.join(tmp, name + ".png")
            run("import", "-window", wid, png, env=env)
            return png

        def wait_for(ref, box, what, timeout=15):
            want = crop_pixels(ref, box)
            deadline = time.monotonic() + timeout
            while time.monotonic() < deadline:
                if crop_pixels(shot("now"), box) == want:
                    check(True, what)
                    return
                time.sleep(0.2)
            check(False, what)

        def click(pos, hold=0.05):
            run("xdotool", "mousemove", "--window", wid, str(pos[0]), str(pos[1]), env=env)
            run("xdotool", "mousedown", "1", env=env)
            time.sleep(hold)
            run("xdotool", "mouseup", "1", env=env)

        wait_for(ref_gamma, TITLE, "after the power-on the LCD shows the gamma measuring screen")
        click(POWER)
        wait_for(ref_off, LCD, "POWER switches it off: LCD blank in the unlit colours")
        click(POWER)
        wait_for(ref_gamma, TITLE, "POWER again switches it on and it measures again")
        click(MODE, 0.35)   # wakes the backlight
        time.sleep(0.5)
        click(MODE, 0.35)   # next mode
        wait_for(ref_beta, TITLE, "MODE presses change the mode (beta flux, lit)")
        before = crop_pixels(shot("before"), TITLE)
        click((150, 400))
        click((20, 20), 0.35)
        time.sleep(1.0)
        check(crop_pixels(shot("after"), TITLE) == before, "a click beside the buttons changes nothing")

        app.terminate()
        try:
            app.wait(timeout=5)
        except subprocess.TimeoutExpired:
            app.kill()
            check(False, "closing the program ends it promptly")

        # The greeting (message 106) must be in what the audio driver wrote.
        with open(os.path.join(args.source, "resources", "voice_image.bin"), "rb") as f:
            image = f.read()
        lengths = image[512:512 + 113]
        start_page = 1 + sum(lengths[:106])
        greeting = image[512 + 528 * start_page: 512 + 528 * (start_page + lengths[106])]
        with open(os.path.join(tmp, "audio.raw"), "rb") as f:
            audio = f.read()
        check(len(greeting) > 0 and greeting[:2000] in audio and greeting[-2000:] in audio,
              "the greeting's samples reached the audio device (%d bytes written)" % len(audio))
        return 0
    except Failure:
        return 1
    finally:
        for p in reversed(procs):
            if p.poll() is None:
                p.kill()
                p.wait()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
