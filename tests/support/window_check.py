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


class XServer:
    """A private Xvfb. It reports its display number on a pipe once it accepts connections
    (-displayfd), so there is no guessing at free numbers and no polling; -noreset keeps it
    from resetting whenever its last client leaves (a connection made during that reset is
    refused, which made a program started right after a probe find no display)."""

    def __init__(self, width=1280, height=1024, timeout=60):
        import os
        import select
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-noreset", "-nolisten", "tcp",
             "-dpi", "96", "-screen", "0", "%dx%dx24" % (width, height)],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        os.close(write_end)
        number = b""
        ready, _, _ = select.select([read_end], [], [], timeout)
        while ready:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
            if number.endswith(b"\n"):
                break
            ready, _, _ = select.select([read_end], [], [], timeout)
        os.close(read_end)
        if not number.strip():
            self.stop()
            raise Failure("Xvfb did not start within %d s" % timeout)
        self.display = ":" + number.decode().strip()

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait()


def wait_for_window(title, env, proc=None, timeout=60):
    """The id of the first window named exactly `title`, or None after `timeout` seconds or
    once `proc` has ended."""
    import time
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        r = subprocess.run(["xdotool", "search", "--name", "^%s$" % title], env=env,
                           capture_output=True, text=True)
        if r.returncode == 0 and r.stdout.split():
            return r.stdout.split()[0]
        if proc is not None and proc.poll() is not None:
            return None
        time.sleep(0.1)
    return None
