// Apply's half of the worker: what the last judgement found to change, as
// the patched file to download, or written into the player's file where it
// lies through the handle the page holds. The worker reads and writes, so
// one heap does all the file's work.

// Each write costs the browser about as much as writing 64 KiB more, so
// positions closer than that go in one write with the file's bytes between.
const NEAR_WRITE = 1 << 16;

// The writes for `positions` in a file of `size` bytes, each at most a slice:
// a run of neighbouring positions is written from the values alone, near
// positions as a piece of the file read and laid over. Where the pieces
// would hold most of the file, the file is written whole instead, without
// the copy the browser makes of it to keep its data.
function plannedWrites(positions, size) {
    const pieces = [];
    let read = 0;
    for (let first = 0, next; first < positions.length; first = next) {
        let run = true;
        for (next = first + 1; next < positions.length && positions[next] - positions[next - 1] < NEAR_WRITE
             && positions[next] - positions[first] < SLICE; next++)
            run = run && positions[next] === positions[next - 1] + 1;
        pieces.push({ at: positions[first], length: positions[next - 1] + 1 - positions[first], first, next, run });
        read += run ? 0 : pieces[pieces.length - 1].length;
    }
    if (read < size / 2)
        return { keep: true, pieces };
    const whole = [];
    for (let at = 0, first = 0, next = 0; at < size; at += SLICE, first = next) {
        while (next < positions.length && positions[next] < at + SLICE)
            next++;
        whole.push({ at, length: Math.min(SLICE, size - at), first, next, run: false });
    }
    return { keep: false, pieces: whole };
}

// Writes `values` at `positions` (ascending) into the file behind `handle`,
// then the undo patch into `undoHandle`; the browser puts the file in place
// when the writer closes, or not at all when it aborts. A piece read is laid
// over by the engine, from the chain the judgement left.
async function writeInPlace({ handle, file, undoHandle }, positions, values, undo, job) {
    const now = await handle.getFile();
    if (now.size !== file.size || now.lastModified !== file.lastModified)
        throw unreadable(file);
    const { keep, pieces } = plannedWrites(positions, file.size), slice = engine._WebSlice(0);
    const buffers = [new ArrayBuffer(SLICE), new ArrayBuffer(SLICE)], using = [null, null];
    const reader = sequentialReader(file);
    let savedUndo = false, failed = null, pending = null, writer = null, k = 0;
    try {
        // With `keep`, the browser copies the file first: a while for a large one.
        writer = (await handle.createWritable({ keepExistingData: keep })).getWriter();
        for (const [n, { at, length, first, next, run }] of pieces.entries()) {
            let data = values.subarray(first, next);
            if (!run) {
                // A buffer is read into again once the write that held it is done.
                await using[k];
                data = await reader.read(at, length, buffers[k]);
                engine.HEAPU8.set(data, slice);
                engine._WebChainLay(0, at, length);
                data.set(engine.HEAPU8.subarray(slice, slice + length));
            }
            pending = writer.write({ type: "write", position: at, data }).catch((problem) => (failed = failed || problem));
            if (!run) {
                using[k] = pending;
                buffers[k] = data.buffer;
                k ^= 1;
            }
            // Not awaited one by one: a pause every 64 writes, or after a piece read, lets Cancel in.
            if (n % 64 === 63 || !run) {
                await (run ? writer.ready : pending);
                if (failed)
                    throw failed;
                going(job, n + 1, pieces.length);
            }
        }
        // Writes settle in order: after the last, every failure is known.
        await pending;
        if (failed)
            throw failed;
        going(job, 1, 1);
        if (undo) {
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
        await reader.close();
    }
}

// What Apply's judgement found to change: the patched file it built, or with
// `inPlace` ({ handle, file, undoHandle }) the file written where it lies;
// and with `keepUndo`, the one patch that undoes all the changes.
async function apply({ keepUndo, undoFor, patchNames, inPlace }, job) {
    const { codePage, changed, file } = judged, result = {};
    judged.file = null;
    if (keepUndo) {
        const length = number("WebChainUndo", patchNames, codePage), start = engine._WebOutput();
        if (length) {
            result.undo = engine.HEAPU8.slice(start, start + length);
            result.undoName = text("WebUndoName", undoFor);
        } else {
            result.undoProblem = text("WebTooManyText");
        }
    }
    if (!inPlace)
        return { ...result, file };
    const positions = Float64Array.from(changed, (i) => engine._WebChainPosition(i));
    const values = Uint8Array.from(changed, (i) => engine._WebChainValue(i));
    try {
        await writeInPlace(inPlace, positions, values, result.undo, job);
    } catch (problem) {
        if (problem === CANCELLED || typeof problem === "string")
            throw problem;
        return problem.name === "NotReadableError" ? { problem: unreadable(inPlace.file) }
            : { writeProblem: problem.message || problem.name };
    }
    return { undoSaved: !!result.undo, undoProblem: result.undoProblem };
}
