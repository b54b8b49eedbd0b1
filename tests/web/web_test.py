#!/usr/bin/python3
# The page in headless Chromium, from file://, against morvexc: each case takes
# steps as a user does and expects a text, exactly the downloads named, no
# fetch, no console fault, and no axe-core violation in the state it ends in.
# Then patcher pages are made, opened and used, the page writes a file in
# place, and every code page goes through it.
# Usage: web_test.py PAGE MORVEXC AXE_JS
import shutil, sys
from pathlib import Path

from selenium.webdriver.common.by import By

from session import (check, cyrillic, dense_game, dense_patch, downloads, driver, game, got_downloads, kanji,
                     kanji_new, kanji_patch, last, made, odd, original, out, page, patched, problems_of_state, run,
                     undo, wait, work, write)

# Steps: (action, id, value); then the id whose text's last line starts with
# the expected text, and the downloads by name.
cases = [
    ([("file", "original", game), ("file", "modified", patched), ("type", "comment", "a comment é☃"),
      ("click", "make", None)], "make-result",
     "Warning: the comment holds characters code page 1252 cannot store; they are written as '?'.", {"game.ov": made}),
    ([("type", "patch-name", "mine"), ("file", "original", game), ("file", "modified", patched), ("click", "make", None)],
     "make-result", "The patch downloads as mine.ov", {"mine.ov": None}),
    ([("file", "original", game), ("file", "modified", patched), ("type", "patch-name", "fix.exe"), ("click", "make", None)],
     "make-result", "fix.exe: a patch is not saved under a program's extension", {}),
    ([("copy", None, None), ("file", "original", str(work / "copy/game.exe")), ("file", "modified", patched),
      ("delete", None, work / "copy/game.exe"), ("click", "make", None)],
     "make-result", "game.exe: cannot be read: it was moved, deleted or changed after it was chosen.", {}),
    ([("file", "patch", made), ("file", "target", game), ("click", "apply", None), ("downloads", "apply-result", 1),
      ("click", "save-undo", None)], "apply-result", "The undo patch downloads as game-undo.ov",
     {"game.exe": out, "game-undo.ov": undo}),
    ([("file", "patch", dense_patch), ("file", "target", dense_game), ("click", "apply", None)],
     "apply-result", "Your patched game.exe is in your downloads. Put it in place of the game.exe you chose.",
     {"game.exe": dense_game.replace("game.exe", "mod.exe")}),
    ([("file", "patch", made), ("file", "target", write("gam\u202ee.exe", original)), ("click", "apply", None),
      ("accept", None, None)], "apply-result",
     "Your patched gam_e.exe is in your downloads. Put it in place of the gam\\u202Ee.exe you chose.", {"gam_e.exe": out}),
    ([("file", "original", cyrillic), ("file", "modified", patched), ("type", "comment", "a comment é☃"),
      ("click", "make", None)], "make-result", "Warning: the target name and the comment hold characters code page "
     "1252 cannot store; they are written as '?'.", {"тест.ov": None}),
    ([("file", "original", game), ("file", "modified", game), ("click", "make", None)],
     "make-result", "The two files are the same: this patch changes nothing.", {}),
    ([("file", "patch", made), ("file", "target", patched)], "verdict", "Already applied: nothing to do.", {}),
    ([("file", "patch", made), ("file", "target", write("other.exe", original)), ("click", "apply", None),
      ("dismiss", None, None)],
     "apply-result", "Not applied.", {}),
    ([("copy", None, None), ("file", "patch", made), ("file", "target", str(work / "copy/game.exe")),
      ("wait", "apply", None), ("write", None, work / "copy/game.exe"), ("click", "apply", None)],
     "verdict", "game.exe: cannot be read: it was moved, deleted or changed after it was chosen.", {}),
    ([("file", "patch", write("notes.txt", b"not a patch\n"))], "verdict", "Not a patch: ", {}),
    ([("file", "patch", write("big.ov", bytes((1 << 20) + 1)))], "verdict", "big.ov: larger than 1 MiB: not a patch", {}),
    ([("select", "apply-code-page", "1251"), ("file", "patch", str(work / "cyr.ov")), ("file", "target", cyrillic)],
     "verdict", "Not applied: 5 bytes will change.", {}),
    ([("file", "patch", odd)], "verdict", "Comment: x\\x5Cy\\x02", {}),
    ([("file", "original", str(work / "big/game.exe")), ("file", "modified", str(work / "big/mod.exe")),
      ("click", "make", None), ("running", "make-running", None), ("file", "patch", dense_patch),
      ("file", "target", dense_game), ("click", "make-cancel", None), ("focus", "make", None)],
     "verdict", "Not applied: 65535 bytes will change.", {}),
    ([("file", "original", str(work / "big/game.exe")), ("file", "modified", str(work / "big/mod.exe")),
      ("click", "make", None), ("click", "make-cancel", None)], "make-result", "Cancelled. Nothing was changed.", {}),
    ([("select", "code-page", "932"), ("file", "original", kanji), ("file", "modified", kanji_new), ("click", "make", None)],
     "make-result", "The patch downloads as 髙橋.ov", {"髙橋.ov": kanji_patch}),
    ([("select", "apply-code-page", "932"), ("file", "patch", kanji_patch), ("file", "target", kanji)],
     "verdict", "Not applied: 1 byte will change.", {}),
]

passed = failed = 0
try:
    for steps, result, expected, files in cases:
        shutil.rmtree(downloads, ignore_errors=True)
        downloads.mkdir()
        driver.get("file://" + page)
        problems = sum((run(*step) for step in steps), [])
        wait(lambda: last(result).startswith(expected) and (not files or len(got_downloads(0, 0)) >= len(files)))
        if not last(result).startswith(expected):
            problems.append("text %r, want %r" % (driver.find_element(By.ID, result).text, expected))
        got = got_downloads(len(files), 10 if files else 1)
        want = {n: Path(f).read_bytes() if f else got.get(n, b"?") for n, f in files.items()}
        if got != want:
            problems.append("downloads %s differ from %s" % (sorted(got), sorted(want)))
        ok = check(" ".join(step[1] or step[0] for step in steps), problems + problems_of_state(result))
        passed, failed = passed + ok, failed + (not ok)
    from patcher_rows import five_out, patcher_rows
    rows, five_page = patcher_rows()
    from in_place import in_place_rows
    rows += in_place_rows(five_page, five_out)
    for name, problems in rows:
        ok = check(name, problems)
        passed, failed = passed + ok, failed + (not ok)
    from code_pages import compare_code_pages
    driver.get("file://" + page)
    ok = check("code pages", compare_code_pages())
    passed, failed = passed + ok, failed + (not ok)
finally:
    driver.quit()
    shutil.rmtree(work)
print("web: %d passed, %d failed" % (passed, failed))
sys.exit(failed > 0)
