#!/usr/bin/env python3
"""The desktop app in a real window under Xvfb, driven with xdotool like a person would.

Checks the window's size, title and centring; the measuring screen after the power-on; POWER
off (blank unlit LCD) and on again with the mouse and with the P key; MODE changing the mode
with the mouse and with the M key; a click beside the buttons changing nothing; a held button
drawn pressed and drawn released again; a button released outside the window leaving MODE
held (the long press's menu opens); the session recorded with --record replayed by the
headless runner to the same final LCD; --scale 2 (a 502 x 888 client area whose clicks still
hit the buttons); --start reaching a prepared screen faster than real time; and that the
greeting's samples reached the (disk) audio driver. LCD areas of the window are compared
pixel for pixel with what the headless runner draws for the same screen. Fails when
Xvfb, xdotool or ImageMagick is missing (scripts/setup installs them).
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from window_check import (LCD, MODE, POWER, TITLE, Failure, XServer, check,  # noqa: E402
                          crop_pixels, run, wait_for_window)

POWER_CAP = (37, 279, 29, 29)  # the POWER square's sensitive interior
MODE_CAP = (83, 279, 29, 29)   # the MODE square's sensitive interior
SCREEN = (1280, 1024)


def need(*tools):
    missing = [t for t in tools if shutil.which(t) is None]
    if missing:
        # scripts/setup installs them: a missing one fails the run, never skips it.
        print("FAIL missing " + ", ".join(missing) + " (scripts/setup installs them)")
        sys.exit(1)


class App:
    """One run of the desktop app with its window; prints its output when a check fails."""

    def __init__(self, path, env, *options):
        self.out = tempfile.TemporaryFile(mode="w+")
        self.proc = subprocess.Popen([path] + list(options), env=env, stdout=self.out,
                                     stderr=subprocess.STDOUT, text=True)
        self.env = env
        self.wid = wait_for_window("DRK-20VT5P", env, self.proc, timeout=90)
        if self.wid is None:
            self.dump()
        check(self.wid is not None, "a window titled DRK-20VT5P appears")

    def output(self):
        self.out.seek(0)
        return self.out.read()

    def dump(self):
        print("---- the app's output ----\n" + self.output() + "----", flush=True)

    def close(self):
        """Closes the window as the window manager would and returns the app's output."""
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
                check(False, "closing the program ends it promptly")
        return self.output()

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--app", required=True)
    ap.add_argument("--runner", required=True)
    ap.add_argument("--source", required=True)
    args = ap.parse_args()
    need("Xvfb", "xdotool", "import", "convert", "xwininfo")

    tmp = tempfile.mkdtemp(prefix="drk-window-")
    apps = []
    server = None
    try:
        def script_file(name, text):
            path = os.path.join(tmp, name + ".scn")
            with open(path, "w") as f:
                f.write(text)
            return path

        # Reference pictures from the headless runner.
        def reference(name, script):
            png = os.path.join(tmp, name + ".png")
            run(args.runner, "--script", script_file(name, script), "--screenshot", png)
            return png
        ref_gamma = reference("gamma", "wait 8s\n")
        ref_off = reference("off", "wait 8s\npower\nwait 5s\n")
        ref_beta = reference("beta", "wait 8s\npress mode 3\nwait 1s\npress mode 3\nwait 2s\n")
        ref_menu = reference("menu", "wait 8s\npress mode 20\nwait 1s\n")
        prepared = "wait 60s\npress mode 2\nwait 1s\npress mode 20\nwait 1s\n"
        ref_prepared = reference("prepared", prepared)

        # --version answers without a window.
        plain = dict(os.environ)
        plain.pop("DISPLAY", None)
        plain.pop("WAYLAND_DISPLAY", None)
        r = subprocess.run([args.app, "--version"], env=plain, capture_output=True, text=True,
                           timeout=30)
        check(r.returncode == 0 and re.fullmatch(r"drk20vt5p \d+\.\d+\.\d+\n", r.stdout),
              "--version prints the version (%r)" % r.stdout)

        # Without a display the app must refuse to start, clearly, with SDL's reason.
        nodisplay = dict(plain, DISPLAY=":%d" % (300 + os.getpid() % 100))
        nodisplay.pop("SDL_VIDEODRIVER", None)
        r = subprocess.run([args.app], env=nodisplay, capture_output=True, text=True,
                           timeout=60)
        check(r.returncode != 0 and "cannot start: no display" in r.stderr
              and "not available" in r.stderr,
              "without a display it exits %d with: %s" % (r.returncode, r.stderr.strip()[-120:]))

        server = XServer(*SCREEN)
        env = dict(os.environ, DISPLAY=server.display, SDL_AUDIODRIVER="disk",
                   SDL_DISKAUDIOFILE=os.path.join(tmp, "audio.raw"))
        env.pop("WAYLAND_DISPLAY", None)
        env.pop("SDL_VIDEODRIVER", None)

        # --- A session at scale 1, recorded ------------------------------------------------
        recording = os.path.join(tmp, "session.scn")
        app = App(args.app, env, "--scale", "1", "--record", recording)
        apps.append(app)
        wid = app.wid
        info = run("xwininfo", "-id", wid, env=env)
        field = {l.split(":")[0].strip(): l.split(":", 1)[1].strip()
                 for l in info.splitlines() if ":" in l}
        check(field.get("Width") == "251" and field.get("Height") == "444",
              "its client area is 251 x 444 (%sx%s)" % (field.get("Width"), field.get("Height")))
        check(run("xdotool", "getwindowname", wid, env=env).strip() == "DRK-20VT5P",
              "the title is DRK-20VT5P")
        x, y = int(field["Absolute upper-left X"]), int(field["Absolute upper-left Y"])
        # No window manager here, so no frame: the outer rectangle is the client area.
        check((x, y) == (SCREEN[0] // 2 - 251 // 2, SCREEN[1] // 2 - 444 // 2),
              "the window is centred on the screen as the original placed it (at %d, %d)" % (x, y))

        def shot(name="now"):
            """A picture of the window, or None while it cannot be taken (not yet mapped)."""
            png = os.path.join(tmp, name + ".png")
            r = subprocess.run(["import", "-window", wid, png], env=env, capture_output=True)
            return png if r.returncode == 0 else None

        def wait_for(what, ok, timeout=30):
            deadline = time.monotonic() + timeout
            while time.monotonic() < deadline:
                png = shot()
                if png is not None and ok(png):
                    check(True, what)
                    return
                time.sleep(0.2)
            app.dump()
            check(False, what)

        def same(ref, box):
            want = crop_pixels(ref, box)
            return lambda png: crop_pixels(png, box) == want

        def differs(ref, box):
            want = crop_pixels(ref, box)
            return lambda png: crop_pixels(png, box) != want

        def xdo(*cmd):
            run("xdotool", *cmd, env=env)

        # A press and its release go out from one xdotool, so a busy machine starting the
        # second command late cannot stretch a short press into a long one.
        def click(pos, hold=0.05):
            xdo("mousemove", "--window", wid, str(pos[0]), str(pos[1]),
                "mousedown", "1", "sleep", str(hold), "mouseup", "1")

        def key(name, hold=0.05):
            xdo("windowfocus", "--sync", wid)
            xdo("keydown", name, "sleep", str(hold), "keyup", name)

        wait_for("after the power-on the LCD shows the gamma measuring screen",
                 same(ref_gamma, TITLE))
        # POWER acts on the press, however long it is held: held, it is drawn pressed.
        xdo("mousemove", "--window", wid, str(POWER[0]), str(POWER[1]), "mousedown", "1")
        wait_for("POWER held down is drawn pressed", differs(ref_off, POWER_CAP))
        xdo("mouseup", "1")
        wait_for("POWER released is drawn as before", same(ref_off, POWER_CAP))
        wait_for("POWER switches it off: LCD blank in the unlit colours", same(ref_off, LCD))
        click(POWER)
        wait_for("POWER again switches it on and it measures again", same(ref_gamma, TITLE))

        click(MODE, 0.35)   # wakes the backlight
        time.sleep(0.5)
        click(MODE, 0.35)   # next mode
        wait_for("MODE presses change the mode (beta flux, lit)", same(ref_beta, TITLE))
        time.sleep(0.5)
        before = crop_pixels(shot("before"), TITLE)
        click((150, 400))
        click((20, 20), 0.35)
        time.sleep(1.0)
        check(crop_pixels(shot("after"), TITLE) == before,
              "a click beside the buttons changes nothing")

        key("p")
        wait_for("the P key switches it off", same(ref_off, LCD))
        key("p")
        wait_for("the P key switches it on again", same(ref_gamma, TITLE))
        key("m", 0.35)      # wakes the backlight
        time.sleep(0.5)
        key("m", 0.35)      # next mode
        wait_for("the M key changes the mode (beta flux, lit)", same(ref_beta, TITLE))

        # A button released outside the window never reaches it: MODE stays held, so the
        # press becomes a long one and opens the menu, and the button stays drawn pressed.
        xdo("mousemove", "--window", wid, str(MODE[0]), str(MODE[1]), "mousedown", "1",
            "mousemove", "3", "3", "mouseup", "1")
        wait_for("a release outside the window leaves MODE held: the long press opens the menu",
                 same(ref_menu, TITLE))
        check(crop_pixels(shot(), MODE_CAP) != crop_pixels(ref_menu, MODE_CAP),
              "MODE is still drawn pressed")
        click((150, 400))
        wait_for("a button-up inside the window releases it", same(ref_menu, MODE_CAP))

        output = app.close()
        apps.remove(app)
        m = re.search(r'the LCD at the end: "(.*)" "(.*)"\n', output)
        if not m:
            print(output)
        check(m is not None, "closing the window ends the recording and says where it ended")
        replay = subprocess.run([args.runner, "--script", recording, "--lcd"],
                                capture_output=True, text=True, timeout=300)
        if replay.returncode != 0:
            print(replay.stderr)
        check(replay.returncode == 0 and replay.stdout == "%s\n%s\n" % (m.group(1), m.group(2)),
              "the runner replays the recording to the same final LCD (%r %r)"
              % (m.group(1), m.group(2)))

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

        # --- Scale 2 ---------------------------------------------------------------------
        app = App(args.app, env, "--scale", "2")
        apps.append(app)
        wid = app.wid
        info = run("xwininfo", "-id", wid, env=env)
        check("Width: 502" in info and "Height: 888" in info,
              "--scale 2 gives a 502 x 888 client area")
        corner = (LCD[0] * 2, LCD[1] * 2, 2, 2)   # the LCD frame's top-left panel pixel
        lit = bytes([0, 250, 0] * 4)   # the lit frame colour
        wait_for("at scale 2 the gamma screen is drawn, unlit",
                 lambda png: crop_pixels(png, (TITLE[0] * 2, TITLE[1] * 2, 2, 2)) != lit
                 and crop_pixels(png, corner) != lit)
        time.sleep(6)
        click((MODE[0] * 2, MODE[1] * 2), 0.3)
        wait_for("a click on MODE at scale 2 hits it (the backlight lights)",
                 lambda png: crop_pixels(png, corner) == lit)
        app.close()
        apps.remove(app)

        # --- A prepared situation ----------------------------------------------------------
        # 62 s of instrument time run before the first frame: the first LCD the window shows
        # is the prepared one (the menu after a minute), with nothing in between.
        app = App(args.app, env, "--scale", "1", "--start", script_file("prepared", prepared))
        apps.append(app)
        wid = app.wid
        frame_colours = (bytes([150, 150, 150]), bytes([0, 250, 0]))   # unlit, lit
        deadline = time.monotonic() + 60
        first = None
        while first is None and time.monotonic() < deadline:
            png = shot()
            if png is not None and crop_pixels(png, (LCD[0], LCD[1], 1, 1)) in frame_colours:
                first = png
            else:
                time.sleep(0.05)
        check(first is not None and crop_pixels(first, LCD) == crop_pixels(ref_prepared, LCD),
              "--start: the first LCD shown is the prepared screen, a minute into the run")
        app.close()
        apps.remove(app)

        # --- A script played in the window, then the factory settings ----------------------
        app = App(args.app, env, "--scale", "1", "--script",
                  script_file("to_menu", "wait 8s\npress mode 20\nwait 1s\n"))
        apps.append(app)
        wid = app.wid
        ended = "drk20vt5p: script ended at tick 110; you have the instrument\n"
        deadline = time.monotonic() + 120
        while ended not in app.output() and time.monotonic() < deadline:
            time.sleep(0.2)
        if ended not in app.output():
            app.dump()
        check(ended in app.output(), "a script played in the window says when it has ended")
        wait_for("the script left the instrument in the menu", same(ref_menu, TITLE))
        key("f")
        wait_for("the F key: factory settings, the instrument starts again and measures",
                 same(ref_gamma, TITLE))
        check("factory settings: everything as at the program's start" in app.output(),
              "the F key says what it did")
        app.close()
        apps.remove(app)

        # --- A drill -----------------------------------------------------------------------
        # Its goals' times are counted in instrument time, so the score does not depend on
        # how fast the machine is: the greeting comes at 2.8 s (met), the tone never (not met);
        # once both goals' times are up the drill ends by itself, long before its timeline.
        drill = script_file("drill", "seed 11\npass 10\n"
                            "goal 20 \"The greeting\" within 5s: said \"Дозиметр включён\"\n"
                            "goal 10 \"The alarm tone\" within 3s: tone\ntick 6000\n")
        session = os.path.join(tmp, "drill-session.scn")
        app = App(args.app, env, "--drill", drill, "--record", session)
        apps.append(app)
        try:
            app.proc.wait(timeout=300)
        except subprocess.TimeoutExpired:
            pass
        output = app.close()
        apps.remove(app)
        if "score 20 of 30, 10 to pass: passed" not in output:
            print(output)
        check("  The greeting (20 points, within 5s of its start)" in output and
              "score 20 of 30, 10 to pass: passed" in output,
              "--drill: the goals listed, the drill ended by itself when their times were up, "
              "the score printed")
        check(os.path.exists(session + ".html"), "--drill --record S: the review page S.html")
        replay = subprocess.run([args.runner, "--script", session, "--review", "-"],
                                capture_output=True, text=True, timeout=300)
        check(replay.returncode == 0 and '"score":20,"most":30,"pass":10,"result":"passed"'
              in replay.stdout, "the recorded drill session replays to the same score")

        # The End key ends a drill whose goal is still open.
        drill = script_file("long-drill", "goal 10 \"The alarm tone\" within 10 min: tone\n"
                            "tick 6000\n")
        app = App(args.app, env, "--drill", drill)
        apps.append(app)
        run("xdotool", "key", "--window", app.wid, "End", env=env)
        try:
            app.proc.wait(timeout=120)
        except subprocess.TimeoutExpired:
            pass
        ended = app.proc.poll() is not None
        output = app.close()
        apps.remove(app)
        check(ended and "not met The alarm tone (10 points)" in output,
              "--drill: the End key ends it and its review is printed")
        return 0
    except Failure:
        return 1
    finally:
        for a in apps:
            a.kill()
        if server is not None:
            server.stop()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
