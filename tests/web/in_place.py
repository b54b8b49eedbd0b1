# Apply in place through a handle. Headless Chromium opens no picker, and an
# origin-private file has no storage from file://, so the page is served from
# 127.0.0.1 by the test and its own function for a picked or dropped file is
# handed an origin-private file's handle. The save picker answers with another
# such file.
import functools, hashlib, http.server, shutil, threading
from pathlib import Path

from selenium.webdriver.common.by import By

from session import driver, game, made, out, page, problems_of_state, run, text, undo, wait, work

served = work / "served"
served.mkdir()
shutil.copyfile(page, served / "index.html")
handler = type("Quiet", (http.server.SimpleHTTPRequestHandler,), {"log_message": lambda *_: None})
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(handler, directory=str(served)))
threading.Thread(target=server.serve_forever, daemon=True).start()
url = "http://127.0.0.1:%d/" % server.server_address[1]

# The page's worker starts with a hook on the file's writer: `mode` may press
# Cancel once writing starts ("cancel"), or fail the third write ("fail").
HOOKED_WORKER = """{
const RealWorker = Worker, hook = `
const realCreate = FileSystemFileHandle.prototype.createWritable;
FileSystemFileHandle.prototype.createWritable = async function (options) {
    const writable = await realCreate.call(this, options), getWriter = writable.getWriter.bind(writable);
    if (this.name === "game.exe" && MODE === "cancel")
        await new Promise((resolve) => setTimeout(resolve, 500, postMessage({ test: "cancel" })));
    writable.getWriter = () => {
        let n = 0, writer = getWriter(), write = writer.write.bind(writer);
        writer.write = (chunk) => MODE === "fail" && this.name === "game.exe" && ++n === 3
            ? Promise.reject(new DOMException("There is no space left on the disk", "QuotaExceededError"))
            : write(chunk);
        return writer;
    };
    return writable;
};`;
window.Worker = function () {
    const source = [`const MODE = "@MODE@";`, hook, document.getElementById("worker-source").textContent];
    const worker = new RealWorker(URL.createObjectURL(new Blob(source)));
    worker.addEventListener("message", ({ data }) => data.test && document.getElementById("apply-cancel").click());
    return worker;
};
}"""

# Copies the file in #test-file to the origin's private folder and hands its
# handle to the page.
TAKE = """
const [done] = arguments, input = document.getElementById("test-file");
(async () => {
    const folder = await navigator.storage.getDirectory();
    for await (const old of folder.keys())
        await folder.removeEntry(old);
    const handle = await folder.getFileHandle("game.exe", { create: true }), copy = await handle.createWritable();
    await copy.write(input.files[0]);
    await copy.close();
    input.remove();
    window.showSaveFilePicker = async (options) => folder.getFileHandle(options.suggestedName, { create: true });
    await takeTarget(handle);
    done(true);
})();"""

# The private folder's files by SHA-256.
FILES = """
const [done] = arguments, files = {};
(async () => {
    for await (const [name, handle] of (await navigator.storage.getDirectory()).entries()) {
        const digest = await crypto.subtle.digest("SHA-256", await (await handle.getFile()).arrayBuffer());
        files[name] = Array.from(new Uint8Array(digest), (b) => b.toString(16).padStart(2, "0")).join("");
    }
    done(files);
})();"""


def in_place(page_name, mode, expected, files):
    hooked = driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                    {"source": HOOKED_WORKER.replace("@MODE@", mode)})
    driver.get(url + page_name)
    driver.execute_cdp_cmd("Page.removeScriptToEvaluateOnNewDocument", hooked)
    if page_name == "index.html":
        run("file", "patch", made)
    driver.execute_script("const i = document.createElement('input'); i.type = 'file'; i.id = 'test-file';"
                          "document.body.append(i)")
    driver.find_element(By.ID, "test-file").send_keys(game)
    driver.execute_async_script(TAKE)
    run("click", "apply")
    wait(lambda: text("apply-result") == expected, 120)
    problems = [] if text("apply-result") == expected else ["text %r, want %r" % (text("apply-result"), expected)]
    got = driver.execute_async_script(FILES)
    want = {name: hashlib.sha256(Path(path).read_bytes()).hexdigest() for name, path in files.items()}
    return problems + ["files %s, want %s" % (sorted(got), sorted(want))] * (got != want) + problems_of_state(mode)


def in_place_rows():
    shutil.copyfile(work / "Five-patcher.html", served / "Five-patcher.html")
    rows = [
        ("undo patch saved", "index.html", "save", "game.exe is patched. The undo patch is saved as game-undo.ov.",
         {"game.exe": out, "game-undo.ov": undo}),
        ("Cancel on a patcher page", "Five-patcher.html", "cancel", "Cancelled. Nothing was changed.",
         {"game.exe": game}),
        ("a failed write", "index.html", "fail",
         "game.exe could not be written: There is no space left on the disk. Nothing was changed.", {"game.exe": game}),
    ]
    return [("in place: " + name, in_place(*row)) for name, *row in rows]
