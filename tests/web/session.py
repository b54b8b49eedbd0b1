#!/usr/bin/python3
# What the page's tests share: the files made with morvexc, the browser, and
# the steps a user takes in it.
import os, shutil, subprocess, sys, tempfile, time
from pathlib import Path

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.expected_conditions import alert_is_present

page, morvexc, axe = map(os.path.abspath, sys.argv[1:4])
work = Path(tempfile.mkdtemp())
downloads = work / "downloads"


def write(name, data):
    (work / name).parent.mkdir(parents=True, exist_ok=True)
    (work / name).write_bytes(data)
    return str(work / name)


def cli(*arguments):
    return subprocess.run([morvexc, *arguments], check=True, capture_output=True, text=True).stdout


# Differences at both ends, on both sides of the worker's 4 MiB slices, and
# two near but apart, which an apply in place writes as one piece of the file.
size = 9 << 20
original = bytearray(os.urandom(size))
modified = bytearray(original)
for offset in (0, (4 << 20) - 1, 4 << 20, 6 << 20, (6 << 20) + 100, size - 1):
    modified[offset] ^= 0x5A
game, patched = write("game.exe", original), write("mod/game.exe", modified)
made, undo, out = str(work / "game.ov"), str(work / "game-undo.ov"), str(work / "out.exe")
cli("make", game, patched, made, "a comment é☃")
cli("apply", "--undo", undo, made, game, out)
# 65,535 records spread over a file, as dense as the worker's large reads take them.
dense = bytearray(os.urandom(64 << 20))
dense_game, dense_patch = write("dense/game.exe", dense), str(work / "dense/game.ov")
for offset in range(0, len(dense) - 1024, len(dense) // 65535):
    dense[offset] ^= 0xFF
cli("make", dense_game, write("dense/mod.exe", dense), dense_patch)

options = webdriver.ChromeOptions()
options.binary_location = "/usr/bin/chromium"
for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
    options.add_argument(argument)
options.add_experimental_option("prefs", {"download.default_directory": str(downloads),
                                          "download.prompt_for_download": False,
                                          "profile.default_content_setting_values.automatic_downloads": 1})
driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
driver.set_script_timeout(120)
text = lambda id: driver.find_element(By.ID, id).text


def wait(condition, seconds=30):
    end = time.time() + seconds
    while time.time() < end and not condition():
        time.sleep(0.1)
    return condition()


def got_downloads(count, seconds=10):
    # Chromium writes a download under a hidden or .crdownload name first.
    done = lambda: [n for n in os.listdir(downloads) if not n.startswith(".") and not n.endswith(".crdownload")]
    wait(lambda: len(done()) >= count and len(os.listdir(downloads)) == len(done()), seconds)
    return {n: (downloads / n).read_bytes() for n in done()}


# One step: a file chosen, text typed, an option selected, a button clicked
# once it is offered, a dialog accepted.
def run(action, id, value=None):
    element = driver.find_element(By.ID, id) if id else None
    if action in ("file", "type"):
        element.send_keys(value)
    elif action == "select":
        driver.execute_script("arguments[0].value = arguments[1]", element, value)
    elif action == "click":
        wait(lambda: element.is_displayed() and element.is_enabled())
        element.click()
    elif action == "accept":
        wait(lambda: alert_is_present()(driver))
        driver.switch_to.alert.accept()


# axe-core's violations, any fetch and any console fault in the state the page is in.
def problems_of_state(state):
    driver.execute_script(Path(axe).read_text())
    found = driver.execute_async_script("axe.run({ resultTypes: ['violations'] }).then((r) => arguments[0](r.violations))")
    fetched = driver.execute_script("return performance.getEntriesByType('resource').map(e => e.name)")
    return (["axe (%s): %s %s" % (state, v["id"], [n["target"] for n in v["nodes"]]) for v in found]
            + ["fetched %s" % fetched] * bool(fetched)
            + ["console: " + entry["message"][:200] for entry in driver.get_log("browser")])


# An empty downloads folder and the page at `url`.
def fresh(url):
    shutil.rmtree(downloads, ignore_errors=True)
    downloads.mkdir()
    driver.get(url)
