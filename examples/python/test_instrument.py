"""A test engineer's first tests of the instrument, with the pytest plugin's fixture
`instrument` (a fresh instrument, switched on, for each test).

    pytest examples/python            # after cmake --install, or with the build on PYTHONPATH
"""

import pytest


def test_power_on_greets_and_measures_gamma(instrument):
    instrument.run('wait until lcd "ГАММА ??????" "????????????" within 5s')
    instrument.wait(2)
    assert instrument.lcd[1].endswith("мкЗв/ч ")
    assert instrument.sound().said == "Дозиметр включён."


def test_a_source_raises_the_alarm_in_beta(instrument):
    instrument.wait(5)
    instrument.press("mode", 3)  # the first short press lights the backlight
    instrument.tick(2)
    instrument.press("mode", 3)  # the second changes the mode
    instrument.run('wait until lcd "БЕТА ???????" "????????????" within 1s')
    instrument.sound()  # start counting afresh
    instrument.source(600)
    instrument.wait(20)
    assert instrument.sound().tones > 0
    assert "threshold" in instrument.alarms


@pytest.mark.parametrize("seed", [1, 2, 3])
def test_the_greeting_is_the_same_for_every_seed(seed):
    from drk20vt5p import Instrument

    i = Instrument(seed=seed)
    i.run('wait 3s\nexpect said "Дозиметр включён."')
