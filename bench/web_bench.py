#!/usr/bin/python3
# The page in headless Chromium against the browser's own reads, in one run:
# - making a patch of a 512 MiB pair with 1000 scattered differences, against
#   the page's worker only reading both files (goal: at most 1.5 times);
# - checking and applying a patch of 65,535 records spread over a 1 GiB file,
#   each against one read of that file in 4 MiB slices (goal: 1.5 times);
# - the renderers' peak memory above idle while a 2 GiB - 1 pair is made and
#   the patch applied (goal: at most 64 MiB), from their RSS in /proc.
# Usage: web_bench.py PAGE MORVEXC [ROUNDS]
import os, random, shutil, statistics, subprocess, sys, tempfile, threading, time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

page, morvexc = map(os.path.abspath, sys.argv[1:3])
rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 3
work = tempfile.mkdtemp()
path = lambda name: os.path.join(work, name)


def pair(name, size, changes, random_bytes):
    os.makedirs(path("mod"), exist_ok=True)
    with open(path(name), "wb") as f:
        if random_bytes:
            for _ in range(size >> 24):
                f.write(os.urandom(1 << 24))
        f.truncate(size)
    shutil.copyfile(path(name), path("mod/" + name))
    with open(path("mod/" + name), "r+b") as f:
        for offset in changes:
            f.seek(offset)
            f.write(b"\1" if f.read(1) == b"\0" else b"\0")
    patch = path(name + ".ov")
    subprocess.run([morvexc, "make", path(name), path("mod/" + name), patch], check=True, stdout=subprocess.DEVNULL)
    return path(name), path("mod/" + name), patch


def renderers_rss():
    total = 0
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if b"--type=renderer" in open("/proc/%s/cmdline" % pid, "rb").read():
                total += int(next(l for l in open("/proc/%s/status" % pid) if l.startswith("VmRSS")).split()[1]) << 10
        except (OSError, StopIteration):
            pass
    return total


options = webdriver.ChromeOptions()
options.binary_location = "/usr/bin/chromium"
for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
    options.add_argument(argument)
options.add_experimental_option("prefs", {"download.default_directory": path("downloads"),
                                          "download.prompt_for_download": False,
                                          "profile.default_content_setting_values.automatic_downloads": 1})
driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
driver.set_script_timeout(900)
# A worker of the page's own asked to make the patch or only to read both
# files; or a worker reading one file in 4 MiB slices into one kept buffer.
timed = """
const [kind, done] = arguments, $ = (id) => document.getElementById(id);
const reader = `onmessage = async ({ data: file }) => { let buffer = new ArrayBuffer(4 << 20);
    for (let at = 0; at < file.size; at += 4 << 20) { const length = Math.min(4 << 20, file.size - at);
        const r = file.slice(at, at + length).stream().getReader({ mode: "byob" }); let n = 0;
        while (n < length) { const { value, done } = await r.read(new Uint8Array(buffer, n, length - n));
            buffer = value.buffer; if (done) break; n += value.byteLength; }
        await r.cancel(); }
    postMessage({ done: 1, text: "read" }); };`;
const worker = new Worker(URL.createObjectURL(new Blob([kind === "read" ? reader : $("worker-source").textContent])));
const start = performance.now();
worker.onmessage = ({ data }) => {
    if (data.done) { worker.terminate(); done([performance.now() - start, data.problem || data.text || ""]); }
};
if (kind === "read")
    worker.postMessage($("target").files[0]);
else
    worker.postMessage({ id: 1, kind: "make", original: $("original").files[0], modified: $("modified").files[0],
                         comment: "", codePage: 1252, readOnly: kind === "read both" });
"""


def until(condition, seconds=900):
    end = time.time() + seconds
    while not condition() and time.time() < end:
        time.sleep(0.02)


def ui(steps, result):
    start = time.time()
    for kind, id, value in steps:
        element = driver.find_element(By.ID, id)
        if kind == "file":
            element.send_keys(value)
        else:
            until(element.is_enabled)
            element.click()
    until(lambda: driver.find_element(By.ID, result[0]).text.split("\n")[-1].startswith(result[1]))
    return (time.time() - start) * 1000


def median_of(run):
    return statistics.median(run() for _ in range(rounds))


lines, misses = [], 0


def report(name, value, floor, goal, unit="ratio"):
    global misses
    ratio = value / floor if unit == "ratio" else value
    lines.append("%-44s %9.1f  %9.1f  %s %.2f (goal %s)" % (name, value, floor, unit, ratio, goal))
    misses += ratio > goal


try:
    original, modified, _ = pair("game.exe", 512 << 20, random.sample(range(512 << 20), 1000), True)
    driver.get("file://" + page)
    driver.find_element(By.ID, "original").send_keys(original)
    driver.find_element(By.ID, "modified").send_keys(modified)
    floor = median_of(lambda: driver.execute_async_script(timed, "read both")[0])
    report("make 512 MiB (ms; read both)", median_of(lambda: driver.execute_async_script(timed, "make")[0]), floor, 1.5)

    dense, _, patch = pair("dense.exe", 1 << 30, range(0, (1 << 30) - 1024, (1 << 30) // 65535), True)
    check = lambda: (driver.get("file://" + page), ui([("file", "patch", patch), ("file", "target", dense)],
                                                     ("verdict", "Not applied")))[1]
    apply = lambda: (check(), ui([("click", "apply", None)], ("apply-result", "The patched file")))[1]
    floor = median_of(lambda: (check(), driver.execute_async_script(timed, "read")[0])[1])
    report("check 65,535 records over 1 GiB (ms; read)", median_of(check), floor, 1.5)
    report("apply 65,535 records over 1 GiB (ms; read)", median_of(apply), floor, 1.5)
    os.remove(dense)

    huge, huge_mod, huge_patch = pair("huge.exe", (2 << 30) - 1, random.sample(range((2 << 30) - 1), 1000), False)
    for name, steps, result in (
            ("make 2 GiB - 1", [("file", "original", huge), ("file", "modified", huge_mod), ("click", "make", None)],
             ("make-result", "The patch downloads")),
            ("apply 2 GiB - 1", [("file", "patch", huge_patch), ("file", "target", huge), ("click", "apply", None)],
             ("apply-result", "The patched file"))):
        driver.get("file://" + page)
        time.sleep(1)
        idle, peak, stop = renderers_rss(), [0], []

        def watch():
            while not stop:
                peak[0] = max(peak[0], renderers_rss())
                time.sleep(0.02)
        watcher = threading.Thread(target=watch)
        watcher.start()
        took = ui(steps, result)
        stop.append(True)
        watcher.join()
        report("memory above idle, %s (MiB; ms)" % name, (peak[0] - idle) / (1 << 20), took, 64, "MiB")
finally:
    driver.quit()
    shutil.rmtree(work)
print("%-44s %9s  %9s" % ("", "page", "floor"))
print("\n".join(lines))
print("%s: %d of %d goals missed" % ("PASS" if not misses else "MISS", misses, len(lines)))
