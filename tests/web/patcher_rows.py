# Patcher pages: made in the page, opened from file:// and used as a player
# does; damaged in each way a download can damage one; five patches said in
# one line; a file of another length refused.
import shutil
from pathlib import Path

from selenium.webdriver.common.by import By

from session import (cli, downloads, driver, game, got_downloads, made, optional, original, out, out2, page,
                     problems_of_state, run, undo, wait, work, write)

DAMAGED = "This patcher page is damaged. Download it again."


def make_page(patches, optional_ones, title, note, original_file):
    shutil.rmtree(downloads, ignore_errors=True)
    downloads.mkdir()
    driver.get("file://" + page)
    for step in ([("file", "patcher-patches", "\n".join(patches)), ("file", "patcher-original", original_file)]
                 + [("click", "patcher-optional-%d" % n, None) for n in optional_ones]
                 + [("type", "patcher-title", title), ("type", "patcher-note", note), ("click", "patcher-make", None)]):
        run(*step)
    return got_downloads(1).get(title + "-patcher.html", b"")


# Five patches, the first changing one byte of the game, the fifth five.
five = []
for k in range(1, 6):
    changed = bytearray(original)
    for offset in range(k * 1000, k * 1000 + k):
        changed[offset] ^= 0x77
    five.append(str(work / ("five/p%d.ov" % k)))
    cli("make", game, write("five/%d/game.exe" % k, changed), five[-1])
five_out = write("five/out/game.exe", original)
for patch in five:
    cli("apply", patch, five_out)


def open_page(name, data):
    shutil.rmtree(downloads, ignore_errors=True)
    downloads.mkdir()
    driver.get("file://" + write(name, data))


def flip(data, at):
    return data[:at] + (b"B" if data[at:at + 1] != b"B" else b"C") + data[at + 1:]


def damage_rows(made_page):
    """Each kind of damage says the same, within two seconds, and offers nothing."""
    worker = made_page.index(b'id="worker-source"')
    kinds = {"cut short": made_page[:len(made_page) // 2],
             "script": flip(made_page, made_page.rindex(b'<script type="module">') + 300),
             "worker": flip(made_page, made_page.index(b"Runs after the engine's script")),
             "WebAssembly": flip(made_page, made_page.index(b"base64,", worker) + 5000),
             "data": flip(made_page, made_page.index(b'"title":"') + 9)}
    rows = []
    for kind, data in kinds.items():
        open_page("damaged.html", data)
        shown = lambda: driver.find_element(By.ID, "damaged").is_displayed()
        wait(shown, 2)
        problems = [] if shown() and driver.find_element(By.ID, "damaged").text == DAMAGED else ["not said in 2 s"]
        problems += ["offers %s" % id for id in ("target", "choose-target", "apply")
                     if driver.find_element(By.ID, id).is_displayed()]
        body = driver.find_element(By.TAG_NAME, "body").text
        problems += ["a line ends in two full stops"] * (".." in body)
        # The browser says why it refused the script: that is the point.
        rows.append(("damaged page: " + kind, problems + [p for p in problems_of_state("damaged " + kind)
                                                          if "Content Security Policy" not in p]))
    return rows


def patcher_rows():
    rows = []
    fix = make_page([made, optional], [2], "Fix", "Read me\nthen play", game)
    # Both patches, the second optional, applied without and with it; its undo
    # patch is morvexc's, or gives the chosen file back through it.
    for steps, result, undone in (([], out, undo), ([("click", "use-2", None)], out2, None)):
        open_page("Fix-patcher.html", fix)
        wait(lambda: driver.find_element(By.ID, "target").is_enabled())
        problems = [] if driver.find_element(By.ID, "note").text == "Read me\nthen play" else ["the note lost its break"]
        for step in steps + [("file", "target", game), ("click", "apply", None), ("downloads", "apply-result", 1),
                             ("click", "save-undo", None)]:
            problems += run(*step)
        got = got_downloads(2)
        back = write("back/game.exe", got.get("game.exe", b""))
        undone = undone or write("undo.ov", got.get("Fix-undo.ov", b""))
        if got.get("game.exe") != Path(result).read_bytes() or got.get("Fix-undo.ov") != Path(undone).read_bytes():
            problems.append("downloads %s differ" % sorted(got))
        elif cli("apply", undone, back) and Path(back).read_bytes() != original:
            problems.append("the undo patch does not give the file back")
        rows.append(("patcher page %s" % steps, problems + problems_of_state("patcher")))
    rows += damage_rows(fix)
    five_page = make_page(five, [], "Five", "", game)
    for name, target, expected in (
            ("five patches", write("five/other.exe", original),
             ["5 patches will change 15 bytes of other.exe.",
              "Warning: this patch is for GAME.EXE; this file's name gives OTHER.EXE."]),
            ("another length", write("five/short/game.exe", original[:-10]),
             ["game.exe is not the file this patch was made for (it has %d bytes; the patch was made for one of %d)."
              % (len(original) - 10, len(original))])):
        open_page("Five-patcher.html", five_page)
        run("wait", "target", None)
        run("file", "target", target)
        wait(lambda: driver.find_element(By.ID, "verdict").text)
        got = driver.find_element(By.ID, "verdict").text.split("\n")
        problems = [] if got == expected else ["verdict %r" % got]
        problems += ["Apply offered"] * (name == "another length" and driver.find_element(By.ID, "apply").is_enabled())
        rows.append(("patcher page: " + name, problems + problems_of_state(name)))
    return rows, five_page
