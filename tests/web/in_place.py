# Apply in place through a handle. Headless Chromium opens no picker, and an
# origin-private file has no storage from file://, so the page is served from
# 127.0.0.1 by the test and its own function for a picked or dropped file is
# handed an origin-private file's handle. The save picker cancels by itself
# there; a row that saves the undo patch answers it with another such file.
import base64, functools, hashlib, http.server, shutil, threading
from pathlib import Path

from selenium.webdriver.common.by import By

from session import (cli, dense_game, dense_patch, driver, game, made, out, page, problems_of_state, run, undo, wait,
                     work)

served = work / "served"
served.mkdir()
shutil.copyfile(page, served / "index.html")
handler = type("Quiet", (http.server.SimpleHTTPRequestHandler,), {"log_message": lambda *_: None})
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(handler, directory=str(served)))
threading.Thread(target=server.serve_forever, daemon=True).start()
url = "http://127.0.0.1:%d/" % server.server_address[1]
dense_out, dense_undo = str(work / "dense/out.exe"), str(work / "dense/undo.ov")
cli("apply", "--undo", dense_undo, dense_patch, dense_game, dense_out)

# Copies the file in #test-file to the origin's private folder and hands its
# handle to the page; `mode` answers the save picker ("save", or "self" with
# the file itself), presses Cancel
# once writing starts ("cancel"), or fails the third write ("fail").
TAKE = """
const [name, mode, done] = arguments, input = document.getElementById("test-file");
(async () => {
    const folder = await navigator.storage.getDirectory();
    for await (const old of folder.keys())
        await folder.removeEntry(old);
    const handle = await folder.getFileHandle(name, { create: true }), copy = await handle.createWritable();
    await copy.write(input.files[0]);
    await copy.close();
    input.remove();
    if (mode.includes("self"))
        window.showSaveFilePicker = async () => handle;
    if (mode.includes("save"))
        window.showSaveFilePicker = async (options) => (window.startedIn = options.startIn === handle,
            folder.getFileHandle(options.suggestedName, { create: true }));
    const real = handle.createWritable.bind(handle);
    handle.createWritable = async (options) => {
        const writable = await real(options), getWriter = writable.getWriter.bind(writable);
        if (mode.includes("cancel"))
            document.getElementById("apply-cancel").click();
        writable.getWriter = () => {
            const writer = getWriter(), write = writer.write.bind(writer);
            let n = 0;
            writer.write = (chunk) => mode.includes("fail") && ++n === 3
                ? Promise.reject(new DOMException("There is no space left on the disk", "QuotaExceededError"))
                : write(chunk);
            return writer;
        };
        return writable;
    };
    await takeTarget(handle);
    done(true);
})();"""

# The private folder's files: small ones whole, large ones by SHA-256.
FILES = """
const [done] = arguments;
(async () => {
    const files = {};
    for await (const [name, handle] of (await navigator.storage.getDirectory()).entries()) {
        const bytes = new Uint8Array(await (await handle.getFile()).arrayBuffer());
        files[name] = bytes.length < 1 << 20 ? "=" + btoa(Array.from(bytes, (b) => String.fromCharCode(b)).join(""))
            : Array.from(new Uint8Array(await crypto.subtle.digest("SHA-256", bytes)), (b) => b.toString(16).padStart(2, "0")).join("");
    }
    done(files);
})();"""


def seen(path):
    data = Path(path).read_bytes()
    return "=" + base64.b64encode(data).decode() if len(data) < 1 << 20 else hashlib.sha256(data).hexdigest()


def in_place(page_name, steps, target, mode, answers, expected, files):
    driver.get(url + page_name)
    problems = sum((run(*step) for step in steps), [])
    driver.execute_script("const i = document.createElement('input'); i.type = 'file'; i.id = 'test-file';"
                          "document.body.append(i)")
    driver.find_element(By.ID, "test-file").send_keys(target)
    driver.execute_async_script(TAKE, "game.exe", mode)
    problems += run("click", "apply", None) + sum((run(answer, None, None) for answer in answers), [])
    result = lambda: driver.find_element(By.ID, "apply-result").text
    wait(lambda: result() == expected, 120)
    problems += [] if result() == expected else ["text %r, want %r" % (result(), expected)]
    got, want = driver.execute_async_script(FILES), {name: seen(path) for name, path in files.items()}
    if got != want:
        problems.append("files %s, want %s" % (sorted(got), sorted(want)))
    if "save" in mode and not driver.execute_script("return window.startedIn"):
        problems.append("the save picker does not start in the file's folder")
    return problems + problems_of_state("in place")


def in_place_rows(five_page, five_out):
    (served / "Five-patcher.html").write_bytes(five_page)
    patched, unchanged = "game.exe is patched.", "Cancelled. Nothing was changed."
    saved = patched + " The undo patch is saved as game-undo.ov."
    patch = [("file", "patch", made)]
    rows = [
        ("undo patch saved", "index.html", patch, game, "save", [], saved, {"game.exe": out, "game-undo.ov": undo}),
        ("no undo patch, No", "index.html", patch, game, "", ["dismiss"], unchanged, {"game.exe": game}),
        ("no undo patch, Yes", "index.html", patch, game, "", ["accept"], patched, {"game.exe": out}),
        ("Cancel", "index.html", patch, game, "save cancel", [], unchanged, {"game.exe": game}),
        ("the undo patch over the file", "index.html", patch, game, "self", [],
         "The undo patch cannot be saved as game.exe, the file it undoes. " + unchanged, {"game.exe": game}),
        ("a failed write", "index.html", patch, game, "save fail", [],
         "game.exe could not be written: There is no space left on the disk. Nothing was changed.", {"game.exe": game}),
        ("65,535 records", "index.html", [("file", "patch", dense_patch)], dense_game, "save", [], saved,
         {"game.exe": dense_out, "game-undo.ov": dense_undo}),
        ("five patches", "Five-patcher.html", [("wait", "choose-target", None)], game, "", ["accept"], patched,
         {"game.exe": five_out}),
    ]
    return (("in place: " + name, in_place(*row)) for name, *row in rows)
