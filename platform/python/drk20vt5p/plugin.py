"""The pytest plugin (entry point pytest11): the fixture ``instrument`` and scenario scripts
(``*.scn``) collected as test items, so ``pytest tests/scenarios`` runs them with pytest's own
reports (``--junitxml``) and, with pytest-xdist, on many cores (``-n 2``).
"""

import os

import pytest

from . import Instrument, ScriptError, play_script


def pytest_addoption(parser):
    group = parser.getgroup("drk20vt5p")
    group.addoption("--drk-seed", type=int, default=None,
                    help="the detector's seed for the instrument fixture and the scripts "
                         "(the runner's --seed)")


@pytest.fixture
def instrument(request):
    """A fresh instrument, switched on, for this test alone."""
    return Instrument(seed=request.config.getoption("drk_seed"))


def pytest_collect_file(file_path, parent):
    if file_path.suffix == ".scn":
        return ScenarioFile.from_parent(parent, path=file_path)
    return None


class ScenarioFile(pytest.File):
    def collect(self):
        yield ScenarioItem.from_parent(self, name=self.path.name)


class ScenarioFailed(Exception):
    """A step of a script did not hold, or the script does not parse."""


class ScenarioItem(pytest.Item):
    def runtest(self):
        name = os.path.relpath(self.path)
        try:
            result = play_script(name, self.path.read_bytes(),
                                 self.config.getoption("drk_seed"))
        except ScriptError as e:
            raise ScenarioFailed(str(e)) from None
        message, line, ticks = result
        self.user_properties.append(("instrument_time", f"{ticks / 10:.1f}"))
        if message is not None:
            self.user_properties.append(("line", line))
            raise ScenarioFailed(message)

    def repr_failure(self, excinfo):
        if isinstance(excinfo.value, ScenarioFailed):
            return str(excinfo.value).rstrip("\n")
        return super().repr_failure(excinfo)

    def reportinfo(self):
        return self.path, 0, f"scenario {self.name}"
