// What the page and a patcher page share: a worker per section with its bar
// and Cancel, downloads, and Apply with the applier's questions.
const $ = (id) => document.getElementById(id);
const workerSource = URL.createObjectURL(new Blob([$("worker-source").textContent], { type: "text/javascript" }));
const lines = (text) => text.replaceAll("\r\n", "\n");
let requests = 0;

// A section's worker and the work it runs. Work that takes a moment shows the
// section's bar and Cancel, with the focus on Cancel, then gives the focus
// back to the control that started it.
function workArea(prefix) {
    const area = { prefix, worker: null, jobs: [], waiting: new Map(), from: null, timer: 0 };
    $(prefix + "-cancel").addEventListener("click", () => cancel(area));
    workAreas.push(area);
    return area;
}

function cancel(area) {
    if (area.jobs.length)
        area.worker.postMessage({ cancel: area.jobs[0] });
}

function showRunning(area, running) {
    const block = $(area.prefix + "-running"), button = $(area.prefix + "-cancel");
    clearTimeout(area.timer);
    if (running) {
        area.timer = setTimeout(() => {
            block.hidden = false;
            // Only from where the work started: the user may be busy elsewhere.
            if (document.activeElement === area.from || document.activeElement === document.body)
                button.focus();
        }, 200);
        return;
    }
    const hadFocus = document.activeElement === button || document.activeElement === document.body;
    block.hidden = true;
    $(area.prefix + "-progress").value = 0;
    if (hadFocus && area.from)
        area.from.focus();
}

// Ends the section's worker once it is idle, and with it all it holds: a
// patched file that a download has taken is the browser's own by then. The
// next request starts another.
function retire(area) {
    area.retiring = area.jobs.length > 0;
    if (area.retiring || !area.worker)
        return;
    area.worker.terminate();
    area.worker = null;
    judgement = null;
}

// Sends one request to the section's worker; resolves with its answer.
function ask(area, request, from) {
    if (!area.worker) {
        area.worker = new Worker(workerSource);
        area.worker.onmessage = ({ data }) => {
            if (data.done)
                area.waiting.get(data.done)(data);
            else if (data.of === area.jobs[0])
                $(area.prefix + "-progress").value = data.progress;
        };
        // A worker whose script does not run answers nothing.
        area.worker.onerror = (event) => {
            event.preventDefault();
            area.broken && area.broken();
        };
    }
    const id = ++requests;
    area.jobs.push(id);
    if (area.jobs.length === 1) {
        area.from = from;
        showRunning(area, true);
    }
    return new Promise((resolve) => {
        area.waiting.set(id, (answer) => {
            area.waiting.delete(id);
            area.jobs.shift();
            if (!area.jobs.length) {
                showRunning(area, false);
                if (area.retiring)
                    retire(area);
            }
            resolve(answer);
        });
        area.worker.postMessage({ id, ...request });
    });
}

// Escape cancels the work of the section the focus is in, else all work.
const workAreas = [];
document.addEventListener("keydown", (event) => {
    if (event.key !== "Escape")
        return;
    const section = document.activeElement.closest("section");
    for (const area of workAreas)
        if (!section || section.contains($(area.prefix + "-cancel")))
            cancel(area);
});

// A file's size is taken when it is chosen, so that one deleted or changed
// afterwards cannot be read rather than look empty.
document.addEventListener("change", ({ target }) => [...(target.files || [])].forEach((file) => file.size), true);

// A dropped file opens nowhere but in a field that takes it.
for (const kind of ["dragover", "drop"])
    document.addEventListener(kind, (event) => {
        if (!(event.target instanceof HTMLInputElement && event.target.type === "file"))
            event.preventDefault();
    });

// A name as a download is saved under it: characters no system takes in a
// name, controls and invisible format characters become "_".
const safeName = (title) => title.replace(/[\p{Cc}\p{Cf}\p{Zl}\p{Zp}<>:"/\\|?*]/gu, "_").replace(/^[. ]+|[. ]+$/g, "");

const withNumber = (name) => name.replace(/(\.[^.]*)?$/, " (1)$1");

// Downloads one file; the page cannot know where it lands, so it says what to look for.
function download(bytes, name, what) {
    name = safeName(name);
    const link = document.createElement("a"), own = typeof bytes !== "string";
    link.href = own ? URL.createObjectURL(bytes instanceof Blob ? bytes : new Blob([bytes], { type: "application/octet-stream" }))
        : bytes;
    link.download = name;
    link.click();
    // The download holds the file once it starts; the page lets go soon after.
    if (own)
        setTimeout(() => URL.revokeObjectURL(link.href), 5000);
    return `${what} downloads as ${name}: look for it in the browser's downloads (as ${withNumber(name)} if that name was taken).`;
}

const CRC_TABLE = Array.from({ length: 256 }, (_, n) => {
    for (let k = 0; k < 8; k++)
        n = n & 1 ? 0xEDB88320 ^ (n >>> 1) : n >>> 1;
    return n >>> 0;
});

// CRC-32, which a patcher page checks its patches against.
function crc32(bytes) {
    let crc = 0xFFFFFFFF;
    for (const byte of bytes)
        crc = CRC_TABLE[(crc ^ byte) & 0xFF] ^ (crc >>> 8);
    return (crc ^ 0xFFFFFFFF) >>> 0;
}

// The verdict box: its lines, a name warning marked as one.
function showVerdict(text) {
    const box = $("verdict");
    box.replaceChildren();
    for (const line of lines(text).split("\n")) {
        const element = document.createElement(line.startsWith("Warning:") ? "strong" : "span");
        element.textContent = line;
        box.append(element, "\n");
    }
}

let undo = null, judgement = null;

function clearResult() {
    $("apply-result").textContent = "";
    $("save-undo").hidden = true;
    undo = null;
}

// How a page shows a judgement; a patcher page says it in a player's words.
let sayVerdict = (answer) => showVerdict(answer.problem || answer.lines);

// Judges `request` ({ patches, target, codePage, undoFor }) and shows the
// judgement, which Apply then goes by.
async function judgeInto(area, request, from) {
    judgement = null;
    const answer = await ask(area, { kind: "judge", ...request }, from);
    if (answer.cancelled) {
        $("apply-result").textContent = CANCELLED_LINE;
        return null;
    }
    sayVerdict(answer);
    $("apply").disabled = !answer.canApply;
    judgement = answer;
    return answer;
}

// Apply writes the chosen file in place where the page holds a handle to it
// and may write it. Otherwise it judges the file afresh, asks the applier's
// questions and downloads the patched file: one click, one download; the
// undo patch waits for save-undo.
async function applyPatches(area, request, undoFor, patchNames) {
    clearResult();
    if (target && target.handle && !judgement && !(await judgeInto(area, request, $("apply"))))
        return;
    if (target && target.handle && judgement && judgement.canApply) {
        const said = await applyInPlace(area, judgement, { undoFor, patchNames });
        if (said !== null) {
            $("apply-result").textContent = said;
            await judgeInto(area, { ...request, target: target.file, undoFor }, $("apply"));
            return;
        }
    }
    const fresh = await judgeInto(area, { ...request, undoFor, build: true }, $("apply"));
    if (!fresh)
        return;
    if (!fresh.canApply) {
        $("apply-result").textContent = fresh.problem || fresh.reason || "";
        return;
    }
    for (const question of fresh.questions)
        if (!confirm(question)) {
            $("apply-result").textContent = "Not applied.";
            return;
        }
    const answer = await ask(area, { kind: "apply", keepUndo: $("keep-undo").checked, undoFor, patchNames }, $("apply"));
    if (answer.cancelled || answer.problem) {
        $("apply-result").textContent = answer.problem || CANCELLED_LINE;
        return;
    }
    const name = request.target.name;
    download(answer.file, name, "");
    setTimeout(() => retire(area), 5000);
    $("apply-result").textContent = [`Your patched ${safeName(name)} is in your downloads. Put it in place of the `
                                      + `${shownName(name)} you chose.`, answer.undoProblem || ""].join("\n").trim();
    if (answer.undo) {
        undo = { bytes: answer.undo, name: answer.undoName };
        $("save-undo").hidden = false;
    }
}

$("save-undo").addEventListener("click", () => {
    if (undo)
        $("apply-result").textContent += "\n" + download(undo.bytes, undo.name, "The undo patch");
});
