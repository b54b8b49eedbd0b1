#!/usr/bin/python3
# The code pages the README, the man page and the shell completion offer are
# the generator's list.
# Usage: code_page_lists.py FILE...
import re
import sys
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "engine" / "format"))
from make_code_pages import PAGES  # noqa: E402  the engine's one list of code pages

expected = [number for number, _, _ in PAGES]
failed = 0
for name in sys.argv[1:]:
    # The list runs from the first code page to the last, "A to B" for a run;
    # words in brackets name a page and are passed over.
    text = " ".join(Path(name).read_text(encoding="utf-8").split())
    found = re.search(r"\b%d\b.*?\b%d\b" % (expected[0], expected[-1]), text)
    listed = []
    for first, last in re.findall(r"\b(\d+)(?: to (\d+))?\b", re.sub(r"\(.*?\)", "", found.group(0) if found else "")):
        listed += range(int(first), int(last or first) + 1)
    if listed != expected:
        print("FAIL %s offers %s" % (name, listed))
        failed = 1
sys.exit(failed)
