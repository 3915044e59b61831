#!/usr/bin/env python3
"""What the runner and the desktop app read and write, tried as a hostile user would.

- Output kinds: a regular file, links to a file, to a FIFO and (in a private mount namespace
  with its own /dev) /dev/stdout, a FIFO whose reader leaves early, a pipe, /dev/null,
  /dev/full, a full tmpfs, a 250-byte name and a mode-600 file with a hard link; for the
  runner's trace and for the desktop app's recording.
- 100 runs onto a FIFO whose reader leaves early, under two busy loops: none hangs.
- Stop signals INT, TERM, HUP and QUIT before the first tick (a FIFO that nobody opens),
  while reading a pipe, and during a run: the right exit code, whole outputs, no temporary
  file. The time from the signal to the exit is printed (the timeouts here are generous).
- The desktop app's bad scripts and recordings: directories, devices, an endless FIFO, a
  recording onto the script it plays, a recording or screenshot that cannot be written, a
  fast-forward that must answer a close and a signal.

Run as root (unshare -m and mount need it). Prints "N passed, N failed".
"""
import argparse
import ctypes
import os
import platform
import re
import signal
import stat
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from window_check import XServer, wait_for_window  # noqa: E402

PASSED = []
FAILED = []
SLOWEST = {}  # what -> seconds from a stop signal to the exit
LONG = 120    # seconds: far longer than any case needs, so only a hang reaches it


def check(cond, what):
    (PASSED if cond else FAILED).append(what)
    print(("ok   " if cond else "FAIL ") + what, flush=True)


def no_temp_files(directory):
    return not [n for n in os.listdir(directory) if n.endswith(".tmp")]


def reader(path, limit=None, out=None):
    """Opens the FIFO `path` for reading in a thread; keeps `limit` bytes (all when None)."""
    data = bytearray()

    def read():
        with open(path, "rb") as f:
            while limit is None or len(data) < limit:
                chunk = f.read(4096 if limit is None else min(4096, limit - len(data)))
                if not chunk:
                    break
                data.extend(chunk)
        if out is not None:
            out.append(bytes(data))

    t = threading.Thread(target=read, daemon=True)
    t.start()
    return t, data


def in_namespace(setup, command, after=""):
    """`command` (a list) in a private mount namespace prepared by the shell text `setup`;
    `after` runs there once it has ended (its results written outside the namespace)."""
    script = setup + '\n"$@"\nrc=$?\n' + after + "\nexit $rc\n"
    return ["unshare", "-m", "--propagation", "private", "sh", "-c", script, "sh"] + command


# ---- the programs, each writing one output ----

class Runner:
    name = "runner --trace"

    def __init__(self, path, tmp):
        self.path = path
        self.script = os.path.join(tmp, "ticks.scn")
        with open(self.script, "w") as f:
            f.write("tick 3000\n")
        ref = os.path.join(tmp, "reference.json")
        subprocess.run([path, "--script", self.script, "--trace", ref], check=True, timeout=LONG)
        with open(ref, "rb") as f:
            self.reference = f.read()

    def command(self, out):
        return [self.path, "--script", self.script, "--trace", out]

    def write(self, out, wrap=None, stdout=subprocess.DEVNULL, before_close=None):
        cmd = self.command(out)
        r = subprocess.run(wrap(cmd) if wrap else cmd, stdout=stdout, stderr=subprocess.PIPE,
                           timeout=LONG)
        return r.returncode, r.stderr.decode(errors="replace")

    def good(self, data):
        return data == self.reference

    ok_code = 0


class Desktop:
    """The desktop app recording a session; the window is closed as a window manager would
    (WM_DELETE_WINDOW), after which the recording is put in place."""
    name = "desktop --record"

    def __init__(self, app, runner, env):
        self.app, self.runner, self.env = app, runner, env

    def write(self, out, wrap=None, stdout=subprocess.DEVNULL, before_close=None):
        cmd = [self.app, "--record", out]
        proc = subprocess.Popen(wrap(cmd) if wrap else cmd, env=self.env, stdout=stdout,
                                stderr=subprocess.PIPE)
        wid = wait_for_window("DRK-20VT5P", self.env, proc, timeout=LONG)
        if wid is not None:
            time.sleep(0.3)  # a few ticks (any number will do)
            if before_close:
                before_close()
            close_window(self.env["DISPLAY"], wid)
        try:
            _, err = proc.communicate(timeout=LONG)
        except subprocess.TimeoutExpired:
            proc.kill()
            _, err = proc.communicate()
        return proc.returncode, err.decode(errors="replace")

    def good(self, data):
        text = data.decode(errors="replace")
        steps = [l for l in text.splitlines() if not l.startswith("#")]
        if not text.startswith("# A session recorded") or not text.endswith("\n") or (
                steps and not re.fullmatch(r"tick \d+", steps[-1])):
            return False
        with tempfile.NamedTemporaryFile("wb", suffix=".scn") as f:
            f.write(data)
            f.flush()
            return subprocess.run([self.runner, "--script", f.name], timeout=LONG,
                                  stdout=subprocess.DEVNULL).returncode == 0

    ok_code = 0


def close_window(display, wid):
    """Sends the window the WM_DELETE_WINDOW message, as a window manager's close does."""
    x = ctypes.CDLL("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                             ctypes.c_void_p]
    x.XFlush.argtypes = [ctypes.c_void_p]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                    ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                    ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5),
                    ("pad", ctypes.c_long * 24)]

    d = x.XOpenDisplay(display.encode())
    event = ClientMessage()
    event.type = 33  # ClientMessage
    event.window = int(wid)
    event.message_type = x.XInternAtom(d, b"WM_PROTOCOLS", 0)
    event.format = 32
    event.data[0] = x.XInternAtom(d, b"WM_DELETE_WINDOW", 0)
    x.XSendEvent(d, int(wid), 0, 0, ctypes.byref(event))
    x.XFlush(d)
    x.XCloseDisplay(d)


# ---- the output kinds ----

def output_kinds(prog, tmp):
    def fresh(name):
        d = tempfile.mkdtemp(dir=tmp, prefix=name + "-")
        return d

    # A regular file.
    d = fresh("file")
    out = os.path.join(d, "out")
    rc, err = prog.write(out)
    check(rc == prog.ok_code and prog.good(open(out, "rb").read()) and no_temp_files(d),
          "%s: a regular file is written whole (exit %d %s)" % (prog.name, rc, err[-80:]))

    # A symbolic link to a file: the target written, the link kept.
    d = fresh("link")
    target = os.path.join(d, "target")
    open(target, "w").close()
    os.symlink("target", os.path.join(d, "out"))
    rc, err = prog.write(os.path.join(d, "out"))
    check(rc == prog.ok_code and os.path.islink(os.path.join(d, "out")) and
          prog.good(open(target, "rb").read()) and no_temp_files(d),
          "%s: a link to a file stays a link, its target gets the output" % prog.name)

    # A symbolic link to a FIFO with a reader that reads it all.
    d = fresh("fifolink")
    fifo = os.path.join(d, "fifo")
    os.mkfifo(fifo)
    os.symlink(fifo, os.path.join(d, "out"))
    got = []
    t, _ = reader(fifo, out=got)
    rc, err = prog.write(os.path.join(d, "out"))
    t.join(LONG)
    check(rc == prog.ok_code and os.path.islink(os.path.join(d, "out")) and
          stat.S_ISFIFO(os.stat(fifo).st_mode) and got and prog.good(got[0]) and
          no_temp_files(d),
          "%s: a link to a FIFO is written through, the FIFO stays a FIFO" % prog.name)

    # /dev/stdout, a link in /dev, in a private mount namespace with a /dev of its own.
    d = fresh("devstdout")
    redirected = os.path.join(d, "redirected")
    state = os.path.join(d, "state")
    setup = ("mount -t tmpfs tmpfs /dev && ln -s /proc/self/fd/1 /dev/stdout && "
             "mknod -m 666 /dev/null c 1 3 || exit 99")
    after = "if [ -L /dev/stdout ]; then echo link; else echo replaced; fi > %s" % state
    with open(redirected, "wb") as f:
        rc, err = prog.write("/dev/stdout", wrap=lambda c: in_namespace(setup, c, after),
                             stdout=f)
    check(rc == prog.ok_code and open(state).read() == "link\n" and
          prog.good(open(redirected, "rb").read()),
          "%s: /dev/stdout redirected to a file: the file gets the output, /dev/stdout stays "
          "a link (exit %d %s)" % (prog.name, rc, err[-80:]))

    # A FIFO whose reader leaves early (before the desktop app's window is closed, after the
    # first bytes of the runner's long trace).
    d = fresh("fifo")
    fifo = os.path.join(d, "out")
    os.mkfifo(fifo)
    t, _ = reader(fifo, limit=10 if isinstance(prog, Desktop) else 100)
    rc, err = prog.write(fifo, before_close=lambda: t.join(LONG))
    t.join(LONG)
    check(rc == 4 and fifo in err and "Broken pipe" in err and no_temp_files(d),
          "%s: a FIFO whose reader leaves early: exit 4 with the FIFO named (exit %d %s)" %
          (prog.name, rc, err[-80:]))

    if isinstance(prog, Runner):
        # A pipe (standard output through /dev/stdout).
        r = subprocess.run(["sh", "-c", '"$@" | cat', "sh"] + prog.command("/dev/stdout"),
                           stdout=subprocess.PIPE, timeout=LONG)
        check(r.returncode == 0 and prog.good(r.stdout), "%s: a pipe gets the output" % prog.name)

    # /dev/null and /dev/full.
    rc, err = prog.write("/dev/null")
    check(rc == prog.ok_code and stat.S_ISCHR(os.stat("/dev/null").st_mode),
          "%s: /dev/null takes the output and stays a device" % prog.name)
    rc, err = prog.write("/dev/full")
    check(rc == 4 and "/dev/full" in err and "No space left" in err,
          "%s: /dev/full: exit 4 with the file named (exit %d %s)" % (prog.name, rc, err[-80:]))

    # A full tmpfs: nothing left behind, exit 4.
    d = fresh("full")
    listing = os.path.join(tmp, "listing-" + os.path.basename(d))
    setup = ("mount -t tmpfs -o size=64k tmpfs %s || exit 99\n"
             "dd if=/dev/zero of=%s/fill bs=1k 2>/dev/null" % (d, d))
    after = "ls -A %s > %s" % (d, listing)
    rc, err = prog.write(os.path.join(d, "out"), wrap=lambda c: in_namespace(setup, c, after))
    check(rc == 4 and "No space left" in err and open(listing).read() == "fill\n",
          "%s: a full disk: exit 4 with the reason, no partial or temporary file (exit %d %s)" %
          (prog.name, rc, err[-80:]))

    # A 250-byte name (the longest the system allows is 255).
    d = fresh("long")
    out = os.path.join(d, "n" * 250)
    rc, err = prog.write(out)
    check(rc == prog.ok_code and os.path.exists(out) and prog.good(open(out, "rb").read()) and
          no_temp_files(d), "%s: a 250-byte file name (exit %d %s)" % (prog.name, rc, err[-80:]))

    # A mode-600 file with a second hard link.
    d = fresh("mode")
    out = os.path.join(d, "out")
    with open(out, "w") as f:
        f.write("old\n")
    os.chmod(out, 0o600)
    os.link(out, os.path.join(d, "other"))
    rc, err = prog.write(out)
    st = os.stat(out)
    check(rc == prog.ok_code and stat.S_IMODE(st.st_mode) == 0o600 and st.st_nlink == 2 and
          prog.good(open(os.path.join(d, "other"), "rb").read()) and no_temp_files(d),
          "%s: a mode-600 file keeps its mode, its hard link sees the new bytes" % prog.name)


def runner_streams(runner, tmp):
    """A WAV on a pipe is streamed after a header of the largest length; every failed write
    to standard output is exit 4 with a message."""
    d = tempfile.mkdtemp(dir=tmp, prefix="wav-")
    wav = os.path.join(d, "a.wav")
    subprocess.run([runner.path, "--script", runner.script, "--wav", wav], check=True,
                   timeout=LONG)
    r = subprocess.run(["sh", "-c", '"$@" | cat', "sh", runner.path, "--script", runner.script,
                        "--wav", "/dev/stdout"], stdout=subprocess.PIPE, timeout=LONG)
    whole = open(wav, "rb").read()
    check(r.returncode == 0 and r.stdout[44:] == whole[44:] and r.stdout[:40] != whole[:40] and
          int.from_bytes(r.stdout[40:44], "little") == 0xFFFFFFFF - 36,
          "runner: --wav into a pipe: the same samples as the file, the header's length the "
          "largest")
    for args, redirect in ((["--help"], "> /dev/full"), (["--version"], "> /dev/full"),
                           (["--say", "list"], "> /dev/full"), (["--version"], ">&-"),
                           (["--script", runner.script, "--show"], ">&-"),
                           (["--script", runner.script, "--trace", "-"], "> /dev/full")):
        r = subprocess.run(["sh", "-c", '"$@" %s' % redirect, "sh", runner.path] + args,
                           stderr=subprocess.PIPE, timeout=LONG)
        err = r.stderr.decode(errors="replace")
        check(r.returncode == 4 and ("standard output" in err or "-: write failed" in err),
              "runner %s %s: exit 4 with a message (exit %d %s)" %
              (" ".join(args[-2:]), redirect, r.returncode, err.strip()[-80:]))


def fifo_runs(runner, tmp, count=100):
    """`count` runs onto a FIFO whose reader leaves early, under two busy loops."""
    busy = [subprocess.Popen([sys.executable, "-c", "while True: pass"]) for _ in range(2)]
    hung = wrong = 0
    try:
        for n in range(count):
            d = tempfile.mkdtemp(dir=tmp, prefix="fifo%d-" % n)
            fifo = os.path.join(d, "out")
            os.mkfifo(fifo)
            t, _ = reader(fifo, limit=100)
            try:
                rc, err = runner.write(fifo)
            except subprocess.TimeoutExpired:
                hung += 1
                continue
            t.join(LONG)
            if rc != 4 or fifo not in err or not no_temp_files(d):
                wrong += 1
    finally:
        for p in busy:
            p.kill()
            p.wait()
    check(hung == 0 and wrong == 0, "runner: %d FIFO runs under two busy loops: %d hung, %d "
          "ended otherwise than exit 4 with the FIFO named" % (count, hung, wrong))


# ---- stop signals ----

SYSCALLS = {"x86_64": {"read": 0, "openat": 257}, "aarch64": {"read": 63, "openat": 56}}


def wait_blocked(pid, call):
    """Waits until process `pid` sleeps in the system call `call` (from /proc/PID/syscall)."""
    number = SYSCALLS[platform.machine()][call]
    deadline = time.monotonic() + LONG
    while time.monotonic() < deadline:
        try:
            with open("/proc/%d/syscall" % pid) as f:
                fields = f.read().split()
        except OSError:
            return False
        if fields and fields[0] == str(number):
            return True
        time.sleep(0.01)
    return False


def wait_line(stream, pattern):
    """Reads lines from `stream` until one matches `pattern`."""
    for line in stream:
        if re.search(pattern, line.decode(errors="replace")):
            return True
    return False


def stop(proc, sig, what):
    """Sends `sig` and waits for the exit; notes the time it took."""
    sent = time.monotonic()
    os.kill(proc.pid, sig)
    try:
        proc.wait(timeout=LONG)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
        return None
    took = time.monotonic() - sent
    SLOWEST[what] = max(SLOWEST.get(what, 0.0), took)
    return proc.returncode


SIGNALS = [signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT]


def runner_signals(runner, tmp):
    for sig in SIGNALS:
        name = signal.Signals(sig).name
        # Before the first tick: the trace is a FIFO that nobody opens.
        d = tempfile.mkdtemp(dir=tmp, prefix="sig-")
        fifo = os.path.join(d, "out")
        os.mkfifo(fifo)
        wav = os.path.join(d, "a.wav")
        p = subprocess.Popen([runner.path, "--script", runner.script, "--wav", wav, "--trace",
                              fifo], stderr=subprocess.PIPE)
        blocked = wait_blocked(p.pid, "openat")
        rc = stop(p, sig, "runner, before the first tick")
        check(blocked and rc == 128 + sig and os.listdir(d) == ["out"],
              "runner: %s while opening a FIFO output: exit %s, nothing written" % (name, rc))
        p.stderr.close()

        # While reading a script from a pipe that stays open.
        d = tempfile.mkdtemp(dir=tmp, prefix="sig-")
        out = os.path.join(d, "t.json")
        p = subprocess.Popen([runner.path, "--script", "-", "--trace", out],
                             stdin=subprocess.PIPE, stderr=subprocess.PIPE)
        p.stdin.write(b"tick 5\n")
        p.stdin.flush()
        blocked = wait_blocked(p.pid, "read")
        rc = stop(p, sig, "runner, reading a pipe")
        p.stdin.close()
        check(blocked and rc == 128 + sig and os.listdir(d) == [],
              "runner: %s while reading --script -: exit %s, nothing written" % (name, rc))
        p.stderr.close()

        # During a run in real time: the tick finishes, the outputs are whole.
        d = tempfile.mkdtemp(dir=tmp, prefix="sig-")
        out, wav = os.path.join(d, "t.json"), os.path.join(d, "a.wav")
        p = subprocess.Popen([runner.path, "--realtime", "--show", "--ticks", "100000", "--trace",
                              out, "--wav", wav], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        running = wait_line(p.stdout, r"\[")
        rc = stop(p, sig, "runner, during a run")
        lines = open(out).read().splitlines() if os.path.exists(out) else []
        whole = lines and all(re.fullmatch(r'\{"tick":%d,.*\}' % (i + 1), l)
                              for i, l in enumerate(lines))
        wav_ok = False
        if os.path.exists(wav):
            data = open(wav, "rb").read()
            wav_ok = (len(data) >= 44 + 800 * len(lines) and
                      int.from_bytes(data[40:44], "little") == len(data) - 44)
        check(running and rc == 128 + sig and whole and wav_ok and no_temp_files(d),
              "runner: %s during a run: exit %s, trace of %d whole ticks, WAV with its "
              "length in its header, no temporary file" % (name, rc, len(lines)))
        p.stdout.close()
        p.stderr.close()


def desktop_signals(app, runner, env, tmp):
    for sig in SIGNALS:
        name = signal.Signals(sig).name
        # Before the window: a script FIFO that nobody writes (the open waits), then one
        # whose writer keeps it open (the read waits).
        for call, what in (("openat", "opening a FIFO script"), ("read", "reading a pipe")):
            d = tempfile.mkdtemp(dir=tmp, prefix="dsig-")
            fifo = os.path.join(d, "s.scn")
            os.mkfifo(fifo)
            rec = os.path.join(d, "rec.scn")
            writer = None
            if call == "read":
                writer = subprocess.Popen(["sh", "-c", 'exec 3>"$1"; sleep %d' % LONG, "sh",
                                           fifo])
            p = subprocess.Popen([app, "--script", fifo, "--record", rec], env=env,
                                 stderr=subprocess.PIPE)
            blocked = wait_blocked(p.pid, call)
            rc = stop(p, sig, "desktop, " + what)
            if writer:
                writer.kill()
                writer.wait()
            check(blocked and rc == 128 + sig and os.listdir(d) == ["s.scn"],
                  "desktop: %s while %s: exit %s, nothing written" % (name, what, rc))
            p.stderr.close()

        # During a session (once a script's check has said that 5 ticks have run), and during a
        # long fast-forward: the recording is whole, and holds every tick that the app says
        # it ran.
        for what in ("during a session", "fast-forward"):
            d = tempfile.mkdtemp(dir=tmp, prefix="dsig-")
            rec = os.path.join(d, "rec.scn")
            script = os.path.join(d, "s.scn")
            with open(script, "w") as f:
                f.write("tick 5\nexpect lcd \"%s\" \"%s\"\n" % ("?" * 12, "?" * 12)
                        if what == "during a session" else "tick 1000000000\n")
            cmd = [app, "--record", rec, "--script" if what == "during a session" else "--start",
                   script]
            p = subprocess.Popen(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            if what == "during a session":
                ready = wait_line(p.stdout, r"expect lcd held")
            else:
                ready = wait_for_window("DRK-20VT5P", env, p, timeout=LONG) is not None
            rc = stop(p, sig, "desktop, " + what)
            said = re.search(r"recorded (\d+) ticks", p.stdout.read().decode(errors="replace"))
            data = open(rec, "rb").read() if os.path.exists(rec) else b""
            ticks = sum(int(n) for n in re.findall(rb"^tick (\d+)$", data, re.M))
            good = Desktop(app, runner, env).good(data) and said and int(said.group(1)) == ticks
            check(ready and rc == 128 + sig and good and no_temp_files(d) and
                  (what != "during a session" or ticks >= 5),
                  "desktop: %s %s: exit %s, the recording whole with the %d ticks the app ran" %
                  (name, what, rc, ticks))
            p.stdout.close()
            p.stderr.close()


def desktop_bad_inputs(app, runner, env, tmp):
    d = tempfile.mkdtemp(dir=tmp, prefix="bad-")
    endless = os.path.join(d, "endless")
    os.mkfifo(endless)
    feeder = subprocess.Popen(["sh", "-c", 'while :; do yes "tick 1" > "$1"; done', "sh",
                               endless], stderr=subprocess.DEVNULL, start_new_session=True)
    invalid = os.path.join(d, "invalid.scn")
    with open(invalid, "wb") as f:
        f.write(b'tick 1\nexpect said "\xd0\xb2\xd0\xba\xd0\xbb\xd1\x8e\xd1\x87\xd05\xd0\xbd"\n')
    for option in ("--script", "--start"):
        for path, why in ((d, "is a directory"), ("/proc/self/mem", "cannot read the script"),
                          ("/dev/zero", "is a device"), (endless, "larger than 16 MiB"),
                          (invalid, "invalid.scn:2: the text is not UTF-8")):
            try:
                r = subprocess.run([app, option, path], env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.PIPE, timeout=LONG)
                rc, err = r.returncode, r.stderr.decode(errors="replace")
            except subprocess.TimeoutExpired:
                rc, err = None, "(no exit)"
            check(rc == 2 and why in err, "desktop: %s %s: exit 2 before the window, \"%s\" "
                  "(exit %s %s)" % (option, os.path.basename(path), why, rc, err.strip()[-90:]))
    os.killpg(feeder.pid, signal.SIGKILL)
    feeder.wait()

    # A recording onto the script it plays.
    played = os.path.join(d, "played.scn")
    with open(played, "w") as f:
        f.write("tick 10\n")
    for option in ("--script", "--start"):
        r = subprocess.run([app, option, played, "--record", played], env=env,
                           stderr=subprocess.PIPE, timeout=LONG)
        check(r.returncode == 2 and open(played).read() == "tick 10\n",
              "desktop: --record onto the %s file: exit 2, the script unchanged" % option)

    # A screenshot that cannot be written: said at once, exit 4 at the end.
    shot = os.path.join(d, "shot.scn")
    with open(shot, "w") as f:
        f.write("tick 2\nscreenshot /dev/full\n")
    p = subprocess.Popen([app, "--script", shot], env=env, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE)
    said = wait_line(p.stderr, r"/dev/full.*not written")
    wid = wait_for_window("DRK-20VT5P", env, p, timeout=LONG)
    if wid is not None:
        close_window(env["DISPLAY"], wid)
    p.wait(timeout=LONG)
    check(said and p.returncode == 4, "desktop: a screenshot to /dev/full is said while the "
          "window is open, exit 4 when it is closed (exit %s)" % p.returncode)
    p.stderr.close()

    # A long fast-forward answers a close of the window.
    start = os.path.join(d, "long.scn")
    with open(start, "w") as f:
        f.write("tick 1000000000\n")
    p = subprocess.Popen([app, "--start", start], env=env, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
    wid = wait_for_window("DRK-20VT5P", env, p, timeout=LONG)
    sent = time.monotonic()
    if wid is not None:
        close_window(env["DISPLAY"], wid)
    try:
        p.wait(timeout=LONG)
        SLOWEST["desktop, close during fast-forward"] = time.monotonic() - sent
    except subprocess.TimeoutExpired:
        p.kill()
        p.wait()
    check(wid is not None and p.returncode == 0,
          "desktop: closing the window during a long --start ends it (exit %s)" % p.returncode)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runner", required=True)
    ap.add_argument("--app", required=True)
    ap.add_argument("--fifo-runs", type=int, default=100)
    args = ap.parse_args()
    if os.geteuid() != 0:
        print("these tests need root (unshare -m, mount); 0 passed, 1 failed")
        return 1
    tmp = tempfile.mkdtemp(prefix="drk-io-")
    server = XServer()
    env = dict(os.environ, DISPLAY=server.display, SDL_AUDIODRIVER="dummy")
    try:
        runner = Runner(os.path.abspath(args.runner), tmp)
        output_kinds(runner, tmp)
        runner_streams(runner, tmp)
        fifo_runs(runner, tmp, args.fifo_runs)
        runner_signals(runner, tmp)
        output_kinds(Desktop(args.app, runner.path, env), tmp)
        desktop_bad_inputs(args.app, runner.path, env, tmp)
        desktop_signals(args.app, runner.path, env, tmp)
    finally:
        server.stop()
        subprocess.run(["rm", "-rf", tmp])
    for what, seconds in sorted(SLOWEST.items()):
        print("slowest exit after the signal (or close), %s: %.3f s" % (what, seconds))
    print("%d passed, %d failed" % (len(PASSED), len(FAILED)))
    return 1 if FAILED else 0


if __name__ == "__main__":
    sys.exit(main())
