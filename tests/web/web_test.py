#!/usr/bin/python3
# The page in headless Chromium, from file://, against morvexc: each case takes
# steps as a user does and expects a text, exactly the downloads named, no
# fetch, no console fault, and no axe-core violation in the state it ends in.
# Then a patcher page is made, opened and used.
# Usage: web_test.py PAGE MORVEXC AXE_JS
import os, shutil, subprocess, sys, tempfile, time
from concurrent.futures import ThreadPoolExecutor
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


# Differences at both ends and on both sides of the worker's 4 MiB slices.
size = 9 << 20
original = bytearray(os.urandom(size))
modified = bytearray(original)
for offset in (0, (4 << 20) - 1, 4 << 20, 6 << 20, size - 1):
    modified[offset] ^= 0x5A
game, patched = write("game.exe", original), write("mod/game.exe", modified)
made, undo, out = str(work / "game.ov"), str(work / "game-undo.ov"), str(work / "out.exe")
cli("make", game, patched, made, "a comment é☃")
cli("apply", "--undo", undo, made, game, out)
# 65,535 records spread over a file, as dense as the check's large reads take them.
dense = bytearray(os.urandom(64 << 20))
dense_game, dense_patch = write("dense/game.exe", dense), str(work / "dense/game.ov")
for offset in range(0, len(dense) - 1024, len(dense) // 65535):
    dense[offset] ^= 0xFF
cli("make", dense_game, write("dense/mod.exe", dense), dense_patch)
# 1 GiB sparse pair: long enough a comparison to cancel.
for name in ("big/game.exe", "big/mod.exe"):
    write(name, b"")
    os.truncate(work / name, 1 << 30)
# An optional second patch for a patcher page, made over the first one's
# result; it puts one of the first one's bytes back, so that it must be judged
# against that result, not the chosen file.
both = bytearray(modified)
for offset in (100, 5 << 20):
    both[offset] ^= 0x33
both[0] = original[0]
optional, out2 = str(work / "extra.ov"), str(work / "out2.exe")
cli("make", patched, write("both/game.exe", both), optional)
cli("apply", "--any-name", optional, out, out2)
cyrillic = write("тест.exe", bytes(original))
cli("make", "--code-page", "1251", cyrillic, patched, str(work / "cyr.ov"))
odd = write("odd.ov", b"A\\B\x01.EXE".ljust(13, b"\0") + b"\0\0" + b"x\\y\x02")
last = lambda id: driver.find_element(By.ID, id).text.split("\n")[-1]
copy = lambda: shutil.copyfile(game, work / "copy/game.exe")
(work / "copy").mkdir()
# A name in code page 932 that its Shift_JIS stand-in lacks, made by morvexc.
kanji, kanji_new = write("jp/髙橋.exe", b"ab"), write("jp/new/髙橋.exe", b"aX")
kanji_patch = str(work / "jp/髙橋.ov")
cli("--code-page", "932", kanji, kanji_new, kanji_patch)
cli("check", "--code-page", "932", kanji_patch, kanji)

# Steps: (action, id, value); then the id whose text's last line starts with
# the expected text, and the downloads by name.
cases = [
    ([("file", "original", game), ("file", "modified", patched), ("type", "comment", "a comment é☃"),
      ("click", "make", None)], "make-result", "The patch downloads as game.ov", {"game.ov": made}),
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
     "apply-result", "The patched file downloads", {"game.exe": dense_game.replace("game.exe", "mod.exe")}),
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
    ([("select", "code-page", "932"), ("file", "original", kanji), ("file", "modified", kanji_new), ("click", "make", None)],
     "make-result", "The patch downloads as 髙橋.ov", {"髙橋.ov": kanji_patch}),
    ([("select", "apply-code-page", "932"), ("file", "patch", kanji_patch), ("file", "target", kanji)],
     "verdict", "Not applied: 1 byte will change.", {}),
]

options = webdriver.ChromeOptions()
options.binary_location = "/usr/bin/chromium"
for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
    options.add_argument(argument)
options.add_experimental_option("prefs", {"download.default_directory": str(downloads),
                                          "download.prompt_for_download": False,
                                          "profile.default_content_setting_values.automatic_downloads": 1})
driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
driver.set_script_timeout(60)


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


def run(action, id, value):
    element = driver.find_element(By.ID, id) if id and action != "focus" else None
    if action == "file":
        element.send_keys(value)
    elif action == "type":
        element.clear()
        element.send_keys(value)
    elif action == "select":
        driver.execute_script("arguments[0].value = arguments[1]", element, value)
    elif action == "click":
        wait(lambda: element.is_displayed() and element.is_enabled())
        element.click()
    elif action == "wait":
        wait(element.is_enabled)
    elif action == "dismiss":
        wait(lambda: alert_is_present()(driver))
        driver.switch_to.alert.dismiss()
    elif action == "copy":
        copy()
    elif action == "delete":
        os.remove(value)
    elif action == "write":
        time.sleep(0.05)
        Path(value).write_bytes(modified)
    elif action == "running":
        wait(element.is_displayed)
        return problems_of_state("running") + ([] if driver.switch_to.active_element.get_attribute("id") == "make-cancel"
                                                else ["focus not on Cancel while running"])
    elif action == "focus":
        wait(lambda: driver.switch_to.active_element.get_attribute("id") == id)
        return [] if driver.switch_to.active_element.get_attribute("id") == id else ["focus not back on " + id]
    elif action == "downloads":
        wait(lambda: element.text)
        time.sleep(1)
        return [] if len(got_downloads(0, 0)) == value else ["downloads %s after one click" % sorted(got_downloads(0, 0))]
    return []


def problems_of_state(state):
    driver.execute_script(Path(axe).read_text())
    found = driver.execute_async_script("axe.run({ resultTypes: ['violations'] }).then((r) => arguments[0](r.violations))")
    fetched = driver.execute_script("return performance.getEntriesByType('resource').map(e => e.name)")
    return (["axe (%s): %s %s" % (state, v["id"], [n["target"] for n in v["nodes"]]) for v in found]
            + ["fetched %s" % fetched] * bool(fetched)
            + ["console: " + entry["message"][:200] for entry in driver.get_log("browser")])


# A patcher page with both patches, the second optional, applied without and
# with it; its undo patch is morvexc's, or gives the chosen file back through it.
def patcher_problems():
    downloads.mkdir()
    driver.get("file://" + page)
    for step in (("file", "patcher-patches", made + "\n" + optional), ("click", "patcher-optional-2", None),
                 ("type", "patcher-title", "Fix"), ("type", "patcher-note", "Read me"), ("click", "patcher-make", None)):
        run(*step)
    made_page = got_downloads(1).get("Fix-patcher.html", b"")
    at = made_page.find(b'"bytes":"') + 30
    write("damaged.html", made_page[:at] + (b"B" if made_page[at:at + 1] != b"B" else b"C") + made_page[at + 1:])
    problems = []
    for name, steps, result, undone in (
            ("Fix-patcher.html", [], out, undo), ("Fix-patcher.html", [("click", "use-2", None)], out2, None),
            ("damaged.html", [], None, None)):
        shutil.rmtree(downloads)
        downloads.mkdir()
        driver.get("file://" + str(downloads.parent / name) if result is None else "file://" + write(name, made_page))
        wait(lambda: driver.find_element(By.ID, "verdict").text != "Checking the patches…")
        if result is None:
            problems += [] if last("verdict").startswith("This patcher page is damaged") else ["damaged page: " + last("verdict")]
            continue
        for step in steps + [("file", "target", game), ("click", "apply", None), ("downloads", "apply-result", 1),
                             ("click", "save-undo", None)]:
            problems += run(*step)
        got = got_downloads(2)
        back = write("back/game.exe", got.get("game.exe", b""))
        undone = undone or write("undo.ov", got.get("Fix-undo.ov", b""))
        if got.get("game.exe") != Path(result).read_bytes() or got.get("Fix-undo.ov") != Path(undone).read_bytes():
            problems.append("%s %s: downloads %s differ" % (name, steps, sorted(got)))
        elif cli("apply", undone, back) and Path(back).read_bytes() != original:
            problems.append("%s %s: the undo patch does not give the file back" % (name, steps))
        problems += problems_of_state("patcher")
    return problems


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
    && results.push(data.patch ? Array.from(data.patch) : data.lines.split("\\r\\n")[2].slice(9)) === jobs.length
    && done(results);
jobs.forEach(([codePage, comment, patch], id) => worker.postMessage(patch
    ? { id, kind: "judge", patches: [{ name: "p.ov", bytes: new Uint8Array(patch) }], target: null, codePage }
    : { id, kind: "make", original: file([0], "a"), modified: file([1], "a"), comment, codePage }));""", jobs)


def compare_code_pages():
    """Every character of every code page written by morvexc and by the page,
    and every cell shown back by both, against the engine's cells."""
    help_pages = [int(line.split()[0].split("-")[-1]) for line in subprocess.run(
        [morvexc, "--help"], capture_output=True, text=True).stdout.split("one of:\n")[-1].splitlines()]
    page_pages = [int(o.get_attribute("value")) for o in driver.find_elements(By.CSS_SELECTOR, "#apply-code-page option")]
    problems = ["%s offers %s" % (who, got) for who, got in (("morvexc", help_pages), ("the page", page_pages))
                if got != CODE_PAGES]
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


def check(name, problems):
    for problem in problems:
        print("FAIL %s: %s" % (name, problem))
    return not problems


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
    shutil.rmtree(downloads)
    ok = check("patcher page", patcher_problems())
    passed, failed = passed + ok, failed + (not ok)
    driver.get("file://" + page)
    ok = check("code pages", compare_code_pages())
    passed, failed = passed + ok, failed + (not ok)
finally:
    driver.quit()
    shutil.rmtree(work)
print("web: %d passed, %d failed" % (passed, failed))
sys.exit(failed > 0)
