"""The runner's JUnit report as a CI reads it: valid against the common JUnit schema for a
passing, a failing, an unparsable and an interrupted run, with each script's properties and a
failed script's attachments; hostile text in names and messages kept well-formed and small.

Run with: python3 -m pytest tests/platform/junit_report_test.py --runner PATH
"""

import os
import signal
import subprocess
import time
import xml.etree.ElementTree as ET
from pathlib import Path

import pytest

SCHEMA = Path(__file__).parent / "junit" / "junit-10.xsd"
GAMMA = 'wait until lcd "ГАММА ??????" "????????????" within 5s\n'


@pytest.fixture
def runner(request):
    return request.config.getoption("--runner")


def run(runner, *args):
    return subprocess.run([runner, *map(str, args)], capture_output=True, timeout=300)


def valid(report):
    r = subprocess.run(["xmllint", "--noout", "--schema", str(SCHEMA), str(report)],
                       capture_output=True, text=True)
    assert r.returncode == 0, r.stderr
    return ET.parse(report).getroot()


def suites(root):
    """Each script's suite as (properties, testcase)."""
    out = []
    for suite in root.findall("testsuite"):
        props = {p.get("name"): p.get("value") for p in suite.find("properties")}
        out.append((props, suite.find("testcase")))
    return out


def write(path, text):
    path.write_text(text, encoding="utf-8")
    return path


def test_passing_failing_and_unparsable_scripts_in_one_valid_report(runner, tmp_path):
    ok = write(tmp_path / "ok.scn", GAMMA)
    bad = write(tmp_path / "bad.scn", "tick 2\n\nexpect lcd \"nothing here\" \"????????????\"\n")
    unparsable = write(tmp_path / "unparsable.scn", "tick 2\nfrobnicate\n")
    att = tmp_path / "att"
    att.mkdir()
    report = tmp_path / "r.xml"
    r = run(runner, "--script", ok, "--script", bad, "--script", unparsable, "--script", ok,
            "--seed", 7, "--junit", report, "--junit-attachments", att)
    # The script error outranks the failed expect; every runnable script ran.
    assert r.returncode == 2, r.stderr
    root = valid(report)
    assert (root.get("tests"), root.get("failures"), root.get("errors")) == ("4", "1", "1")
    (p0, c0), (p1, c1), (p2, c2), (p3, c3) = suites(root)
    version = run(runner, "--version").stdout.decode().split()[-1]
    assert p0 == {"file": str(ok), "seed": "7", "version": version, "instrument_time": "2.8",
                  "ticks": "28"}
    assert list(c0) == []
    assert p1["line"] == "3" and p1["instrument_time"] == "0.2"
    assert c1.find("failure").get("message").startswith(f"{bad}:3: expect lcd failed")
    # Its panel and its sound at the failure, named as attachments; none for the others.
    attached = [line[len("[[ATTACHMENT|"):-2] for line in c1.find("system-out").text.split()]
    assert [Path(a).name for a in attached] == ["2-bad.scn.png", "2-bad.scn.wav"]
    png, wav = (Path(a).read_bytes() for a in attached)
    assert png.startswith(b"\x89PNG\r\n\x1a\n")
    assert wav[:4] == b"RIFF" and len(wav) == 44 + 2 * 800
    assert sorted(os.listdir(att)) == ["2-bad.scn.png", "2-bad.scn.wav"]
    assert p2["line"] == "2" and p2["ticks"] == "0"
    assert c2.find("error").get("message") == f"{unparsable}:2: unknown step 'frobnicate'"
    assert p3["instrument_time"] == "2.8" and list(c3) == []


def test_an_unparsable_script_alone_gives_its_report_and_nothing_else(runner, tmp_path):
    unparsable = write(tmp_path / "u.scn", 'expect lcd "short" "line"\n')
    report, trace = tmp_path / "r.xml", tmp_path / "t.jsonl"
    r = run(runner, "--script", unparsable, "--junit", report, "--trace", trace)
    assert r.returncode == 2
    ((props, case),) = suites(valid(report))
    assert props["line"] == "1" and props["seed"] == "none"
    assert case.find("error") is not None
    assert not trace.exists()


def test_an_interrupted_run_reports_the_case_it_stopped_and_skips_the_rest(runner, tmp_path):
    long = write(tmp_path / "long.scn", "tick 100000\n")
    report = tmp_path / "r.xml"
    p = subprocess.Popen([runner, "--realtime", "--script", long, "--script", long, "--junit",
                          report, "--show"], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    # Stopped once the instrument has shown its first screen (a line of --show).
    first = p.stdout.readline()
    assert first, "the runner ended before its first screen"
    p.send_signal(signal.SIGTERM)
    p.communicate(timeout=60)
    assert p.returncode == 143
    (p0, c0), (p1, c1) = suites(valid(report))
    assert c0.find("error").get("message").startswith("stopped by SIGTERM after tick ")
    assert int(p0["ticks"]) >= 1
    assert c1.find("skipped").text == "not run: stopped by SIGTERM"
    assert not list(tmp_path.glob(".*")), "a temporary file was left"


@pytest.mark.parametrize("name, said, code, element", [
    # A file name with a stray byte and an encoded U+FFFE; words with U+FFFF.
    (b"bad\xff\xef\xbf\xbe.scn", "включ\uffffн".encode(), 1, "failure"),
    # Words with an encoded surrogate: not UTF-8, so the script is an error case of its own.
    (b"bad\xff\xef\xbf\xbe.scn", "включ".encode() + b"\xed\xa0\x80", 2, "error"),
    # A 10 MB expect said line: the report stays small and says what it cut.
    (b"huge.scn", b"x" * 10_000_000, 1, "failure"),
], ids=["non-characters", "surrogate", "ten-megabytes"])
def test_hostile_text_stays_well_formed_and_small(runner, tmp_path, name, said, code, element):
    script = tmp_path.joinpath(os.fsdecode(name))
    with open(os.fsencode(script), "wb") as f:
        f.write(b"tick 30\nexpect said \"" + said + b"\"\n")
    report = tmp_path / "r.xml"
    r = run(runner, "--script", script, "--junit", report)
    assert r.returncode == code, r.stderr
    ((props, case),) = suites(valid(report))
    message = case.find(element).get("message")
    assert "\ufffe" not in message and "\uffff" not in message
    assert report.stat().st_size < 200_000
    if len(said) > 1_000_000:
        assert "bytes in all" in message and "bytes in all" in case.find(element).text
    else:
        assert "\ufffd" in props["file"] and "\ufffd" in message


@pytest.mark.parametrize("other", [["--lcd"], ["--show"], ["--trace", "-"]])
def test_junit_on_standard_output_takes_it_alone(runner, tmp_path, other):
    r = run(runner, "--script", write(tmp_path / "ok.scn", GAMMA), "--junit", "-", *other)
    assert r.returncode == 2
    assert r.stdout == b""
    assert b"--junit -" in r.stderr or b"standard output" in r.stderr
