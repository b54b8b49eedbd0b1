# Every code page through the page's own worker against morvexc and the
# engine's cells.
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

from selenium.webdriver.common.by import By

from session import driver, morvexc, work, write

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "engine" / "format"))
from make_code_pages import PAGES, tables  # noqa: E402  the engine's one list and its generator

CODE_PAGES = [number for number, _, _ in PAGES]


def cells(number):
    """Python's characters of the code page, and the cells the engine reads
    (bytes to character), as the generator writes them."""
    codec = next(codec for page, codec, _ in PAGES if page == number)
    python = {c for d in (bytes([lead, *trail]) for lead in range(0x80, 0x100)
                          for trail in [(), *zip(range(0x40, 0x100))])
              for c in [d.decode(codec, "replace")] if len(c) == 1 and c != "\ufffd"}
    singles, leads, (first, last), doubles, _ = tables(number, codec)
    table = {bytes([0x80 + n]): c for n, c in enumerate(singles) if c is not None}
    pairs = [(lead, trail) for low, high in leads for lead in range(low, high + 1) for trail in range(first, last + 1)]
    table.update({bytes(pair): c for pair, c in zip(pairs, doubles) if c is not None})
    return sorted(python), table


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
