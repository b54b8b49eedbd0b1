# A patcher page of five patches: made in the page, opened from file:// and
# used as a player does; damaged as a download can damage one.
import re

from selenium.webdriver.common.by import By

from session import (cli, driver, fresh, game, got_downloads, original, page, problems_of_state, run, size, text, wait,
                     work, write)

DAMAGED = "This patcher page is damaged. Download it again."

# The first patch changes one byte of the game, the fifth five; morvexc
# applies them in order.
five, five_out = [], write("five/out/game.exe", original)
for k in range(1, 6):
    changed = original[:k * 1000] + bytes(b ^ 0x77 for b in original[k * 1000:k * 1001]) + original[k * 1001:]
    five.append(str(work / ("five/p%d.ov" % k)))
    cli("make", game, write("five/%d/game.exe" % k, changed), five[-1])
    cli("apply", five[-1], five_out)


def flip(data, at):
    return data[:at] + (b"B" if data[at:at + 1] != b"B" else b"C") + data[at + 1:]


def patcher_rows():
    fresh("file://" + page)
    for step in (("file", "patcher-patches", "\n".join(five)), ("file", "patcher-original", game),
                 ("type", "patcher-title", "Five"), ("click", "patcher-make")):
        run(*step)
    made = got_downloads(1).get("Five-patcher.html", b"")
    five_page, rows = "file://" + write("Five-patcher.html", made), []
    # One line for the five in a player's words, no offsets, and the file
    # they make; a file of another length refused.
    for name, target, expected in (
            ("five patches", write("five/other.exe", original),
             ["5 patches will change 15 bytes of other.exe.",
              "Warning: this patch is for GAME.EXE; this file's name gives OTHER.EXE."]),
            ("another length", write("five/short/game.exe", original[:-10]),
             ["game.exe is not the file this patch was made for (it has %d bytes; the patch was made for one of %d)."
              % (size - 10, size)])):
        fresh(five_page)
        wait(driver.find_element(By.ID, "target").is_enabled)
        run("file", "target", target)
        wait(lambda: text("verdict"))
        problems = [] if text("verdict").split("\n") == expected else ["verdict %r" % text("verdict")]
        details = driver.find_element(By.ID, "details").get_attribute("textContent")
        problems += ["an offset shown"] * bool(re.search(r"\b[0-9A-F]{8}\b", details + text("verdict")))
        if name == "five patches":
            run("click", "apply")
            run("accept", None)
            problems += [] if got_downloads(1).get("other.exe") == open(five_out, "rb").read() else ["not patched"]
        else:
            problems += ["Apply offered"] * driver.find_element(By.ID, "apply").is_enabled()
        rows.append(("patcher page: " + name, problems + problems_of_state(name)))
    # Each kind of damage says the same within two seconds and offers nothing.
    worker = made.index(b'id="worker-source"')
    for kind, data in (("cut short", made[:len(made) // 2]),
                       ("script", flip(made, made.rindex(b'<script type="module">') + 300)),
                       ("WebAssembly", flip(made, made.index(b"base64,", worker) + 5000)),
                       ("data", flip(made, made.index(b'"title":"') + 9))):
        fresh("file://" + write("damaged.html", data))
        wait(driver.find_element(By.ID, "damaged").is_displayed, 2)
        problems = [] if text("damaged") == DAMAGED else ["not said in 2 s"]
        problems += ["offers %s" % id for id in ("target", "choose-target", "apply")
                     if driver.find_element(By.ID, id).is_displayed()]
        # The browser says why it refused the script: that is the point.
        rows.append(("damaged page: " + kind, problems + [p for p in problems_of_state("damaged " + kind)
                                                          if "Content Security Policy" not in p]))
    return rows
