#!/usr/bin/python3
# The page in headless Chromium, from file://, against morvexc: each case takes
# steps as a user does and expects a text, exactly the downloads named with
# morvexc's bytes, no fetch, no console fault, and no axe-core violation in the
# state it ends in. Then patcher pages are made and used, and the page writes a
# file in place.
# Usage: web_test.py PAGE MORVEXC AXE_JS
import os, shutil, sys
from pathlib import Path

from session import (cli, dense_game, dense_patch, driver, fresh, game, got_downloads, made, original, out, page,
                     patched, problems_of_state, run, text, undo, wait, work, write)

# A name in code page 932 that its Shift_JIS stand-in lacks.
kanji, kanji_new, kanji_patch = write("jp/髙橋.exe", b"ab"), write("jp/new/髙橋.exe", b"aX"), str(work / "jp/髙橋.ov")
cli("--code-page", "932", kanji, kanji_new, kanji_patch)
# A 1 GiB sparse pair: long enough a comparison to cancel.
big = [write(name, b"") for name in ("big/game.exe", "big/mod.exe")]
for name in big:
    os.truncate(name, 1 << 30)
back = write("back/game.exe", Path(out).read_bytes())
compared = lambda first, second: [("file", "original", first), ("file", "modified", second), ("click", "make")]
applied = lambda patch, target: [("file", "patch", patch), ("file", "target", target), ("click", "apply")]
fallback = "Your patched %s is in your downloads. Put it in place of the %s you chose."

# Steps (action, id, value); then the id whose text's last line starts with the
# expected text, and the downloads by name with the files they equal.
cases = [
    ([("type", "comment", "a comment é☃"), *compared(game, patched)], "make-result",
     "Warning: the comment holds characters code page 1252 cannot store; they are written as '?'.", {"game.ov": made}),
    ([("select", "code-page", "932"), *compared(kanji, kanji_new)], "make-result", "The patch downloads as 髙橋.ov",
     {"髙橋.ov": kanji_patch}),
    ([*compared(*big), ("click", "make-cancel")], "make-result", "Cancelled. Nothing was changed.", {}),
    ([*applied(made, game), ("click", "save-undo")], "apply-result", "The undo patch downloads as game-undo.ov",
     {"game.exe": out, "game-undo.ov": undo}),
    (applied(undo, back), "apply-result", fallback % ("game.exe", "game.exe"), {"game.exe": game}),
    (applied(dense_patch, dense_game), "apply-result", fallback % ("game.exe", "game.exe"),
     {"game.exe": dense_game.replace("game.exe", "mod.exe")}),
    ([*applied(made, write("gam\u202ee.exe", original)), ("accept", None)], "apply-result",
     fallback % ("gam_e.exe", "gam\\u202Ee.exe"), {"gam_e.exe": out}),
]
results = []


def check(name, problems):
    for problem in problems:
        print("FAIL %s: %s" % (name, problem))
    results.append(not problems)


try:
    for steps, result, expected, files in cases:
        fresh("file://" + page)
        for step in steps:
            run(*step)
        last = lambda: text(result).split("\n")[-1]
        wait(lambda: last().startswith(expected) and len(got_downloads(0, 0)) >= len(files))
        problems = [] if last().startswith(expected) else ["text %r, want %r" % (text(result), expected)]
        got, want = got_downloads(len(files), 1), {name: Path(f).read_bytes() for name, f in files.items()}
        problems += ["downloads %s differ from %s" % (sorted(got), sorted(want))] * (got != want)
        check(" ".join(step[1] or step[0] for step in steps), problems + problems_of_state(result))
    from patcher_rows import patcher_rows
    from in_place import in_place_rows
    for name, problems in [*patcher_rows(), *in_place_rows()]:
        check(name, problems)
finally:
    driver.quit()
    shutil.rmtree(work)
print("web: %d passed, %d failed" % (sum(results), results.count(False)))
sys.exit(not all(results))
