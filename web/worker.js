// Runs after the engine's script in the page's worker: reads the files in
// slices, the next pair while the engine compares the current one, and
// answers each message from the page with one result.
"use strict";

// The engine's script would fetch its own data: URI, which the page's policy
// refuses; with no fetch it decodes the URI itself. Nothing here fetches.
self.fetch = undefined;
const enginePromise = MorvexEngine();
let engine = null;

const call = (name, type, types, args) => engine.ccall(name, type, types, args);

const readProblem = (which, shorter) => call("WebReadProblem", "string", ["number", "number"], [which, shorter]);

// One slice of a file; a failed read becomes the program's text for it.
function readSlice(file, at, length, which) {
    return file.slice(at, at + length).arrayBuffer().catch(() => Promise.reject(readProblem(which, 0)));
}

function readPair(original, modified, at, length) {
    return Promise.all([readSlice(original, at, length, 0), readSlice(modified, at, length, 1)]);
}

// Compares the files and returns the patch; with `readOnly`, only reads them
// (the floor any comparison in a page has).
async function make({ original, modified, comment, codePage, readOnly }) {
    const problem = call("WebSizeProblem", "string", ["number", "number"],
                         [original ? original.size : -1, modified ? modified.size : -1]);
    if (problem)
        return { problem };
    const size = original.size, sliceSize = engine._WebSliceSize();
    let next = readPair(original, modified, 0, sliceSize);
    for (let at = 0; at < size; at += sliceSize) {
        const [a, b] = await next;
        if (a.byteLength !== b.byteLength || a.byteLength !== Math.min(sliceSize, size - at))
            return { problem: readProblem(0, 1) };
        if (at + sliceSize < size)
            next = readPair(original, modified, at + sliceSize, sliceSize);
        if (!readOnly) {
            engine.HEAPU8.set(new Uint8Array(a), engine._WebSlice(0));
            engine.HEAPU8.set(new Uint8Array(b), engine._WebSlice(1));
            const refusal = call("WebCompare", "string", ["number", "number"], [a.byteLength, at]);
            if (refusal)
                return { problem: refusal };
        }
        postMessage({ progress: (at + a.byteLength) / size });
    }
    const length = call("WebMakePatch", "number", ["string", "string", "number"], [original.name, comment, codePage]);
    const start = engine._WebOutput();
    return { patch: engine.HEAPU8.slice(start, start + length), text: call("WebCompleteText", "string", [], []) };
}

// Reads the target's bytes at the patch's positions, those within 64 KiB of
// each other in one slice.
async function readOldBytes(target, count) {
    const positions = [];
    for (let i = 0; i < count; i++)
        positions.push(engine._WebPosition(i));
    const old = engine._WebOldBytes();
    for (let first = 0, next; first < count; first = next) {
        const start = positions[first];
        for (next = first + 1; next < count && positions[next] - start < 65536; next++)
            ;
        const window = new Uint8Array(await target.slice(start, positions[next - 1] + 1).arrayBuffer());
        for (let i = first; i < next; i++)
            engine.HEAPU8[old + i] = window[positions[i] - start];
    }
    return positions;
}

// What the patch is and how it meets the target: the applier's lines.
async function check({ patch, target, codePage }) {
    if (patch.size <= 1 << 20)
        engine.HEAPU8.set(new Uint8Array(await patch.arrayBuffer()), engine._WebPatchFile());
    if (!call("WebReadPatch", "number", ["number", "number"], [patch.size, codePage]))
        return { state: -2, verdict: call("WebVerdict", "string", [], []) };
    const count = engine._WebPositions();
    let positions = [];
    if (target && (count === 0 || engine._WebPosition(count - 1) < target.size))
        positions = await readOldBytes(target, count);
    const state = call("WebJudge", "number", ["string", "number"], [target ? target.name : "", target ? target.size : 0]);
    const result = { state, positions, verdict: call("WebVerdict", "string", [], []) };
    if (target) {
        result.nameQuestion = call("WebNameQuestion", "string", ["string"], [target.name]);
        result.partlyQuestion = call("WebPartlyQuestion", "string", [], []);
    }
    return result;
}

// Checks again, then builds the patched file from slices of the target with
// the new bytes between them, and the undo patch.
async function apply(request) {
    const checked = await check(request);
    if (checked.state !== 0 && checked.state !== 2)
        return { verdict: checked.verdict, problem: checked.verdict.split("\r\n").pop() };
    const { target, patchName, keepUndo, codePage } = request;
    const positions = checked.positions, parts = [];
    let at = 0;
    for (let i = 0; i < positions.length;) {
        let end = i + 1;
        while (end < positions.length && positions[end] === positions[end - 1] + 1)
            end++;
        parts.push(target.slice(at, positions[i]));
        parts.push(Uint8Array.from({ length: end - i }, (_, k) => engine._WebNewValue(i + k)));
        at = positions[end - 1] + 1;
        i = end;
    }
    parts.push(target.slice(at));
    const result = { file: new Blob(parts), undoName: "" };
    if (keepUndo) {
        result.undoName = call("WebUndoName", "string", ["string"], [patchName]);
        const length = call("WebUndoPatch", "number", ["string", "number"], [patchName, codePage]);
        const start = engine._WebOutput();
        result.undo = engine.HEAPU8.slice(start, start + length);
    }
    result.text = call("WebAppliedText", "string", ["string", "string"], [target.name, result.undoName]);
    return result;
}

const handlers = { make, check, apply };

// One request at a time: the engine keeps the patch last read between calls.
let queue = Promise.resolve();

async function answer(data) {
    engine = engine || await enginePromise;
    let result;
    try {
        result = await handlers[data.kind](data);
    } catch (problem) {
        result = { problem: String(problem) };
    }
    postMessage({ done: data.id, ...result });
}

onmessage = ({ data }) => {
    queue = queue.then(() => answer(data));
};
