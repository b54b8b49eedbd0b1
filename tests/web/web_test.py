#!/usr/bin/python3
# The page in headless Chromium, from file://, against morvexc: each case
# chooses files, presses a button or none, and expects a text and exactly the
# downloads named. No case may make the page fetch anything or log a fault.
# Usage: web_test.py PAGE MORVEXC
import os, shutil, subprocess, sys, tempfile, time
from concurrent.futures import ThreadPoolExecutor
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
# A name in code page 932 that its Shift_JIS stand-in lacks, made by morvexc.
kanji, kanji_new = write("jp/髙橋.exe", b"ab"), write("jp/new/髙橋.exe", b"aX")
kanji_patch = os.path.join(work, "cli/髙橋.ov")
subprocess.run([morvexc, "--code-page", "932", kanji, kanji_new, kanji_patch], check=True, stdout=subprocess.DEVNULL)
subprocess.run([morvexc, "check", "--code-page", "932", kanji_patch, kanji], check=True, stdout=subprocess.DEVNULL)

# id: path or text to enter, button to press, id and last line of its text, downloads.
cases = [
    ({"original": game, "modified": patched, "comment": "a comment é☃"}, "make", "make-result", "Patch Complete!",
     {"game.ov": Path(made).read_bytes()}),
    ({"original": game, "modified": short}, "make", "make-result", "Files don't appear to be the same size!", {}),
    ({"patch": made, "target": game}, "apply", "apply-result", "Undo patch: game-undo.ov",
     {"game.exe": bytes(modified), "game-undo.ov": Path(work, "cli/game-undo.ov").read_bytes()}),
    ({"patch": made, "target": patched}, None, "verdict", "Already applied: nothing to do.", {}),
    ({"patch": not_patch}, None, "verdict", "Not a patch: ", {}),
    ({"original": kanji, "modified": kanji_new, "code-page": "932"}, "make", "make-result", "Patch Complete!",
     {"髙橋.ov": Path(kanji_patch).read_bytes()}),
    ({"patch": kanji_patch, "target": kanji, "code-page": "932"}, None, "verdict", "Not applied: 1 byte will change.",
     {}),
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


CODE_PAGES = [874, 932, 936, 949, 950, *range(1250, 1259), 20127, 28591]


def cells(number):
    """Python's characters of the code page, and the engine's cells: Python's
    codec but where Windows' tables differ from it."""
    codec = {20127: "ascii", 28591: "latin-1"}.get(number, "cp%d" % number)
    python = {d: c for d in (bytes([lead, *trail]) for lead in range(0x80, 0x100)
                             for trail in [(), *zip(range(0x40, 0x100))])
              for c in [d.decode(codec, "replace")] if len(c) == 1 and c != "\ufffd"}
    windows = {d: c for d, c in python.items() if number != 950 or not b"\xc6\xa1" <= d <= b"\xc7\xfc"}
    return sorted(set(python.values())), {**windows, **({b"\x80": "\u20ac"} if number == 936 else {})}


def shown(text):
    return "".join("\\x%02X" % ord(c) if ord(c) < 0x20 or 0x7F <= ord(c) <= 0x9F or c == "\\" else c for c in text)


def page_worker(jobs):
    """The page's own worker, answering a make (the patch of a comment) or a check (the comment shown) for each job."""
    return jobs and driver.execute_async_script("""
const [jobs, done] = arguments, results = [];
const worker = new Worker(URL.createObjectURL(new Blob([document.getElementById("worker-source").textContent])));
const file = (bytes, name) => new File([new Uint8Array(bytes)], name);
worker.onmessage = ({ data }) => data.done !== undefined
    && results.push(data.patch ? Array.from(data.patch) : data.verdict.split("\\r\\n")[2].slice(9)) === jobs.length
    && done(results);
jobs.forEach(([codePage, comment, patch], id) => worker.postMessage(patch
    ? { id, kind: "check", patch: file(patch, "p.ov"), codePage }
    : { id, kind: "make", original: file([0], "a"), modified: file([1], "a"), comment, codePage }));""", jobs)


def compare_code_pages():
    """Every character of every code page written by morvexc and by the page,
    and every cell shown back by both, against the engine's cells."""
    help_pages = [int(line.split()[0].split("-")[-1]) for line in subprocess.run(
        [morvexc, "--help"], capture_output=True, text=True).stdout.split("one of:\n")[-1].splitlines()]
    problems = [] if help_pages == CODE_PAGES else ["morvexc offers %s" % help_pages]
    write("a", b"\0"), write("b", b"\1")

    def made(job):  # code page, patch and comment
        subprocess.run([morvexc, "--code-page", str(job[0]), "a", "b", job[1], "--", job[2]], cwd=work,
                       stdout=subprocess.DEVNULL)
        return list(Path(work, job[1]).read_bytes())
    for number in CODE_PAGES:
        chars, table = cells(number)
        chunks = ["".join(chars[i:i + 127]) for i in range(0, len(chars), 127)]
        with ThreadPoolExecutor(2) as pool:
            native = list(pool.map(made, [(number, "%d.ov" % i, chunk) for i, chunk in enumerate(chunks)]))
        if page_worker([[number, chunk, None] for chunk in chunks]) != native:
            problems.append("%d: the page's patches differ from morvexc's" % number)
        # Read back by the page, whose reading of every cell is compared below.
        known = set(table.values())
        if page_worker([[number, None, patch] for patch in native]) != [
                shown("".join(c if c in known else "?" for c in chunk)) for chunk in chunks]:
            problems.append("%d: morvexc's patches read back otherwise in the page" % number)
        # Every byte, its pairs where it leads them, shown back in pieces of at most 1,000 bytes.
        leads = {d[0] for d in table if len(d) == 2}
        items = sorted({bytes([b]) for b in range(1, 0x100) if b not in leads} | {d for d in table if len(d) == 2})
        text = shown("".join(table.get(d, chr(d[0]) if d[0] < 0x80 else "?") for d in items))
        pieces = [b"".join(items[i:i + 500]) for i in range(0, len(items), 500)]
        Path(work, "all.ov").write_bytes(b"A" + bytes(14) + b"".join(pieces))
        shell = subprocess.run([morvexc, "show", "--code-page", str(number), "all.ov"], cwd=work, capture_output=True,
                               text=True).stdout.split("\n")[2][9:]
        page = "".join(page_worker([[number, None, list(b"A" + bytes(14) + p)] for p in pieces]))
        problems += ["%d: %s shows its cells otherwise" % (number, who)
                     for who, got in (("morvexc", shell), ("the page", page)) if got != text]
    return problems


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
    for problem in compare_code_pages():
        print("FAIL code pages: " + problem)
        failures += 1
finally:
    driver.quit()
    shutil.rmtree(work)
print("web: %d failures in %d cases and the code pages" % (failures, len(cases)))
sys.exit(failures > 0)
