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
            if (!area.jobs.length)
                showRunning(area, false);
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

// The title as a file name: characters no system takes in one become "_".
const safeName = (title) => title.replace(/[\u0000-\u001f\u007f<>:"/\\|?*]/g, "_").replace(/^[. ]+|[. ]+$/g, "");

const withNumber = (name) => name.replace(/(\.[^.]*)?$/, " (1)$1");

// Downloads one file; the page cannot know where it lands, so it says what to look for.
function download(bytes, name, what) {
    const link = document.createElement("a");
    link.href = URL.createObjectURL(bytes instanceof Blob ? bytes : new Blob([bytes], { type: "application/octet-stream" }));
    link.download = name;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
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

let undo = null;

function clearResult() {
    $("apply-result").textContent = "";
    $("save-undo").hidden = true;
    undo = null;
}

// Judges `request` ({ patches, target, codePage }) and shows the judgement.
async function judgeInto(area, request, from) {
    const answer = await ask(area, { kind: "judge", ...request }, from);
    if (answer.cancelled)
        return null;
    showVerdict(answer.problem || answer.lines);
    $("apply").disabled = !answer.canApply;
    return answer;
}

// Apply judges the file afresh, asks the applier's questions, and downloads
// the patched file: one click, one download. The undo patch waits for save-undo.
async function applyPatches(area, request, undoFor, patchNames) {
    clearResult();
    const judgement = await judgeInto(area, { ...request, build: true }, $("apply"));
    if (!judgement)
        return;
    if (!judgement.canApply) {
        $("apply-result").textContent = judgement.problem || judgement.reason || "";
        return;
    }
    for (const question of judgement.questions)
        if (!confirm(question)) {
            $("apply-result").textContent = "Not applied.";
            return;
        }
    const answer = await ask(area, { kind: "apply", keepUndo: $("keep-undo").checked, undoFor, patchNames }, $("apply"));
    if (answer.cancelled)
        return;
    if (answer.problem) {
        $("apply-result").textContent = answer.problem;
        return;
    }
    const said = download(answer.file, request.target.name, "The patched file");
    $("apply-result").textContent = [lines(answer.text), said, answer.undoProblem || ""].join("\n").trim();
    if (answer.undo) {
        undo = { bytes: answer.undo, name: answer.undoName };
        $("save-undo").hidden = false;
    }
}

$("save-undo").addEventListener("click", () => {
    if (undo)
        $("apply-result").textContent += "\n" + download(undo.bytes, undo.name, "The undo patch");
});
