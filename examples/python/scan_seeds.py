"""Reads the gamma background after two minutes for a few seeds, and saves the panel of the
last one as a PNG: the package used as a plain library, without pytest.

    python3 examples/python/scan_seeds.py
"""

from drk20vt5p import Instrument

for seed in range(5):
    i = Instrument(seed=seed)
    i.wait(120)
    print(f"seed {seed}: {i.lcd[0]!r} {i.lcd[1]!r} after {i.time:.1f} s")
i.frame().save_png("scan_seeds.png")
print("wrote scan_seeds.png")
