"""Drive the DRK-20VT5P simulator from Python.

    from drk20vt5p import Instrument

    i = Instrument()                  # a fresh instrument, switched on as the window does
    i.wait(5)                         # five seconds of instrument time (50 ticks)
    assert i.lcd[0].startswith("ГАММА")
    i.run('expect said "Дозиметр включён."')
    i.source(600)                     # a steady source, 600 pulses a second
    i.wait(20)
    assert i.sound().tones > 0

The core is one machine: a process holds one instrument at a time. A new Instrument starts
the core afresh, and an older Instrument object then refuses to be used. Everything runs on
the caller's thread, as fast as the processor allows; the same calls give the same run.
Every input is a step of the scenario language played by the same player as the headless
runner's, so ``run`` takes any step a script may hold (``tick``, ``expect lcd``,
``wait until lcd``, ``source`` ...), one a line.
"""

import re
from dataclasses import dataclass, field

from . import _native

__all__ = ["Instrument", "Sound", "Frame", "ExpectFailed", "ScriptError", "version"]

ExpectFailed = _native.ExpectFailed  # an AssertionError


class ScriptError(ValueError):
    """A step that is not in the scenario language (the parser's message, with its line)."""


ALARMS = ((1, "threshold"), (2, "over_range"), (4, "dose"))

# The display draws Russian words partly with the Latin letters of the same glyph. A reader
# gets them in Cyrillic, as the web page writes the LCD lines: a word with a Cyrillic letter,
# or of small letters only that all have a Cyrillic twin; words of Latin capitals alone (the
# model name, GF, DV) stay Latin.
_CYRILLIC_OF = dict(zip("ABCEHKMOPTXYacepoxy", "АВСЕНКМОРТХУасероху"))
_WORD = re.compile(r"[A-Za-z\u0400-\u04FF]+")


def _reader_text(line):
    def word(m):
        w = m.group(0)
        russian = re.search(r"[\u0400-\u04FF]", w) or (
            w.islower() and w.isascii() and all(c in _CYRILLIC_OF for c in w))
        return "".join(_CYRILLIC_OF.get(c, c) for c in w) if russian else w
    return _WORD.sub(word, line)


def version():
    """The simulator's version, "MAJOR.MINOR.PATCH"."""
    return _native.version()


@dataclass
class Sound:
    """What the instrument played between two calls of Instrument.sound()."""

    samples: bytes = b""  # 8000 Hz, 8-bit unsigned, mono, as handed to the sound service
    clicks: int = 0  # detector clicks
    tones: int = 0  # alarm tone bursts (one each alarmed second)
    messages: list = field(default_factory=list)  # speech messages: (number, words)
    messages_missed: int = 0  # messages a playback held beyond those listed

    @property
    def said(self):
        """The words of the speech messages, in the order spoken."""
        return " ".join(words for _, words in self.messages)

    def wav(self):
        """The samples as a WAV file image."""
        return _native.wav_header(len(self.samples)) + self.samples


@dataclass
class Frame:
    """The panel as the window shows it: rows from the top, 3 bytes (R, G, B) a pixel."""

    width: int
    height: int
    rgb: bytes

    def pixel(self, x, y):
        at = 3 * (y * self.width + x)
        return tuple(self.rgb[at:at + 3])

    def save_png(self, path):
        _native.write_png(str(path), self.width, self.height, self.rgb)


class Instrument:
    """The instrument, started as the window starts it (power-on, then the LCD view).

    seed: None for the detector's own repeatable background, or 0-4294967295 for another
    repeatable one (the runner's --seed).
    """

    def __init__(self, seed=None):
        self._generation = _native.start(seed)
        self.seed = seed

    def _go(self, text):
        _native.check(self._generation)
        try:
            _native.run(text)
        except ValueError as e:
            raise ScriptError(str(e)) from None

    def run(self, steps):
        """Plays scenario steps, one a line. A failed expect raises ExpectFailed (an
        AssertionError) whose message names the line, the tick, what was expected and what
        was found; a step not in the language raises ScriptError. Sound checks (expect said,
        tone, clicks, silence) look at what was played since the last sound check."""
        self._go(steps)

    def tick(self, n=1):
        """n host ticks of 100 ms."""
        if n:
            self._go(f"tick {int(n)}")

    def wait(self, seconds):
        """Instrument time, taken upwards to whole ticks."""
        self._go(f"wait {round(seconds * 1000)}ms")

    def press(self, button, ticks=1):
        """Presses a button for `ticks` ticks: "mode" (15 is a long press in the menu, 17 while
        measuring) or "power" (it acts on the press)."""
        if button == "mode":
            self._go(f"press mode {int(ticks)}")
        elif button == "power":
            self._go(f"power down\ntick {int(ticks)}\nmode up")
        else:
            raise ValueError(f"no button {button!r}: 'mode' or 'power'")

    def mode_down(self):
        self._go("mode down")

    def mode_up(self):
        self._go("mode up")

    def power(self):
        """A click on POWER."""
        self._go("power")

    def click(self, x, y):
        """A mouse click at panel pixel (x, y)."""
        self._go(f"click {int(x)} {int(y)}")

    def pulses(self, n):
        """n extra detector pulses (1-255) in the next tick, as from a check source."""
        self._go(f"pulses {int(n)}")

    def source(self, rate):
        """From the next tick on, a steady source of `rate` pulses a second (0-2000; 0 takes
        it away)."""
        self._go(f"source {rate:g}")

    def _state(self):
        _native.check(self._generation)
        return _native.state()

    @property
    def lcd(self):
        """The two LCD lines as a reader reads them, with Cyrillic letters where the display
        draws a Russian word with Latin look-alikes (as the web page writes them)."""
        return tuple(_reader_text(line) for line in self.raw_lcd)

    @property
    def raw_lcd(self):
        """The two LCD lines as the trace writes them: each cell's own character."""
        _native.check(self._generation)
        return _native.lcd()

    @property
    def on(self):
        return self._state()[0]

    @property
    def cells(self):
        """The 24 LCD cells' glyph codes."""
        return self._state()[1]

    @property
    def cursor(self):
        """The cell under the cursor (0-23), or None."""
        c = self._state()[2]
        return None if c < 0 else c

    @property
    def backlight(self):
        return self._state()[3]

    @property
    def alarms(self):
        """The alarms raised: a set of "threshold", "over_range", "dose"."""
        bits = self._state()[4]
        return {name for bit, name in ALARMS if bits & bit}

    @property
    def mode_held(self):
        return self._state()[5]

    @property
    def time(self):
        """Instrument time since the start, seconds."""
        _native.check(self._generation)
        return _native.ticks() / 10

    @property
    def ticks(self):
        _native.check(self._generation)
        return _native.ticks()

    def sound(self):
        """What was played since the last call (or the start)."""
        _native.check(self._generation)
        samples, clicks, tones, messages, missed = _native.take_sound()
        return Sound(samples, clicks, tones, list(messages), missed)

    def frame(self):
        """The panel now, with the LCD drawn in."""
        _native.check(self._generation)
        return Frame(*_native.frame())


def play_script(name, text, seed=None):
    """A whole script on a fresh instrument, as the headless runner plays it: (message,
    line, ticks), the message None when it passes. Raises ScriptError for a script error."""
    try:
        return _native.play_script(name, text, seed)
    except ValueError as e:
        raise ScriptError(str(e)) from None
