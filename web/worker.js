// Runs after the engine's script in a worker of the page: reads the files in
// slices into buffers it keeps, and answers each request with one result.
// Requests run one at a time; a cancel stops only the request it names.
"use strict";

// The engine's script would fetch its own data: URI, which the page's policy
// refuses; with no fetch it decodes the URI itself. Nothing here fetches.
self.fetch = undefined;
const enginePromise = MorvexEngine();
let engine = null, FIT = null, SLICE = 0;

// Calls the engine by name; a string argument goes in as text.
const call = (name, type, ...args) =>
    engine.ccall(name, type, args.map((arg) => (typeof arg === "string" ? "string" : "number")), args);
const text = (name, ...args) => call(name, "string", ...args);
const number = (name, ...args) => call(name, "number", ...args);

// The page's own words for a file the browser can no longer read.
const unreadable = (file) =>
    `${file.name}: cannot be read: it was moved, deleted or changed after it was chosen. Choose it again.`;

const CANCELLED = Symbol("cancelled");
const cancelled = new Set();

// Between reads, the only place a request can stop: says how far it is.
function going(job, done, total) {
    if (cancelled.has(job))
        throw CANCELLED;
    postMessage({ of: job, progress: total ? done / total : 1 });
}

// Compares the files in slices, reading the next pair while the engine
// compares this one, and returns the patch; with `readOnly`, only reads them
// (the floor any comparison in a page has).
async function make({ original, modified, comment, codePage, readOnly }, job) {
    const problem = text("WebMakeProblem", original ? original.name : "", modified ? modified.name : "",
                         original ? original.size : 0, modified ? modified.size : 0);
    if (problem)
        return { problem };
    const size = original.size;
    const sets = [[new ArrayBuffer(SLICE), new ArrayBuffer(SLICE)], [new ArrayBuffer(SLICE), new ArrayBuffer(SLICE)]];
    const readers = [sequentialReader(original), sequentialReader(modified)];
    const readPair = (at, [a, b]) => {
        const length = Math.min(SLICE, size - at);
        return ahead(Promise.all([readers[0].read(at, length, a), readers[1].read(at, length, b)]));
    };
    let next = readPair(0, sets[0]);
    try {
        for (let at = 0, k = 0; at < size; at += SLICE, k ^= 1) {
            const [a, b] = await next;
            if (at + SLICE < size)
                next = readPair(at + SLICE, sets[k ^ 1]);
            if (!readOnly) {
                engine.HEAPU8.set(a, engine._WebSlice(0));
                engine.HEAPU8.set(b, engine._WebSlice(1));
                const refusal = text("WebCompare", a.length, at);
                if (refusal)
                    return { problem: refusal };
            }
            sets[k] = [a.buffer, b.buffer];
            going(job, at + a.length, size);
        }
    } finally {
        await Promise.all(readers.map((reader) => reader.close()));
    }
    if (!number("WebRecordCount"))
        return { same: true };
    const length = number("WebMakePatch", original.name, comment, codePage);
    const start = engine._WebOutput();
    return { patch: engine.HEAPU8.slice(start, start + length), text: text("WebCompleteText"),
             lost: engine._WebMakeLost() };
}

// Reads `file` around `positions` (ascending) and hands `each` every slice
// read with where it lies. Dense positions are read through one stream, one
// pass at the browser's read speed; sparse ones a slice per group of near
// positions, so a few records do not read the whole file.
async function readAround(file, positions, job, each) {
    const groups = [];
    for (let first = 0, next; first < positions.length; first = next) {
        for (next = first + 1; next < positions.length && positions[next] - positions[next - 1] < NEAR
             && positions[next] - positions[first] < SLICE; next++)
            ;
        groups.push([first, next]);
    }
    const buffers = [new ArrayBuffer(SLICE), new ArrayBuffer(SLICE)], reader = sequentialReader(file);
    const read = ([first, next], buffer) =>
        ahead(reader.read(positions[first], positions[next - 1] + 1 - positions[first], buffer));
    let pending = groups.length ? read(groups[0], buffers[0]) : null;
    try {
        for (let g = 0; g < groups.length; g++) {
            const view = await pending;
            if (g + 1 < groups.length)
                pending = read(groups[g + 1], buffers[(g + 1) % 2]);
            each(view, positions[groups[g][0]], ...groups[g]);
            buffers[g % 2] = view.buffer;
            going(job, g + 1, groups.length);
        }
    } finally {
        await reader.close();
    }
}

// Changes closer than this are copied with the bytes between them: a slice of
// the file costs about as much as copying that many bytes.
const APART = 1 << 16;

// Builds the patched file while Apply reads the file: slices of the file
// where nothing changes, and copies of the patched bytes where changes lie
// close together. The copies gather in one buffer that goes into the file
// (which copies it) when full, so that memory stays flat: a slice's worth,
// the most one slice's changes copy.
function patchedFile(file) {
    const staged = new Uint8Array(SLICE);
    let built = new Blob([]), parts = [], used = 0, from = 0;
    const flush = () => {
        built = new Blob([built, ...parts], { type: "application/octet-stream" });
        parts = [];
        used = 0;
    };
    return {
        // `laid`: the patched bytes of the slice at `at`, which holds positions[first..next).
        add(laid, at, positions, first, next) {
            for (let i = first, end; i < next; i = end) {
                for (end = i + 1; end < next && positions[end] - positions[end - 1] <= APART; end++)
                    ;
                const length = positions[end - 1] + 1 - positions[i];
                if (used + length > staged.length)
                    flush();
                staged.set(laid.subarray(positions[i] - at, positions[i] - at + length), used);
                parts.push(file.slice(from, positions[i]), staged.subarray(used, used + length));
                from = positions[end - 1] + 1;
                used += length;
            }
        },
        finish() {
            parts.push(file.slice(from));
            flush();
            return built;
        },
    };
}

// Puts a patch ({ name, and its bytes or its file }) into the engine; returns
// its bytes, or the refusal as a string.
async function loadPatch({ name, file, bytes }, codePage) {
    const size = bytes ? bytes.length : file.size;
    if (size <= engine._WebPatchFileSize()) {
        bytes = bytes || await readInto(file, 0, size, new ArrayBuffer(size));
        engine.HEAPU8.set(bytes, engine._WebPatchFile());
    }
    return number("WebReadPatch", name, size, codePage) ? bytes : text("WebVerdict");
}

// What Apply uses of the last judgement, whose chain of positions the engine
// keeps: the file, the chain's positions that change, and the patched file
// when it was built.
let judged = null;

// Judges the patches in order against the target, each against the file as
// those before it leave it, with the applier's lines and questions. With
// `build`, as Apply asks, also builds the patched file in the same pass.
async function judge({ patches, target, codePage, build, undoFor }, job) {
    judged = null;
    const loaded = [], each = [];
    engine._WebChainStart();
    for (const [k, patch] of patches.entries()) {
        const bytes = await loadPatch(patch, codePage);
        if (typeof bytes === "string" || !engine._WebChainAdd())
            return { lines: typeof bytes === "string" ? bytes : text("WebTooManyText"), refused: k + 1 };
        loaded.push({ name: patch.name, bytes });
        number("WebJudge", "", 0);
        each.push(text("WebVerdict"));
    }
    if (!target)
        return { lines: each.join("\r\n\r\n"), each };
    const count = engine._WebChainCount(), slice = engine._WebSlice(0);
    let inFile = 0;
    while (inFile < count && engine._WebChainPosition(inFile) < target.size)
        inFile++;
    const positions = Float64Array.from({ length: inFile }, (_, i) => engine._WebChainPosition(i));
    const file = build ? patchedFile(target) : null;
    await readAround(target, positions, job, (view, at, first, next) => {
        engine.HEAPU8.set(view, slice);
        engine._WebChainTake(0, at, view.length);
        if (file) {
            engine._WebChainLay(0, at, view.length);
            file.add(engine.HEAPU8.subarray(slice, slice + view.length), at, positions, first, next);
        }
    });
    const lines = [], questions = new Set(), warnings = new Set(), states = [];
    let blocked = "", changes = false, reason = "";
    for (const patch of loaded) {
        await loadPatch(patch, codePage);
        const state = number("WebChainJudge", target.name, target.size), verdict = text("WebVerdict");
        lines.push(verdict);
        states.push(state);
        reason = text("WebFitLine");
        if (!engine._WebFitSameName())
            warnings.add(verdict.split("\r\n").find((line) => line.startsWith("Warning:")));
        if (state === FIT.pastEnd)
            blocked = blocked || reason;
        if (state === FIT.notApplied || state === FIT.partlyApplied) {
            changes = true;
            for (const question of [text("WebNameQuestion", target.name), text("WebPartlyQuestion")])
                question && questions.add(question);
        }
    }
    const changed = [];
    for (let i = 0; i < inFile; i++)
        if (engine._WebChainValue(i) !== engine._WebChainOriginal(i))
            changed.push(i);
    judged = { codePage, changed, file: file && file.finish() };
    return { lines: lines.join("\r\n\r\n"), canApply: !blocked && changes, reason: blocked || reason,
             questions: [...questions], warnings: [...warnings].filter(Boolean), states, pastEnd: FIT.pastEnd,
             willChange: changed.length, needs: count ? engine._WebChainPosition(count - 1) + 1 : 0,
             undoName: undoFor ? text("WebUndoName", undoFor) : "" };
}

const handlers = { make, judge, apply };
let queue = Promise.resolve();

async function answer(data) {
    let result;
    try {
        engine = engine || await enginePromise;
        FIT = JSON.parse(text("WebFitStates"));
        SLICE = engine._WebSliceSize();
        result = await handlers[data.kind](data, data.id);
    } catch (problem) {
        result = problem === CANCELLED ? { cancelled: true } : { problem: String(problem) };
    }
    cancelled.delete(data.id);
    postMessage({ done: data.id, ...result });
}

onmessage = ({ data }) => {
    if (data.cancel)
        cancelled.add(data.cancel);
    else
        queue = queue.then(() => answer(data));
};
