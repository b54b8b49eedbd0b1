// The file to patch. Where the browser has File System Access, it is chosen
// through the system's picker or dropped, and the page holds a handle to the
// player's file and writes it in place; elsewhere it comes from the file
// field, as a copy, and the patched file downloads.
const canWrite = typeof showOpenFilePicker === "function" && typeof showSaveFilePicker === "function"
    && typeof DataTransferItem === "function" && "getAsFileSystemHandle" in DataTransferItem.prototype;
const CANCELLED_LINE = "Cancelled. Nothing was changed.";
let target = null, onTarget = () => {};
const targetFile = () => (target ? target.file : undefined);

// A name as the player reads it: control and invisible format characters
// (a right-to-left override among them) escaped, never shown raw.
const shownName = (name) => name.replace(/[\p{Cc}\p{Cf}\p{Zl}\p{Zp}]/gu,
    (c) => "\\u" + c.codePointAt(0).toString(16).toUpperCase().padStart(4, "0"));

function setTarget(chosen) {
    target = chosen;
    $("target-name").textContent = chosen ? shownName(chosen.file.name) : "No file chosen";
    onTarget($(canWrite ? "choose-target" : "target"));
}

// Takes the file to patch from a handle, picked or dropped: the one way in
// for a file the page may write.
async function takeTarget(handle) {
    if (handle.kind !== "file")
        return;
    const file = await handle.getFile();
    setTarget({ file, handle });
}
window.takeTarget = takeTarget;

$("target").hidden = canWrite;
$("target-picker").hidden = !canWrite;
$("target").addEventListener("change", () => {
    const file = $("target").files[0];
    setTarget(file ? { file, handle: null } : null);
});
$("choose-target").addEventListener("click", async () => {
    let handles;
    try {
        handles = await showOpenFilePicker();
    } catch {
        return;
    }
    await takeTarget(handles[0]);
});

// A file dropped on the section is the file to patch (a field takes its own).
$("target").closest("section").addEventListener("drop", (event) => {
    if (event.target instanceof HTMLInputElement && event.target.type === "file")
        return;
    const item = [...event.dataTransfer.items].find((entry) => entry.kind === "file");
    if (!item)
        return;
    event.preventDefault();
    // Both now: the items are gone after the event. Without a handle, a copy.
    const file = item.getAsFile();
    if (canWrite) {
        item.getAsFileSystemHandle().then((handle) => (handle ? takeTarget(handle) : setTarget({ file, handle })));
        return;
    }
    const transfer = new DataTransfer();
    transfer.items.add(file);
    $("target").files = transfer.files;
    $("target").dispatchEvent(new Event("change"));
});

// Leave to write the file: the browser asks the player once.
async function mayWrite(handle) {
    try {
        const mode = { mode: "readwrite" };
        return (await handle.queryPermission(mode)) === "granted" || (await handle.requestPermission(mode)) === "granted";
    } catch {
        return false;
    }
}

// Where the undo patch goes: the save picker, in the file's own folder under
// the default name. A player who cancels it is asked once more; null then
// means without one, undefined not at all.
async function undoPlace(handle, name) {
    try {
        return await showSaveFilePicker({ startIn: handle, suggestedName: name });
    } catch {
        return confirm("Apply without an undo patch?") ? null : undefined;
    }
}

// The picker makes the file it names: one left empty by an apply that did
// not happen goes again. One that held something before is left as it was.
async function dropEmpty(handle) {
    try {
        if (handle && !(await handle.getFile()).size)
            await handle.remove();
    } catch {
        // Nothing more to do: the name stays, empty.
    }
}

const STOP = Symbol("stop");

// Apply with a handle: leave to write, the undo patch's place, the
// applier's questions, then the file written in place. Without leave, the
// download path. Resolves with the line to show.
async function applyInPlace(area, judgement, request) {
    const chosen = target;
    if (!(await mayWrite(chosen.handle)))
        return null;
    let undoHandle = null;
    if ($("keep-undo").checked && (undoHandle = await undoPlace(chosen.handle, judgement.undoName)) === undefined)
        return CANCELLED_LINE;
    const name = shownName(chosen.file.name);
    const unwritten = (reason) => `${name} could not be written: ${reason}. Nothing was changed.`;
    // Saved over the file itself, the undo patch would be lost to the patched file.
    if (undoHandle && await undoHandle.isSameEntry(chosen.handle))
        return `The undo patch cannot be saved as ${name}, the file it undoes. ${CANCELLED_LINE}`;
    try {
        for (const question of judgement.questions)
            if (!confirm(question))
                throw "Not applied.";
        // The worker writes the file: its heap already holds what the judgement read.
        const answer = await ask(area, { kind: "apply", keepUndo: !!undoHandle, ...request,
                                         inPlace: { handle: chosen.handle, file: chosen.file, undoHandle } }, $("apply"));
        if (answer.cancelled)
            throw STOP;
        if (answer.problem)
            throw answer.problem;
        if (answer.writeProblem)
            throw unwritten(answer.writeProblem);
        const undone = answer.undoSaved ? ` The undo patch is saved as ${shownName(undoHandle.name)}.` : "";
        chosen.file = await chosen.handle.getFile();
        return [`${name} is patched.${undone}`, answer.undoProblem || ""].join("\n").trim();
    } catch (problem) {
        await dropEmpty(undoHandle);
        if (problem === STOP)
            return CANCELLED_LINE;
        if (typeof problem === "string")
            return problem;
        if (problem.name === "NotReadableError")
            return `${chosen.file.name}: cannot be read: it was moved, deleted or changed after it was chosen. Choose it again.`;
        return unwritten(problem.message || problem.name);
    }
}
