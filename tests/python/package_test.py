"""The Python package drk20vt5p over the built native module: the Instrument's inputs and
readings against the headless runner's trace of the same steps, the sound, the frame, the
one-instrument rule and the plugin's fixture."""

import json
import os
import struct
import subprocess

import pytest

import drk20vt5p
from drk20vt5p import ExpectFailed, Instrument, ScriptError

RUNNER = os.environ.get("DRK_RUNNER")
STEPS = """wait until lcd "ГАММА ??????" "????????????" within 5s
press mode 3
tick 2
press mode 3
source 600
wait 20s
pulses 40
tick 3
power
wait 2s
"""


def runner_trace(tmp_path, script, *args):
    path = tmp_path / "s.scn"
    path.write_text(script, encoding="utf-8")
    trace = tmp_path / "t.jsonl"
    subprocess.run([RUNNER, "--script", str(path), "--trace", str(trace), *args], check=True)
    return [json.loads(line) for line in trace.read_text(encoding="utf-8").splitlines()]


def test_the_same_steps_give_the_runners_screen_and_sound(tmp_path):
    trace = runner_trace(tmp_path, STEPS, "--seed", "5")
    # The same steps through the Instrument's own calls.
    i = Instrument(seed=5)
    i.run('wait until lcd "ГАММА ??????" "????????????" within 5s')
    i.press("mode", 3)
    i.tick(2)
    i.press("mode", 3)
    i.source(600)
    i.wait(20)
    i.pulses(40)
    i.tick(3)
    i.power()
    i.wait(2)
    last = trace[-1]
    assert i.ticks == last["tick"] and i.time == pytest.approx(last["tick"] / 10)
    assert i.raw_lcd == tuple(last["lcd"])
    assert list(i.cells) == last["cells"]
    assert i.backlight == bool(last["backlight"]) and i.on == bool(last["on"])
    assert i.cursor == last["cursor"]
    sound = i.sound()
    assert len(sound.samples) == sum(t["played"] for t in trace)
    assert sound.said.startswith("Дозиметр включён.") and sound.said.endswith("До свидания!")
    assert i.sound().samples == b""  # taken: the next call starts afresh


def test_lcd_reads_russian_words_in_cyrillic():
    i = Instrument()
    i.wait(5)
    assert i.raw_lcd[0].startswith("ГAMMA")  # the display's own Latin look-alikes
    assert i.lcd[0].startswith("ГАММА")
    assert i.lcd[1].endswith("мкЗв/ч ")


def test_run_takes_any_step_and_reports_failures_with_file_line_expected_found(tmp_path):
    i = Instrument()
    i.run('wait 3s\nexpect said "Дозиметр включён."\nexpect backlight off')
    with pytest.raises(ExpectFailed) as failed:
        i.run('tick 1\n\nexpect lcd "БЕТА ???????" "????????????"\ntick 100')
    text = str(failed.value)
    assert text.startswith("<run>:3: expect lcd failed after tick 31 (00:03.1)")
    assert 'expected: "БЕТА ???????"' in text and "found:" in text
    assert isinstance(failed.value, AssertionError)
    assert i.ticks == 31  # the steps after the failure were dropped
    with pytest.raises(ScriptError, match="<run>:1: unknown step 'frobnicate'"):
        i.run("frobnicate")
    # A screenshot step writes the panel.
    shot = tmp_path / "p.png"
    i.run(f"screenshot {shot}")
    assert shot.read_bytes().startswith(b"\x89PNG")


def test_sound_counts_clicks_tones_and_messages_with_their_words():
    i = Instrument()
    i.wait(3)
    greeting = i.sound()
    assert greeting.messages and all(isinstance(n, int) for n, _ in greeting.messages)
    assert greeting.said == "Дозиметр включён."
    wav = greeting.wav()
    assert wav[:4] == b"RIFF" and struct.unpack("<I", wav[40:44])[0] == len(greeting.samples)
    # The alarm: a strong source in beta gives tone bursts and raises the threshold alarm.
    i.run("press mode 3\ntick 2\npress mode 3\nsource 600")
    i.wait(20)
    heard = i.sound()
    assert heard.tones > 0 and "threshold" in i.alarms
    i.source(0)
    i.wait(30)
    i.sound()
    i.wait(5)
    assert i.sound().tones == 0 and i.alarms == set()


def test_frame_is_the_panel_and_saves_as_png(tmp_path):
    i = Instrument()
    i.wait(5)
    f = i.frame()
    assert len(f.rgb) == f.width * f.height * 3
    path = tmp_path / "f.png"
    f.save_png(path)
    png = path.read_bytes()
    assert png[:8] == b"\x89PNG\r\n\x1a\n"
    assert struct.unpack(">II", png[16:24]) == (f.width, f.height)
    # The runner's screenshot of the same run is the same picture.
    shot = tmp_path / "r.png"
    runner_trace(tmp_path, "wait 5s\n", "--screenshot", str(shot))
    assert shot.read_bytes() == png


def test_buttons_and_clicks():
    i = Instrument()
    i.wait(5)
    i.mode_down()
    assert i.mode_held
    i.tick(20)
    i.mode_up()
    assert not i.mode_held
    i.tick(3)
    assert i.lcd[0].startswith("УСТАНОВКИ") or "ВЫХОД" in i.lcd[1], i.lcd
    x0, y0, x1, y1 = drk20vt5p._native.button_box(0)
    i.click((x0 + x1) // 2, (y0 + y1) // 2)  # POWER: off
    i.wait(3)
    assert not i.on
    i.press("power")
    i.wait(3)
    assert i.on
    with pytest.raises(ValueError):
        i.press("reset")


def test_one_instrument_at_a_time():
    first = Instrument(seed=1)
    first.wait(2)
    second = Instrument()
    assert second.ticks == 0  # the core started afresh
    with pytest.raises(RuntimeError, match="one instrument a process"):
        first.tick()
    with pytest.raises(RuntimeError):
        first.lcd


def test_seeds_are_repeatable_and_differ():
    def reading(seed):
        i = Instrument(seed=seed)
        i.wait(30)
        return i.raw_lcd

    assert reading(7) == reading(7)
    assert len({reading(None), reading(7), reading(8)}) > 1


def test_the_plugin_fixture_is_a_fresh_started_instrument(instrument):
    assert instrument.ticks == 0 and instrument.on
    instrument.wait(3)
    assert instrument.sound().said == "Дозиметр включён."


def test_version_is_the_runners():
    out = subprocess.run([RUNNER, "--version"], capture_output=True, text=True, check=True)
    assert out.stdout.split()[-1] == drk20vt5p.version()
