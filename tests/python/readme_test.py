"""The README's pytest example, taken from the README as it stands, passes."""

import re
import subprocess
import sys
from pathlib import Path

README = Path(__file__).parents[2] / "README.md"


def test_the_readme_example_passes(tmp_path):
    blocks = re.findall(r"```python\n(.*?)```", README.read_text(encoding="utf-8"), re.S)
    assert blocks, "no Python example in the README"
    (tmp_path / "test_readme.py").write_text(blocks[0], encoding="utf-8")
    r = subprocess.run([sys.executable, "-m", "pytest", "-q", "-p", "no:cacheprovider",
                        str(tmp_path / "test_readme.py")], capture_output=True, text=True,
                       cwd=tmp_path)
    assert r.returncode == 0, r.stdout + r.stderr
    assert "1 passed" in r.stdout
