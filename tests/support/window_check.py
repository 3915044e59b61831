"""Helpers shared by the window tests (the desktop app under Xvfb, the Windows build under
Wine): the panel's places, a check that prints its verdict, commands and picture crops."""
import subprocess

LCD = (32, 112, 185, 67)          # x, y, w, h of the LCD window
TITLE = (35, 119, 15 * 5, 24)     # cells 0-4 of line 1
POWER = (51, 293)
MODE = (97, 293)


class Failure(Exception):
    pass


def check(cond, what):
    print(("ok   " if cond else "FAIL ") + what, flush=True)
    if not cond:
        raise Failure(what)


def run(*cmd, **kw):
    return subprocess.run(cmd, check=True, capture_output=True, text=True, **kw).stdout


def crop_pixels(png, box):
    """The pixels of box (x, y, w, h) of a PNG as RGB bytes."""
    x, y, w, h = box
    return subprocess.run(["convert", png, "-crop", f"{w}x{h}+{x}+{y}", "+repage", "rgb:-"],
                          check=True, capture_output=True).stdout
