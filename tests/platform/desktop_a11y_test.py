#!/usr/bin/env python3
"""The desktop app for people who cannot hear or see well, in a real window under Xvfb.

Checks that the window opens at the largest whole scale that fits the screen (a table of
screens); that with captions on (C) the greeting's caption is drawn over the bottom of the
panel, in English with its gloss and in Russian without; that the help overlay (F1) fills the
window at scale 1 and 3 in both languages; and that S mutes and - lowers the volume of what
reaches the (disk) audio driver: the greeting's samples, scaled about the silence level,
never silence of another length. Writes its screenshots to --shots when given. Exit 77
(skipped) when Xvfb, xdotool or ImageMagick is missing.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from window_check import Failure, XServer, check, crop_pixels, run, wait_for_window  # noqa: E402

PANEL = (251, 444)
CAPTION_TOP = 338  # panel row where the captions' box starts
WAIT_S = 120       # a generous bound for one condition on a busy machine


def need(*tools):
    missing = [t for t in tools if shutil.which(t) is None]
    if missing:
        print("skipped: missing " + ", ".join(missing))
        sys.exit(77)


class App:
    def __init__(self, path, env, *options):
        self.out = tempfile.TemporaryFile(mode="w+")
        self.proc = subprocess.Popen([path] + list(options), env=env, stdout=self.out,
                                     stderr=subprocess.STDOUT, text=True)
        self.env = env
        self.wid = wait_for_window("DRK-20VT5P", env, self.proc, timeout=90)
        check(self.wid is not None, "a window titled DRK-20VT5P appears")

    def key(self, *names):
        for name in names:
            run("xdotool", "key", "--window", self.wid, name, env=self.env)

    def shot(self, path):
        run("import", "-window", self.wid, path, env=self.env)
        return path

    def size(self):
        info = run("xwininfo", "-id", self.wid, env=self.env)
        field = {l.split(":")[0].strip(): l.split(":", 1)[1].strip()
                 for l in info.splitlines() if ":" in l}
        return int(field["Width"]), int(field["Height"])

    def close(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


def bright(rgb, level=200):
    """How many pixels of RGB bytes are light (text) ."""
    return sum(1 for i in range(0, len(rgb), 3) if min(rgb[i], rgb[i + 1], rgb[i + 2]) >= level)


def greeting_samples(source):
    with open(os.path.join(source, "resources", "voice_image.bin"), "rb") as f:
        image = f.read()
    lengths = image[512:512 + 113]
    start_page = 1 + sum(lengths[:106])
    return image[512 + 528 * start_page: 512 + 528 * (start_page + lengths[106])]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--app", required=True)
    ap.add_argument("--source", required=True)
    ap.add_argument("--shots")
    args = ap.parse_args()
    need("Xvfb", "xdotool", "import", "convert", "xwininfo")
    tmp = tempfile.mkdtemp(prefix="drk-a11y-")
    shots = args.shots or tmp
    os.makedirs(shots, exist_ok=True)
    failures = 0

    def case(name, body):
        nonlocal failures
        try:
            body()
            print("ok   " + name, flush=True)
        except Failure as error:
            failures += 1
            print("FAIL %s: %s" % (name, error), flush=True)

    def environment(server, audio):
        env = dict(os.environ, DISPLAY=server.display, SDL_AUDIODRIVER="disk",
                   SDL_DISKAUDIOFILE=os.path.join(tmp, audio))
        env.pop("WAYLAND_DISPLAY", None)
        env.pop("SDL_VIDEODRIVER", None)
        return env

    # --- The default scale: the largest whole one that fits ------------------------------
    def default_scale():
        for screen, scale in (((800, 600), 1), ((1280, 1024), 2), ((1920, 1080), 2),
                              ((1400, 1400), 3), ((2560, 2000), 4)):
            server = XServer(*screen)
            try:
                app = App(args.app, environment(server, "scale.raw"))
                try:
                    got = app.size()
                finally:
                    app.close()
            finally:
                server.stop()
            check(got == (PANEL[0] * scale, PANEL[1] * scale),
                  "on %dx%d the window is %dx%d, scale %d (got %dx%d)"
                  % (screen + (PANEL[0] * scale, PANEL[1] * scale, scale) + got))
    case("the window opens at the largest whole scale that fits the screen", default_scale)

    server = XServer(1400, 1400)  # room for scale 3
    try:
        # --- Captions of the greeting, English and Russian --------------------------------
        def captions(language, scale):
            env = environment(server, "captions.raw")
            app = App(args.app, env, "--scale", str(scale), "--lang", language)
            try:
                app.key("c")  # captions on, before the greeting (it comes after 2.8 s)
                box = (0, CAPTION_TOP * scale, PANEL[0] * scale, (PANEL[1] - CAPTION_TOP) * scale)
                path = os.path.join(shots, "desktop-captions-%s.png" % language)
                deadline = time.monotonic() + WAIT_S
                lit = 0
                while time.monotonic() < deadline and lit == 0:
                    rgb = crop_pixels(app.shot(path), box)
                    # The box dims the panel: text is the only light there.
                    lit = bright(rgb) if bright(rgb, 120) < len(rgb) // 3 // 2 else 0
                    time.sleep(0.2)
                check(lit > 0, "a caption is drawn over the panel's bottom (%s)" % language)
                return lit, path
            finally:
                app.close()
        english = []
        russian = []
        case("the greeting's caption, English words and gloss",
             lambda: english.append(captions("en", 2)))
        case("the greeting's caption in Russian, no gloss",
             lambda: russian.append(captions("ru", 2)))
        if english and russian:
            # The same Russian words; English adds the gloss's line, so it has more ink.
            case("the English caption has the gloss the Russian one has not",
                 lambda: check(english[0][0] > russian[0][0] * 1.3,
                               "English caption ink %d > Russian %d x 1.3"
                               % (english[0][0], russian[0][0])))

        # --- The help overlay at scale 1 and 3 ---------------------------------------------
        def help_overlay(language, scale):
            env = environment(server, "help.raw")
            app = App(args.app, env, "--scale", str(scale), "--lang", language)
            try:
                time.sleep(1)
                app.key("F1")
                path = os.path.join(shots, "desktop-help-%s-%dx.png" % (language, scale))
                deadline = time.monotonic() + WAIT_S
                text = 0
                W, H = PANEL[0] * scale, PANEL[1] * scale
                while time.monotonic() < deadline:
                    rgb = crop_pixels(app.shot(path), (0, 0, W, H))
                    dark = len(rgb) // 3 - bright(rgb, 60)
                    text = bright(rgb, 200)
                    if dark > 0.8 * W * H:
                        break
                    time.sleep(0.2)
                check(dark > 0.8 * W * H, "the help dims the window (%s, %dx)" % (language, scale))
                # Text spread over the window's height: its lines are there at every scale.
                rows = [bright(crop_pixels(path, (0, y, W, H // 8)), 200) for y in range(0, H, H // 8)]
                check(sum(1 for r in rows[:8] if r > 0) >= 5,
                      "help text on at least 5 of 8 bands of the window (%s, %dx): %s"
                      % (language, scale, rows))
                # Letters of the font's size at scale 1 and whole-pixel enlarged at 3.
                check(text > 400 * scale * scale // 2,
                      "enough help text drawn (%d light pixels)" % text)
            finally:
                app.close()
        for language in ("en", "ru"):
            for scale in (1, 3):
                case("the help overlay in %s at scale %d" % (language, scale),
                     lambda l=language, s=scale: help_overlay(l, s))

        # --- Mute and volume ----------------------------------------------------------------
        def mute_and_volume():
            audio = os.path.join(tmp, "volume.raw")
            env = environment(server, "volume.raw")
            app = App(args.app, env, "--scale", "1")
            greeting = greeting_samples(args.source)
            half = bytes(128 + (s - 128) * 50 // 100 if s >= 128 else
                         128 - (128 - s) * 50 // 100 for s in greeting)
            try:
                deadline = time.monotonic() + WAIT_S
                def written():  # the driver creates its file once the device opens
                    if not os.path.exists(audio):
                        return b""
                    with open(audio, "rb") as f:
                        return f.read()
                while time.monotonic() < deadline and greeting[-2000:] not in written():
                    time.sleep(0.2)
                check(greeting[-2000:] in written(), "the first greeting is heard at full volume")
                time.sleep(0.5)
                # Muted: the farewell and the greeting of a power cycle play silent.
                mark = len(written())
                app.key("s", "p")
                time.sleep(6)
                app.key("p")
                time.sleep(8)
                tail = written()[mark:]
                check(len(tail) > 0 and greeting[:2000] not in tail and half[:2000] not in tail
                      and set(tail) <= {128}, "muted, only silence reaches the device")
                # Back on at half the volume: the greeting's samples at half their swing.
                mark = len(written())
                app.key("s", "minus", "minus", "minus", "minus", "minus", "p")
                time.sleep(6)
                app.key("p")
                deadline = time.monotonic() + WAIT_S
                while time.monotonic() < deadline and half[-2000:] not in written()[mark:]:
                    time.sleep(0.2)
                tail = written()[mark:]
                check(half[:2000] in tail and half[-2000:] in tail and greeting[:2000] not in tail,
                      "at volume 50 the greeting reaches the device at half its swing")
            finally:
                app.close()
        case("S mutes, - lowers the volume of what reaches the device", mute_and_volume)
    finally:
        server.stop()
    if failures:
        print("%d failed" % failures)
        return 1
    print("all passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
