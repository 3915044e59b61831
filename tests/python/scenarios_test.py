"""Scenario scripts as pytest items (the plugin): pytest -n 2 over the project's scenarios, a
failing and an unparsable script gives the headless runner's verdict for each, and a
failure's report shows file:line, what was expected and what was found."""

import os
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

RUNNER = os.environ.get("DRK_RUNNER")
SCENARIOS = Path(__file__).parents[1] / "scenarios"


def test_pytest_n2_gives_the_runners_verdicts(tmp_path):
    suite = tmp_path / "suite"
    suite.mkdir()
    for scn in SCENARIOS.glob("*.scn"):
        shutil.copy(scn, suite)
    (suite / "zz_fails.scn").write_text(
        'wait 3s\nexpect said "Дозиметр включён."\n\nexpect lcd "БЕТА ???????" "????????????"\n',
        encoding="utf-8")
    (suite / "zz_unparsable.scn").write_text("tick 2\nfrobnicate\n", encoding="utf-8")
    report = tmp_path / "j.xml"
    r = subprocess.run([sys.executable, "-m", "pytest", "-n", "2", "-p", "no:cacheprovider",
                        "-rN", f"--junitxml={report}", str(suite)],
                       capture_output=True, text=True, cwd=tmp_path)
    assert r.returncode == 1, r.stdout + r.stderr
    assert "2 workers" in r.stdout or "gw1" in r.stdout, r.stdout

    verdicts, times = {}, {}
    for case in ET.parse(report).getroot().iter("testcase"):
        verdicts[case.get("name")] = "failed" if case.find("failure") is not None else "passed"
        times[case.get("name")] = {p.get("name"): p.get("value")
                                   for p in case.iter("property")}.get("instrument_time")
    runner = {}
    for scn in sorted(suite.glob("*.scn")):
        code = subprocess.run([RUNNER, "--script", str(scn)], capture_output=True).returncode
        runner[scn.name] = "passed" if code == 0 else "failed"
    assert len(runner) == len(list(SCENARIOS.glob("*.scn"))) + 2
    assert verdicts == runner
    assert runner["zz_fails.scn"] == runner["zz_unparsable.scn"] == "failed"
    # Each case carries the instrument time it ran (the failing one up to its failure).
    assert times["zz_fails.scn"] == "3.0"
    assert all(float(times[n]) > 0 for n in runner if n != "zz_unparsable.scn")

    # The failure as pytest shows it: the script's file and line, expected and found.
    assert "suite/zz_fails.scn:4: expect lcd failed after tick 30 (00:03.0)" in r.stdout
    assert 'expected: "БЕТА ???????" "????????????"' in r.stdout
    assert "found:" in r.stdout
    assert "suite/zz_unparsable.scn:2: unknown step 'frobnicate'" in r.stdout
