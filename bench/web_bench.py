#!/usr/bin/python3
# Times the page's comparison of a 512 MiB pair with 1000 scattered
# differences in headless Chromium against the same worker only reading both
# files in slices, the floor for any page. Goal: a ratio of at most 1.5.
# Usage: web_bench.py PAGE [ROUNDS]
import os, random, shutil, statistics, sys, tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

page = os.path.abspath(sys.argv[1])
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
work = tempfile.mkdtemp()
size = 512 << 20
original, modified = os.path.join(work, "game.exe"), os.path.join(work, "game.new")
with open(original, "wb") as f:
    f.write(os.urandom(size))
shutil.copyfile(original, modified)
with open(modified, "r+b") as f:
    for offset in random.sample(range(size), 1000):
        f.seek(offset)
        f.write(b"\0" if f.read(1) != b"\0" else b"\1")

options = webdriver.ChromeOptions()
options.binary_location = "/usr/bin/chromium"
for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
    options.add_argument(argument)
driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
driver.set_script_timeout(600)
# A worker of the page's own, asked to make the patch or only to read.
timed = """
const [readOnly, done] = arguments;
const source = URL.createObjectURL(new Blob([document.getElementById("worker-source").textContent]));
const worker = new Worker(source);
const start = performance.now();
worker.onmessage = ({ data }) => {
    if (data.done) { worker.terminate(); done([performance.now() - start, data.problem || data.text || ""]); }
};
worker.postMessage({ id: 1, kind: "make", original: document.getElementById("original").files[0],
                     modified: document.getElementById("modified").files[0], comment: "", codePage: 1252, readOnly });
"""
try:
    driver.get("file://" + page)
    driver.find_element(By.ID, "original").send_keys(original)
    driver.find_element(By.ID, "modified").send_keys(modified)
    times = {False: [], True: []}
    for round in range(rounds + 1):
        for read_only in (True, False):
            took, text = driver.execute_async_script(timed, read_only)
            if not read_only and text != "Patch Complete!":
                sys.exit("web_bench: the comparison said %r" % text)
            if round:
                times[read_only].append(took)
finally:
    driver.quit()
    shutil.rmtree(work)
compare, read = statistics.median(times[False]), statistics.median(times[True])
ratio = compare / read
print("web   512 MiB  compare %7.1f ms  read only %7.1f ms  ratio %.3f  (%d rounds)" % (compare, read, ratio, rounds))
print("%s: the page's comparison at most 1.5 times the time of reading both files" % ("PASS" if ratio <= 1.5 else "MISS"))
