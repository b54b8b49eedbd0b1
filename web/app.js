// The page: hands the chosen files to the worker and shows its answers.
const $ = (id) => document.getElementById(id);
const workerSource = URL.createObjectURL(new Blob([$("worker-source").textContent], { type: "text/javascript" }));
let worker = null;
let checkNumber = 0;

let requests = 0;
const waiting = new Map();

// Sends one request; resolves with the worker's answer. Progress goes to the bar.
function ask(request) {
    if (!worker) {
        worker = new Worker(workerSource);
        worker.onmessage = ({ data }) => {
            if (!data.done) {
                $("progress").value = data.progress;
                return;
            }
            waiting.get(data.done)(data);
            waiting.delete(data.done);
        };
    }
    return new Promise((resolve) => {
        waiting.set(++requests, resolve);
        worker.postMessage({ id: requests, ...request });
    });
}

function download(bytes, name) {
    const link = document.createElement("a");
    link.href = URL.createObjectURL(bytes instanceof Blob ? bytes : new Blob([bytes]));
    link.download = name;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

const codePage = () => Number($("code-page").value);
const lines = (text) => text.replaceAll("\r\n", "\n");

$("original").addEventListener("change", () => {
    const file = $("original").files[0];
    if (!file)
        return;
    const dot = file.name.lastIndexOf(".");
    $("patch-name").value = (dot > 0 ? file.name.slice(0, dot) : file.name) + ".ov";
});

function showRunning(running) {
    $("running").hidden = !running;
    $("make").disabled = running;
    $("progress").value = 0;
}

$("make").addEventListener("click", async () => {
    $("make-result").textContent = "";
    showRunning(true);
    const answer = await ask({ kind: "make", original: $("original").files[0], modified: $("modified").files[0],
                               comment: $("comment").value, codePage: codePage() });
    showRunning(false);
    if (answer.cancelled)
        return;
    if (answer.patch)
        download(answer.patch, $("patch-name").value || "patch.ov");
    $("make-result").textContent = answer.problem || answer.text;
});

// Cancel ends the worker; its comparison stops and nothing downloads.
$("cancel").addEventListener("click", () => {
    worker.terminate();
    worker = null;
    for (const resolve of waiting.values())
        resolve({ cancelled: true });
    waiting.clear();
    showRunning(false);
});

let verdict = null;

async function refreshVerdict() {
    const patch = $("patch").files[0], target = $("target").files[0];
    const number = ++checkNumber;
    $("apply").disabled = true;
    $("apply-result").textContent = "";
    if (!patch) {
        $("verdict").textContent = "";
        return;
    }
    const answer = await ask({ kind: "check", patch, target, codePage: codePage() });
    if (number !== checkNumber || answer.cancelled)
        return;
    verdict = answer;
    $("verdict").textContent = lines(answer.problem || answer.verdict);
    $("apply").disabled = !(answer.state === 0 || answer.state === 2);
}

for (const id of ["patch", "target", "code-page"])
    $(id).addEventListener("change", refreshVerdict);

// The applier's questions come first, as confirm dialogs.
$("apply").addEventListener("click", async () => {
    if (verdict.nameQuestion && !confirm(verdict.nameQuestion))
        return;
    if (verdict.state === 2 && !confirm(verdict.partlyQuestion))
        return;
    const patch = $("patch").files[0], target = $("target").files[0];
    const answer = await ask({ kind: "apply", patch, target, patchName: patch.name, keepUndo: $("keep-undo").checked,
                               codePage: codePage() });
    if (answer.file) {
        download(answer.file, target.name);
        if (answer.undo)
            download(answer.undo, answer.undoName);
    }
    $("apply-result").textContent = lines(answer.problem || answer.text);
});
