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

// Each write costs the browser about as much as writing 64 KiB more, so
// positions closer than that go in one write with the file's bytes between.
const NEAR_WRITE = 1 << 16, SPAN = 4 << 20;

// The writes for `positions` in a file of `size` bytes: a run of neighbouring
// positions is written from the values alone, near positions as a piece of
// the file read and laid over. Where the pieces would hold most of the file,
// the file is written whole instead, without the copy the browser makes of
// it to keep its data.
function plannedWrites(positions, size) {
    const pieces = [];
    let read = 0;
    for (let first = 0, next; first < positions.length; first = next) {
        let run = true;
        for (next = first + 1; next < positions.length && positions[next] - positions[next - 1] < NEAR_WRITE
             && positions[next] - positions[first] < SPAN; next++)
            run = run && positions[next] === positions[next - 1] + 1;
        pieces.push({ at: positions[first], length: positions[next - 1] + 1 - positions[first], first, next, run });
        read += run ? 0 : pieces[pieces.length - 1].length;
    }
    if (read < size / 2)
        return { keep: true, pieces };
    const whole = [];
    for (let at = 0, first = 0, next = 0; at < size; at += SPAN, first = next) {
        while (next < positions.length && positions[next] < at + SPAN)
            next++;
        whole.push({ at, length: Math.min(SPAN, size - at), first, next, run: false });
    }
    return { keep: false, pieces: whole };
}

// Reads `length` bytes of `file` at `at` into `buffer`, which the stream takes
// and gives back, so that no read allocates; resolves with the bytes.
const reading = new Set();

async function readPiece(file, at, length, buffer) {
    const reader = file.slice(at, at + length).stream().getReader({ mode: "byob" });
    let got = 0;
    // Held here: a stream the collector takes mid-read never answers.
    reading.add(reader);
    try {
        while (got < length) {
            const { value, done } = await reader.read(new Uint8Array(buffer, got, length - got));
            if (value)
                buffer = value.buffer;
            if (done)
                break;
            got += value.byteLength;
        }
        await reader.cancel();
    } finally {
        reading.delete(reader);
    }
    if (got < length)
        throw new DOMException("The file is shorter than it was", "NotReadableError");
    return new Uint8Array(buffer, 0, length);
}

// Writes `values` at `positions` (ascending) into the chosen file, then the
// undo patch; the browser puts the file in place when the writer closes, or
// not at all when it aborts.
async function writeInPlace(area, { file, handle }, positions, values, undo, undoHandle) {
    const now = await handle.getFile();
    if (now.size !== file.size || now.lastModified !== file.lastModified)
        throw `${file.name}: cannot be read: it was moved, deleted or changed after it was chosen. Choose it again.`;
    const { keep, pieces } = plannedWrites(positions, file.size);
    const buffers = [new ArrayBuffer(SPAN), new ArrayBuffer(SPAN)], using = [null, null];
    let savedUndo = false, failed = null, pending = null, writer = null, k = 0;
    area.stop = false;
    showRunning(area, true);
    try {
        // With `keep`, the browser copies the file first: a while for a large one.
        writer = (await handle.createWritable({ keepExistingData: keep })).getWriter();
        for (const [n, { at, length, first, next, run }] of pieces.entries()) {
            let data = values.subarray(first, next);
            if (!run) {
                // A buffer is read into again once the write that held it is done.
                await using[k];
                data = await readPiece(file, at, length, buffers[k]);
                for (let i = first; i < next; i++)
                    data[positions[i] - at] = values[i];
            }
            pending = writer.write({ type: "write", position: at, data })
                .catch((problem) => (failed = failed || problem));
            if (!run) {
                using[k] = pending;
                buffers[k] = data.buffer;
                k ^= 1;
            }
            // Not awaited one by one: a pause every 64 writes, or after a piece read, lets Cancel in.
            if (n % 64 === 63 || !run) {
                await (run ? writer.ready : pending);
                if (area.stop || failed)
                    throw failed || STOP;
                $(area.prefix + "-progress").value = (n + 1) / pieces.length;
            }
        }
        // Writes settle in order: after the last, every failure is known.
        await pending;
        if (area.stop || failed)
            throw failed || STOP;
        if (undoHandle) {
            const saved = await undoHandle.createWritable();
            await saved.write(undo);
            await saved.close();
            savedUndo = true;
        }
        await writer.close();
    } catch (problem) {
        await (writer && writer.abort().catch(() => {}));
        // An undo patch for a change that did not happen would undo nothing.
        if (savedUndo)
            await undoHandle.remove().catch(() => {});
        throw problem;
    } finally {
        showRunning(area, false);
    }
}

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
    // Saved over the file itself, the undo patch would be lost to the patched file.
    if (undoHandle && await undoHandle.isSameEntry(chosen.handle))
        return `The undo patch cannot be saved as ${name}, the file it undoes. ${CANCELLED_LINE}`;
    try {
        for (const question of judgement.questions)
            if (!confirm(question))
                throw "Not applied.";
        const answer = await ask(area, { kind: "apply", keepUndo: !!undoHandle, inPlace: true, ...request }, $("apply"));
        if (answer.cancelled)
            throw STOP;
        if (answer.problem)
            throw answer.problem;
        await writeInPlace(area, chosen, answer.positions, answer.values, answer.undo, answer.undo && undoHandle);
        const undone = answer.undo ? ` The undo patch is saved as ${shownName(undoHandle.name)}.` : "";
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
        return `${name} could not be written: ${problem.message || problem.name}. Nothing was changed.`;
    }
}
