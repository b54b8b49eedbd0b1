#!/usr/bin/python3
# The page in headless Chromium, from file://, against morvexc: each case
# chooses files, presses a button or none, and expects a text and exactly the
# downloads named. No case may make the page fetch anything or log a fault.
# Usage: web_test.py PAGE MORVEXC
import os, shutil, subprocess, sys, tempfile, time
from pathlib import Path

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

page, morvexc = map(os.path.abspath, sys.argv[1:3])
work = tempfile.mkdtemp()
downloads = os.path.join(work, "downloads")


def write(name, data):
    path = os.path.join(work, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    return path


# Differences at both ends and on both sides of the worker's 4 MiB slices.
size = 9 << 20
original = bytearray(os.urandom(size))
modified = bytearray(original)
for offset in (0, (4 << 20) - 1, 4 << 20, 6 << 20, size - 1):
    modified[offset] ^= 0x5A
game = write("game.exe", original)
patched = write("mod/game.exe", modified)
short = write("short/game.exe", original[:-1])
not_patch = write("notes.txt", b"not a patch at all\n")
made = os.path.join(work, "cli/game.ov")
os.makedirs(os.path.dirname(made))
subprocess.run([morvexc, "make", game, patched, made, "a comment é☃"], check=True, stdout=subprocess.DEVNULL)
subprocess.run([morvexc, "apply", "--undo", os.path.join(work, "cli/game-undo.ov"), made, game,
                os.path.join(work, "cli/out.exe")], check=True, stdout=subprocess.DEVNULL)

# id: path or text to enter, button to press, id and last line of its text, downloads.
cases = [
    ({"original": game, "modified": patched, "comment": "a comment é☃"}, "make", "make-result", "Patch Complete!",
     {"game.ov": Path(made).read_bytes()}),
    ({"original": game, "modified": short}, "make", "make-result", "Files don't appear to be the same size!", {}),
    ({"patch": made, "target": game}, "apply", "apply-result", "Undo patch: game-undo.ov",
     {"game.exe": bytes(modified), "game-undo.ov": Path(work, "cli/game-undo.ov").read_bytes()}),
    ({"patch": made, "target": patched}, None, "verdict", "Already applied: nothing to do.", {}),
    ({"patch": not_patch}, None, "verdict", "Not a patch: ", {}),
]

options = webdriver.ChromeOptions()
options.binary_location = "/usr/bin/chromium"
for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
    options.add_argument(argument)
options.add_experimental_option("prefs", {"download.default_directory": downloads,
                                          "download.prompt_for_download": False,
                                          "profile.default_content_setting_values.automatic_downloads": 1})
driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def wait(condition, seconds=30):
    end = time.time() + seconds
    while time.time() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.1)
    return condition()


failures = 0
try:
    for inputs, button, result, expected, files in cases:
        shutil.rmtree(downloads, ignore_errors=True)
        os.mkdir(downloads)
        driver.get("file://" + page)
        for element, value in inputs.items():
            driver.find_element(By.ID, element).send_keys(value)
        if button:
            wait(lambda: driver.find_element(By.ID, button).is_enabled())
            driver.find_element(By.ID, button).click()
        text = wait(lambda: driver.find_element(By.ID, result).text)
        last = text.split("\n")[-1]
        # Chromium writes a download under a hidden or .crdownload name first.
        got = wait(lambda: len(os.listdir(downloads)) >= len(files)
                   and not any(n.startswith(".") or n.endswith(".crdownload") for n in os.listdir(downloads))
                   and {n: Path(downloads, n).read_bytes() for n in os.listdir(downloads)}, 10 if files else 1)
        fetched = driver.execute_script("return performance.getEntriesByType('resource').map(e => e.name)")
        problems = []
        if not last.startswith(expected):
            problems.append("text %r, want %r" % (text, expected))
        if (got or {}) != files:
            problems.append("downloads %s differ from %s" % (sorted(got or {}), sorted(files)))
        if fetched:
            problems.append("fetched %s" % fetched)
        problems += ["console: " + entry["message"][:200] for entry in driver.get_log("browser")]
        for problem in problems:
            print("FAIL %s %s: %s" % (button or "verdict", sorted(inputs), problem))
        failures += bool(problems)
finally:
    driver.quit()
    shutil.rmtree(work)
print("web: %d of %d cases failed" % (failures, len(cases)))
sys.exit(failures > 0)
